// tavoinfo --plot: a cairo surface written as a PNG file that appears only
// when complete.
#ifndef TAVOINFO_PNG_FILE_H
#define TAVOINFO_PNG_FILE_H

#include <cairo.h>

#include <string>

namespace tavoinfo {

/// Encodes `surface` as PNG into a new temporary file beside `path`
/// (".<name>.XXXXXX" in the same directory), flushes it to the disk, gives
/// it the mode a new file gets (0666 less the umask) and renames it to
/// `path`, replacing a file there.  Returns true when `path` now holds the
/// whole picture.  Otherwise returns false with `why` holding
/// "<path>: <reason>", leaves no temporary file behind and leaves an
/// existing file at `path` as it was.
bool write_png_file(cairo_surface_t* surface, const std::string& path, std::string& why);

}  // namespace tavoinfo

#endif  // TAVOINFO_PNG_FILE_H
