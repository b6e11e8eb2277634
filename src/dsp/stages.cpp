#include "stages.h"

#include <cmath>
#include <cstdlib>

#include "filter.h"

long remove_channel_offset(int16_t *x, long n)
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

int peak_abs(const int16_t *x, long n)
{
    int peak = 0;
    for (long j = 0; j < n; j++) {
        const int a = std::abs(static_cast<int>(x[j]));
        if (a > peak)
            peak = a;
    }
    return peak;
}

long scale_channel(int16_t *x, long n, int factor)
{
    long clipped = 0;
    for (long j = 0; j < n; j++)
        x[j] = saturate16(static_cast<long long>(x[j]) * factor, &clipped);
    return clipped;
}

void resample_channel(const int16_t *in, long n, int u, int16_t *out)
{
    if (n <= 0)
        return;
    for (long k = 1; k < n; k++)
        for (int j = 0; j < u; j++)
            out[(k - 1) * u + j] = interpolate(in[k - 1], in[k], j, u);
    for (int j = 0; j < u; j++)
        out[(n - 1) * u + j] = in[n - 1];
}

long filter_channel_reference(int16_t *x, long n)
{
    Initialize(0.0);
    long clipped = 0;
    for (long j = 0; j < n; j++) {
        const double y = Filter(x[j]) + 0.5;
        x[j] = saturate16(static_cast<long long>(y), &clipped);
    }
    return clipped;
}
