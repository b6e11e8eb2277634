#include "engine/speedup.h"

#include <cmath>
#include <cstdio>

namespace tavo::engine {

namespace {

constexpr int LARGEST_UPSAMPLING = 1000000;

}  // namespace

double speedup_ratio(unsigned long rate, double frequency, double speedup)
{
    return static_cast<double>(rate) / (frequency * speedup);
}

int whole_upsampling(double ratio)
{
    if (!(ratio >= 0.5 && ratio <= LARGEST_UPSAMPLING))
        return 0;
    const double u = std::floor(ratio + 0.5);
    return std::fabs(ratio - u) <= 1e-9 * u ? static_cast<int>(u) : 0;
}

std::string whole_upsampling_error(double speedup, double ratio)
{
    char line[256];
    std::snprintf(line, sizeof line,
                  "Error: speed-up %g needs a whole upsampling factor with the linear resampler "
                  "(U = %.3f); use --resampler sinc\n",
                  speedup, ratio);
    return line;
}

}  // namespace tavo::engine
