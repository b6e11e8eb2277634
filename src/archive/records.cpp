// libtavo_archive: the station time of the records of a file, and what a
// file's records give a window.
#include <algorithm>
#include <cmath>
#include <memory>

#include "archive.h"

namespace tavo::archive {

namespace {

std::string unplaceable(const std::string& name, const char* why)
{
    return "Error: " + name + " " + why + " and cannot be placed in the window\n";
}

}  // namespace

std::string RecordClock::begin_file(const Zeltra::ZELTRA& z, const std::string& name)
{
    have_last_ = false;
    date_offset_ = 0;
    record_seconds_ = 0;
    if (!z.is_newfile())
        return unplaceable(name, "has no time stamps");
    const double f = z.get_frequency();
    if (!(f > 0) || !std::isfinite(f))
        return unplaceable(name, "has no sampling frequency");
    if (!z.is_unixtime() && z.get_start_of_day() == 0 &&
        !parse_header_date(z.get_date_from_comment(), date_offset_))
        return unplaceable(name, "gives no date");
    record_seconds_ = static_cast<double>(z.get_length()) / f;
    return "";
}

std::int64_t RecordClock::stamp(const Zeltra::ZELTRA& z)
{
    const std::int64_t raw = static_cast<std::int64_t>(z.get_tavotime(0)) + date_offset_;
    // Time runs on by the step the reader's gap rule measures, so it follows
    // the records past midnight.
    last_time_ = have_last_ ? last_time_ + Zeltra::stamp_step(last_raw_, raw) : raw;
    last_raw_ = raw;
    have_last_ = true;
    return last_time_;
}

void FileRecords::add(const Window& w, const Span& r)
{
    ++records_read;
    if (!(r.start < static_cast<double>(w.to) && r.end > static_cast<double>(w.from)))
        return;
    ++records;
    if (!runs.empty() && r.start >= runs.back().start && r.start - runs.back().end <= GAP_SLACK) {
        runs.back().end = std::max(runs.back().end, r.end);
        return;
    }
    runs.push_back(r);
}

FileRecords read_records(const std::string& path, const Window& window,
                         Zeltra::MessageSink& messages)
{
    FileRecords f;
    f.path = path;
    std::unique_ptr<Zeltra::ZELTRA> z;
    RecordClock clock;
    const auto take = [&] {
        const double start = static_cast<double>(clock.stamp(*z));
        f.add(window, {start, start + clock.record_seconds()});
    };
    bool held = false;
    try {
        z.reset(Zeltra::detect(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false, messages));
        f.error = clock.begin_file(*z, path);
        if (!f.error.empty())
            return f;
        for (;;) {
            held = z->holds_next();
            if (z->getdata() == -1)
                break;
            take();
        }
    } catch (const Zeltra::Error& e) {
        f.error = e.message();
        // A look-ahead record moves into `current` before the read that
        // failed: it was read whole, so it counts.
        if (held)
            take();
    }
    return f;
}

}  // namespace tavo::archive
