// tavoinfo --plot: drawing the panels, axes, labels and colour bars.
#include "plot_render.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>

#include "png_file.h"
#include "time_ticks.h"

namespace tavoinfo {

namespace {

// Spectrogram colours span this many decibels below the loudest column.
const double DYNAMIC_RANGE_DB = 80;

struct Rgb {
    double r, g, b;
};

const Rgb INK{0.1, 0.1, 0.1};
const Rgb SOFT_INK{0.35, 0.35, 0.35};
const Rgb FRAME{0.55, 0.55, 0.55};
const Rgb GRID{0.9, 0.9, 0.9};
const Rgb GAP_SHADE{0.8, 0.8, 0.8};
const Rgb WAVE{0.12, 0.3, 0.55};
const Rgb STEP{0.75, 0.1, 0.1};

// Viridis (perceptually uniform, readable in grey and by colour-blind
// readers) as a sixth-degree polynomial fit per component, sampled into 256
// entries once.
const std::array<std::uint32_t, 256>& viridis()
{
    static const std::array<std::uint32_t, 256> table = [] {
        static const double c[7][3] = {{0.2777273272234177, 0.005407344544966578, 0.3340998053353061},
                                       {0.1050930431085774, 1.404613529898575, 1.384590162594685},
                                       {-0.3308618287255563, 0.214847559468213, 0.09509516302823659},
                                       {-4.634230498983486, -5.799100973351585, -19.33244095627987},
                                       {6.228269936347081, 14.17993336680509, 56.69055260068105},
                                       {4.776384997670288, -13.74514537774601, -65.35303263337234},
                                       {-5.435455855934631, 4.645852612178535, 26.3124352495832}};
        std::array<std::uint32_t, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double x = i / 255.0;
            std::uint32_t pixel = 0xff000000u;
            for (int k = 0; k < 3; ++k) {
                double v = c[6][k];
                for (int d = 5; d >= 0; --d)
                    v = v * x + c[d][k];
                pixel |= static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)) << (16 - 8 * k);
            }
            t[static_cast<std::size_t>(i)] = pixel;
        }
        return t;
    }();
    return table;
}

std::uint32_t argb(const Rgb& c)
{
    const auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    return 0xff000000u | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

// Owners of the cairo objects.
struct SurfaceOwner {
    cairo_surface_t* s;
    ~SurfaceOwner() { cairo_surface_destroy(s); }
};
struct ContextOwner {
    cairo_t* cr;
    ~ContextOwner() { cairo_destroy(cr); }
};

void colour(cairo_t* cr, const Rgb& c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// Length of the well-formed UTF-8 sequence at s[i] (Unicode table 3-7), 0
// when there is none.
std::size_t utf8_length(const std::string& s, std::size_t i)
{
    const auto at = [&s](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    const unsigned b = at(i);
    const auto tail = [&](std::size_t k) { return at(k) >= 0x80 && at(k) <= 0xbf; };
    if (b >= 0x20 && b < 0x7f)
        return 1;
    if (b >= 0xc2 && b <= 0xdf)
        return tail(i + 1) ? 2 : 0;
    if (b >= 0xe0 && b <= 0xef) {
        const unsigned lo = b == 0xe0 ? 0xa0 : 0x80, hi = b == 0xed ? 0x9f : 0xbf;
        return at(i + 1) >= lo && at(i + 1) <= hi && tail(i + 2) ? 3 : 0;
    }
    if (b >= 0xf0 && b <= 0xf4) {
        const unsigned lo = b == 0xf0 ? 0x90 : 0x80, hi = b == 0xf4 ? 0x8f : 0xbf;
        return at(i + 1) >= lo && at(i + 1) <= hi && tail(i + 2) && tail(i + 3) ? 4 : 0;
    }
    return 0;
}

// Text that cairo accepts: control bytes and bytes that are not part of
// well-formed UTF-8 (file names and header bytes can hold anything) become '?'.
std::string showable(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8_length(s, i);
        out += n == 0 ? std::string("?") : s.substr(i, n);
        i += n == 0 ? 1 : n;
    }
    return out;
}

double text_width(cairo_t* cr, const std::string& s)
{
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    return e.x_advance;
}

// Text with its baseline at y; align 0 puts x at the left end, 0.5 at the
// middle, 1 at the right end.
void text(cairo_t* cr, double x, double y, const std::string& s, double align)
{
    const std::string shown = showable(s);
    cairo_move_to(cr, std::round(x - align * text_width(cr, shown)), std::round(y));
    cairo_show_text(cr, shown.c_str());
}

// s cut (at a character boundary) and ended with "..." to fit width pixels.
std::string fit(cairo_t* cr, std::string s, double width)
{
    s = showable(s);
    if (text_width(cr, s) <= width)
        return s;
    while (!s.empty() && text_width(cr, s + "...") > width) {
        s.pop_back();
        while (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xc0) == 0x80)
            s.pop_back();
        if (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xc0) == 0xc0)
            s.pop_back();
    }
    return s + "...";
}

