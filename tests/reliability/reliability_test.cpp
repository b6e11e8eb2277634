// tavo2wav as a process, for what only a process shows: hostile inputs end cleanly within
// 10 s and 200 MB, failed writes leave no partial file, log lines stay whole, descriptors few.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "rows.h"
#include "tavo_writer.h"

namespace {

// 128-sample records, minute and second time words.
const std::string HEADER =
    "!S128Tidserier sampfrek: 18 gain: 1 station: k date: 2014-03-15 time: 08:00:00";

// A binary file of `n` records stamped 7 s apart.
std::string binary(std::size_t n)
{
    tavo_test::Recording rec{HEADER, true, 128, {}};
    for (std::size_t r = 0; r < n; ++r) {
        const long t = 7 * static_cast<long>(r);
        rec.records.push_back(tavo_test::make_record(128, t / 60, t % 60, static_cast<int>(r)));
    }
    return tavo_test::binary_bytes(rec);
}

// Limits of a run beyond 200 MB of address space (not under the sanitizers' shadow memory).
struct Limits {
    unsigned long file_size = 0;      // bytes, SIGXFSZ ignored; 0 for none
    bool honour_permissions = false;  // file permission bits bind root too
    unsigned long max_files = 0;      // open descriptors; 0 leaves it alone
    int timeout_s = 10;               // the run is killed after this
};

// Runs tavo2wav with `args` in directory `cwd` under `limits`, with TZ=UTC.
RunResult run_tool(const std::vector<std::string>& args, const std::string& cwd,
                   const Limits& limits = {})
{
    RunOptions o{{"TZ=UTC"}, limits.timeout_s};
    o.max_files = limits.max_files;
    o.file_size = limits.file_size;
    o.honour_permissions = limits.honour_permissions;
#ifndef TAVO_SANITIZED
    o.address_space = 200ul << 20;
#endif
    std::vector<std::string> argv = {TAVO2WAV_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(argv, cwd, o);
}

// What detection and the reader print opening `name` as `kind`; with `header`, its header too.
std::string opened(const std::string& name, const std::string& kind, bool header = false)
{
    const std::string echo = name + "\n" + name.substr(0, name.rfind('.')) + "\n";
    return "valid_comment_type3: " + HEADER + "\n" + echo + echo + "File: " + name +
           " Type:" + kind + "\n" + (header ? "valid_comment_type3: " + HEADER + "\n" : "");
}

enum Kind { File, Fifo, Unreadable };

struct Damaged {
    std::string name, file, bytes;  // the input `file` in the run directory holds `bytes`
    int status;
    std::string err;
    Kind kind = File;
};

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
         opened(GZ, "binary", true) + "Warning: buffers full after 3173888 samples per channel; "
                                      "the rest of the input is not converted\n"},
        {"GzipBombInsideBinaryHeader", GZ, tavo_test::gzip_bytes(HEADER + "\n") + bomb, 1,
         opened(GZ, "binary") + "Error: " + GZ + ": header line longer than 51200 bytes\n"},
        {"GzipBombInsideTextLine", TGZ, tavo_test::gzip_bytes(HEADER + "\n0 0 1 2 3") + bomb, 1,
         opened(TGZ, "text", true) + "Error: Line to long\n"},
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
    const std::string path = dir.file(d.file);
    // A setup step that fails shows in the messages.
    if (d.kind == Fifo)
        mkfifo(path.c_str(), 0644);
    else
        tavo_test::write_bytes(path, d.bytes);
    chmod(path.c_str(), d.kind == Unreadable ? 0 : 0644);
    const RunResult r =
        run_tool({"-u", "0", "-f", "-o", "-z", "1", d.file}, dir.path(), {0, d.kind == Unreadable});
    EXPECT_EQ(r.status, d.status);  // -1 when a signal ended the run
    EXPECT_EQ(r.err, d.err);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedInput, testing::ValuesIn(table()), tavo_test::RowName());

class NothingLost : public testing::TestWithParam<bool> {};

