// tavoinfo --plot: the drawing primitives the picture is made of: colours,
// the colour map, owners of cairo objects and text that cairo can show.
#ifndef TAVOINFO_PLOT_DRAW_H
#define TAVOINFO_PLOT_DRAW_H

#include <cairo.h>

#include <array>
#include <cstdint>
#include <string>

#include "plot.h"

namespace tavoinfo::draw {

struct Rgb {
    double r, g, b;
};

inline constexpr Rgb INK{0.1, 0.1, 0.1};
inline constexpr Rgb SOFT_INK{0.35, 0.35, 0.35};
inline constexpr Rgb FRAME{0.55, 0.55, 0.55};
inline constexpr Rgb GRID{0.9, 0.9, 0.9};
inline constexpr Rgb GAP_SHADE{0.8, 0.8, 0.8};
inline constexpr Rgb WAVE{0.12, 0.3, 0.55};
inline constexpr Rgb STEP{0.75, 0.1, 0.1};

/// Viridis (perceptually uniform, readable in grey and by colour-blind
/// readers) as 256 opaque ARGB32 pixels, darkest first.
const std::array<std::uint32_t, 256>& viridis();

/// c as an opaque ARGB32 pixel.
std::uint32_t argb(const Rgb& c);

/// Owners of the cairo objects.
struct SurfaceOwner {
    cairo_surface_t* s;
    ~SurfaceOwner() { cairo_surface_destroy(s); }
};
struct ContextOwner {
    cairo_t* cr;
    ~ContextOwner() { cairo_destroy(cr); }
};

/// Makes c the source of what cr draws next.
void colour(cairo_t* cr, const Rgb& c);

/// Text that cairo accepts: control bytes and bytes that are not part of
/// well-formed UTF-8 (file names and header bytes can hold anything) become '?'.
std::string showable(const std::string& s);

/// Advance of s in the current font of cr.
double text_width(cairo_t* cr, const std::string& s);

/// Text with its baseline at y; align 0 puts x at the left end, 0.5 at the
/// middle, 1 at the right end.  Returns the ink's box.
TextBox text(cairo_t* cr, double x, double y, const std::string& s, double align);

/// s cut (at a character boundary) and ended with "..." to fit width pixels.
std::string fit(cairo_t* cr, std::string s, double width);

/// v printed with a printf format that takes one double.
std::string number(const char* format, double v);

/// path after its last '/'.
std::string base_name(const std::string& path);

}  // namespace tavoinfo::draw

#endif  // TAVOINFO_PLOT_DRAW_H
