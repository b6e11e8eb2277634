#include "sinc_output.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sinc_stream.h"

namespace {

// Frames per chunk: small enough that a ring of two per channel stays a few
// megabytes, large enough that handing a chunk over costs nothing.
constexpr std::size_t CHUNK = 1 << 16;
constexpr std::size_t RING = 2;

// One chunk of one channel, in the file's format.
struct Piece {
    std::size_t count = 0;
    std::vector<int16_t> s16;
    std::vector<int32_t> s24;
    std::vector<float> f32;
};

// The samples of one input channel in the job's format, chunk by chunk.
class ChannelSource {
public:
    ChannelSource(const int16_t *in, long n, const SincJob &job)
        : in_(in), job_(job), total_(sinc_frames(job, n))
    {
        if (job.resample)
            stream_.reset(new SincStream(in, n, job.in_rate, job.out_rate));
    }

    unsigned long long total() const { return total_; }
    long clipped() const { return clipped_; }
    const char *error() const { return stream_ ? stream_->error() : nullptr; }

    // Fills *piece with the next min(CHUNK, left) frames; false on a
    // resampler failure.
    bool produce(Piece *piece)
    {
        piece->count = static_cast<std::size_t>(std::min<unsigned long long>(CHUNK, total_ - done_));
        values_.resize(piece->count);
        if (stream_) {
            if (stream_->next(values_.data(), piece->count) != piece->count)
                return false;
        } else {
            std::copy(in_ + done_, in_ + done_ + piece->count, values_.begin());
        }
        convert(piece);
        done_ += piece->count;
        return true;
    }

private:
    void convert(Piece *piece)
    {
        const std::size_t n = piece->count;
        switch (job_.format) {
        case SampleFormat::S16:
            piece->s16.resize(n);
            for (std::size_t i = 0; i < n; i++)
                piece->s16[i] = quantise_s16(values_[i], &clipped_);
            break;
        case SampleFormat::S24:
            piece->s24.resize(n);
            for (std::size_t i = 0; i < n; i++)
                piece->s24[i] = quantise_s24(values_[i], &clipped_);
            break;
        case SampleFormat::F32:
            piece->f32.resize(n);
            for (std::size_t i = 0; i < n; i++)
                piece->f32[i] = to_f32(values_[i]);
            break;
        }
    }

    const int16_t *in_;
    const SincJob &job_;
    const unsigned long long total_;
    unsigned long long done_ = 0;
    std::unique_ptr<SincStream> stream_;
    std::vector<double> values_;
    long clipped_ = 0;
};

// A channel's chunks, made ahead by a thread of its own (or on demand by the
// caller when `threaded` is false) into a ring of RING pieces. Chunk i lives
// in slot i % RING; the consumer takes the chunks strictly in order.
class ChannelFeed {
public:
    ChannelFeed(const int16_t *in, long n, const SincJob &job, bool threaded)
        : source_(in, n, job), chunks_((source_.total() + CHUNK - 1) / CHUNK)
    {
        if (threaded)
            thread_ = std::thread(&ChannelFeed::run, this);
    }

    ~ChannelFeed()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    // The piece of chunk i, which must be the one after the last released;
    // null when the resampler failed.
    const Piece *take(unsigned long long i)
    {
        Piece &piece = ring_[i % RING];
        if (!thread_.joinable())
            return source_.produce(&piece) ? &piece : nullptr;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return made_ > i || failed_; });
        return made_ > i ? &piece : nullptr;
    }

    // Frees chunk i's slot for chunk i + RING.
    void release(unsigned long long i)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = i + 1;
        }
        changed_.notify_all();
    }

    long clipped() const { return source_.clipped(); }
    const char *error() const { return source_.error(); }

private:
    void run()
    {
        for (unsigned long long i = 0; i < chunks_; i++) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopped_ || i < released_ + RING; });
                if (stopped_)
                    return;
            }
            const bool ok = source_.produce(&ring_[i % RING]);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (ok)
                    made_ = i + 1;
                else
                    failed_ = true;
            }
            changed_.notify_all();
            if (!ok)
                return;
        }
    }

    ChannelSource source_;
    const unsigned long long chunks_;
    Piece ring_[RING];
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    unsigned long long made_ = 0;      // chunks made
    unsigned long long released_ = 0;  // chunks the consumer is done with
    bool failed_ = false;
    bool stopped_ = false;
};

