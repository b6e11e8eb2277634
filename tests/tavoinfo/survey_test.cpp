// tavoinfo's file reports on files of known content from the test-support
// writer: header fields, record counts, first and last times, gaps and
// damaged files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "survey.h"
#include "report.h"
#include "tavo_writer.h"

using namespace tavo_test;
using tavoinfo::FileReport;
using tavoinfo::TimeWords;

namespace {

const std::string S512 = form3_header('S', 512, "18", 2, 'k');

// A recording of 512-sample records at 18 Hz whose time words are the given
// (minute, second) or (low, high) pairs.
Recording recording(const std::string& header, const std::vector<std::array<long, 2>>& times,
                    std::size_t length = 512)
{
    Recording rec;
    rec.header = header;
    rec.length = length;
    int seed = 0;
    for (const auto& t : times)
        rec.records.push_back(make_record(length, t[0], t[1], seed++));
    return rec;
}

std::string iso(const FileReport& r, double t)
{
    return tavoinfo::format_time(t, r.has_date);
}

}  // namespace

TEST(Survey, ReportsHeaderFieldsOfABinaryFile)
{
    TempDir dir;
    const std::string path = dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    write_binary(path, recording(S512, {{0, 0}, {0, 28}, {0, 56}}));
    const FileReport r = tavoinfo::survey_file(path);
    EXPECT_EQ(r.error, "");
    EXPECT_TRUE(r.opened);
    EXPECT_FALSE(r.gzip);
    EXPECT_EQ(r.kind, "binary");
    EXPECT_EQ(r.header, S512);
    EXPECT_EQ(r.station, 'k');
    EXPECT_EQ(r.frequency, 18.0);
    EXPECT_EQ(r.gain, 2);
    EXPECT_EQ(r.length, 512u);
    EXPECT_EQ(r.time_words, TimeWords::MinutesSeconds);
    EXPECT_EQ(r.records, 3u);
    EXPECT_EQ(r.samples_per_channel(), 1536u);
    EXPECT_EQ(iso(r, r.first), "2014-03-15T08:00:00Z");
    EXPECT_EQ(iso(r, r.last), "2014-03-15T08:00:56Z");
    EXPECT_NEAR(r.duration(), 1536 / 18.0, 1e-9);
    EXPECT_EQ(r.time_gaps, 0);
}

TEST(Survey, ReportsGzipTextFiles)
{
    TempDir dir;
    const std::string path = dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    Recording rec = recording(form3_header('S', 128, "20", 3, 'q'), {{1, 0}, {1, 6}}, 128);
    write_text(path, rec);
    gzip_copy(path, path + ".gz");
    const FileReport r = tavoinfo::survey_file(path + ".gz");
    EXPECT_EQ(r.error, "");
    EXPECT_TRUE(r.gzip);
    EXPECT_EQ(r.kind, "text");
    EXPECT_EQ(r.station, 'q');
    EXPECT_EQ(r.frequency, 20.0);
    EXPECT_EQ(r.records, 2u);
    EXPECT_EQ(r.samples_per_channel(), 256u);
    EXPECT_EQ(iso(r, r.last), "2014-03-15T08:01:06Z");
}

TEST(Survey, ListsEachGapWithItsStartAndLength)
{
    TempDir dir;
    const std::string path = dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    // 28 s apart (contiguous), then 62 s (gap: limit 512/18 + 2 = 30.44 s),
    // then 28 s, then 3 minutes back (gap).
    write_binary(path, recording(S512, {{0, 0}, {0, 28}, {1, 30}, {1, 58}, {0, 0}}));
    const FileReport r = tavoinfo::survey_file(path);
    EXPECT_EQ(r.time_gaps, 2);
    ASSERT_EQ(r.gaps.size(), 2u);
    EXPECT_EQ(iso(r, r.gaps[0].start), "2014-03-15T08:00:56.444Z");
    EXPECT_NEAR(r.gaps[0].seconds, 62 - 512 / 18.0, 1e-9);
    EXPECT_NEAR(r.gaps[1].seconds, -118 - 512 / 18.0, 1e-9);
    EXPECT_EQ(iso(r, r.last), "2014-03-15T08:00:00Z");
}

