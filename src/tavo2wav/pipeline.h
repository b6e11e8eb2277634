// The conversion pipeline: reads the input files into three 16-bit channel
// buffers and turns them into WAV files (offset removal, scaling, resampling,
// filtering, writing), printing one progress line per stage.
#ifndef TAVO2WAV_PIPELINE_H
#define TAVO2WAV_PIPELINE_H

#include <cstdint>

#include "settings.h"

// Capacity of each channel buffer, in samples (6200 records of 512).
constexpr long MAXSIZE = 3174400;

// Converts the first file of `files` (all of them, one after the other, when
// `combine` is set) with the process-wide settings. Returns on success; on a
// failure it prints the reason on standard error and ends the process:
// status 9 when the buffers cannot be allocated, 1 for anything else (the
// reader library ends the process itself for unreadable input).
void tavo2wav(const string_vector &files);

// The same conversion done stage by stage over whole buffers (resampled
// buffers u times as long, one per-sample Filter() call per sample). It
// writes the same bytes as tavo2wav() and is kept as the reference that
// the fused pipeline is tested against.
void tavo2wav_stagewise(const string_vector &files);

// The automatic amplitude factor for a peak absolute sample value: the
// largest power of two from 1 to 128 that keeps max * factor <= 32767, and 1
// when even 1 does not.
int autoscale(int max);

// d truncated toward zero as a 16-bit sample; values beyond the 16-bit range
// saturate and NaN gives 0.
int16_t double2short(double d);

#endif
