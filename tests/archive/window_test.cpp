// The window's options: ISO 8601 times and durations, a request's refusals in their order,
// the texts that name a window, and the samples of a run that lie in it.
#include <gtest/gtest.h>

#include <string>

#include "archive/archive.h"
#include "rows.h"

namespace ta = tavo::archive;

namespace {

// A time text and what it reads as; refused texts have canonical == nullptr.
struct TimeCase {
    const char* name;
    const char* text;
    const char* canonical;  // format_time of the result
    long long seconds;
};

class TimeText : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeText, ReadsTheFormsOfUtcAndRefusesTheRest)
{
    const TimeCase& c = GetParam();
    std::int64_t seconds = 12345;
    const bool read = ta::parse_time(c.text, seconds);
    ASSERT_EQ(read, c.canonical != nullptr);
    EXPECT_EQ(seconds, read ? c.seconds : 12345);
    EXPECT_EQ(read ? ta::format_time(seconds) : "", read ? c.canonical : "");
}

// clang-format off
const TimeCase times[] = {
    {"DateAloneIsMidnight", "2014-03-15", "2014-03-15T00:00:00Z", 1394841600},
    {"WithZone", "2014-03-15T06:00:00Z", "2014-03-15T06:00:00Z", 1394863200},
    {"WithoutZone", "2014-03-15T06:00:00", "2014-03-15T06:00:00Z", 1394863200},
    {"MinutesOnly", "2014-03-15T06:30Z", "2014-03-15T06:30:00Z", 1394865000},
    {"LeapDay", "2016-02-29T23:59:59Z", "2016-02-29T23:59:59Z", 1456790399},
    {"LastSecondOfAYear", "2013-12-31T23:59:59", "2013-12-31T23:59:59Z", 1388534399},
    {"BeforeTheEpoch", "1969-12-31T23:00:00Z", "1969-12-31T23:00:00Z", -3600},
    {"YearZero", "0000-03-01", "0000-03-01T00:00:00Z", -62162035200LL},
    {"LastYear", "9999-12-31T23:59:59Z", "9999-12-31T23:59:59Z", 253402300799LL},
    {"FractionOfASecond", "2014-03-15T06:00:00.5Z", nullptr, 0},
    {"ZoneOffset", "2014-03-15T06:00:00+01:00", nullptr, 0},
    {"LowerCaseZone", "2014-03-15T06:00:00z", nullptr, 0},
    {"BlankForT", "2014-03-15 06:00:00", nullptr, 0}, {"HourAlone", "2014-03-15T06Z", nullptr, 0},
    {"Hour24", "2014-03-15T24:00:00Z", nullptr, 0},
    {"LeapSecond", "2015-06-30T23:59:60Z", nullptr, 0}, {"NoLeapDay", "2015-02-29", nullptr, 0},
    {"ThirtyFirstOfApril", "2014-04-31", nullptr, 0}, {"Month13", "2014-13-01", nullptr, 0},
    {"TwoDigitYear", "14-03-15", nullptr, 0}, {"CompactDate", "20140315", nullptr, 0},
    {"TrailingText", "2014-03-15x", nullptr, 0}, {"TwoZones", "2014-03-15T06:00:00ZZ", nullptr, 0},
    {"Empty", "", nullptr, 0},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Times, TimeText, ::testing::ValuesIn(times), tavo_test::RowName());

struct DurationCase {
    const char* name;
    const char* text;
    long long seconds;  // -1: refused
};

class DurationText : public ::testing::TestWithParam<DurationCase> {};

TEST_P(DurationText, ReadsWholeNumbersOfOneUnit)
{
    std::int64_t seconds = -1;
    ta::parse_duration(GetParam().text, seconds);
    EXPECT_EQ(seconds, GetParam().seconds);
}