std::string number(const char* format, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string base_name(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Maps axis seconds to pixel x in the data panels.
struct XScale {
    double left, width, start, end;
    double x(double t) const { return left + (t - start) / (end - start) * width; }
    double pixels_per_second() const { return width / (end - start); }
};

class Painter {
public:
    Painter(cairo_t* cr, const PlotPicture& p, const PlotLayout& l, const PlotOptions& o)
        : cr_(cr),
          p_(p),
          l_(l),
          o_(o),
          xs_{static_cast<double>(l.waveform[0].x), static_cast<double>(l.waveform[0].width), p.timeline.start,
              p.timeline.end}
    {
        cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr_, l_.font);
        find_decibel_range();
        ticks_ = time_ticks(p.timeline.start, p.timeline.end, xs_.pixels_per_second(), tick_spacing(),
                            p.timeline.clock);
    }

    void paint()
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

private:
    double tick_spacing() { return text_width(cr_, "00:00:00.0") + 1.5 * l_.font; }

    void find_decibel_range()
    {
        double loudest = 0;
        for (const auto& ch : p_.channels)
            for (int c = 0; c < l_.waveform[0].width; ++c)
                for (double v : ch->power(c))
                    loudest = std::max(loudest, v);
        top_db_ = loudest > 0 ? std::ceil(10 * std::log10(loudest) / 10) * 10 : 0;
        floor_db_ = top_db_ - DYNAMIC_RANGE_DB;
    }

    void title()
    {
        const std::vector<FileReport>& reports = *p_.reports;
        std::set<char> stations;
        unsigned long records = 0;
        std::set<std::size_t> lengths;
        std::string names;
        for (const FileReport& r : reports) {
            if (r.station != 0)
                stations.insert(r.station);
            records += r.records;
            if (r.records > 0)
                lengths.insert(r.length);
            names += (names.empty() ? "" : ", ") + base_name(r.path);
        }
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
            when = moment(t.start) + " to " + moment(t.end) + (t.clock == AxisClock::Utc ? " UTC" : " (no date)");
        }
        cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr_, l_.font * 1.2);
        colour(cr_, INK);
        const double width = o_.width - l_.waveform[0].x - 4;
        const double x = l_.waveform[0].x;
        text(cr_, x, 1.5 * l_.font, fit(cr_, station + ",  " + when, width), 0);
        cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr_, l_.font);
        std::string line = number("%g Hz sampling,  ", t.frequency) + std::to_string(records) +
                           (records == 1 ? " record" : " records");
        if (lengths.size() == 1)
            line += " of " + std::to_string(*lengths.begin()) + " samples";
        line += ",  " + std::to_string(reports.size()) + (reports.size() == 1 ? " file: " : " files: ") + names;
        colour(cr_, SOFT_INK);
        text(cr_, x, 3.0 * l_.font, fit(cr_, line, width), 0);
    }

    // A station time for the title: "2014-03-15 08:00:00", or the time of
    // day with "day N" when no date is known.
    std::string moment(double t) const
    {
        const double day = std::floor(t / 86400);
        const long long s = std::llround(t - day * 86400);
        char clock[32];
        std::snprintf(clock, sizeof clock, "%02lld:%02lld:%02lld", s / 3600 % 24, s / 60 % 60, s % 60);
        if (p_.timeline.clock != AxisClock::Utc && day == 0)
            return clock;
        return day_name(static_cast<long long>(day), p_.timeline.clock) + " " + clock;
    }

    void frame(const PixelBox& b)
    {
        colour(cr_, FRAME);
        cairo_set_line_width(cr_, 1);
        cairo_rectangle(cr_, b.x - 0.5, b.y - 0.5, b.width + 1, b.height + 1);
        cairo_stroke(cr_);
    }

    // Shading of every gap over a panel, at least one pixel wide.
    void shade_gaps(const PixelBox& b)
    {
        colour(cr_, GAP_SHADE);
        for (const ShadedGap& g : p_.timeline.gaps) {
            const double x0 = std::max<double>(b.x, std::floor(xs_.x(g.start)));
            const double x1 = std::min<double>(b.x + b.width, std::max(x0 + 1, std::ceil(xs_.x(g.start + g.seconds))));
            cairo_rectangle(cr_, x0, b.y, x1 - x0, b.height);
        }
        cairo_fill(cr_);
    }

    void waveform(int ch)
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
        text(cr_, b.x, b.y - 0.4 * l_.font, "channel " + std::to_string(ch), 0);
        colour(cr_, SOFT_INK);
        text(cr_, b.x - 0.4 * l_.font, b.y + 0.8 * l_.font, number("%.0f", hi), 1);
        text(cr_, b.x - 0.4 * l_.font, b.y + b.height, number("%.0f", lo), 1);
    }

    // Colour index of a power value.
    std::size_t level(double power) const
    {
        if (!(power > 0))
            return 0;
        const double x = (10 * std::log10(power) - floor_db_) / (top_db_ - floor_db_);
        return static_cast<std::size_t>(std::lround(std::clamp(x, 0.0, 1.0) * 255));
    }

    void spectrogram(int ch)
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
        // Bins each pixel row covers: row r spans (h-1-r)/h .. (h-r)/h of the bins.
        const double bins = static_cast<double>(ChannelColumns::bins() - 1);
        std::vector<std::pair<std::size_t, std::size_t>> rows(static_cast<std::size_t>(b.height));
        for (int r = 0; r < b.height; ++r) {
            const double lo = (b.height - 1 - r) * bins / b.height, hi = (b.height - r) * bins / b.height;
            const std::size_t first = static_cast<std::size_t>(std::lround(lo));
            rows[static_cast<std::size_t>(r)] = {first, std::max(first, static_cast<std::size_t>(std::lround(hi)) - (r == 0 ? 0 : 1))};
        }
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
                std::uint32_t* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(r) * stride);
                row[c] = pixel;
            }
        }
        cairo_surface_mark_dirty(img.s);
        cairo_set_source_surface(cr_, img.s, b.x, b.y);
        cairo_paint(cr_);
        frame(b);
        frequency_ticks(b);
    }

    void frequency_ticks(const PixelBox& b)
    {
        const double nyquist = p_.timeline.frequency / 2;
        double step = 0;
        for (double e = std::pow(10.0, std::floor(std::log10(nyquist)) - 2); step == 0; e *= 10)
            for (double m : {1.0, 2.0, 5.0})
                if (step == 0 && m * e / nyquist * b.height >= 1.8 * l_.font)
                    step = m * e;
        colour(cr_, SOFT_INK);
        cairo_set_line_width(cr_, 1);
        for (double f = 0; f <= nyquist * (1 + 1e-9); f += step) {
            const double y = std::round(b.y + b.height - f / nyquist * b.height);
            cairo_move_to(cr_, b.x - 0.3 * l_.font, y + 0.5);
            cairo_line_to(cr_, b.x, y + 0.5);
            cairo_stroke(cr_);
            const double baseline = std::min(y + 0.35 * l_.font, static_cast<double>(b.y + b.height));
            text(cr_, b.x - 0.4 * l_.font, std::max(baseline, b.y + 0.8 * l_.font), number("%g Hz", f), 1);
        }
    }

    void colour_bar(int ch)
    {
        const PixelBox& b = l_.colour_bar[ch];
        const std::array<std::uint32_t, 256>& map = viridis();
        for (int r = 0; r < b.height; ++r) {
            const std::uint32_t px = map[static_cast<std::size_t>(std::lround(255.0 * (b.height - 1 - r) / std::max(1, b.height - 1)))];
            cairo_set_source_rgb(cr_, (px >> 16 & 0xff) / 255.0, (px >> 8 & 0xff) / 255.0, (px & 0xff) / 255.0);
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
            const double baseline = std::clamp(y + 0.35 * l_.font, b.y + 0.8 * l_.font, static_cast<double>(b.y + b.height));
            text(cr_, b.x + b.width + 0.3 * l_.font, baseline, number("%.0f", db), 0);
        }
        colour(cr_, INK);
        text(cr_, b.x, b.y - 0.3 * l_.font, "dB", 0);
    }

    // File boundaries (dashed) and steps back (red) over all panels.
    void marks_across_panels()
    {
        const double top = l_.waveform[0].y, bottom = l_.spectrogram[2].y + l_.spectrogram[2].height;
        cairo_set_line_width(cr_, 1);
        const double dash[] = {4, 3};
        cairo_set_dash(cr_, dash, 2, 0);
        colour(cr_, SOFT_INK);
        for (std::size_t i = 1; i < p_.timeline.files.size(); ++i)
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
    void gap_labels()
    {
        struct Label {
            double at;
            std::string s;
            Rgb c;
        };
        std::vector<Label> labels;
        for (const ShadedGap& g : p_.timeline.gaps)
            labels.push_back({g.start + g.seconds / 2,
                              (g.between_files ? short_duration(g.seconds) + " between files" : "gap " + short_duration(g.seconds)),
                              INK});
        for (const StepBack& s : p_.timeline.steps)
            labels.push_back({s.at, "stamps back " + short_duration(s.seconds), STEP});
        std::stable_sort(labels.begin(), labels.end(), [](const Label& a, const Label& b) { return a.at < b.at; });
        double free_from = 0;
        for (const Label& lb : labels) {
            const double w = text_width(cr_, lb.s);
            const double x = std::clamp(xs_.x(lb.at) - w / 2, 2.0, o_.width - w - 2);
            if (x < free_from)
                continue;
            colour(cr_, lb.c);
            text(cr_, x, l_.gap_labels_y, lb.s, 0);
            free_from = x + w + l_.font;
        }
    }

    void axis_line(double y, double x0, double x1)
    {
        colour(cr_, INK);
        cairo_set_line_width(cr_, 1);
        cairo_move_to(cr_, x0, std::floor(y) + 0.5);
        cairo_line_to(cr_, x1, std::floor(y) + 0.5);
        cairo_stroke(cr_);
    }

    void tick(double x, double y)
    {
        cairo_move_to(cr_, std::floor(x) + 0.5, std::floor(y));
        cairo_line_to(cr_, std::floor(x) + 0.5, std::floor(y) + 0.5 * l_.font);
        cairo_stroke(cr_);
    }

    void time_axis()
    {
        const double y = l_.time_axis_y, f = l_.font;
        axis_line(y, xs_.left, xs_.left + xs_.width);
        for (const Tick& t : ticks_) {
            colour(cr_, INK);
            tick(xs_.x(t.at), y);
            text(cr_, xs_.x(t.at), y + 1.8 * f, t.label, 0.5);
            colour(cr_, SOFT_INK);
            if (!t.day.empty())
                text(cr_, xs_.x(t.at), y + 3.1 * f, t.day, 0.5);
        }
        const char* title = p_.timeline.clock == AxisClock::Utc       ? "station time (UTC)"
                            : p_.timeline.clock == AxisClock::DayTime ? "station time of day (the files give no date)"
                                                                      : "time from the start of the data (the files give no common clock)";
        colour(cr_, INK);
        text(cr_, xs_.left + xs_.width / 2, y + 4.5 * f, title, 0.5);
    }

    // x of sound sample position q, or NAN when no column holds it.
    double sound_x(double q) const
    {
        const SoundColumns& s = p_.sound_columns;
        for (std::size_t c = 0; c < s.low.size(); ++c)
            if (s.low[c] <= q && q <= s.high[c] + 1)
                return xs_.left + static_cast<double>(c) + (q - s.low[c]) / (s.high[c] + 1 - s.low[c]);
        return NAN;
    }

    void sound_axis()
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
                            number(speed >= 10 ? "%.0f" : "%.3g", speed) + " times faster than the recording";
        if (s.first_file_only)
            title += "; first file only, as without -c";
        if (s.cut)
            title += "; the converter stops at 3173888 samples";
        title += ")";
        colour(cr_, INK);
        text(cr_, xs_.left + xs_.width / 2, y + 3.1 * f, fit(cr_, title, xs_.width), 0.5);
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
            text(cr_, x, y + 1.8 * f, t.label, 0.5);
            free_from = x + w / 2 + f;
        }
    }

    cairo_t* cr_;
    const PlotPicture& p_;
    const PlotLayout& l_;
    const PlotOptions& o_;
    const XScale xs_;
    std::vector<Tick> ticks_;
    double top_db_ = 0, floor_db_ = 0;
};

}  // namespace

bool render_plot(const PlotPicture& picture, const PlotLayout& layout, const PlotOptions& options,
                 std::string& why)
{
    SurfaceOwner surface{cairo_image_surface_create(CAIRO_FORMAT_RGB24, options.width, options.height)};
    ContextOwner cr{cairo_create(surface.s)};
    if (cairo_status(cr.cr) != CAIRO_STATUS_SUCCESS) {
        why = options.output + ": " + cairo_status_to_string(cairo_status(cr.cr));
        return false;
    }
    Painter(cr.cr, picture, layout, options).paint();
    cairo_surface_flush(surface.s);
    if (cairo_status(cr.cr) != CAIRO_STATUS_SUCCESS) {
        why = options.output + ": " + cairo_status_to_string(cairo_status(cr.cr));
        return false;
    }
    return write_png_file(surface.s, options.output, why);
}

}  // namespace tavoinfo
