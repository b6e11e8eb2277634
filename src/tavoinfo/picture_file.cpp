// tavoinfo --plot: the picture file, written atomically through cairo's
// stream writers.
#include "picture_file.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "common/atomic_file.h"
#include "plot_draw.h"

namespace tavoinfo {

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool ends_with(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The first bytes of a file, "" when it cannot be read.
std::string first_bytes(const std::string& path, std::size_t n)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes(n, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(n));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// Whether `bytes`, the start of a file, is the signature of `format`. An
// SVG file may open with a byte-order mark and blanks before its first tag.
bool has_signature(const std::string& bytes, PictureFormat format)
{
    switch (format) {
        case PictureFormat::PNG:
            return bytes.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) == 0;
        case PictureFormat::PDF:
            return bytes.compare(0, 5, "%PDF-") == 0;
        case PictureFormat::SVG:
            break;
    }
    std::size_t at = bytes.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;
    while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at])))
        ++at;
    return bytes.compare(at, 4, "<svg") == 0 || bytes.compare(at, 5, "<?xml") == 0;
}

bool same_file(const struct stat& a, const std::string& path)
{
    struct stat b;
    return ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The picture's file and the first failure of writing into it.
struct PictureOut {
    tavo::common::AtomicFile file;
    int error = 0;
    explicit PictureOut(tavo::NameWatch* watch) : file(watch) {}
};

cairo_status_t write_to(void* closure, const unsigned char* data, unsigned int length)
{
    PictureOut* out = static_cast<PictureOut*>(closure);
    if (!out->file.write(data, length)) {
        if (out->error == 0)
            out->error = errno != 0 ? errno : EIO;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

// The surface to paint on: an image for PNG, which is encoded once painted;
// a vector surface that streams into the file for SVG and PDF.
cairo_surface_t* create_surface(PictureFormat format, PictureOut& file, int width, int height)
{
    switch (format) {
        case PictureFormat::SVG: {
            cairo_surface_t* s =
                cairo_svg_surface_create_for_stream(write_to, &file, width, height);
            cairo_svg_surface_set_document_unit(s, CAIRO_SVG_UNIT_PX);
            return s;
        }
        case PictureFormat::PDF:
            return cairo_pdf_surface_create_for_stream(write_to, &file, width, height);
        case PictureFormat::PNG:
            break;
    }
    return cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
}

// Paints and completes the picture in `file`; the cairo status of the first
// failure otherwise.
cairo_status_t paint_into(PictureFormat format, PictureOut& file, int width, int height,
                          const PaintPicture& paint)
{
    draw::SurfaceOwner surface{create_surface(format, file, width, height)};
    cairo_status_t status = cairo_surface_status(surface.s);
    if (status != CAIRO_STATUS_SUCCESS)
        return status;
    {
        draw::ContextOwner cr{cairo_create(surface.s)};
        if (!paint(cr.cr) && cairo_status(cr.cr) == CAIRO_STATUS_SUCCESS)
            return CAIRO_STATUS_NO_MEMORY;
        status = cairo_status(cr.cr);
        if (status != CAIRO_STATUS_SUCCESS)
            return status;
    }
    if (format == PictureFormat::PNG) {
        cairo_surface_flush(surface.s);
        return cairo_surface_write_to_png_stream(surface.s, write_to, &file);
    }
    // Finishing a vector surface writes what it still holds.
    cairo_surface_finish(surface.s);
    return cairo_surface_status(surface.s);
}

}  // namespace

bool picture_format_of(const std::string& name, PictureFormat& format)
{
    const std::string n = lower(name);
    const struct {
        const char* extension;
        PictureFormat format;
    } known[] = {
        {".png", PictureFormat::PNG}, {".svg", PictureFormat::SVG}, {".pdf", PictureFormat::PDF}};
    for (const auto& k : known) {
        if (n.size() > 4 && ends_with(n, k.extension) && n[n.size() - 5] != '/') {
            format = k.format;
            return true;
        }
    }
    return false;
}

std::string refuse_picture_target(const std::string& name, const std::vector<std::string>& inputs)
{
    struct stat target;
    const bool exists = ::stat(name.c_str(), &target) == 0;
    if (exists)
        for (const std::string& input : inputs)
            if (same_file(target, input))
                return "--plot would overwrite the input " + input;
    PictureFormat format;
    if (!picture_format_of(name, format))
        return "--plot needs a .png, .svg or .pdf file name, not \"" + name + "\"";
    const bool there = exists || ::lstat(name.c_str(), &target) == 0;
    if (there && (!S_ISREG(target.st_mode) || !has_signature(first_bytes(name, 64), format)))
        return name + " exists and is not a picture; not overwritten";
    return "";
}

bool write_picture(PictureFormat format, const std::string& path, int width, int height,
                   const PaintPicture& paint, std::string& why, tavo::NameWatch* watch)
{
    PictureOut out(watch);
    if (!out.file.create(path)) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    errno = 0;
    const cairo_status_t status = paint_into(format, out, width, height, paint);
    if (status != CAIRO_STATUS_SUCCESS) {
        why = path + ": " +
              (out.error != 0 ? std::strerror(out.error) : cairo_status_to_string(status));
        return false;
    }
    if (!out.file.commit(tavo::common::AtomicFile::Sync::SYNC)) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace tavoinfo
