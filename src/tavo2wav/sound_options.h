// The options that choose how the sound is made: --resampler linear|sinc,
// --speedup S and --format s16|s24|f32, and the arithmetic of the speed-up.
// Without them the conversion is the linear one at -u's factor, written as
// 16-bit PCM.
#ifndef TAVO2WAV_SOUND_OPTIONS_H
#define TAVO2WAV_SOUND_OPTIONS_H

#include <string>

#include "sample_format.h"

enum class Resampler { LINEAR = 0, SINC = 1 };

struct SoundOptions {
    Resampler resampler = Resampler::LINEAR;
    double speedup = 0;  // times faster than real time; 0 when not given
    SampleFormat format = SampleFormat::S16;
};

// Reads the three options (each with its value as the next argument or
// after '=', any number of leading dashes) into *options, marking what it
// consumes. Returns "" when every value given is valid, otherwise the one
// line to print on standard error, such as
// "Error: unknown sample format 's8' (s16, s24 or f32)\n" or
// "Error: --format needs a value\n"; options after the faulty one are then
// left unread. Prints nothing.
std::string read_sound_options(int argc, char** argv, SoundOptions* options);

// "Error: give -u or --speedup, not both\n" when a speed-up was given and
// so was -u (`upsample_given`), otherwise "".
std::string check_speedup_alone(const SoundOptions& options, bool upsample_given);

// Output samples per input sample when data sampled at `frequency` Hz,
// written at `rate` Hz, is to play `speedup` times faster than real time:
// rate / (frequency x speedup). Not finite or not positive for a frequency
// that is not positive.
double speedup_ratio(unsigned long rate, double frequency, double speedup);

// The whole upsampling factor equal to `ratio` (within a relative 1e-9, so
// that 44100 / (18 x 49) counts as 50), or 0 when there is none from 1 to
// 1000000.
int whole_upsampling(double ratio);

// The refusal of a speed-up whose factor is not whole, for the linear
// resampler: "Error: speed-up S needs a whole upsampling factor with the
// linear resampler (U = x.xxx); use --resampler sinc\n".
std::string whole_upsampling_error(double speedup, double ratio);

#endif
