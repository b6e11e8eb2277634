// libtavo_archive: times and durations as text, and the header line's date.
#include <cstdio>
#include <cstring>

#include "archive.h"
#include "civil.h"

namespace tavo::archive {

namespace {

// The n decimal digits of text at pos, as a number; false when any of them
// is not a digit or the text is shorter.
bool digits(const std::string& text, std::size_t pos, std::size_t n, int& value)
{
    if (text.size() < pos + n)
        return false;
    value = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool valid_date(const civil::Date& d)
{
    return d.month >= 1 && d.month <= 12 && d.day >= 1 &&
           d.day <= civil::days_in_month(d.year, d.month);
}

// "YYYY-MM-DD" at the start of text.
bool read_date(const std::string& text, civil::Date& date)
{
    int y = 0;
    if (!digits(text, 0, 4, y) || !digits(text, 5, 2, date.month) ||
        !digits(text, 8, 2, date.day) || text[4] != '-' || text[7] != '-')
        return false;
    date.year = y;
    return valid_date(date);
}

// "Thh:mm" or "Thh:mm:ss" from position 10, then an optional 'Z' and the end.
bool read_clock(const std::string& text, int& seconds_of_day)
{
    int h = 0, m = 0, s = 0;
    if (text[10] != 'T' || !digits(text, 11, 2, h) || text.size() < 14 || text[13] != ':' ||
        !digits(text, 14, 2, m))
        return false;
    std::size_t end = 16;
    if (text.size() > end && text[end] == ':') {
        if (!digits(text, end + 1, 2, s))
            return false;
        end += 3;
    }
    if (text.size() > end && text[end] == 'Z')
        ++end;
    if (end != text.size() || h > 23 || m > 59 || s > 59)
        return false;
    seconds_of_day = h * 3600 + m * 60 + s;
    return true;
}

}  // namespace

bool parse_time(const std::string& text, std::int64_t& seconds)
{
    civil::Date date;
    if (!read_date(text, date))
        return false;
    int clock = 0;
    if (text.size() != 10 && !read_clock(text, clock))
        return false;
    seconds = civil::days_from_date(date) * DAY_SECONDS + clock;
    return true;
}

std::string format_time(std::int64_t seconds)
{
    const std::int64_t day = civil::floor_div(seconds, DAY_SECONDS);
    const std::int64_t in_day = seconds - day * DAY_SECONDS;
    const civil::Date d = civil::date_from_days(day);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02d:%02d:%02dZ",
                  static_cast<long long>(d.year), d.month, d.day, static_cast<int>(in_day / 3600),
                  static_cast<int>(in_day / 60 % 60), static_cast<int>(in_day % 60));
    return buf;
}

bool parse_duration(const std::string& text, std::int64_t& seconds)
{
    const std::size_t n = text.size();
    if (n < 2 || n > 10)
        return false;
    std::int64_t number = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        number = number * 10 + (text[i] - '0');
    }
    const char* units = "smhd";
    const std::int64_t unit_seconds[] = {1, 60, 3600, DAY_SECONDS};
    const char* unit = std::strchr(units, text[n - 1]);
    if (number == 0 || unit == nullptr || *unit == '\0')
        return false;
    seconds = number * unit_seconds[unit - units];
    return true;
}

bool parse_header_date(const char* token, std::int64_t& midnight)
{
    int y = 0, m = 0, d = 0, used = 0;
    char s1 = 0, s2 = 0;
    const std::size_t n = std::strlen(token);
    const bool separated =
        std::sscanf(token, "%4d%c%2d%c%2d%n", &y, &s1, &m, &s2, &d, &used) == 5 && s1 == s2 &&
        std::strchr("-/.", s1) != nullptr;
    const bool compact = n == 8 && std::sscanf(token, "%4d%2d%2d%n", &y, &m, &d, &used) == 3;
    if (!(separated || compact) || static_cast<std::size_t>(used) != n || m < 1 || m > 12 ||
        d < 1 || d > 31)
        return false;
    midnight = civil::days_from_date({y, m, d}) * DAY_SECONDS;
    return true;
}

}  // namespace tavo::archive
