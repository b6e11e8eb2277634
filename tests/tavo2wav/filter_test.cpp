// The reference filter's documented behaviour, and the fast stream checked
// against it sample for sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fast_filter.h"
#include "filter.h"

namespace {

using Samples = std::vector<int16_t>;

struct Filtered {
    Samples out;
    long clipped = 0;
};

// The pipeline's rule on top of the reference filter: Filter() plus 0.5,
// truncated toward zero, then saturated to 16 bits.
Filtered reference_run(const Samples &in, double initial)
{
    Filtered r;
    Initialize(initial);
    for (int16_t x : in) {
        const double t = std::trunc(Filter(x) + 0.5);
        const double s = std::min(32767.0, std::max(-32768.0, t));
        r.clipped += s != t;
        r.out.push_back(static_cast<int16_t>(s));
    }
    return r;
}

Filtered stream_run(const Samples &in, double initial, std::size_t chunk,
                    FilterKernel kernel, long *recomputed = nullptr)
{
    FilterStream stream(initial, kernel);
    Filtered r;
    r.out.resize(in.size());
    for (std::size_t i = 0; i < in.size(); i += chunk) {
        const std::size_t n = std::min(chunk, in.size() - i);
        r.clipped += stream.process(in.data() + i, r.out.data() + i, n);
    }
    if (recomputed)
        *recomputed = stream.recomputed();
    return r;
}

// 18 Hz-like data: random values up to `peak`, linearly interpolated by 50
// and truncated toward zero, as the resampling stage produces them.
Samples interpolated(std::size_t points, int peak, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(-peak, peak);
    Samples out;
    int a = value(rng);
    for (std::size_t k = 0; k < points; k++) {
        const int b = value(rng);
        for (int j = 0; j < 50; j++)
            out.push_back(static_cast<int16_t>(a + (b - a) * (j / 50.0)));
        a = b;
    }
    return out;
}

// Independent uniform samples over the whole 16-bit range.
Samples white(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(-32768, 32767);
    Samples out(n);
    for (int16_t &x : out)
        x = static_cast<int16_t>(value(rng));
    return out;
}

// A square wave between lo and hi, `period` samples per cycle.
Samples square(std::size_t n, int lo, int hi, std::size_t period)
{
    Samples out(n);
    for (std::size_t i = 0; i < n; i++)
        out[i] = static_cast<int16_t>((i % period) < period / 2 ? hi : lo);
    return out;
}

// Zeros with `amplitude` at every `spacing`-th sample from `first` on.
Samples impulses(std::size_t n, int amplitude, std::size_t first,
                 std::size_t spacing)
{
    Samples out(n, 0);
    for (std::size_t i = first; i < n; i += spacing)
        out[i] = static_cast<int16_t>(amplitude);
    return out;
}

const std::vector<FilterKernel> ALL_KERNELS = {
    FilterKernel::GENERIC, FilterKernel::AVX2, FilterKernel::AVX512};

std::string kernel_name(FilterKernel k)
{
    return k == FilterKernel::GENERIC ? "Generic"
           : k == FilterKernel::AVX2  ? "Avx2"
                                      : "Avx512";
}

}  // namespace

// ---- reference filter ------------------------------------------------------

TEST(ReferenceFilter, TapsAreSymmetricWithSmallEvenDistanceTaps)
{
    for (int k = 0; k < FILTER_TAPS; k++) {
        EXPECT_EQ(H[k], H[FILTER_TAPS - 1 - k]) << k;
        if (k % 2 == 0 && k != 64) {
            EXPECT_LT(std::fabs(H[k]), 7e-14) << k;
        }
    }
    EXPECT_EQ(H[64], 0.5000000000000648);
}

TEST(ReferenceFilter, ImpulseGivesTapsOneToLastThenTapZero)
{
    Initialize(0.0);
    std::vector<double> out;
    for (int n = 0; n < 140; n++)
        out.push_back(Filter(n == 0 ? 1.0 : 0.0));
    for (int n = 0; n < 128; n++)
        EXPECT_EQ(out[n], H[n + 1]) << n;
    EXPECT_EQ(out[128], H[0]);
    for (int n = 129; n < 140; n++)
        EXPECT_EQ(out[n], 0.0) << n;
}

class ReferenceConstant : public ::testing::TestWithParam<double> {};

