// Unit tests of the converter's sample stages: the automatic factor, the
// conversion of read values to 16 bits, offset removal, scaling and
// resampling, with the number of samples each stage clips.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "pipeline.h"
#include "stages.h"

namespace {

typedef std::vector<int16_t> Samples;

// ---- autoscale ---------------------------------------------------------------

struct Factor {
    int peak;
    int factor;
};

class Autoscale : public testing::TestWithParam<Factor> {};

TEST_P(Autoscale, LargestPowerOfTwoThatFits)
{
    EXPECT_EQ(autoscale(GetParam().peak), GetParam().factor);
}

INSTANTIATE_TEST_SUITE_P(Peaks, Autoscale,
                         testing::Values(Factor{0, 128}, Factor{1, 128}, Factor{255, 128},
                                         Factor{256, 64}, Factor{511, 64}, Factor{512, 32},
                                         Factor{8191, 4}, Factor{8192, 2}, Factor{16383, 2},
                                         Factor{16384, 1}, Factor{32767, 1}, Factor{32768, 1}),
                         [](const testing::TestParamInfo<Factor> &i) {
                             return "Peak" + std::to_string(i.param.peak);
                         });

// ---- double2short ------------------------------------------------------------

struct Conversion {
    const char *label;
    double in;
    int out;
};

class DoubleToShort : public testing::TestWithParam<Conversion> {};

TEST_P(DoubleToShort, TruncatesTowardZeroAndSaturates)
{
    EXPECT_EQ(double2short(GetParam().in), GetParam().out);
}

const double INF = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, DoubleToShort,
    testing::Values(Conversion{"PositiveFraction", 0.9, 0}, Conversion{"NegativeFraction", -0.9, 0},
                    Conversion{"PositiveHalf", 1.5, 1}, Conversion{"NegativeHalf", -1.5, -1},
                    Conversion{"NegativeZero", -0.0, 0}, Conversion{"Top", 32767.0, 32767},
                    Conversion{"JustBelowTopPlusOne", 32767.99, 32767},
                    Conversion{"TopPlusOne", 32768.0, 32767}, Conversion{"Huge", 1e300, 32767},
                    Conversion{"Infinity", INF, 32767}, Conversion{"Bottom", -32768.0, -32768},
                    Conversion{"JustAboveBottomMinusOne", -32768.99, -32768},
                    Conversion{"BottomMinusOne", -32769.0, -32768},
                    Conversion{"MinusInfinity", -INF, -32768},
                    Conversion{"NotANumber", std::nan(""), 0}),
    [](const testing::TestParamInfo<Conversion> &i) { return std::string(i.param.label); });

// ---- Channel stages ----------------------------------------------------------

// One stage applied to a channel: input, expected output, expected clips.
struct Stage {
    const char *label;
    Samples in;
    int factor;  // scale_channel only
    Samples out;
    long clipped;
};

std::string stage_label(const testing::TestParamInfo<Stage> &i)
{
    return i.param.label;
}

class OffsetRemoval : public testing::TestWithParam<Stage> {};

