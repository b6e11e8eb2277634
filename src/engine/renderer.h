// The one rendering pipeline: the output files of a conversion made chunk by
// chunk from the streams of its input channels, whichever resampler makes
// them. Each input channel is rendered once, however many files use it:
// chunk i of every channel in use, converted into the files' sample format,
// then interleaved into every file that takes it and written, chunk after
// chunk, all files in step.
//
// The work items are (chunk, channel) pairs in the order chunk 0 of every
// channel in use, chunk 1 of every channel, ...; `workers` threads render
// them side by side and the calling thread takes them strictly in that order
// (run_in_order). Streams that can start at any frame (the linear one) get a
// stream of their own per item; a sequential stream (sinc) is opened once
// per channel and renders its chunks one after the other, on whichever
// thread holds the item. Either way every stream sees the same calls and
// every byte is the same whatever the thread count or the machine's load.
#ifndef TAVO_ENGINE_RENDERER_H
#define TAVO_ENGINE_RENDERER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <tavo/sample_format.h>

#include "dsp/channel_stream.h"
#include "engine/layout.h"

namespace tavo::engine {

// Opens the stream of input channel `channel` from output frame `start`
// (always 0 for a sequential stream).
using OpenStream =
    std::function<std::unique_ptr<dsp::ChannelStream>(int channel, unsigned long long start)>;

struct RenderPlan {
    std::vector<FileLayout> files;  // the output files, in order
    SampleFormat format;
    unsigned long long frames;  // frames of every file
    std::size_t chunk;          // frames per chunk; a sequential stream's bytes depend on it
    bool independent_chunks;    // a stream can start at any frame
    OpenStream open;
    unsigned workers;  // render threads; at most 1: none besides the caller's
};

// Takes one file's interleaved frames in the plan's format.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // False with errno set when the frames could not be written.
    virtual bool write(const int16_t* frames, std::size_t count) = 0;
    virtual bool write(const int32_t* frames, std::size_t count) = 0;
    virtual bool write(const float* frames, std::size_t count) = 0;
};

struct Rendered {
    std::size_t failed = 0;       // the first file whose write failed; the file count when none
    int error = 0;                // ... and its errno
    std::string stream_error;     // a resampler failed: the run stopped at once
    bool cancelled = false;       // `progress` asked to stop
    long clipped[3] = {0, 0, 0};  // samples saturated per input channel (stream and format)
};

// Renders the plan into `sinks` (one per file; files past the last sink are
// not written, as if their writes had failed). A file whose write fails is
// written no further, and neither is any later file, while the earlier ones
// are completed; every channel in use is still rendered to its end, so the
// clip counts cover all of it. After each chunk of all files, `progress`
// gets the frames per file done so far and may return false to stop.
// Prints nothing. Exceptions of the streams (std::bad_alloc) reach the
// caller once every thread has stopped.
Rendered render(const RenderPlan& plan, const std::vector<FrameSink*>& sinks,
                const std::function<bool(unsigned long long)>& progress);

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_RENDERER_H
