// A conversion of a time window: the files of the window found in the
// archive (or named), a first pass over their records that measures what
// the stages need (per channel a histogram of the 16-bit values: the mean,
// the peak and every clip count) and the window's coverage, then the
// ending through the renderer, whose streams a second pass feeds as it
// reads the window again. Memory stays bounded whatever the window's
// length; the sound equals what the buffered stages give the same samples.
#include <array>
#include <cctype>
#include <cstdio>

#include "dsp/histogram.h"
#include "dsp/sinc_stream.h"
#include "engine/conversion.h"
#include "engine/reader_messages.h"
#include "engine/wav_chunks.h"
#include "engine/window_input.h"
#include "engine/window_timeline.h"
#include "engine/window_walk.h"

namespace tavo::engine {

namespace {

archive::Window window_of(const TimeWindow& w)
{
    archive::Window window;
    window.root = w.archive;
    window.station = w.station;
    window.from = w.from;
    window.to = w.to;
    return window;
}

std::string line(const char* format, long long value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

// The work of Conversion::run_window before the ending.
class WindowConversion : public WalkObserver {
public:
    WindowConversion(Conversion& c, bool buffered)
        : c_(c),
          buffered_(buffered),
          window_(window_of(c.options_.window)),
          fill_(c.options_.gaps == Gaps::SILENCE)
    {
    }

    // Everything before the ending; false when the conversion ends here.
    bool prepare(const std::vector<std::string>& inputs)
    {
        // The output files are created once the first pass has named them
        // (the station may come from the first file), before the work.
        if (!list(inputs) || !first_pass() || !c_.create_outputs(base_.c_str()))
            return false;
        c_.ii_ = static_cast<long>(sound_.placed);
        if (c_.options_.timeline) {
            c_.timeline_ = window_timeline(time_facts());
            c_.chunks_ = timeline_chunks(c_.timeline_, std::string("tavo2wav ") + version());
            c_.say(timeline_line(c_.timeline_));
        }
        c_.result_.time_map = {
            true, fill_ ? static_cast<double>(window_.from) : sound_.first_time,
            static_cast<double>(c_.options_.rate) / (sound_.frequency * c_.frames_per_sample())};
        if (buffered_) {
            c_.silent_ = sound_.silent;
            if (c_.options_.remove_offset)
                c_.remove_offsets();
            c_.scale();
            return true;
        }
        stream(prepared_values_of());
        return true;
    }

    // The output files' base name: the station and the window's start.
    const std::string& base() const { return base_; }

private:
    // What the first pass found.
    struct Found {
        long long placed = 0;
        double frequency = 0;
        double first_time = 0;
        std::vector<SoundAnchor> anchors;
        std::vector<dsp::SampleRun> silent;
        std::vector<std::string> sources;
        std::vector<archive::NoData> no_data;
    };

    void opening(const archive::ArchiveFile& file) override
    {
        const std::string shadow = archive::shadow_warning(file);
        if (!shadow.empty())
            c_.warn(shadow);
    }

    bool opened(const Zeltra::ZELTRA& z) override
    {
        return c_.settled_ || c_.settle_speedup(z.get_frequency());
    }

    bool list(const std::vector<std::string>& inputs)
    {
        if (!window_.has_archive()) {
            for (const std::string& name : inputs)
                files_.push_back({name, 0, ""});
            return true;
        }
        const archive::Listing listing = archive::find_files(window_);
        if (!listing.error.empty() || listing.files.empty()) {
            c_.fail(1, listing.error.empty() ? archive::no_data_error(window_) : listing.error);
            return false;
        }
        files_ = listing.files;
        return true;
    }

    bool first_pass()
    {
        ReaderMessages messages(c_.diagnostics_);
        WindowWalk walk(window_, files_, fill_, messages, this);
        if (buffered_ && !c_.allocate())
            return false;
        for (;;) {
            WindowStep step;
            const WindowWalk::Status s = walk.next(step);
            if (s == WindowWalk::Status::FAILED)
                c_.fail(walk.failure_status(), walk.failure());
            if (s == WindowWalk::Status::FAILED || s == WindowWalk::Status::STOPPED ||
                !take(step)) {
                messages.mute();
                return false;
            }
            if (s == WindowWalk::Status::END)
                break;
            if (!c_.keep_going(
                    {"reading", static_cast<unsigned long long>(walk.placed()), 0, false}))
                return false;
        }
        return survey_done(walk);
    }

    // The samples of one step: counted, or (buffered) put into the buffers.
    bool take(const WindowStep& step)
    {
        if (buffered_ && at_ + step.silence + static_cast<long long>(step.count()) >
                             BUFFER_SAMPLES - RECORD_ROOM) {
            c_.fail(1, "Error: the window does not fit the buffers\n");
            return false;
        }
        for (int c = 0; c < 3; c++) {
            const std::vector<double>& src = step.channels ? step.channels[c] : none_;
            int16_t* out = buffered_ ? c_.data_[c].get() + at_ : nullptr;
            if (out)
                std::fill(out, out + step.silence, int16_t{0});
            for (std::size_t j = step.begin; j < step.end; j++) {
                const double d = src[j];
                if (!(d > -32769.0 && d < 32768.0))
                    ++read_clipped_;
                const int16_t v = double2short(d);
                if (out)
                    out[step.silence + static_cast<long long>(j - step.begin)] = v;
                else
                    histograms_[c].add(v);
            }
        }
        at_ += step.silence + static_cast<long long>(step.count());
        return true;
    }

    bool survey_done(const WindowWalk& walk)
    {
        c_.diagnostics_.progress(
            {"reading", static_cast<unsigned long long>(walk.placed()), 0, true});
        if (walk.data_samples() == 0) {
            c_.fail(1, archive::no_data_error(window_));
            return false;
        }
        std::vector<std::int64_t> named;
        for (const archive::ArchiveFile& f : files_)
            if (window_.has_archive())
                named.push_back(f.slot_start);
        sound_.no_data = archive::measure_coverage(window_, walk.records(), named).no_data;
        if (!sound_.no_data.empty())
            c_.warn(archive::no_data_warnings(sound_.no_data));
        c_.warn_clipped(read_clipped_);
        sound_.placed = walk.placed();
        sound_.frequency = walk.frequency();
        sound_.first_time = walk.first_time();
        sound_.anchors = walk.anchors();
        sound_.silent = walk.silent();
        sound_.sources = walk.sources();
        base_ = archive::window_base_name(station(walk), window_.from);
        return true;
    }

    // The station letter: the archive's, else the first file's header's,
    // else the first letter of its name.
    char station(const WindowWalk& walk) const
    {
        if (window_.has_archive())
            return window_.station;
        if (std::isalnum(static_cast<unsigned char>(walk.station())))
            return walk.station();
        const std::string& path = files_.front().path;
        const std::string name = path.substr(path.rfind('/') + 1);
        return name.empty() ? 'x' : name[0];
    }

    WindowSound time_facts() const
    {
        WindowSound s;
        s.window = window_;
        s.filled = fill_;
        s.frequency = sound_.frequency;
        s.up = c_.frames_per_sample();
        s.rate = c_.options_.rate;
        s.frames = c_.output_frames();
        s.first_time = sound_.first_time;
        s.anchors = sound_.anchors;
        s.no_data = sound_.no_data;
        s.station = window_.has_archive() ? window_.station : base_[0];
        s.sources = sound_.sources;
        return s;
    }

    // The offset and scaling stages as their lines and clip warnings say
    // them over whole buffers, worked out from the histograms; the tables
    // that prepare every value as the second pass streams it.
    std::array<std::vector<int16_t>, 3> prepared_values_of()
    {
        std::array<long long, 3> mean{0, 0, 0};
        if (c_.options_.remove_offset) {
            c_.say("Removing offset ");
            long clipped = 0;
            for (int c = 0; c < 3; c++) {
                mean[c] = histograms_[c].mean();
                clipped += histograms_[c].clipped_by_shift(mean[c]);
            }
            c_.say("done\n");
            c_.warn_clipped(clipped);
        }
        if (c_.scale_ == 0) {
            int peak = 0;
            for (int c = 0; c < 3; c++)
                peak = std::max(peak, histograms_[c].peak_after(mean[c]));
            c_.scale_ = autoscale(peak);
        }
        if (c_.scale_ != 1) {
            c_.say(line("Scaling %lld...", c_.scale_));
            long clipped = 0;
            for (int c = 0; c < 3; c++)
                clipped += histograms_[c].clipped_by_scale(mean[c], c_.scale_);
            c_.say("done\n");
            c_.warn_clipped(clipped);
        }
        std::array<std::vector<int16_t>, 3> tables;
        for (int c = 0; c < 3; c++)
            tables[c] = dsp::prepared_values(mean[c], c_.scale_);
        return tables;
    }

    // The second pass, ready to feed the renderer's streams.
    void stream(std::array<std::vector<int16_t>, 3> tables)
    {
        StreamShape shape;
        const bool linear = c_.options_.resampler == Resampler::LINEAR;
        shape.sinc = !linear && c_.resampling_.sinc;
        shape.in_rate = c_.resampling_.in_rate;
        shape.out_rate = c_.resampling_.out_rate;
        shape.u = linear ? c_.resampling_.upsample : 0;
        shape.filter = linear && c_.options_.filter;
        std::unique_ptr<WindowWalk> again(
            new WindowWalk(window_, files_, fill_, Zeltra::null_sink()));
        c_.window_.reset(
            new WindowInput(std::move(again), std::move(tables), sound_.placed, shape));
    }

    Conversion& c_;
    const bool buffered_;
    const archive::Window window_;
    const bool fill_;
    std::vector<archive::ArchiveFile> files_;
    std::array<dsp::ValueHistogram, 3> histograms_;
    const std::vector<double> none_;
    long read_clipped_ = 0;
    long long at_ = 0;  // samples read into the buffers
    Found sound_;
    std::string base_;
};

Result Conversion::run_window(const std::vector<std::string>& files, bool buffered)
{
    {
        WindowConversion window(*this, buffered);
        if (window.prepare(files)) {
            const std::string base = window.base();
            const int status = write_rendered(base.c_str());
            if (status == 0 && options_.timeline && audio_ == nullptr)
                write_labels(base.c_str());
        }
    }
    window_.reset();
    for (Buffer& b : data_)
        b.reset();
    return result_;
}

}  // namespace tavo::engine
