// A conversion's reading and its stages over whole buffers: the input files
// into the channel buffers, the resampling settled from the first file,
// offset removal and scaling; then the ending (conversion_output.cpp for
// the fused one).
#include "conversion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>

#include <kemra/libkemra.h>
#include "stages.h"
#include "wav_chunks.h"
#include <zeltra/zeltra.h>

namespace {

typedef std::unique_ptr<int16_t[]> Buffer;

void flush_stdout()
{
    std::fflush(stdout);
}

// Gives each of the three buffers room for n samples; on failure reports
// the three addresses (null for those that failed) and returns false.
bool allocate(Buffer (&b)[3], long n)
{
    for (Buffer& one : b)
        one.reset(new (std::nothrow) int16_t[n]);
    if (b[0] && b[1] && b[2])
        return true;
    flush_stdout();
    std::cerr << "Error allocating memory: " << static_cast<void*>(b[0].get()) << " "
              << static_cast<void*>(b[1].get()) << " " << static_cast<void*>(b[2].get()) << "\n";
    return false;
}

// Ends the conversion with `status` (0 returns), standard output flushed.
void finish(int status)
{
    flush_stdout();
    if (status != 0)
        std::exit(status);
}

}  // namespace

void warn_clipped(long clipped)
{
    if (clipped == 0)
        return;
    flush_stdout();
    std::fprintf(stderr, "Warning: %ld samples clipped\n", clipped);
}

void report_write_error(const std::string& path, int err)
{
    flush_stdout();
    std::fprintf(stderr, "Error: can't write %s: %s\n", path.c_str(), std::strerror(err));
}

bool known_layout(wave_t layout)
{
    if (output_files(layout) != 0)
        return true;
    flush_stdout();
    std::fprintf(stderr, "Unknown audio format: %d\n", static_cast<int>(layout));
    return false;
}

Conversion::Conversion(const Settings& settings)
    : settings_(settings), upsample_(settings.upsample), scale_(settings.global_scale)
{
}

unsigned Conversion::render_workers() const
{
    return settings_.render_threads != 0 ? settings_.render_threads : default_render_threads();
}

