#include "pipeline.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <kemra/libkemra.h>
#include "output.h"
#include "progress.h"
#include "sinc_output.h"
#include "sound_options.h"
#include "stages.h"
#include "station_clock.h"
#include "timeline.h"
#include "wav_chunks.h"
#include "wave.h"
#include <zeltra/zeltra.h>

namespace {

typedef std::unique_ptr<int16_t[]> Buffer;

// The three channel buffers and the number of samples each holds.
Buffer data[3];
long ii = 0;

// The sinc resampler's job: from -u, or from --speedup once the first file
// has told the sampling frequency.
SincJob sinc_job;
bool settled = false;  // sinc_job and upsample are final

void flush_stdout()
{
    std::fflush(stdout);
}

void warn_clipped(long clipped)
{
    if (clipped == 0)
        return;
    flush_stdout();
    std::fprintf(stderr, "Warning: %ld samples clipped\n", clipped);
}

// Gives each of the three buffers room for n samples; on failure reports
// the three addresses (null for those that failed) and returns false.
bool allocate(Buffer (&b)[3], long n)
{
    for (Buffer &one : b)
        one.reset(new (std::nothrow) int16_t[n]);
    if (b[0] && b[1] && b[2])
        return true;
    flush_stdout();
    std::cerr << "Error allocating memory: " << static_cast<void *>(b[0].get()) << " "
              << static_cast<void *>(b[1].get()) << " " << static_cast<void *>(b[2].get())
              << "\n";
    return false;
}

// Ends the conversion with `status` (0 returns), standard output flushed.
void finish(int status)
{
    std::fflush(stdout);
    if (status != 0)
        std::exit(status);
}

// The render threads --threads asks for; 0 means one per core.
unsigned render_workers()
{
    return render_threads != 0 ? render_threads : default_render_threads();
}

// Sets the resampling from the settings, given the sampling frequency of the
// first file: with --speedup the ratio is rate / (frequency x speed-up),
// which the linear resampler needs whole (it becomes `upsample`). Returns
// false after printing the reason when it cannot be done.
bool settle_speedup(double frequency)
{
    settled = true;
    sinc_job = {upsample > 0, 1.0, static_cast<double>(upsample), sound.format, render_workers()};
    if (!(sound.speedup > 0))
        return true;
    const double ratio = speedup_ratio(rate, frequency, sound.speedup);
    std::string error;
    if (!(ratio > 0) || !std::isfinite(ratio)) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "Error: --speedup needs a positive sampling frequency (the data's is %g Hz)\n",
                      frequency);
        error = line;
    } else if (sound.resampler == Resampler::LINEAR) {
        upsample = whole_upsampling(ratio);
        if (upsample == 0)
            error = whole_upsampling_error(sound.speedup, ratio);
    } else {
        sinc_job = {true, frequency * sound.speedup, static_cast<double>(rate), sound.format, render_workers()};
    }
    if (error.empty())
        return true;
    flush_stdout();
    std::fputs(error.c_str(), stderr);
    return false;
}

// Appends every record of one file to the buffers, each after the silence
// the clock asks for when there is a clock. Returns false when the
// buffers filled up before the file ended; *clipped counts the values
// that did not fit 16 bits.
// A fatal condition of the reader ends the process with its message and
// status where it happens, the reader still open.
bool read_file(const std::string &name, long *clipped, Progress *progress, StationClock *clock)
{
    std::unique_ptr<Zeltra::ZELTRA> reader(Zeltra::exit_on_error(
        [&] { return Zeltra::detect(name.c_str(), true, Zeltra::ZELTRA::FT_NEW, false); }));
    if (!settled && !settle_speedup(reader->get_frequency()))
        finish(1);
    if (clock)
        clock->begin_file(*reader, name);
    while (Zeltra::exit_on_error([&] { return reader->getdata(); }) != -1) {
        const StationClock::Step step = clock ? clock->measure(*reader) : StationClock::Step();
        if (ii + step.fill >= MAXSIZE - clength) {
            flush_stdout();
            std::fprintf(stderr,
                         "Warning: buffers full after %ld samples per channel; "
                         "the rest of the input is not converted\n",
                         ii);
            return false;
        }
        if (clock) {
            for (Buffer &b : data)
                std::fill(b.get() + ii, b.get() + ii + step.fill, int16_t{0});
            clock->place(step, ii);
            ii += step.fill;
        }
        const long n = static_cast<long>(reader->get_length());
        for (int c = 0; c < 3; c++) {
            const std::vector<double> &src = reader->current[c];
            for (long j = 0; j < n; j++) {
                const double d = src[j];
                if (!(d > -32769.0 && d < 32768.0))
                    ++*clipped;
                data[c][ii + j] = double2short(d);
            }
        }
        ii += n;
        progress->update(static_cast<unsigned long long>(ii));
    }
    return true;
}

