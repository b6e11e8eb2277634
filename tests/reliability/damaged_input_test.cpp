// Hostile inputs run through the built tavo2wav, for what only a process
// shows: each ends with its exact status and standard error, without a
// signal, within 10 seconds and within 200 MB of address space, however
// much its bytes would inflate to; a named pipe is never waited on, and an
// unreadable file is refused even to root. (The reader's limits and the
// damaged files' messages are tested in-process: zeltra_test, and the
// engine's EngineRefusal in convert_test.)
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "reliability_util.h"

namespace {

using namespace reliability;

enum Kind { File, Fifo, Unreadable };

struct Damaged {
    std::string label, name, bytes;  // the input `name` in the run directory holds `bytes`
    int status;
    std::string err;
    Kind kind = File;
};

std::ostream& operator<<(std::ostream& os, const Damaged& d)
{
    return os << d.label;
}

std::vector<Damaged> table()
{
    const std::string B = "x4010100.dat", GZ = B + ".gz", TGZ = "t4010100.txt.gz";
    // A one-megabyte gzip member of zeros, 512 times: 512 MiB once inflated.
    const std::string zeros = tavo_test::gzip_bytes(std::string(1 << 20, '\0'), 9);
    std::string bomb;
    for (int i = 0; i < 512; ++i)
        bomb += zeros;
    return {
        {"GzipBombOfZeros", GZ, bomb, 1,
         "Error: " + GZ + ": no end of the first line in its first 255 bytes\n"},
        // Reading stops when the buffers are full, long before the bomb ends.
        {"GzipBombOfZeroRecords", GZ, tavo_test::gzip_bytes(HEADER + "\r") + bomb, 0,
         reader_lines(GZ, "binary") + "Warning: buffers full after 3173888 samples per channel; "
                                      "the rest of the input is not converted\n"},
        {"GzipBombInsideBinaryHeader", GZ, tavo_test::gzip_bytes(HEADER + "\n") + bomb, 1,
         opened(GZ, "binary") + "Error: " + GZ + ": header line longer than 51200 bytes\n"},
        {"GzipBombInsideTextLine", TGZ, tavo_test::gzip_bytes(HEADER + "\n0 0 1 2 3") + bomb, 1,
         reader_lines(TGZ, "text") + "Error: Line to long\n"},
        // Opening a named pipe would wait for a writer forever.
        {"Fifo", B, "", 1, "Error: " + B + ": not a regular file\n", Fifo},
        {"Unreadable", B, binary(3), 1, "gzopen:Permission denied\nCan't open " + B + "\n",
         Unreadable},
    };
}

class DamagedInput : public testing::TestWithParam<Damaged> {};

TEST_P(DamagedInput, EndsCleanlyWithExactMessages)
{
    const Damaged& d = GetParam();
    tavo_test::TempDir dir;
    const std::string path = dir.file(d.name);
    // A setup step that fails shows in the messages.
    if (d.kind == Fifo)
        mkfifo(path.c_str(), 0644);
    else
        tavo_test::write_bytes(path, d.bytes);
    chmod(path.c_str(), d.kind == Unreadable ? 0 : 0644);
    const RunResult r =
        run_tool({"-u", "0", "-f", "-o", "-z", "1", d.name}, dir.path(), {0, d.kind == Unreadable});
    EXPECT_EQ(r.status, d.status);  // -1 when a signal ended the run
    EXPECT_EQ(r.err, d.err);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedInput, testing::ValuesIn(table()),
                         [](const testing::TestParamInfo<Damaged>& i) { return i.param.label; });

}  // namespace
