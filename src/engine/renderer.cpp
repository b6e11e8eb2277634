#include "engine/renderer.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>

#include "dsp/quantise.h"
#include "engine/ordered_chunks.h"
#include "wav/sample_format.h"

namespace tavo::engine {

namespace {

// One chunk of one input channel, in the plan's format.
struct Piece {
    std::size_t count = 0;
    long clipped = 0;             // saturated by the stream and by the format
    bool failed = false;          // the stream delivered less than asked
    const char* error = nullptr;  // ... and why
    std::vector<int16_t> s16;
    std::vector<int32_t> s24;
    std::vector<float> f32;
    std::vector<double> wide;  // what a stream of doubles computed

    template <typename T>
    const T* samples() const;
};

template <>
const int16_t* Piece::samples<int16_t>() const
{
    return s16.data();
}
template <>
const int32_t* Piece::samples<int32_t>() const
{
    return s24.data();
}
template <>
const float* Piece::samples<float>() const
{
    return f32.data();
}

// 16-bit samples keep their value in every format.
void store_sixteen(SampleFormat format, Piece* p)
{
    if (format == SampleFormat::S24) {
        p->s24.resize(p->count);
        std::transform(p->s16.begin(), p->s16.begin() + p->count, p->s24.begin(), wav::widen_s24);
    } else if (format == SampleFormat::F32) {
        p->f32.resize(p->count);
        std::transform(p->s16.begin(), p->s16.begin() + p->count, p->f32.begin(), wav::widen_f32);
    }
}

// Doubles are rounded to the format's step and saturated, or stored as
// floats.
void store_wide(SampleFormat format, Piece* p)
{
    const std::size_t n = p->count;
    switch (format) {
        case SampleFormat::S16:
            p->s16.resize(n);
            p->clipped += dsp::quantise_s16(p->wide.data(), p->s16.data(), n);
            break;
        case SampleFormat::S24:
            p->s24.resize(n);
            p->clipped += dsp::quantise_s24(p->wide.data(), p->s24.data(), n);
            break;
        case SampleFormat::F32:
            p->f32.resize(n);
            dsp::to_f32(p->wide.data(), p->f32.data(), n);
            break;
    }
}

// The next p->count samples of `stream`, in `format`.
void produce(dsp::ChannelStream& stream, SampleFormat format, Piece* p)
{
    const long before = stream.clipped();
    p->clipped = 0;
    std::size_t got;
    if (stream.sixteen_bit()) {
        p->s16.resize(p->count);
        got = stream.next(p->s16.data(), p->count);
        store_sixteen(format, p);
    } else {
        p->wide.resize(p->count);
        got = stream.next(p->wide.data(), p->count);
        store_wide(format, p);
    }
    p->clipped += stream.clipped() - before;
    p->failed = got != p->count;
    p->error = p->failed ? stream.error() : nullptr;
}

// The streams of a sequential resampler: one per channel in use, each
// handed to the item of its next chunk only, in chunk order.
class Sequence {
public:
    Sequence(const RenderPlan& plan, const std::vector<int>& used)
    {
        for (int c : used) {
            streams_[c] = plan.open(c, 0);
            next_[c] = 0;
        }
    }

    // The stream of channel c once chunk i is its turn; null when the run
    // stopped first.
    dsp::ChannelStream* wait_turn(int c, std::size_t i)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || next_[c] == i; });
        return stopped_ ? nullptr : streams_[c].get();
    }

    void done(int c)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++next_[c];
        }
        changed_.notify_all();
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
    }

private:
    std::unique_ptr<dsp::ChannelStream> streams_[3];
    std::size_t next_[3] = {0, 0, 0};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopped_ = false;
};

// The consumer's side: the pieces of each chunk interleaved into every file
// that takes them, each file written once its last source channel arrived.
class Interleaver {
public:
    Interleaver(const RenderPlan& plan, const std::vector<int>& used,
                const std::vector<FrameSink*>& sinks)
        : plan_(plan), used_(used), sinks_(sinks), out_(plan.files.size())
    {
        // Files without a sink are not written at all; their channels are
        // still rendered.
        result_.failed = std::min(sinks.size(), plan.files.size());
        for (const FileLayout& l : plan.files) {
            int last = 0;
            for (unsigned w = 0; w < l.channels; w++)
                if (l.source[w] >= 0)
                    last = std::max(last, slot_of(l.source[w]));
            last_slot_.push_back(last);
        }
    }

    // Takes piece `slot` (the slot-th channel in use) of a chunk; false
    // when the run must stop (a stream failed).
    bool take(std::size_t slot, const Piece& piece)
    {
        const int c = used_[slot];
        if (piece.failed) {
            result_.stream_error = piece.error ? piece.error : "out of memory";
            return false;
        }
        result_.clipped[c] += piece.clipped;
        for (std::size_t f = 0; f < result_.failed; f++)
            if (uses(f, c))
                put(f, c, piece);
        for (std::size_t f = 0; f < result_.failed; f++)
            if (last_slot_[f] == static_cast<int>(slot) && !write(f, piece.count))
                break;
        return true;
    }