void read_files(const string_vector &files, StationClock *clock)
{
    long clipped = 0;
    Progress progress("reading", 0);
    for (const std::string &name : files) {
        if (!read_file(name, &clipped, &progress, clock)) {
            combine = 0;
            break;
        }
        if (!combine)
            break;
    }
    progress.finish();
    warn_clipped(clipped);
}

void remove_offsets(const StationClock *clock)
{
    std::printf("Removing offset ");
    long clipped = 0;
    for (Buffer &b : data)
        clipped += clock && !clock->filled().empty()
                       ? remove_channel_offset_around(b.get(), ii, clock->filled())
                       : remove_channel_offset(b.get(), ii);
    std::printf("done\n");
    warn_clipped(clipped);
}

int peak()
{
    int p = 0;
    for (const Buffer &b : data) {
        const int q = peak_abs(b.get(), ii);
        if (q > p)
            p = q;
    }
    return p;
}

void scale()
{
    if (global_scale == 0)
        global_scale = autoscale(peak());
    if (global_scale == 1)
        return;
    std::printf("Scaling %d...", global_scale);
    long clipped = 0;
    for (Buffer &b : data)
        clipped += scale_channel(b.get(), ii, global_scale);
    std::printf("done\n");
    warn_clipped(clipped);
}

bool resample()
{
    std::printf("Resampling %d ...", upsample);
    Buffer out[3];
    if (!allocate(out, ii * upsample))
        return false;
    for (int c = 0; c < 3; c++)
        resample_channel(data[c].get(), ii, upsample, out[c].get());
    for (int c = 0; c < 3; c++)
        data[c] = std::move(out[c]);
    ii *= upsample;
    std::printf("done\n");
    return true;
}

void filter()
{
    std::printf("Filtering...");
    long clipped = 0;
    for (Buffer &b : data)
        clipped += filter_channel_reference(b.get(), ii);
    std::printf("done.\n");
    warn_clipped(clipped);
}

void report_write_error(const std::string &path, int err)
{
    flush_stdout();
    std::fprintf(stderr, "Error: can't write %s: %s\n", path.c_str(), std::strerror(err));
}

bool known_layout()
{
    if (output_files(stereo) != 0)
        return true;
    flush_stdout();
    std::fprintf(stderr, "Unknown audio format: %d\n", static_cast<int>(stereo));
    return false;
}

// The stage-by-stage ending: resampling and filtering over whole buffers,
// then one writer call per file.
int write_stagewise(const char *base)
{
    if (upsample != 0 && !resample())
        return 9;
    if (need_filter)
        filter();
    if (!known_layout())
        return 1;
    const unsigned long frames = static_cast<unsigned long>(ii);
    const int16_t *ch[3] = {data[0].get(), data[1].get(), data[2].get()};
    for (int i = 0; i < output_files(stereo); i++) {
        bool fits;
        const std::string path = output_name(stereo, i, base, &fits);
        std::printf("writing: %s ", path.c_str());
        errno = ENAMETOOLONG;
        const FileLayout l = file_layout(stereo, i);
        int ok = 0;
        if (fits && stereo == MONO)
            ok = put_wav_data_mono16(ch[i], frames, rate, path.c_str());
        else if (fits && stereo == STEREO)
            ok = put_wav_data_stereo16(ch[l.source[0]], ch[l.source[1]], frames, rate, path.c_str());
        else if (fits)
            ok = put_wav_data_6ch(ch[0], ch[1], ch[2], frames, rate, path.c_str());
        if (!ok) {
            report_write_error(path, errno);
            return 1;
        }
        std::printf("done\n");
    }
    return 0;
}

// Output frames per input sample.
double frames_per_sample()
{
    if (sound.resampler == Resampler::SINC)
        return sinc_job.resample ? sinc_job.out_rate / sinc_job.in_rate : 1.0;
    return upsample > 0 ? upsample : 1;
}