// Sets the resampling from the settings, given the sampling frequency of the
// first file: with --speedup the ratio is rate / (frequency x speed-up),
// which the linear resampler needs whole (it becomes the factor in force).
// Returns false after printing the reason when it cannot be done.
bool Conversion::settle_speedup(double frequency)
{
    const SoundOptions& sound = settings_.sound;
    settled_ = true;
    sinc_job_ = {upsample_ > 0, 1.0, static_cast<double>(upsample_), sound.format,
                 render_workers()};
    if (!(sound.speedup > 0))
        return true;
    const double ratio = speedup_ratio(settings_.rate, frequency, sound.speedup);
    std::string error;
    if (!(ratio > 0) || !std::isfinite(ratio)) {
        char line[160];
        std::snprintf(
            line, sizeof line,
            "Error: --speedup needs a positive sampling frequency (the data's is %g Hz)\n",
            frequency);
        error = line;
    } else if (sound.resampler == Resampler::LINEAR) {
        upsample_ = whole_upsampling(ratio);
        if (upsample_ == 0)
            error = whole_upsampling_error(sound.speedup, ratio);
    } else {
        sinc_job_ = {true, frequency * sound.speedup, static_cast<double>(settings_.rate),
                     sound.format, render_workers()};
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
// status where it happens, the reader still open; so does a --speedup the
// first file cannot satisfy.
bool Conversion::read_file(const std::string& name, long* clipped, Progress* progress)
{
    std::unique_ptr<Zeltra::ZELTRA> reader(Zeltra::exit_on_error(
        [&] { return Zeltra::detect(name.c_str(), true, Zeltra::ZELTRA::FT_NEW, false); }));
    if (!settled_ && !settle_speedup(reader->get_frequency()))
        finish(1);
    StationClock* clock = clock_.get();
    if (clock)
        clock->begin_file(*reader, name);
    while (Zeltra::exit_on_error([&] { return reader->getdata(); }) != -1) {
        const StationClock::Step step = clock ? clock->measure(*reader) : StationClock::Step();
        if (ii_ + step.fill >= MAXSIZE - settings_.clength) {
            flush_stdout();
            std::fprintf(stderr,
                         "Warning: buffers full after %ld samples per channel; "
                         "the rest of the input is not converted\n",
                         ii_);
            return false;
        }
        if (clock) {
            for (Buffer& b : data_)
                std::fill(b.get() + ii_, b.get() + ii_ + step.fill, int16_t{0});
            clock->place(step, ii_);
            ii_ += step.fill;
        }
        const long n = static_cast<long>(reader->get_length());
        for (int c = 0; c < 3; c++) {
            const std::vector<double>& src = reader->current[c];
            for (long j = 0; j < n; j++) {
                const double d = src[j];
                if (!(d > -32769.0 && d < 32768.0))
                    ++*clipped;
                data_[c][ii_ + j] = double2short(d);
            }
        }
        ii_ += n;
        progress->update(static_cast<unsigned long long>(ii_));
    }
    return true;
}

// Reads the first file, or all of them when combining; combining stops
// once the buffers are full.
void Conversion::read_files(const string_vector& files)
{
    long clipped = 0;
    Progress progress("reading", 0);
    for (const std::string& name : files)
        if (!read_file(name, &clipped, &progress) || !settings_.combine)
            break;
    progress.finish();
    warn_clipped(clipped);
}

void Conversion::remove_offsets()
{
    std::printf("Removing offset ");
    long clipped = 0;
    for (Buffer& b : data_)
        clipped += clock_ && !clock_->filled().empty()
                       ? remove_channel_offset_around(b.get(), ii_, clock_->filled())
                       : remove_channel_offset(b.get(), ii_);
    std::printf("done\n");
    warn_clipped(clipped);
}

void Conversion::scale()
{
    if (scale_ == 0) {
        int peak = 0;
        for (const Buffer& b : data_)
            peak = std::max(peak, peak_abs(b.get(), ii_));
        scale_ = autoscale(peak);
    }
    if (scale_ == 1)
        return;
    std::printf("Scaling %d...", scale_);
    long clipped = 0;
    for (Buffer& b : data_)
        clipped += scale_channel(b.get(), ii_, scale_);
    std::printf("done\n");
    warn_clipped(clipped);
}

int Conversion::run(const string_vector& files)
{
    return run(files, [](Conversion& c, const char* base) {
        return c.write_fused(base, c.settings_.write_timeline ? &c.chunks_ : nullptr);
    });
}

int Conversion::run(const string_vector& files, const Ending& ending)
{
    if (!allocate(data_, MAXSIZE))
        return 9;
    char drive[256], dir[256], base[256], ext[256];
    explode_path(files.front().c_str(), drive, dir, base, ext);

    if (settings_.gap_policy == GAPS_SILENCE || settings_.write_timeline)
        clock_.reset(new StationClock(settings_.gap_policy == GAPS_SILENCE));
    read_files(files);
    if (!settled_ && !settle_speedup(0))
        return 1;
    if (settings_.write_timeline) {
        timeline_ = make_timeline(*clock_, ii_, frames_per_sample(), settings_.rate);
        chunks_ = timeline_chunks(timeline_, std::string("tavo2wav ") + TAVO2WAV_VERSION);
    }
    if (!fits_wav(chunks_.size()))
        return 1;
    if (settings_.write_timeline)
        std::printf("%s", timeline_line(timeline_).c_str());
    if (settings_.remove_offset)
        remove_offsets();
    scale();
    int status = ending(*this, base);
    if (status == 0 && settings_.write_timeline)
        status = write_labels(base);
    for (Buffer& b : data_)
        b.reset();
    return status;
}

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

void tavo2wav(const string_vector& files)
{
    finish(Conversion(settings_from_globals()).run(files));
}
