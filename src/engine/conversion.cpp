// A conversion's reading and its stages over whole buffers: the input files
// into the channel buffers, the resampling settled from the first file,
// offset removal and scaling; then the ending (conversion_output.cpp for
// the rendering pipeline).
#include "engine/conversion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <sstream>
#include <thread>

#include <kemra/libkemra.h>

#include "dsp/stages.h"
#include "engine/reader_messages.h"
#include "engine/speedup.h"
#include "engine/wav_chunks.h"
#include "engine/window_input.h"

namespace tavo::engine {

namespace {

std::string formatted(const char* format, long long value)
{
    char line[128];
    std::snprintf(line, sizeof line, format, value);
    return line;
}

}  // namespace

unsigned default_render_threads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return std::max(1u, std::min(cores, 8u));
}

Conversion::Conversion(const Options& options, Diagnostics& diagnostics, AudioSink* audio)
    : options_(options), diagnostics_(diagnostics), audio_(audio), scale_(options.scale)
{
    resampling_.upsample = options.upsample;
}

Conversion::~Conversion() = default;

void Conversion::warn_clipped(long clipped)
{
    if (clipped == 0)
        return;
    result_.clipped += clipped;
    warn(formatted("Warning: %lld samples clipped\n", clipped));
}

int Conversion::fail(int status, const std::string& text)
{
    result_.status = status;
    result_.error = text;
    diagnostics_.text(Message::ERROR, text);
    return status;
}

int Conversion::fail_write(const std::string& path, int err)
{
    return fail(1, "Error: can't write " + path + ": " + std::strerror(err) + "\n");
}

