// The band-limited resampler: its length and alignment, its independence of
// how the output is taken, and the quality it must reach (every spurious
// component of a tone 100 dB down, the passband flat within 0.1 dB), measured
// on tones of an 18 Hz recording at reduced length.
#include "dsp/sinc_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tone_analysis.h"
#include "rows.h"

namespace {

using tavo::dsp::SincStream;

constexpr double PI = 3.14159265358979323846;
constexpr double FS = 18.0;  // sampling frequency of the recordings, Hz

// Everything the stream delivers, taken `piece` samples at a time.
std::vector<double> drain(SincStream& s, std::size_t piece)
{
    std::vector<double> out(s.frames() + 5, -1.0);
    std::size_t at = 0;
    while (std::size_t got = s.next(out.data() + at, std::min(piece, out.size() - at)))
        at += got;
    out.resize(at);
    return out;
}

// A sine of `hz` at 18 Hz, n samples, amplitude a, phase 0.3 at sample 0.
std::vector<double> tone(double hz, long n, double a)
{
    std::vector<double> x(n);
    for (long i = 0; i < n; i++)
        x[i] = a * std::sin(2 * PI * hz / FS * i + 0.3);
    return x;
}

struct Length {
    const char* name;
    long n;
    double in_rate, out_rate;
    unsigned long long frames;
};

class SincLength : public testing::TestWithParam<Length> {};

TEST_P(SincLength, DeliversRoundedProductExactly)
{
    const Length& p = GetParam();
    EXPECT_EQ(SincStream::output_frames(p.n, p.in_rate, p.out_rate), p.frames);
    const std::vector<double> in = tone(1.0, p.n > 0 ? p.n : 0, 1000);
    SincStream s(in.data(), p.n, p.in_rate, p.out_rate);
    ASSERT_EQ(s.error(), nullptr);
    EXPECT_EQ(drain(s, 1000).size(), p.frames);
}

INSTANTIATE_TEST_SUITE_P(Lengths, SincLength,
                         testing::Values(Length{"Upsample50", 1001, 1, 50, 50050},
                                         Length{"SpeedupGivesU50", 1001, 18 * 49, 44100, 50050},
                                         Length{"FractionRoundsUp", 1001, 1, 2.7, 2703},
                                         Length{"FractionRoundsDown", 1001, 10, 3, 300},
                                         Length{"HalfRoundsUp", 3, 2, 1, 2},
                                         Length{"OneSample", 1, 1, 50, 50},
                                         Length{"LongerThanBlocks", 20000, 1, 4, 80000},
                                         Length{"Empty", 0, 1, 50, 0},
                                         Length{"Negative", -5, 1, 50, 0}),
                         tavo_test::RowName());

// A lone pulse comes out centred at the same time: soxr's delay is taken out.
struct Pulse {
    const char* name;
    long at;
    double ratio;
};

class SincAlignment : public testing::TestWithParam<Pulse> {};

TEST_P(SincAlignment, PulseKeepsItsTime)
{
    const Pulse& p = GetParam();
    std::vector<double> in(3000, 0.0);
    in[p.at] = 10000;
    SincStream s(in.data(), static_cast<long>(in.size()), 1, p.ratio);
    const std::vector<double> out = drain(s, 4096);
    std::size_t peak = 0;
    for (std::size_t k = 0; k < out.size(); k++)
        if (std::fabs(out[k]) > std::fabs(out[peak]))
            peak = k;
    EXPECT_NEAR(static_cast<double>(peak), p.at * p.ratio, 0.5);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Pulses, SincAlignment, testing::Values(
    Pulse{"MiddleU4", 1500, 4}, Pulse{"MiddleU50", 1500, 50}, Pulse{"MiddleFraction", 1500, 2.5},
    Pulse{"NearStartU50", 40, 50}, Pulse{"NearEndU50", 2960, 50}),
    tavo_test::RowName());
// clang-format on

TEST(SincStream, SamplesDoNotDependOnHowTheyAreTaken)
{
    const std::vector<double> in = tone(3.0, 9000, 12000);
    SincStream whole(in.data(), 9000, 1, 50);
    const std::vector<double> expected = drain(whole, SIZE_MAX);
    for (std::size_t piece : {1, 7, 4096, 32769}) {
        SincStream s(in.data(), 9000, 1, 50);
        EXPECT_EQ(drain(s, piece), expected) << piece;
    }
}

TEST(SincStream, RejectsRatesThatAreNotPositive)
{
    const double in[4] = {1, 2, 3, 4};
    for (double bad : {0.0, -1.0, double(NAN), double(INFINITY)}) {
        SincStream s(in, 4, bad, 50);
        EXPECT_NE(s.error(), nullptr) << bad;
        EXPECT_EQ(s.frames(), 0u);
        double out[4];
        EXPECT_EQ(s.next(out, 4), 0u);
    }
}

// Tones through the whole band, at integer and fractional ratios.
struct Quality {
    const char* name;
    double hz;     // tone frequency at 18 Hz
    double ratio;  // output rate / 18 Hz
};

class SincQuality : public testing::TestWithParam<Quality> {};

TEST_P(SincQuality, SpuriousComponentsAreHundredDecibelsDown)
{
    const Quality& p = GetParam();
    const double amplitude = 16000;
    // Enough input for the analysis span (up to 2^20 output samples) and
    // the transients at both ends.
    const long n = static_cast<long>(std::ceil((1 << 20) / p.ratio)) + 2000;
    const std::vector<double> in = tone(p.hz, n, amplitude);
    SincStream s(in.data(), n, FS, FS * p.ratio);
    const std::vector<double> out = drain(s, 1 << 16);
    const ToneLevels t = measure_tone(out.data(), out.size(), p.hz / (FS * p.ratio), amplitude);
    EXPECT_LE(t.spurious_db, -100.0) << "at " << t.spurious_at * FS * p.ratio << " Hz";
    if (p.hz <= 0.4 * FS) {
        EXPECT_LE(std::fabs(t.gain_db), 0.05);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Tones, SincQuality, testing::Values(
    Quality{"HalfHzU4", 0.5, 4}, Quality{"OneHzU4", 1, 4}, Quality{"FiveHzU4", 5, 4},
    Quality{"PointFourFsU4", 7.2, 4}, Quality{"PointFourFiveFsU4", 8.1, 4},
    Quality{"HalfHzU50", 0.5, 50}, Quality{"ThreeHzU50", 3, 50}, Quality{"EightHzU50", 8, 50},
    Quality{"PointFourFiveFsU50", 8.1, 50}, Quality{"OneHzSpeedup40", 1, 44100 / (18.0 * 40)},
    Quality{"PointFourFsSpeedup37", 7.2, 44100 / (18.0 * 37)}),
    tavo_test::RowName());
// clang-format on

}  // namespace
