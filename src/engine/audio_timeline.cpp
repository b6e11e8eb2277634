#include "engine/audio_timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tavo::engine {

namespace {

bool has_clock(double frequency)
{
    return frequency > 0 && std::isfinite(frequency);
}

std::string utc_text(time_t t, const char* format)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

std::string format_double(const char* format, double x)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, x);
    return buf;
}

// Markers at every whole UTC hour of station time, each at the first
// output frame whose station time has reached it. An hour that falls into
// a joined gap lands on the first frame after the gap; hours are never
// repeated when time steps back.
void add_hours(const std::vector<ClockAnchor>& anchors, long samples, double u,
               std::vector<Marker>* out)
{
    bool started = false;
    double hour = 0;
    for (std::size_t k = 0; k < anchors.size(); k++) {
        const ClockAnchor& a = anchors[k];
        const long end = k + 1 < anchors.size() ? anchors[k + 1].position : samples;
        if (!a.stamped || !has_clock(a.frequency) || end <= a.position)
            continue;
        if (!started) {
            hour = std::ceil(a.time / 3600) * 3600;
            started = true;
        }
        const double end_time = a.time + static_cast<double>(end - a.position) / a.frequency;
        const unsigned long first = frame_of(a.position, u);
        const unsigned long last = frame_of(end, u);
        for (; hour < end_time; hour += 3600) {
            // The tolerance keeps rounding noise from moving an hour that
            // falls on a frame to the frame after it.
            const double into = std::max(0.0, std::ceil((hour - a.time) * a.frequency * u - 1e-6));
            if (into >= static_cast<double>(last - first))
                break;
            const unsigned long frame = first + static_cast<unsigned long>(into);
            out->push_back(Marker{frame, frame, marker_time(static_cast<time_t>(hour))});
        }
    }
}

void add_gaps(const std::vector<ClockGap>& gaps, double u, std::vector<Marker>* out)
{
    for (const ClockGap& g : gaps) {
        const unsigned long frame = frame_of(g.position, u);
        const unsigned long end = frame_of(g.position + g.filled, u);
        out->push_back(Marker{frame, end,
                              "gap " + format_double("%.0f", g.missing) + " s " +
                                  (g.filled > 0 ? "silence" : "joined")});
    }
}

}  // namespace

unsigned long frame_of(long long position, double u)
{
    return static_cast<unsigned long>(std::llround(static_cast<double>(position) * u));
}

std::string marker_time(time_t t)
{
    return utc_text(t, "%Y-%m-%d %H:%MZ");
}

uint64_t time_reference(time_t start, double frequency, double up)
{
    const long long of_day = ((static_cast<long long>(start) % 86400) + 86400) % 86400;
    return static_cast<uint64_t>(std::llround(static_cast<double>(of_day) * frequency * up));
}

AudioTimeline time_map(const StationClock& clock, double up, unsigned long rate)
{
    AudioTimeline t;
    t.station = clock.station();
    t.frequency = clock.frequency();
    t.sources = clock.files();
    t.speedup = static_cast<double>(rate) / (t.frequency * up);
    const std::vector<ClockAnchor>& anchors = clock.anchors();
    if (!anchors.empty() && anchors.front().stamped && anchors.front().position == 0) {
        t.dated = true;
        t.start = static_cast<time_t>(std::floor(anchors.front().time));
        if (has_clock(t.frequency))
            t.time_reference = time_reference(t.start, t.frequency, up);
    }
    return t;
}

AudioTimeline make_timeline(const StationClock& clock, long samples, double up, unsigned long rate)
{
    AudioTimeline t = time_map(clock, up, rate);
    add_hours(clock.anchors(), samples, up, &t.markers);
    add_gaps(clock.gaps(), up, &t.markers);
    // Hours were added before gaps, so a stable sort keeps an hour first
    // when both fall on one frame.
    std::stable_sort(t.markers.begin(), t.markers.end(),
                     [](const Marker& a, const Marker& b) { return a.frame < b.frame; });
    return t;
}

std::string iso_time(time_t t)
{
    return utc_text(t, "%Y-%m-%dT%H:%M:%SZ");
}

std::string timeline_line(const AudioTimeline& t)
{
    return "Timeline: 1 s of audio = " + format_double("%g", t.speedup) + " s of station time, " +
           (t.dated ? "from " + iso_time(t.start) : std::string("start unknown")) + "\n";
}

std::string timeline_comment(const AudioTimeline& t)
{
    const std::string ratio =
        "1 s of audio = " + format_double("%g", t.speedup) + " s of station time";
    return t.dated ? "audio 0 s = " + iso_time(t.start) + "; " + ratio : ratio;
}

std::string label_file_text(const AudioTimeline& t, unsigned long rate)
{
    std::string text;
    const double r = static_cast<double>(rate);
    for (const Marker& m : t.markers)
        text += format_double("%.6f", static_cast<double>(m.frame) / r) + "\t" +
                format_double("%.6f", static_cast<double>(m.end) / r) + "\t" + m.text + "\n";
    return text;
}

}  // namespace tavo::engine
