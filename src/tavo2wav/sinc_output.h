// The output files made with the sinc resampler: each input channel is
// resampled by its own SincStream and converted into the sample format, and
// the files are written chunk by chunk, all of them in step, each taking the
// chunks of the channels it uses; so a channel is resampled once, however
// many files use it.
//
// A SincStream is a sequential stream, so the work runs side by side across
// channels rather than across chunks: with `threads` > 1, min(threads,
// channels used) producer threads share the channels out (one channel is
// only ever resampled by one thread), each resampling and converting one
// chunk of CHUNK frames after the other into a ring of two per channel, and
// the calling thread takes the chunks in order, interleaves and writes
// them. With `threads` at most 1 no thread is started. The samples depend on
// the input, the rates and the format alone: every stream sees the same calls
// whatever the thread count or timing.
#ifndef TAVO2WAV_SINC_OUTPUT_H
#define TAVO2WAV_SINC_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "output.h"
#include "progress.h"
#include "sample_format.h"
#include "wave.h"

// What the sinc resampler is asked to do: resample from in_rate to out_rate
// (only the ratio matters), or, when `resample` is false, pass the samples
// through as they are.
struct SincJob {
    bool resample;
    double in_rate, out_rate;
    SampleFormat format;
    unsigned threads;  // render threads (--threads); 0 or 1: none besides the caller
};

// Frames per channel the job gives for n input samples.
unsigned long long sinc_frames(const SincJob& job, long n);

// Resamples and writes the files: writers[f] must be open with
// layouts[f]'s channel count, sinc_frames(job, n) frames and job.format.
// Stops writing a file at its first failed write, and then writes no later
// file either, but completes the earlier ones. Counts the samples the format
// had to saturate per input channel used into *clips, and reports progress
// as the frames written to all files. Returns the index of the first file
// whose write failed, with its errno in *err, or the number of files when
// none failed. When the resampler fails (or a producer thread runs out of
// memory) it stops at once and returns 0 with *error set to soxr's message
// (or "out of memory"); otherwise *error is left alone.
// Prints nothing.
std::size_t render_sinc_files(const std::vector<WaveWriter*>& writers,
                              const std::vector<FileLayout>& layouts, const int16_t* const data[3],
                              long n, const SincJob& job, ClipCount* clips, Progress* progress,
                              int* err, std::string* error);

#endif
