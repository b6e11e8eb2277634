#include "sound_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <kemra/libkemra.h>

namespace {

constexpr int LARGEST_UPSAMPLING = 1000000;

// The value of option `name`: true with *value set when it has one; false
// with *error set when the option stands without a value; false and no
// error when it is absent.
bool value_of(int argc, char** argv, const char* name, const char** value, std::string* error)
{
    char* text = nullptr;
    if (get_option_string(argc, argv, name, &text) == 1) {
        *value = text;
        return true;
    }
    if (get_option(argc, argv, name, 1, 0) == 1)
        *error = std::string("Error: --") + name + " needs a value\n";
    return false;
}

// A positive finite number written in full (no trailing text).
bool parse_positive(const char* text, double* value)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(v) || !(v > 0))
        return false;
    *value = v;
    return true;
}

std::string read_resampler(int argc, char** argv, Resampler* resampler)
{
    const char* text = nullptr;
    std::string error;
    if (!value_of(argc, argv, "resampler", &text, &error))
        return error;
    if (std::strcmp(text, "linear") == 0)
        *resampler = Resampler::LINEAR;
    else if (std::strcmp(text, "sinc") == 0)
        *resampler = Resampler::SINC;
    else
        return std::string("Error: unknown resampler '") + text + "' (linear or sinc)\n";
    return "";
}

std::string read_speedup(int argc, char** argv, double* speedup)
{
    const char* text = nullptr;
    std::string error;
    if (!value_of(argc, argv, "speedup", &text, &error))
        return error;
    if (!parse_positive(text, speedup))
        return std::string("Error: speed-up must be a positive number (--speedup ") + text + ")\n";
    return "";
}

std::string read_format(int argc, char** argv, SampleFormat* sample_format)
{
    const char* text = nullptr;
    std::string error;
    if (!value_of(argc, argv, "format", &text, &error))
        return error;
    if (!parse_sample_format(text, sample_format))
        return std::string("Error: unknown sample format '") + text + "' (s16, s24 or f32)\n";
    return "";
}

}  // namespace

std::string read_sound_options(int argc, char** argv, SoundOptions* options)
{
    std::string error = read_resampler(argc, argv, &options->resampler);
    if (error.empty())
        error = read_speedup(argc, argv, &options->speedup);
    if (error.empty())
        error = read_format(argc, argv, &options->format);
    return error;
}

std::string check_speedup_alone(const SoundOptions& options, bool upsample_given)
{
    return upsample_given && options.speedup > 0 ? "Error: give -u or --speedup, not both\n" : "";
}

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
