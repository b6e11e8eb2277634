// tavoinfo --plot: the painter that composes the picture on a cairo context.
// Its data panels are drawn in plot_panels.cpp, the title, axes and labels
// in plot_axes.cpp.
#ifndef TAVOINFO_PLOT_PAINTER_H
#define TAVOINFO_PLOT_PAINTER_H

#include <cairo.h>

#include <cstddef>
#include <string>
#include <vector>

#include "frequency_axis.h"
#include "plot_draw.h"
#include "plot_render.h"
#include "time_ticks.h"

namespace tavoinfo::draw {

/// Maps axis seconds to pixel x in the data panels.
struct XScale {
    double left, width, start, end;
    double x(double t) const { return left + (t - start) / (end - start) * width; }
    double pixels_per_second() const { return width / (end - start); }
};

/// Draws the whole picture of p with layout l and options o on cr.
class Painter {
public:
    /// `placed`, when given, receives every text drawn.
    Painter(cairo_t* cr, const PlotPicture& p, const PlotLayout& l, const PlotOptions& o,
            std::vector<TextBox>* placed = nullptr);

    void paint();

private:
    double tick_spacing() { return text_width(cr_, "00:00:00.0") + 1.5 * l_.font; }
    // Draws text as draw::text does and notes where its ink went.
    void put(double x, double y, const std::string& s, double align);
    // Sets the largest font size from `size` down to 3/4 of it at which s
    // fits `width` pixels; s shortened with "..." when none does.
    std::string fitted(const std::string& s, double size, double width);

    // The data panels.
    void find_decibel_range();
    void frame(const PixelBox& b);
    void shade_gaps(const PixelBox& b);
    void waveform(int ch);
    void zero_line(const PixelBox& b, double y);
    std::size_t level(double power) const;
    void spectrogram(int ch);
    void frequency_ticks(const PixelBox& b);
    void colour_bar(int ch);

    // The title, axes and labels.
    void title();
    std::string subtitle(double width);
    std::string moment(double t) const;
    void marks_across_panels();
    void gap_labels();
    void axis_line(double y, double x0, double x1);
    void tick(double x, double y);
    void time_axis();
    double sound_x(double q) const;
    void sound_axis();

    cairo_t* cr_;
    const PlotPicture& p_;
    const PlotLayout& l_;
    const PlotOptions& o_;
    const XScale xs_;
    std::vector<TextBox>* placed_;
    std::vector<Tick> ticks_;
    double top_db_ = 0, floor_db_ = 0;
};

}  // namespace tavoinfo::draw

#endif  // TAVOINFO_PLOT_PAINTER_H
