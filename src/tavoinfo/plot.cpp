// tavoinfo --plot: the picture's geometry and the drawing pass that reduces
// the record stream to pixel columns.
#include "plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include "plot_render.h"
#include "replay.h"
#include "sound_axis.h"

namespace tavoinfo {

namespace {

int round_px(double x)
{
    return static_cast<int>(std::lround(x));
}

// Hands each channel's samples to its columns and notes where the sound
// samples of each column lie, placed as the conversion places them.
class PictureSink : public RecordSink {
public:
    PictureSink(PlotPicture& p, const ColumnGrid& grid, SoundPlacer* placer)
        : p_(p), grid_(grid), frequency_(p.timeline.frequency), placer_(placer)
    {
    }

    void file_begins(std::size_t file, const Zeltra::ZELTRA& reader) override
    {
        if (placer_)
            placer_->begin_file(file, reader, (*p_.reports)[file].path);
    }

    void run_begins(std::size_t, double at, double until) override
    {
        for (auto& c : p_.channels)
            c->begin_run(at, until);
        gap_from_ = at_;
        at_ = at;
        last_column_ = std::max(grid_.column_of(at), grid_.last_column_before(until));
    }

    void record(const Zeltra::ZELTRA& reader) override
    {
        const std::size_t length = reader.get_length();
        for (int c = 0; c < 3; ++c)
            p_.channels[c]->push(reader.current[c].data(), length);
        const SoundPlacer::Place place = placer_ ? placer_->place(reader) : SoundPlacer::Place();
        if (place.converted) {
            note_silence(place.position - static_cast<double>(place.silence), place.silence);
            note_sound(place.position, length);
        }
        at_ += static_cast<double>(length) / frequency_;
    }

    void run_ends() override
    {
        for (auto& c : p_.channels)
            c->end_run();
    }

    // Samples of part of a record, `length` per channel, with no sound to
    // place (a window's picture has no sound axis).
    void record_part(const double* const samples[3], std::size_t length)
    {
        for (int c = 0; c < 3; ++c)
            p_.channels[c]->push(samples[c], length);
        at_ += static_cast<double>(length) / frequency_;
    }

private:
    void note(int c, double low, double high)
    {
        SoundColumns& s = p_.sound_columns;
        const std::size_t i = static_cast<std::size_t>(c);
        s.low[i] = std::min(s.low[i], low);
        s.high[i] = std::max(s.high[i], high);
    }

    // The record's samples from sound position `first` over its columns.
    void note_sound(double first, std::size_t length)
    {
        const double last = at_ + static_cast<double>(length - 1) / frequency_;
        const int first_col = std::min(last_column_, grid_.column_of(at_));
        const int last_col = std::min(last_column_, grid_.column_of(last));
        const double px = (grid_.end - grid_.start) / grid_.count;
        for (int c = first_col; c <= last_col; ++c) {
            const double from =
                c == first_col ? 0 : std::ceil((grid_.start + c * px - at_) * frequency_);
            const double to = c == last_col
                                  ? static_cast<double>(length - 1)
                                  : std::ceil((grid_.start + (c + 1) * px - at_) * frequency_) - 1;
            note(c, first + std::max(0.0, from), first + std::max(from, to));
        }
    }

    // `samples` samples of silence from sound position `first`, spread
    // evenly over the gap they fill: from the end of the run before to the
    // start of this one.
    void note_silence(double first, long samples)
    {
        const double span = at_ - gap_from_;
        if (samples <= 0 || !(span > 0))
            return;
        const double px = (grid_.end - grid_.start) / grid_.count;
        const double per_second = static_cast<double>(samples) / span;
        for (int c = grid_.column_of(gap_from_); c <= grid_.column_of(at_); ++c) {
            const double from = std::max(gap_from_, grid_.start + c * px);
            const double to = std::min(at_, grid_.start + (c + 1) * px);
            if (to > from) {
                const double low = first + (from - gap_from_) * per_second;
                note(c, low, std::max(low, first + (to - gap_from_) * per_second - 1));
            }
        }
    }

