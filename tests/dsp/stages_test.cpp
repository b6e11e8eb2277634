// The stages of a conversion on small channels whose results are worked out
// by hand: offset removal (the mean truncated toward zero, also around
// silent runs), scaling, the automatic factor, linear resampling, the filter
// on a constant and the reading of values beyond 16 bits.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "dsp/linear_stream.h"
#include "dsp/stages.h"
#include "engine/conversion.h"
#include "rows.h"

namespace {

using Samples = std::vector<int16_t>;

// Runs of equal samples, {value, count} after each other.
Samples runs(std::initializer_list<std::pair<int, long>> list)
{
    Samples s;
    for (const auto& [value, count] : list)
        s.insert(s.end(), static_cast<std::size_t>(count), static_cast<int16_t>(value));
    return s;
}

Samples resampled(Samples in, int u, bool filter)
{
    tavo::dsp::LinearStream stream(in.data(), static_cast<long>(in.size()), u, filter);
    Samples out(stream.frames());
    stream.next(out.data(), out.size());
    return out;
}

struct Stage {
    const char* name;
    std::function<long(Samples&)> run;  // changes the samples, returns the clip count
    Samples in, out;
    long clipped;
};

class Stages : public testing::TestWithParam<Stage> {};

TEST_P(Stages, GiveTheWorkedSamples)
{
    Samples s = GetParam().in;
    EXPECT_EQ(GetParam().run(s), GetParam().clipped);
    EXPECT_EQ(s, GetParam().out);
}

long offset(Samples& s)
{
    return tavo::dsp::remove_channel_offset(s.data(), static_cast<long>(s.size()));
}

// Offset removal around silent runs: the mean of the other samples only,
// the silent ones 0 whatever they held.
std::function<long(Samples&)> around(std::vector<tavo::dsp::SampleRun> silent)
{
    return [silent](Samples& s) {
        return tavo::dsp::remove_channel_offset_around(s.data(), static_cast<long>(s.size()),
                                                       silent);
    };
}

std::function<long(Samples&)> scale(int factor)
{
    return [factor](Samples& s) {
        return tavo::dsp::scale_channel(s.data(), static_cast<long>(s.size()), factor);
    };
}

std::function<long(Samples&)> resample(int u)
{
    return [u](Samples& s) {
        s = resampled(s, u, false);
        return 0L;
    };
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Channels, Stages, testing::Values(
    // The mean is truncated toward zero, neither floored nor rounded.
    Stage{"OffsetMeanMinusPointSixSubtractsNothing", offset, runs({{-1, 384}, {0, 256}}),
          runs({{-1, 384}, {0, 256}}), 0},
    Stage{"OffsetMeanOnePointSixSubtractsOne", offset, runs({{2, 384}, {1, 256}}),
          runs({{1, 384}, {0, 256}}), 0},
    Stage{"OffsetMeanMinusOnePointSixSubtractsMinusOne", offset, runs({{-2, 384}, {-1, 256}}),
          runs({{-1, 384}, {0, 256}}), 0},
    // Mean (100 x 32767 - 28 x 32768) / 128 = 18431.2: the bottom leaves the range.
    Stage{"OffsetSaturates", offset, runs({{32767, 100}, {-32768, 28}}),
          runs({{14336, 100}, {-32768, 28}}), 28},
    // Mean 10 of the sounding samples; with the 0s it would be 6.
    Stage{"OffsetAroundARun", around({{2, 2}}), {8, 12, 0, 0, 9, 11}, {-2, 2, 0, 0, -1, 1}, 0},
    Stage{"OffsetAroundRunsAtBothEnds", around({{0, 1}, {3, 1}}), {0, 5, 7, 0}, {0, -1, 1, 0}, 0},
    Stage{"OffsetAroundSilenceHoldingValues", around({{0, 1}}), {100, 3, 5}, {0, -1, 1}, 0},
    Stage{"OffsetAroundAllSilent", around({{0, 2}}), {4, 4}, {0, 0}, 0},
    // -1.5 subtracts -1.
    Stage{"OffsetAroundTruncatedMean", around({{2, 1}}), {-1, -2, 0}, {0, -1, 0}, 0},
    Stage{"ScaleSaturates", scale(2), {20000, -20000, 100, 7}, {32767, -32768, 200, 14}, 2},
    // Between inputs a and b: a + (b - a) x j / u, truncated toward zero;
    // the last u samples hold the last input.
    Stage{"ResampleInterpolatesAndHoldsTheLast", resample(4), {0, 8, 4},
          {0, 2, 4, 6, 8, 7, 6, 5, 4, 4, 4, 4}, 0},
    Stage{"ResampleTruncatesTowardZero", resample(2), {0, -3, 3}, {0, -1, -3, 0, 3, 3}, 0},
    Stage{"NoResampling", resample(0), {5, -5}, {5, -5}, 0}),
    tavo_test::RowName());
// clang-format on

// The filter's gain at 0 Hz is 1: a constant comes out as itself once the
// zero history has left the 129 taps, each result + 0.5 truncated toward
// zero (-1000 + 0.5 gives -999).
TEST(FilterStage, SettlesOnAConstant)
{
    for (const auto& [value, settled] : {std::pair{1000, 1000}, {-1000, -999}, {0, 0}}) {
        const Samples out = resampled(runs({{value, 256}}), 0, true);
        EXPECT_EQ(out.front(), 0) << value;
        EXPECT_EQ(Samples(out.begin() + 128, out.end()), runs({{settled, 128}})) << value;
    }
}

// The automatic factor: the largest power of two up to 128 that keeps the
// peak within 32767, 1 when even 1 does not; -32768 counts as 32768.
TEST(AutomaticScale, KeepsThePeakWithinSixteenBits)
{
    for (const auto& [peak, factor] : std::initializer_list<std::pair<int, int>>{
             {0, 128}, {255, 128}, {-256, 64}, {16383, 2}, {-16384, 1}, {32767, 1}, {-32768, 1}}) {
        const Samples s = {0, static_cast<int16_t>(peak), 1};
        EXPECT_EQ(tavo::engine::autoscale(tavo::dsp::peak_abs(s.data(), 3)), factor) << peak;
    }
}

// A read value becomes a sample truncated toward zero, saturated; NaN is 0.
TEST(ReadValue, TruncatesAndSaturates)
{
    const std::pair<double, int> reads[] = {
        {2.7, 2},          {-2.7, -2},          {4e4, 32767},
        {-4e4, -32768},    {32767.9, 32767},    {-32768.9, -32768},
        {INFINITY, 32767}, {-INFINITY, -32768}, {NAN, 0}};
    for (const auto& [value, sample] : reads)
        EXPECT_EQ(tavo::engine::double2short(value), sample) << value;
}

}  // namespace
