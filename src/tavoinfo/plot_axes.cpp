// tavoinfo --plot: the title, the marks and labels across the panels, the
// time and sound axes, and the order the whole picture is painted in.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "plot_painter.h"

namespace tavoinfo::draw {

Painter::Painter(cairo_t* cr, const PlotPicture& p, const PlotLayout& l, const PlotOptions& o,
                 std::vector<TextBox>* placed)
    : cr_(cr),
      p_(p),
      l_(l),
      o_(o),
      xs_{static_cast<double>(l.waveform[0].x), static_cast<double>(l.waveform[0].width),
          p.timeline.start, p.timeline.end},
      placed_(placed)
{
    cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, l_.font);
    find_decibel_range();
    ticks_ = time_ticks(p.timeline.start, p.timeline.end, xs_.pixels_per_second(), tick_spacing(),
                        p.timeline.clock);
}

void Painter::paint()
{
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
    title();
    for (int c = 0; c < 3; ++c) {
        waveform(c);
        spectrogram(c);
        colour_bar(c);
    }
    marks_across_panels();
    gap_labels();
    time_axis();
    if (p_.sound)
        sound_axis();
}

void Painter::put(double x, double y, const std::string& s, double align)
{
    const TextBox box = text(cr_, x, y, s, align);
    if (placed_)
        placed_->push_back(box);
}

std::string Painter::fitted(const std::string& s, double size, double width)
{
    for (double f = size; f >= 0.75 * size; f -= 0.25) {
        cairo_set_font_size(cr_, f);
        if (text_width(cr_, showable(s)) <= width)
            return showable(s);
    }
    return fit(cr_, s, width);
}

void Painter::title()
{
    std::set<char> stations;
    for (const FileReport& r : *p_.reports)
        if (r.station != 0)
            stations.insert(r.station);
    std::string station = "Station ";
    for (char s : stations)
        station += std::string(station.size() > 8 ? "/" : "") + s;
    if (stations.empty())
        station += "?";
    const Timeline& t = p_.timeline;
    std::string when;
    if (t.clock == AxisClock::Elapsed) {
        when = short_duration(t.end - t.start) + " of data (the files give no common clock)";
    } else {
        when = moment(t.start) + " to " + moment(t.end) +
               (t.clock == AxisClock::Utc ? " UTC" : " (no date)");
    }
    cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    colour(cr_, INK);
    const double width = o_.width - l_.waveform[0].x - 4;
    const double x = l_.waveform[0].x;
    put(x, 1.5 * l_.font, fitted(station + ",  " + when, l_.font * 1.2, width), 0);
    cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    colour(cr_, SOFT_INK);
    put(x, 3.0 * l_.font, fitted(subtitle(width), l_.font, width), 0);
    cairo_set_font_size(cr_, l_.font);
}

// "18 Hz sampling,  380 records of 512 samples,  1 file: k4031516.dat.gz";
// more files than two that do not fit `width` are named "FIRST to LAST".
std::string Painter::subtitle(double width)
{
    const std::vector<FileReport>& reports = *p_.reports;
    unsigned long records = 0;
    std::set<std::size_t> lengths;
    std::string names;
    for (const FileReport& r : reports) {
        records += r.records;
        if (r.records > 0)
            lengths.insert(r.length);
        names += (names.empty() ? "" : ", ") + base_name(r.path);
    }
    std::string line = number("%g Hz sampling,  ", p_.timeline.frequency) +
                       std::to_string(records) + (records == 1 ? " record" : " records");
    if (lengths.size() == 1)
        line += " of " + std::to_string(*lengths.begin()) + " samples";
    line += ",  " + std::to_string(reports.size()) + (reports.size() == 1 ? " file: " : " files: ");
    cairo_set_font_size(cr_, l_.font);
    if (reports.size() > 2 && text_width(cr_, showable(line + names)) > width)
        return line + base_name(reports.front().path) + " to " + base_name(reports.back().path);
    return line + names;
}

// A station time for the title: "2014-03-15 08:00:00", or the time of
// day with "day N" when no date is known.
std::string Painter::moment(double t) const
{
    const double day = std::floor(t / 86400);
    const long long s = std::llround(t - day * 86400);
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02lld:%02lld:%02lld", s / 3600 % 24, s / 60 % 60, s % 60);
    if (p_.timeline.clock != AxisClock::Utc && day == 0)
        return clock;
    return day_name(static_cast<long long>(day), p_.timeline.clock) + " " + clock;
}

// File boundaries (dashed) and steps back (red) over all panels. A window
// of an archive leaves out the boundaries when they would lie closer than
// 8 pixels on average: its missing files show as shaded gaps.
void Painter::marks_across_panels()
{
    const double top = l_.waveform[0].y, bottom = l_.spectrogram[2].y + l_.spectrogram[2].height;
    cairo_set_line_width(cr_, 1);
    const double dash[] = {4, 3};
    cairo_set_dash(cr_, dash, 2, 0);
    colour(cr_, SOFT_INK);
    const std::size_t files = p_.timeline.files.size();
    const bool crowded = o_.window && 8.0 * static_cast<double>(files) > l_.waveform[0].width;
    for (std::size_t i = 1; i < files && !crowded; ++i)
        if (!p_.timeline.files[i].run_starts.empty()) {
            const double x = std::floor(xs_.x(p_.timeline.files[i].run_starts.front())) + 0.5;
            cairo_move_to(cr_, x, top);
            cairo_line_to(cr_, x, bottom);
        }
    cairo_stroke(cr_);
    cairo_set_dash(cr_, nullptr, 0, 0);
    colour(cr_, STEP);
    for (const StepBack& s : p_.timeline.steps) {
        const double x = std::floor(xs_.x(s.at)) + 0.5;
        cairo_move_to(cr_, x, top);
        cairo_line_to(cr_, x, bottom);
    }
    cairo_stroke(cr_);
}

