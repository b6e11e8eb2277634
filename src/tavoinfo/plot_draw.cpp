// tavoinfo --plot: the drawing primitives.
#include "plot_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tavoinfo::draw {

namespace {

// Length of the well-formed UTF-8 sequence at s[i] (Unicode table 3-7), 0
// when there is none.
std::size_t utf8_length(const std::string& s, std::size_t i)
{
    const auto at = [&s](std::size_t k) {
        return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u;
    };
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

}  // namespace

// A sixth-degree polynomial fit per component, sampled into 256 entries once.
const std::array<std::uint32_t, 256>& viridis()
{
    static const std::array<std::uint32_t, 256> table = [] {
        static const double c[7][3] = {
            {0.2777273272234177, 0.005407344544966578, 0.3340998053353061},
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
                pixel |= static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255))
                         << (16 - 8 * k);
            }
            t[static_cast<std::size_t>(i)] = pixel;
        }
        return t;
    }();
    return table;
}

std::uint32_t argb(const Rgb& c)
{
    const auto byte = [](double v) {
        return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    return 0xff000000u | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

void colour(cairo_t* cr, const Rgb& c)
{
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

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

TextBox text(cairo_t* cr, double x, double y, const std::string& s, double align)
{
    const std::string shown = showable(s);
    cairo_text_extents_t e;
    cairo_text_extents(cr, shown.c_str(), &e);
    const double left = std::round(x - align * e.x_advance), base = std::round(y);
    cairo_move_to(cr, left, base);
    cairo_show_text(cr, shown.c_str());
    return {left + e.x_bearing, base + e.y_bearing, left + e.x_bearing + e.width,
            base + e.y_bearing + e.height, shown};
}

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

}  // namespace tavoinfo::draw
