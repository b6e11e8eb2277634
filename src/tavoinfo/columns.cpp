// tavoinfo --plot: per-column envelope and short-time spectra of one channel.
#include "columns.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace tavoinfo {

namespace {

const double PI = 3.14159265358979323846;

// Hann taps sin^2(pi (i + 1/2) / n), never zero at the ends, so that a
// window of one sample still weighs it.
double hann(std::size_t i, std::size_t n)
{
    const double s = std::sin(PI * (static_cast<double>(i) + 0.5) / static_cast<double>(n));
    return s * s;
}

}  // namespace

int ColumnGrid::column_of(double t) const
{
    const double x = (t - start) / (end - start) * count;
    if (!(x > 0))
        return 0;
    return x >= count ? count - 1 : static_cast<int>(x);
}

int ColumnGrid::last_column_before(double until) const
{
    const double x = (until - start) / (end - start) * count;
    if (!(x > 1))
        return 0;
    return x > count ? count - 1 : static_cast<int>(std::ceil(x)) - 1;
}

// The real-to-complex transform of one window.  FFTW_ESTIMATE picks the plan
// without timing anything, so the result never depends on machine load.
struct ChannelColumns::Fft {
    Fft()
        : in(fftw_alloc_real(SPECTRUM_WINDOW)),
          out(fftw_alloc_complex(SPECTRUM_WINDOW / 2 + 1)),
          plan(in && out
                   ? fftw_plan_dft_r2c_1d(static_cast<int>(SPECTRUM_WINDOW), in, out, FFTW_ESTIMATE)
                   : nullptr)
    {
        if (plan == nullptr) {
            release();
            throw std::bad_alloc();
        }
        for (std::size_t i = 0; i < SPECTRUM_WINDOW; ++i)
            taps[i] = hann(i, SPECTRUM_WINDOW);
    }
    ~Fft() { release(); }
    Fft(const Fft&) = delete;
    Fft& operator=(const Fft&) = delete;

    void release()
    {
        if (plan)
            fftw_destroy_plan(plan);
        fftw_free(in);
        fftw_free(out);
    }

    // One-sided power spectral density of samples[0 .. n-1] (n >= 1), mean
    // removed, Hann-weighted over those n samples and zero-padded to the
    // window length.
    void spectrum(const double* samples, std::size_t n, double frequency, std::vector<double>& psd)
    {
        double mean = 0;
        for (std::size_t i = 0; i < n; ++i)
            mean += samples[i];
        mean /= static_cast<double>(n);
        double weight = 0;
        for (std::size_t i = 0; i < SPECTRUM_WINDOW; ++i) {
            const double w = i >= n ? 0 : n == SPECTRUM_WINDOW ? taps[i] : hann(i, n);
            in[i] = i < n ? (samples[i] - mean) * w : 0;
            weight += w * w;
        }
        fftw_execute(plan);
        const std::size_t bins = SPECTRUM_WINDOW / 2 + 1;
        psd.resize(bins);
        const double scale = 1 / (frequency * weight);
        for (std::size_t k = 0; k < bins; ++k) {
            const double p = (out[k][0] * out[k][0] + out[k][1] * out[k][1]) * scale;
            psd[k] = (k == 0 || k == bins - 1) ? p : 2 * p;
        }
    }

    double* in;
    fftw_complex* out;
    fftw_plan plan;
    double taps[SPECTRUM_WINDOW];
};

ChannelColumns::ChannelColumns(const ColumnGrid& grid, double frequency, std::size_t hop)
    : grid_(grid),
      frequency_(frequency),
      hop_(std::min(std::max<std::size_t>(hop, 1), SPECTRUM_WINDOW / 2)),
      fft_(new Fft),
      low_(static_cast<std::size_t>(grid.count), std::numeric_limits<double>::infinity()),
      high_(static_cast<std::size_t>(grid.count), -std::numeric_limits<double>::infinity()),
      count_(static_cast<std::size_t>(grid.count), 0),
      power_sum_(static_cast<std::size_t>(grid.count) * bins(), 0.0),
      windows_(static_cast<std::size_t>(grid.count), 0),
      window_(SPECTRUM_WINDOW, 0.0)
{
}

ChannelColumns::~ChannelColumns() = default;

void ChannelColumns::begin_run(double at, double until)
{
    run_start_ = at;
    run_last_column_ = std::max(grid_.column_of(at), grid_.last_column_before(until));
    run_samples_ = 0;
    filled_ = 0;
    frames_ = 0;
}

void ChannelColumns::push(const double* samples, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const double x = samples[i];
        const std::size_t c = static_cast<std::size_t>(column_of_sample(run_samples_));
        low_[c] = std::min(low_[c], x);
        high_[c] = std::max(high_[c], x);
        ++count_[c];
        ++run_samples_;
        window_[filled_++] = x;
        if (filled_ == SPECTRUM_WINDOW)
            window_ready(filled_);
    }
}

// A full window: its spectrum stands for the samples from half a hop before
// its centre (from the run's start, for the first window) up to where the
// next window takes over.  The previous window's share is now known.
void ChannelColumns::window_ready(std::size_t filled)
{
    std::vector<double> spectrum;
    fft_->spectrum(window_.data(), filled, frequency_, spectrum);
    const std::size_t centre = run_samples_ - SPECTRUM_WINDOW / 2;
    const std::size_t from = frames_ == 0 ? 0 : centre - hop_ / 2;
    if (frames_ > 0)
        assign(pending_, pending_from_, from);
    pending_.swap(spectrum);
    pending_from_ = from;
    ++frames_;
    std::memmove(window_.data(), window_.data() + hop_, (SPECTRUM_WINDOW - hop_) * sizeof(double));
    filled_ = SPECTRUM_WINDOW - hop_;
}

void ChannelColumns::end_run()
{
    if (run_samples_ == 0)
        return;
    if (frames_ == 0) {
        fft_->spectrum(window_.data(), filled_, frequency_, pending_);
        pending_from_ = 0;
    }
    assign(pending_, pending_from_, run_samples_);
    frames_ = 0;
    filled_ = 0;
    run_samples_ = 0;
}

int ChannelColumns::column_of_sample(std::size_t index) const
{
    return std::min(run_last_column_,
                    grid_.column_of(run_start_ + static_cast<double>(index) / frequency_));
}

// Adds a spectrum to every column that run samples [from, to) touch.
void ChannelColumns::assign(const std::vector<double>& spectrum, std::size_t from, std::size_t to)
{
    if (to <= from)
        return;
    const int first = column_of_sample(from);
    const int last = column_of_sample(to - 1);
    for (int c = first; c <= last; ++c) {
        double* sum = &power_sum_[static_cast<std::size_t>(c) * bins()];
        for (std::size_t k = 0; k < bins(); ++k)
            sum[k] += spectrum[k];
        ++windows_[static_cast<std::size_t>(c)];
    }
}

std::vector<double> ChannelColumns::power(int c) const
{
    const std::size_t col = static_cast<std::size_t>(c);
    std::vector<double> mean(power_sum_.begin() + static_cast<std::ptrdiff_t>(col * bins()),
                             power_sum_.begin() + static_cast<std::ptrdiff_t>((col + 1) * bins()));
    if (windows_[col] > 0)
        for (double& p : mean)
            p /= static_cast<double>(windows_[col]);
    return mean;
}

}  // namespace tavoinfo
