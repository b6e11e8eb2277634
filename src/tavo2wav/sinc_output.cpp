#include "sinc_output.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
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
    ChannelSource(const int16_t* in, long n, const SincJob& job)
        : in_(in), job_(job), total_(sinc_frames(job, n))
    {
        if (job.resample)
            stream_.reset(new SincStream(in, n, job.in_rate, job.out_rate));
    }

    unsigned long long total() const { return total_; }
    long clipped() const { return clipped_; }
    const char* error() const { return stream_ ? stream_->error() : nullptr; }

    // Fills *piece with the next min(CHUNK, left) frames; false on a
    // resampler failure.
    bool produce(Piece* piece)
    {
        piece->count =
            static_cast<std::size_t>(std::min<unsigned long long>(CHUNK, total_ - done_));
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
    void convert(Piece* piece)
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

    const int16_t* in_;
    const SincJob& job_;
    const unsigned long long total_;
    unsigned long long done_ = 0;
    std::unique_ptr<SincStream> stream_;
    std::vector<double> values_;
    long clipped_ = 0;
};

// The chunks of the input channels in use, made ahead by `threads` producer
// threads (none: on demand by the caller) into a ring of RING pieces per
// channel. A SincStream is sequential, so one channel is only ever produced
// by one thread: producer t takes the used channels t, t + threads, ...
// and makes chunk i of each of them before chunk i + 1 of any. Chunk i of
// channel c lives in ring_[c][i % RING]; the caller takes the chunks of all
// channels strictly in order and releases chunk i of all of them at once,
// which frees its cells for chunk i + RING. The order of the calls into
// each stream is the same whatever the thread count or timing.
class ChannelFeeds {
public:
    ChannelFeeds(const int16_t* const data[3], long n, const SincJob& job, const bool used[3])
        : chunks_((sinc_frames(job, n) + CHUNK - 1) / CHUNK)
    {
        std::vector<int> channels;
        for (int c = 0; c < 3; c++) {
            if (used[c]) {
                sources_[c].reset(new ChannelSource(data[c], n, job));
                channels.push_back(c);
            }
        }
        const std::size_t threads =
            job.threads > 1 ? std::min<std::size_t>(job.threads, channels.size()) : 0;
        std::vector<std::vector<int>> groups(threads);
        for (std::size_t k = 0; k < channels.size() && threads > 0; k++)
            groups[k % threads].push_back(channels[k]);
        for (std::vector<int>& group : groups)
            threads_.emplace_back(&ChannelFeeds::run, this, std::move(group));
    }

    ~ChannelFeeds() { finish(); }
    ChannelFeeds(const ChannelFeeds&) = delete;
    ChannelFeeds& operator=(const ChannelFeeds&) = delete;

    // The piece of chunk i of channel c (a used one), i being the chunk
    // after the last released; null when a resampler failed.
    const Piece* take(int c, unsigned long long i)
    {
        Piece& piece = ring_[c][i % RING];
        if (threads_.empty()) {
            if (sources_[c]->produce(&piece))
                return &piece;
            error_ = sources_[c]->error();
            return nullptr;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return made_[c] > i || failed_; });
        return failed_ ? nullptr : &piece;
    }

    // Frees the cells of chunk i of every channel for chunk i + RING.
    void release(unsigned long long i)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = i + 1;
        }
        changed_.notify_all();
    }

    // Stops the producers and waits for them; after it the sources are the
    // caller's alone.
    void finish()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_)
            t.join();
        threads_.clear();
    }

    // Samples channel c had to saturate; call after finish().
    long clipped(int c) const { return sources_[c]->clipped(); }

    // Soxr's description of the failure that made take() return null.
    const char* error()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return error_;
    }

