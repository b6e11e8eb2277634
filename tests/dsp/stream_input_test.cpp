// The pieces that let a channel too long to hold be converted: a linear
// stream over the input around its chunk gives what the whole channel's
// gives; a sinc stream fed piece by piece gives what it gives from a 16-bit
// array, and stops with the feed's error; the stages worked out from a
// histogram give the clip counts, peak and values of the whole buffer's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dsp/histogram.h"
#include "dsp/linear_stream.h"
#include "dsp/sinc_stream.h"
#include "dsp/stages.h"
#include "rows.h"

namespace {

using namespace tavo::dsp;

// A loud ramp with noise on it, so that the filter clips now and then.
std::vector<int16_t> channel(long n)
{
    std::vector<int16_t> x;
    unsigned long seed = 7;
    for (long i = 0; i < n; i++) {
        seed = (seed * 1103515245 + 12345) % 2147483648UL;
        x.push_back(
            static_cast<int16_t>((i * 97) % 60000 - 30000 + static_cast<long>(seed % 4001) - 2000));
    }
    return x;
}

struct Shape {
    const char* name;
    int u;
    bool filter;
};

class PartialInput : public testing::TestWithParam<Shape> {};

TEST_P(PartialInput, GivesTheSamplesOfTheWholeChannel)
{
    const long n = 1000;
    const std::vector<int16_t> in = channel(n);
    const Shape& s = GetParam();
    const unsigned long long frames = LinearStream::output_frames(n, s.u);
    for (const unsigned long long start :
         {0ull, 5ull, 127ull, 128ull, 129ull, 2000ull, frames - 3}) {
        const std::size_t count = 700;
        LinearStream whole(in.data(), n, s.u, s.filter, start);
        const InputSpan span = LinearStream::input_span(n, s.u, s.filter, start, count);
        const std::vector<int16_t> part(in.begin() + span.first, in.begin() + span.last);
        LinearStream around(part.data(), span, n, s.u, s.filter, start);
        std::vector<int16_t> a(count, 1), b(count, 2);
        const std::size_t got = whole.next(a.data(), count);
        EXPECT_EQ(around.next(b.data(), count), got) << start;
        a.resize(got);
        b.resize(got);
        EXPECT_TRUE(a == b) << "start " << start;
        EXPECT_EQ(around.clipped(), whole.clipped()) << start;
        EXPECT_LE(span.last - span.first, static_cast<long>(count / std::max(s.u, 1) + 131))
            << start;
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, PartialInput,
                         testing::Values(Shape{"NoResampling", 0, true}, Shape{"ByOne", 1, true},
                                         Shape{"ByFourFiltered", 4, true},
                                         Shape{"ByFourUnfiltered", 4, false},
                                         Shape{"ByFiftyFiltered", 50, true}),
                         tavo_test::RowName());

// Hands over a vector's samples, failing after `fail_after` of them.
class VectorFeed : public SampleFeed {
public:
    VectorFeed(const std::vector<int16_t>& x, std::size_t fail_after) : x_(x), end_(fail_after) {}
    bool read(double* out, std::size_t count) override
    {
        if (at_ + count > end_)
            return false;
        std::copy(x_.begin() + at_, x_.begin() + at_ + count, out);
        at_ += count;
        return true;
    }
    const char* error() const override { return "the feed ran dry"; }

private:
    const std::vector<int16_t>& x_;
    std::size_t at_ = 0, end_;
};

TEST(FedSincStream, GivesTheSamplesOfTheArrayOrStopsWithTheFeedsError)
{
    const long n = 20000;
    const std::vector<int16_t> in = channel(n);
    SincStream array(in.data(), n, 18, 18 * 7),
        fed(std::unique_ptr<SampleFeed>(new VectorFeed(in, n)), n, 18, 18 * 7);
    std::vector<double> a(array.frames()), b(fed.frames());
    for (std::size_t at = 0; at < a.size(); at += 4099) {
        const std::size_t k = std::min<std::size_t>(4099, a.size() - at);
        ASSERT_EQ(array.next(a.data() + at, k), k);
        ASSERT_EQ(fed.next(b.data() + at, k), k);
    }
    EXPECT_TRUE(a == b);
    SincStream dry(std::unique_ptr<SampleFeed>(new VectorFeed(in, 10000)), n, 18, 18 * 7);
    std::vector<double> out(dry.frames());
    std::size_t got = 0;
    while (std::size_t k = dry.next(out.data() + got, 1000))
        got += k;
    EXPECT_LT(got, out.size());
    ASSERT_NE(dry.error(), nullptr);
    EXPECT_STREQ(dry.error(), "the feed ran dry");
}

// Values of a channel, and the amplitude factor.
struct Values {
    const char* name;
    std::vector<int16_t> x;
    int factor;
};

class HistogramStages : public testing::TestWithParam<Values> {};

TEST_P(HistogramStages, EqualTheStagesOverTheBuffer)
{
    std::vector<int16_t> x = GetParam().x;
    const int factor = GetParam().factor;
    ValueHistogram h;
    for (int16_t v : x)
        h.add(v);
    const long long mean = h.mean();
    const std::vector<int16_t> table = prepared_values(mean, factor);
    const std::vector<int16_t> original = x;
    EXPECT_EQ(h.clipped_by_shift(mean),
              remove_channel_offset(x.data(), static_cast<long>(x.size())));
    EXPECT_EQ(h.peak_after(mean), peak_abs(x.data(), static_cast<long>(x.size())));
    EXPECT_EQ(h.clipped_by_scale(mean, factor),
              scale_channel(x.data(), static_cast<long>(x.size()), factor));
    for (std::size_t i = 0; i < x.size(); i++)
        EXPECT_EQ(table[static_cast<std::size_t>(original[i] + 32768)], x[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Channels, HistogramStages,
    testing::Values(Values{"Ramp", channel(5000), 4},
                    // The mean far from 0 pushes the other end out of range.
                    Values{"MeanClipsTheLowEnd", {32767, 32767, 32767, -32768}, 1},
                    Values{"NegativeMeanTruncatesTowardZero", {-3, -4, -4}, 2},
                    Values{"FullScaleNegativePeak", {-32768, 0, 1, 2}, 128},
                    Values{"ScaleClipsBothWays", {-300, 300, 10, -10}, 128}),
    tavo_test::RowName());

}  // namespace
