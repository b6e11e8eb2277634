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

// Seconds of [begin, end) that the disjoint spans `data` (in time order) cover.
double covered(const std::vector<Span>& data, double begin, double end)
{
    auto it = std::upper_bound(data.begin(), data.end(), begin,
                               [](double t, const Span& d) { return t < d.end; });
    double seconds = 0;
    for (; it != data.end() && it->start < end; ++it)
        seconds += std::min(end, it->end) - std::max(begin, it->start);
    return seconds;
}

// Which of the window's slots are missing, as runs.
class SlotSurvey {
public:
    SlotSurvey(const Window& w, const std::vector<Span>& runs, std::vector<std::int64_t> named)
        : w_(w), data_(merged(runs)), named_(std::move(named))
    {
        std::sort(named_.begin(), named_.end());
    }

    // Only the slots that hold an edge of the data or of the window, or that
    // a file is named for, need a look of their own: the slots between two
    // of them lie all inside one span of data or all outside every span, so
    // the first of them decides for all.
    std::vector<SlotRun> missing()
    {
        const std::int64_t first = slot_of(w_.from);
        const std::int64_t last = slot_of(w_.to - 1);
        std::vector<std::int64_t> marks{first, last};
        for (const Span& d : data_)
            for (const double t : {d.start, d.end})
                marks.push_back(slot_of(static_cast<std::int64_t>(std::clamp(
                    std::floor(t), static_cast<double>(first), static_cast<double>(last)))));
        for (const std::int64_t s : named_)
            if (s >= first && s <= last)
                marks.push_back(s);
        std::sort(marks.begin(), marks.end());
        marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
        for (std::size_t i = 0; i < marks.size(); ++i) {
            if (is_missing(marks[i]))
                add(marks[i], 1);
            const std::int64_t between = marks[i] + SLOT_SECONDS;
            if (i + 1 < marks.size() && between < marks[i + 1] && is_missing(between))
                add(between, (marks[i + 1] - between) / SLOT_SECONDS);
        }
        return runs_;
    }

private:
    static std::int64_t slot_of(std::int64_t t)
    {
        return civil::floor_div(t, SLOT_SECONDS) * SLOT_SECONDS;
    }

    bool is_missing(std::int64_t s) const
    {
        const double begin = static_cast<double>(std::max(s, w_.from));
        const double end = static_cast<double>(std::min(s + SLOT_SECONDS, w_.to));
        return 2 * covered(data_, begin, end) < end - begin &&
               !std::binary_search(named_.begin(), named_.end(), s);
    }

    void add(std::int64_t start, std::int64_t count)
    {
        if (!runs_.empty() && runs_.back().end() == start)
            runs_.back().count += count;
        else
            runs_.push_back({start, count});
    }

    const Window& w_;
    const std::vector<Span> data_;
    std::vector<std::int64_t> named_;
    std::vector<SlotRun> runs_;
};

}  // namespace

std::int64_t Coverage::missing_slot_count() const
{
    std::int64_t n = 0;
    for (const SlotRun& r : missing_slots)
        n += r.count;
    return n;
}

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
    c.missing_slots = SlotSurvey(window, runs, named_slots).missing();
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