template <typename T>
void interleave_one(const std::vector<T> Piece::*member, const FileLayout &layout,
                    const Piece *const pieces[3], std::size_t count, std::vector<T> *frames)
{
    const unsigned channels = layout.channels;
    frames->assign(count * channels, T());
    for (unsigned w = 0; w < channels; w++) {
        const int c = layout.source[w];
        if (c < 0)
            continue;
        const T *src = (pieces[c]->*member).data();
        T *f = frames->data() + w;
        for (std::size_t i = 0; i < count; i++, f += channels)
            *f = src[i];
    }
}

// Interleaves one chunk of every channel and writes it.
class ChunkWriter {
public:
    ChunkWriter(WaveWriter &writer, const FileLayout &layout, SampleFormat format)
        : writer_(writer), layout_(layout), format_(format)
    {
    }

    bool write(const Piece *const pieces[3], std::size_t count)
    {
        switch (format_) {
        case SampleFormat::S24:
            interleave_one(&Piece::s24, layout_, pieces, count, &s24_);
            return writer_.write(s24_.data(), count);
        case SampleFormat::F32:
            interleave_one(&Piece::f32, layout_, pieces, count, &f32_);
            return writer_.write(f32_.data(), count);
        case SampleFormat::S16:
            break;
        }
        interleave_one(&Piece::s16, layout_, pieces, count, &s16_);
        return writer_.write(s16_.data(), count);
    }

private:
    WaveWriter &writer_;
    const FileLayout &layout_;
    const SampleFormat format_;
    std::vector<int16_t> s16_;
    std::vector<int32_t> s24_;
    std::vector<float> f32_;
};

}  // namespace

unsigned long long sinc_frames(const SincJob &job, long n)
{
    if (!job.resample)
        return n > 0 ? static_cast<unsigned long long>(n) : 0;
    return SincStream::output_frames(n, job.in_rate, job.out_rate);
}

std::size_t render_sinc_files(const std::vector<WaveWriter *> &writers,
                              const std::vector<FileLayout> &layouts, const int16_t *const data[3],
                              long n, const SincJob &job, ClipCount *clips, Progress *progress,
                              int *err, const char **error)
{
    std::unique_ptr<ChannelFeed> feeds[3];
    for (const FileLayout &l : layouts) {
        for (unsigned w = 0; w < l.channels; w++) {
            const int c = l.source[w];
            if (c >= 0 && !feeds[c])
                feeds[c].reset(new ChannelFeed(data[c], n, job, job.threads > 1));
        }
    }
    std::vector<std::unique_ptr<ChunkWriter>> out;
    for (std::size_t f = 0; f < writers.size(); f++)
        out.emplace_back(new ChunkWriter(*writers[f], layouts[f], job.format));
    std::size_t failed = writers.size();
    const unsigned long long total = sinc_frames(job, n);
    for (unsigned long long i = 0, start = 0; start < total && failed > 0; i++, start += CHUNK) {
        const Piece *pieces[3] = {nullptr, nullptr, nullptr};
        for (int c = 0; c < 3; c++) {
            if (feeds[c] && (pieces[c] = feeds[c]->take(i)) == nullptr) {
                *error = feeds[c]->error();
                return 0;
            }
        }
        const std::size_t count = static_cast<std::size_t>(std::min<unsigned long long>(CHUNK, total - start));
        for (std::size_t f = 0; f < failed; f++) {
            if (!out[f]->write(pieces, count)) {
                *err = errno;
                failed = f;
            }
        }
        for (const std::unique_ptr<ChannelFeed> &feed : feeds)
            if (feed)
                feed->release(i);
        progress->update((start + count) * failed);
    }
    for (int c = 0; c < 3; c++) {
        if (feeds[c]) {
            clips->per_channel[c] = feeds[c]->clipped();
            clips->counted[c] = true;
        }
    }
    return failed;
}
