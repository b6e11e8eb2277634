// Band-limited resampling of one channel through libsoxr, streamed: the
// output comes out in order, in pieces of any size, while memory stays
// bounded whatever the channel's length.
//
// The resampler is soxr's very-high-quality recipe (linear phase, passband
// flat to 0.913 of the lower Nyquist frequency, images and aliases at least
// 170 dB down) in double precision, on one thread. Its input is fed in
// blocks of a fixed size and its output written straight into the caller's
// buffer, so the calls into soxr, and with them every output bit, depend on
// the channel, the rates and the sizes asked of next() alone: never on
// threads or timing.
//
// Length and alignment: n input samples give exactly
// output_frames(n, in_rate, out_rate) = round(n x out_rate / in_rate)
// output samples, output sample k standing at input time k x in_rate /
// out_rate (soxr takes out its own delay, and its flush at the end of the
// input delivers the last samples). Should soxr deliver fewer, the rest are
// zeros; what it delivers beyond that count is dropped.
#ifndef TAVO_DSP_SINC_STREAM_H
#define TAVO_DSP_SINC_STREAM_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dsp/channel_stream.h"

struct soxr;

namespace tavo::dsp {

// The input of a SincStream, handed over in order, piece by piece, so that a
// channel too long to hold can be resampled as it is read.
class SampleFeed {
public:
    virtual ~SampleFeed() = default;
    // Writes the next `count` input samples to out; false when they cannot
    // be had (error() then says why).
    virtual bool read(double* out, std::size_t count) = 0;
    virtual const char* error() const { return nullptr; }
};

// A sequential stream: it starts at the first sample, and the samples depend
// on the sizes asked of next(), so the caller asks in fixed pieces.
class SincStream : public ChannelStream {
public:
    // Resamples the n samples at `in` (n <= 0: none; the buffer must outlive
    // the stream) from in_rate to out_rate, both positive and finite; only
    // their ratio matters. Values are taken as they are (counts of the
    // 16-bit scale, say) and come out on the same scale, unclipped. When
    // soxr cannot be set up, error() says why and the stream delivers
    // nothing.
    SincStream(const int16_t* in, long n, double in_rate, double out_rate);
    SincStream(const double* in, long n, double in_rate, double out_rate);
    // The same over n samples that `feed` hands over as they are needed:
    // the same samples come out as from an array that holds them. Should
    // the feed fail, error() says why and the stream delivers nothing more.
    SincStream(std::unique_ptr<SampleFeed> feed, long n, double in_rate, double out_rate);
    ~SincStream();
    SincStream(const SincStream&) = delete;
    SincStream& operator=(const SincStream&) = delete;

    // round(n x out_rate / in_rate), 0 for n <= 0.
    static unsigned long long output_frames(long n, double in_rate, double out_rate);

    // Samples the stream delivers in all: output_frames(n, in_rate, out_rate).
    unsigned long long frames() const override { return frames_; }
    bool sixteen_bit() const override { return false; }

    // Writes the next min(count, frames left) samples to out and returns
    // their number; 0 once every sample has been delivered or after an
    // error.
    std::size_t next(double* out, std::size_t count) override;
    std::size_t next(int16_t*, std::size_t) override { return 0; }

    // Null while all is well; otherwise soxr's description of the failure.
    const char* error() const override { return error_.empty() ? nullptr : error_.c_str(); }

private:
    void start(double in_rate, double out_rate);
    std::size_t pull(double* out, std::size_t room);
    std::size_t take_input();

    std::unique_ptr<SampleFeed> feed_;
    long n_;
    unsigned long long frames_;
    unsigned long long done_ = 0;
    soxr* soxr_ = nullptr;
    long fed_ = 0;               // input samples handed to soxr so far
    std::vector<double> block_;  // the input block being fed
    std::size_t block_at_ = 0;   // ... and how much of it soxr has taken
    std::size_t block_size_ = 0;
    bool flushed_ = false;  // soxr has delivered its last sample
    std::string error_;
};

}  // namespace tavo::dsp

#endif  // TAVO_DSP_SINC_STREAM_H
