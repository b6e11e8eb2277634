#include "dsp/linear_stream.h"
#include "dsp/vector_clones.h"

#include <algorithm>

namespace tavo::dsp {

unsigned long long LinearStream::output_frames(long n, int u)
{
    return n > 0 ? static_cast<unsigned long long>(n) * (u > 0 ? u : 1) : 0;
}

InputSpan LinearStream::input_span(long n, int u, bool filter, unsigned long long start,
                                   std::size_t count)
{
    n = std::max(n, 0L);
    const unsigned long long frames = output_frames(n, u);
    start = std::min(start, frames);
    const unsigned long long end = std::min(frames, start + count);
    const unsigned long long from =
        start - (filter ? std::min<unsigned long long>(start, FILTER_TAPS - 1) : 0);
    if (from >= end)
        return {};
    if (u <= 0)
        return {static_cast<long>(from), static_cast<long>(end)};
    // Output sample f lies between inputs f / u and f / u + 1; past the
    // last input it repeats that one.
    const long first = static_cast<long>(std::min<unsigned long long>(from / u, n - 1));
    const long last = static_cast<long>(std::min<unsigned long long>((end - 1) / u + 2, n));
    return {first, last};
}

LinearStream::LinearStream(const int16_t* in, long n, int u, bool filter, unsigned long long start)
    : LinearStream(in, InputSpan{0, n > 0 ? n : 0}, n, u, filter, start)
{
}

LinearStream::LinearStream(const int16_t* part, InputSpan span, long n, int u, bool filter,
                           unsigned long long start)
    : in_(part),
      first_(span.first),
      n_(n > 0 ? n : 0),
      u_(u > 0 ? u : 0),
      frames_(output_frames(n, u)),
      start_(std::min(start, frames_))
{
    for (int j = 0; j < u_; j++)
        phase_.push_back(static_cast<double>(j) / u_);
    start = start_;
    if (!filter) {
        seek(start);
        return;
    }
    filter_.reset(new FilterStream(0.0));
    // The filter holds FILTER_TAPS - 1 earlier inputs; before sample 0 they
    // are the zeros it starts with.
    const unsigned long long warm = std::min<unsigned long long>(start, FILTER_TAPS - 1);
    seek(start - warm);
    int16_t history[FILTER_TAPS - 1];
    produce(history, static_cast<std::size_t>(warm));
    filter_->process(history, history, static_cast<std::size_t>(warm));
}

void LinearStream::seek(unsigned long long frame)
{
    done_ = frame;
    if (u_ == 0 || n_ == 0)
        return;
    const unsigned long long k = frame / u_ + 1;
    k_ = static_cast<long>(std::min<unsigned long long>(k, n_));
    j_ = k < static_cast<unsigned long long>(n_) ? static_cast<int>(frame % u_) : 0;
}

std::size_t LinearStream::next(int16_t* out, std::size_t count)
{
    count = static_cast<std::size_t>(std::min<unsigned long long>(count, frames_ - done_));
    produce(out, count);
    if (filter_)
        clipped_ += filter_->process(out, out, count);
    return count;
}

// The next `count` samples before filtering.
void LinearStream::produce(int16_t* out, std::size_t count)
{
    if (u_ == 0)
        std::copy(in_ + (done_ - first_), in_ + (done_ - first_ + count), out);
    else
        resample(out, count);
    done_ += count;
}

namespace {

// Linear interpolation: a + (b - a) x (j / u) with the integer difference
// b - a and the phase j / u taken from a table, truncated toward zero, from
// input pair (k - 1, k) at phase j on, while inputs last (`in` holds the
// channel's samples from index `first` on); returns the samples written. The same operations in the
// same order for every instruction set (no contraction into fused multiply-adds), built for the
// wider vectors too, so the running processor picks its fastest.
TAVO_VECTOR_CLONES std::size_t interpolate(const int16_t* in, long first, long n, int u,
                                           const double* phase, long& k, int& j, int16_t* out,
                                           std::size_t count)
{
    std::size_t p = 0;
    while (p < count && k < n) {
        const int a = in[k - 1 - first];
        const double d = in[k - first] - a;
        const std::size_t span = std::min<std::size_t>(u - j, count - p);
        const double* t = phase + j;
        for (std::size_t i = 0; i < span; i++)
            out[p + i] = static_cast<int16_t>(a + d * t[i]);
        p += span;
        j += static_cast<int>(span);
        if (j == u) {
            j = 0;
            k++;
        }
    }
    return p;
}

}  // namespace

// Past the last input sample the output holds that sample.
void LinearStream::resample(int16_t* out, std::size_t count)
{
    const std::size_t p = interpolate(in_, first_, n_, u_, phase_.data(), k_, j_, out, count);
    if (p < count)
        std::fill(out + p, out + count, in_[n_ - 1 - first_]);
}

}  // namespace tavo::dsp
