// One conversion: reads the input files into three 16-bit channel buffers
// and turns them into WAV files (offset removal, scaling, then the ending:
// resampling, filtering, writing), saying one progress line per stage.
//
//   Conversion c(options, diagnostics);
//   const Result r = c.run(files);
//
// A Conversion owns everything the work changes: the channel buffers and
// their fill, the station clock, the resampling it settles on and the
// amplitude factor it chooses. Its Options are never changed.
#ifndef TAVO_ENGINE_CONVERSION_H
#define TAVO_ENGINE_CONVERSION_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <tavo/convert.h>
#include <zeltra/zeltra.h>

#include "common/atomic_file.h"
#include "engine/audio_timeline.h"
#include "engine/layout.h"
#include "engine/speedup.h"
#include "engine/station_clock.h"
#include "wav/wave.h"

namespace tavo::engine {

class WindowInput;

class Conversion {
public:
    // Writes the output files of the prepared buffers, named from `base`
    // (the first input's name without directory and extension), saying the
    // stage and "writing:" lines. Returns 0 or the status to end with, after
    // fail() has said the reason.
    using Ending = std::function<int(Conversion&, const char* base)>;

    // `audio`, when given, takes the samples in place of the files.
    Conversion(const Options& options, Diagnostics& diagnostics, AudioSink* audio = nullptr);
    ~Conversion();
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    // Converts the first of `files` (all of them, one after the other, when
    // combining) with the rendering pipeline. Call once per Conversion.
    Result run(const std::vector<std::string>& files);

    // The same conversion with another ending (the stage-by-stage
    // reference of the tests): reading, offset removal and scaling as run()
    // does them, then `ending`, then the label file of --timeline.
    Result run(const std::vector<std::string>& files, const Ending& ending);

    // Converts the time window of the options (window_conversion.cpp) from
    // its archive, or from `files`: a first pass over the window's records
    // for the stages, then a second one streamed through the renderer, in
    // memory bounded whatever the window's length. With `buffered`, the
    // window is read once into the channel buffers and goes through the
    // stages over whole buffers, as run() does: the reference the streaming
    // conversion equals, for windows that fit the buffers.
    Result run_window(const std::vector<std::string>& files, bool buffered = false);

    // What an ending needs: the options, the resampling factor in force
    // (from -u, or from --speedup with the linear resampler), the samples
    // per channel and the three prepared channels, where to say things.
    const Options& options() const { return options_; }
    int upsample() const { return resampling_.upsample; }
    long samples() const { return ii_; }
    const int16_t* channel(int c) const { return data_[c].get(); }
    // Says `text` as a progress line (standard output).
    void say(const std::string& text) { diagnostics_.text(Message::PROGRESS, text); }
    // Says `text` as a warning (standard error).
    void warn(const std::string& text) { diagnostics_.text(Message::WARNING, text); }
    // Says the clip warning for `clipped` samples (nothing for 0) and counts them.
    void warn_clipped(long clipped);
    // Records the failure (status and text) and says the text.
    int fail(int status, const std::string& text);
    // Says and records that `path` could not be written.
    int fail_write(const std::string& path, int err);
    // The path of an output file named `name`, in the options' output folder.
    std::string output_path(const std::string& name) const;

private:
    friend class WindowConversion;
    typedef std::unique_ptr<int16_t[]> Buffer;

    // conversion.cpp: reading and the stages over whole buffers
    bool allocate();
    unsigned render_workers() const;
    bool settle_speedup(double frequency);
    bool read_file(const std::string& name, long* clipped);
    bool read_records(Zeltra::ZELTRA& reader, const std::string& name, long* clipped);
    void warn_missing_time(const Zeltra::ZELTRA& reader, const std::string& name);
    bool read_files(const std::vector<std::string>& files);
    void remove_offsets();
    void scale();
    bool prepare(const std::vector<std::string>& files, const char* base);
    bool keep_going(const Progress& p);

    // conversion_output.cpp: the output files created before the work, the
    // ending through the renderer, the label file
    bool create_outputs(const char* base);
    int write_rendered(const char* base);
    int render_files(const char* base, struct RenderedFiles* out);
    int put_in_place(const char* base, struct RenderedFiles* out);
    bool open_file(const char* base, int i, unsigned long long frames, struct RenderedFiles* out);
    void start_stage_line();
    void end_stage_lines(const long clipped[3]);
    int write_labels(const char* base);
    bool fits_wav(unsigned long long extra);
    bool leaves_sound();
    bool fits_folder();
    // A file too large for WAV may be written as RF64: any long option, a
    // window among them, allows it.
    bool rf64_allowed() const { return options_.allow_rf64 || options_.window.given; }
    double frames_per_sample() const;
    unsigned long long output_frames() const;

    const Options options_;
    Diagnostics& diagnostics_;
    AudioSink* audio_;
    Result result_;
    Buffer data_[3];
    long ii_ = 0;                          // samples in each buffer
    std::unique_ptr<StationClock> clock_;  // follows the stamps; says and fills as the options ask
    // The record read last, for the warning about station time missing
    // between two files combined with their gaps joined.
    struct LastRecord {
        bool stamped = false;  // it has time words
        time_t stamp = 0;      // the reader's stamp of it
        std::size_t length = 0;
        double frequency = 0;
        std::string file;  // as given
    } last_;
    // The resampling: from -u, or from --speedup once the first file has
    // told the sampling frequency (settled_).
    Resampling resampling_;
    bool settled_ = false;
    int scale_;  // the amplitude factor, chosen from the data when 0
    // The output files, created (without a name where the file system
    // allows it) before anything is read; put in place at their "writing:"
    // lines, removed with the Conversion otherwise.
    std::vector<std::unique_ptr<wav::WaveWriter>> wave_files_;
    std::unique_ptr<common::AtomicFile> label_file_;  // with --timeline
    std::vector<unsigned char> chunks_;               // the timeline chunks of --timeline
    AudioTimeline timeline_;                          // and the time map they hold
    // A window: its input streamed by the second pass, or (read into the
    // buffers) its runs of silence.
    std::unique_ptr<WindowInput> window_;
    std::vector<SampleRun> silent_;
};

// The automatic amplitude factor for a peak absolute sample value: the
// largest power of two from 1 to 128 that keeps max * factor <= 32767, and 1
// when even 1 does not.
int autoscale(int max);

// d truncated toward zero as a 16-bit sample; values beyond the 16-bit range
// saturate and NaN gives 0.
int16_t double2short(double d);

// Render threads used when none are asked for: one per core, at most 8.
unsigned default_render_threads();

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_CONVERSION_H
