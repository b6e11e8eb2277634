#include "dsp/histogram.h"

#include <cstdlib>

#include "dsp/stages.h"

namespace tavo::dsp {

namespace {

int16_t shifted(long long v, long long shift)
{
    long ignored = 0;
    return saturate16(v - shift, &ignored);
}

}  // namespace

// Calls f(value, count) for every value that occurs.
template <typename F>
void ValueHistogram::each_value(F f) const
{
    for (std::size_t i = 0; i < count_.size(); i++)
        if (count_[i] != 0)
            f(static_cast<long long>(i) - 32768, count_[i]);
}

long long ValueHistogram::mean() const
{
    // Every partial sum of 16-bit values over fewer than 2^37 samples is a
    // whole number below 2^53: the double sum of the buffered stage is this
    // exact sum.
    long long sum = 0;
    unsigned long long n = 0;
    each_value([&](long long v, unsigned long long c) {
        sum += v * static_cast<long long>(c);
        n += c;
    });
    if (n == 0)
        return 0;
    return static_cast<long long>(static_cast<double>(sum) / static_cast<double>(n));
}

long ValueHistogram::clipped_by_shift(long long shift) const
{
    long clipped = 0;
    each_value([&](long long v, unsigned long long c) {
        if (v - shift > INT16_MAX || v - shift < INT16_MIN)
            clipped += static_cast<long>(c);
    });
    return clipped;
}

int ValueHistogram::peak_after(long long shift) const
{
    int peak = 0;
    each_value([&](long long v, unsigned long long) {
        const int a = std::abs(static_cast<int>(shifted(v, shift)));
        if (a > peak)
            peak = a;
    });
    return peak;
}

long ValueHistogram::clipped_by_scale(long long shift, int factor) const
{
    long clipped = 0;
    each_value([&](long long v, unsigned long long c) {
        const long long scaled = static_cast<long long>(shifted(v, shift)) * factor;
        if (scaled > INT16_MAX || scaled < INT16_MIN)
            clipped += static_cast<long>(c);
    });
    return clipped;
}

std::vector<int16_t> prepared_values(long long shift, int factor)
{
    std::vector<int16_t> table(65536);
    long ignored = 0;
    for (long long v = INT16_MIN; v <= INT16_MAX; v++)
        table[static_cast<std::size_t>(v + 32768)] =
            saturate16(static_cast<long long>(shifted(v, shift)) * factor, &ignored);
    return table;
}

}  // namespace tavo::dsp
