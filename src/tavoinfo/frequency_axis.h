// tavoinfo --plot: the spectrogram's frequency axis, from 0 Hz (linear) or
// from one spectrum bin above 0 Hz (logarithmic) up to half the sampling
// frequency: the scale the data call for, the bins each pixel row shows,
// where a frequency lies and where the ticks go.
#ifndef TAVOINFO_FREQUENCY_AXIS_H
#define TAVOINFO_FREQUENCY_AXIS_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tavoinfo {

enum class FrequencyScale { Linear, Log };

/// "linear" or "log"; false for anything else.
bool parse_frequency_scale(const std::string& text, FrequencyScale& scale);

/// The scale drawn unless --plot-freq chooses: Log when the bins below a
/// tenth of the Nyquist frequency (bin 0 included) hold more than half of
/// the total of `power`, else Linear.  power[k] is the power of bin k summed
/// over the whole picture, bin k at k / (power.size() - 1) of the Nyquist
/// frequency.
FrequencyScale default_frequency_scale(const std::vector<double>& power);

/// The bins, first and last, that each pixel row of a panel `height` rows
/// high shows, top row first, for bins 0 .. top (top: the Nyquist
/// frequency).  Linear: row r spans (height-1-r)/height .. (height-r)/height
/// of bin positions 0 .. top; Log: the same fractions of log(bin position)
/// from bin 1 to bin top.  Bin k stands for positions k - 1/2 .. k + 1/2.
std::vector<std::pair<std::size_t, std::size_t>> row_bins(int height, std::size_t top,
                                                          FrequencyScale scale);

/// Height of frequency f above the panel's lower edge, as a fraction of the
/// panel: 0 at 0 Hz (Linear) or at bin 1, nyquist / top (Log); 1 at nyquist.
double frequency_height(double f, double nyquist, std::size_t top, FrequencyScale scale);

struct FrequencyTick {
    double hz;
    bool labelled;
};

/// Ticks of a panel `height` pixels high whose labels stand at least
/// `spacing` pixels apart.  Linear: every multiple of the smallest step of
/// 1, 2 or 5 x 10^n Hz that keeps them so, from 0 Hz, all labelled.  Log:
/// every 1, 2 and 5 x 10^n Hz on the axis, all labelled when they keep the
/// spacing, else only the decades (1 x 10^n) that keep it from the one below.
std::vector<FrequencyTick> frequency_ticks(double nyquist, std::size_t top, double height,
                                           double spacing, FrequencyScale scale);

}  // namespace tavoinfo

#endif  // TAVOINFO_FREQUENCY_AXIS_H
