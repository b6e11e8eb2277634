// tavoinfo --plot: placing files and the runs between their gaps on one axis.
#include "timeline.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "archive/archive.h"

namespace tavoinfo {

namespace {

// Overlaps and holes up to this many seconds between runs are clock jitter,
// not steps back or gaps: the allowance the archive's coverage uses too.
const double SLACK = tavo::archive::GAP_SLACK;
const double LOWEST_FREQUENCY = 0.001, HIGHEST_FREQUENCY = 100000;

bool check_reports(const std::vector<FileReport>& reports, double& frequency, std::string& why)
{
    frequency = 0;
    for (const FileReport& r : reports) {
        if (!r.error.empty()) {
            why = r.path + ": " + r.error;
            return false;
        }
        if (r.records == 0)
            continue;
        if (!(r.frequency >= LOWEST_FREQUENCY && r.frequency <= HIGHEST_FREQUENCY)) {
            std::ostringstream o;
            o << r.path << ": sampling frequency " << r.frequency
              << " Hz is outside 0.001 to 100000 Hz";
            why = o.str();
            return false;
        }
        if (frequency != 0 && r.frequency != frequency) {
            std::ostringstream o;
            o << r.path << ": sampling frequency " << r.frequency << " Hz differs from the "
              << frequency << " Hz of the files before it";
            why = o.str();
            return false;
        }
        frequency = r.frequency;
    }
    if (frequency == 0) {
        why = "no file holds a record";
        return false;
    }
    return true;
}

AxisClock choose_clock(const std::vector<FileReport>& reports)
{
    bool dated = false, undated = false;
    for (const FileReport& r : reports) {
        if (r.records == 0)
            continue;
        if (r.time_words == TimeWords::None)
            return AxisClock::Elapsed;
        (r.has_date ? dated : undated) = true;
    }
    if (dated && undated)
        return AxisClock::Elapsed;
    return dated ? AxisClock::Utc : AxisClock::DayTime;
}

// Station-time layout of one file, continuing at `cursor` (the end of what
// is drawn so far, or -infinity before the first file).
void place_stamped(const FileReport& r, FileRuns& runs, Timeline& t, double& cursor)
{
    const double rs = runs.record_seconds;
    double shift = 0;  // added to this file's stamps after a step back
    for (std::size_t i = 0; i <= r.gaps.size(); ++i) {
        const double stamp = i == 0 ? r.first : r.gaps[i - 1].start + r.gaps[i - 1].seconds;
        const double end = i < r.gaps.size() ? r.gaps[i].start : r.last + rs;
        if (std::isfinite(cursor) && stamp + shift < cursor - SLACK) {
            t.steps.push_back(StepBack{cursor, cursor - (stamp + shift)});
            shift = cursor - stamp;
        } else if (i == 0 && std::isfinite(cursor) && stamp > cursor + SLACK) {
            t.gaps.push_back(ShadedGap{cursor, stamp - cursor, true});
        } else if (i > 0 && r.gaps[i - 1].seconds > 0) {
            t.gaps.push_back(ShadedGap{r.gaps[i - 1].start + shift, r.gaps[i - 1].seconds, false});
        }
        const double placed = std::isfinite(cursor) ? std::max(stamp + shift, cursor) : stamp;
        runs.run_starts.push_back(placed);
        cursor = std::max(end + shift, placed + rs);
        runs.run_ends.push_back(cursor);
    }
}

}  // namespace

bool lay_out(const std::vector<FileReport>& reports, Timeline& t, std::string& why)
{
    t = Timeline();
    if (!check_reports(reports, t.frequency, why))
        return false;
    t.clock = choose_clock(reports);
    double cursor = t.clock == AxisClock::Elapsed ? 0 : -INFINITY;
    for (const FileReport& r : reports) {
        FileRuns runs;
        runs.record_seconds = static_cast<double>(r.length) / t.frequency;
        if (r.records > 0) {
            if (t.clock == AxisClock::Elapsed) {
                runs.run_starts.push_back(cursor);
                cursor += static_cast<double>(r.records) * runs.record_seconds;
                runs.run_ends.push_back(cursor);
            } else {
                place_stamped(r, runs, t, cursor);
            }
        }
        t.files.push_back(runs);
    }
    for (const FileRuns& f : t.files)
        if (!f.run_starts.empty()) {
            t.start = f.run_starts.front();
            break;
        }
    t.end = cursor;
    return true;
}

void clip_to_window(Timeline& t, double from, double to)
{
    double first = to, last = from;
    for (const FileRuns& f : t.files)
        for (std::size_t k = 0; k < f.run_starts.size(); ++k)
            if (f.run_starts[k] < to && f.run_ends[k] > from) {
                first = std::min(first, std::max(f.run_starts[k], from));
                last = std::max(last, std::min(f.run_ends[k], to));
            }
    // The window's edges first: a gap of the data already shades them.
    std::vector<ShadedGap> gaps;
    bool lead = first - from > SLACK, trail = first < last && to - last > SLACK;
    for (const ShadedGap& g : t.gaps) {
        const double start = std::max(g.start, from);
        const double end = std::min(g.start + g.seconds, to);
        if (end <= start)
            continue;
        gaps.push_back(ShadedGap{start, end - start, g.between_files});
        lead = lead && start > from + SLACK;
        trail = trail && end < to - SLACK;
    }
    if (lead)
        gaps.insert(gaps.begin(), ShadedGap{from, first - from, true});
    if (trail)
        gaps.push_back(ShadedGap{last, to - last, true});
    std::vector<StepBack> steps;
    for (const StepBack& s : t.steps)
        if (s.at >= from && s.at < to)
            steps.push_back(s);
    t.gaps = gaps;
    t.steps = steps;
    t.start = from;
    t.end = to;
}

}  // namespace tavoinfo
