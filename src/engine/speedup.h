// The arithmetic of --speedup: the resampling ratio that makes data play S
// times faster than real time, and the whole factor the linear resampler
// needs.
#ifndef TAVO_ENGINE_SPEEDUP_H
#define TAVO_ENGINE_SPEEDUP_H

#include <string>

namespace tavo::engine {

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

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_SPEEDUP_H