// clang-format off
const DurationCase durations[] = {
    {"Hours", "72h", 259200}, {"Minutes", "30m", 1800}, {"Seconds", "90s", 90},
    {"Days", "3d", 259200}, {"NineDigits", "999999999d", 999999999LL * 86400},
    {"TenDigits", "1000000000s", -1}, {"Fraction", "1.5h", -1}, {"Zero", "0h", -1},
    {"NoNumber", "h", -1}, {"NoUnit", "72", -1}, {"UpperCaseUnit", "72H", -1},
    {"Negative", "-5m", -1}, {"Plus", "+5m", -1}, {"Blank", "5 m", -1},
    {"TwoUnits", "1h30m", -1}, {"Weeks", "2w", -1},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Durations, DurationText, ::testing::ValuesIn(durations),
                         tavo_test::RowName());

// A request (nullptr: option absent) and the window it gives, or the refusal.
struct RequestCase {
    const char* name;
    const char *archive, *station, *from, *to, *duration;
    bool files_named;
    const char* want;  // "ROOT k FROM TO" or the refusal
};

std::optional<std::string> given(const char* text)
{
    return text == nullptr ? std::nullopt : std::optional<std::string>(text);
}

class WindowRequest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(WindowRequest, GivesTheWindowOrTheFirstRefusal)
{
    const RequestCase& c = GetParam();
    ta::WindowRequest r{given(c.archive), given(c.station),  given(c.from),
                        given(c.to),      given(c.duration), c.files_named};
    ASSERT_TRUE(r.any());
    ta::Window w;
    w.root = "untouched";
    const std::string refusal = ta::read_window(r, w);
    const std::string got = refusal.empty()
                                ? w.root + " " + (w.station ? std::string(1, w.station) : "-") +
                                      " " + ta::format_time(w.from) + " " + ta::format_time(w.to)
                                : refusal;
    EXPECT_EQ(got, c.want);
    EXPECT_EQ(refusal.empty() ? "untouched" : w.root, "untouched");
}

const char* const T1 = "2014-03-15T06:00:00Z";
const char* const T2 = "2014-03-18T06:00:00Z";
const char* const D = "/data";

