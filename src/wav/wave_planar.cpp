// The whole-buffer writers: one call writes a whole file from planar
// channel buffers, through the streaming WaveWriter.
#include <algorithm>
#include <array>
#include <cstdint>

#include "wav/wave.h"

namespace {

// Frames interleaved per step.
constexpr std::size_t INTERLEAVE_FRAMES = 2048;
constexpr unsigned MAX_PLANAR_CHANNELS = 6;

// Writes nrdata frames whose channel k comes from sources[k]; a null source
// is a silent channel.
int write_planar(const char* Name, const int16_t* const* sources, unsigned channels,
                 unsigned long nrdata, unsigned long rate)
{
    tavo::wav::WaveWriter writer;
    if (!writer.open(Name, channels, nrdata, rate))
        return 0;
    std::array<int16_t, INTERLEAVE_FRAMES * MAX_PLANAR_CHANNELS> frames;
    for (unsigned long done = 0; done < nrdata;) {
        const std::size_t n = std::min<unsigned long>(INTERLEAVE_FRAMES, nrdata - done);
        for (unsigned k = 0; k < channels; ++k) {
            const int16_t* src = sources[k] ? sources[k] + done : nullptr;
            for (std::size_t i = 0; i < n; ++i)
                frames[i * channels + k] = src ? src[i] : 0;
        }
        if (!writer.write(frames.data(), n))
            return 0;
        done += n;
    }
    return writer.commit() ? 1 : 0;
}

}  // namespace

int put_wav_data_mono16(const int16_t* mono, unsigned long nrdata, unsigned long samples,
                        const char* Name)
{
    const int16_t* sources[] = {mono};
    return write_planar(Name, sources, 1, nrdata, samples);
}

int put_wav_data_stereo16(const int16_t* left, const int16_t* right, unsigned long nrdata,
                          unsigned long samples, const char* Name)
{
    const int16_t* sources[] = {left, right};
    return write_planar(Name, sources, 2, nrdata, samples);
}

int put_wav_data_6ch(const int16_t* mic1, const int16_t* mic2, const int16_t* mic3,
                     unsigned long nrdata, unsigned long samples, const char* Name)
{
    const int16_t* sources[] = {mic2, nullptr, mic1, nullptr, mic3, nullptr};
    return write_planar(Name, sources, 6, nrdata, samples);
}
