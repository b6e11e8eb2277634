// Nothing is lost: a conversion that cannot write leaves no partial or
// temporary file and keeps an older WAV of the same name; concurrent runs
// keep every log line whole; thousands of combined files never exhaust the
// file descriptors.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "reliability_util.h"

namespace {

using namespace reliability;

class NothingLost : public testing::TestWithParam<bool> {};

// The run fails at its first WAV file, in a read-only directory (before
// any input is read: the output files are created first) or under a
// file-size limit below the WAV's 8236 bytes (once the data are written);
// that file's older version stays as it was, and no partial or temporary
// (".a4010100.wav.XXXXXX") file is left.
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
    std::string err = read_only ? "No logfile entry\n" : reader_lines("x4010100.dat", "binary");
    std::set<std::string> left = {"a4010100.wav", "x4010100.dat"};
    if (!read_only)
        left.insert("logfile");
    EXPECT_EQ(r.status, 1);  // -1 when a signal ended the run
    EXPECT_EQ(
        r.out,
        "mode:mono\nRate: 4000\n" +
            std::string(read_only ? ""
                                  : "Removing offset done\nScaling 8...done\nResampling 4 ...done\n"
                                    "writing: a4010100.wav "));
    EXPECT_EQ(r.err, err + "Error: can't write a4010100.wav: " +
                         (read_only ? "Permission denied\n" : "File too large\n"));
    std::set<std::string> listing;
    for (const std::filesystem::directory_entry& e :
         std::filesystem::directory_iterator(dir.path()))
        listing.insert(e.path().filename().string());
    EXPECT_EQ(listing, left);
    EXPECT_EQ(tavo_test::read_bytes(dir.file("a4010100.wav")), older);
}

INSTANTIATE_TEST_SUITE_P(Writes, NothingLost, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) {
                             return i.param ? "ReadOnlyDirectory" : "FileSizeLimit";
                         });

// An output larger than the free space of its folder, a tmpfs of 1 MiB
// mounted for the run in a mount namespace of its own, is refused after
// reading and before converting: "." for the current folder, 3 x 1024044
// bytes rounded up to 4 MB, the 1048576 bytes less the log's page rounded
// down to 1 MB. Only the log is left. Skipped where no tmpfs can be mounted.
TEST(NothingLost, OutputBeyondTheFreeSpaceRefused)
{
    tavo_test::TempDir dir;
    tavo_test::write_bytes(dir.file("x4010100.dat"), binary(1));
    ASSERT_EQ(mkdir(dir.file("small").c_str(), 0755), 0);
    // The outer shell finds unshare on the PATH; the inner one mounts, runs
    // the command in the mount and lists what it left there.
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
    const RunResult r = run_process(argv, dir.path(), RunOptions{"", {"TZ=UTC"}, 20});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "mode:mono\nRate: 4000\nlogfile\n");
    const std::string line =
        "Error: not enough free space in .: the output needs 4 MB, 1 MB are free\n";
    ASSERT_GE(r.err.size(), line.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - line.size()), line);
}

// Twenty runs started together in one directory each leave one whole log
// line; each line is longer than a pipe buffer, so only a single write per
// line keeps them apart.
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

// Each reader is closed once its file is read, so 3000 files combine under a
// limit of 64 open descriptors.
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
        err += reader_lines(name, "binary");
    }
    const RunResult r = run_tool(args, dir.path(), {0, false, 64, 120});  // 64 descriptors, 120 s
    ASSERT_EQ(r.status, 0) << r.err.substr(r.err.size() - std::min<std::size_t>(r.err.size(), 300));
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(std::filesystem::file_size(dir.file("a1000.wav")), 44u + 2u * 128u * kFiles);
}

}  // namespace
