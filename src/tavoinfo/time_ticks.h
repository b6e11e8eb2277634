// tavoinfo --plot: where the ticks of a time axis go and what they say.
#ifndef TAVOINFO_TIME_TICKS_H
#define TAVOINFO_TIME_TICKS_H

#include <string>
#include <vector>

namespace tavoinfo {

/// What the seconds of a time axis count.
enum class AxisClock {
    Utc,      ///< seconds since the Unix epoch, shown as UTC
    DayTime,  ///< seconds from midnight of the recording day (no date known)
    Elapsed,  ///< seconds from the start of the recording
};

/// One tick: its place in axis seconds, its label and, under the label, the
/// day it falls on: a UTC date on the first tick and wherever the day
/// changes; "day N" wherever the day changes to one other than day 0 (the
/// recording day, or the first 24 h of elapsed time).  Empty otherwise.
struct Tick {
    double at = 0;
    std::string label;
    std::string day;
};

/// Ticks at round station times (multiples of 1, 2, 5, 10, 15, 30 s, of 1, 2,
/// 5, 10, 15, 30 min, of 1, 2, 3, 6, 12 h or of 1, 2, 5, 10, ... days; below
/// one second 1, 2, 5 times a power of ten) between `from` and `to`,
/// choosing the smallest step whose ticks stand at least `min_spacing`
/// pixels apart at `pixels_per_second`.  Labels are "HH:MM" (steps of whole
/// minutes), "HH:MM:SS" (whole seconds), "HH:MM:SS.s" (finer) or, for steps
/// of days, the day itself ("2014-03-15" or "day N").  Returns an empty list when the range is
/// empty or not finite.
std::vector<Tick> time_ticks(double from, double to, double pixels_per_second, double min_spacing,
                             AxisClock clock);

/// Ticks for seconds of sound between `from` and `to` (at least 0): steps of
/// 1, 2, 5 times a power of ten below 10 s, then 10, 15, 30 s, 1, 2, 5, 10,
/// 15, 30 min, 1, 2, 5, 10 h ...; labels "M:SS" (with hours, "H:MM:SS"),
/// with tenths or hundredths for finer steps.
std::vector<Tick> sound_ticks(double from, double to, double pixels_per_second, double min_spacing);

/// Name of day `day` counted from the axis zero: a UTC date "2014-03-15"
/// (day 0 = 1970-01-01), or "day N" for the other clocks.
std::string day_name(long long day, AxisClock clock);

/// A length of time for a label: "850 ms", "33.6 s", "12.5 min", "3.2 h",
/// "2.1 d"; a negative length keeps its sign.
std::string short_duration(double seconds);

}  // namespace tavoinfo

#endif  // TAVOINFO_TIME_TICKS_H
