// The offset and scaling stages of a channel too long to hold, worked out
// from a histogram of its 16-bit values: the mean, the clip counts and the
// peak come out exactly as remove_channel_offset (or ..._around, silent
// samples left out of the histogram), peak_abs and scale_channel give them
// over the whole buffer, and a table then maps every value to what those
// stages make of it, so the samples can be prepared as they stream by.
#ifndef TAVO_DSP_HISTOGRAM_H
#define TAVO_DSP_HISTOGRAM_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavo::dsp {

class ValueHistogram {
public:
    ValueHistogram() : count_(65536, 0) {}

    void add(int16_t v) { ++count_[static_cast<std::size_t>(v + 32768)]; }

    // The mean remove_channel_offset subtracts: the sum over the number of
    // samples, truncated toward zero; 0 without samples.
    long long mean() const;
    // Samples that subtracting `shift` saturates.
    long clipped_by_shift(long long shift) const;
    // Largest absolute value once `shift` is subtracted (saturating), as
    // peak_abs gives it; 0 without samples.
    int peak_after(long long shift) const;
    // Samples that multiplying by `factor` saturates, once `shift` is
    // subtracted.
    long clipped_by_scale(long long shift, int factor) const;

private:
    template <typename F>
    void each_value(F f) const;

    std::vector<unsigned long long> count_;  // samples of value v at v + 32768
};

// For every 16-bit value v (at v + 32768): v less `shift`, saturated, then
// times `factor`, saturated: what the offset and scaling stages make of it.
std::vector<int16_t> prepared_values(long long shift, int factor);

}  // namespace tavo::dsp

#endif  // TAVO_DSP_HISTOGRAM_H