    PlotPicture& p_;
    const ColumnGrid grid_;
    const double frequency_;
    SoundPlacer* const placer_;
    double at_ = 0;        // axis second of the next record
    double gap_from_ = 0;  // where the run before the current one ended
    int last_column_ = 0;
};

// Hands on the samples of each run that lie in a window of station time,
// as runs of their own.
class WindowSink : public RecordSink {
public:
    WindowSink(PictureSink& inner, const tavo::archive::Window& w, double frequency)
        : inner_(inner), w_(w), frequency_(frequency)
    {
    }

    void file_begins(std::size_t file, const Zeltra::ZELTRA& reader) override
    {
        inner_.file_begins(file, reader);
    }

    void run_begins(std::size_t file, double at, double until) override
    {
        file_ = file;
        at_ = at;
        until_ = until;
        done_ = 0;
    }

    // The samples of the record in the window, as the converter trims them:
    // each sample timed from the run's start.
    void record(const Zeltra::ZELTRA& reader) override
    {
        const long long length = static_cast<long long>(reader.get_length());
        const tavo::archive::SampleRange in =
            tavo::archive::samples_in_window(at_, frequency_, done_, length, w_);
        if (in.begin < in.end) {
            if (!open_)
                inner_.run_begins(file_, at_ + static_cast<double>(in.begin) / frequency_,
                                  std::min(until_, static_cast<double>(w_.to)));
            open_ = true;
            const std::size_t skip = static_cast<std::size_t>(in.begin - done_);
            const double* part[3] = {reader.current[0].data() + skip,
                                     reader.current[1].data() + skip,
                                     reader.current[2].data() + skip};
            inner_.record_part(part, static_cast<std::size_t>(in.end - in.begin));
        }
        done_ += length;
    }

    void run_ends() override
    {
        if (open_)
            inner_.run_ends();
        open_ = false;
    }

private:
    PictureSink& inner_;
    const tavo::archive::Window w_;
    const double frequency_;
    std::size_t file_ = 0;
    double at_ = 0, until_ = 0;
    long long done_ = 0;  // samples of the run before this record
    bool open_ = false;
};

// Power per spectrum bin, summed over every column of the three channels.
std::vector<double> summed_power(const PlotPicture& p, const ColumnGrid& grid)
{
    std::vector<double> sum(ChannelColumns::bins(), 0.0);
    for (const auto& channel : p.channels)
        for (int c = 0; c < grid.count; ++c) {
            const std::vector<double> power = channel->power(c);
            for (std::size_t k = 0; k < sum.size(); ++k)
                sum[k] += power[k];
        }
    return sum;
}

}  // namespace

bool parse_plot_size(const std::string& text, int& width, int& height, std::string& why)
{
    int w = 0, h = 0, used = 0;
    char x = 0;
    const bool parsed = std::sscanf(text.c_str(), "%5d%c%5d%n", &w, &x, &h, &used) == 3 &&
                        (x == 'x' || x == 'X') && static_cast<std::size_t>(used) == text.size() &&
                        text.find_first_of(" +-") == std::string::npos;
    if (!parsed || w < PLOT_MIN_WIDTH || h < PLOT_MIN_HEIGHT || w > PLOT_MAX_SIDE ||
        h > PLOT_MAX_SIDE) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "--plot-size wants WIDTHxHEIGHT from %dx%d to %dx%d pixels",
                      PLOT_MIN_WIDTH, PLOT_MIN_HEIGHT, PLOT_MAX_SIDE, PLOT_MAX_SIDE);
        why = buf;
        return false;
    }
    width = w;
    height = h;
    return true;
}

