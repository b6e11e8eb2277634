// The WAV sample formats. Samples are counted on the 16-bit scale throughout
// (full scale 1.0 = 32768 counts after the scale factor); the formats differ
// only in how finely and how far they can store that value:
//   S16  16-bit PCM, one count per step, -32768 to 32767;
//   S24  24-bit PCM, 1/256 count per step (8 more bits below the 16-bit
//        ones), -32768 to 32767.99609375;
//   F32  32-bit IEEE float, value = counts / 32768, never clips.
#ifndef TAVO_SAMPLE_FORMAT_H
#define TAVO_SAMPLE_FORMAT_H

namespace tavo {

enum class SampleFormat { S16 = 0, S24 = 1, F32 = 2 };

/// Largest and smallest 24-bit sample.
constexpr long S24_MAX = 8388607;
constexpr long S24_MIN = -8388608;

/// Bytes one sample takes in a file: 2, 3 or 4.
constexpr unsigned sample_bytes(SampleFormat format)
{
    return format == SampleFormat::S16 ? 2 : format == SampleFormat::S24 ? 3 : 4;
}

}  // namespace tavo

#endif  // TAVO_SAMPLE_FORMAT_H
