// tavoinfo --plot: the picture file. Its format follows the name (PNG, SVG
// or PDF), it never replaces an input or a file that is not a picture of
// that format, and it appears only when complete.
#ifndef TAVOINFO_PICTURE_FILE_H
#define TAVOINFO_PICTURE_FILE_H

#include <cairo.h>

#include <functional>
#include <string>
#include <vector>

#include <tavo/name_watch.h>

namespace tavoinfo {

enum class PictureFormat { PNG, SVG, PDF };

/// The format a picture name asks for through its extension (.png, .svg or
/// .pdf, in any case); false for any other name.
bool picture_format_of(const std::string& name, PictureFormat& format);

/// Why `name` must not be written as the picture of `inputs`, or "" when it
/// may.  Looks only at names and file signatures, in this order:
///   - "--plot would overwrite the input INPUT" when `name` is the same
///     file as an input (same device and inode, however it is spelt);
///   - "--plot needs a .png, .svg or .pdf file name, not \"NAME\"";
///   - "NAME exists and is not a picture; not overwritten" when something
///     is there that does not begin with the format's signature (PNG magic,
///     "<svg" or "<?xml", "%PDF-"), a directory included.
/// The texts carry no "Error: " prefix; names are quoted as given.
std::string refuse_picture_target(const std::string& name, const std::vector<std::string>& inputs);

/// Paints on the surface it is given; returns false when drawing failed.
using PaintPicture = std::function<bool(cairo_t*)>;

/// Draws a width x height picture with `paint` in `format` (PNG: an RGB
/// image surface; SVG and PDF: cairo's vector surfaces, one unit per pixel)
/// into an AtomicFile for `path`, synced to the disk before it is put in
/// place; `watch` follows its temporary names.  Returns true when
/// `path` now holds the whole picture.  Otherwise returns false with `why`
/// holding "<path>: <reason>", leaves no temporary file behind and leaves
/// an existing file at `path` as it was.  Prints nothing.
bool write_picture(PictureFormat format, const std::string& path, int width, int height,
                   const PaintPicture& paint, std::string& why, tavo::NameWatch* watch = nullptr);

}  // namespace tavoinfo

#endif  // TAVOINFO_PICTURE_FILE_H