std::string Conversion::output_path(const std::string& name) const
{
    if (options_.output_dir.empty())
        return name;
    const std::string& dir = options_.output_dir;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// Gives each of the three buffers room for BUFFER_SAMPLES samples; on
// failure reports the three addresses (null for those that failed).
bool Conversion::allocate()
{
    for (Buffer& one : data_)
        one.reset(new (std::nothrow) int16_t[BUFFER_SAMPLES]);
    if (data_[0] && data_[1] && data_[2])
        return true;
    std::ostringstream text;
    text << "Error allocating memory: " << static_cast<void*>(data_[0].get()) << " "
         << static_cast<void*>(data_[1].get()) << " " << static_cast<void*>(data_[2].get()) << "\n";
    fail(9, text.str());
    return false;
}

unsigned Conversion::render_workers() const
{
    return options_.threads != 0 ? options_.threads : default_render_threads();
}

// Sets the resampling from the options, given the sampling frequency of the
// first file (see settle_resampling). Returns false after failing when it
// cannot be done.
bool Conversion::settle_speedup(double frequency)
{
    settled_ = true;
    result_.frequency = frequency;
    const std::string refused = settle_resampling(options_, frequency, &resampling_);
    if (refused.empty())
        return true;
    fail(1, refused);
    return false;
}

bool Conversion::keep_going(const Progress& p)
{
    if (diagnostics_.progress(p))
        return true;
    result_.cancelled = true;
    result_.status = 1;
    return false;
}

// Appends every record of an open file to the buffers, each after the
// silence the clock asks for when there is a clock. Returns false when the
// reading must stop: the buffers are full (with its warning; not a failure)
// or the caller cancelled. *clipped counts the values that did not fit 16
// bits. A fatal condition of the reader throws Zeltra::Error.
bool Conversion::read_records(Zeltra::ZELTRA& reader, const std::string& name, long* clipped)
{
    StationClock* clock = clock_.get();
    if (clock)
        clock->begin_file(reader, name);
    for (bool first = true; reader.getdata() != -1; first = false) {
        const StationClock::Step step = clock ? clock->measure(reader) : StationClock::Step();
        if (ii_ + step.fill >= BUFFER_SAMPLES - RECORD_ROOM) {
            warn(
                formatted("Warning: buffers full after %lld samples per channel; "
                          "the rest of the input is not converted\n",
                          ii_));
            return false;
        }
        if (first)
            warn_missing_time(reader, name);
        last_ = {reader.is_newfile(), reader.get_tavotime(0), reader.get_length(),
                 reader.get_frequency(), name};
        if (clock) {
            for (Buffer& b : data_)
                std::fill(b.get() + ii_, b.get() + ii_ + step.fill, int16_t{0});
            clock->place(step, ii_);
            ii_ += step.fill;
        }
        const long n = static_cast<long>(reader.get_length());
        for (int c = 0; c < 3; c++) {
            const std::vector<double>& src = reader.current[c];
            for (long j = 0; j < n; j++) {
                const double d = src[j];
                if (!(d > -32769.0 && d < 32768.0))
                    ++*clipped;
                data_[c][ii_ + j] = double2short(d);
            }
        }
        ii_ += n;
        if (!keep_going({"reading", static_cast<unsigned long long>(ii_), 0, false}))
            return false;
    }
    return true;
}

// With -c and the gaps joined, says how much station time lies between the
// record read last, of an earlier file, and the first record of `name` when
// the reader's gap rule sees a gap forward in time between them: the step
// between the stamps less the earlier record's duration, in whole seconds
// (halves away from zero). Both need time words.
void Conversion::warn_missing_time(const Zeltra::ZELTRA& reader, const std::string& name)
{
    if (!options_.combine || options_.gaps != Gaps::JOIN || !last_.stamped || !reader.is_newfile())
        return;
    const time_t step = Zeltra::stamp_step(last_.stamp, reader.get_tavotime(0));
    if (step <= 0 || !Zeltra::is_time_gap(step, last_.length, last_.frequency))
        return;
    const double missing =
        static_cast<double>(step) - static_cast<double>(last_.length) / last_.frequency;
    warn(formatted("Warning: %lld s of station time missing between ", std::llround(missing)) +
         last_.file + " and " + name + "; joined (--gaps silence keeps the time)\n");
}

// Reads one file. Returns false when reading stops here: buffers full,
// cancelled, or a failure (result_.status set, its text said; the reader's
// own lines end with it).
bool Conversion::read_file(const std::string& name, long* clipped)
{
    ReaderMessages messages(diagnostics_);
    std::unique_ptr<Zeltra::ZELTRA> reader;
    try {
        reader.reset(Zeltra::detect(name.c_str(), true, Zeltra::ZELTRA::FT_NEW, false, messages));
        if (!settled_ && !settle_speedup(reader->get_frequency())) {
            messages.mute();
            return false;
        }
        return read_records(*reader, name, clipped);
    } catch (const Zeltra::Error& e) {
        fail(e.status(), e.message());
        messages.mute();
        return false;
    }
}

// Reads the first file, or all of them when combining; combining stops
// once the buffers are full. False on a failure or when cancelled.
bool Conversion::read_files(const std::vector<std::string>& files)
{
    long clipped = 0;
    for (const std::string& name : files)
        if (!read_file(name, &clipped) || !options_.combine)
            break;
    if (result_.status != 0)
        return false;
    diagnostics_.progress({"reading", static_cast<unsigned long long>(ii_), 0, true});
    warn_clipped(clipped);
    return true;
}

void Conversion::remove_offsets()
{
    say("Removing offset ");
    long clipped = 0;
    const std::vector<SampleRun>& silent = clock_ ? clock_->filled() : silent_;
    for (Buffer& b : data_)
        clipped += !silent.empty() ? dsp::remove_channel_offset_around(b.get(), ii_, silent)
                                   : dsp::remove_channel_offset(b.get(), ii_);
    say("done\n");
    warn_clipped(clipped);
}

void Conversion::scale()
{
    if (scale_ == 0) {
        int peak = 0;
        for (const Buffer& b : data_)
            peak = std::max(peak, dsp::peak_abs(b.get(), ii_));
        scale_ = autoscale(peak);
    }
    if (scale_ == 1)
        return;
    say(formatted("Scaling %lld...", scale_));
    long clipped = 0;
    for (Buffer& b : data_)
        clipped += dsp::scale_channel(b.get(), ii_, scale_);
    say("done\n");
    warn_clipped(clipped);
}

Result Conversion::run(const std::vector<std::string>& files)
{
    return run(files, [](Conversion& c, const char* base) { return c.write_rendered(base); });
}

// Everything before the ending: the buffers, reading, the time map, offset
// removal and scaling. False when the conversion ends here.
bool Conversion::prepare(const std::vector<std::string>& files, const char* base)
{
    if (!allocate() || !create_outputs(base))
        return false;
    // The clock always follows the stamps, for Result::time_map; it speaks
    // only with --gaps silence or --timeline, and fills only with the first.
    const bool told = options_.gaps == Gaps::SILENCE || options_.timeline;
    clock_.reset(new StationClock(options_.gaps == Gaps::SILENCE, told ? diagnostics_ : quiet()));
    if (!read_files(files) || result_.cancelled)
        return false;
    if (!settled_ && !settle_speedup(0))
        return false;
    const AudioTimeline map = time_map(*clock_, frames_per_sample(), options_.rate);
    result_.time_map = {map.dated, static_cast<double>(map.start), map.speedup};
    if (options_.timeline) {
        timeline_ = make_timeline(*clock_, ii_, frames_per_sample(), options_.rate);
        chunks_ = timeline_chunks(timeline_, std::string("tavo2wav ") + version());
    }
    if (!leaves_sound() || !fits_wav(chunks_.size()) || !fits_folder())
        return false;
    if (options_.timeline)
        say(timeline_line(timeline_));
    if (options_.remove_offset)
        remove_offsets();
    scale();
    return true;
}

Result Conversion::run(const std::vector<std::string>& files, const Ending& ending)
{
    char drive[256], dir[256], base[256], ext[256];
    explode_path(files.front().c_str(), drive, dir, base, ext);
    if (prepare(files, base)) {
        const int status = ending(*this, base);
        if (status == 0 && options_.timeline && audio_ == nullptr)
            write_labels(base);
    }
    for (Buffer& b : data_)
        b.reset();
    return result_;
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

}  // namespace tavo::engine
