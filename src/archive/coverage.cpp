// libtavo_archive: the coverage of a window by the records read, and the
// lines that tell it.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "archive.h"
#include "civil.h"

namespace tavo::archive {

namespace {

std::int64_t nearest_second(double t)
{
    return static_cast<std::int64_t>(std::floor(t + 0.5));
}

// Every run of every file, in time order.
std::vector<Span> all_runs(const std::vector<FileRecords>& files)
{
    std::vector<Span> runs;
    for (const FileRecords& f : files)
        runs.insert(runs.end(), f.runs.begin(), f.runs.end());
    std::stable_sort(runs.begin(), runs.end(),
                     [](const Span& a, const Span& b) { return a.start < b.start; });
    return runs;
}

// The stretches longer than GAP_SLACK that no run covers.
std::vector<NoData> uncovered(const Window& w, const std::vector<Span>& runs)
{
    std::vector<NoData> stretches;
    double covered_to = static_cast<double>(w.from);
    const double end = static_cast<double>(w.to);
    for (const Span& r : runs) {
        const double start = std::min(r.start, end);
        if (start - covered_to > GAP_SLACK)
            stretches.push_back({covered_to, start});
        covered_to = std::max(covered_to, r.end);
    }
    if (end - covered_to > GAP_SLACK)
        stretches.push_back({covered_to, end});
    return stretches;
}

// The union of runs in time order, as disjoint spans in time order.
std::vector<Span> merged(const std::vector<Span>& runs)
{
    std::vector<Span> out;
    for (const Span& r : runs) {
        if (!out.empty() && r.start <= out.back().end)
            out.back().end = std::max(out.back().end, r.end);
        else
            out.push_back(r);
    }
    return out;
}

// The window's slots without a file named for them that the data cover less
// than half of (of their part inside the window).
std::vector<std::int64_t> missing_slots(const Window& w, const std::vector<Span>& runs,
                                        std::vector<std::int64_t> named)
{
    std::sort(named.begin(), named.end());
    const std::vector<Span> data = merged(runs);
    std::vector<std::int64_t> missing;
    std::size_t next = 0;  // first span that may reach the current slot
    for (std::int64_t s = civil::floor_div(w.from, SLOT_SECONDS) * SLOT_SECONDS; s < w.to;
         s += SLOT_SECONDS) {
        const double begin = static_cast<double>(std::max(s, w.from));
        const double end = static_cast<double>(std::min(s + SLOT_SECONDS, w.to));
        while (next < data.size() && data[next].end <= begin)
            ++next;
        double covered = 0;
        for (std::size_t i = next; i < data.size() && data[i].start < end; ++i)
            covered += std::min(end, data[i].end) - std::max(begin, data[i].start);
        if (2 * covered < end - begin && !std::binary_search(named.begin(), named.end(), s))
            missing.push_back(s);
    }
    return missing;
}

}  // namespace

std::int64_t NoData::shown_from() const
{
    return nearest_second(from);
}

std::int64_t NoData::shown_to() const
{
    return nearest_second(to);
}

std::int64_t NoData::shown_seconds() const
{
    return shown_to() - shown_from();
}

Coverage measure_coverage(const Window& window, const std::vector<FileRecords>& files,
                          const std::vector<std::int64_t>& named_slots)
{
    Coverage c;
    c.window_seconds = window.seconds();
    for (const FileRecords& f : files)
        c.records += f.records;
    const std::vector<Span> runs = all_runs(files);
    c.no_data = uncovered(window, runs);
    double missing = 0;
    for (const NoData& s : c.no_data)
        missing += s.to - s.from;
    const double total = static_cast<double>(c.window_seconds);
    c.covered_percent = 100.0 * (total - missing) / total;
    c.missing_slots = missing_slots(window, runs, named_slots);
    return c;
}

std::string no_data_text(const NoData& s)
{
    return "from " + format_time(s.shown_from()) + " to " + format_time(s.shown_to()) + " (" +
           std::to_string(s.shown_seconds()) + " s)";
}

std::string no_data_warnings(const std::vector<NoData>& stretches, std::size_t most)
{
    std::string text;
    for (std::size_t i = 0; i < stretches.size() && i < most; ++i)
        text += "Warning: no data " + no_data_text(stretches[i]) + "\n";
    if (stretches.size() > most)
        text += "Warning: and " + std::to_string(stretches.size() - most) +
                " more stretches without data\n";
    return text;
}

std::string percent_text(double percent)
{
    // Hundredths cut towards zero; a whisker of rounding error below a whole
    // hundredth does not cut it.
    const double hundredths = std::floor(percent * 100.0 + 1e-6);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", hundredths / 100.0);
    return buf;
}

}  // namespace tavo::archive
