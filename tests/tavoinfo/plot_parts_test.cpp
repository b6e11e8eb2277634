// The pieces of tavoinfo --plot: ticks and labels of both axes, the layout of files and gaps,
// the column reduction (envelope and spectra), and the option readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "columns.h"
#include "frequency_axis.h"
#include "plot.h"
#include "rows.h"
#include "time_ticks.h"
#include "timeline.h"

using namespace tavoinfo;
using tavo_test::RowName;

namespace {

const double MARCH_15 = 1394841600;  // 2014-03-15T00:00:00Z

struct TickCase {
    const char* name;
    double from, to, pixels_per_second, spacing;
    AxisClock clock;   // Elapsed stands for the sound axis here
    const char* want;  // "label[day]" words
};

class AxisTicks : public ::testing::TestWithParam<TickCase> {};

TEST_P(AxisTicks, StandAtRoundTimesFarEnoughApart)
{
    const TickCase& c = GetParam();
    const std::vector<Tick> ticks =
        c.clock == AxisClock::Elapsed
            ? sound_ticks(c.from, c.to, c.pixels_per_second, c.spacing)
            : time_ticks(c.from, c.to, c.pixels_per_second, c.spacing, c.clock);
    std::string text;
    for (const Tick& t : ticks)
        text += (text.empty() ? "" : " ") + t.label + (t.day.empty() ? "" : "[" + t.day + "]");
    EXPECT_EQ(text, c.want);
    for (std::size_t i = 1; i < ticks.size(); ++i)
        EXPECT_GE((ticks[i].at - ticks[i - 1].at) * c.pixels_per_second, c.spacing);
}

const double H = 3600, D = 86400;

// clang-format off
const TickCase ticks[] = {
    // Three hours over 1429 pixels: 10 min would be 79 px, 15 min is 119 px.
    {"QuarterHours", MARCH_15 + 8 * H, MARCH_15 + 11 * H + 8, 1429.0 / 10808, 100, AxisClock::Utc,
     "08:00[2014-03-15] 08:15 08:30 08:45 09:00 09:15 09:30 09:45 10:00 10:15 10:30 10:45 11:00"},
    {"MidnightNamesTheNewDay", MARCH_15 + 22 * H - 1, MARCH_15 + 26 * H, 0.03, 100, AxisClock::Utc,
     "22:00[2014-03-15] 23:00 00:00[2014-03-16] 01:00 02:00"},
    {"DayStepsAcrossFebruary", MARCH_15 - 16 * D, MARCH_15 - 14 * D, 100.0 / D, 90, AxisClock::Utc,
     "2014-02-27 2014-02-28 2014-03-01"},
    {"LeapDayOf2000", 951696000, 951696000 + 2 * D, 100.0 / D, 90, AxisClock::Utc,
     "2000-02-28 2000-02-29 2000-03-01"},
    {"BeforeTheEpoch", -90, 30, 1, 50, AxisClock::Utc, "23:59[1969-12-31] 00:00[1970-01-01]"},
    {"TenthsOfASecond", 0.95, 1.6, 200, 50, AxisClock::DayTime, "00:00:01.0 00:00:01.5"},
    {"RecordingDayHasNoName", 23 * H, 25 * H, 0.05, 100, AxisClock::DayTime,
     "23:00 00:00[day 1] 01:00"},
    {"EmptyRange", 10, 5, 1, 10, AxisClock::Utc, ""},
    {"SoundMinutes", 0, 1200, 1.0, 100, AxisClock::Elapsed,
     "0:00 2:00 4:00 6:00 8:00 10:00 12:00 14:00 16:00 18:00 20:00"},
    {"SoundHours", 0, 7200, 0.05, 100, AxisClock::Elapsed, "0:00:00 1:00:00 2:00:00"},
    {"SoundHundredths", 0, 0.05, 2000, 30, AxisClock::Elapsed, "0:00.00 0:00.02 0:00.04"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Axes, AxisTicks, ::testing::ValuesIn(ticks), RowName());

TEST(ShortDuration, PicksTheUnitByLength)
{
    EXPECT_EQ(short_duration(0.85), "850 ms");
    EXPECT_EQ(short_duration(33.556), "33.6 s");
    EXPECT_EQ(short_duration(-146.444), "-2.4 min");
    EXPECT_EQ(short_duration(7200), "2.0 h");
    EXPECT_EQ(short_duration(3 * 86400), "3.0 d");
}

// A surveyed file made by hand: records of 512 at 16 Hz (32 s each).
FileReport report(const char* path, double first, unsigned long records, std::vector<Gap> gaps,
                  TimeWords words = TimeWords::MinutesSeconds, double frequency = 16)
{
    FileReport r;
    r.path = path;
    r.opened = true;
    r.frequency = frequency;
    r.length = 512;
    r.time_words = words;
    r.has_date = true;
    r.records = records;
    r.first = first;
    r.gaps = gaps;
    r.time_gaps = static_cast<int>(gaps.size());
    r.last = first + 32.0 * static_cast<double>(records - 1);
    for (const Gap& g : gaps)
        r.last += g.seconds;
    return r;
}

// Clock, span, run starts per file, gaps ("f" between files) and steps back.
std::string digest(const Timeline& t)
{
    std::ostringstream o;
    o << static_cast<int>(t.clock) << " " << t.start << ".." << t.end << " runs";
    for (const FileRuns& f : t.files) {
        o << " [";
        for (double s : f.run_starts)
            o << " " << s;
        o << " ]";
    }
    for (const ShadedGap& g : t.gaps)
        o << " gap " << g.start << "+" << g.seconds << (g.between_files ? "f" : "");
    for (const StepBack& s : t.steps)
        o << " back " << s.at << "-" << s.seconds;
    return o.str();
}

// The timeline or "refused: <why>"; narrowed to [from, to) when from < to: the axis spans the
// window, what lies outside the data is shaded as between files, gaps are cut at the edges.
struct LayoutCase {
    const char* name;
    std::vector<FileReport> reports;
    const char* want;
    double from = 0, to = 0;
};

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, PlacesRunsAndGapsAsTheSurveysSay)
{
    const LayoutCase& c = GetParam();
    Timeline t;
    std::string why;
    const bool ok = lay_out(c.reports, t, why);
    if (ok && c.from < c.to)
        clip_to_window(t, c.from, c.to);
    EXPECT_EQ(ok ? digest(t) : "refused: " + why, c.want);
}

// clang-format off
const LayoutCase layouts[] = {
    // Three records, a gap of 100 s after the second: run two starts at 64 + 100.
    {"GapInsideAFile", {report("a", 0, 3, {{64, 100}})}, "0 0..196 runs [ 0 164 ] gap 64+100"},
    {"HoleBetweenFiles", {report("a", 0, 2, {}), report("b", 1000, 1, {})},
     "0 0..1032 runs [ 0 ] [ 1000 ] gap 64+936f"},
    // A hole within the 2 s allowance is clock jitter: no gap.
    {"JitterBetweenFiles", {report("a", 0, 2, {}), report("b", 65.5, 1, {})},
     "0 0..97.5 runs [ 0 ] [ 65.5 ]"},
    {"LaterFileStartsEarlier", {report("a", 1000, 2, {}), report("b", 0, 1, {})},
     "0 1000..1096 runs [ 1000 ] [ 1064 ] back 1064-1064"},
    // Stamps step back by 200 s: the next run follows the data, later stamps move as much.
    {"StampsStepBack", {report("a", 0, 4, {{64, -200}, {-104, 100}})},
     "0 0..228 runs [ 0 64 196 ] gap 96+100 back 64-200"},
    {"OldStyleFilesFollowEachOther",
     {report("a", 0, 2, {}, TimeWords::None), report("b", 500, 1, {})},
     "2 0..96 runs [ 0 ] [ 64 ]"},
    {"EmptyFileIsSkipped", {report("a", 0, 0, {}), report("b", 500, 1, {})},
     "0 500..532 runs [ ] [ 500 ]"},
    {"NothingToDraw", {report("a", 0, 0, {})}, "refused: no file holds a record"},
    {"FrequenciesDiffer", {report("a", 0, 1, {}), report("b", 500, 1, {}, TimeWords::UnixTime, 18)},
     "refused: b: sampling frequency 18 Hz differs from the 16 Hz of the files before it"},
    {"FrequencyOutOfRange", {report("a", 0, 1, {}, TimeWords::UnixTime, 1e9)},
     "refused: a: sampling frequency 1e+09 Hz is outside 0.001 to 100000 Hz"},
    {"WindowMissingAtBothEnds", {report("a", 1000, 2, {})},
     "0 0..2000 runs [ 1000 ] gap 0+1000f gap 1064+936f", 0, 2000},
    // The file starts before the window; its gap reaches into it.
    {"WindowGapCutAtTheStart", {report("a", 0, 3, {{64, 100}})},
     "0 100..196 runs [ 0 164 ] gap 100+64", 100, 196},
    {"WindowHoleBetweenFilesInside", {report("a", 0, 2, {}), report("b", 1000, 1, {})},
     "0 32..1010 runs [ 0 ] [ 1000 ] gap 64+936f", 32, 1010},
    // Data up to the edges, within the 2 s allowance: nothing shaded.
    {"WindowCoveredWithinTheAllowance", {report("a", 1, 3, {})}, "0 0..98 runs [ 1 ]", 0, 98},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Files, Layout, ::testing::ValuesIn(layouts), RowName());

// A 2 Hz sine of amplitude 1000 at 16 Hz (bin 32 of 256) pushed in pieces of `piece` samples.
struct ToneCase {
    const char* name;
    std::size_t samples, piece, hop;
    int columns;
};

class ToneColumns : public ::testing::TestWithParam<ToneCase> {};

TEST_P(ToneColumns, PeakAtTheToneInEveryColumnAndEnvelopeAtItsAmplitude)
{
    const ToneCase& c = GetParam();
    const double seconds = static_cast<double>(c.samples) / 16;
    ChannelColumns cols(ColumnGrid{c.columns, 100, 100 + seconds}, 16, c.hop);
    std::vector<double> x(c.samples);
    for (std::size_t i = 0; i < c.samples; ++i)
        x[i] = 1000 * std::sin(2 * 3.14159265358979 * 2 * static_cast<double>(i) / 16 + 0.3);
    cols.begin_run(100, 100 + seconds);
    for (std::size_t i = 0; i < c.samples; i += c.piece)
        cols.push(&x[i], std::min(c.piece, c.samples - i));
    cols.end_run();
    for (int col = 0; col < c.columns; ++col) {
        ASSERT_TRUE(cols.filled(col)) << col;
        const std::vector<double> p = cols.power(col);
        ASSERT_EQ(p.size(), ChannelColumns::bins());
        EXPECT_EQ(std::max_element(p.begin(), p.end()) - p.begin(), 32) << col;
        // A column that holds a whole period reaches both peaks.
        if (c.samples / static_cast<std::size_t>(c.columns) >= 8) {
            EXPECT_GT(cols.high(col), 900) << col;
            EXPECT_LT(cols.low(col), -900) << col;
        }
    }
}

const ToneCase tones[] = {
    {"ManyWindowsPerColumn", 16000, 512, 128, 10},
    {"ManyColumnsPerWindow", 2048, 512, 1, 600},
    {"OddPiecesAndHop", 5000, 37, 97, 50},
    // Fewer samples than a window: one zero-padded window.
    {"RunShorterThanAWindow", 200, 64, 64, 5},
};

INSTANTIATE_TEST_SUITE_P(Runs, ToneColumns, ::testing::ValuesIn(tones), RowName());

TEST(ChannelColumnsTest, ConstantRunHasNoPowerAndUntouchedColumnsStayEmpty)
{
    ChannelColumns cols(ColumnGrid{4, 0, 100}, 16, 64);
    const std::vector<double> constant(800, 1234.0);  // 50 s at 16 Hz: columns 0 and 1
    cols.begin_run(0, 50);
    cols.push(constant.data(), constant.size());
    cols.end_run();
    EXPECT_TRUE(cols.filled(1));
    EXPECT_EQ(cols.low(0), 1234.0);
    EXPECT_EQ(cols.high(1), 1234.0);
    for (double p : cols.power(1))
        EXPECT_LT(p, 1e-20);
    EXPECT_FALSE(cols.filled(2));
    EXPECT_EQ(cols.power(3), std::vector<double>(ChannelColumns::bins(), 0.0));
}

// The option readers: --plot-size takes WIDTHxHEIGHT within range, --plot-freq linear or log.
TEST(PlotOptions, TakeOnlyTheirForms)
{
    // clang-format off
    for (const auto& [text, want] : std::initializer_list<std::pair<const char*, const char*>>{
             {"1600x900", "1600x900"}, {"480X360", "480x360"}, {"8192x8192", "8192x8192"},
             {"479x360", "refused"}, {"8193x900", "refused"}, {"1600x900x", "refused"},
             {"1600 x900", "refused"}, {"+1600x900", "refused"}, {"", "refused"}}) {
        // clang-format on
        int w = 0, h = 0;
        std::string why;
        const bool ok = parse_plot_size(text, w, h, why);
        EXPECT_EQ(ok ? std::to_string(w) + "x" + std::to_string(h) : "refused", want) << text;
    }
    FrequencyScale s = FrequencyScale::Linear;
    EXPECT_TRUE(parse_frequency_scale("log", s));
    EXPECT_EQ(s, FrequencyScale::Log);
    EXPECT_TRUE(parse_frequency_scale("linear", s));
    EXPECT_EQ(s, FrequencyScale::Linear);
    for (const char* bad : {"", "Log", "lin", "log "})
        EXPECT_FALSE(parse_frequency_scale(bad, s)) << bad;
}

// Power per bin (129 bins: bin 12 is the last below a tenth of Nyquist).
struct ScaleCase {
    const char* name;
    std::vector<std::pair<std::size_t, double>> power;  // bin, power; others 0
    FrequencyScale want;
};

class DefaultScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(DefaultScale, IsLogWhenMostPowerLiesBelowATenthOfNyquist)
{
    std::vector<double> power(ChannelColumns::bins(), 0.0);
    for (const auto& p : GetParam().power)
        power[p.first] = p.second;
    EXPECT_EQ(default_frequency_scale(power), GetParam().want);
}

const ScaleCase spectra[] = {
    {"LastLowBin", {{12, 1}}, FrequencyScale::Log},
    {"FirstHighBin", {{13, 1}}, FrequencyScale::Linear},
    {"BinZeroCounts", {{0, 3}, {64, 2}}, FrequencyScale::Log},
    {"ExactlyHalfIsNotMost", {{1, 1}, {128, 1}}, FrequencyScale::Linear},
    {"NoPower", {}, FrequencyScale::Linear},
};

INSTANTIATE_TEST_SUITE_P(Spectra, DefaultScale, ::testing::ValuesIn(spectra), RowName());

// The rows show each bin from the lowest up to 128 once or more, in order, from the top row
// down. (Where a tone's row stands: plot_test.)
TEST(RowBins, CoverTheAxisInOrderFromItsLowestBin)
{
    for (const FrequencyScale scale : {FrequencyScale::Linear, FrequencyScale::Log})
        for (const int height : {36, 128, 500}) {
            const auto rows = row_bins(height, 128, scale);
            ASSERT_EQ(rows.size(), static_cast<std::size_t>(height));
            EXPECT_EQ(rows.back().first, scale == FrequencyScale::Log ? 1u : 0u) << height;
            EXPECT_EQ(rows.front().second, 128u) << height;
            for (std::size_t r = 0; r + 1 < rows.size(); ++r) {
                ASSERT_LE(rows[r].first, rows[r].second);
                // The row below starts where this one does, or ends just under it.
                ASSERT_TRUE(rows[r + 1] == rows[r] || rows[r + 1].second + 1 == rows[r].first)
                    << height << " row " << r;
            }
        }
}

// Ticks as "hz" words, "*" after a labelled one.
struct FrequencyTickCase {
    const char* name;
    double nyquist, height, spacing;
    FrequencyScale scale;
    const char* want;
};

class FrequencyTicks : public ::testing::TestWithParam<FrequencyTickCase> {};

TEST_P(FrequencyTicks, StandAtOneTwoFiveAndLabelsKeepTheirSpacing)
{
    const FrequencyTickCase& c = GetParam();
    std::ostringstream o;
    double last = -1e9;
    for (const FrequencyTick& t : frequency_ticks(c.nyquist, 128, c.height, c.spacing, c.scale)) {
        o << (o.tellp() > 0 ? " " : "") << t.hz << (t.labelled ? "*" : "");
        const double y = frequency_height(t.hz, c.nyquist, 128, c.scale) * c.height;
        EXPECT_GE(y, -1e-9);
        EXPECT_LE(y, c.height + 1e-9);
        if (t.labelled) {
            EXPECT_GE(y - last, c.spacing) << t.hz;
            last = y;
        }
    }
    EXPECT_EQ(o.str(), c.want);
}

const FrequencyTickCase frequency_ticks_rows[] = {
    // 18 Hz data: the log axis runs from 9/128 = 0.0703 Hz to 9 Hz.
    {"LogCrowdedLabelsTheDecades", 9, 36, 11.25, FrequencyScale::Log, "0.1* 0.2 0.5 1* 2 5"},
    {"LogTallLabelsAll", 9, 150, 16, FrequencyScale::Log, "0.1* 0.2* 0.5* 1* 2* 5*"},
    // 100 Hz data reaches a tick at the Nyquist frequency itself.
    {"LogEndsAtNyquist", 50, 300, 16, FrequencyScale::Log, "0.5* 1* 2* 5* 10* 20* 50*"},
    {"LinearFromZero", 9, 150, 23.4, FrequencyScale::Linear, "0* 2* 4* 6* 8*"},
};

INSTANTIATE_TEST_SUITE_P(Axes, FrequencyTicks, ::testing::ValuesIn(frequency_ticks_rows),
                         RowName());

}  // namespace