TEST(Survey, FollowsTheClockPastMidnight)
{
    TempDir dir;
    // Slot 00: no base hour; minute words above 60 count from midnight.
    const std::string path = dated_path(dir.path(), 'k', 2014, 3, 15, 0);
    write_binary(path, recording(S512, {{1439, 50}, {0, 18}, {5, 0}}));
    const FileReport r = tavoinfo::survey_file(path);
    EXPECT_EQ(iso(r, r.first), "2014-03-15T23:59:50Z");
    EXPECT_EQ(r.time_gaps, 1);
    ASSERT_EQ(r.gaps.size(), 1u);
    EXPECT_EQ(iso(r, r.gaps[0].start), "2014-03-16T00:00:46.444Z");
    EXPECT_NEAR(r.gaps[0].seconds, 282 - 512 / 18.0, 1e-9);
    EXPECT_EQ(iso(r, r.last), "2014-03-16T00:05:00Z");
}

TEST(Survey, ReadsUnixTimesWithoutADateInThePath)
{
    TempDir dir;
    // 1394870400 = 2014-03-15T08:00:00Z = 21284 * 65536 + 2176.
    write_binary(dir.file("u.dat"),
                 recording(form3_header('U', 512, "18", 2, 'u'), {{2176, 21284}, {2204, 21284}, {2304, 21284}}));
    const FileReport r = tavoinfo::survey_file(dir.file("u.dat"));
    EXPECT_EQ(r.time_words, TimeWords::UnixTime);
    EXPECT_TRUE(r.has_date);
    EXPECT_EQ(iso(r, r.first), "2014-03-15T08:00:00Z");
    EXPECT_EQ(iso(r, r.last), "2014-03-15T08:02:08Z");
    EXPECT_EQ(r.time_gaps, 1);
}

TEST(Survey, TakesTheDayFromTheHeaderWhenThePathHasNone)
{
    TempDir dir;
    write_binary(dir.file("k4031516.dat"), recording(S512, {{0, 0}, {0, 28}}));
    const FileReport r = tavoinfo::survey_file(dir.file("k4031516.dat"));
    EXPECT_TRUE(r.has_date);
    EXPECT_EQ(iso(r, r.first), "2014-03-15T08:00:00Z");
}

TEST(Survey, GivesTimesOfDayWhenNoDateIsKnown)
{
    TempDir dir;
    write_binary(dir.file("k4031516.dat"), recording(form1_header("18", "2"), {{0, 0}, {0, 7}}, 128));
    const FileReport r = tavoinfo::survey_file(dir.file("k4031516.dat"));
    EXPECT_FALSE(r.has_date);
    EXPECT_EQ(r.length, 128u);
    EXPECT_EQ(iso(r, r.last), "08:00:07");
    EXPECT_EQ(r.time_gaps, 0);
}

TEST(Survey, ReportsOldStyleFilesWithoutTimeWords)
{
    TempDir dir;
    Recording rec = recording("Tidserier old", {{0, 0}, {0, 0}}, 128);
    rec.new_style = false;
    write_binary(dir.file("k4031516.dat"), rec);
    const FileReport r = tavoinfo::survey_file(dir.file("k4031516.dat"));
    EXPECT_EQ(r.time_words, TimeWords::None);
    EXPECT_EQ(r.frequency, 18.0);
    EXPECT_EQ(r.gain, -1);
    EXPECT_EQ(r.records, 2u);
}

// Damaged files: what could be read, and the reader's last message.
struct DamageCase {
    const char* name;
    std::string (*bytes)();
    unsigned long records;
    const char* error_prefix;
};

// Test names show the row name, not the bytes of the row.
void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