// Frames per channel of the output.
unsigned long long output_frames()
{
    if (sound.resampler == Resampler::SINC)
        return sinc_frames(sinc_job, ii);
    return static_cast<unsigned long long>(ii) * (upsample > 0 ? upsample : 1);
}

// Opens the writer of file i. Returns false with errno set when it cannot.
bool open_file(const char *base, int i, unsigned long long frames,
               const std::vector<unsigned char> *chunks, std::unique_ptr<WaveWriter> *w)
{
    bool fits;
    const std::string path = output_name(stereo, i, base, &fits);
    if (!fits) {
        errno = ENAMETOOLONG;
        return false;
    }
    const FileLayout l = file_layout(stereo, i);
    w->reset(new WaveWriter);
    return (*w)->open(path.c_str(), l.channels, static_cast<unsigned long>(frames), rate,
                      sound.format, chunks);
}

// The sinc resampler renders all files in step: the writers are opened in
// order up to the first that cannot be, and those are rendered together.
int render_sinc(const char *base, const std::vector<unsigned char> *chunks,
                std::vector<std::unique_ptr<WaveWriter>> *writers,
                ClipCount *clips, Progress *progress, int *err, std::string *soxr_error)
{
    const unsigned long long frames = output_frames();
    std::vector<WaveWriter *> open;
    std::vector<FileLayout> layouts;
    int opened = 0;
    for (std::unique_ptr<WaveWriter> w; opened < output_files(stereo); opened++) {
        if (!open_file(base, opened, frames, chunks, &w)) {
            *err = errno;
            break;
        }
        open.push_back(w.get());
        layouts.push_back(file_layout(stereo, opened));
        writers->push_back(std::move(w));
    }
    const int16_t *const ch[3] = {data[0].get(), data[1].get(), data[2].get()};
    int write_err = 0;
    const int failed = static_cast<int>(
        render_sinc_files(open, layouts, ch, ii, sinc_job, clips, progress, &write_err, soxr_error));
    if (failed < opened)
        *err = write_err;
    return std::min(failed, opened);
}

// Renders every output file into its temporary file, in file order, up to
// the first failure. Returns the index of the file that failed (the file
// count when none did) and its errno in *err (*soxr_error is set instead
// when the sinc resampler failed). `chunks`, when given, go into every file
// before its audio.
int render_files(const char *base, const std::vector<unsigned char> *chunks,
                 std::vector<std::unique_ptr<WaveWriter>> *writers, ClipCount *clips, int *err,
                 std::string *soxr_error)
{
    const unsigned long long frames = output_frames();
    const int files = output_files(stereo);
    const unsigned workers = render_workers();
    Progress progress("converting", frames * files);
    if (sound.resampler == Resampler::SINC)
        return render_sinc(base, chunks, writers, clips, &progress, err, soxr_error);
    const int16_t *const ch[3] = {data[0].get(), data[1].get(), data[2].get()};
    for (int i = 0; i < files; i++) {
        std::unique_ptr<WaveWriter> w;
        if (!open_file(base, i, frames, chunks, &w) ||
            !render_file(*w, file_layout(stereo, i), ch, ii, upsample, need_filter != 0, workers,
                         clips, &progress, frames * i)) {
            *err = errno;
            return i;
        }
        writers->push_back(std::move(w));
    }
    return files;
}

// The stage lines of the fused ending, printed once the files are rendered:
// today's "Resampling U ..." and "Filtering..." for the linear resampler;
// "Resampling R (sinc) ..." with the ratio R for sinc, which has no filter
// stage (its band limit is the filter). The clip warning follows.
void start_stage_line()
{
    if (sound.resampler == Resampler::SINC) {
        if (sinc_job.resample)
            std::printf("Resampling %g (sinc) ...", sinc_job.out_rate / sinc_job.in_rate);
    } else if (upsample != 0) {
        std::printf("Resampling %d ...", upsample);
    }
    flush_stdout();  // the stage's name stands beside its progress on a terminal
}

void end_stage_lines(ClipCount *clips)
{
    if (sound.resampler == Resampler::SINC) {
        if (sinc_job.resample)
            std::printf("done\n");
        warn_clipped(clips->total());
        return;
    }
    if (need_filter) {
        const int16_t *const ch[3] = {data[0].get(), data[1].get(), data[2].get()};
        count_remaining_clips(ch, ii, upsample, true, clips);
    }
    if (upsample != 0)
        std::printf("done\n");
    if (need_filter) {
        std::printf("Filtering...done.\n");
        warn_clipped(clips->total());
    }
}

