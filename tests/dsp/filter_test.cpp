// The reference filter's documented response, and the fast stream checked
// against it sample for sample.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <algorithm>
#include <random>

#include "dsp/fast_filter.h"
#include "dsp/filter.h"
#include "stagewise.h"

namespace {

using Samples = std::vector<int16_t>;
using tavo_test::filter_channel_reference;
using Filtered = std::pair<Samples, long>;  // outputs, and how many were saturated

const FilterKernel KERNELS[] = {FilterKernel::GENERIC, FilterKernel::AVX2, FilterKernel::AVX512};

// The ring position left by earlier calls must not change the response:
// H[1] ... H[128], H[0], then zeros.
TEST(ReferenceFilter, ImpulseResponseWhateverTheRingPosition)
{
    for (int calls : {0, 1, 128, 129, 130, 387}) {
        for (int n = 0; n < calls; n++)
            Filter(n * 7.0);
        Initialize(0.0);
        for (int n = 0; n < 131; n++)
            EXPECT_EQ(Filter(n == 0 ? 1.0 : 0.0), n < 128 ? H[n + 1] : n == 128 ? H[0] : 0.0) << n;
    }
}

// The pipeline's per-sample filter stage: Filter() plus 0.5, truncated
// toward zero and saturated.
Filtered reference_run(Samples in)
{
    const long clipped = filter_channel_reference(in.data(), static_cast<long>(in.size()));
    return {in, clipped};
}

Filtered stream_run(const Samples& in, size_t chunk, FilterKernel kernel,
                    long* recomputed = nullptr)
{
    FilterStream stream(0.0, kernel);
    Filtered r{Samples(in.size()), 0};
    for (size_t i = 0; i < in.size(); i += chunk)
        r.second +=
            stream.process(in.data() + i, r.first.data() + i, std::min(chunk, in.size() - i));
    if (recomputed)
        *recomputed = stream.recomputed();
    return r;
}

// 6000 samples: uniform noise over the whole range (period 0), or a square
// wave between lo and hi of `period` samples per cycle.
Samples square(size_t period, int lo = 0, int hi = 0)
{
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> any(-32768, 32767);
    Samples s(6000);
    for (size_t i = 0; i < s.size(); i++)
        s[i] = static_cast<int16_t>(period == 0 ? any(rng) : i % period < period / 2 ? hi : lo);
    return s;
}

struct Signal {
    const char* name;
    Samples samples;
};

using StreamCase = std::tuple<Signal, size_t, FilterKernel>;

class FastStream : public testing::TestWithParam<StreamCase> {};

TEST_P(FastStream, EqualsReferenceInAnyChunking)
{
    const auto& [signal, chunk, kernel] = GetParam();
    if (!filter_kernel_supported(kernel))
        GTEST_SKIP() << "processor lacks this kernel";
    EXPECT_EQ(stream_run(signal.samples, chunk, kernel), reference_run(signal.samples));
}

// Noise, full-scale squares that clip, a fast square and a constant.
INSTANTIATE_TEST_SUITE_P(
    Signals, FastStream,
    testing::Combine(testing::Values(Signal{"Noise", square(0)},
                                     Signal{"ClippingSquare300", square(300, -32768, 32767)},
                                     Signal{"ClippingSquare64", square(64, -32768, 32767)},
                                     Signal{"FastSquare6", square(6, -32767, 32767)},
                                     Signal{"Constant", square(2, 1000, 1000)}),
                     testing::Values<size_t>(1, 3, 1000, 2049, 1 << 20),
                     testing::ValuesIn(KERNELS)),
    [](const testing::TestParamInfo<StreamCase>& i) {
        return std::string(std::get<0>(i.param).name) + "InChunksOf" +
               std::to_string(std::get<1>(i.param)) + filter_kernel_name(std::get<2>(i.param));
    });

// The impulse at the centre tap's input; whether the dropped taps' inputs
// are filled to push the sum across; the output when the centre tap meets
// the impulse; how many outputs the stream must recompute.
using Boundary = std::tuple<int, bool, int, long>;

class FastBoundary : public testing::TestWithParam<std::tuple<Boundary, FilterKernel>> {};

// An odd impulse meets the centre tap 0.5000000000000648 and lands just past
// a rounding boundary, where the fast sum cannot decide. With the dropped
// taps' inputs at full scale, against the sign of their taps, the reference
// sum falls back across the boundary although the fast sum does not move.
TEST_P(FastBoundary, RecomputesNearRoundingBoundaries)
{
    const auto [amplitude, dropped_taps, expected, recomputes] = std::get<0>(GetParam());
    const FilterKernel kernel = std::get<1>(GetParam());
    if (!filter_kernel_supported(kernel))
        GTEST_SKIP() << "processor lacks this kernel";
    Samples in(600, 0);
    in[265] = static_cast<int16_t>(amplitude);
    for (int m = 0; dropped_taps && m < FILTER_TAPS; m++) {
        const int tap = m == 0 ? 0 : FILTER_TAPS - m;
        if (tap % 2 == 0 && tap != 64)
            in[200 + m] = (H[tap] > 0) == (amplitude > 0) ? -32768 : 32766;
    }
    const Filtered want = reference_run(in);
    EXPECT_EQ(want.first[328], expected);
    long recomputed = 0;
    EXPECT_EQ(stream_run(in, 4096, kernel, &recomputed), want);
    EXPECT_EQ(recomputed, recomputes);
}

INSTANTIATE_TEST_SUITE_P(
    Impulses, FastBoundary,
    testing::Combine(testing::Values(Boundary(1, false, 1, 1), Boundary(2, false, 1, 0),
                                     Boundary(3, false, 2, 1), Boundary(-1, false, 0, 0),
                                     Boundary(-3, false, -1, 1), Boundary(1, true, 0, 1),
                                     Boundary(-3, true, 0, 1)),
                     testing::ValuesIn(KERNELS)),
    [](const testing::TestParamInfo<std::tuple<Boundary, FilterKernel>>& i) {
        const int amplitude = std::get<0>(std::get<0>(i.param));
        const bool dropped_taps = std::get<1>(std::get<0>(i.param));
        return "Impulse" + std::string(amplitude < 0 ? "Minus" : "") +
               std::to_string(std::abs(amplitude)) + (dropped_taps ? "DroppedTapsFull" : "") +
               filter_kernel_name(std::get<1>(i.param));
    });

}  // namespace
