// The rendering pipeline's reference: the straightforward forms of the
// resampling and filter stages over whole buffers, and the stage-by-stage
// conversion that, after the same reading, offset removal and scaling, runs
// them and writes each file with one put_wav_data_* call (the linear
// resampler and 16-bit samples only; no timeline chunks, though the label
// file is written all the same).
#ifndef TAVO_TEST_STAGEWISE_H
#define TAVO_TEST_STAGEWISE_H

#include <cstdint>
#include <string>
#include <vector>

#include <tavo/convert.h>

namespace tavo_test {

// Linear interpolation by u >= 1 into out (room for n * u samples): between
// a and b at phase j of u, a + (b - a) * (j / u) truncated toward zero. The
// last u samples, which follow the last input sample, repeat it.
void resample_channel(const int16_t* in, long n, int u, int16_t* out);

// The filter stage as the per-sample reference: Initialize(0.0), then each
// sample replaced by Filter(sample) + 0.5 truncated toward zero, saturated.
// Returns the clip count.
long filter_channel_reference(int16_t* x, long n);

// Converts `files` with `options` stage by stage, saying what it does to
// `diagnostics` as the engine does (for conversions that succeed).
tavo::Result convert_stagewise(const tavo::Options& options, const std::vector<std::string>& files,
                               tavo::Diagnostics& diagnostics);

}  // namespace tavo_test

#endif
