// tavoinfo --plot: the data panels: each channel's waveform and spectrogram
// with its colour bar.
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "plot_painter.h"

namespace tavoinfo::draw {

namespace {

// Spectrogram colours span this many decibels below the loudest column.
const double DYNAMIC_RANGE_DB = 80;

}  // namespace

void Painter::find_decibel_range()
{
    double loudest = 0;
    for (const auto& ch : p_.channels)
        for (int c = 0; c < l_.waveform[0].width; ++c)
            for (double v : ch->power(c))
                loudest = std::max(loudest, v);
    top_db_ = loudest > 0 ? std::ceil(10 * std::log10(loudest) / 10) * 10 : 0;
    floor_db_ = top_db_ - DYNAMIC_RANGE_DB;
}

void Painter::frame(const PixelBox& b)
{
    colour(cr_, FRAME);
    cairo_set_line_width(cr_, 1);
    cairo_rectangle(cr_, b.x - 0.5, b.y - 0.5, b.width + 1, b.height + 1);
    cairo_stroke(cr_);
}

// Shading of every gap over a panel, at least one pixel wide.
void Painter::shade_gaps(const PixelBox& b)
{
    colour(cr_, GAP_SHADE);
    for (const ShadedGap& g : p_.timeline.gaps) {
        const double x0 = std::max<double>(b.x, std::floor(xs_.x(g.start)));
        const double x1 = std::min<double>(b.x + b.width,
                                           std::max(x0 + 1, std::ceil(xs_.x(g.start + g.seconds))));
        cairo_rectangle(cr_, x0, b.y, x1 - x0, b.height);
    }
    cairo_fill(cr_);
}

void Painter::waveform(int ch)
{
    const PixelBox& b = l_.waveform[ch];
    const ChannelColumns& cols = *p_.channels[ch];
    colour(cr_, GRID);
    cairo_set_line_width(cr_, 1);
    for (const Tick& t : ticks_) {
        cairo_move_to(cr_, std::floor(xs_.x(t.at)) + 0.5, b.y);
        cairo_line_to(cr_, std::floor(xs_.x(t.at)) + 0.5, b.y + b.height);
    }
    cairo_stroke(cr_);
    shade_gaps(b);
    double lo = INFINITY, hi = -INFINITY;
    for (int c = 0; c < b.width; ++c)
        if (cols.filled(c)) {
            lo = std::min(lo, cols.low(c));
            hi = std::max(hi, cols.high(c));
        }
    if (!(hi > lo)) {
        lo -= 1;
        hi += 1;
    }
    const double pad = (hi - lo) * 0.05;
    const auto y = [&](double v) { return b.y + (hi + pad - v) / (hi - lo + 2 * pad) * b.height; };
    zero_line(b, y(0));
    colour(cr_, WAVE);
    double prev_lo = 0, prev_hi = 0;
    bool prev = false;
    for (int c = 0; c < b.width; ++c) {
        if (!cols.filled(c)) {
            prev = false;
            continue;
        }
        // Bridge to the previous column so that a steep stretch stays joined.
        const double top = std::min(y(cols.high(c)), prev ? y(prev_lo) : INFINITY);
        const double bottom = std::max(y(cols.low(c)), prev ? y(prev_hi) : -INFINITY);
        const double y0 = std::floor(std::min(top, y(cols.high(c))));
        const double y1 = std::max(y0 + 1, std::ceil(std::max(bottom, y(cols.low(c)))));
        cairo_rectangle(cr_, b.x + c, y0, 1, y1 - y0);
        prev = true;
        prev_lo = cols.low(c);
        prev_hi = cols.high(c);
    }
    cairo_fill(cr_);
    frame(b);
    colour(cr_, INK);
    put(b.x, b.y - 0.4 * l_.font, "channel " + std::to_string(ch), 0);
    colour(cr_, SOFT_INK);
    put(b.x - 0.4 * l_.font, b.y + 0.8 * l_.font, number("%.0f", hi), 1);
    put(b.x - 0.4 * l_.font, b.y + b.height, number("%.0f", lo), 1);
    // The unit, level with the largest value, where the colour bars stand
    // beside the spectrograms.
    put(b.x + b.width + 0.5 * l_.font, b.y + 0.8 * l_.font, "counts", 0);
}

// The line of sample value 0 at y, when it lies inside the strip.
void Painter::zero_line(const PixelBox& b, double y)
{
    if (!(y >= b.y && y < b.y + b.height))
        return;
    colour(cr_, FRAME);
    cairo_set_line_width(cr_, 1);
    cairo_move_to(cr_, b.x, std::floor(y) + 0.5);
    cairo_line_to(cr_, b.x + b.width, std::floor(y) + 0.5);
    cairo_stroke(cr_);
}

// Colour index of a power value.
std::size_t Painter::level(double power) const
{
    if (!(power > 0))
        return 0;
    const double x = (10 * std::log10(power) - floor_db_) / (top_db_ - floor_db_);
    return static_cast<std::size_t>(std::lround(std::clamp(x, 0.0, 1.0) * 255));
}

void Painter::spectrogram(int ch)
{
    const PixelBox& b = l_.spectrogram[ch];
    const ChannelColumns& cols = *p_.channels[ch];
    SurfaceOwner img{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, b.width, b.height)};
    if (cairo_surface_status(img.s) != CAIRO_STATUS_SUCCESS)
        return;
    cairo_surface_flush(img.s);
    unsigned char* data = cairo_image_surface_get_data(img.s);
    const int stride = cairo_image_surface_get_stride(img.s);
    const std::array<std::uint32_t, 256>& map = viridis();
    const std::uint32_t shade = argb(GAP_SHADE);
    const std::vector<std::pair<std::size_t, std::size_t>> rows =
        row_bins(b.height, ChannelColumns::bins() - 1, p_.frequency);
    std::vector<std::size_t> levels(ChannelColumns::bins());
    for (int c = 0; c < b.width; ++c) {
        const bool filled = cols.filled(c);
        if (filled) {
            const std::vector<double> power = cols.power(c);
            for (std::size_t k = 0; k < power.size(); ++k)
                levels[k] = level(power[k]);
        }
        for (int r = 0; r < b.height; ++r) {
            std::uint32_t pixel = shade;
            if (filled) {
                std::size_t best = 0;
                for (std::size_t k = rows[static_cast<std::size_t>(r)].first;
                     k <= rows[static_cast<std::size_t>(r)].second; ++k)
                    best = std::max(best, levels[k]);
                pixel = map[best];
            }
            std::uint32_t* row =
                reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(r) * stride);
            row[c] = pixel;
        }
    }
    cairo_surface_mark_dirty(img.s);
    cairo_set_source_surface(cr_, img.s, b.x, b.y);
    cairo_paint(cr_);
    frame(b);
    frequency_ticks(b);
}

