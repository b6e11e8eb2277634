// Nothing is lost: a conversion that cannot write leaves no partial or
// temporary file and keeps an older WAV of the same name; concurrent runs
// keep every log line whole; thousands of combined files never exhaust the
// file descriptors.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "reliability_util.h"
#include "tavo_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace reliability;
using tavo_test::Recording;
using tavo_test::TempDir;

std::string binary(std::size_t records)
{
    Recording rec;
    rec.header = HEADER;
    rec.length = 128;
    for (std::size_t r = 0; r < records; ++r) {
        const long t = 7 * static_cast<long>(r);
        rec.records.push_back(tavo_test::make_record(128, t / 60, t % 60, static_cast<int>(r)));
    }
    return tavo_test::binary_bytes(rec);
}

// Whether line starts with a "%x %X" time stamp of the C locale,
// "12/05/26 07:25:33".
bool stamped(const std::string& line)
{
    const std::string form = "00/00/00 00:00:00";
    if (line.size() < form.size())
        return false;
    for (std::size_t i = 0; i < form.size(); ++i)
        if (form[i] == '0' ? !std::isdigit(static_cast<unsigned char>(line[i])) : line[i] != form[i])
            return false;
    return true;
}

std::vector<std::string> listing(const std::string& dir)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ---- Output that cannot be written -------------------------------------------

struct Unwritable {
    std::string label;
    Limits limits;
    bool read_only_dir;
    std::string err_before;  // printed before the reader's lines
    bool zone_set_by_log;    // whether writing the log read the time zone
    std::string error;       // strerror text of the failed write
    std::vector<std::string> left;  // directory contents afterwards
};

std::ostream& operator<<(std::ostream& os, const Unwritable& u)
{
    return os << u.label;
}

class UnwritableOutput : public testing::TestWithParam<Unwritable> {};

// The run fails at its first WAV file; that file's older version stays as
// it was, and no partial or temporary (".a4010100.wav.XXXXXX") file is left.
TEST_P(UnwritableOutput, FailsAndKeepsTheOlderFile)
{
    const Unwritable& u = GetParam();
    TempDir dir;
    const std::string older = "an older recording of the same name\n";
    tavo_test::write_bytes(dir.file("x4010100.dat"), binary(8));
    tavo_test::write_bytes(dir.file("a4010100.wav"), older);
    if (u.read_only_dir) {
        ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    }
    const RunResult r = run_tool({"-f", "x4010100.dat"}, dir.path(), u.limits);
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    std::string reader = reader_lines("x4010100.dat", "binary");
    if (!u.zone_set_by_log)  // the reader switches to UTC itself
        reader.insert(reader.find('\n') + 1, "WARNING: setting TZ=UTC\n");
    EXPECT_EQ(r.err, u.err_before + reader + "Error: can't write a4010100.wav: " + u.error + "\n");
    EXPECT_EQ(listing(dir.path()), u.left);
    EXPECT_EQ(tavo_test::read_bytes(dir.file("a4010100.wav")), older);
}

std::vector<Unwritable> unwritable()
{
    // 8 records of 128 samples upsampled by 4: 8236-byte WAV files.
    Limits small_files;
    small_files.file_size = 4096;
    // Root writes into a directory without write permission unless the
    // capabilities that override permissions are dropped.
    Limits permissions;
    permissions.honour_permissions = true;
    return {
        {"FileSizeLimit", small_files, false, "", true, "File too large",
         {"a4010100.wav", "logfile", "x4010100.dat"}},
        {"ReadOnlyDirectory", permissions, true, "No logfile entry\n", false, "Permission denied",
         {"a4010100.wav", "x4010100.dat"}},
    };
}

INSTANTIATE_TEST_SUITE_P(Writes, UnwritableOutput, testing::ValuesIn(unwritable()),
                         [](const testing::TestParamInfo<Unwritable>& i) { return i.param.label; });

// ---- Concurrent runs ---------------------------------------------------------

// Twenty runs started together in one directory each leave one whole log
// line; each line is longer than a pipe buffer, so only a single write per
// line keeps them apart.
TEST(ConcurrentRuns, LogTwentyWholeLines)
{
    constexpr int kRuns = 20;
    TempDir dir;
    const std::string filler(5000, 'w');  // logged, never opened without -c
    std::vector<std::string> names;
    for (int i = 0; i < kRuns; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "s40101%02d run.dat", i);
        names.push_back(name);
        tavo_test::write_bytes(dir.file(name), binary(2));
    }
    std::vector<RunResult> results(kRuns);
    std::vector<std::thread> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.emplace_back([&, i] {
            results[i] = run_tool({"-u", "0", "-f", names[i], filler}, dir.path());
        });
    for (std::thread& t : runs)
        t.join();

    std::set<std::string> want;
    for (int i = 0; i < kRuns; ++i) {
        EXPECT_EQ(results[i].status, 0) << names[i];
        want.insert(std::string(" ") + TAVO2WAV_BIN + " -u 0 -f \"" + names[i] + "\" " + filler);
    }
    std::istringstream log(tavo_test::read_bytes(dir.file("logfile")));
    std::set<std::string> got;
    int lines = 0;
    for (std::string line; std::getline(log, line); ++lines) {
        EXPECT_TRUE(stamped(line)) << line.substr(0, 80);
        got.insert(line.size() > 17 ? line.substr(17) : line);
    }
    EXPECT_EQ(lines, kRuns);
    EXPECT_EQ(got, want);
}

// ---- Thousands of files --------------------------------------------------------

// Each reader is closed once its file is read, so 3000 files combine under a
// limit of 64 open descriptors.
TEST(ManyFilesSlow, CombineThreeThousandUnderDescriptorLimit)
{
    constexpr int kFiles = 3000;
    TempDir dir;
    const std::string bytes = binary(1);
    std::vector<std::string> args = {"-c", "-u", "0", "-f"};
    std::string err;
    for (int i = 0; i < kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "n%04d.dat", i);
        tavo_test::write_bytes(dir.file(name), bytes);
        args.push_back(name);
        err += reader_lines(name, "binary");
    }
    Limits limits;
    limits.max_files = 64;
    limits.timeout_s = 120;
    const RunResult r = run_tool(args, dir.path(), limits);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(fs::file_size(dir.file("a0000.wav")), 44u + 2u * 128u * kFiles);
}

}  // namespace
