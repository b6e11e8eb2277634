// tavo2wav in window mode, end to end: three days of a generated 18 Hz
// archive with a missing file give exactly 72 h x 18 x U frames with
// --gaps silence, named after the station and the window's start, with the
// no-data line and the label file's midnights (hours for a shorter window);
// files named with --from/--to are trimmed the same way; bad windows are
// refused with one line, before anything is logged where the command line
// alone tells.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "archive_tree.h"
#include "process.h"
#include "tavo_writer.h"

namespace {

using tavo_test::utc;

const std::string BIN = TAVO2WAV_BIN;
const std::int64_t H = 3600;

RunResult run_in(const std::string& dir, std::vector<std::string> argv)
{
    argv.insert(argv.begin(), BIN);
    RunOptions options;
    options.program = BIN;
    options.env = {"TZ=UTC"};
    return run_process(argv, dir, options);
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Frames of a 16-bit mono WAV file written without extra chunks but those
// of --timeline: its size less the header, found by walking the chunks.
unsigned long long frames_of(const std::string& path)
{
    const std::string b = tavo_test::read_bytes(path);
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        const uint32_t size = static_cast<uint8_t>(b[at + 4]) |
                              static_cast<uint8_t>(b[at + 5]) << 8 |
                              static_cast<uint8_t>(b[at + 6]) << 16 |
                              static_cast<uint32_t>(static_cast<uint8_t>(b[at + 7])) << 24;
        if (b.compare(at, 4, "data") == 0)
            return size / 2;
        at += 8 + size + (size & 1);
    }
    return 0;
}

// Three days and a half of station k at 18 Hz from 2014-03-15 00:00, the
// file of 2014-03-16 10:00 missing; shared by the tests.
class Archive : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root_ = new tavo_test::TempDir;
        tavo_test::ArchiveTree tree;
        tree.frequency = 18;
        tree.forms = "bbbg";
        tree.data = {{utc(2014, 3, 15), 84 * H}};
        tree.missing = {utc(2014, 3, 16, 10)};
        tavo_test::write_tree(root_->path() + "/archive", tree);
    }
    static void TearDownTestSuite() { delete root_; }

    void SetUp() override { out_.reset(new tavo_test::TempDir); }
    const std::string& out() const { return out_->path(); }
    static std::string archive() { return root_->path() + "/archive"; }

    static tavo_test::TempDir* root_;
    std::unique_ptr<tavo_test::TempDir> out_;
};

tavo_test::TempDir* Archive::root_ = nullptr;

TEST_F(Archive, ThreeDaysWithSilenceLastExactlyThreeDays)
{
    const RunResult r = run_in(
        out(), {"--archive", archive(), "--station", "k", "--from", "2014-03-15T06:00:00Z", "--to",
                "2014-03-18T06:00:00Z", "-u", "2", "--gaps", "silence", "--timeline"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Timeline: 1 s of audio = 111.111 s of station time, from "
                         "2014-03-15T06:00:00Z\n"),
              std::string::npos)
        << r.out;
    // The record before the gap starts at 09:59:56 and lasts 28.44 s; the
    // first after it is stamped 10:30:16.
    EXPECT_NE(r.err.find("Warning: no data from 2014-03-16T10:00:24Z to 2014-03-16T10:30:16Z "
                         "(1792 s)\n"),
              std::string::npos)
        << r.err;
    for (const char* name :
         {"a20140315T060000.wav", "b20140315T060000.wav", "c20140315T060000.wav"})
        EXPECT_EQ(frames_of(out() + "/" + name), 72ull * 3600 * 18 * 2) << name;
    // The midnights of a window past 48 hours, and the missing file's
    // silence as a region: 36 frames a second of station time, 4000 frames
    // a second of sound.
    EXPECT_EQ(tavo_test::read_bytes(out() + "/k20140315T060000.labels.txt"),
              "583.200000\t583.200000\t2014-03-16 00:00Z\n"
              "907.420000\t923.544000\tgap 1792 s silence\n"
              "1360.800000\t1360.800000\t2014-03-17 00:00Z\n"
              "2138.400000\t2138.400000\t2014-03-18 00:00Z\n");
}