TEST_P(ReferenceConstant, GivesValueTimesInOrderTapSum)
{
    double tap_sum = 0.0;
    for (double h : H)
        tap_sum += h;
    EXPECT_NEAR(tap_sum, 0.9999941604178938, 2e-15);
    // Powers of two scale every partial sum exactly.
    const double v = GetParam();
    Initialize(v);
    for (int n = 0; n < 3; n++)
        EXPECT_EQ(Filter(v), v * tap_sum);
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, ReferenceConstant,
                         ::testing::Values(1.0, 2.0, -4.0, 0.5, 1024.0));

TEST(ReferenceFilter, RoundedStepToThousandRingsThenHolds)
{
    const Filtered r = reference_run(Samples(400, 1000), 0.0);
    EXPECT_EQ(r.out[0], 0);
    EXPECT_GT(*std::max_element(r.out.begin(), r.out.begin() + 128), 1000);
    for (std::size_t n = 128; n < r.out.size(); n++)
        EXPECT_EQ(r.out[n], 1000) << n;
}

class ReferenceRingPosition : public ::testing::TestWithParam<int> {};

// The ring index carries over between channels; results must not depend on it.
TEST_P(ReferenceRingPosition, EarlierCallsDoNotChangeImpulseResponse)
{
    Initialize(0.0);
    for (int n = 0; n < GetParam(); n++)
        Filter(n * 7.0);
    Initialize(0.0);
    for (int n = 0; n < 130; n++)
        EXPECT_EQ(Filter(n == 0 ? 1.0 : 0.0), n < 128 ? H[n + 1] : n == 128 ? H[0] : 0.0)
            << n;
}

INSTANTIATE_TEST_SUITE_P(CallCounts, ReferenceRingPosition,
                         ::testing::Values(0, 1, 128, 129, 130, 258, 387));

TEST(FilterWindow, MatchesFilterBitForBit)
{
    const Samples in = white(1000, 11);
    std::vector<double> x(128, 0.0);
    Initialize(0.0);
    for (int16_t s : in) {
        x.push_back(s);
        EXPECT_EQ(filter_window(x.data() + x.size() - FILTER_TAPS), Filter(s));
    }
}

// ---- fast stream against the reference -------------------------------------

struct SignalCase {
    const char *name;
    Samples samples;
};

const std::vector<SignalCase> &signal_cases()
{
    static const std::vector<SignalCase> cases = {
        {"Interpolated", interpolated(200, 32767, 1)},
        {"White", white(6000, 2)},
        {"FullScaleSquare", square(6000, -32768, 32767, 300)},
        {"FastSquare", square(5000, -32767, 32767, 6)},
        {"Impulses", impulses(5000, 32767, 3, 257)},
        {"OddImpulses", impulses(5000, -5, 130, 131)},
        {"Constant", Samples(4500, 1000)},
        {"Bottom", Samples(3000, -32768)},
    };
    return cases;
}

using StreamParam = std::tuple<std::size_t, std::size_t, FilterKernel>;

class FastStream : public ::testing::TestWithParam<StreamParam> {};

TEST_P(FastStream, EqualsReferenceInAnyChunking)
{
    const auto [signal, chunk, kernel] = GetParam();
    if (!filter_kernel_supported(kernel))
        GTEST_SKIP() << "processor lacks this kernel";
    const Samples &in = signal_cases()[signal].samples;
    const Filtered want = reference_run(in, 0.0);
    const Filtered got = stream_run(in, 0.0, chunk, kernel);
    EXPECT_EQ(got.out, want.out);
    EXPECT_EQ(got.clipped, want.clipped);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, FastStream,
    ::testing::Combine(::testing::Range<std::size_t>(0, 8),
                       ::testing::Values<std::size_t>(1, 3, 64, 1000, 2047,
                                                      2049, 1 << 20),
                       ::testing::ValuesIn(ALL_KERNELS)),
    [](const ::testing::TestParamInfo<StreamParam> &info) {
        return std::string(signal_cases()[std::get<0>(info.param)].name)
               + "Chunk" + std::to_string(std::get<1>(info.param))
               + kernel_name(std::get<2>(info.param));
    });

struct SaturationCase {
    const char *name;
    Samples samples;
};

class FastSaturation : public ::testing::TestWithParam<SaturationCase> {};

// Full-scale edges overshoot by the filter's ringing and must be clipped.
TEST_P(FastSaturation, ClipsOvershootAndCountsIt)
{
    const Samples &in = GetParam().samples;
    const Filtered want = reference_run(in, 0.0);
    const Filtered got = stream_run(in, 0.0, 777, best_filter_kernel());
    EXPECT_EQ(got.out, want.out);
    EXPECT_EQ(got.clipped, want.clipped);
    EXPECT_GT(got.clipped, 0);
    EXPECT_EQ(*std::max_element(got.out.begin(), got.out.end()), 32767);
    EXPECT_EQ(*std::min_element(got.out.begin(), got.out.end()), -32768);
}

