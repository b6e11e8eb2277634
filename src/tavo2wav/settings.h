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

#endif
