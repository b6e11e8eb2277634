// libtavo_archive: the files of a window, found by the archive's path
// convention ROOT/YYYY/MM/YYYYMMDD/<station><y><MM><DD><slot>.dat[.gz].
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "archive.h"
#include "civil.h"

namespace tavo::archive {

namespace fs = std::filesystem;

namespace {

// A file name that matched, before the choice of files.
struct Found {
    std::int64_t slot_start;
    bool gzip;
    std::string path;
};

// The folder walk: the day range searched, and what turned up in it.
struct Walk {
    const Window& window;
    std::int64_t first_day;  // first day folder searched
    std::int64_t last_day;   // last day folder searched
    std::vector<Found> found;
    std::string error;
};

// Whole number of exactly n decimal digits.
bool number(const std::string& s, std::size_t pos, std::size_t n, int& value)
{
    if (s.size() < pos + n)
        return false;
    value = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// The names of a folder's entries and whether each is a folder or a regular
// file (links followed); false when the folder exists but cannot be read.
struct Entry {
    std::string name;
    bool folder;
    bool file;
};
bool list(const fs::path& folder, std::vector<Entry>& entries, Walk& walk)
{
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    // A folder that is not there holds no files.
    if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory)
        return false;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code kind;
        entries.push_back(
            {it->path().filename().string(), it->is_directory(kind), it->is_regular_file(kind)});
    }
    if (ec)
        walk.error =
            "Error: cannot read the folder " + folder.string() + " (" + ec.message() + ")\n";
    return !ec;
}

// The slot of a file name in the day folder of `date`, or -1.
int slot_of(const std::string& name, char station, const civil::Date& date)
{
    int y = 0, m = 0, d = 0, slot = 0;
    if (name.size() < 12 || name[0] != station || !number(name, 1, 1, y) ||
        !number(name, 2, 2, m) || !number(name, 4, 2, d) || !number(name, 6, 2, slot))
        return -1;
    const std::string ext = name.substr(8);
    if (y != date.year % 10 || m != date.month || d != date.day || slot > 47 ||
        (ext != ".dat" && ext != ".dat.gz"))
        return -1;
    return slot;
}

void walk_day(const fs::path& folder, const civil::Date& date, Walk& walk)
{
    std::vector<Entry> entries;
    if (!list(folder, entries, walk))
        return;
    const std::int64_t midnight = civil::days_from_date(date) * DAY_SECONDS;
    for (const Entry& e : entries) {
        const int slot = e.file ? slot_of(e.name, walk.window.station, date) : -1;
        if (slot >= 0)
            walk.found.push_back({midnight + slot * SLOT_SECONDS,
                                  e.name.size() > 4 && e.name.substr(e.name.size() - 3) == ".gz",
                                  (folder / e.name).string()});
    }
}

void walk_month(const fs::path& folder, std::int64_t year, int month, Walk& walk)
{
    std::vector<Entry> entries;
    if (!list(folder, entries, walk))
        return;
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%04d%02d", static_cast<int>(year), month);
    for (const Entry& e : entries) {
        civil::Date date{year, month, 0};
        if (!e.folder || e.name.size() != 8 || e.name.compare(0, 6, prefix) != 0 ||
            !number(e.name, 6, 2, date.day) || date.day < 1 ||
            date.day > civil::days_in_month(year, month))
            continue;
        const std::int64_t day = civil::days_from_date(date);
        if (day >= walk.first_day && day <= walk.last_day)
            walk_day(folder / e.name, date, walk);
        if (!walk.error.empty())
            return;
    }
}

void walk_year(const fs::path& folder, std::int64_t year, Walk& walk)
{
    std::vector<Entry> entries;
    if (!list(folder, entries, walk))
        return;
    const civil::Date first = civil::date_from_days(walk.first_day);
    const civil::Date last = civil::date_from_days(walk.last_day);
    for (const Entry& e : entries) {
        int month = 0;
        if (!e.folder || e.name.size() != 2 || !number(e.name, 0, 2, month) || month < 1 ||
            month > 12)
            continue;
        const std::int64_t key = year * 12 + month;
        if (key >= first.year * 12 + first.month && key <= last.year * 12 + last.month)
            walk_month(folder / e.name, year, month, walk);
        if (!walk.error.empty())
            return;
    }
}

// The folder walk of the whole window, in no particular order.
void walk_root(Walk& walk)
{
    std::vector<Entry> entries;
    if (!list(walk.window.root, entries, walk))
        return;
    const std::int64_t first = civil::date_from_days(walk.first_day).year;
    const std::int64_t last = civil::date_from_days(walk.last_day).year;
    for (const Entry& e : entries) {
        int year = 0;
        if (!e.folder || e.name.size() != 4 || !number(e.name, 0, 4, year) || year < first ||
            year > last)
            continue;
        walk_year(fs::path(walk.window.root) / e.name, year, walk);
        if (!walk.error.empty())
            return;
    }
}

// Time order; of two files of one slot the plain one first.
bool earlier(const Found& a, const Found& b)
{
    return a.slot_start != b.slot_start ? a.slot_start < b.slot_start : a.gzip < b.gzip;
}

}  // namespace

Listing find_files(const Window& window)
{
    Walk walk{window,
              civil::floor_div(window.from, DAY_SECONDS) - LOOK_BACK_DAYS,
              civil::floor_div(window.to - 1, DAY_SECONDS),
              {},
              ""};
    walk_root(walk);
    Listing listing;
    if (!walk.error.empty()) {
        listing.error = walk.error;
        return listing;
    }
    std::sort(walk.found.begin(), walk.found.end(), earlier);
    for (const Found& f : walk.found) {
        if (f.slot_start >= window.to)
            break;
        if (!listing.files.empty() && listing.files.back().slot_start == f.slot_start) {
            listing.files.back().shadowed = f.path;
            continue;
        }
        // Of the files that start before the window only the last one stays.
        if (f.slot_start < window.from)
            listing.files.clear();
        listing.files.push_back({f.path, f.slot_start, ""});
    }
    return listing;
}

std::string slot_path(const std::string& root, char station, std::int64_t slot_start)
{
    const std::int64_t day = civil::floor_div(slot_start, DAY_SECONDS);
    const civil::Date d = civil::date_from_days(day);
    const int slot = static_cast<int>((slot_start - day * DAY_SECONDS) / SLOT_SECONDS);
    char tail[64];
    std::snprintf(tail, sizeof tail, "%04d/%02d/%04d%02d%02d/%c%d%02d%02d%02d.dat",
                  static_cast<int>(d.year), d.month, static_cast<int>(d.year), d.month, d.day,
                  station, static_cast<int>(d.year % 10), d.month, d.day, slot);
    return (fs::path(root) / tail).string();
}

std::string shadow_warning(const ArchiveFile& file)
{
    if (file.shadowed.empty())
        return "";
    return "Warning: both " + file.path + " and " + file.shadowed + " exist; reading " + file.path +
           "\n";
}

}  // namespace tavo::archive