INSTANTIATE_TEST_SUITE_P(
    Squares, FastSaturation,
    ::testing::Values(
        SaturationCase{"Symmetric", square(3000, -32767, 32767, 400)},
        SaturationCase{"Extremes", square(3000, -32768, 32767, 1000)},
        SaturationCase{"Short", square(3000, -32768, 32767, 64)}),
    [](const ::testing::TestParamInfo<SaturationCase> &info) {
        return std::string(info.param.name);
    });

class FastInitial : public ::testing::TestWithParam<double> {};

// The first outputs see the initial history, which need not be an integer.
TEST_P(FastInitial, EqualsReferenceAfterInitialize)
{
    const Samples in = interpolated(20, 20000, 5);
    const Filtered want = reference_run(in, GetParam());
    const Filtered got = stream_run(in, GetParam(), 100, best_filter_kernel());
    EXPECT_EQ(got.out, want.out);
    EXPECT_EQ(got.clipped, want.clipped);
}

INSTANTIATE_TEST_SUITE_P(Values, FastInitial,
                         ::testing::Values(0.0, 1000.0, -0.25, 32767.5, 1e6,
                                           -1e300));

struct BoundaryCase {
    const char *name;
    int amplitude;      // impulse at the centre tap's input
    bool dropped_taps;  // fill the dropped taps' inputs to push across
    int16_t expected;   // output when the centre tap meets the impulse
    long recomputed;
};

class FastBoundary : public ::testing::TestWithParam<BoundaryCase> {};

// An odd impulse meets the centre tap 0.5000000000000648 and lands just past
// a rounding boundary, where the fast sum cannot decide. With the dropped
// taps' inputs at full scale, against the sign of their taps, the reference
// sum falls back across the boundary although the fast sum does not move.
// (Even full-scale values keep their own outputs off the boundaries.)
TEST_P(FastBoundary, RecomputesNearRoundingBoundaries)
{
    const BoundaryCase &c = GetParam();
    const std::size_t start = 200;  // window of output start + 128
    Samples in(600, 0);
    in[start + 65] = static_cast<int16_t>(c.amplitude);
    for (int m = 0; c.dropped_taps && m < FILTER_TAPS; m++) {
        const int tap = m == 0 ? 0 : FILTER_TAPS - m;
        if (tap % 2 == 0 && tap != 64)
            in[start + m] = (H[tap] > 0) == (c.amplitude > 0) ? -32768 : 32766;
    }
    const Filtered want = reference_run(in, 0.0);
    for (FilterKernel kernel : ALL_KERNELS) {
        if (!filter_kernel_supported(kernel))
            continue;
        long recomputed = 0;
        const Filtered got = stream_run(in, 0.0, 4096, kernel, &recomputed);
        EXPECT_EQ(got.out, want.out) << kernel_name(kernel);
        EXPECT_EQ(got.out[start + 128], c.expected) << kernel_name(kernel);
        EXPECT_EQ(recomputed, c.recomputed) << kernel_name(kernel);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Impulses, FastBoundary,
    ::testing::Values(BoundaryCase{"One", 1, false, 1, 1},
                      BoundaryCase{"Two", 2, false, 1, 0},
                      BoundaryCase{"Three", 3, false, 2, 1},
                      BoundaryCase{"MinusOne", -1, false, 0, 0},
                      BoundaryCase{"MinusThree", -3, false, -1, 1},
                      BoundaryCase{"OnePushedDown", 1, true, 0, 1},
                      BoundaryCase{"MinusThreePushedUp", -3, true, 0, 1}),
    [](const ::testing::TestParamInfo<BoundaryCase> &info) {
        return std::string(info.param.name);
    });

TEST(FastStreamState, InstancesAndInPlaceProcessingAreIndependent)
{
    const Samples a = interpolated(100, 30000, 7);
    const Samples b = white(a.size(), 8);
    FilterStream sa, sb;
    Samples oa(a.size()), ob = b;
    for (std::size_t i = 0; i < a.size(); i += 500) {
        const std::size_t n = std::min<std::size_t>(500, a.size() - i);
        sa.process(a.data() + i, oa.data() + i, n);
        sb.process(ob.data() + i, ob.data() + i, n);  // in place
    }
    EXPECT_EQ(oa, reference_run(a, 0.0).out);
    EXPECT_EQ(ob, reference_run(b, 0.0).out);
}
