// tavoinfo --plot: one channel reduced to pixel columns as its samples stream
// by: the smallest and largest sample of each column (the waveform
// envelope) and the mean short-time power spectrum of each column.  Memory
// grows with the number of columns, never with the length of the recording.
#ifndef TAVOINFO_COLUMNS_H
#define TAVOINFO_COLUMNS_H

#include <cstddef>
#include <memory>
#include <vector>

namespace tavoinfo {

/// Axis seconds [start, end) cut into `count` equal columns.
struct ColumnGrid {
    int count = 1;
    double start = 0, end = 1;
    /// Column of axis second t, clamped to 0 .. count-1.
    int column_of(double t) const;
    /// Last column that holds time before `until`.
    int last_column_before(double until) const;
};

/// Spectra use Hann windows of this many samples (or fewer, for short runs
/// padded with zeros), so frequency resolution does not depend on the
/// picture; the hop between windows is at most half a window and at most
/// one column's worth of samples, so every column gets its own spectra.
constexpr std::size_t SPECTRUM_WINDOW = 256;

class ChannelColumns {
public:
    /// Columns of `grid` for samples taken at `frequency` Hz; `hop` is the
    /// distance between spectrum windows in samples (1 .. SPECTRUM_WINDOW/2).
    ChannelColumns(const ColumnGrid& grid, double frequency, std::size_t hop);
    ~ChannelColumns();
    ChannelColumns(const ChannelColumns&) = delete;
    ChannelColumns& operator=(const ChannelColumns&) = delete;

    /// A run of contiguous samples starts at axis second `at`; samples that
    /// would lie at or past `until` count in the column just before it (a
    /// run's stamps may end slightly before its nominal length).
    void begin_run(double at, double until);
    void push(const double* samples, std::size_t n);
    /// Ends the run: its last samples get the last window's spectrum (a run
    /// shorter than a window gets one zero-padded window).
    void end_run();

    /// Number of power values per column: SPECTRUM_WINDOW / 2 + 1, bin k at
    /// k * frequency / SPECTRUM_WINDOW Hz.
    static std::size_t bins() { return SPECTRUM_WINDOW / 2 + 1; }
    /// True when samples fell into column c.
    bool filled(int c) const { return count_[static_cast<std::size_t>(c)] > 0; }
    double low(int c) const { return low_[static_cast<std::size_t>(c)]; }
    double high(int c) const { return high_[static_cast<std::size_t>(c)]; }
    /// Mean power spectral density of the windows of column c, in counts^2
    /// per Hz (each window's mean removed first); bins() values, all zero
    /// when no window reached the column.
    std::vector<double> power(int c) const;

private:
    void window_ready(std::size_t filled);
    int column_of_sample(std::size_t index) const;
    void assign(const std::vector<double>& spectrum, std::size_t from, std::size_t to);

    struct Fft;
    const ColumnGrid grid_;
    const double frequency_;
    const std::size_t hop_;
    std::unique_ptr<Fft> fft_;
    std::vector<double> low_, high_;
    std::vector<unsigned long> count_;    // samples per column
    std::vector<double> power_sum_;       // count * bins(), summed spectra
    std::vector<unsigned long> windows_;  // spectra summed per column
    std::vector<double> window_;          // samples of the window being filled
    std::size_t filled_ = 0;
    double run_start_ = 0;
    int run_last_column_ = 0;
    std::size_t run_samples_ = 0;   // samples of the run so far
    std::size_t frames_ = 0;        // windows done in this run
    std::vector<double> pending_;   // last window's spectrum, columns not yet known
    std::size_t pending_from_ = 0;  // first run sample it stands for
};

}  // namespace tavoinfo

#endif  // TAVOINFO_COLUMNS_H
