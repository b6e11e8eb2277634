// The sample formats of the WAV output and the conversion of samples into
// them. Samples are counted on the 16-bit scale throughout the converter
// (full scale 1.0 = 32768 counts after the scale factor); the formats differ
// only in how finely and how far they can store that value:
//   s16  16-bit PCM, one count per step, -32768 to 32767;
//   s24  24-bit PCM, 1/256 count per step (8 more bits below the 16-bit
//        ones), -32768 to 32767.99609375;
//   f32  32-bit IEEE float, value = counts / 32768, never clips.
#ifndef TAVO2WAV_SAMPLE_FORMAT_H
#define TAVO2WAV_SAMPLE_FORMAT_H

#include <cmath>
#include <cstdint>

enum class SampleFormat { S16 = 0, S24 = 1, F32 = 2 };

// Parses "s16", "s24" or "f32" into *format. Returns false, leaving *format
// unchanged, for any other text (also null).
bool parse_sample_format(const char* text, SampleFormat* format);

// Bytes one sample takes in the file: 2, 3 or 4.
unsigned sample_bytes(SampleFormat format);

// Largest and smallest 24-bit sample.
constexpr int32_t S24_MAX = 8388607;
constexpr int32_t S24_MIN = -8388608;

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

// A 16-bit sample in the wider formats: the same value, exactly.
inline int32_t widen_s24(int16_t s)
{
    return static_cast<int32_t>(s) * 256;
}

inline float widen_f32(int16_t s)
{
    return static_cast<float>(s) / 32768.0f;
}

#endif
