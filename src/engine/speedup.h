// The arithmetic of --speedup: the resampling ratio that makes data play S
// times faster than real time, the whole factor the linear resampler needs,
// and the resampling a conversion settles on once it knows the sampling
// frequency (so that tavoinfo can place the sound as tavo2wav makes it).
#ifndef TAVO_ENGINE_SPEEDUP_H
#define TAVO_ENGINE_SPEEDUP_H

#include <string>

#include <tavo/convert.h>

namespace tavo::engine {

// How input samples become output frames.
struct Resampling {
    Resampler resampler = Resampler::LINEAR;
    int upsample = 0;   // the linear resampler's factor: from -u, or from --speedup
    bool sinc = false;  // the sinc resampler resamples, by out_rate / in_rate
    double in_rate = 1, out_rate = 1;

    // Output frames per input sample: the factor or the ratio, 1 without
    // resampling. Output frame k of the sinc resampler stands at input
    // sample k / ratio, of the linear one at k / factor.
    double frames_per_sample() const;
    // Frames per channel made of `samples` input samples: samples x factor,
    // round(samples x ratio) for sinc, samples without resampling.
    unsigned long long frames(long samples) const;
};

// The resampling of `o` for data at `frequency` Hz: -u's factor, or with
// --speedup the ratio rate / (frequency x speed-up), which the linear
// resampler needs whole. Returns "" with *r set, or the refusal the
// conversion says ("Error: --speedup needs a positive sampling frequency
// (the data's is 0 Hz)\n", whole_upsampling_error).
std::string settle_resampling(const Options& o, double frequency, Resampling* r);

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

// The largest speed-up at which `samples` input samples at `frequency` Hz,
// resampled by the sinc resampler to `rate` Hz, still make one frame
// (round(samples x ratio) >= 1).
double largest_speedup(long samples, double frequency, unsigned long rate);

// The refusal of a speed-up that leaves no frame: "Error: speed-up S leaves
// no sound (0 frames); the largest for this input is N\n", S as given
// (o.speedup_text, else %g of o.speedup), N with %g.
std::string no_sound_error(const Options& o, double largest);

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_SPEEDUP_H
