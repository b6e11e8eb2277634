// The converter's settings: one Settings value describes a conversion.
//
// The process-wide variables below are the program's outer face: main()
// fills them once from the command line, and tavo2wav() turns them into a
// Settings value (settings_from_globals()). Nothing below main() reads or
// writes them; a conversion only sees its Settings.
#ifndef TAVO2WAV_SETTINGS_H
#define TAVO2WAV_SETTINGS_H

#include <string>
#include <vector>

#include "sound_options.h"

typedef std::vector<std::string> string_vector;

// Output channel layout.
enum wave_t { MONO = 0, STEREO = 1, SIX_CHANNEL = 2 };

// What happens at a time gap between records: joined (as if there were
// none) or filled with silence, so that audio time follows station time.
enum gap_t { GAPS_JOIN = 0, GAPS_SILENCE = 1 };

// Everything a conversion is asked to do. Values the conversion derives
// from the data (the automatic scale, the factor --speedup sets) are the
// conversion's own and never written back here.
struct Settings {
    wave_t stereo = MONO;          // output layout
    bool combine = false;          // read all input files into one output
    bool need_filter = true;       // run the interpolation filter
    bool remove_offset = true;     // subtract each channel's mean
    unsigned long rate = 4000;     // sample rate written into the WAV header, Hz
    int global_scale = 0;          // amplitude factor, 0 = automatic
    int upsample = 4;              // resampling factor, 0 = none
    int clength = 512;             // samples per channel taken from a record
    unsigned render_threads = 0;   // threads rendering output chunks, 0 = one per core
    gap_t gap_policy = GAPS_JOIN;  // --gaps
    bool write_timeline = false;   // --timeline: time map in every WAV, label file
    SoundOptions sound;            // --resampler, --speedup, --format
};

extern wave_t stereo;             // output layout
extern int combine;               // read all input files into one output
extern int need_filter;           // run the interpolation filter
extern int remove_offset;         // subtract each channel's mean
extern unsigned long rate;        // sample rate written into the WAV header, Hz
extern int global_scale;          // amplitude factor, 0 = automatic
extern int upsample;              // resampling factor, 0 = none
extern int clength;               // samples per channel taken from a record
extern unsigned render_threads;   // threads rendering output chunks, 0 = one per core
extern string_vector tavo_files;  // input names in command-line order
extern SoundOptions sound;        // --resampler, --speedup, --format
extern gap_t gap_policy;          // --gaps
extern int write_timeline;        // --timeline: time map in every WAV, label file

// The settings the process-wide variables hold now.
Settings settings_from_globals();

#endif
