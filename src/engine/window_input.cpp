#include "engine/window_input.h"

#include <algorithm>

#include "dsp/linear_stream.h"
#include "engine/conversion.h"

namespace tavo::engine {

namespace {

// Samples per channel in one block.
constexpr long long BLOCK_SAMPLES = 1 << 16;

const char* const CHANGED = "Error: the window's files changed while they were converted\n";

// A linear stream over the samples it needs, which it holds.
class HeldLinearStream : public dsp::ChannelStream {
public:
    HeldLinearStream(std::vector<int16_t> part, dsp::InputSpan span, long n, const StreamShape& s,
                     unsigned long long start)
        : part_(std::move(part)), stream_(part_.data(), span, n, s.u, s.filter, start)
    {
    }
    unsigned long long frames() const override { return stream_.frames(); }
    bool sixteen_bit() const override { return true; }
    std::size_t next(int16_t* out, std::size_t count) override { return stream_.next(out, count); }
    std::size_t next(double*, std::size_t) override { return 0; }
    long clipped() const override { return stream_.clipped(); }

private:
    const std::vector<int16_t> part_;
    dsp::LinearStream stream_;
};

// A stream whose input could not be had: it delivers nothing.
class FailedStream : public dsp::ChannelStream {
public:
    unsigned long long frames() const override { return 0; }
    bool sixteen_bit() const override { return true; }
    std::size_t next(int16_t*, std::size_t) override { return 0; }
    std::size_t next(double*, std::size_t) override { return 0; }
    const char* error() const override { return "the window's input failed"; }
};

}  // namespace

struct WindowInput::Block {
    std::array<std::vector<int16_t>, 3> channels;
};

class WindowInput::Feed : public dsp::SampleFeed {
public:
    Feed(WindowInput& input, int channel, std::size_t index)
        : input_(input), channel_(channel), index_(index)
    {
    }
    bool read(double* out, std::size_t count) override
    {
        std::lock_guard<std::mutex> lock(input_.mutex_);
        long long& at = input_.feed_at_[index_];
        if (!input_.take(channel_, at, at + static_cast<long long>(count), out))
            return false;
        at += static_cast<long long>(count);
        input_.drop_before(*std::min_element(input_.feed_at_.begin(), input_.feed_at_.end()));
        return true;
    }
    const char* error() const override { return "the window's input failed"; }

private:
    WindowInput& input_;
    const int channel_;
    const std::size_t index_;
};

WindowInput::WindowInput(std::unique_ptr<WindowWalk> walk,
                         std::array<std::vector<int16_t>, 3> tables, long long samples,
                         const StreamShape& shape)
    : walk_(std::move(walk)), tables_(std::move(tables)), samples_(samples), shape_(shape)
{
}

std::unique_ptr<dsp::ChannelStream> WindowInput::open(int channel, unsigned long long start,
                                                      std::size_t chunk)
{
    const long n = static_cast<long>(samples_);
    if (shape_.sinc)
        return std::unique_ptr<dsp::ChannelStream>(
            new dsp::SincStream(feed(channel), n, shape_.in_rate, shape_.out_rate));
    const dsp::InputSpan span =
        dsp::LinearStream::input_span(n, shape_.u, shape_.filter, start, chunk);
    std::vector<int16_t> part;
    if (!copy(channel, span.first, span.last, part))
        return std::unique_ptr<dsp::ChannelStream>(new FailedStream);
    return std::unique_ptr<dsp::ChannelStream>(
        new HeldLinearStream(std::move(part), span, n, shape_, start));
}

void WindowInput::rendered(unsigned long long frames)
{
    if (shape_.sinc)
        return;  // the feeds let go of what they have taken
    release_before(dsp::LinearStream::input_span(static_cast<long>(samples_), shape_.u,
                                                 shape_.filter, frames, 1)
                       .first);
}

WindowInput::~WindowInput() = default;

std::string WindowInput::error() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

WindowInput::Block& WindowInput::tail()
{
    if (blocks_.empty() ||
        filled_ - base_ == BLOCK_SAMPLES * static_cast<long long>(blocks_.size())) {
        blocks_.emplace_back();
        for (std::vector<int16_t>& c : blocks_.back().channels)
            c.reserve(BLOCK_SAMPLES);
    }
    return blocks_.back();
}

void WindowInput::append_silence(long long count)
{
    while (count > 0) {
        Block& b = tail();
        const long long room = BLOCK_SAMPLES - static_cast<long long>(b.channels[0].size());
        const long long n = std::min(room, count);
        for (std::vector<int16_t>& c : b.channels)
            c.insert(c.end(), static_cast<std::size_t>(n), int16_t{0});
        filled_ += n;
        count -= n;
    }
}

void WindowInput::append(const WindowStep& step)
{
    append_silence(step.silence);
    std::size_t at = step.begin;
    while (at < step.end) {
        Block& b = tail();
        const std::size_t room = static_cast<std::size_t>(BLOCK_SAMPLES) - b.channels[0].size();
        const std::size_t n = std::min(room, step.end - at);
        for (int c = 0; c < 3; c++) {
            const double* src = step.channels[c].data() + at;
            const std::vector<int16_t>& table = tables_[c];
            for (std::size_t j = 0; j < n; j++)
                b.channels[c].push_back(
                    table[static_cast<std::size_t>(double2short(src[j]) + 32768)]);
        }
        filled_ += static_cast<long long>(n);
        at += n;
    }
}

// Reads on until the samples before `end` are in the blocks. False, with
// error_ set, when the files no longer give them.
bool WindowInput::fill_to(long long end)
{
    while (error_.empty() && filled_ < end && !ended_) {
        WindowStep step;
        const WindowWalk::Status s = walk_->next(step);
        if (s == WindowWalk::Status::RECORD || s == WindowWalk::Status::END)
            append(step);
        if (s == WindowWalk::Status::FAILED)
            error_ = walk_->failure();
        ended_ = s != WindowWalk::Status::RECORD;
    }
    if (error_.empty() && (filled_ > samples_ || (ended_ && filled_ != samples_)))
        error_ = CHANGED;
    if (error_.empty() && end > filled_)
        error_ = CHANGED;
    return error_.empty();
}

void WindowInput::drop_before(long long first)
{
    while (!blocks_.empty() && base_ + BLOCK_SAMPLES <= first) {
        blocks_.pop_front();
        base_ += BLOCK_SAMPLES;
    }
}

// Samples [first, last) of `channel` into out as doubles; under the lock.
bool WindowInput::take(int channel, long long first, long long last, double* out)
{
    if (first < base_ || !fill_to(last))
        return false;
    for (long long i = first; i < last; i++) {
        const long long k = i - base_;
        *out++ = blocks_[static_cast<std::size_t>(k / BLOCK_SAMPLES)]
                     .channels[channel][static_cast<std::size_t>(k % BLOCK_SAMPLES)];
    }
    return true;
}

bool WindowInput::copy(int channel, long first, long last, std::vector<int16_t>& out)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (first < base_ || !fill_to(last))
        return false;
    out.resize(static_cast<std::size_t>(last - first));
    long long i = first;
    std::size_t at = 0;
    while (i < last) {
        const long long k = i - base_;
        const std::vector<int16_t>& c =
            blocks_[static_cast<std::size_t>(k / BLOCK_SAMPLES)].channels[channel];
        const long long from = k % BLOCK_SAMPLES;
        const long long n = std::min<long long>(last - i, BLOCK_SAMPLES - from);
        std::copy(c.begin() + from, c.begin() + from + n, out.begin() + static_cast<long>(at));
        i += n;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

std::unique_ptr<dsp::SampleFeed> WindowInput::feed(int channel)
{
    std::lock_guard<std::mutex> lock(mutex_);
    feed_at_.push_back(0);
    return std::unique_ptr<dsp::SampleFeed>(new Feed(*this, channel, feed_at_.size() - 1));
}

void WindowInput::release_before(long long first)
{
    std::lock_guard<std::mutex> lock(mutex_);
    drop_before(first);
}

}  // namespace tavo::engine
