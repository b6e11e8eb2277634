// tavoinfo --archive on generated archive trees: the coverage report of a
// window (files, records, stretches without data, covered percent, missing
// slots) across day and month folders, with files missing at the start,
// inside and at the end, gzip and plain, binary and text, 128- and
// 512-sample blocks; the JSON form read back by Python; and every refusal
// with its exact text and status 1.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "process.h"
#include "tavo_writer.h"

using namespace tavo_test;

namespace {

// One file of the tree under "arch": station k at 12.8 Hz, so a record of
// 128 samples lasts 10 s and one of 512 samples 40 s.  Records follow each
// other from the slot's start for `minutes`, except those that start in the
// minutes [hole_from, hole_to) after it.
struct FileSpec {
    int year, month, day, slot;
    char form;     // 'b' binary, 't' text, 'o' old-style binary
    char storage;  // 'p' plain, 'z' gzip, '2' both (NAME.dat and NAME.dat.gz)
    int length;
    char words;  // 'S' minutes and seconds from midnight, 'U' Unix time
    int minutes;
    int hole_from = 0, hole_to = 0;
};

void write_file(const std::string& root, const FileSpec& f)
{
    const std::string path = dated_path(root, 'k', f.year, f.month, f.day, f.slot);
    std::int64_t midnight = 0;
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", f.year, f.month, f.day);
    tavo::archive::parse_time(date, midnight);
    const long seconds = f.length / 128 * 10;
    Recording rec{form3_header(f.words, f.length, "12.8", 2, 'k', date),
                  f.form != 'o',
                  static_cast<std::size_t>(f.length),
                  {}};
    if (f.form == 'o')
        rec.header = "Tidserier old";
    for (long t = 0; t < f.minutes * 60L; t += seconds) {
        if (t >= f.hole_from * 60L && t < f.hole_to * 60L)
            continue;
        const std::int64_t at = midnight + f.slot * 1800L + t;
        const long in_day = static_cast<long>(at - midnight);
        rec.records.push_back(f.words == 'U'
                                  ? make_record(rec.length, at & 0xFFFF, at >> 16, 1)
                                  : make_record(rec.length, in_day / 60, in_day % 60, 1));
    }
    if (f.form == 't')
        write_text(path, rec);
    else
        write_binary(path, rec);
    if (f.storage != 'p')
        gzip_copy(path, path + ".gz");
    if (f.storage == 'z')
        std::remove(path.c_str());
}

// A tree, the window's options after "tavoinfo", and the exact outcome;
// `err` is all of standard error when no file is read, otherwise a part of it.
struct ReportCase {
    const char* name;
    std::vector<FileSpec> files;
    std::vector<std::string> args;
    int status;
    std::string out, err;
};

void PrintTo(const ReportCase& c, std::ostream* os)
{
    *os << c.name;
}

RunResult run_in_tree(const std::vector<FileSpec>& files, const std::vector<std::string>& args,
                      TempDir& dir)
{
    for (const FileSpec& f : files)
        write_file(dir.file("arch"), f);
    std::vector<std::string> argv{TAVOINFO_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(argv, dir.path());
}

std::vector<std::string> window(const char* from, const char* to_option, const char* to)
{
    return {"--archive", "arch", "--station", "k", "--from", from, to_option, to};
}

class ArchiveReport : public ::testing::TestWithParam<ReportCase> {};

}  // namespace

TEST_P(ArchiveReport, PrintsExactlyThis)
{
    const ReportCase& c = GetParam();
    TempDir dir;
    const RunResult r = run_in_tree(c.files, c.args, dir);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    if (c.files.empty())
        EXPECT_EQ(r.err, c.err);
    else
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
}

const std::string D15 = "  arch/2014/03/20140315/";

INSTANTIATE_TEST_SUITE_P(
    Trees, ArchiveReport,
    ::testing::Values(
        // The file that starts at 22:00 the day before (Unix time) reaches into the window.
        ReportCase{"DayBoundaryAndAFileFromTheDayBefore",
                   {{2014, 3, 14, 44, 'b', 'p', 512, 'U', 150},
                    {2014, 3, 15, 1, 't', 'p', 128, 'S', 30},
                    {2014, 3, 15, 2, 'b', 'z', 512, 'S', 60}},
                   window("2014-03-15", "--duration", "2h"),
                   0,
                   "archive: arch\nstation: k\n"
                   "window: 2014-03-15T00:00:00Z to 2014-03-15T02:00:00Z (7200 s)\nfiles: 3\n"
                   "  arch/2014/03/20140314/k4031444.dat: 45 records in the window, 225 read\n" +
                       D15 + "k4031501.dat: 180 records in the window, 180 read\n" + D15 +
                       "k4031502.dat.gz: 90 records in the window, 90 read\n"
                       "records: 315\nno data: 0\ncovered: 100.00 % of 7200 s\nmissing slots: 0\n",
                   ""},
        ReportCase{
            "MonthBoundaryMissingInsideAndAtTheEnd",
            {{2014, 2, 28, 46, 'b', 'p', 512, 'S', 30}, {2014, 3, 1, 0, 'b', 'z', 512, 'S', 30}},
            window("2014-02-28T23:00:00Z", "--to", "2014-03-01T01:00Z"),
            0,
            "archive: arch\nstation: k\n"
            "window: 2014-02-28T23:00:00Z to 2014-03-01T01:00:00Z (7200 s)\nfiles: 2\n"
            "  arch/2014/02/20140228/k4022846.dat: 45 records in the window, 45 read\n"
            "  arch/2014/03/20140301/k4030100.dat.gz: 45 records in the window, 45 read\n"
            "records: 90\nno data: 2\n"
            "  from 2014-02-28T23:30:00Z to 2014-03-01T00:00:00Z (1800 s)\n"
            "  from 2014-03-01T00:30:00Z to 2014-03-01T01:00:00Z (1800 s)\n"
            "covered: 50.00 % of 7200 s\nmissing slots: 2\n"
            "  2014-02-28T23:30:00Z arch/2014/02/20140228/k4022847.dat\n"
            "  2014-03-01T00:30:00Z arch/2014/03/20140301/k4030101.dat\n",
            ""},
        // Slot 14 is there plain and compressed: the plain file is read.
        ReportCase{"MissingAtTheStartTextAndGzipMixed",
                   {{2014, 3, 15, 13, 't', 'z', 128, 'S', 30},
                    {2014, 3, 15, 14, 'b', '2', 512, 'S', 30},
                    {2014, 3, 15, 15, 't', 'p', 512, 'S', 30}},
                   window("2014-03-15T06:00:00", "--to", "2014-03-15T08:00:00Z"),
                   0,
                   "archive: arch\nstation: k\n"
                   "window: 2014-03-15T06:00:00Z to 2014-03-15T08:00:00Z (7200 s)\nfiles: 3\n" +
                       D15 + "k4031513.dat.gz: 180 records in the window, 180 read\n" + D15 +
                       "k4031514.dat: 45 records in the window, 45 read "
                       "(arch/2014/03/20140315/k4031514.dat.gz not read)\n" +
                       D15 +
                       "k4031515.dat: 45 records in the window, 45 read\n"
                       "records: 270\nno data: 1\n"
                       "  from 2014-03-15T06:00:00Z to 2014-03-15T06:30:00Z (1800 s)\n"
                       "covered: 75.00 % of 7200 s\nmissing slots: 1\n"
                       "  2014-03-15T06:00:00Z arch/2014/03/20140315/k4031512.dat\n",
                   "Warning: both arch/2014/03/20140315/k4031514.dat and "
                   "arch/2014/03/20140315/k4031514.dat.gz exist; reading "
                   "arch/2014/03/20140315/k4031514.dat\n"},
        ReportCase{"WindowInsideOneFile",
                   {{2014, 3, 15, 16, 'b', 'p', 512, 'S', 180}},
                   window("2014-03-15T09:00:00Z", "--duration", "60m"),
                   0,
                   "archive: arch\nstation: k\n"
                   "window: 2014-03-15T09:00:00Z to 2014-03-15T10:00:00Z (3600 s)\nfiles: 1\n" +
                       D15 +
                       "k4031516.dat: 90 records in the window, 270 read\n"
                       "records: 90\nno data: 0\ncovered: 100.00 % of 3600 s\nmissing slots: 0\n",
                   ""},
        // A hole of 20 minutes inside a file is no missing file.
        ReportCase{"HoleInsideAFile",
                   {{2014, 3, 15, 16, 'b', 'p', 512, 'S', 60, 20, 40}},
                   window("2014-03-15T08:00:00Z", "--duration", "3600s"),
                   0,
                   "archive: arch\nstation: k\n"
                   "window: 2014-03-15T08:00:00Z to 2014-03-15T09:00:00Z (3600 s)\nfiles: 1\n" +
                       D15 +
                       "k4031516.dat: 60 records in the window, 60 read\n"
                       "records: 60\nno data: 1\n"
                       "  from 2014-03-15T08:20:00Z to 2014-03-15T08:40:00Z (1200 s)\n"
                       "covered: 66.66 % of 3600 s\nmissing slots: 0\n",
                   "TIMEGAP in data\n"},
        // The file before the window ends at 09:00; the window starts at 09:15.
        ReportCase{
            "WindowStartsInsideAGap",
            {{2014, 3, 15, 16, 'b', 'p', 512, 'S', 60}, {2014, 3, 15, 20, 'b', 'p', 128, 'S', 30}},
            window("2014-03-15T09:15:00Z", "--to", "2014-03-15T10:30:00Z"),
            0,
            "archive: arch\nstation: k\n"
            "window: 2014-03-15T09:15:00Z to 2014-03-15T10:30:00Z (4500 s)\nfiles: 2\n" +
                D15 + "k4031516.dat: 0 records in the window, 90 read\n" + D15 +
                "k4031520.dat: 180 records in the window, 180 read\n"
                "records: 180\nno data: 1\n"
                "  from 2014-03-15T09:15:00Z to 2014-03-15T10:00:00Z (2700 s)\n"
                "covered: 40.00 % of 4500 s\nmissing slots: 2\n"
                "  2014-03-15T09:00:00Z to 2014-03-15T10:00:00Z, 2 slots: "
                "arch/2014/03/20140315/k4031518.dat to arch/2014/03/20140315/k4031519.dat\n",
            ""},
        ReportCase{"OldStyleFileCannotBePlaced",
                   {{2014, 3, 15, 16, 'o', 'p', 128, 'S', 10}},
                   window("2014-03-15T08:00:00Z", "--duration", "1h"),
                   1,
                   "archive: arch\nstation: k\n"
                   "window: 2014-03-15T08:00:00Z to 2014-03-15T09:00:00Z (3600 s)\nfiles: 1\n" +
                       D15 +
                       "k4031516.dat: 0 records in the window, 0 read, error: "
                       "arch/2014/03/20140315/k4031516.dat has no time stamps and cannot be "
                       "placed in the window\n"
                       "records: 0\nno data: 1\n"
                       "  from 2014-03-15T08:00:00Z to 2014-03-15T09:00:00Z (3600 s)\n"
                       "covered: 0.00 % of 3600 s\nmissing slots: 1\n"
                       "  2014-03-15T08:30:00Z arch/2014/03/20140315/k4031517.dat\n",
                   ""},
        // The file before the window is read, but none of its records reaches it.
        ReportCase{"OnlyAFileThatEndsBeforeTheWindow",
                   {{2014, 3, 15, 16, 'b', 'p', 512, 'S', 30}},
                   window("2014-03-15T09:00:00Z", "--to", "2014-03-15T10:00:00Z"),
                   1,
                   "",
                   "Error: no data of station k between 2014-03-15T09:00:00Z and "
                   "2014-03-15T10:00:00Z under arch\n"}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Refusals, ArchiveReport,
    ::testing::Values(
        ReportCase{"NothingUnderTheRoot",
                   {},
                   window("2014-04-01", "--duration", "1d"),
                   1,
                   "",
                   "Error: no data of station k between 2014-04-01T00:00:00Z and "
                   "2014-04-02T00:00:00Z under arch\n"},
        ReportCase{"UnreadableTime",
                   {},
                   window("2014-03-15T06:00:00.5Z", "--to", "2014-03-16"),
                   1,
                   "",
                   "Error: cannot read the time \"2014-03-15T06:00:00.5Z\" (use "
                   "2014-03-15T06:00:00Z)\n"},
        ReportCase{"ToBeforeFrom",
                   {},
                   window("2014-03-15", "--to", "2014-03-14"),
                   1,
                   "",
                   "Error: --from must be before --to\n"},
        ReportCase{"UnreadableDuration",
                   {},
                   window("2014-03-15", "--duration", "1.5h"),
                   1,
                   "",
                   "Error: cannot read the duration \"1.5h\" (use 72h, 30m, 90s or 3d)\n"},
        ReportCase{"ArchiveWithoutStation",
                   {},
                   {"--archive", "arch", "--from", "2014-03-15", "--to", "2014-03-16"},
                   1,
                   "",
                   "Error: --archive needs --station and --from\n"},
        ReportCase{"ToAndDuration",
                   {},
                   {"--archive", "arch", "--station", "k", "--from", "2014-03-15", "--to",
                    "2014-03-16", "--duration", "1d"},
                   1,
                   "",
                   "Error: --to and --duration cannot be given together\n"},
        ReportCase{"FilesBesideTheArchive",
                   {},
                   {"--archive", "arch", "--station", "k", "--from", "2014-03-15", "--to",
                    "2014-03-16", "k4031516.dat"},
                   1,
                   "",
                   "Error: --archive finds its files itself; name no files with it\n"},
        ReportCase{"WindowOfNamedFiles",
                   {},
                   {"--from", "2014-03-15", "--to", "2014-03-16", "k4031516.dat"},
                   1,
                   "",
                   "Error: tavoinfo needs --archive and --station for a window\n"},
        ReportCase{"OptionWithoutValue",
                   {},
                   {"--station", "k", "--from", "2014-03-15", "--to", "2014-03-16", "--archive"},
                   1,
                   "",
                   "Error: --archive needs a value\n"},
        ReportCase{"SoundAxisOfAWindow",
                   {},
                   {"--archive", "arch", "--station", "k", "--from", "2014-03-15", "--to",
                    "2014-03-16", "--plot", "w.png", "--audio", "-u 50"},
                   1,
                   "",
                   "Error: --audio goes with files, not with --archive\n"},
        ReportCase{
            "MistypedOption",
            {},
            {"--archive", "arch", "--station", "k", "--from", "2014-03-15", "--too", "2014-03-16"},
            1,
            "",
            "Error: unknown option --too (did you mean --to?)\n"}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.name); });

TEST(ArchiveReport, JsonReadsBackWithPython)
{
    TempDir dir;
    const RunResult r = run_in_tree({{2014, 3, 15, 16, 'b', '2', 512, 'S', 30}},
                                    {"--json", "--archive", "arch", "--station", "k", "--from",
                                     "2014-03-15T08:00:00Z", "--duration", "1h"},
                                    dir);
    ASSERT_EQ(r.status, 0) << r.err;
    write_bytes(dir.file("report.json"), r.out);
    const RunResult py = run_process({PYTHON3_PATH, JSON_CHECK_PATH, "report.json"}, dir.path());
    ASSERT_EQ(py.status, 0) << py.err;
    EXPECT_EQ(py.out,
              "archive=\"arch\"\nstation=\"k\"\nfrom=\"2014-03-15T08:00:00Z\"\n"
              "to=\"2014-03-15T09:00:00Z\"\nwindow_seconds=3600\n"
              "files.0.file=\"arch/2014/03/20140315/k4031516.dat\"\nfiles.0.records=45\n"
              "files.0.records_read=45\n"
              "files.0.shadowed=\"arch/2014/03/20140315/k4031516.dat.gz\"\nfiles.0.error=null\n"
              "records=45\nno_data.0.from=\"2014-03-15T08:30:00Z\"\n"
              "no_data.0.to=\"2014-03-15T09:00:00Z\"\nno_data.0.seconds=1800\n"
              "no_data.0.from_seconds=1394872200\nno_data.0.to_seconds=1394874000\n"
              "covered_percent=50\nmissing_slots.0.start=\"2014-03-15T08:30:00Z\"\n"
              "missing_slots.0.end=\"2014-03-15T09:00:00Z\"\nmissing_slots.0.slots=1\n"
              "missing_slots.0.first_file=\"arch/2014/03/20140315/k4031517.dat\"\n"
              "missing_slots.0.last_file=\"arch/2014/03/20140315/k4031517.dat\"\n");
}
