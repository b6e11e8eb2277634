// One output channel of a resampler, delivered in order in pieces of any
// size. The linear resampler (linear_stream.h) computes 16-bit samples, the
// band-limited one (sinc_stream.h) doubles on the 16-bit scale; the renderer
// takes whichever the stream computes and stores it in the file's format.
// Adding a resampler means writing one such stream.
#ifndef TAVO_DSP_CHANNEL_STREAM_H
#define TAVO_DSP_CHANNEL_STREAM_H

#include <cstddef>
#include <cstdint>

namespace tavo::dsp {

class ChannelStream {
public:
    virtual ~ChannelStream() = default;

    /// Samples the stream delivers from where it started to the end.
    virtual unsigned long long frames() const = 0;
    /// True when the stream computes 16-bit samples (next(int16_t*)), false
    /// when it computes doubles (next(double*)).
    virtual bool sixteen_bit() const = 0;
    /// Writes the next min(count, left) samples to out and returns their
    /// number. Only the form the stream computes is available: the other
    /// writes nothing and returns 0.
    virtual std::size_t next(int16_t* out, std::size_t count) = 0;
    virtual std::size_t next(double* out, std::size_t count) = 0;
    /// Samples the stream had to saturate so far.
    virtual long clipped() const { return 0; }
    /// Null while all is well; otherwise why the stream stopped delivering.
    virtual const char* error() const { return nullptr; }
};

}  // namespace tavo::dsp

#endif  // TAVO_DSP_CHANNEL_STREAM_H