private:
    void run(const std::vector<int>& group)
    {
        for (unsigned long long i = 0; i < chunks_; i++) {
            for (int c : group) {
                {
                    std::unique_lock<std::mutex> lock(mutex_);
                    changed_.wait(lock, [&] { return stopped_ || i < released_ + RING; });
                    if (stopped_)
                        return;
                }
                const bool ok = produce(c, i);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (ok) {
                        made_[c] = i + 1;
                    } else {
                        failed_ = true;
                        error_ = sources_[c]->error();
                    }
                }
                changed_.notify_all();
                if (!ok)
                    return;
            }
        }
    }

    bool produce(int c, unsigned long long i)
    {
        try {
            return sources_[c]->produce(&ring_[c][i % RING]);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    const unsigned long long chunks_;
    std::unique_ptr<ChannelSource> sources_[3];
    Piece ring_[3][RING];
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable changed_;
    unsigned long long made_[3] = {0, 0, 0};  // chunks made per channel
    unsigned long long released_ = 0;         // chunks the consumer is done with
    bool failed_ = false;
    bool stopped_ = false;
    const char* error_ = nullptr;
};

template <typename T>
void interleave_one(const std::vector<T> Piece::*member, const FileLayout& layout,
                    const Piece* const pieces[3], std::size_t count, std::vector<T>* frames)
{
    const unsigned channels = layout.channels;
    frames->assign(count * channels, T());
    for (unsigned w = 0; w < channels; w++) {
        const int c = layout.source[w];
        if (c < 0)
            continue;
        const T* src = (pieces[c]->*member).data();
        T* f = frames->data() + w;
        for (std::size_t i = 0; i < count; i++, f += channels)
            *f = src[i];
    }
}

// Interleaves one chunk of every channel and writes it.
class ChunkWriter {
public:
    ChunkWriter(WaveWriter& writer, const FileLayout& layout, SampleFormat format)
        : writer_(writer), layout_(layout), format_(format)
    {
    }

    bool write(const Piece* const pieces[3], std::size_t count)
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
    WaveWriter& writer_;
    const FileLayout& layout_;
    const SampleFormat format_;
    std::vector<int16_t> s16_;
    std::vector<int32_t> s24_;
    std::vector<float> f32_;
};

}  // namespace

unsigned long long sinc_frames(const SincJob& job, long n)
{
    if (!job.resample)
        return n > 0 ? static_cast<unsigned long long>(n) : 0;
    return SincStream::output_frames(n, job.in_rate, job.out_rate);
}

std::size_t render_sinc_files(const std::vector<WaveWriter*>& writers,
                              const std::vector<FileLayout>& layouts, const int16_t* const data[3],
                              long n, const SincJob& job, ClipCount* clips, Progress* progress,
                              int* err, std::string* error)
{
    bool used[3] = {false, false, false};
    for (const FileLayout& l : layouts)
        for (unsigned w = 0; w < l.channels; w++)
            if (l.source[w] >= 0)
                used[l.source[w]] = true;
    ChannelFeeds feeds(data, n, job, used);
    std::vector<std::unique_ptr<ChunkWriter>> out;
    for (std::size_t f = 0; f < writers.size(); f++)
        out.emplace_back(new ChunkWriter(*writers[f], layouts[f], job.format));
    std::size_t failed = writers.size();
    const unsigned long long total = sinc_frames(job, n);
    for (unsigned long long i = 0, start = 0; start < total && failed > 0; i++, start += CHUNK) {
        const Piece* pieces[3] = {nullptr, nullptr, nullptr};
        for (int c = 0; c < 3; c++) {
            if (used[c] && (pieces[c] = feeds.take(c, i)) == nullptr) {
                *error = feeds.error() ? feeds.error() : "out of memory";
                return 0;
            }
        }
        const std::size_t count =
            static_cast<std::size_t>(std::min<unsigned long long>(CHUNK, total - start));
        for (std::size_t f = 0; f < failed; f++) {
            if (!out[f]->write(pieces, count)) {
                *err = errno;
                failed = f;
            }
        }
        feeds.release(i);
        progress->update((start + count) * failed);
    }
    feeds.finish();
    for (int c = 0; c < 3; c++) {
        if (used[c]) {
            clips->per_channel[c] = feeds.clipped(c);
            clips->counted[c] = true;
        }
    }
    return failed;
}
