#include "dsp/sinc_stream.h"

#include <algorithm>
#include <cmath>

#include <soxr.h>

namespace tavo::dsp {

namespace {

// Input samples converted and handed to soxr at a time: fixed, so that for
// a given sequence of next() calls the calls into soxr never change.
constexpr std::size_t INPUT_BLOCK = 4096;

bool valid_rate(double r)
{
    return std::isfinite(r) && r > 0.0;
}

// The samples of an array the caller holds, as doubles.
template <typename T>
class ArrayFeed : public SampleFeed {
public:
    explicit ArrayFeed(const T* in) : in_(in) {}
    bool read(double* out, std::size_t count) override
    {
        for (std::size_t i = 0; i < count; i++)
            out[i] = in_[i];
        in_ += count;
        return true;
    }

private:
    const T* in_;
};

}  // namespace

SincStream::SincStream(const int16_t* in, long n, double in_rate, double out_rate)
    : SincStream(std::unique_ptr<SampleFeed>(new ArrayFeed<int16_t>(in)), n, in_rate, out_rate)
{
}

SincStream::SincStream(const double* in, long n, double in_rate, double out_rate)
    : SincStream(std::unique_ptr<SampleFeed>(new ArrayFeed<double>(in)), n, in_rate, out_rate)
{
}

SincStream::SincStream(std::unique_ptr<SampleFeed> feed, long n, double in_rate, double out_rate)
    : feed_(std::move(feed)), n_(n > 0 ? n : 0), frames_(output_frames(n, in_rate, out_rate))
{
    start(in_rate, out_rate);
}

SincStream::~SincStream()
{
    if (soxr_)
        soxr_delete(soxr_);
}

unsigned long long SincStream::output_frames(long n, double in_rate, double out_rate)
{
    if (n <= 0 || !valid_rate(in_rate) || !valid_rate(out_rate))
        return 0;
    return static_cast<unsigned long long>(std::floor(n * out_rate / in_rate + 0.5));
}

void SincStream::start(double in_rate, double out_rate)
{
    if (!valid_rate(in_rate) || !valid_rate(out_rate)) {
        error_ = "sample rates must be positive";
        return;
    }
    if (frames_ == 0)
        return;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t err = nullptr;
    soxr_ = soxr_create(in_rate, out_rate, 1, &err, &io, &quality, &runtime);
    if (err != nullptr || soxr_ == nullptr) {
        error_ = err != nullptr ? err : "soxr_create failed";
        return;
    }
    block_.resize(INPUT_BLOCK);
}

// Converts the next input block into block_; returns its size.
std::size_t SincStream::take_input()
{
    const std::size_t count =
        static_cast<std::size_t>(std::min<long>(static_cast<long>(INPUT_BLOCK), n_ - fed_));
    if (!feed_->read(block_.data(), count)) {
        error_ = feed_->error() != nullptr ? feed_->error() : "the input ended early";
        return 0;
    }
    fed_ += static_cast<long>(count);
    block_at_ = 0;
    block_size_ = count;
    return count;
}

// Asks soxr for up to `room` output samples straight into out, feeding it
// input (or, once all is fed, telling it the input has ended) until some
// come out. Returns their number: 0 when soxr has nothing more to give or
// has failed.
std::size_t SincStream::pull(double* out, std::size_t room)
{
    std::size_t made = 0;
    while (made == 0 && !flushed_ && error_.empty()) {
        if (block_at_ == block_size_ && fed_ < n_ && take_input() == 0)
            break;
        const bool ended = block_at_ == block_size_;
        std::size_t taken = 0;
        const soxr_error_t err = soxr_process(soxr_, ended ? nullptr : block_.data() + block_at_,
                                              block_size_ - block_at_, &taken, out, room, &made);
        if (err != nullptr)
            error_ = err;
        else if (!ended && taken == 0 && made == 0)
            error_ = "resampler took no input";
        block_at_ += taken;
        flushed_ = ended && made == 0;
    }
    return error_.empty() ? made : 0;
}

std::size_t SincStream::next(double* out, std::size_t count)
{
    if (!error_.empty())
        return 0;
    count = static_cast<std::size_t>(std::min<unsigned long long>(count, frames_ - done_));
    std::size_t p = 0;
    while (p < count) {
        const std::size_t made = pull(out + p, count - p);
        if (made == 0)
            break;
        p += made;
    }
    if (!error_.empty()) {
        done_ = frames_;
        return 0;
    }
    std::fill(out + p, out + count, 0.0);
    done_ += count;
    return count;
}

}  // namespace tavo::dsp
