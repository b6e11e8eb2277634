// Conversion of samples (counts of the 16-bit scale) into the output
// formats: rounding, saturation and its count, and the names the command
// line refuses.
#include <tavo/convert.h>

#include "dsp/quantise.h"
#include "rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using namespace tavo;
using namespace tavo::dsp;

struct Rounding {
    const char* name;
    double counts;
    int16_t s16;
    int32_t s24;
    long clipped16, clipped24;  // 1 when the format had to saturate
};

class Quantise : public testing::TestWithParam<Rounding> {};

TEST_P(Quantise, RoundsToNearestStepHalvesToEvenAndSaturates)
{
    const Rounding& p = GetParam();
    long c16 = 0, c24 = 0;
    EXPECT_EQ(quantise_s16(p.counts, &c16), p.s16);
    EXPECT_EQ(quantise_s24(p.counts, &c24), p.s24);
    EXPECT_EQ(c16, p.clipped16);
    EXPECT_EQ(c24, p.clipped24);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Quantise,
    testing::Values(Rounding{"Zero", 0.0, 0, 0, 0, 0},
                    Rounding{"HalfToEvenDown", 0.5, 0, 128, 0, 0},
                    Rounding{"HalfToEvenUp", 1.5, 2, 384, 0, 0},
                    Rounding{"MinusHalfToEven", -2.5, -2, -640, 0, 0},
                    Rounding{"S24HalfStepToEven", 3.0 / 512, 0, 2, 0, 0},
                    Rounding{"BelowHalf", 1.49, 1, 381, 0, 0},
                    Rounding{"NegativeFraction", -2.7, -3, -691, 0, 0},
                    Rounding{"S24Step", 1.0 / 256, 0, 1, 0, 0},
                    Rounding{"LargestS16", 32767.0, 32767, 8388352, 0, 0},
                    Rounding{"OverS16WithinS24", 32767.5, 32767, 8388480, 1, 0},
                    Rounding{"TopOfS24", 32767.996, 32767, 8388607, 1, 0},
                    Rounding{"OverBoth", 32768.0, 32767, 8388607, 1, 1},
                    Rounding{"Smallest", -32768.0, -32768, -8388608, 0, 0},
                    Rounding{"HalfBelowSmallestIsEven", -32768.5, -32768, -8388608, 0, 1},
                    Rounding{"UnderBoth", -32768.6, -32768, -8388608, 1, 1},
                    Rounding{"FarOver", 1e9, 32767, 8388607, 1, 1},
                    Rounding{"NotANumber", NAN, 0, 0, 1, 1}),
    tavo_test::RowName());

// The vector forms give, value for value, what the one-value forms give,
// clip counts included: the edges of both ranges, NaN and infinities, and a
// spread of values across and beyond full scale (the loops run in vector
// widths, so the count is not a multiple of one).
TEST(Quantise, ManyAtOnceAsOneByOne)
{
    std::vector<double> v = {0.0,       0.5,       1.5,      -2.5,     32767.0,  32767.5,
                             32767.996, 32768.0,   -32768.0, -32768.5, -32768.6, NAN,
                             INFINITY,  -INFINITY, 1e300,    -1e-300};
    for (int i = 0; i < 1003; i++)
        v.push_back((i - 501) * 71.37 + i % 7 / 8.0);
    std::vector<int16_t> s16(v.size());
    std::vector<int32_t> s24(v.size());
    std::vector<float> f32(v.size());
    const long c16 = quantise_s16(v.data(), s16.data(), v.size());
    const long c24 = quantise_s24(v.data(), s24.data(), v.size());
    to_f32(v.data(), f32.data(), v.size());
    long one16 = 0, one24 = 0;
    for (std::size_t i = 0; i < v.size(); i++) {
        EXPECT_EQ(s16[i], quantise_s16(v[i], &one16)) << v[i];
        EXPECT_EQ(s24[i], quantise_s24(v[i], &one24)) << v[i];
        const float f = to_f32(v[i]);
        EXPECT_TRUE(f == f32[i] || (f != f && f32[i] != f32[i])) << v[i];
    }
    EXPECT_EQ(c16, one16);
    EXPECT_EQ(c24, one24);
    EXPECT_GT(c16, 10);
    EXPECT_EQ(to_f32(65536.0), 2.0f);  // floats never clip
}

// The command line's names are matched whole (the accepted ones:
// sound_options_test); a refused name leaves the format as it was.
TEST(SampleFormat, RefusesOtherNames)
{
    SampleFormat f = SampleFormat::S24;
    for (const char* bad : {"s8", "f64", "s16 ", "s2", "", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(parse_sample_format(bad, &f));
        EXPECT_EQ(f, SampleFormat::S24);
    }
}

}  // namespace
