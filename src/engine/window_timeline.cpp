#include "engine/window_timeline.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace tavo::engine {

namespace {

// A frame a millionth below a whole number is that number.
constexpr double FRAME_SLACK = 1e-6;

// The first output frame at or after `seconds` of sound time from the
// frame `base`, no further than `frames`.
unsigned long frame_after(const WindowSound& s, unsigned long long base, double seconds)
{
    const double into = std::ceil(seconds * s.frequency * s.up - FRAME_SLACK);
    const double f = static_cast<double>(base) + std::max(0.0, into);
    return static_cast<unsigned long>(std::min(f, static_cast<double>(s.frames)));
}

// The marks of a filled sound: every sample at its own time.
void mark_filled(const WindowSound& s, double step, std::vector<Marker>& out)
{
    const double from = static_cast<double>(s.window.from);
    for (double t = std::ceil(from / step) * step; t < static_cast<double>(s.window.to);
         t += step) {
        const unsigned long frame = frame_after(s, 0, t - from);
        if (frame >= s.frames)
            break;
        out.push_back(Marker{frame, frame, marker_time(static_cast<time_t>(t))});
    }
    for (const archive::NoData& d : s.no_data)
        out.push_back(Marker{frame_after(s, 0, d.from - from), frame_after(s, 0, d.to - from),
                             "gap " + std::to_string(d.shown_seconds()) + " s silence"});
}

// The marks of a joined sound: each run of samples follows its own first
// time; a mark that falls between two runs lands on the first frame of the
// later one.
void mark_joined(const WindowSound& s, double step, std::vector<Marker>& out)
{
    const std::vector<SoundAnchor>& a = s.anchors;
    if (a.empty())
        return;
    double t = std::ceil(a.front().time / step) * step;
    for (std::size_t k = 0; k < a.size(); k++) {
        const unsigned long long first = frame_of(a[k].position, s.up);
        const unsigned long long last =
            k + 1 < a.size() ? frame_of(a[k + 1].position, s.up) : s.frames;
        for (; t < static_cast<double>(s.window.to); t += step) {
            const unsigned long frame = frame_after(s, first, t - a[k].time);
            if (frame >= last)
                break;
            out.push_back(Marker{frame, frame, marker_time(static_cast<time_t>(t))});
        }
    }
    for (const archive::NoData& d : s.no_data) {
        auto after = std::find_if(a.begin(), a.end(), [&](const SoundAnchor& x) {
            return x.time >= d.to - archive::GAP_SLACK;
        });
        const unsigned long frame = static_cast<unsigned long>(
            after == a.end() ? s.frames : frame_of(after->position, s.up));
        out.push_back(
            Marker{frame, frame, "gap " + std::to_string(d.shown_seconds()) + " s joined"});
    }
}

}  // namespace

AudioTimeline window_timeline(const WindowSound& s)
{
    AudioTimeline t;
    t.station = s.station;
    t.frequency = s.frequency;
    t.sources = s.sources;
    t.speedup = static_cast<double>(s.rate) / (s.frequency * s.up);
    t.dated = true;
    t.start = static_cast<time_t>(s.filled ? static_cast<double>(s.window.from)
                                           : std::floor(s.first_time));
    t.time_reference = time_reference(t.start, s.frequency, s.up);
    const double step = s.window.seconds() <= HOURLY_WINDOW_SECONDS ? 3600.0 : 86400.0;
    if (s.filled)
        mark_filled(s, step, t.markers);
    else
        mark_joined(s, step, t.markers);
    // Hours were added before gaps, so a stable sort keeps an hour first
    // when both fall on one frame.
    std::stable_sort(t.markers.begin(), t.markers.end(),
                     [](const Marker& a, const Marker& b) { return a.frame < b.frame; });
    return t;
}

}  // namespace tavo::engine
