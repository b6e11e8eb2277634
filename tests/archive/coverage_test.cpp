// The files of a window: found by the archive's path convention, read with each
// record placed in station time, and their coverage (runs, stretches without
// data, the covered percent, the missing slots, the warning lines).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "rows.h"
#include "tavo_writer.h"

namespace ta = tavo::archive;
using namespace tavo_test;

namespace {

// A tree of empty entries (a name ending in '/' is a folder), a window, and
// the files found: paths under the root, "+TWIN" after a shadowed twin.
struct TreeCase {
    const char* name;
    std::vector<std::string> entries;
    const char *from, *to;
    std::vector<std::string> want;
};

class FindFiles : public ::testing::TestWithParam<TreeCase> {};

std::int64_t at(const char* text)
{
    std::int64_t t = 0;
    EXPECT_TRUE(ta::parse_time(text, t)) << text;
    return t;
}

TEST_P(FindFiles, ListsTheSlotsOfTheWindowAfterTheLastFileBeforeIt)
{
    const TreeCase& c = GetParam();
    TempDir dir;
    const std::string root = dir.file("arch");
    for (const std::string& e : c.entries) {
        std::filesystem::create_directories(std::filesystem::path(root + "/" + e).parent_path());
        if (e.back() == '/')
            std::filesystem::create_directories(root + "/" + e);
        else
            write_bytes(root + "/" + e, "");
    }
    // A root with a trailing slash gives the same paths.
    for (const std::string& given : {root, root + "/"}) {
        const ta::Listing listing = ta::find_files({given, 'k', at(c.from), at(c.to)});
        EXPECT_EQ(listing.error, "");
        std::vector<std::string> got;
        for (const ta::ArchiveFile& f : listing.files) {
            EXPECT_EQ(ta::slot_path(root, 'k', f.slot_start),
                      f.path.substr(0, f.path.find(".dat") + 4));
            got.push_back(f.path.substr(root.size() + 1) +
                          (f.shadowed.empty() ? "" : "+" + f.shadowed.substr(root.size() + 1)));
        }
        EXPECT_EQ(got, c.want) << given;
    }
}

const std::string D15 = "2014/03/20140315/";

// clang-format off
const TreeCase trees[] = {
    // Slot 12 starts 06:00, before the window: the last such file is read, not slot 10.
    {"SlotsAndTheFileBefore",
     {D15 + "k4031510.dat", D15 + "k4031512.dat", D15 + "k4031514.dat.gz", D15 + "k4031515.dat"},
     "2014-03-15T06:10:00Z", "2014-03-15T07:30:00Z",
     {D15 + "k4031512.dat", D15 + "k4031514.dat.gz"}},
    {"EndIsExclusive", {D15 + "k4031546.dat", "2014/03/20140316/k4031600.dat"},
     "2014-03-15T23:00:00Z", "2014-03-16T00:00:00Z", {D15 + "k4031546.dat"}},
    {"FileBeforeInThePreviousDay", {"2014/03/20140314/k4031444.dat", D15 + "k4031502.dat"},
     "2014-03-15", "2014-03-15T02:00:00Z", {"2014/03/20140314/k4031444.dat", D15 + "k4031502.dat"}},
    {"AcrossTheYear",
     {"2013/12/20131231/k3123140.dat", "2014/01/20140101/k4010100.dat.gz",
      "2014/01/20140101/k4010101.dat"},
     "2013-12-31T23:00:00Z", "2014-01-01T01:00:00Z",
     {"2013/12/20131231/k3123140.dat", "2014/01/20140101/k4010100.dat.gz",
      "2014/01/20140101/k4010101.dat"}},
    {"AcrossTheMonthInALeapYear",
     {"2016/02/20160229/k6022946.dat", "2016/03/20160301/k6030100.dat"},
     "2016-02-29T23:30:00Z", "2016-03-01T00:30:00Z",
     {"2016/02/20160229/k6022946.dat", "2016/03/20160301/k6030100.dat"}},
    {"TwoDaysBack", {"2014/03/20140313/k4031300.dat"}, "2014-03-15T06:00:00Z",
     "2014-03-15T07:00:00Z", {"2014/03/20140313/k4031300.dat"}},
    {"ThreeDaysBackIsTooFar", {"2014/03/20140312/k4031247.dat"}, "2014-03-15T00:00:00Z",
     "2014-03-15T07:00:00Z", {}},
    {"PlainReadBeforeItsGzipTwin",
     {D15 + "k4031516.dat.gz", D15 + "k4031516.dat", D15 + "k4031517.dat.gz"},
     "2014-03-15T08:00:00Z", "2014-03-15T09:00:00Z",
     {D15 + "k4031516.dat+" + D15 + "k4031516.dat.gz", D15 + "k4031517.dat.gz"}},
    // Another station, year digit, month or day than the folders, slot 48,
    // other extensions, a folder with a file's name, misnamed folders.
    {"NamesOffTheConvention",
     {D15 + "x4031516.dat", D15 + "K4031516.dat", D15 + "k5031516.dat", D15 + "k4041516.dat",
      D15 + "k4031616.dat", D15 + "k4031548.dat", D15 + "k4031516.txt", D15 + "k4031516.dat.bz2",
      D15 + "k4031516.datx", D15 + "k4031517.dat/", "2014/03/20140415/k4041516.dat",
      "2014/3/20140315/k4031516.dat", "2014/03/2014031/k4031516.dat"},
     "2014-03-15T00:00:00Z", "2014-03-16T00:00:00Z", {}},
    {"NoArchiveThere", {}, "2014-03-15", "2014-03-16", {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Trees, FindFiles, ::testing::ValuesIn(trees), RowName());

const std::int64_t T0 = 1394870400;  // 2014-03-15T08:00:00Z

// Records of `seconds` each, the k-th starting at start + k * step (seconds after T0).
std::vector<ta::Span> records(double start, int count, double step, double seconds)
{
    std::vector<ta::Span> r;
    for (int k = 0; k < count; ++k)
        r.push_back({T0 + start + k * step, T0 + start + k * step + seconds});
    return r;
}

std::vector<ta::Span> operator+(std::vector<ta::Span> a, const std::vector<ta::Span>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Files of records in reading order, the window [T0 + from, T0 + seconds), the slots the files
// are named for, and the coverage: the stretches, the percent, the missing slots.
struct CoverageCase {
    const char* name;
    std::vector<std::vector<ta::Span>> files;
    std::int64_t seconds;
    std::vector<std::int64_t> named;
    std::string want;
    std::int64_t from = 0;
};

std::string digest(const ta::Coverage& c)
{
    std::string s;
    for (const ta::NoData& n : c.no_data)
        s += ta::no_data_text(n).substr(16) + "; ";  // without "from 2014-03-15T"
    s += ta::percent_text(c.covered_percent) + " %, missing";
    for (const ta::SlotRun& run : c.missing_slots)
        s += " " + ta::format_time(run.start).substr(11, 5) + "x" + std::to_string(run.count);
    return s + ", " + std::to_string(c.records) + " records";
}

class Coverage : public ::testing::TestWithParam<CoverageCase> {};

TEST_P(Coverage, TellsTheStretchesWithoutDataAndTheMissingSlots)
{
    const CoverageCase& c = GetParam();
    const ta::Window w{"arch", 'k', T0 + c.from, T0 + c.seconds};
    std::vector<ta::FileRecords> files(c.files.size());
    for (std::size_t i = 0; i < c.files.size(); ++i)
        for (const ta::Span& r : c.files[i])
            files[i].add(w, r);
    std::vector<std::int64_t> named;
    for (const std::int64_t s : c.named)
        named.push_back(T0 + s);
    EXPECT_EQ(digest(ta::measure_coverage(w, files, named)), c.want);
}

const double R512 = 512 / 18.0;  // a record of 512 samples at 18 Hz, 28.444 s

// clang-format off
const CoverageCase coverages[] = {
    {"EveryRecordFollows", {records(0, 90, 40, 40)}, 3600, {0, 1800},
     "100.00 %, missing, 90 records"},
    // Records stamped every 28 s: the stretch runs from the end of record 40
    // (1148.444 s) to the next stamp.
    {"HoleInside", {records(0, 41, 28, R512) + records(2965, 23, 28, R512)}, 3600, {0},
     "08:19:08Z to 2014-03-15T08:49:25Z (1817 s); 49.54 %, missing 08:30x1, 64 records"},
    // Holes of 2 s and 1.5 s, data 1.5 s after the start and up to 2 s
    // before the end are covered; a hole of 2.5 s is not (1002.5 shown as 1003).
    {"ShortHolesAreCovered",
     {records(1.5, 1, 0, 998.5) + records(1002.5, 1, 0, 1000) + records(2004.5, 1, 0, 1000) +
      records(3006, 1, 0, 592)}, 3600, {0, 1800},
     "08:16:40Z to 2014-03-15T08:16:43Z (3 s); 99.93 %, missing, 4 records"},
    {"StretchesAtBothEdges", {records(3, 1, 0, 3594.5)}, 3600, {0},
     "08:00:00Z to 2014-03-15T08:00:03Z (3 s); 08:59:58Z to 2014-03-15T09:00:00Z (2 s); "
     "99.84 %, missing, 1 records"},
    // The second file's clock steps back; together the files cover all.
    {"OverlappingFilesAndAStepBack",
     {records(0, 50, 40, 40), records(2500, 28, 40, 40) + records(1500, 25, 40, 40)}, 3600,
     {0, 1800}, "100.00 %, missing, 103 records"},
    // The last record reaches 12.444 s into the 09:00 slot, which is still missing.
    {"TailOfARecordCoversNoSlot", {records(0, 129, 28, R512)}, 7200, {0},
     "09:00:12Z to 2014-03-15T10:00:00Z (3588 s); 50.17 %, missing 09:00x2, 129 records"},
    // One record from 07:50 to 09:30 covers three slots of the window.
    {"RecordLastsThroughSlots", {records(-600, 1, 0, 6000)}, 7200, {},
     "09:30:00Z to 2014-03-15T10:00:00Z (1800 s); 75.00 %, missing 09:30x1, 1 records"},
    {"RecordsBeforeAndAfterOnly", {records(-100, 1, 0, 90) + records(3600, 1, 0, 40)}, 3600,
     {-1800, 3600},
     "08:00:00Z to 2014-03-15T09:00:00Z (3600 s); 0.00 %, missing 08:00x2, 0 records"},
    // 08:10 to 08:50, records from 08:10 to 08:25 of the file named 08:00: the
    // slot the window starts in counts.
    {"WindowOffTheSlots", {records(600, 90, 10, 10)}, 3000, {0},
     "08:25:00Z to 2014-03-15T08:50:00Z (1500 s); 37.50 %, missing 08:30x1, 90 records", 600},
    // 999999999 days; a file without records named for the third day's first slot.
    {"MissingSlotsComeAsRunsWhateverTheLength", {records(0, 90, 40, 40)}, 999999999LL * 86400,
     {0, 40 * 3600},
     "09:00:00Z to 2739921-03-17T08:00:00Z (86399999910000 s); 0.00 %, "
     "missing 09:00x78 00:30x47999999871, 90 records"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Windows, Coverage, ::testing::ValuesIn(coverages), RowName());

TEST(NoDataLines, ShowTenStretchesThenHowManyMore)
{
    std::vector<ta::NoData> stretches;
    for (int i = 0; i < 12; ++i)
        stretches.push_back({T0 + 100.0 * i + 0.5, T0 + 100.0 * i + 50.49});
    const std::string text = ta::no_data_warnings(stretches);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              "Warning: no data from 2014-03-15T08:00:01Z to 2014-03-15T08:00:50Z (49 s)\n");
    EXPECT_EQ(text.substr(text.rfind("Warning: no data")),
              "Warning: no data from 2014-03-15T08:15:01Z to 2014-03-15T08:15:50Z (49 s)\n"
              "Warning: and 2 more stretches without data\n");
    EXPECT_EQ(ta::no_data_warnings(stretches, 12).find("more"), std::string::npos);
    EXPECT_EQ(ta::no_data_warnings({}), "");
}

// A generated file (form, place, time words), a window, and what read_records gives.
struct FileCase {
    const char* name;
    char form;  // 'b' binary, 't' text, 'z' gzip-compressed binary, 'o' old-style
    int slot;   // slot of a dated path on 2014-03-15; -1: no date in the path
    std::string header;
    std::size_t length;
    std::vector<std::array<long, 2>> times;
    std::size_t cut;        // bytes cut off the end
    std::int64_t from, to;  // window, seconds after T0
    const char* want;
};

// "in the window/read, each run in seconds after T0 | the error", the folder shown as D.
std::string digest(const ta::FileRecords& f, const std::string& dir)
{
    std::string s = std::to_string(f.records) + "/" + std::to_string(f.records_read);
    char run[64];
    for (const ta::Span& r : f.runs) {
        std::snprintf(run, sizeof run, " [%.3f, %.3f)", r.start - T0, r.end - T0);
        s += run;
    }
    std::string error = f.error;
    for (std::size_t at; (at = error.find(dir)) != std::string::npos;)
        error.replace(at, dir.size(), "D");
    return error.empty() ? s : s + " | " + error;
}

class ReadRecords : public ::testing::TestWithParam<FileCase> {};

TEST_P(ReadRecords, PlacesEveryRecordInStationTime)
{
    const FileCase& c = GetParam();
    TempDir dir;
    const std::string path =
        c.slot < 0 ? dir.file("k.dat") : dated_path(dir.path(), 'k', 2014, 3, 15, c.slot);
    write_bytes(path,
                stamped_bytes(c.form == 'z' ? 'b' : c.form, c.header, c.length, c.times, c.cut));
    if (c.form == 'z')
        gzip_copy(path, path + ".gz");
    const ta::Window w{"", 0, T0 + c.from, T0 + c.to};
    EXPECT_EQ(digest(ta::read_records(path + (c.form == 'z' ? ".gz" : ""), w), dir.path()), c.want);
}

const std::string S512 = form3_header('S', 512, "18", 2, 'k');
const std::vector<std::array<long, 2>> THREE = {{0, 0}, {0, 28}, {0, 56}};

// clang-format off
const FileCase files[] = {
    // Slot 16 gives the base hour 08:00 to minute words up to 60.
    {"MinuteStampsOnThePathsDay", 'b', 16, S512, 512, THREE, 0, 0, 3600, "3/3 [0.000, 84.444)"},
    {"TextOf128Samples", 't', 16, form3_header('S', 128, "18", 2, 'k'), 128,
     {{0, 0}, {0, 7}, {0, 14}}, 0, 0, 3600, "3/3 [0.000, 21.111)"},
    // 1394870400 = 21284 * 65536 + 2176; a gap of 100 s opens a second run.
    {"GzipWithUnixTime", 'z', 16, form3_header('U', 512, "18", 2, 'k'), 512,
     {{2176, 21284}, {2204, 21284}, {2332, 21284}}, 0, 0, 3600,
     "3/3 [0.000, 56.444) [156.000, 184.444)"},
    {"HeaderDateWhenThePathHasNone", 'b', -1, S512, 512, {{480, 0}, {480, 28}}, 0, 0, 3600,
     "2/2 [0.000, 56.444)"},
    // Slot 00 has no base hour: 1439:50 is 23:59:50, and 0:18 lies past midnight.
    {"PastMidnight", 'b', 0, S512, 512, {{1439, 50}, {0, 18}}, 0, 57590, 57700,
     "2/2 [57590.000, 57646.444)"},
    // The first record ends before the window, the third starts after it.
    {"OnlyTheRecordsInTheWindow", 'b', 16, S512, 512, THREE, 0, 30, 50, "1/3 [28.000, 56.444)"},
    // The look-ahead record was read whole before the read that failed.
    {"CutInsideTheThirdRecord", 'b', 16, S512, 512, THREE, 700, 0, 3600,
     "2/2 [0.000, 56.444) | Error: D/2014/03/20140315/k4031516.dat: file ends inside a record\n"},
    {"OldStyle", 'o', 16, "Tidserier old", 128, {{0, 0}}, 0, 0, 3600,
     "0/0 | Error: D/2014/03/20140315/k4031516.dat has no time stamps and cannot be placed in "
     "the window\n"},
    {"NoDate", 'b', -1, form1_header("18", "2"), 128, {{480, 0}}, 0, 0, 3600,
     "0/0 | Error: D/k.dat gives no date and cannot be placed in the window\n"},
    {"NoFrequency", 'b', 16, form1_header("0", "2"), 128, {{0, 0}}, 0, 0, 3600,
     "0/0 | Error: D/2014/03/20140315/k4031516.dat has no sampling frequency and cannot be "
     "placed in the window\n"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Files, ReadRecords, ::testing::ValuesIn(files), RowName());

}  // namespace
