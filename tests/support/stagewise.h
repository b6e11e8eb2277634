// The stage-by-stage conversion, the rendering pipeline's reference: after
// the same reading, offset removal and scaling, it resamples whole buffers,
// runs the per-sample reference Filter() and writes each file with one
// put_wav_data_* call; the linear resampler and 16-bit samples only, and no
// timeline chunks (the label file is written all the same).
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
