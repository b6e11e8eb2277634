// The window's options: ISO 8601 times and durations, the refusals of a
// request in their order, the texts that name a window, and the samples of a
// run that lie in it.
#include <gtest/gtest.h>

#include <string>

#include "archive/archive.h"

namespace ta = tavo::archive;

namespace {

template <class Case>
std::string row_name(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

// A time text and what it reads as; refused texts have canonical == nullptr.
struct TimeCase {
    const char* name;
    const char* text;
    const char* canonical;  // format_time of the result
    long long seconds;
};

void PrintTo(const TimeCase& c, std::ostream* os)
{
    *os << c.name;
}

class TimeText : public ::testing::TestWithParam<TimeCase> {};

}  // namespace

TEST_P(TimeText, ReadsTheFormsOfUtcAndRefusesTheRest)
{
    const TimeCase& c = GetParam();
    std::int64_t seconds = 12345;
    const bool read = ta::parse_time(c.text, seconds);
    ASSERT_EQ(read, c.canonical != nullptr);
    EXPECT_EQ(seconds, read ? c.seconds : 12345);
    if (read) {
        EXPECT_EQ(ta::format_time(seconds), c.canonical);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Times, TimeText,
    ::testing::Values(
        TimeCase{"DateAloneIsMidnight", "2014-03-15", "2014-03-15T00:00:00Z", 1394841600},
        TimeCase{"WithZone", "2014-03-15T06:00:00Z", "2014-03-15T06:00:00Z", 1394863200},
        TimeCase{"WithoutZone", "2014-03-15T06:00:00", "2014-03-15T06:00:00Z", 1394863200},
        TimeCase{"MinutesOnly", "2014-03-15T06:30Z", "2014-03-15T06:30:00Z", 1394865000},
        TimeCase{"LeapDay", "2016-02-29T23:59:59Z", "2016-02-29T23:59:59Z", 1456790399},
        TimeCase{"LastSecondOfAYear", "2013-12-31T23:59:59", "2013-12-31T23:59:59Z", 1388534399},
        TimeCase{"BeforeTheEpoch", "1969-12-31T23:00:00Z", "1969-12-31T23:00:00Z", -3600},
        TimeCase{"YearZero", "0000-03-01", "0000-03-01T00:00:00Z", -62162035200LL},
        TimeCase{"LastYear", "9999-12-31T23:59:59Z", "9999-12-31T23:59:59Z", 253402300799LL},
        TimeCase{"FractionOfASecond", "2014-03-15T06:00:00.5Z", nullptr, 0},
        TimeCase{"ZoneOffset", "2014-03-15T06:00:00+01:00", nullptr, 0},
        TimeCase{"LowerCaseZone", "2014-03-15T06:00:00z", nullptr, 0},
        TimeCase{"BlankForT", "2014-03-15 06:00:00", nullptr, 0},
        TimeCase{"HourAlone", "2014-03-15T06Z", nullptr, 0},
        TimeCase{"Hour24", "2014-03-15T24:00:00Z", nullptr, 0},
        TimeCase{"LeapSecond", "2015-06-30T23:59:60Z", nullptr, 0},
        TimeCase{"NoLeapDay", "2015-02-29", nullptr, 0},
        TimeCase{"ThirtyFirstOfApril", "2014-04-31", nullptr, 0},
        TimeCase{"Month13", "2014-13-01", nullptr, 0},
        TimeCase{"TwoDigitYear", "14-03-15", nullptr, 0},
        TimeCase{"CompactDate", "20140315", nullptr, 0},
        TimeCase{"TrailingText", "2014-03-15x", nullptr, 0},
        TimeCase{"TwoZones", "2014-03-15T06:00:00ZZ", nullptr, 0},
        TimeCase{"Empty", "", nullptr, 0}),
    row_name<TimeCase>);

namespace {

struct DurationCase {
    const char* name;
    const char* text;
    long long seconds;  // -1: refused
};

void PrintTo(const DurationCase& c, std::ostream* os)
{
    *os << c.name;
}

class DurationText : public ::testing::TestWithParam<DurationCase> {};

}  // namespace

TEST_P(DurationText, ReadsWholeNumbersOfOneUnit)
{
    std::int64_t seconds = -1;
    ta::parse_duration(GetParam().text, seconds);
    EXPECT_EQ(seconds, GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Durations, DurationText,
    ::testing::Values(DurationCase{"Hours", "72h", 259200}, DurationCase{"Minutes", "30m", 1800},
                      DurationCase{"Seconds", "90s", 90}, DurationCase{"Days", "3d", 259200},
                      DurationCase{"NineDigits", "999999999d", 999999999LL * 86400},
                      DurationCase{"TenDigits", "1000000000s", -1},
                      DurationCase{"Fraction", "1.5h", -1}, DurationCase{"Zero", "0h", -1},
                      DurationCase{"NoNumber", "h", -1}, DurationCase{"NoUnit", "72", -1},
                      DurationCase{"UpperCaseUnit", "72H", -1}, DurationCase{"Negative", "-5m", -1},
                      DurationCase{"Plus", "+5m", -1}, DurationCase{"Blank", "5 m", -1},
                      DurationCase{"TwoUnits", "1h30m", -1}, DurationCase{"Weeks", "2w", -1}),
    row_name<DurationCase>);

namespace {

// A request (nullptr: option absent) and the window it gives, or the refusal.
struct RequestCase {
    const char* name;
    const char *archive, *station, *from, *to, *duration;
    bool files_named;
    const char* want;  // "ROOT k FROM TO" or the refusal
};

void PrintTo(const RequestCase& c, std::ostream* os)
{
    *os << c.name;
}

std::optional<std::string> given(const char* text)
{
    return text == nullptr ? std::nullopt : std::optional<std::string>(text);
}

class WindowRequest : public ::testing::TestWithParam<RequestCase> {};

}  // namespace

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
    if (!refusal.empty()) {
        EXPECT_EQ(w.root, "untouched");
    }
}

const char* const T1 = "2014-03-15T06:00:00Z";
const char* const T2 = "2014-03-18T06:00:00Z";

INSTANTIATE_TEST_SUITE_P(
    Requests, WindowRequest,
    ::testing::Values(
        RequestCase{"ArchiveWithTo", "/data", "k", T1, T2, nullptr, false,
                    "/data k 2014-03-15T06:00:00Z 2014-03-18T06:00:00Z"},
        RequestCase{"ArchiveWithDuration", "/data", "k", T1, nullptr, "72h", false,
                    "/data k 2014-03-15T06:00:00Z 2014-03-18T06:00:00Z"},
        RequestCase{"NamedFiles", nullptr, nullptr, "2014-03-15", nullptr, "1d", true,
                    " - 2014-03-15T00:00:00Z 2014-03-16T00:00:00Z"},
        RequestCase{"ArchiveWithoutStation", "/data", nullptr, T1, T2, nullptr, false,
                    "Error: --archive needs --station and --from\n"},
        RequestCase{"ArchiveWithoutFrom", "/data", "k", nullptr, T2, nullptr, false,
                    "Error: --archive needs --station and --from\n"},
        RequestCase{"StationAlone", nullptr, "k", T1, T2, nullptr, false,
                    "Error: --station goes with --archive\n"},
        RequestCase{"ToWithoutFrom", nullptr, nullptr, nullptr, T2, nullptr, true,
                    "Error: --to needs --from\n"},
        RequestCase{"DurationWithoutFrom", nullptr, nullptr, nullptr, nullptr, "3d", true,
                    "Error: --duration needs --from\n"},
        RequestCase{"FromWithoutEnd", "/data", "k", T1, nullptr, nullptr, false,
                    "Error: --from needs --to or --duration\n"},
        RequestCase{"ToAndDuration", "/data", "k", T1, T2, "72h", false,
                    "Error: --to and --duration cannot be given together\n"},
        RequestCase{"ArchiveAndFiles", "/data", "k", T1, T2, nullptr, true,
                    "Error: --archive finds its files itself; name no files with it\n"},
        RequestCase{"EmptyArchive", "", "k", T1, T2, nullptr, false,
                    "Error: --archive needs a folder name\n"},
        RequestCase{"TwoLetterStation", "/data", "kk", T1, T2, nullptr, false,
                    "Error: --station needs one letter or digit, not \"kk\"\n"},
        RequestCase{"SlashStation", "/data", "/", T1, T2, nullptr, false,
                    "Error: --station needs one letter or digit, not \"/\"\n"},
        RequestCase{"BadFrom", "/data", "k", "2014-03-15T06:00:00.5Z", "bad", nullptr, false,
                    "Error: cannot read the time \"2014-03-15T06:00:00.5Z\" "
                    "(use 2014-03-15T06:00:00Z)\n"},
        RequestCase{
            "BadTo", "/data", "k", T1, "2014-03-18 06:00", nullptr, false,
            "Error: cannot read the time \"2014-03-18 06:00\" (use 2014-03-15T06:00:00Z)\n"},
        RequestCase{"BadDuration", "/data", "k", T1, nullptr, "1.5h", false,
                    "Error: cannot read the duration \"1.5h\" (use 72h, 30m, 90s or 3d)\n"},
        RequestCase{"ToBeforeFrom", "/data", "k", T2, T1, nullptr, false,
                    "Error: --from must be before --to\n"},
        RequestCase{"EmptyWindow", nullptr, nullptr, T1, T1, nullptr, true,
                    "Error: --from must be before --to\n"}),
    row_name<RequestCase>);

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

namespace {

// A run of records at 18 Hz whose first sample lies at RUN (a whole second);
// samples first .. first + count - 1, window edges as offsets from RUN.
struct TrimCase {
    const char* name;
    double frequency;
    long long first, count;
    long long from, to;  // seconds after RUN
    long long begin, end;
};

void PrintTo(const TrimCase& c, std::ostream* os)
{
    *os << c.name;
}

const long long RUN = 1394870400;

class SamplesInWindow : public ::testing::TestWithParam<TrimCase> {};

}  // namespace

TEST_P(SamplesInWindow, KeepsExactlyTheSamplesFromFromBeforeTo)
{
    const TrimCase& c = GetParam();
    const ta::Window w{"", 0, RUN + c.from, RUN + c.to};
    const ta::SampleRange r =
        ta::samples_in_window(static_cast<double>(RUN), c.frequency, c.first, c.count, w);
    EXPECT_EQ(r.begin, c.begin);
    EXPECT_EQ(r.end, c.end);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SamplesInWindow,
    ::testing::Values(
        // 28 s x 18 Hz = sample 504 lies exactly on an edge: in at from, out at to.
        TrimCase{"EdgesOnASample", 18.0, 0, 512, 10, 28, 180, 504},
        TrimCase{"WholeRecordInside", 18.0, 0, 512, -5, 100, 0, 512},
        TrimCase{"SecondRecordOfTheRun", 18.0, 512, 512, 30, 40, 540, 720},
        TrimCase{"RecordBeforeTheWindow", 18.0, 0, 512, 60, 90, 512, 512},
        TrimCase{"RecordAfterTheWindow", 18.0, 512, 512, 0, 20, 512, 512},
        // 16.0008 Hz: sample i at i / 16.0008 s; from 1 s is between samples 16 and 17.
        TrimCase{"FrequencyNotWhole", 16.0008, 0, 128, 1, 7, 17, 113},
        // Three days of 18 Hz: sample 4665600 lies exactly on the window's end.
        TrimCase{"ThreeDaysIn", 18.0, 4665088, 1024, 0, 259200, 4665088, 4665600}),
    row_name<TrimCase>);
