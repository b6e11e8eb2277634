// The stages after scaling, fused: one output channel produced in order,
// chunk by chunk, so the resampled channel never has to be held whole.
// The samples are exactly those of resample_channel() followed by
// filter_channel_reference() (or of the input alone, without resampling
// and filtering).
#ifndef TAVO2WAV_RENDER_H
#define TAVO2WAV_RENDER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "fast_filter.h"

class ChannelStream {
public:
    // `in` (n samples) must outlive the stream. u is the resampling factor
    // (0: none); `filter` runs the interpolation filter. The stream starts
    // at sample `start` of the output, giving exactly the samples a stream
    // from 0 gives from there on: the filter's history is filled with the
    // resampled samples before `start`, as a FIR filter depends on its last
    // inputs only.
    ChannelStream(const int16_t* in, long n, int u, bool filter, unsigned long long start = 0);

    // Number of samples the stream delivers: n * u, or n when u is 0.
    unsigned long long frames() const { return frames_; }

    // Writes the next `count` samples to out; count must not exceed what is
    // left. Returns the number written.
    std::size_t next(int16_t* out, std::size_t count);

    // Samples the filter saturated so far.
    long clipped() const { return clipped_; }

private:
    void seek(unsigned long long frame);
    void produce(int16_t* out, std::size_t count);
    void resample(int16_t* out, std::size_t count);

    const int16_t* in_;
    long n_;
    int u_;
    unsigned long long frames_;
    unsigned long long done_ = 0;
    long k_ = 1;                 // interpolating between in[k - 1] and in[k] ...
    int j_ = 0;                  // ... at phase j of u
    std::vector<double> phase_;  // j / u for every phase
    std::unique_ptr<FilterStream> filter_;
    long clipped_ = 0;
};

#endif
