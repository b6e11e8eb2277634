// tavoinfo --plot: one picture (PNG, SVG or PDF) of the recording that the
// surveyed files make together: per channel the waveform envelope and its spectrogram, on
// one station-time axis with the gaps shaded and labelled, and optionally a
// second axis in seconds of the sound tavo2wav would make.
#ifndef TAVOINFO_PLOT_H
#define TAVOINFO_PLOT_H

#include <optional>
#include <string>
#include <vector>

#include <tavo/convert.h>

#include "archive/archive.h"

#include "frequency_axis.h"
#include "survey.h"

namespace tavoinfo {

struct PlotOptions {
    std::string output;                ///< picture path: .png, .svg or .pdf
    tavo::NameWatch* names = nullptr;  ///< follows the picture's temporary names
    int width = 1600, height = 900;
    bool sound_axis = false;  ///< draw the axis of sound seconds
    tavo::Options sound;      ///< tavo2wav's options for that axis (--audio)
    std::string sound_text;   ///< those settings as the user wrote them
    /// --plot-freq; when empty, default_frequency_scale of the picture's power
    std::optional<FrequencyScale> frequency;
    /// A window of station time [from, to): the picture shows it alone
    /// (tavoinfo --archive ... --plot).
    std::optional<tavo::archive::Window> window;
};

/// Sizes --plot-size accepts.
constexpr int PLOT_MIN_WIDTH = 480, PLOT_MIN_HEIGHT = 360, PLOT_MAX_SIDE = 8192;

/// Reads "WxH" (decimal, also with 'X'); false with `why` set unless both lie
/// within PLOT_MIN_WIDTH or PLOT_MIN_HEIGHT and PLOT_MAX_SIDE.
bool parse_plot_size(const std::string& text, int& width, int& height, std::string& why);

/// A rectangle of pixels.
struct PixelBox {
    int x = 0, y = 0, width = 0, height = 0;
};

/// Where the parts of the picture go.  The data panels of all channels share
/// their left edge and width: column i of the data is pixel x = left + i.
struct PlotLayout {
    int font = 12;            ///< text size in pixels
    PixelBox waveform[3];     ///< channel c's envelope
    PixelBox spectrogram[3];  ///< channel c's spectrogram: 0 Hz at the bottom row, half the
                              ///< sampling frequency at the top row
    PixelBox colour_bar[3];
    int gap_labels_y = 0;  ///< baseline of the gap labels
    int time_axis_y = 0;   ///< the station-time axis line
    int sound_axis_y = 0;  ///< the sound axis line (when drawn)
};

PlotLayout plot_layout(int width, int height, bool sound_axis);

/// Column of the data panels that axis second `t` falls in, for a timeline
/// from `start` to `end` drawn `columns` pixels wide (clamped to the panel).
int plot_column(double t, double start, double end, int columns);

/// The ink of a piece of text placed in the picture, in pixels.
struct TextBox {
    double x0, y0, x1, y1;
    std::string text;
};

/// Draws the reports' files (surveyed without error) into options.output;
/// with options.window, only the samples in the window, on an axis that
/// spans it, the time without data shaded.
/// Reads every file a second time; memory is bounded by the picture size.
/// Returns false with `why` set ("<what>: <reason>", no "Error: " prefix)
/// when the files cannot be drawn (see lay_out and replay), tavo2wav would
/// refuse the sound axis's options for this data ("--audio: speed-up 48
/// needs a whole upsampling factor ...") or the picture cannot be written; no file is then created
/// or replaced.  When `placed` is given, it receives every text drawn, in drawing order.
bool draw_plot(const std::vector<FileReport>& reports, const PlotOptions& options, std::string& why,
               std::vector<TextBox>* placed = nullptr);

}  // namespace tavoinfo

#endif  // TAVOINFO_PLOT_H
