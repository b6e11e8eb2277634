// tavo2wav in window mode, end to end: three days of a generated 18 Hz
// archive with a missing file give exactly 72 h x 18 x U frames with
// --gaps silence, named after the station and the window's start, and the
// label file's midnights (hours for a shorter window and the timeline line:
// README.md; the no-data lines: tests/engine); files named with --from/--to
// are trimmed the same way. (A window's refusals: tests/cases/archive.txt.)
#include <gtest/gtest.h>

#include "archive_tree.h"
#include "process.h"
#include "tavo_writer.h"
#include "wav_file.h"

namespace {

using tavo_test::read_bytes;
using tavo_test::read_wav;
using tavo_test::utc;

const std::int64_t H = 3600;

// Three days and a half of station k at 18 Hz from 2014-03-15 00:00, the
// file of 2014-03-16 10:00 missing; made once for the tests.
std::string archive()
{
    static const tavo_test::TempDir root;
    static const std::string path = [] {
        tavo_test::ArchiveTree tree;
        tree.frequency = 18;
        tree.forms = "bbbg";
        tree.data = {{utc(2014, 3, 15), 84 * H}};
        tree.missing = {utc(2014, 3, 16, 10)};
        tavo_test::write_tree(root.file("archive"), tree);
        return root.file("archive");
    }();
    return path;
}

// Each test runs tavo2wav in a folder of its own.
class Archive : public testing::Test {
protected:
    RunResult run(std::vector<std::string> argv) const
    {
        argv.insert(argv.begin(), TAVO2WAV_BIN);
        return run_process(argv, out.path(), RunOptions{{"TZ=UTC"}});
    }
    const tavo_test::TempDir out;
};

TEST_F(Archive, ThreeDaysWithSilenceLastExactlyThreeDays)
{
    const RunResult r =
        run({"--archive", archive(), "--station", "k", "--from", "2014-03-15T06:00:00Z", "--to",
             "2014-03-18T06:00:00Z", "-u", "2", "--gaps", "silence", "--timeline"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name :
         {"a20140315T060000.wav", "b20140315T060000.wav", "c20140315T060000.wav"})
        EXPECT_EQ(read_wav(out.file(name)).frames, 72ull * 3600 * 18 * 2) << name;
    // The midnights of a window past 48 hours, and the missing file's
    // silence as a region: 36 frames a second of station time, 4000 frames
    // a second of sound.
    EXPECT_EQ(read_bytes(out.file("k20140315T060000.labels.txt")),
              "583.200000\t583.200000\t2014-03-16 00:00Z\n"
              "907.420000\t923.544000\tgap 1792 s silence\n"
              "1360.800000\t1360.800000\t2014-03-17 00:00Z\n"
              "2138.400000\t2138.400000\t2014-03-18 00:00Z\n");
}

// In six channels, named like the three files after the station and the start.
TEST_F(Archive, FilesNamedAreTrimmedAlike)
{
    const std::string day = archive() + "/2014/03/20140315/";
    const RunResult r = run({day + "k4031516.dat", day + "k4031517.dat", "--from",
                             "2014-03-15T08:10:00Z", "--to", "2014-03-15T08:50:00Z", "-6"});
    ASSERT_EQ(r.status, 0) << r.err;
    const tavo_test::WavFile w = read_wav(out.file("6chk20140315T081000.wav"));
    EXPECT_EQ(w.frames, 40ull * 60 * 18 * 4);
    EXPECT_EQ(w.channels, 6u);
}

}  // namespace
