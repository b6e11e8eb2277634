// The stage-by-stage conversion, the reference the fused conversion is
// tested against: after the same reading, offset removal and scaling, it
// resamples whole buffers (u times as long), runs the per-sample reference
// Filter() over every sample and writes each file with one
// put_wav_data_* call. It prints and writes the same bytes as the fused
// conversion with the linear resampler and 16-bit samples; it writes no
// timeline chunks (the label file of --timeline is written all the same).
#ifndef TAVO_TEST_STAGEWISE_H
#define TAVO_TEST_STAGEWISE_H

#include "conversion.h"

namespace tavo_test {

// Converts `files` with `settings` stage by stage. Returns what
// Conversion::run() returns: 0, 9 when a buffer cannot be allocated, 1 for
// any other failure, the reason printed on standard error.
int convert_stagewise(const Settings& settings, const string_vector& files);

}  // namespace tavo_test

#endif
