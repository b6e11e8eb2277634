// The output files of a conversion: how many the layout has, their names,
// which input channel feeds each of their WAV channels, and the fused
// rendering of one file.
#ifndef TAVO2WAV_OUTPUT_H
#define TAVO2WAV_OUTPUT_H

#include <cstdint>
#include <string>

#include "progress.h"
#include "settings.h"
#include "wave.h"

// Where the samples of one output file come from.
struct FileLayout {
    unsigned channels;  // WAV channels: 1, 2 or 6
    int source[6];      // input channel of each WAV channel, -1 for silence
};

// Number of files the layout writes: 3, or 1 for six channels; 0 for a
// value outside wave_t.
int output_files(wave_t layout);

FileLayout file_layout(wave_t layout, int index);

// Name of output file `index`: a letter (a, b, c in mono, d, e, f in
// stereo) and the base name without its first character, or "6ch" and the
// whole base name, then ".wav". Sets *fits to false when the name does not
// fit the tool's name buffers (255 characters for the name without ".wav",
// 259 for the path); the full name is returned all the same.
std::string output_name(wave_t layout, int index, const char* base, bool* fits);

// Per input channel, how many samples the filter saturated, counted once
// per channel however many files use it.
struct ClipCount {
    long per_channel[3] = {0, 0, 0};
    bool counted[3] = {false, false, false};
    long total() const { return per_channel[0] + per_channel[1] + per_channel[2]; }
};

// Render threads used when none are asked for: one per core, at most 8.
unsigned default_render_threads();

// Resamples, filters and writes one file: `writer` must be open with the
// layout's channel count and n * max(u, 1) frames. Chunks of the file are
// rendered by `workers` threads (none besides the caller's when it is 1)
// and written in order, so the bytes do not depend on `workers`. Reports
// each chunk written to `progress` as `done_before` plus the frames written
// so far. Returns false with errno set when a write fails.
bool render_file(WaveWriter& writer, const FileLayout& layout, const int16_t* const data[3], long n,
                 int u, bool filter, unsigned workers, ClipCount* clips, Progress* progress,
                 unsigned long long done_before);

// Runs the filter over every channel not yet counted in *clips, writing
// nothing, so the count covers all three channels.
void count_remaining_clips(const int16_t* const data[3], long n, int u, bool filter,
                           ClipCount* clips);

#endif
