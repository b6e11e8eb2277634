// tavoinfo's survey of files of known content (records, first and last
// times, gaps, damaged files) and header dates; its command lines are cases
// of tests/cases/tavoinfo.txt, its JSON is read back in test_info_plot.py.
#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "report.h"
#include "rows.h"
#include "survey.h"
#include "tavo_writer.h"

using namespace tavo_test;

namespace {

const std::string S512 = form3_header('S', 512, "18", 2, 'k');

// A file of records whose time words are the given (minute, second) or (low,
// high) pairs, and what the survey reports on it.
struct FileCase {
    const char* name;
    int slot;   // time slot of a dated path; -1: no date in the path
    char form;  // 'b' binary, 'o' old-style binary, 't' text
    std::string header;
    std::vector<std::array<long, 2>> times;
    std::size_t length, cut;  // samples per channel in a record; bytes cut off the end
    const char* want;
};

// A report on one line: kind, time words, records, first and last stamps,
// each gap, and the error, in which the temporary directory reads "D".
std::string digest(const tavoinfo::FileReport& r, const std::string& dir)
{
    const auto at = [&r](double t) { return tavoinfo::format_time(t, r.has_date); };
    std::ostringstream o;
    o << r.kind << " w" << static_cast<int>(r.time_words) << ": " << r.records;
    if (r.time_words != tavoinfo::TimeWords::None)
        o << " " << at(r.first) << ".." << at(r.last);
    o << ", " << r.time_gaps << " gaps" << std::fixed << std::setprecision(3);
    for (const tavoinfo::Gap& g : r.gaps)
        o << " [" << at(g.start) << " " << g.seconds << "]";
    const std::size_t d = r.error.find(dir);
    const std::string error =
        d == std::string::npos ? r.error : std::string(r.error).replace(d, dir.size(), "D");
    return error.empty() ? o.str() : o.str() + ", " + error;
}

class Survey : public ::testing::TestWithParam<FileCase> {};

TEST_P(Survey, ReportsWhatTheFileHolds)
{
    TempDir dir;
    const FileCase& c = GetParam();
    const std::string path =
        c.slot < 0 ? dir.file("k4031516.dat") : dated_path(dir.path(), 'k', 2014, 3, 15, c.slot);
    write_bytes(path, stamped_bytes(c.form, c.header, c.length, c.times, c.cut));
    EXPECT_EQ(digest(tavoinfo::survey_file(path), dir.path()), c.want);
}

// clang-format off
const FileCase files[] = {
    // Gap limit 512 / 18 + 2 = 30.44 s: 62 s ahead is a gap, and so is 118 s back.
    {"GapsAheadAndBack", 16, 'b', S512, {{0, 0}, {0, 28}, {1, 30}, {1, 58}, {0, 0}}, 512, 0,
     "binary w1: 5 2014-03-15T08:00:00Z..2014-03-15T08:00:00Z, 2 gaps "
     "[2014-03-15T08:00:56.444Z 33.556] [2014-03-15T08:02:26.444Z -146.444]"},
    // Slot 00 has no base hour: minute words above 60 count from midnight.
    {"PastMidnight", 0, 'b', S512, {{1439, 50}, {0, 18}, {5, 0}}, 512, 0,
     "binary w1: 3 2014-03-15T23:59:50Z..2014-03-16T00:05:00Z, 1 gaps "
     "[2014-03-16T00:00:46.444Z 253.556]"},
    // 1394870400 = 2014-03-15T08:00:00Z = 21284 * 65536 + 2176.
    {"UnixTime", -1, 'b', form3_header('U', 512, "18", 2, 'k'), {{2176, 21284}, {2304, 21284}},
     512, 0, "binary w2: 2 2014-03-15T08:00:00Z..2014-03-15T08:02:08Z, 1 gaps "
     "[2014-03-15T08:00:28.444Z 99.556]"},
    // Records of 128 / 16.0008 = 7.9996 s: the gap starts at 23:59:57.9996,
    // shown rounded to 23:59:58.
    {"NoDate", -1, 'b', "!Tidserier 16.0008 2", {{1439, 50}, {1440, 4}}, 128, 0,
     "binary w1: 2 23:59:50..day 1 00:00:04, 1 gaps [23:59:58 6.000]"},
    {"OldStyle", -1, 'o', "Tidserier old", {{0, 0}, {0, 0}}, 128, 0, "binary w0: 2, 0 gaps"},
    // Damaged: what could be read, and the reader's message. The look-ahead
    // record, read whole before the read that failed, counts.
    {"TruncatedRecord", -1, 'b', S512, {{0, 0}, {0, 28}, {0, 56}}, 512, 700,
     "binary w1: 2 2014-03-15T08:00:00Z..2014-03-15T08:00:28Z, 0 gaps, "
     "D/k4031516.dat: file ends inside a record"},
    // Not TAVO data: no header line at all, and a line the length rule
    // accepts but no form does. Nothing is read past it.
    {"NoHeaderLine", -1, 'b', "# notes", {{0, 0}}, 128, 0,
     " w0: 0, 0 gaps, not a TAVO data file (no header line of a known form)"},
    {"HeaderOfNoForm", -1, 'b', "!S 512 notes", {{0, 0}, {0, 28}}, 512, 0,
     " w0: 0, 0 gaps, not a TAVO data file (no header line of a known form)"},
    // A damaged record after a gap: the report names the damage, not the
    // gap summary the reader prints after it.
    {"TruncatedAfterGap", -1, 'b', S512, {{0, 0}, {5, 0}, {5, 28}}, 512, 700,
     "binary w1: 2 2014-03-15T08:00:00Z..2014-03-15T08:05:00Z, 1 gaps "
     "[2014-03-15T08:00:28.444Z 271.556], D/k4031516.dat: file ends inside a record"},
    {"TextValueMissing", -1, 't', form3_header('S', 128, "18", 2, 'k'), {{0, 0}, {0, 7}, {0, 14}},
     128, 100, "text w1: 2 2014-03-15T08:00:00Z..2014-03-15T08:00:07Z, 0 gaps, Failed to read "
     "value 110 of line: 0 14 2152 2153 2154 2155 2156 2157 2158 2159 2160 2161 2162 ..."},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Files, Survey, ::testing::ValuesIn(files), RowName());

// Date tokens of header lines: midnight UTC of the day, -1 when there is none.
struct DateCase {
    const char* name;
    const char* header;
    long long midnight;
};

class HeaderDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(HeaderDate, GivesMidnightOfTheDay)
{
    long long midnight = 0;
    const bool found = tavoinfo::header_date(GetParam().header, midnight);
    EXPECT_EQ(found ? midnight : -1, GetParam().midnight);
}

const DateCase dates[] = {
    {"Slashes", "! date: 2014/03/15 time: 08", 1394841600LL},
    {"Compact", "! date: 20140315", 1394841600LL},
    {"BeforeTheEpoch", "! date: 1969-12-31", -86400LL},
    {"MonthThirteen", "! date: 2014-13-15", -1LL},
    {"TrailingLetter", "! date: 2014-03-15x", -1LL},
    {"MixedSeparators", "! date: 2014-03/15", -1LL},
};

INSTANTIATE_TEST_SUITE_P(Tokens, HeaderDate, ::testing::ValuesIn(dates), RowName());

}  // namespace
