#include "engine/speedup.h"

#include <cmath>
#include <cstdio>

#include "dsp/linear_stream.h"
#include "dsp/sinc_stream.h"

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

double Resampling::frames_per_sample() const
{
    if (resampler == Resampler::SINC)
        return sinc ? out_rate / in_rate : 1.0;
    return upsample > 0 ? upsample : 1;
}

unsigned long long Resampling::frames(long samples) const
{
    if (resampler == Resampler::SINC && sinc)
        return dsp::SincStream::output_frames(samples, in_rate, out_rate);
    if (resampler == Resampler::SINC)
        return dsp::LinearStream::output_frames(samples, 0);
    return dsp::LinearStream::output_frames(samples, upsample);
}

std::string settle_resampling(const Options& o, double frequency, Resampling* r)
{
    r->resampler = o.resampler;
    r->upsample = o.upsample;
    r->sinc = o.upsample > 0;
    r->in_rate = 1.0;
    r->out_rate = static_cast<double>(o.upsample);
    if (!(o.speedup > 0))
        return "";
    const double ratio = speedup_ratio(o.rate, frequency, o.speedup);
    if (!(ratio > 0) || !std::isfinite(ratio)) {
        char line[160];
        std::snprintf(
            line, sizeof line,
            "Error: --speedup needs a positive sampling frequency (the data's is %g Hz)\n",
            frequency);
        return line;
    }
    if (o.resampler == Resampler::LINEAR) {
        r->upsample = whole_upsampling(ratio);
        return r->upsample == 0 ? whole_upsampling_error(o.speedup, ratio) : "";
    }
    r->sinc = true;
    r->in_rate = frequency * o.speedup;
    r->out_rate = static_cast<double>(o.rate);
    return "";
}

double largest_speedup(long samples, double frequency, unsigned long rate)
{
    // round(samples x rate / (frequency x S)) >= 1 while the ratio is at
    // least half a frame per samples; the steps of one unit in the last
    // place settle where rounding puts the edge.
    const auto frames = [&](double s) {
        return dsp::SincStream::output_frames(samples, frequency * s, static_cast<double>(rate));
    };
    double s = 2.0 * static_cast<double>(samples) * static_cast<double>(rate) / frequency;
    for (int step = 0; step < 8 && frames(s) == 0; ++step)
        s = std::nextafter(s, 0.0);
    for (int step = 0; step < 8 && frames(std::nextafter(s, INFINITY)) > 0; ++step)
        s = std::nextafter(s, INFINITY);
    return s;
}

std::string no_sound_error(const Options& o, double largest)
{
    char given[32], most[32];
    std::snprintf(given, sizeof given, "%g", o.speedup);
    std::snprintf(most, sizeof most, "%g", largest);
    return "Error: speed-up " + (o.speedup_text.empty() ? given : o.speedup_text) +
           " leaves no sound (0 frames); the largest for this input is " + most + "\n";
}

}  // namespace tavo::engine
