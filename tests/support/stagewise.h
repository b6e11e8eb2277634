// The stage-by-stage conversion, the reference the rendering pipeline is
// tested against: after the same reading, offset removal and scaling, it
// resamples whole buffers (u times as long), runs the per-sample reference
// Filter() over every sample and writes each file with one put_wav_data_*
// call. It says and writes the same bytes as the pipeline with the linear
// resampler and 16-bit samples; it writes no timeline chunks (the label file
// of --timeline is written all the same). convert_into.h runs it.
#ifndef TAVO_TEST_STAGEWISE_H
#define TAVO_TEST_STAGEWISE_H

#include <string>
#include <vector>

#include <tavo/convert.h>

namespace tavo_test {

// Converts `files` with `options` stage by stage, saying what it does to
// `diagnostics` as the engine does (for conversions that succeed).
tavo::Result convert_stagewise(const tavo::Options& options, const std::vector<std::string>& files,
                               tavo::Diagnostics& diagnostics);

}  // namespace tavo_test

#endif
