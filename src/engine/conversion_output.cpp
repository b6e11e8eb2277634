// A conversion's ending through the one rendering pipeline: every output
// file resampled (linear or sinc), filtered and written chunk by chunk into
// a temporary file, the stage lines, each file put in place at its
// "writing:" line; and the label file of --timeline.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/atomic_file.h"
#include "dsp/linear_stream.h"
#include "dsp/sinc_stream.h"
#include "engine/conversion.h"
#include "engine/free_space.h"
#include "engine/renderer.h"
#include "engine/window_input.h"
#include "wav/wave.h"

namespace tavo::engine {

namespace {

// Frames per chunk. The linear streams can start anywhere: a chunk is large
// enough that starting one (filling the filter's history) costs little. The
// sinc stream's bytes depend on the pieces it is asked for, so its chunk
// never changes.
constexpr std::size_t LINEAR_CHUNK = 1 << 18;
constexpr std::size_t SINC_CHUNK = 1 << 16;

// A WAV file as the renderer's sink.
class WaveSink : public FrameSink {
public:
    explicit WaveSink(wav::WaveWriter& w) : w_(w) {}
    bool write(const int16_t* f, std::size_t n) override { return w_.write(f, n); }
    bool write(const int32_t* f, std::size_t n) override { return w_.write(f, n); }
    bool write(const float* f, std::size_t n) override { return w_.write(f, n); }

private:
    wav::WaveWriter& w_;
};

// The caller's AudioSink as the renderer's sink for file `index`.
class MemorySink : public FrameSink {
public:
    MemorySink(AudioSink& a, int index) : a_(a), index_(index) {}
    bool write(const int16_t* f, std::size_t n) override { return put(f, n); }
    bool write(const int32_t* f, std::size_t n) override { return put(f, n); }
    bool write(const float* f, std::size_t n) override { return put(f, n); }
    const std::string& why() const { return why_; }

private:
    bool put(const void* f, std::size_t n)
    {
        if (a_.write(index_, f, n, why_))
            return true;
        errno = EIO;
        return false;
    }