void Painter::frequency_ticks(const PixelBox& b)
{
    const double nyquist = p_.timeline.frequency / 2;
    const std::size_t top = ChannelColumns::bins() - 1;
    colour(cr_, SOFT_INK);
    cairo_set_line_width(cr_, 1);
    // One line of labels on the log axis, as the decades crowd its ticks.
    const double spacing = (p_.frequency == FrequencyScale::Log ? 1.25 : 1.8) * l_.font;
    for (const FrequencyTick& t :
         tavoinfo::frequency_ticks(nyquist, top, b.height, spacing, p_.frequency)) {
        const double y = std::round(b.y + b.height -
                                    frequency_height(t.hz, nyquist, top, p_.frequency) * b.height);
        // An unlabelled tick is half as long.
        cairo_move_to(cr_, b.x - (t.labelled ? 0.3 : 0.15) * l_.font, y + 0.5);
        cairo_line_to(cr_, b.x, y + 0.5);
        cairo_stroke(cr_);
        if (!t.labelled)
            continue;
        const double baseline = std::min(y + 0.35 * l_.font, static_cast<double>(b.y + b.height));
        put(b.x - 0.4 * l_.font, std::max(baseline, b.y + 0.8 * l_.font), number("%g Hz", t.hz), 1);
    }
}

void Painter::colour_bar(int ch)
{
    const PixelBox& b = l_.colour_bar[ch];
    const std::array<std::uint32_t, 256>& map = viridis();
    for (int r = 0; r < b.height; ++r) {
        const std::uint32_t px = map[static_cast<std::size_t>(
            std::lround(255.0 * (b.height - 1 - r) / std::max(1, b.height - 1)))];
        cairo_set_source_rgb(cr_, (px >> 16 & 0xff) / 255.0, (px >> 8 & 0xff) / 255.0,
                             (px & 0xff) / 255.0);
        cairo_rectangle(cr_, b.x, b.y + r, b.width, 1);
        cairo_fill(cr_);
    }
    frame(b);
    double step = 10;
    while (step / DYNAMIC_RANGE_DB * b.height < 2.0 * l_.font && step < DYNAMIC_RANGE_DB)
        step *= 2;
    colour(cr_, SOFT_INK);
    for (double db = std::floor(top_db_ / step) * step; db >= floor_db_ - 1e-9; db -= step) {
        const double y = b.y + (top_db_ - db) / DYNAMIC_RANGE_DB * b.height;
        const double baseline = std::clamp(y + 0.35 * l_.font, b.y + 0.8 * l_.font,
                                           static_cast<double>(b.y + b.height));
        put(b.x + b.width + 0.3 * l_.font, baseline, number("%.0f", db), 0);
    }
    colour(cr_, INK);
    put(b.x, b.y - 0.3 * l_.font, "dB", 0);
}

}  // namespace tavoinfo::draw
