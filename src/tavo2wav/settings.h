// Process-wide settings of the converter: filled by main() from the command
// line, read by the conversion pipeline.
#ifndef TAVO2WAV_SETTINGS_H
#define TAVO2WAV_SETTINGS_H

#include <string>
#include <vector>

#include "sound_options.h"

typedef std::vector<std::string> string_vector;

// Output channel layout.
enum wave_t { MONO = 0, STEREO = 1, SIX_CHANNEL = 2 };

extern wave_t stereo;        // output layout
extern int combine;          // read all input files into one output
extern int need_filter;      // run the interpolation filter
extern int remove_offset;    // subtract each channel's mean
extern unsigned long rate;   // sample rate written into the WAV header, Hz
extern int global_scale;     // amplitude factor, 0 = automatic
extern int upsample;         // resampling factor, 0 = none
extern int clength;          // samples per channel taken from a record
extern unsigned render_threads;  // threads rendering output chunks, 0 = one per core
extern string_vector tavo_files;  // input names in command-line order
extern SoundOptions sound;   // --resampler, --speedup, --format

// What happens at a time gap between records: joined (as if there were
// none) or filled with silence, so that audio time follows station time.
enum gap_t { GAPS_JOIN = 0, GAPS_SILENCE = 1 };
extern gap_t gap_policy;     // --gaps
extern int write_timeline;   // --timeline: time map in every WAV, label file

#endif
