// 16-bit samples stored in the wider WAV formats: the same value, exactly.
#ifndef TAVO_WAV_SAMPLE_FORMAT_H
#define TAVO_WAV_SAMPLE_FORMAT_H

#include <cstdint>

#include <tavo/sample_format.h>

namespace tavo::wav {

// A 16-bit sample in 24 bits: 8 more bits below the 16-bit ones.
inline int32_t widen_s24(int16_t s)
{
    return static_cast<int32_t>(s) * 256;
}

// A 16-bit sample as a float: counts / 32768.
inline float widen_f32(int16_t s)
{
    return static_cast<float>(s) / 32768.0f;
}

}  // namespace tavo::wav

#endif  // TAVO_WAV_SAMPLE_FORMAT_H
