// The linear resampler's stream: linear interpolation by a whole factor and
// the 129-tap half-band filter, fused, one output channel produced in order,
// chunk by chunk, so the resampled channel never has to be held whole. The
// samples are exactly those of resampling the whole channel (each of the u
// samples between input k - 1 and k is a + (b - a) x (j / u), truncated
// toward zero; the last u repeat the last input) and then filtering it with
// Initialize(0.0) and Filter() one sample at a time, each result + 0.5
// truncated toward zero and saturated to 16 bits.
#ifndef TAVO_DSP_LINEAR_STREAM_H
#define TAVO_DSP_LINEAR_STREAM_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/channel_stream.h"
#include "dsp/fast_filter.h"

namespace tavo::dsp {

// Input samples [first, last) of a channel.
struct InputSpan {
    long first = 0;
    long last = 0;
};

class LinearStream : public ChannelStream {
public:
    // `in` (n samples) must outlive the stream. u is the resampling factor
    // (0: none); `filter` runs the interpolation filter. The stream starts
    // at sample `start` of the output, giving exactly the samples a stream
    // from 0 gives from there on: the filter's history is filled with the
    // resampled samples before `start`, as a FIR filter depends on its last
    // inputs only. So any chunk of a channel can be computed on its own.
    LinearStream(const int16_t* in, long n, int u, bool filter, unsigned long long start = 0);

    // The same stream over a part of the channel's n samples: `part` holds
    // samples [span.first, span.last), which must cover
    // input_span(n, u, filter, start, count) for the `count` samples the
    // stream is asked for. So a channel too long to hold can be rendered
    // chunk by chunk from the samples around each chunk.
    LinearStream(const int16_t* part, InputSpan span, long n, int u, bool filter,
                 unsigned long long start);

    // The input samples that output samples [start, start + count) need:
    // those they interpolate between (with the last one repeated past the
    // end) and, with the filter, those of the FILTER_TAPS - 1 outputs before
    // `start` that fill its history.
    static InputSpan input_span(long n, int u, bool filter, unsigned long long start,
                                std::size_t count);

    // Output samples of the whole channel: n * u, or n when u is 0.
    static unsigned long long output_frames(long n, int u);

    // Samples the stream delivers from `start` on.
    unsigned long long frames() const override { return frames_ - start_; }
    bool sixteen_bit() const override { return true; }
    std::size_t next(int16_t* out, std::size_t count) override;
    std::size_t next(double*, std::size_t) override { return 0; }
    // Samples the filter saturated so far.
    long clipped() const override { return clipped_; }

private:
    void seek(unsigned long long frame);
    void produce(int16_t* out, std::size_t count);
    void resample(int16_t* out, std::size_t count);

    const int16_t* in_;  // input sample first_ + i is in_[i]
    long first_;
    long n_;
    int u_;
    unsigned long long frames_;
    unsigned long long start_;
    unsigned long long done_ = 0;
    long k_ = 1;                 // interpolating between in[k - 1] and in[k] ...
    int j_ = 0;                  // ... at phase j of u
    std::vector<double> phase_;  // j / u for every phase
    std::unique_ptr<FilterStream> filter_;
    long clipped_ = 0;
};

}  // namespace tavo::dsp

#endif  // TAVO_DSP_LINEAR_STREAM_H