// The first WAV fails in a read-only directory (before reading) or beyond a file-size limit
// (once written): its older version stays, and no partial or temporary file is left.
TEST_P(NothingLost, FailedWriteKeepsTheOlderFile)
{
    const bool read_only = GetParam();
    tavo_test::TempDir dir;
    const std::string older = "an older recording of the same name\n";
    tavo_test::write_bytes(dir.file("x4010100.dat"), binary(8));
    tavo_test::write_bytes(dir.file("a4010100.wav"), older);
    ASSERT_EQ(chmod(dir.path().c_str(), read_only ? 0555 : 0755), 0);
    const RunResult r =
        run_tool({"-f", "x4010100.dat"}, dir.path(), {read_only ? 0ul : 4096ul, read_only});
    chmod(dir.path().c_str(), 0755);
    const std::string err =
        read_only ? "No logfile entry\n" : opened("x4010100.dat", "binary", true);
    const std::string converted =
        "Removing offset done\nScaling 8...done\nResampling 4 ...done\nwriting: a4010100.wav ";
    EXPECT_EQ(r.status, 1);  // -1 when a signal ended the run
    EXPECT_EQ(r.out, "mode:mono\nRate: 4000\n" + (read_only ? "" : converted));
    EXPECT_EQ(r.err, err + "Error: can't write a4010100.wav: " +
                         (read_only ? "Permission denied\n" : "File too large\n"));
    const std::vector<std::string> left = {"a4010100.wav", "logfile", "x4010100.dat"};
    EXPECT_EQ(tavo_test::listing(dir.path()),
              read_only ? std::vector<std::string>({left[0], left[2]}) : left);
    EXPECT_EQ(tavo_test::read_bytes(dir.file("a4010100.wav")), older);
}

INSTANTIATE_TEST_SUITE_P(Writes, NothingLost, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) {
                             return i.param ? "ReadOnlyDirectory" : "FileSizeLimit";
                         });

// An output beyond the free space of a 1 MiB tmpfs (mounted in a namespace of its own) is
// refused before converting: 3 x 1024044 bytes round up to 4 MB, the space left by the log's
// page down to 1 MB. Only the log is left. Skipped where no tmpfs can be mounted.
TEST(NothingLost, OutputBeyondTheFreeSpaceRefused)
{
    tavo_test::TempDir dir;
    tavo_test::write_bytes(dir.file("x4010100.dat"), binary(1));
    ASSERT_EQ(mkdir(dir.file("small").c_str(), 0755), 0);
    // The inner shell mounts, runs the command there and lists what it left.
    const std::vector<std::string> mount = {
        "/bin/sh", "-c", "exec unshare -m /bin/sh -c \"$0\" sh \"$@\"",
        "mount -t tmpfs -o size=1m tmpfs small || exit 77; cd small && \"$@\"; s=$?; ls -A; "
        "exit $s"};
    std::vector<std::string> probe = mount;
    probe.push_back("true");
    if (run_process(probe, dir.path()).status != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here (needs CAP_SYS_ADMIN and unshare)";
    std::vector<std::string> argv = mount;
    argv.insert(argv.end(), {TAVO2WAV_BIN, "-u", "4000", "../x4010100.dat"});
    const RunResult r = run_process(argv, dir.path(), RunOptions{{"TZ=UTC"}, 20});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "mode:mono\nRate: 4000\nlogfile\n");
    const std::string line =
        "Error: not enough free space in .: the output needs 4 MB, 1 MB are free\n";
    ASSERT_GE(r.err.size(), line.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - line.size()), line);
}

// Twenty runs at once each log one whole line, longer than a pipe buffer: one write per line.
TEST(NothingLost, TwentyConcurrentRunsLogWholeLines)
{
    tavo_test::TempDir dir;
    const std::string filler(5000, 'w');  // logged, never opened without -c
    std::multiset<std::string> want, got;
    std::vector<std::thread> runs;
    for (int i = 0; i < 20; ++i) {
        const std::string name = "s40101" + std::to_string(100 + i).substr(1) + " run.dat";
        tavo_test::write_bytes(dir.file(name), binary(2));
        want.insert(std::string(" ") + TAVO2WAV_BIN + " -u 0 -f \"" + name + "\" " + filler);
        runs.emplace_back([&, name] {
            EXPECT_EQ(run_tool({"-u", "0", "-f", name, filler}, dir.path()).status, 0);
        });
    }
    for (std::thread& t : runs)
        t.join();
    // Each line: a 17-character time stamp, then the command line.
    std::istringstream log(tavo_test::read_bytes(dir.file("logfile")));
    for (std::string line; std::getline(log, line);)
        got.insert(line.substr(std::min<std::size_t>(17, line.size())));
    EXPECT_EQ(got, want);
}

// Each reader is closed once read, so 3000 files combine under 64 open descriptors.
TEST(ManyFilesSlow, CombineThreeThousandUnderDescriptorLimit)
{
    constexpr int kFiles = 3000;
    tavo_test::TempDir dir;
    std::vector<std::string> args = {"-c", "-u", "0", "-f"};
    std::string err;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "n" + std::to_string(1000 + i) + ".dat";
        tavo_test::write_bytes(dir.file(name), binary(1));
        args.push_back(name);
        err += opened(name, "binary", true);
    }
    const RunResult r = run_tool(args, dir.path(), {0, false, 64, 120});  // 64 descriptors, 120 s
    ASSERT_EQ(r.status, 0) << r.err.substr(r.err.size() - std::min<std::size_t>(r.err.size(), 300));
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(std::filesystem::file_size(dir.file("a1000.wav")), 44u + 2u * 128u * kFiles);
}

}  // namespace
