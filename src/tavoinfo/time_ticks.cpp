// tavoinfo --plot: tick places and labels of the station-time and sound axes.
#include "time_ticks.h"

#include <cmath>
#include <cstdio>

namespace tavoinfo {

namespace {

const double DAY = 86400;
// Bounds the tick search and the number of ticks, whatever the input.
const int MAX_STEP_TRIES = 80;
const long long MAX_TICKS = 10000;

// The n-th step of the station-time ladder, n >= 0.
double time_step(int n)
{
    static const double below_a_day[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05,  0.1,   0.2,  0.5,
                                         1,     2,     5,     10,   15,   30,    60,    120,  300,
                                         600,   900,   1800,  3600, 7200, 10800, 21600, 43200};
    const int count = sizeof below_a_day / sizeof below_a_day[0];
    if (n < count)
        return below_a_day[n];
    static const double mantissa[] = {1, 2, 5};
    return DAY * mantissa[(n - count) % 3] * std::pow(10.0, (n - count) / 3);
}

// The n-th step of the sound ladder, n >= 0.
double sound_step(int n)
{
    static const double below_an_hour[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1,   2,   5,
                                           10,   15,   30,   60,  120, 300, 600, 900, 1800};
    const int count = sizeof below_an_hour / sizeof below_an_hour[0];
    if (n < count)
        return below_an_hour[n];
    static const double mantissa[] = {1, 2, 5};
    return 3600 * mantissa[(n - count) % 3] * std::pow(10.0, (n - count) / 3);
}

// Smallest ladder step whose ticks stand min_spacing pixels apart; 0 when
// the ladder runs out.
double choose_step(double (*ladder)(int), double pixels_per_second, double min_spacing)
{
    for (int n = 0; n < MAX_STEP_TRIES; ++n)
        if (ladder(n) * pixels_per_second >= min_spacing)
            return ladder(n);
    return 0;
}

// Digits after the decimal point that a step needs (0 to 3).
int decimals_for(double step)
{
    int d = 0;
    for (double s = step; d < 3 && s < 0.999; s *= 10)
        ++d;
    return d;
}

// Year, month, day of a day count from 1970-01-01 (proleptic Gregorian).
void civil_from_days(long long z, long long& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

}  // namespace

std::string day_name(long long day, AxisClock clock)
{
    char buf[64];
    if (clock == AxisClock::Utc) {
        long long y = 0;
        unsigned m = 0, d = 0;
        civil_from_days(day, y, m, d);
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", y, m, d);
    } else {
        std::snprintf(buf, sizeof buf, "day %lld", day);
    }
    return buf;
}

namespace {

// A time of day or a span as [H]H:MM[:SS[.f]] from a count of 10^-decimals
// seconds; hours are padded to two digits when two_digit_hours.
std::string clock_text(long long units, int decimals, bool seconds, bool two_digit_hours,
                       bool hours)
{
    long long scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const long long whole = units / scale;
    const long long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    char buf[64];
    int n = 0;
    if (hours)
        n = std::snprintf(buf, sizeof buf, two_digit_hours ? "%02lld:%02lld" : "%lld:%02lld", h, m);
    else
        n = std::snprintf(buf, sizeof buf, "%lld", m + 60 * h);
    if (seconds && n > 0)
        n += std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ":%02lld", s);
    if (decimals > 0 && n > 0)
        std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ".%0*lld", decimals,
                      units % scale);
    return buf;
}

// Multiples of step from `from` to `to`, at most MAX_TICKS of them.
std::vector<double> multiples(double from, double to, double step)
{
    std::vector<double> at;
    const double first = std::ceil(from / step - 1e-9);
    for (long long k = 0; k < MAX_TICKS; ++k) {
        const double t = (first + static_cast<double>(k)) * step;
        if (t > to + step * 1e-9)
            break;
        at.push_back(t);
    }
    return at;
}

bool usable(double from, double to, double pixels_per_second, double min_spacing)
{
    return std::isfinite(from) && std::isfinite(to) && from <= to && pixels_per_second > 0 &&
           std::isfinite(pixels_per_second) && min_spacing > 0;
}

}  // namespace

std::vector<Tick> time_ticks(double from, double to, double pixels_per_second, double min_spacing,
                             AxisClock clock)
{
    std::vector<Tick> ticks;
    if (!usable(from, to, pixels_per_second, min_spacing))
        return ticks;
    const double step = choose_step(time_step, pixels_per_second, min_spacing);
    if (step == 0)
        return ticks;
    const int decimals = decimals_for(step);
    const long long scale = static_cast<long long>(std::llround(std::pow(10.0, decimals)));
    const long long units_per_day = 86400 * scale;
    long long previous_day = 0;
    for (const double t : multiples(from, to, step)) {
        const long long units = std::llround(t * static_cast<double>(scale));
        long long day = units / units_per_day;
        long long of_day = units % units_per_day;
        if (of_day < 0) {
            of_day += units_per_day;
            --day;
        }
        Tick tick;
        tick.at = t;
        if (step >= DAY) {
            tick.label = day_name(day, clock);
        } else {
            tick.label = clock_text(of_day, decimals, std::fmod(step, 60) != 0, true, true);
            const bool first = ticks.empty();
            if ((first || day != previous_day) && (clock == AxisClock::Utc || day != 0))
                tick.day = day_name(day, clock);
        }
        previous_day = day;
        ticks.push_back(tick);
    }
    return ticks;
}

std::vector<Tick> sound_ticks(double from, double to, double pixels_per_second, double min_spacing)
{
    std::vector<Tick> ticks;
    if (!usable(from, to, pixels_per_second, min_spacing) || from < 0)
        return ticks;
    const double step = choose_step(sound_step, pixels_per_second, min_spacing);
    if (step == 0)
        return ticks;
    const int decimals = decimals_for(step);
    const double scale = std::pow(10.0, decimals);
    const bool hours = to >= 3600;
    for (const double t : multiples(from, to, step)) {
        Tick tick;
        tick.at = t;
        tick.label = clock_text(std::llround(t * scale), decimals, true, false, hours);
        ticks.push_back(tick);
    }
    return ticks;
}

std::string short_duration(double seconds)
{
    const double a = std::fabs(seconds);
    char buf[64];
    if (a < 1)
        std::snprintf(buf, sizeof buf, "%.0f ms", seconds * 1000);
    else if (a < 60)
        std::snprintf(buf, sizeof buf, "%.1f s", seconds);
    else if (a < 3600)
        std::snprintf(buf, sizeof buf, "%.1f min", seconds / 60);
    else if (a < DAY)
        std::snprintf(buf, sizeof buf, "%.1f h", seconds / 3600);
    else
        std::snprintf(buf, sizeof buf, "%.1f d", seconds / DAY);
    return buf;
}

}  // namespace tavoinfo