    AudioSink& a_;
    int index_;
    std::string why_;
};

}  // namespace

// The files being rendered: writers (or memory sinks) opened in order up to
// the first that could not be.
struct RenderedFiles {
    std::vector<std::unique_ptr<wav::WaveWriter>> writers;
    std::vector<std::unique_ptr<FrameSink>> sinks;
    std::size_t failed = 0;  // the first file not written completely
    int err = 0;             // ... and its errno
    std::string why;         // ... or the memory sink's reason
};

// Output frames per input sample.
double Conversion::frames_per_sample() const
{
    return resampling_.frames_per_sample();
}

// Frames per channel of the output.
unsigned long long Conversion::output_frames() const
{
    return resampling_.frames(ii_);
}

// Whether the frames and the `extra` chunk bytes fit one WAV file (or may
// go into an RF64 file).
bool Conversion::fits_wav(unsigned long long extra)
{
    if (rf64_allowed())
        return true;
    const unsigned long long frames = output_frames();
    const unsigned channels = file_layout(options_.layout, 0).channels;
    if (wav::wave_fits(options_.format, channels, frames, extra))
        return true;
    char line[96];
    std::snprintf(line, sizeof line, "Error: output too large for a WAV file (%llu frames)\n",
                  frames);
    fail(1, line);
    return false;
}

// False after failing when the samples read make no frame at the speed-up
// asked for (an input without samples makes empty files, as always).
bool Conversion::leaves_sound()
{
    if (ii_ == 0 || !(options_.speedup > 0) || output_frames() > 0)
        return true;
    fail(1, no_sound_error(options_, largest_speedup(ii_, result_.frequency, options_.rate)));
    return false;
}

// False after failing when the output files (every WAV file whole, and the
// label file) need more room than the output folder has free. Not checked
// when the folder cannot tell, nor for samples going to an AudioSink.
bool Conversion::fits_folder()
{
    if (audio_ != nullptr)
        return true;
    const long long room = free_bytes(options_.output_dir);
    unsigned long long need =
        options_.timeline ? label_file_text(timeline_, options_.rate).size() : 0;
    for (int i = 0; i < output_files(options_.layout); i++)
        need += wav::wave_file_bytes(options_.format, file_layout(options_.layout, i).channels,
                                     output_frames(), chunks_.size());
    if (room < 0 || need <= static_cast<unsigned long long>(room))
        return true;
    constexpr unsigned long long MB = 1000000;
    char line[160];
    std::snprintf(line, sizeof line, ": the output needs %llu MB, %llu MB are free\n",
                  (need + MB - 1) / MB, static_cast<unsigned long long>(room) / MB);
    fail(1, "Error: not enough free space in " +
                (options_.output_dir.empty() ? std::string(".") : options_.output_dir) + line);
    return false;
}

// Creates the temporary file of every output file (nothing for an
// AudioSink) and of the label file, so that a folder that cannot be
// written to, or a name too long for it, ends the conversion before the
// work. False after failing.
bool Conversion::create_outputs(const char* base)
{
    if (audio_ != nullptr)
        return true;
    for (int i = 0; i < output_files(options_.layout); i++) {
        bool fits;
        const std::string path = output_path(output_name(options_.layout, i, base, &fits));
        wave_files_.emplace_back(new wav::WaveWriter(diagnostics_.names()));
        if (!fits || !wave_files_.back()->prepare(path.c_str())) {
            fail_write(path, fits ? errno : ENAMETOOLONG);
            return false;
        }
    }
    if (!options_.timeline)
        return true;
    const std::string path = output_path(std::string(base) + ".labels.txt");
    label_file_.reset(new common::AtomicFile(diagnostics_.names()));
    if (label_file_->create(path))
        return true;
    fail_write(path, errno);
    return false;
}

// Opens file i for its frames. False with out->err (or out->why) set when
// it cannot be.
bool Conversion::open_file(const char* base, int i, unsigned long long frames, RenderedFiles* out)
{
    bool fits;
    const std::string path = output_path(output_name(options_.layout, i, base, &fits));
    const FileLayout l = file_layout(options_.layout, i);
    if (audio_ != nullptr) {
        const AudioFile file{i, path, l.channels, frames, options_.rate, options_.format};
        if (!audio_->begin(file, out->why))
            return false;
        out->sinks.emplace_back(new MemorySink(*audio_, i));
        return true;
    }
    (void)fits;  // create_outputs refused a name that does not fit
    std::unique_ptr<wav::WaveWriter> w = std::move(wave_files_.at(static_cast<std::size_t>(i)));
    if (!w->open(path.c_str(), l.channels, static_cast<unsigned long>(frames), options_.rate,
                 options_.format, options_.timeline ? &chunks_ : nullptr, rf64_allowed())) {
        out->err = errno;
        return false;
    }
    out->sinks.emplace_back(new WaveSink(*w));
    out->writers.push_back(std::move(w));
    return true;
}

// Renders every output file into its temporary file (or the memory sink),
// all in step. Returns 0, or 1 when the resampler failed (said).
int Conversion::render_files(const char* base, RenderedFiles* out)
{
    RenderPlan plan;
    const int files = output_files(options_.layout);
    for (int i = 0; i < files; i++)
        plan.files.push_back(file_layout(options_.layout, i));
    plan.format = options_.format;
    plan.frames = output_frames();
    plan.workers = render_workers();
    const Resampling& how = resampling_;
    const bool sinc = how.resampler == Resampler::SINC && how.sinc;
    plan.chunk = sinc ? SINC_CHUNK : LINEAR_CHUNK;
    plan.independent_chunks = !sinc;
    const bool linear = options_.resampler == Resampler::LINEAR;
    plan.open = [&](int c, unsigned long long start) -> std::unique_ptr<dsp::ChannelStream> {
        if (window_)
            return window_->open(c, start, plan.chunk);
        if (sinc)
            return std::unique_ptr<dsp::ChannelStream>(
                new dsp::SincStream(data_[c].get(), ii_, how.in_rate, how.out_rate));
        return std::unique_ptr<dsp::ChannelStream>(new dsp::LinearStream(
            data_[c].get(), ii_, linear ? how.upsample : 0, linear && options_.filter, start));
    };
    out->failed = files;
    for (int i = 0; i < files; i++) {
        if (!open_file(base, i, plan.frames, out)) {
            out->failed = i;
            break;
        }
    }
    std::vector<FrameSink*> sinks;
    for (auto& s : out->sinks)
        sinks.push_back(s.get());
    const unsigned long long total = plan.frames * files;
    const Rendered r = render(plan, sinks, [&](unsigned long long done) {
        if (window_)
            window_->rendered(done);
        return keep_going({"converting", done * files, total, false});
    });
    diagnostics_.progress({"converting", total, total, true});
    if (r.failed < out->failed) {
        out->failed = r.failed;
        out->err = r.error;
        if (audio_ != nullptr)
            out->why = static_cast<MemorySink*>(out->sinks[r.failed].get())->why();
    }
    if (!r.stream_error.empty())
        return fail(1, window_ && !window_->error().empty()
                           ? window_->error()
                           : "Error: resampler: " + r.stream_error + "\n");
    end_stage_lines(r.clipped);
    return 0;
}

// The stage line before the work: "Resampling U ..." for the linear
// resampler; "Resampling R (sinc) ..." with the ratio R for sinc, which has
// no filter stage (its band limit is the filter).
void Conversion::start_stage_line()
{
    char line[96] = "";
    const Resampling& r = resampling_;
    if (options_.resampler == Resampler::SINC) {
        if (r.sinc)
            std::snprintf(line, sizeof line, "Resampling %g (sinc) ...", r.out_rate / r.in_rate);
    } else if (r.upsample != 0) {
        std::snprintf(line, sizeof line, "Resampling %d ...", r.upsample);
    }
    if (*line != '\0')
        say(line);
}

// The stage lines once the files are rendered, and the clip warning.
void Conversion::end_stage_lines(const long clipped[3])
{
    const long total = clipped[0] + clipped[1] + clipped[2];
    if (options_.resampler == Resampler::SINC) {
        if (resampling_.sinc)
            say("done\n");
        warn_clipped(total);
        return;
    }
    if (resampling_.upsample != 0)
        say("done\n");
    if (options_.filter) {
        say("Filtering...done.\n");
        warn_clipped(total);
    }
}

// Puts each file in place at its "writing:" line. A file that could not be
// written is reported at its own line, after the files before it have been
// put in place.
int Conversion::put_in_place(const char* base, RenderedFiles* out)
{
    for (int i = 0; i < output_files(options_.layout); i++) {
        bool fits;
        const std::string path = output_path(output_name(options_.layout, i, base, &fits));
        say("writing: " + path + " ");
        const std::size_t at = static_cast<std::size_t>(i);
        if (at == out->failed && !out->why.empty())
            return fail(1, "Error: can't write " + path + ": " + out->why + "\n");
        if (at == out->failed)
            return fail_write(path, out->err);
        if (audio_ != nullptr ? !audio_->end(i, out->why) : !out->writers[at]->commit())
            return out->why.empty()
                       ? fail_write(path, errno)
                       : fail(1, "Error: can't write " + path + ": " + out->why + "\n");
        result_.written.push_back(path);
        say("done\n");
    }
    return 0;
}

// The ending: every file is rendered into a temporary file chunk by chunk;
// the stage lines follow once that work is done, and each "writing:" line
// puts its file in place. A failure of the resampler ends the conversion
// before any file is put in place.
int Conversion::write_rendered(const char* base)
{
    if (output_files(options_.layout) == 0)
        return fail(
            1, "Unknown audio format: " + std::to_string(static_cast<int>(options_.layout)) + "\n");
    start_stage_line();
    RenderedFiles out;
    const int status = render_files(base, &out);
    if (status != 0 || result_.cancelled)
        return result_.cancelled ? 1 : status;
    return put_in_place(base, &out);
}

// Writes <base>.labels.txt beside the WAV files, with its "writing:" line.
int Conversion::write_labels(const char* base)
{
    const std::string path = output_path(std::string(base) + ".labels.txt");
    say("writing: " + path + " ");
    const std::string text = label_file_text(timeline_, options_.rate);
    common::AtomicFile& file = *label_file_;
    if (!file.write(text.data(), text.size()) || !file.commit(common::AtomicFile::Sync::SYNC))
        return fail_write(path, errno);
    result_.written.push_back(path);
    say("done\n");
    return 0;
}

}  // namespace tavo::engine
