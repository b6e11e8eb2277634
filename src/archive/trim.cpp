// libtavo_archive: the samples of a run of records that lie in a window.
#include <algorithm>
#include <cmath>

#include "archive.h"

namespace tavo::archive {

namespace {

// The first sample index of the run at or after time t: the smallest i with
// run_start + i / frequency >= t, a millionth of a sample of slack for the
// rounding of the product.
long long first_at(double run_start, double frequency, std::int64_t t)
{
    return static_cast<long long>(
        std::ceil((static_cast<double>(t) - run_start) * frequency - 1e-6));
}

}  // namespace

SampleRange samples_in_window(double run_start, double frequency, long long first, long long count,
                              const Window& window)
{
    const long long last = first + count;
    const long long begin = std::clamp(first_at(run_start, frequency, window.from), first, last);
    const long long end = std::clamp(first_at(run_start, frequency, window.to), begin, last);
    return {begin, end};
}

}  // namespace tavo::archive