TEST_P(OffsetRemoval, SubtractsTruncatedMean)
{
    Samples x = GetParam().in;
    EXPECT_EQ(remove_channel_offset(x.data(), static_cast<long>(x.size())), GetParam().clipped);
    EXPECT_EQ(x, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Means, OffsetRemoval,
    testing::Values(
        Stage{"Empty", {}, 0, {}, 0},
        Stage{"MeanMinus06SubtractsNothing", {-1, -1, -1, 0, 0}, 0, {-1, -1, -1, 0, 0}, 0},
        Stage{"Mean16SubtractsOne", {2, 2, 2, 1, 1}, 0, {1, 1, 1, 0, 0}, 0},
        Stage{"MeanMinus16AddsOne", {-2, -2, -2, -1, -1}, 0, {-1, -1, -1, 0, 0}, 0},
        // mean 16383.25: the bottom sample would become -49151
        Stage{"BottomSaturates", {32767, 32767, 32767, -32768}, 0, {16384, 16384, 16384, -32768}, 1},
        // mean -16384.25: the top sample would become 49151
        Stage{"TopSaturates", {-32768, -32768, -32768, 32767}, 0, {-16384, -16384, -16384, 32767}, 1}),
    stage_label);

class Scaling : public testing::TestWithParam<Stage> {};

TEST_P(Scaling, MultipliesAndSaturates)
{
    Samples x = GetParam().in;
    EXPECT_EQ(scale_channel(x.data(), static_cast<long>(x.size()), GetParam().factor),
              GetParam().clipped);
    EXPECT_EQ(x, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Factors, Scaling,
    testing::Values(Stage{"InRange", {100, -100, 0}, 128, {12800, -12800, 0}, 0},
                    Stage{"TwentyThousandTimesTwo", {20000, 7}, 2, {32767, 14}, 1},
                    Stage{"MinusTwentyThousandTimesTwo", {-20000}, 2, {-32768}, 1},
                    Stage{"ExactBottom", {-16384}, 2, {-32768}, 0},
                    Stage{"OnePastTop", {16384, -16385}, 2, {32767, -32768}, 2},
                    Stage{"NegativeFactor", {-32768, 5}, -1, {32767, -5}, 1}),
    stage_label);

TEST(PeakAbs, CountsBottomAsItsMagnitude)
{
    const Samples x = {5, -32768, 32767};
    EXPECT_EQ(peak_abs(x.data(), 3), 32768);
    EXPECT_EQ(peak_abs(x.data(), 1), 5);
    EXPECT_EQ(peak_abs(x.data(), 0), 0);
}

// ---- resample_channel --------------------------------------------------------

struct Resampling {
    const char *label;
    Samples in;
    int u;
    Samples out;
};

class Resample : public testing::TestWithParam<Resampling> {};

TEST_P(Resample, InterpolatesAndHoldsLastSample)
{
    const Resampling &p = GetParam();
    Samples out(p.out.size() + 1, 12345);  // one sentinel past the end
    resample_channel(p.in.data(), static_cast<long>(p.in.size()), p.u, out.data());
    EXPECT_EQ(out.back(), 12345);
    out.pop_back();
    EXPECT_EQ(out, p.out);
}

INSTANTIATE_TEST_SUITE_P(
    Factors, Resample,
    testing::Values(
        Resampling{"ZeroEightByFour", {0, 8}, 4, {0, 2, 4, 6, 8, 8, 8, 8}},
        Resampling{"FallingByFour", {8, 0, 40}, 4, {8, 6, 4, 2, 0, 10, 20, 30, 40, 40, 40, 40}},
        Resampling{"PositiveHalfTruncated", {0, 3}, 2, {0, 1, 3, 3}},
        Resampling{"NegativeHalfTruncated", {0, -3}, 2, {0, -1, -3, -3}},
        Resampling{"FullRange", {-32768, 32767}, 2, {-32768, 0, 32767, 32767}},
        Resampling{"OneSampleHeld", {5}, 3, {5, 5, 5}},
        Resampling{"FactorOneCopies", {1, -2, 3}, 1, {1, -2, 3}},
        Resampling{"NothingToResample", {}, 4, {}}),
    [](const testing::TestParamInfo<Resampling> &i) { return std::string(i.param.label); });

// ---- filter stage ------------------------------------------------------------

TEST(FilterStage, ConstantSettlesExactlyAfter128Samples)
{
    Samples x(300, 1000);
    EXPECT_EQ(filter_channel_reference(x.data(), static_cast<long>(x.size())), 0);
    EXPECT_EQ(x[0], 0);
    EXPECT_EQ(Samples(x.begin() + 128, x.end()), Samples(172, 1000));
}

TEST(FilterStage, EachChannelStartsFromSilence)
{
    Samples first(200, -32768), second(200, 1000);
    filter_channel_reference(first.data(), 200);
    filter_channel_reference(second.data(), 200);
    EXPECT_EQ(second[0], 0);
    EXPECT_EQ(second[150], 1000);
}

}  // namespace
