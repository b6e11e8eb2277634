// libzeltra: the record stream.  Each getdata delivers one record in
// `current`, reading the next one ahead into `next`: records contiguous in
// time are joined, and every look-ahead record that cannot be joined counts
// as a time gap.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "internal.h"

namespace Zeltra {

using detail::Trace;

time_t stamp_step(time_t earlier, time_t later)
{
    time_t diff = later - earlier;
    // A stamp almost a day earlier lies past midnight on the next day.
    if (diff < -86000)
        diff += ZELTRA::SECS_PER_DAY;
    return diff;
}

bool is_time_gap(time_t step, size_t length, double frequency)
{
    return std::fabs(static_cast<double>(step)) > static_cast<double>(length) / frequency + 2.0;
}

int ZELTRA::getdata()
{
    sink.flush();
    return read();
}

int ZELTRA::read()
{
    if (zeltra_debug)
        Trace(sink, __LINE__) << "is_next=" << is_next << "\n";
    if (is_next) {
        if (zeltra_debug)
            Trace(sink, __LINE__) << "Copy next to current\n";
        copy_next_to_current();
        is_next = false;
    } else {
        if (zeltra_debug)
            Trace(sink, __LINE__) << "\n";
        const int r = read(current, &time[0]);
        if (r != 0)
            return r;
    }
    readnext(next);
    use_next = false;
    if (is_next)
        use_next = can_we_use_next();
    return 0;
}

int ZELTRA::readnext(atype& nn)
{
    if (!concat)
        return 1;
    const int r = read(nn, &time[2]);
    is_next = (r == 0);
    if (zeltra_debug)
        Trace(sink, __LINE__) << "is_next=" << is_next << " ret = " << r << "\n";
    return r;
}

void ZELTRA::copy_next_to_current()
{
    for (int c = 0; c < 3; ++c)
        std::copy(next[c].begin(), next[c].begin() + static_cast<std::ptrdiff_t>(length),
                  current[c].begin());
    time[0] = time[2];
    time[1] = time[3];
}

void ZELTRA::extend_current()
{
    for (int c = 0; c < 3; ++c)
        std::copy(next[c].begin(), next[c].begin() + static_cast<std::ptrdiff_t>(length),
                  current[c].begin() + static_cast<std::ptrdiff_t>(length));
}

bool ZELTRA::time_is_ok()
{
    const bool gap =
        is_time_gap(stamp_step(get_tavotime(0), get_tavotimenext()), length, frequency);
    if (gap)
        ++timegaps;
    return gap;
}

bool ZELTRA::can_we_use_next()
{
    const bool use = !time_is_ok();
    if (use)
        extend_current();
    return use;
}

}  // namespace Zeltra
