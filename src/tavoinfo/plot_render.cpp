// tavoinfo --plot: the picture painted on an image surface and written as PNG.
#include "plot_render.h"

#include <cairo.h>

#include <string>

#include "plot_painter.h"
#include "png_file.h"

namespace tavoinfo {

bool render_plot(const PlotPicture& picture, const PlotLayout& layout, const PlotOptions& options,
                 std::string& why)
{
    draw::SurfaceOwner surface{
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, options.width, options.height)};
    draw::ContextOwner cr{cairo_create(surface.s)};
    if (cairo_status(cr.cr) != CAIRO_STATUS_SUCCESS) {
        why = options.output + ": " + cairo_status_to_string(cairo_status(cr.cr));
        return false;
    }
    draw::Painter(cr.cr, picture, layout, options).paint();
    cairo_surface_flush(surface.s);
    if (cairo_status(cr.cr) != CAIRO_STATUS_SUCCESS) {
        why = options.output + ": " + cairo_status_to_string(cairo_status(cr.cr));
        return false;
    }
    return write_png_file(surface.s, options.output, why);
}

}  // namespace tavoinfo
