// The tavoinfo command line (exit status, standard output and error exactly),
// its JSON form read back by Python's json module, and --version of both
// programs.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tavo_writer.h"

using namespace tavo_test;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs program with args in directory cwd, standard output and error going
// to files there.
Outcome run(const std::string& cwd, const std::vector<std::string>& args)
{
    const std::string out_path = cwd + "/.stdout", err_path = cwd + "/.stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(cwd.c_str()) != 0)
            _exit(127);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Outcome r;
    int wstatus = 0;
    if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
        r.status = WEXITSTATUS(wstatus);
    r.out = read_bytes(out_path);
    r.err = read_bytes(err_path);
    unlink(out_path.c_str());
    unlink(err_path.c_str());
    return r;
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Three records 28 s apart, then one 62 s later: one gap.
std::string gap_file(const TempDir& dir)
{
    const std::string path = dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    Recording rec;
    rec.header = form3_header('S', 512, "18", 2, 'k');
    rec.length = 512;
    const long seconds[] = {0, 28, 56, 118};
    for (int i = 0; i < 4; ++i)
        rec.records.push_back(make_record(512, 0, seconds[i], i));
    write_binary(path, rec);
    return path;
}

bool has_line(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

}  // namespace

TEST(TavoinfoCli, PrintsOneBlockPerFile)
{
    TempDir dir;
    const std::string path = gap_file(dir);
    const Outcome r = run(dir.path(), {TAVOINFO_PATH, path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "file: " + path +
                         "\n"
                         "kind: binary, plain\n"
                         "header: !S512Tidserier sampfrek: 18 gain: 2 station: k date: 2014-03-15 time: 08:00:00\n"
                         "station: k\n"
                         "sampling frequency: 18 Hz\n"
                         "gain: 2\n"
                         "record length: 512 samples per channel\n"
                         "time words: minutes and seconds\n"
                         "records: 4\n"
                         "samples per channel: 2048\n"
                         "first record: 2014-03-15T08:00:00Z\n"
                         "last record: 2014-03-15T08:01:58Z\n"
                         "nominal duration: 113.778 s\n"
                         "time gaps: 1\n"
                         "  gap at 2014-03-15T08:01:24.444Z, 33.556 s\n");
    // The reader library's own lines stay on standard error.
    EXPECT_NE(r.err.find("File: " + path + " Type:binary\n"), std::string::npos);
    EXPECT_FALSE(exists(dir.file("logfile")));
}

TEST(TavoinfoCli, ReportsADamagedFileAndGoesOnWithStatusOne)
{
    TempDir dir;
    const std::string good = gap_file(dir);
    write_bytes(dir.file("short.dat"), "!Tidserier 18 2\r");
    const Outcome r = run(dir.path(), {TAVOINFO_PATH, dir.file("short.dat"), dir.file("none.dat"), good});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("file: " + dir.file("short.dat") + "\nerror: Error: " + dir.file("short.dat") +
                         ": file too short to be a data file\n\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("file: " + dir.file("none.dat") + "\nerror: Can't open " + dir.file("none.dat") + "\n\n"),
              std::string::npos);
    EXPECT_TRUE(has_line(r.out, "records: 4"));
}

TEST(TavoinfoCli, JsonReadsBackWithPython)
{
    TempDir dir;
    const std::string good = gap_file(dir);
    // A header with a tab and a byte that is not UTF-8 (Latin-1 a-ring).
    Recording odd;
    odd.header = "!Tidserier 18 2 \xe5\tx";
    odd.length = 128;
    odd.records.push_back(make_record(128, 0, 0, 0));
    write_binary(dir.file("odd.dat"), odd);
    const Outcome r = run(dir.path(), {TAVOINFO_PATH, "--json", good, dir.file("odd.dat"), dir.file("none.dat")});
    EXPECT_EQ(r.status, 1);
    write_bytes(dir.file("report.json"), r.out);
    const Outcome py = run(dir.path(), {PYTHON3_PATH, JSON_CHECK_PATH, dir.file("report.json")});
    ASSERT_EQ(py.status, 0) << py.err;
    const std::vector<std::string> expected = {
        "files.0.kind=\"binary\"",
        "files.0.gzip=false",
        "files.0.station=\"k\"",
        "files.0.frequency_hz=18",
        "files.0.gain=2",
        "files.0.record_length=512",
        "files.0.time_words=\"minutes-seconds\"",
        "files.0.records=4",
        "files.0.samples_per_channel=2048",
        "files.0.has_date=true",
        "files.0.first_record=\"2014-03-15T08:00:00Z\"",
        "files.0.last_record=\"2014-03-15T08:01:58Z\"",
        "files.0.first_record_seconds=1394870400",
        "files.0.time_gaps=1",
        "files.0.gaps.0.start=\"2014-03-15T08:01:24.444Z\"",
        "files.0.gaps.0.seconds=33.55555555555556",
        "files.0.gaps.0.start_seconds=1394870484.4444444",
        "files.0.error=null",
        "files.1.header=\"!Tidserier 18 2 \\u00e5\\tx\"",
        "files.1.gain=2",
        "files.1.has_date=false",
        "files.1.last_record=\"00:00:00\"",
        "files.2.kind=null",
        "files.2.records=0",
        "files.2.first_record=null",
        "files.2.error=\"Can't open " + dir.file("none.dat") + "\"",
    };
    for (const std::string& line : expected)
        EXPECT_TRUE(has_line(py.out, line)) << line << "\nin:\n" << py.out;
}

TEST(TavoinfoCli, ReportsUnknownOptionsAndStillReads)
{
    TempDir dir;
    const std::string good = gap_file(dir);
    const Outcome r = run(dir.path(), {TAVOINFO_PATH, "-x", good});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.substr(0, 19), "Unknown option: -x\n");
    EXPECT_TRUE(has_line(r.out, "records: 4"));
}

TEST(TavoinfoCli, WantsAtLeastOneFile)
{
    TempDir dir;
    const Outcome r = run(dir.path(), {TAVOINFO_PATH, "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: No files given\n\n");
    EXPECT_EQ(r.out.substr(0, 16), "Usage: tavoinfo ");
}

// --version of both programs: three lines, status 0, nothing else written
// and no command-line log entry.
struct VersionCase {
    const char* name;
    const char* program;
    const char* label;
    std::vector<std::string> args;
};

// Test names show the row name, not the bytes of the row.
void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.name; }

class Version : public ::testing::TestWithParam<VersionCase> {};

TEST_P(Version, PrintsProgramAndLibraryVersions)
{
    TempDir dir;
    std::vector<std::string> args = {GetParam().program};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const Outcome r = run(dir.path(), args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(GetParam().label) + " " PROJECT_VERSION_TEXT "\nlibzeltra 1.71\nlibkemra 0.52\n");
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(exists(dir.file("logfile")));
}

INSTANTIATE_TEST_SUITE_P(
    Programs, Version,
    ::testing::Values(VersionCase{"Tavo2wavLong", TAVO2WAV_PATH, "tavo2wav", {"--version"}},
                      VersionCase{"Tavo2wavShort", TAVO2WAV_PATH, "tavo2wav", {"-version"}},
                      VersionCase{"Tavo2wavAmongOptions", TAVO2WAV_PATH, "tavo2wav", {"-s", "x.dat", "--version", "-r", "1"}},
                      VersionCase{"TavoinfoLong", TAVOINFO_PATH, "tavoinfo", {"--version"}},
                      VersionCase{"TavoinfoAmongFiles", TAVOINFO_PATH, "tavoinfo", {"x.dat", "--version"}}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

TEST(Version, GivesWayToHelp)
{
    TempDir dir;
    const Outcome r = run(dir.path(), {TAVO2WAV_PATH, "--version", "-h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 22), "libkemra Version 0.52 ");
}