    Rendered& result() { return result_; }

private:
    // One file's frames of the chunk being assembled, in each format.
    struct Frames {
        std::vector<int16_t> s16;
        std::vector<int32_t> s24;
        std::vector<float> f32;
        const Piece* whole = nullptr;  // a one-channel file takes its piece as it is
    };

    int slot_of(int channel) const
    {
        return static_cast<int>(std::find(used_.begin(), used_.end(), channel) - used_.begin());
    }

    bool uses(std::size_t f, int c) const
    {
        const FileLayout& l = plan_.files[f];
        for (unsigned w = 0; w < l.channels; w++)
            if (l.source[w] == c)
                return true;
        return false;
    }

    template <typename T>
    void scatter(std::vector<T>* frames, std::size_t f, int c, const Piece& piece)
    {
        const FileLayout& l = plan_.files[f];
        // Silent WAV channels keep the zeros the buffer was made with.
        if (frames->size() < piece.count * l.channels)
            frames->resize(plan_.chunk * l.channels, T());
        const T* src = piece.samples<T>();
        for (unsigned w = 0; w < l.channels; w++) {
            if (l.source[w] != c)
                continue;
            T* out = frames->data() + w;
            for (std::size_t i = 0; i < piece.count; i++, out += l.channels)
                *out = src[i];
        }
    }

    void put(std::size_t f, int c, const Piece& piece)
    {
        Frames& frames = out_[f];
        frames.whole = nullptr;
        if (plan_.files[f].channels == 1) {
            frames.whole = &piece;
            return;
        }
        switch (plan_.format) {
            case SampleFormat::S16:
                return scatter(&frames.s16, f, c, piece);
            case SampleFormat::S24:
                return scatter(&frames.s24, f, c, piece);
            case SampleFormat::F32:
                return scatter(&frames.f32, f, c, piece);
        }
    }

    template <typename T>
    bool write_one(std::size_t f, const std::vector<T>& frames, std::size_t count)
    {
        const T* data = out_[f].whole ? out_[f].whole->samples<T>() : frames.data();
        return sinks_[f]->write(data, count);
    }

    bool write(std::size_t f, std::size_t count)
    {
        bool ok = false;
        switch (plan_.format) {
            case SampleFormat::S16:
                ok = write_one(f, out_[f].s16, count);
                break;
            case SampleFormat::S24:
                ok = write_one(f, out_[f].s24, count);
                break;
            case SampleFormat::F32:
                ok = write_one(f, out_[f].f32, count);
                break;
        }
        if (!ok) {
            result_.error = errno;
            result_.failed = f;
        }
        return ok;
    }

    const RenderPlan& plan_;
    const std::vector<int>& used_;
    const std::vector<FrameSink*>& sinks_;
    std::vector<Frames> out_;
    std::vector<int> last_slot_;  // per file: the slot of its last source channel
    Rendered result_;
};

std::vector<int> channels_in_use(const RenderPlan& plan)
{
    bool used[3] = {false, false, false};
    for (const FileLayout& l : plan.files)
        for (unsigned w = 0; w < l.channels; w++)
            if (l.source[w] >= 0)
                used[l.source[w]] = true;
    std::vector<int> channels;
    for (int c = 0; c < 3; c++)
        if (used[c])
            channels.push_back(c);
    return channels;
}

}  // namespace

Rendered render(const RenderPlan& plan, const std::vector<FrameSink*>& sinks,
                const std::function<bool(unsigned long long)>& progress)
{
    const std::vector<int> used = channels_in_use(plan);
    const std::size_t per_chunk = used.size();
    const unsigned long long chunks = (plan.frames + plan.chunk - 1) / plan.chunk;
    std::unique_ptr<Sequence> sequence;
    if (!plan.independent_chunks)
        sequence.reset(new Sequence(plan, used));
    Interleaver interleaver(plan, used, sinks);

    auto render_item = [&](std::size_t k, Piece& piece) {
        const std::size_t i = k / per_chunk;
        const int c = used[k % per_chunk];
        const unsigned long long start = static_cast<unsigned long long>(i) * plan.chunk;
        piece.count =
            static_cast<std::size_t>(std::min<unsigned long long>(plan.chunk, plan.frames - start));
        try {
            if (plan.independent_chunks) {
                produce(*plan.open(c, start), plan.format, &piece);
                return;
            }
            dsp::ChannelStream* stream = sequence->wait_turn(c, i);
            if (stream == nullptr)
                return;
            produce(*stream, plan.format, &piece);
            sequence->done(c);
        } catch (...) {
            if (sequence)
                sequence->stop();
            throw;
        }
    };
    bool cancelled = false;
    auto consume = [&](std::size_t k, Piece& piece) {
        const std::size_t slot = k % per_chunk;
        bool go_on = interleaver.take(slot, piece);
        if (go_on && slot + 1 == per_chunk) {
            const unsigned long long done = (k / per_chunk) * plan.chunk + piece.count;
            cancelled = !progress(done);
            go_on = !cancelled;
        }
        if (!go_on && sequence)
            sequence->stop();
        return go_on;
    };
    run_in_order<Piece>(static_cast<std::size_t>(chunks * per_chunk), plan.workers, render_item,
                        consume);
    Rendered& result = interleaver.result();
    result.cancelled = cancelled;
    return result;
}

}  // namespace tavo::engine