PlotLayout plot_layout(int width, int height, bool sound_axis)
{
    PlotLayout l;
    const double f = std::clamp(std::round(std::min(height / 68.0, width / 110.0)), 9.0, 28.0);
    l.font = static_cast<int>(f);
    const int left = round_px(6.5 * f), right = round_px(6.2 * f);
    const int bar_width = round_px(0.9 * f);
    const int top = round_px(0.5 * f + 2.8 * f);  // two title lines
    l.gap_labels_y = top + round_px(1.6 * f);
    const int channels_top = l.gap_labels_y + round_px(0.6 * f);
    const int bottom = round_px(4.9 * f + (sound_axis ? 3.8 * f : 0) + 0.4 * f);
    const int label_line = round_px(1.4 * f), inner = round_px(0.25 * f), after = round_px(0.8 * f);
    const int each = std::max(8, (height - channels_top - bottom) / 3 - label_line - inner - after);
    const int wave = std::max(4, round_px(each * 0.33));
    const int spectrum = std::max(4, each - wave);
    int y = channels_top;
    for (int c = 0; c < 3; ++c) {
        y += label_line;
        l.waveform[c] = PixelBox{left, y, width - left - right, wave};
        y += wave + inner;
        l.spectrogram[c] = PixelBox{left, y, width - left - right, spectrum};
        l.colour_bar[c] = PixelBox{width - right + round_px(0.5 * f), y, bar_width, spectrum};
        y += spectrum + after;
    }
    l.time_axis_y = y - after + round_px(0.4 * f);
    l.sound_axis_y = l.time_axis_y + round_px(4.9 * f);
    return l;
}

int plot_column(double t, double start, double end, int columns)
{
    return ColumnGrid{columns, start, end}.column_of(t);
}

bool draw_plot(const std::vector<FileReport>& reports, const PlotOptions& options, std::string& why,
               std::vector<TextBox>* placed)
{
    PlotPicture picture;
    picture.reports = &reports;
    if (!lay_out(reports, picture.timeline, why))
        return false;
    if (options.window && picture.timeline.clock != AxisClock::Utc) {
        why = "the files of a window need stamps with a date";
        return false;
    }
    if (options.window)
        clip_to_window(picture.timeline, static_cast<double>(options.window->from),
                       static_cast<double>(options.window->to));
    const PlotLayout layout = plot_layout(options.width, options.height, options.sound_axis);
    const Timeline& t = picture.timeline;
    const ColumnGrid grid{layout.waveform[0].width, t.start, t.end};
    const double samples_per_column = (t.end - t.start) * t.frequency / grid.count;
    const std::size_t hop = static_cast<std::size_t>(
        std::clamp(std::floor(samples_per_column), 1.0, static_cast<double>(SPECTRUM_WINDOW / 2)));
    for (auto& c : picture.channels)
        c.reset(new ChannelColumns(grid, t.frequency, hop));
    picture.sound = options.sound_axis;
    std::unique_ptr<SoundPlacer> placer;
    if (picture.sound) {
        placer.reset(new SoundPlacer(options.sound, t.frequency));
        if (!placer->refusal().empty()) {
            // The line tavo2wav would end with, without its "Error: " and line end.
            const std::string& line = placer->refusal();
            why = "--audio: " + line.substr(7, line.size() - 8);
            return false;
        }
        const std::size_t n = static_cast<std::size_t>(grid.count);
        picture.sound_columns.low.assign(n, std::numeric_limits<double>::infinity());
        picture.sound_columns.high.assign(n, -std::numeric_limits<double>::infinity());
        picture.sound_columns.seconds_per_sample = placer->seconds_at(1);
    }
    PictureSink sink(picture, grid, placer.get());
    WindowSink clipped(sink, options.window.value_or(tavo::archive::Window{}), t.frequency);
    if (!replay(reports, t, options.window ? static_cast<RecordSink&>(clipped) : sink, why))
        return false;
    if (placer) {
        picture.sound_columns.total_seconds = placer->total_seconds();
        picture.sound_columns.first_file_only = placer->first_file_only();
        picture.sound_columns.cut = placer->cut();
    }
    picture.frequency = options.frequency ? *options.frequency
                                          : default_frequency_scale(summed_power(picture, grid));
    return render_plot(picture, layout, options, why, placed);
}

}  // namespace tavoinfo
