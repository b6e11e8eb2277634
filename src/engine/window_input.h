// The prepared input of a window conversion's second pass: the window's
// samples as the walk reads them again, offset removed and scaled through a
// table per channel (dsp/histogram.h), held in blocks only as long as some
// chunk still to be rendered needs them. The renderer's streams take their
// input from here: a linear stream copies the samples around its chunk, a
// sinc stream is fed its channel in order. Reading happens under a lock on
// whichever thread needs samples first, so every sample is read once, in
// order, whatever the thread count.
#ifndef TAVO_ENGINE_WINDOW_INPUT_H
#define TAVO_ENGINE_WINDOW_INPUT_H

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dsp/channel_stream.h"
#include "dsp/sinc_stream.h"
#include "engine/window_walk.h"

namespace tavo::engine {

// How the renderer resamples a channel: sinc from in_rate to out_rate, or
// linear by u (0: not at all), with or without the interpolation filter.
struct StreamShape {
    bool sinc = false;
    double in_rate = 1, out_rate = 1;
    int u = 0;
    bool filter = false;
};

class WindowInput {
public:
    // `walk` reads the window again (its reader's lines dropped); tables[c]
    // maps every 16-bit value of channel c to its prepared value (silence
    // stays 0); `samples`: the sound's samples per channel, as the first
    // pass counted them.
    WindowInput(std::unique_ptr<WindowWalk> walk, std::array<std::vector<int16_t>, 3> tables,
                long long samples, const StreamShape& shape);
    ~WindowInput();
    WindowInput(const WindowInput&) = delete;
    WindowInput& operator=(const WindowInput&) = delete;

    // The renderer's stream of channel c from output frame `start`, for
    // chunks of `chunk` frames: a linear stream over the samples around its
    // chunk, or (start 0) the sinc stream fed with the whole channel. A
    // stream whose samples cannot be had delivers none (error() says why).
    std::unique_ptr<dsp::ChannelStream> open(int channel, unsigned long long start,
                                             std::size_t chunk);

    // Every output file holds its first `frames` frames: the input that
    // only they needed may go.
    void rendered(unsigned long long frames);

    // Samples [first, last) of channel c into `out`, reading on as far as
    // they need. False when they cannot be had (error() says why).
    bool copy(int channel, long first, long last, std::vector<int16_t>& out);

    // Channel c in order from its first sample, for a sequential stream.
    // While feeds exist, samples that every feed has taken are let go.
    std::unique_ptr<dsp::SampleFeed> feed(int channel);

    // No copy will ask for samples before `first` any more.
    void release_before(long long first);

    // "" while all is well; otherwise the line that ends the conversion:
    // the reader's fatal message, or "Error: the window's files changed
    // while they were converted\n".
    std::string error() const;

private:
    class Feed;
    struct Block;

    bool fill_to(long long end);
    void append(const WindowStep& step);
    void append_silence(long long count);
    Block& tail();
    void drop_before(long long first);
    bool take(int channel, long long first, long long last, double* out);

    mutable std::mutex mutex_;
    std::unique_ptr<WindowWalk> walk_;
    const std::array<std::vector<int16_t>, 3> tables_;
    const long long samples_;
    const StreamShape shape_;
    std::deque<Block> blocks_;
    long long base_ = 0;    // sample index of blocks_.front()'s first sample
    long long filled_ = 0;  // samples read so far
    bool ended_ = false;
    std::string error_;
    std::vector<long long> feed_at_;  // each feed's next sample
};

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_WINDOW_INPUT_H
