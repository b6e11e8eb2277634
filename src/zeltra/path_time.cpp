// libzeltra: start of day and time base from a data file's path.
//
// Path convention: <year>/<month>/<yyyymmdd>/<station><y><mm><dd><slot>.ext,
// e.g. /data/2014/03/20140315/k4031516.dat; slot 00..47 counts half hours.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "internal.h"

namespace Zeltra {

namespace {

// The path without its directories and without its last extension.
std::string base_name(const char* fname)
{
    std::string s(fname);
    const std::string::size_type slash = s.rfind('/');
    if (slash != std::string::npos)
        s.erase(0, slash + 1);
    const std::string::size_type dot = s.rfind('.');
    if (dot != std::string::npos)
        s.erase(dot);
    return s;
}

// Both steps print the path and its base name before they look at them.
std::string echo_path(const char* fname, MessageSink& sink)
{
    std::string base = base_name(fname);
    sink.message(MessageKind::INFO, std::string(fname) + "\n" + base + "\n");
    return base;
}

}  // namespace

bool ZELTRA::set_time_start_of_day(const char* fname)
{
    echo_path(fname, sink);
    const char* s = fname;
    for (const char* slash = std::strchr(s, '/'); slash != nullptr; slash = std::strchr(s, '/')) {
        s = slash + 1;
        int y1 = 0, m1 = 0, y2 = 0, m2 = 0, d2 = 0, y = 0, m = 0, d = 0, t = 0;
        char c = 0;
        const int n = std::sscanf(s, "%04d%*c%02d%*c%04d%02d%02d%*c%c%1d%02d%02d%02d.", &y1, &m1,
                                  &y2, &m2, &d2, &c, &y, &m, &d, &t);
        if (n != 10 || y1 != y2 || y1 % 10 != y || m1 != m2 || m1 != m || d2 != d || t < 0 ||
            t > 47)
            continue;
        struct tm tmv;
        std::memset(&tmv, 0, sizeof tmv);
        tmv.tm_year = y1 - 1900;
        tmv.tm_mon = m1 - 1;
        tmv.tm_mday = d;
        tmv.tm_isdst = 0;
        start_of_day = std::mktime(&tmv);
        return true;
    }
    return false;
}

void ZELTRA::set_time_base(const char* fname)
{
    const std::string base = echo_path(fname, sink);
    char c = 0;
    int y = 0, m = 0, d = 0, t = 0;
    if (std::sscanf(base.c_str(), "%c%1d%02d%02d%02d", &c, &y, &m, &d, &t) == 5 && t >= 3 &&
        t <= 47)
        time_base = static_cast<time_t>(t / 2) * 3600;
    if (station == 0 && !base.empty())
        station = base[0];
}

}  // namespace Zeltra