// The fused ending: every file is resampled, filtered and written to a
// temporary file chunk by chunk; the stage lines follow once that work is
// done, and each "writing:" line puts its file in place. A file that could
// not be written is reported at its own "writing:" line, after the files
// before it have been put in place, as the stage-by-stage ending would.
// A failure of the sinc resampler ends the conversion before any file is
// put in place.
// The fused ending: every file is resampled, filtered and written to a
// temporary file chunk by chunk; the stage lines follow once that work is
// done, and each "writing:" line puts its file in place. A file that could
// not be written is reported at its own "writing:" line, after the files
// before it have been put in place, as the stage-by-stage ending would.
int write_fused(const char *base, const std::vector<unsigned char> *chunks)
{
    if (!known_layout())
        return 1;
    start_stage_line();
    std::vector<std::unique_ptr<WaveWriter>> writers;
    ClipCount clips;
    int err = 0;
    std::string soxr_error;
    const int failed = render_files(base, chunks, &writers, &clips, &err, &soxr_error);
    if (!soxr_error.empty()) {
        flush_stdout();
        std::fprintf(stderr, "Error: resampler: %s\n", soxr_error.c_str());
        return 1;
    }
    end_stage_lines(&clips);
    for (int i = 0; i < output_files(stereo); i++) {
        bool fits;
        const std::string path = output_name(stereo, i, base, &fits);
        std::printf("writing: %s ", path.c_str());
        if (i == failed || !writers[i]->commit()) {
            report_write_error(path, i == failed ? err : errno);
            return 1;
        }
        std::printf("done\n");
    }
    return 0;
}

// Whether the frames and the `extra` chunk bytes fit one WAV file.
// Writes <base>.labels.txt beside the WAV files, with its "writing:" line.
int write_labels(const char *base, const Timeline &timeline)
{
    const std::string path = std::string(base) + ".labels.txt";
    std::printf("writing: %s ", path.c_str());
    if (!write_text_file(path, label_file_text(timeline, rate))) {
        report_write_error(path, errno);
        return 1;
    }
    std::printf("done\n");
    return 0;
}

bool fits_wav(unsigned long long extra)
{
    const unsigned long long frames = output_frames();
    const unsigned channels = stereo == MONO ? 1 : stereo == STEREO ? 2 : 6;
    if (wave_fits(sound.format, channels, frames, extra))
        return true;
    flush_stdout();
    std::fprintf(stderr, "Error: output too large for a WAV file (%llu frames)\n", frames);
    return false;
}

int convert(const string_vector &files, bool stagewise)
{
    settled = false;
    if (!allocate(data, MAXSIZE))
        return 9;
    char drive[256], dir[256], base[256], ext[256];
    explode_path(files.front().c_str(), drive, dir, base, ext);

    std::unique_ptr<StationClock> clock;
    if (gap_policy == GAPS_SILENCE || write_timeline)
        clock.reset(new StationClock(gap_policy == GAPS_SILENCE));
    read_files(files, clock.get());
    if (!settled && !settle_speedup(0))
        return 1;
    std::vector<unsigned char> chunks;
    Timeline timeline;
    if (write_timeline) {
        timeline = make_timeline(*clock, ii, frames_per_sample(), rate);
        chunks = timeline_chunks(timeline, std::string("tavo2wav ") + TAVO2WAV_VERSION);
    }
    if (!fits_wav(chunks.size()))
        return 1;
    if (write_timeline)
        std::printf("%s", timeline_line(timeline).c_str());
    if (remove_offset)
        remove_offsets(clock.get());
    scale();
    int status = stagewise ? write_stagewise(base)
                           : write_fused(base, write_timeline ? &chunks : nullptr);
    if (status == 0 && write_timeline)
        status = write_labels(base, timeline);
    ii = 0;
    for (Buffer &b : data)
        b.reset();
    return status;
}

}  // namespace

int autoscale(int max)
{
    int factor = 128;
    while (factor > 1 && static_cast<long long>(max) * factor > 32767)
        factor /= 2;
    return factor;
}

int16_t double2short(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= 32767.0)
        return INT16_MAX;
    if (d <= -32768.0)
        return INT16_MIN;
    return static_cast<int16_t>(d);
}

void tavo2wav(const string_vector &files)
{
    finish(convert(files, false));
}

void tavo2wav_stagewise(const string_vector &files)
{
    finish(convert(files, true));
}
