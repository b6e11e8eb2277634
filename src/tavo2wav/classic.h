// The converter's classic interface: process-wide settings that a program
// fills and tavo2wav(), which converts with them, printing to the standard
// streams and ending the process on a failure. It is a thin layer over the
// engine (<tavo/convert.h>), kept for programs written against it; the
// tavo2wav program itself calls the engine directly.
#ifndef TAVO2WAV_CLASSIC_H
#define TAVO2WAV_CLASSIC_H

#include <string>
#include <vector>

#include <tavo/convert.h>

typedef std::vector<std::string> string_vector;

// Output channel layout.
enum wave_t { MONO = 0, STEREO = 1, SIX_CHANNEL = 2 };

// What happens at a time gap between records: joined (as if there were
// none) or filled with silence, so that audio time follows station time.
enum gap_t { GAPS_JOIN = 0, GAPS_SILENCE = 1 };

// --resampler, --speedup and --format.
struct SoundOptions {
    tavo::Resampler resampler = tavo::Resampler::LINEAR;
    double speedup = 0;  // times faster than real time; 0 when not given
    tavo::SampleFormat format = tavo::SampleFormat::S16;
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

// The engine's options that the process-wide variables hold now.
tavo::Options options_from_globals();

// Converts `files` with the process-wide settings through the engine,
// printing its lines to standard output and standard error. Returns on
// success; on a failure it ends the process with the engine's status (9
// when the buffers cannot be allocated, 1 for anything else). The variables
// are left as they were: what the conversion derives (the automatic scale,
// the factor --speedup sets) stays in the conversion.
void tavo2wav(const string_vector& files);

// Prints the usage text with the settings in force.
void Usage(const char* path);

#endif  // TAVO2WAV_CLASSIC_H
