#include "dsp/stages.h"

#include <cstdlib>

namespace tavo::dsp {

long remove_channel_offset(int16_t* x, long n)
{
    if (n <= 0)
        return 0;
    double sum = 0.0;
    for (long j = 0; j < n; j++)
        sum += x[j];
    const long long mean = static_cast<long long>(sum / n);
    long clipped = 0;
    for (long j = 0; j < n; j++)
        x[j] = saturate16(x[j] - mean, &clipped);
    return clipped;
}

long remove_channel_offset_around(int16_t* x, long n, const std::vector<SampleRun>& silent)
{
    double sum = 0.0;
    long counted = 0;
    long from = 0;
    // Visits the samples between the silent runs, then the tail.
    auto each_sounding = [&](auto f) {
        from = 0;
        for (const SampleRun& run : silent) {
            for (long j = from; j < run.start && j < n; j++)
                f(j);
            from = run.start + run.count;
        }
        for (long j = from; j < n; j++)
            f(j);
    };
    each_sounding([&](long j) {
        sum += x[j];
        ++counted;
    });
    long clipped = 0;
    if (counted > 0) {
        const long long mean = static_cast<long long>(sum / counted);
        each_sounding([&](long j) { x[j] = saturate16(x[j] - mean, &clipped); });
    }
    for (const SampleRun& run : silent)
        for (long j = run.start; j < run.start + run.count && j < n; j++)
            x[j] = 0;
    return clipped;
}

int peak_abs(const int16_t* x, long n)
{
    int peak = 0;
    for (long j = 0; j < n; j++) {
        const int a = std::abs(static_cast<int>(x[j]));
        if (a > peak)
            peak = a;
    }
    return peak;
}

long scale_channel(int16_t* x, long n, int factor)
{
    long clipped = 0;
    for (long j = 0; j < n; j++)
        x[j] = saturate16(static_cast<long long>(x[j]) * factor, &clipped);
    return clipped;
}

}  // namespace tavo::dsp