TEST_F(Archive, ShortWindowJoinedMarksTheHours)
{
    const RunResult r =
        run_in(out(), {"--archive", archive(), "--station", "k", "--from", "2014-03-16T09:00",
                       "--duration", "3h", "-6", "--timeline", "-u", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(exists(out() + "/6chk20140316T090000.wav"));
    // 18 frames a second of station time at 4000 Hz. The run read from the
    // 08:30 file is timed from its first stamp, 08:30:20 (its first sample
    // lies 8 samples later): 65240 samples from 09:00 to the gap, after which
    // the next run starts at its stamp 10:30:16, 1784 s before 11:00.
    EXPECT_EQ(tavo_test::read_bytes(out() + "/k20140316T090000.labels.txt"),
              "0.000000\t0.000000\t2014-03-16 09:00Z\n"
              "16.200000\t16.200000\t2014-03-16 10:00Z\n"
              "16.310000\t16.310000\tgap 1792 s joined\n"
              "24.338000\t24.338000\t2014-03-16 11:00Z\n");
}

TEST_F(Archive, FilesNamedAreTrimmedAlike)
{
    const std::string day = archive() + "/2014/03/20140315/";
    const RunResult r = run_in(out(), {day + "k4031516.dat", day + "k4031517.dat", "--from",
                                       "2014-03-15T08:10:00Z", "--to", "2014-03-15T08:50:00Z"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(frames_of(out() + "/a20140315T081000.wav"), 40ull * 60 * 18 * 4);
}

// A window refused: the status, the exact lines, and whether the log was
// written (a refusal by the command line alone comes first; the others of
// its kind are read in sound_options_test).
struct Refusal {
    const char* name;
    std::vector<std::string> args;  // ARCHIVE stands for the archive
    std::string err;
    bool logged;
};

class WindowRefusal : public Archive, public testing::WithParamInterface<Refusal> {};

TEST_P(WindowRefusal, SaysOneLineAndWritesNoSound)
{
    std::vector<std::string> args = GetParam().args;
    for (std::string& a : args)
        if (a == "ARCHIVE")
            a = archive();
    const RunResult r = run_in(out(), args);
    EXPECT_EQ(r.status, 1);
    std::string err = r.err;
    for (auto at = err.find(archive()); at != std::string::npos; at = err.find(archive()))
        err.replace(at, archive().size(), "ARCHIVE");
    EXPECT_EQ(err.substr(err.find("Error:")), GetParam().err) << r.err;
    EXPECT_EQ(exists(out() + "/logfile"), GetParam().logged);
    EXPECT_FALSE(exists(out() + "/a20140401T000000.wav"));
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowRefusal,
    testing::Values(Refusal{"Backwards",
                            {"--archive", "ARCHIVE", "--station", "k", "--from", "2014-03-16",
                             "--to", "2014-03-15"},
                            "Error: --from must be before --to\n",
                            false},
                    Refusal{"NoData",
                            {"--archive", "ARCHIVE", "--station", "k", "--from", "2014-04-01",
                             "--duration", "1d"},
                            "Error: no data of station k between 2014-04-01T00:00:00Z and "
                            "2014-04-02T00:00:00Z under ARCHIVE\n",
                            true}),
    [](const testing::TestParamInfo<Refusal>& i) { return std::string(i.param.name); });

TEST(WindowFiles, WithoutTimeStampsAreRefused)
{
    tavo_test::TempDir dir;
    tavo_test::Recording rec{"T 18 Hz old style", false, 128, {}};
    rec.records.push_back(tavo_test::make_record(128, 0, 0, 1));
    const std::string path = tavo_test::dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_binary(path, rec);
    const RunResult r = run_in(dir.path(), {path, "--from", "2014-03-15", "--duration", "1d"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(r.err.find("Error:")),
              "Error: " + path + " has no time stamps and cannot be placed in the window\n");
}

}  // namespace
