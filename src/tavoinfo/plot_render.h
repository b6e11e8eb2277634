// tavoinfo --plot: the composition of the picture with cairo, from data the
// drawing pass has already reduced to pixel columns.
#ifndef TAVOINFO_PLOT_RENDER_H
#define TAVOINFO_PLOT_RENDER_H

#include <memory>
#include <string>
#include <vector>

#include "columns.h"
#include "plot.h"
#include "timeline.h"

namespace tavoinfo {

/// Input sample positions of the sound (samples per channel before the
/// sample, in conversion order) that fell into each column; low > high in
/// columns without sound.
struct SoundColumns {
    std::vector<double> low, high;
    double seconds_per_sample = 0;
    double total_seconds = 0;      ///< length of the whole sound
    bool first_file_only = false;  ///< later files hold records the sound leaves out (no -c)
    bool cut = false;              ///< the converter's buffers fill before the data end
};

/// Everything the picture shows.
struct PlotPicture {
    const std::vector<FileReport>* reports = nullptr;
    Timeline timeline;
    std::unique_ptr<ChannelColumns> channels[3];
    bool sound = false;
    SoundColumns sound_columns;
    FrequencyScale frequency = FrequencyScale::Linear;
};

/// Draws the picture at options.width x options.height with `layout` and
/// writes it with write_picture in the format its name asks for (PNG, SVG
/// or PDF); false with `why` set when cairo fails or the file cannot be
/// written.  `placed`, when given, receives every text drawn.
bool render_plot(const PlotPicture& picture, const PlotLayout& layout, const PlotOptions& options,
                 std::string& why, std::vector<TextBox>* placed = nullptr);

}  // namespace tavoinfo

#endif  // TAVOINFO_PLOT_RENDER_H
