#include "reference.h"

#include "dsp/filter.h"
#include "dsp/stages.h"

namespace tavo_test {

void resample_channel(const int16_t* in, long n, int u, int16_t* out)
{
    if (n <= 0)
        return;
    for (long k = 1; k < n; k++)
        for (int j = 0; j < u; j++)
            out[(k - 1) * u + j] = static_cast<int16_t>(
                in[k - 1] + (in[k] - in[k - 1]) * (static_cast<double>(j) / u));
    for (int j = 0; j < u; j++)
        out[(n - 1) * u + j] = in[n - 1];
}

long filter_channel_reference(int16_t* x, long n)
{
    Initialize(0.0);
    long clipped = 0;
    for (long j = 0; j < n; j++) {
        const double y = Filter(x[j]) + 0.5;
        x[j] = tavo::dsp::saturate16(static_cast<long long>(y), &clipped);
    }
    return clipped;
}

}  // namespace tavo_test
