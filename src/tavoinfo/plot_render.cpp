// tavoinfo --plot: the picture painted on the surface of its file format.
#include "plot_render.h"

#include <cairo.h>

#include <string>

#include "picture_file.h"
#include "plot_painter.h"

namespace tavoinfo {

bool render_plot(const PlotPicture& picture, const PlotLayout& layout, const PlotOptions& options,
                 std::string& why, std::vector<TextBox>* placed)
{
    PictureFormat format;
    if (!picture_format_of(options.output, format)) {
        why = "--plot needs a .png, .svg or .pdf file name, not \"" + options.output + "\"";
        return false;
    }
    const auto paint = [&](cairo_t* cr) {
        draw::Painter(cr, picture, layout, options, placed).paint();
        return cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    };
    return write_picture(format, options.output, options.width, options.height, paint, why,
                         options.names);
}

}  // namespace tavoinfo
