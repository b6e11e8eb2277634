// Resampled values (counts of the 16-bit scale, as doubles) stored in the
// WAV sample formats: rounded to the format's step and saturated to its
// range, counting what had to be saturated.
#ifndef TAVO_DSP_QUANTISE_H
#define TAVO_DSP_QUANTISE_H

#include <cstddef>
#include <cstdint>

#include <tavo/sample_format.h>

namespace tavo::dsp {

// x rounded to the nearest whole number, halves to even (the processor's
// rounding, through the sum with 1.5 x 2^52, exact for |x| < 2^51), and
// saturated to [lo, hi] (lo even); ++*clipped when it had to be saturated.
// NaN gives 0 and counts as clipped.
inline double round_saturate(double x, double lo, double hi, long* clipped)
{
    if (x >= lo - 0.5 && x < hi + 0.5) {
        constexpr double SHIFT = 6755399441055744.0;  // 1.5 x 2^52
        return (x + SHIFT) - SHIFT;
    }
    ++*clipped;
    return x > 0 ? hi : x < 0 ? lo : 0.0;
}

// v (counts) in the integer formats, rounded to the format's step.
inline int16_t quantise_s16(double v, long* clipped)
{
    return static_cast<int16_t>(round_saturate(v, INT16_MIN, INT16_MAX, clipped));
}

inline int32_t quantise_s24(double v, long* clipped)
{
    return static_cast<int32_t>(round_saturate(v * 256.0, S24_MIN, S24_MAX, clipped));
}

// v (counts) as a float sample: v / 32768, unbounded.
inline float to_f32(double v)
{
    return static_cast<float>(v / 32768.0);
}

// The same over n values at once, each exactly as the one-value forms give
// it; the s16 and s24 forms return how many values they saturated.
long quantise_s16(const double* in, int16_t* out, std::size_t n);
long quantise_s24(const double* in, int32_t* out, std::size_t n);
void to_f32(const double* in, float* out, std::size_t n);

}  // namespace tavo::dsp

#endif  // TAVO_DSP_QUANTISE_H
