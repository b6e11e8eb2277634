#include "pipeline.h"

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

// Largest data chunk a WAV file can describe: its RIFF length (36 + data
// bytes) must fit 32 bits.
constexpr unsigned long long WAV_MAX_DATA = 4294967295ULL - 36;

const unsigned FRAME_BYTES[] = {2, 4, 12};  // by wave_t

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

// Renders every output file into its temporary file, in file order, up to
// the first failure. Returns the index of the file that failed (the file
// count when none did) and its errno in *err.
int render_files(const char *base, const std::vector<unsigned char> *chunks,
                 std::vector<std::unique_ptr<WaveWriter>> *writers, ClipCount *clips, int *err)
{
    const int16_t *const ch[3] = {data[0].get(), data[1].get(), data[2].get()};
    const unsigned long frames = static_cast<unsigned long>(ii) * (upsample > 0 ? upsample : 1);
    const int files = output_files(stereo);
    const unsigned workers = render_threads != 0 ? render_threads : default_render_threads();
    Progress progress("converting", static_cast<unsigned long long>(frames) * files);
    for (int i = 0; i < files; i++) {
        bool fits;
        const std::string path = output_name(stereo, i, base, &fits);
        if (!fits) {
            *err = ENAMETOOLONG;
            return i;
        }
        const FileLayout l = file_layout(stereo, i);
        std::unique_ptr<WaveWriter> w(new WaveWriter);
        if (!w->open(path.c_str(), l.channels, frames, rate, chunks) ||
            !render_file(*w, l, ch, ii, upsample, need_filter != 0, workers, clips,
                         &progress, static_cast<unsigned long long>(frames) * i)) {
            *err = errno;
            return i;
        }
        writers->push_back(std::move(w));
    }
    return files;
}

// The fused ending: every file is resampled, filtered and written to a
// temporary file chunk by chunk; the stage lines follow once that work is
// done, and each "writing:" line puts its file in place. A file that could
// not be written is reported at its own "writing:" line, after the files
// before it have been put in place, as the stage-by-stage ending would.
int write_fused(const char *base, const std::vector<unsigned char> *chunks)
{
    if (!known_layout())
        return 1;
    if (upsample != 0)
        std::printf("Resampling %d ...", upsample);
    flush_stdout();  // the stage's name stands beside its progress on a terminal
    std::vector<std::unique_ptr<WaveWriter>> writers;
    ClipCount clips;
    int err = 0;
    const int failed = render_files(base, chunks, &writers, &clips, &err);
    if (need_filter) {
        const int16_t *const ch[3] = {data[0].get(), data[1].get(), data[2].get()};
        count_remaining_clips(ch, ii, upsample, true, &clips);
    }
    if (upsample != 0)
        std::printf("done\n");
    if (need_filter) {
        std::printf("Filtering...done.\n");
        warn_clipped(clips.total());
    }
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
    const unsigned long long u = upsample > 0 ? upsample : 1;
    const unsigned long long frames = static_cast<unsigned long long>(ii) * u;
    if (extra <= WAV_MAX_DATA &&
        frames * FRAME_BYTES[stereo == MONO ? 0 : stereo == STEREO ? 1 : 2] <= WAV_MAX_DATA - extra)
        return true;
    flush_stdout();
    std::fprintf(stderr, "Error: output too large for a WAV file (%llu frames)\n", frames);
    return false;
}

int convert(const string_vector &files, bool stagewise)
{
    if (!allocate(data, MAXSIZE))
        return 9;
    char drive[256], dir[256], base[256], ext[256];
    explode_path(files.front().c_str(), drive, dir, base, ext);

    std::unique_ptr<StationClock> clock;
    if (gap_policy == GAPS_SILENCE || write_timeline)
        clock.reset(new StationClock(gap_policy == GAPS_SILENCE));
    read_files(files, clock.get());
    std::vector<unsigned char> chunks;
    Timeline timeline;
    if (write_timeline) {
        timeline = make_timeline(*clock, ii, upsample, rate);
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

namespace {

void finish(int status)
{
    std::fflush(stdout);
    if (status != 0)
        std::exit(status);
}

}  // namespace

void tavo2wav(const string_vector &files)
{
    finish(convert(files, false));
}

void tavo2wav_stagewise(const string_vector &files)
{
    finish(convert(files, true));
}