// One label per gap or step back, centred over it; labels that would run
// into the one before or out of the picture are left out.
void Painter::gap_labels()
{
    struct Label {
        double at;
        std::string s;
        Rgb c;
    };
    std::vector<Label> labels;
    for (const ShadedGap& g : p_.timeline.gaps)
        labels.push_back({g.start + g.seconds / 2,
                          (g.between_files ? short_duration(g.seconds) + " between files"
                                           : "gap " + short_duration(g.seconds)),
                          INK});
    for (const StepBack& s : p_.timeline.steps)
        labels.push_back({s.at, "stamps back " + short_duration(s.seconds), STEP});
    std::stable_sort(labels.begin(), labels.end(),
                     [](const Label& a, const Label& b) { return a.at < b.at; });
    double free_from = 0;
    for (const Label& lb : labels) {
        const double w = text_width(cr_, lb.s);
        const double x = std::clamp(xs_.x(lb.at) - w / 2, 2.0, o_.width - w - 2);
        if (x < free_from)
            continue;
        colour(cr_, lb.c);
        put(x, l_.gap_labels_y, lb.s, 0);
        free_from = x + w + l_.font;
    }
}

void Painter::axis_line(double y, double x0, double x1)
{
    colour(cr_, INK);
    cairo_set_line_width(cr_, 1);
    cairo_move_to(cr_, x0, std::floor(y) + 0.5);
    cairo_line_to(cr_, x1, std::floor(y) + 0.5);
    cairo_stroke(cr_);
}

void Painter::tick(double x, double y)
{
    cairo_move_to(cr_, std::floor(x) + 0.5, std::floor(y));
    cairo_line_to(cr_, std::floor(x) + 0.5, std::floor(y) + 0.5 * l_.font);
    cairo_stroke(cr_);
}

void Painter::time_axis()
{
    const double y = l_.time_axis_y, f = l_.font;
    axis_line(y, xs_.left, xs_.left + xs_.width);
    for (const Tick& t : ticks_) {
        colour(cr_, INK);
        tick(xs_.x(t.at), y);
        put(xs_.x(t.at), y + 1.8 * f, t.label, 0.5);
        colour(cr_, SOFT_INK);
        if (!t.day.empty())
            put(xs_.x(t.at), y + 3.1 * f, t.day, 0.5);
    }
    const char* title = p_.timeline.clock == AxisClock::Utc ? "station time (UTC)"
                        : p_.timeline.clock == AxisClock::DayTime
                            ? "station time of day (the files give no date)"
                            : "time from the start of the data (the files give no common clock)";
    colour(cr_, INK);
    put(xs_.left + xs_.width / 2, y + 4.5 * f, title, 0.5);
}

// x of sound sample position q, or NAN when no column holds it.
double Painter::sound_x(double q) const
{
    const SoundColumns& s = p_.sound_columns;
    for (std::size_t c = 0; c < s.low.size(); ++c)
        if (s.low[c] <= q && q <= s.high[c] + 1)
            return xs_.left + static_cast<double>(c) + (q - s.low[c]) / (s.high[c] + 1 - s.low[c]);
    return NAN;
}

void Painter::sound_axis()
{
    const SoundColumns& s = p_.sound_columns;
    const double y = l_.sound_axis_y, f = l_.font;
    double first = NAN, last = NAN;
    for (std::size_t c = 0; c < s.low.size(); ++c)
        if (s.low[c] <= s.high[c]) {
            if (std::isnan(first))
                first = static_cast<double>(c);
            last = static_cast<double>(c) + 1;
        }
    const double speed = 1 / (s.seconds_per_sample * p_.timeline.frequency);
    std::string title = "seconds of sound from tavo2wav " + o_.sound_text + " (" +
                        number(speed >= 10 ? "%.0f" : "%.3g", speed) +
                        " times faster than the recording";
    if (s.first_file_only)
        title += "; first file only, as without -c";
    if (s.cut)
        title += "; the converter stops at 3173888 samples";
    title += ")";
    colour(cr_, INK);
    // Centred under the axis, within the picture's width.
    const std::string shown = fitted(title, f, o_.width - 8);
    const double w = text_width(cr_, shown);
    put(std::clamp(xs_.left + (xs_.width - w) / 2, 4.0, o_.width - 4 - w), y + 3.1 * f, shown, 0);
    cairo_set_font_size(cr_, f);
    if (std::isnan(first) || !(s.total_seconds > 0))
        return;
    // The axis runs where there is sound; gaps hold none.
    for (std::size_t c = 0; c < s.low.size();) {
        if (!(s.low[c] <= s.high[c])) {
            ++c;
            continue;
        }
        const std::size_t from = c;
        while (c < s.low.size() && s.low[c] <= s.high[c])
            ++c;
        axis_line(y, xs_.left + static_cast<double>(from), xs_.left + static_cast<double>(c));
    }
    const double pps = (last - first) / s.total_seconds;
    const std::vector<Tick> ticks = sound_ticks(0, s.total_seconds, pps, tick_spacing());
    double free_from = -INFINITY;
    for (const Tick& t : ticks) {
        const double x = sound_x(t.at / s.seconds_per_sample);
        if (std::isnan(x))
            continue;
        colour(cr_, INK);
        tick(x, y);
        const double w = text_width(cr_, t.label);
        if (x - w / 2 < free_from)
            continue;
        put(x, y + 1.8 * f, t.label, 0.5);
        free_from = x + w / 2 + f;
    }
}

}  // namespace tavoinfo::draw
