// libtavo_archive: the window options checked and read, and the texts that
// name a window.
#include <cctype>

#include "archive.h"

namespace tavo::archive {

namespace {

// The refusal when the options given do not hold together, "" when they do.
std::string missing_partner(const WindowRequest& r)
{
    if (r.archive && (!r.station || !r.from))
        return "Error: --archive needs --station and --from\n";
    if (r.station && !r.archive)
        return "Error: --station goes with --archive\n";
    if (r.to && !r.from)
        return "Error: --to needs --from\n";
    if (r.duration && !r.from)
        return "Error: --duration needs --from\n";
    if (!r.to && !r.duration)
        return "Error: --from needs --to or --duration\n";
    if (r.to && r.duration)
        return "Error: --to and --duration cannot be given together\n";
    if (r.archive && r.files_named)
        return "Error: --archive finds its files itself; name no files with it\n";
    return "";
}

std::string unreadable_time(const std::string& text)
{
    return "Error: cannot read the time \"" + text + "\" (use 2014-03-15T06:00:00Z)\n";
}

// Reads the values of a request whose options hold together.
std::string read_values(const WindowRequest& r, Window& w)
{
    if (r.archive) {
        if (r.archive->empty())
            return "Error: --archive needs a folder name\n";
        const std::string& s = *r.station;
        if (s.size() != 1 || !std::isalnum(static_cast<unsigned char>(s[0])))
            return "Error: --station needs one letter or digit, not \"" + s + "\"\n";
        w.root = *r.archive;
        w.station = s[0];
    }
    if (!parse_time(*r.from, w.from))
        return unreadable_time(*r.from);
    if (r.to && !parse_time(*r.to, w.to))
        return unreadable_time(*r.to);
    std::int64_t length = 0;
    if (r.duration && !parse_duration(*r.duration, length))
        return "Error: cannot read the duration \"" + *r.duration +
               "\" (use 72h, 30m, 90s or 3d)\n";
    if (r.duration)
        w.to = w.from + length;
    if (w.to <= w.from)
        return "Error: --from must be before --to\n";
    return "";
}

}  // namespace

std::string read_window(const WindowRequest& request, Window& window)
{
    std::string refusal = missing_partner(request);
    Window w;
    if (refusal.empty())
        refusal = read_values(request, w);
    if (refusal.empty())
        window = w;
    return refusal;
}

std::string no_data_error(const Window& w)
{
    std::string text = "Error: no data ";
    if (w.has_archive())
        text += std::string("of station ") + w.station + " ";
    text += "between " + format_time(w.from) + " and " + format_time(w.to);
    if (w.has_archive())
        text += " under " + w.root;
    return text + "\n";
}

std::string window_base_name(char station, std::int64_t from)
{
    std::string t = format_time(from);  // 2014-03-15T06:00:00Z
    std::string name(1, station);
    for (const char c : t)
        if (std::isdigit(static_cast<unsigned char>(c)) || c == 'T')
            name += c;
    return name;
}

}  // namespace tavo::archive