std::string two_records_and_a_half()
{
    std::string b = binary_bytes(recording(S512, {{0, 0}, {0, 28}, {0, 56}}));
    return b.substr(0, b.size() - 700);
}
std::string too_short() { return "!Tidserier 18 2\r"; }
std::string no_line_end() { return std::string(300, 'x'); }
std::string text_with_a_bad_value()
{
    Recording rec = recording(form3_header('S', 128, "18", 2, 'k'), {{0, 0}, {0, 7}, {0, 14}}, 128);
    std::string t = text_bytes(rec);
    // Cut the third record's second data line short: a value is missing.
    const std::size_t last = t.rfind('\n', t.size() - 2);
    const std::size_t before = t.rfind('\n', last - 1);
    return t.substr(0, before + 10) + "\n" + t.substr(last + 1);
}

class SurveyDamaged : public ::testing::TestWithParam<DamageCase> {};

TEST_P(SurveyDamaged, ReportsWhatWasReadAndTheError)
{
    TempDir dir;
    const std::string path = dir.file("k4031516.dat");
    write_bytes(path, GetParam().bytes());
    const FileReport r = tavoinfo::survey_file(path);
    EXPECT_EQ(r.records, GetParam().records);
    EXPECT_EQ(r.error.substr(0, std::string(GetParam().error_prefix).size()), GetParam().error_prefix)
        << r.error;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SurveyDamaged,
    ::testing::Values(DamageCase{"TruncatedRecord", two_records_and_a_half, 2, "Error: "},
                      DamageCase{"TooShort", too_short, 0, "Error: "},
                      DamageCase{"NoLineEnd", no_line_end, 0, "Error: "},
                      DamageCase{"TextValueMissing", text_with_a_bad_value, 2, "Failed to read value"}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

TEST(Survey, ReportsAMissingFileAndCarriesOn)
{
    TempDir dir;
    const FileReport missing = tavoinfo::survey_file(dir.file("none.dat"));
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(missing.error, "Can't open " + dir.file("none.dat"));
    // The next file is read as usual: the failure ended only its own survey.
    const std::string path = dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    write_binary(path, recording(S512, {{0, 0}}));
    EXPECT_EQ(tavoinfo::survey_file(path).records, 1u);
}

// Header date tokens the report accepts when the path gives no day.
struct DateCase {
    const char* header;
    bool found;
    long long midnight;
};

void PrintTo(const DateCase& c, std::ostream* os) { *os << c.header; }

class HeaderDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(HeaderDate, ParsesTheDateToken)
{
    long long midnight = -1;
    EXPECT_EQ(tavoinfo::header_date(GetParam().header, midnight), GetParam().found);
    if (GetParam().found) {
        EXPECT_EQ(midnight, GetParam().midnight);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, HeaderDate,
    ::testing::Values(DateCase{"!S512Tidserier sampfrek: 18 gain: 2 station: k date: 2014-03-15 time: 08", true, 1394841600},
                      DateCase{"! date: 2014/03/15", true, 1394841600},
                      DateCase{"! date: 20140315 time: x", true, 1394841600},
                      DateCase{"! date: 1969-12-31", true, -86400},
                      DateCase{"! date: 2014-13-15", false, 0},
                      DateCase{"! date: 2014-03-15x", false, 0},
                      DateCase{"! date: 2014-03/15", false, 0},
                      DateCase{"! date: ", false, 0},
                      DateCase{"!Tidserier 18 2", false, 0}));

// Stamps as text.
struct TimeCase {
    double seconds;
    bool has_date;
    const char* text;
};

void PrintTo(const TimeCase& c, std::ostream* os) { *os << c.text; }

class FormatTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(FormatTime, WritesIsoOrTimeOfDay)
{
    EXPECT_EQ(tavoinfo::format_time(GetParam().seconds, GetParam().has_date), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, FormatTime,
    ::testing::Values(TimeCase{1394870400, true, "2014-03-15T08:00:00Z"},
                      TimeCase{1394870428.4444, true, "2014-03-15T08:00:28.444Z"},
                      TimeCase{1394870428.9996, true, "2014-03-15T08:00:29Z"},
                      TimeCase{-1, true, "1969-12-31T23:59:59Z"},
                      TimeCase{28800, false, "08:00:00"},
                      TimeCase{86418, false, "day 1 00:00:18"},
                      TimeCase{-10, false, "day -1 23:59:50"}));
