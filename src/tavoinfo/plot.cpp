// tavoinfo --plot: the picture's geometry and the drawing pass that reduces
// the record stream to pixel columns.
#include "plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "plot_render.h"
#include "replay.h"

namespace tavoinfo {

namespace {

int round_px(double x)
{
    return static_cast<int>(std::lround(x));
}

// Hands each channel's samples to its columns and notes where the sound
// samples of each column lie.
class PictureSink : public RecordSink {
public:
    PictureSink(PlotPicture& p, const ColumnGrid& grid, const PlotOptions& options)
        : p_(p), grid_(grid), frequency_(p.timeline.frequency), combine_(options.sound.combine)
    {
    }

    void run_begins(std::size_t file, double at, double until) override
    {
        for (auto& c : p_.channels)
            c->begin_run(at, until);
        file_ = file;
        at_ = at;
        last_column_ = std::max(grid_.column_of(at), grid_.last_column_before(until));
    }

    void record(const double* const samples[3], std::size_t length) override
    {
        for (int c = 0; c < 3; ++c)
            p_.channels[c]->push(samples[c], length);
        if (p_.sound) {
            const bool converted = file_ == 0 || combine_;
            if (converted && taken_ < SOUND_SAMPLE_LIMIT)
                note_sound(length);
            else if (converted)
                p_.sound_columns.cut = true;
            else
                p_.sound_columns.first_file_only = true;
        }
        at_ += static_cast<double>(length) / frequency_;
    }

    void run_ends() override
    {
        for (auto& c : p_.channels)
            c->end_run();
    }

    unsigned long long sound_samples() const { return taken_; }

private:
    // The record's samples taken_ .. taken_ + length - 1 over its columns.
    void note_sound(std::size_t length)
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
            SoundColumns& s = p_.sound_columns;
            const std::size_t i = static_cast<std::size_t>(c);
            s.low[i] = std::min(s.low[i], static_cast<double>(taken_) + std::max(0.0, from));
            s.high[i] = std::max(s.high[i], static_cast<double>(taken_) + std::max(from, to));
        }
        taken_ += length;
    }

    PlotPicture& p_;
    const ColumnGrid grid_;
    const double frequency_;
    const bool combine_;
    std::size_t file_ = 0;
    double at_ = 0;
    int last_column_ = 0;
    unsigned long long taken_ = 0;
};

// Hands on the samples of each run that lie in a window of station time,
// as runs of their own.
class WindowSink : public RecordSink {
public:
    WindowSink(RecordSink& inner, const PlotOptions::Window& w, double frequency)
        : inner_(inner), w_(w), frequency_(frequency)
    {
    }

    void run_begins(std::size_t file, double at, double until) override
    {
        file_ = file;
        at_ = at;
        until_ = until;
    }

    void record(const double* const samples[3], std::size_t length) override
    {
        // A sample a millionth of a sample before an edge is on it.
        const auto index = [&](double t) {
            const double i = std::ceil((t - at_) * frequency_ - 1e-6);
            return static_cast<std::size_t>(std::clamp(i, 0.0, static_cast<double>(length)));
        };
        const std::size_t first = index(w_.from), last = index(w_.to);
        if (first < last) {
            if (!open_)
                inner_.run_begins(file_, at_ + static_cast<double>(first) / frequency_,
                                  std::min(until_, w_.to));
            open_ = true;
            const double* part[3] = {samples[0] + first, samples[1] + first, samples[2] + first};
            inner_.record(part, last - first);
        }
        at_ += static_cast<double>(length) / frequency_;
    }

    void run_ends() override
    {
        if (open_)
            inner_.run_ends();
        open_ = false;
    }

private:
    RecordSink& inner_;
    const PlotOptions::Window w_;
    const double frequency_;
    std::size_t file_ = 0;
    double at_ = 0, until_ = 0;
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
        clip_to_window(picture.timeline, options.window->from, options.window->to);
    const PlotLayout layout = plot_layout(options.width, options.height, options.sound_axis);
    const Timeline& t = picture.timeline;
    const ColumnGrid grid{layout.waveform[0].width, t.start, t.end};
    const double samples_per_column = (t.end - t.start) * t.frequency / grid.count;
    const std::size_t hop = static_cast<std::size_t>(
        std::clamp(std::floor(samples_per_column), 1.0, static_cast<double>(SPECTRUM_WINDOW / 2)));
    for (auto& c : picture.channels)
        c.reset(new ChannelColumns(grid, t.frequency, hop));
    picture.sound = options.sound_axis;
    if (picture.sound) {
        const std::size_t n = static_cast<std::size_t>(grid.count);
        picture.sound_columns.low.assign(n, std::numeric_limits<double>::infinity());
        picture.sound_columns.high.assign(n, -std::numeric_limits<double>::infinity());
        picture.sound_columns.seconds_per_sample = options.sound.seconds_per_sample();
    }
    PictureSink sink(picture, grid, options);
    WindowSink clipped(sink, options.window.value_or(PlotOptions::Window{t.start, t.end}),
                       t.frequency);
    if (!replay(reports, t, options.window ? static_cast<RecordSink&>(clipped) : sink, why))
        return false;
    picture.sound_columns.total_seconds =
        static_cast<double>(sink.sound_samples()) * picture.sound_columns.seconds_per_sample;
    picture.frequency = options.frequency ? *options.frequency
                                          : default_frequency_scale(summed_power(picture, grid));
    return render_plot(picture, layout, options, why, placed);
}

}  // namespace tavoinfo