// clang-format off
const RequestCase requests[] = {
    {"ArchiveWithTo", D, "k", T1, T2, nullptr, false,
     "/data k 2014-03-15T06:00:00Z 2014-03-18T06:00:00Z"},
    {"ArchiveWithDuration", D, "k", T1, nullptr, "72h", false,
     "/data k 2014-03-15T06:00:00Z 2014-03-18T06:00:00Z"},
    {"NamedFiles", nullptr, nullptr, "2014-03-15", nullptr, "1d", true,
     " - 2014-03-15T00:00:00Z 2014-03-16T00:00:00Z"},
    {"ArchiveWithoutStation", D, nullptr, T1, T2, nullptr, false,
     "Error: --archive needs --station and --from\n"},
    {"ArchiveWithoutFrom", D, "k", nullptr, T2, nullptr, false,
     "Error: --archive needs --station and --from\n"},
    {"StationAlone", nullptr, "k", T1, T2, nullptr, false,
     "Error: --station goes with --archive\n"},
    {"ToWithoutFrom", nullptr, nullptr, nullptr, T2, nullptr, true, "Error: --to needs --from\n"},
    {"DurationWithoutFrom", nullptr, nullptr, nullptr, nullptr, "3d", true,
     "Error: --duration needs --from\n"},
    {"FromWithoutEnd", D, "k", T1, nullptr, nullptr, false,
     "Error: --from needs --to or --duration\n"},
    {"ToAndDuration", D, "k", T1, T2, "72h", false,
     "Error: --to and --duration cannot be given together\n"},
    {"ArchiveAndFiles", D, "k", T1, T2, nullptr, true,
     "Error: --archive finds its files itself; name no files with it\n"},
    {"EmptyArchive", "", "k", T1, T2, nullptr, false, "Error: --archive needs a folder name\n"},
    {"TwoLetterStation", D, "kk", T1, T2, nullptr, false,
     "Error: --station needs one letter or digit, not \"kk\"\n"},
    {"SlashStation", D, "/", T1, T2, nullptr, false,
     "Error: --station needs one letter or digit, not \"/\"\n"},
    {"BadFrom", D, "k", "2014-03-15T06:00:00.5Z", "bad", nullptr, false,
     "Error: cannot read the time \"2014-03-15T06:00:00.5Z\" (use 2014-03-15T06:00:00Z)\n"},
    {"BadTo", D, "k", T1, "2014-03-18 06:00", nullptr, false,
     "Error: cannot read the time \"2014-03-18 06:00\" (use 2014-03-15T06:00:00Z)\n"},
    {"BadDuration", D, "k", T1, nullptr, "1.5h", false,
     "Error: cannot read the duration \"1.5h\" (use 72h, 30m, 90s or 3d)\n"},
    {"ToBeforeFrom", D, "k", T2, T1, nullptr, false, "Error: --from must be before --to\n"},
    {"EmptyWindow", nullptr, nullptr, T1, T1, nullptr, true, "Error: --from must be before --to\n"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Requests, WindowRequest, ::testing::ValuesIn(requests),
                         tavo_test::RowName());

TEST(WindowText, NamesTheWindowInTheNoDataErrorAndTheBaseName)
{
    ta::Window w{"/data/arch", 'k', 1394863200, 1395122400};
    EXPECT_EQ(ta::no_data_error(w),
              "Error: no data of station k between 2014-03-15T06:00:00Z and "
              "2014-03-18T06:00:00Z under /data/arch\n");
    w.root.clear();
    EXPECT_EQ(ta::no_data_error(w),
              "Error: no data between 2014-03-15T06:00:00Z and 2014-03-18T06:00:00Z\n");
    EXPECT_EQ(ta::window_base_name('k', 1394863200 + 3723), "k20140315T070203");
}

// Samples first .. first + count - 1 of a run whose sample 0 lies at RUN; edges after RUN.
struct TrimCase {
    const char* name;
    double frequency;
    long long first, count;
    long long from, to;
    long long begin, end;
};

const long long RUN = 1394870400;

class SamplesInWindow : public ::testing::TestWithParam<TrimCase> {};

TEST_P(SamplesInWindow, KeepsExactlyTheSamplesFromFromBeforeTo)
{
    const TrimCase& c = GetParam();
    const ta::Window w{"", 0, RUN + c.from, RUN + c.to};
    const ta::SampleRange r =
        ta::samples_in_window(static_cast<double>(RUN), c.frequency, c.first, c.count, w);
    EXPECT_EQ(r.begin, c.begin);
    EXPECT_EQ(r.end, c.end);
}

const TrimCase runs[] = {
    // 28 s x 18 Hz = sample 504 lies exactly on an edge: in at from, out at to.
    {"EdgesOnASample", 18.0, 0, 512, 10, 28, 180, 504},
    {"WholeRecordInside", 18.0, 0, 512, -5, 100, 0, 512},
    {"SecondRecordOfTheRun", 18.0, 512, 512, 30, 40, 540, 720},
    {"RecordBeforeTheWindow", 18.0, 0, 512, 60, 90, 512, 512},
    {"RecordAfterTheWindow", 18.0, 512, 512, 0, 20, 512, 512},
    // 16.0008 Hz: sample i at i / 16.0008 s; from 1 s is between samples 16 and 17.
    {"FrequencyNotWhole", 16.0008, 0, 128, 1, 7, 17, 113},
    // Three days of 18 Hz: sample 4665600 lies exactly on the window's end.
    {"ThreeDaysIn", 18.0, 4665088, 1024, 0, 259200, 4665088, 4665600},
};

INSTANTIATE_TEST_SUITE_P(Runs, SamplesInWindow, ::testing::ValuesIn(runs), tavo_test::RowName());

}  // namespace
