// tavoinfo --plot: each format read back by PIL, poppler or Python's XML parser, the sound axis
// against tavo2wav's label file, and texts that never overlap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "plot.h"
#include "process.h"
#include "replay.h"
#include "rows.h"
#include "sound_axis.h"
#include "survey.h"
#include "tavo_writer.h"
#include "timeline.h"
#include "wav_file.h"

using namespace tavo_test;

bool operator==(const RunResult& a, const RunResult& b)
{
    return a.status == b.status && a.out == b.out && a.err == b.err;
}

std::ostream& operator<<(std::ostream& os, const RunResult& o)
{
    return os << "status " << o.status << "\nout:\n" << o.out << "err:\n" << o.err;
}

namespace {

const double RATE = 18;
const std::size_t LENGTH = 512;
const std::string K16 = "2014/03/20140315/k4031516.dat", K18 = "2014/03/20140315/k4031518.dat";

// 24 records of 512 samples at 18 Hz from 08:00:00, a gap of 600 s before record 12. Channels:
// a sine of `tone` Hz and amplitude 3000, uniform noise of +-3000 (fixed seed), silence.
Recording tone_noise_silence(double tone = 2)
{
    Recording rec{form3_header('S', 512, "18", 1, 'k'), true, LENGTH, {}};
    unsigned long seed = 12345;
    for (std::size_t k = 0; k < 24; ++k) {
        const long stamp = static_cast<long>(std::floor(k * LENGTH / RATE)) + (k >= 12 ? 600 : 0);
        Record r;
        r.time = {stamp / 60, stamp % 60};
        for (std::size_t j = 0; j < LENGTH; ++j) {
            const double n = static_cast<double>(k * LENGTH + j);
            r.channels[0].push_back(std::lround(3000 * std::sin(2 * M_PI * tone * n / RATE)));
            seed = (seed * 1103515245 + 12345) % 2147483648UL;
            r.channels[1].push_back(static_cast<double>(seed % 6001) - 3000);
            r.channels[2].push_back(0);
        }
        rec.records.push_back(r);
    }
    return rec;
}

// A directory holding the recording in the files of the slots given; programs run in it.
struct Workdir {
    explicit Workdir(std::vector<int> slots = {16}, double tone = 2)
    {
        for (const int slot : slots)
            write_binary(dated_path(dir.path(), 'k', 2014, 3, 15, slot), tone_noise_silence(tone));
    }
    RunResult run(const std::vector<std::string>& args) const
    {
        return run_process(args, dir.path(), RunOptions{{"TZ=UTC"}});
    }
    tavoinfo::FileReport survey(const std::string& file) const
    {
        return tavoinfo::survey_file(dir.file(file), Zeltra::null_sink());
    }
    TempDir dir;
};

// key=value lines of plot_check.py.
std::map<std::string, std::string> check_picture(const Workdir& w, const std::string& png,
                                                 const tavoinfo::PlotLayout& l, int sound_row = -1)
{
    std::vector<std::string> args = {PIL_PYTHON_PATH, PLOT_CHECK_PATH, png, "9"};
    for (const tavoinfo::PixelBox& b :
         {l.waveform[0], l.spectrogram[0], l.spectrogram[1], l.spectrogram[2], l.colour_bar[2]})
        args.push_back(std::to_string(b.x) + "," + std::to_string(b.y) + "," +
                       std::to_string(b.width) + "," + std::to_string(b.height));
    if (sound_row >= 0)
        args.push_back(std::to_string(sound_row));
    const RunResult py = w.run(args);
    EXPECT_EQ(py.status, 0) << py.err;
    std::map<std::string, std::string> values;
    std::istringstream in(py.out);
    for (std::string line; std::getline(in, line);)
        values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    return values;
}

// The numbers of "a-b,c-d" (runs of columns) each within 1 of those wanted.
void expect_columns(const std::string& runs, const std::vector<int>& want)
{
    std::vector<int> got;
    for (const char* p = runs.c_str(); *p;) {
        char* end = nullptr;
        got.push_back(static_cast<int>(std::strtol(p, &end, 10)));
        p = *end ? end + 1 : end;
    }
    ASSERT_EQ(got.size(), want.size()) << runs;
    for (std::size_t i = 0; i < got.size(); i++)
        EXPECT_NEAR(got[i], want[i], 1) << i << ": " << runs;
}

// The column of the waveform panel that shows time t of the axis [from, to).
int column(const tavoinfo::PlotLayout& l, double t, double from, double to)
{
    return l.waveform[0].x + tavoinfo::plot_column(t, from, to, l.waveform[0].width);
}

// The 0.5 Hz tone's row (as a linear frequency) on the log axis from 18 / 256 Hz to 9 Hz, or
// on the linear one, where a row spans 9 Hz / height and the tone falls between bins.
void expect_tone(const std::map<std::string, std::string>& v, const tavoinfo::PlotLayout& l,
                 bool log)
{
    const double shown = std::stod(v.at("peak0_hz"));
    if (log)
        EXPECT_NEAR(9.0 / 128 * std::pow(128, shown / 9), 0.5, 0.05);
    else
        EXPECT_NEAR(shown, 0.5, 1.5 * 9.0 / l.spectrogram[0].height + 9.0 / 256);
    EXPECT_GT(std::stod(v.at("off_floor1")), 0.9);
}

// The report is the same with --plot; the extension chooses the format; an empty file of the
// name is refused, an older picture replaced. The PNG shows the gap, tone, noise and silence on
// a log axis (most power lies below a tenth of Nyquist); the PDF's page (poppler) the tone and
// noise on the linear axis asked for; the SVG three spectrograms and its texts.
TEST(PlotPicture, EveryFormatShowsToneNoiseSilenceAndTheGap)
{
    const Workdir w({16}, 0.5);
    const RunResult plain = w.run({TAVOINFO_BIN, K16});
    for (const std::string name : {"p.svg", "p.pdf", "P.PNG"}) {
        write_bytes(w.dir.file(name), "");
        ASSERT_EQ(w.run({TAVOINFO_BIN, "--plot", name, K16}).status, 1) << "empty " << name;
        std::remove(w.dir.file(name).c_str());
        ASSERT_EQ(w.run({TAVOINFO_BIN, "--plot", name, "--plot-size", "480x360", K16}), plain);
        std::vector<std::string> args = {TAVOINFO_BIN, "--plot", name, "--plot-size", "1300x760"};
        if (name == "p.pdf")
            args.insert(args.end(), {"--plot-freq", "linear"});
        args.push_back(K16);
        ASSERT_EQ(w.run(args), plain);
    }
    std::vector<std::string> pictures = {"2014", "P.PNG", "p.pdf", "p.svg"};
    EXPECT_EQ(listing(w.dir.path()), pictures);

    const tavoinfo::FileReport r = w.survey(K16);
    ASSERT_EQ(r.gaps.size(), 1u);
    const tavoinfo::PlotLayout l = tavoinfo::plot_layout(1300, 760, false);
    const auto x = [&](double t) { return column(l, t, r.first, r.last + LENGTH / RATE); };
    const std::vector<int> gap = {x(r.gaps[0].start), x(r.gaps[0].start + r.gaps[0].seconds)};
    const std::map<std::string, std::string> v = check_picture(w, "P.PNG", l);
    EXPECT_EQ(v.at("size"), "1300x760");
    expect_columns(v.at("wave0_shaded"), gap);
    expect_columns(v.at("spec2_shaded"), gap);
    expect_tone(v, l, true);
    EXPECT_EQ(v.at("off_floor2"), "0.000");
    ASSERT_EQ(w.run({"pdftoppm", "-r", "72", "-png", "p.pdf", "page"}).status, 0);
    pictures.push_back("page-1.png");  // one page
    EXPECT_EQ(listing(w.dir.path()), pictures);
    const std::map<std::string, std::string> page = check_picture(w, "page-1.png", l);
    EXPECT_EQ(page.at("size"), "1300x760");
    expect_tone(page, l, false);
    const std::string svg = w.run({PIL_PYTHON_PATH, PLOT_CHECK_PATH, "p.svg"}).out;
    EXPECT_EQ(svg.substr(0, svg.rfind('=') + 1), "size=1300x760\nimages=3\ntexts=");
    EXPECT_GT(std::stoi(svg.substr(svg.rfind('=') + 1)), 20) << svg;
}

// An archive window 07:50 to 08:30, one file from 08:00 with a gap: the report is unchanged,
// the picture spans the window, shading the time before the file, the gap and after it.
TEST(PlotPicture, WindowShadesTheMissingFilesAndTheGap)
{
    const Workdir w;
    const std::vector<std::string> window = {TAVOINFO_BIN,       "--archive", ".",
                                             "--station",        "k",         "--from",
                                             "2014-03-15T07:50", "--to",      "2014-03-15T08:30"};
    std::vector<std::string> drawing = window;
    drawing.insert(drawing.end(), {"--plot", "w.png", "--plot-size", "1300x760"});
    ASSERT_EQ(w.run(drawing), w.run(window));
    const tavoinfo::FileReport r = w.survey(K16);
    ASSERT_EQ(r.gaps.size(), 1u);
    const double from = 1394869800, to = from + 2400;  // 07:50 and 08:30
    const tavoinfo::PlotLayout l = tavoinfo::plot_layout(1300, 760, false);
    const auto x = [&](double t) { return column(l, t, from, to); };
    expect_columns(check_picture(w, "w.png", l).at("wave0_shaded"),
                   {l.waveform[0].x, x(r.first) - 1, x(r.gaps[0].start),
                    x(r.gaps[0].start + r.gaps[0].seconds), x(r.last + LENGTH / RATE),
                    l.waveform[0].x + l.waveform[0].width - 1});
}

// Each record's stamp and where the sound axis places it.
struct Placements : tavoinfo::RecordSink {
    Placements(tavoinfo::SoundPlacer& p, const std::vector<tavoinfo::FileReport>& r)
        : placer(p), reports(r)
    {
    }
    void file_begins(std::size_t file, const Zeltra::ZELTRA& reader) override
    {
        placer.begin_file(file, reader, reports[file].path);
    }
    void run_begins(std::size_t, double, double) override {}
    void record(const Zeltra::ZELTRA& reader) override
    {
        const tavoinfo::SoundPlacer::Place p = placer.place(reader);
        if (p.converted)
            placed.push_back({static_cast<double>(reader.get_tavotime(0)), p});
    }
    void run_ends() override {}
    std::vector<std::pair<double, tavoinfo::SoundPlacer::Place>> placed;
    tavoinfo::SoundPlacer& placer;
    const std::vector<tavoinfo::FileReport>& reports;
};

struct Audio {
    const char* name;
    const char* options;
    int pieces;  // of the drawn sound axis
};

class SoundPlacement : public ::testing::TestWithParam<Audio> {};

// Two files: the sound axis places each hour and gap of tavo2wav's label file to the frame, and
// is as long as the WAV. It runs to the end of the first file (the second with -c), stops at
// each gap joined (one in each file, one between them), runs through those filled.
TEST_P(SoundPlacement, LandsWhereTheLabelFileSays)
{
    const Workdir w({16, 18});
    const std::string command = TAVO2WAV_BIN " --timeline " + std::string(GetParam().options);
    ASSERT_EQ(w.run({"/bin/sh", "-c", command + " " + K16 + " " + K18}).status, 0);
    const std::vector<tavoinfo::FileReport> reports = {w.survey(K16), w.survey(K18)};
    tavoinfo::Timeline t;
    std::string why;
    ASSERT_TRUE(tavoinfo::lay_out(reports, t, why)) << why;
    const tavo::cli::OptionWords o = tavo::cli::read_option_words(GetParam().options);
    tavoinfo::SoundPlacer placer(o.options, t.frequency);
    ASSERT_EQ(placer.refusal(), "");
    Placements sink(placer, reports);
    ASSERT_TRUE(tavoinfo::replay(reports, t, sink, why)) << why;

    const double rate = static_cast<double>(o.options.rate);
    const auto frame = [&](double sound_seconds) { return std::llround(sound_seconds * rate); };
    std::istringstream labels(read_bytes(w.dir.file("k4031516.labels.txt")));
    int checked = 0;
    for (std::string line; std::getline(labels, line); ++checked) {
        double start = 0, end = 0;
        char text[64] = "";
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf\t%lf\t%63[^\n]", &start, &end, text), 3) << line;
        std::tm hour{};
        if (std::strncmp(text, "gap ", 4) != 0) {
            ASSERT_TRUE(strptime(text, "%Y-%m-%d %H:%MZ", &hour)) << line;
            const double h = static_cast<double>(timegm(&hour));
            std::size_t r = 0;  // the last record stamped at or before the hour
            while (r + 1 < sink.placed.size() && sink.placed[r + 1].first <= h)
                ++r;
            const double at = sink.placed[r].second.position + (h - sink.placed[r].first) * RATE;
            EXPECT_NEAR(frame(placer.seconds_at(at)), frame(start), 1) << line;
            continue;
        }
        const bool silence = std::strstr(text, "silence") != nullptr;
        bool found = false;
        for (const auto& [stamp, p] : sink.placed)
            found = found || ((p.silence > 0) == silence &&
                              frame(placer.seconds_at(p.position - p.silence)) == frame(start) &&
                              frame(placer.seconds_at(p.position)) == frame(end));
        EXPECT_TRUE(found) << line;
    }
    EXPECT_GE(checked, 2);
    EXPECT_EQ(frame(placer.total_seconds()),
              static_cast<long long>(read_wav(w.dir.file("a4031516.wav")).frames));

    const tavoinfo::PlotLayout l = tavoinfo::plot_layout(1000, 600, true);
    const RunResult r = w.run({TAVOINFO_BIN, "--plot", "s.png", "--plot-size", "1000x600",
                               "--audio", GetParam().options, K16, K18});
    ASSERT_EQ(r.status, 0) << r;
    const std::map<std::string, std::string> v = check_picture(w, "s.png", l, l.sound_axis_y);
    const double end = o.options.combine ? t.end : reports[0].last + LENGTH / RATE;
    expect_columns(v.at("sound_ink"), {l.waveform[0].x, column(l, end, t.start, t.end)});
    EXPECT_EQ(v.at("sound_runs"), std::to_string(GetParam().pieces));
}

const Audio audio[] = {
    {"CombinedSilence", "-c -u 50 -r 1 --gaps silence", 1},
    {"CombinedJoined", "-c -u 7", 4},
    {"SincRatioSilence", "-c --resampler sinc --speedup 37 -r 1 --gaps silence", 1},
    {"FirstFileOnly", "--resampler sinc -u 3 --gaps silence", 1},
    {"FirstFileOnlyJoined", "-u 50 -r 1", 2},
};

INSTANTIATE_TEST_SUITE_P(Options, SoundPlacement, ::testing::ValuesIn(audio), RowName());

// Two files (a gap inside the first, one between them, a subtitle naming both) at the smallest
// and the default size, with the sound axis.
struct LabelCase {
    const char* name;
    int width, height;
    double tone;  // 0.2 Hz makes the axis logarithmic, 2 Hz linear
    bool sound;
};

class PlotLabels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(PlotLabels, NeitherOverlapNorLeaveThePictureNorAreCut)
{
    const LabelCase& c = GetParam();
    const Workdir w({16, 18}, c.tone);
    tavoinfo::PlotOptions o;
    o.output = w.dir.file("p.png");
    o.width = c.width;
    o.height = c.height;
    o.sound_text = "-c -u 50 -r 1";
    o.sound_axis = c.sound;
    o.sound = tavo::cli::read_option_words(o.sound_text).options;
    std::vector<tavoinfo::TextBox> placed;
    std::string why;
    ASSERT_TRUE(tavoinfo::draw_plot({w.survey(K16), w.survey(K18)}, o, why, &placed)) << why;
    std::map<std::string, int> count;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const tavoinfo::TextBox& a = placed[i];
        ++count[a.text];
        EXPECT_EQ(a.text.find("..."), std::string::npos) << a.text;
        EXPECT_TRUE(a.x0 >= 0 && a.y0 >= 0 && a.x1 <= c.width && a.y1 <= c.height) << a.text;
        for (std::size_t j = 0; j < i; ++j) {
            const tavoinfo::TextBox& b = placed[j];
            EXPECT_FALSE(a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1)
                << "\"" << a.text << "\" on \"" << b.text << "\"";
        }
    }
    EXPECT_EQ(count["counts"], 3);
    EXPECT_EQ(count["0.1 Hz"], c.tone < 1 ? 3 : 0);
    EXPECT_EQ(count["0 Hz"], c.tone < 1 ? 0 : 3);
    EXPECT_EQ(count["gap 10.0 min"], 2);
    EXPECT_EQ(count["38.6 min between files"], 1);
}

const LabelCase sizes[] = {
    {"SmallestLog", 480, 360, 0.2, true},
    {"SmallestLinear", 480, 360, 2, true},
    {"SmallestWithoutSound", 480, 360, 0.2, false},
    {"DefaultLog", 1600, 900, 0.2, true},
    {"WideAndLow", 1600, 360, 2, true},
    {"NarrowAndTall", 480, 900, 0.2, true},
};

INSTANTIATE_TEST_SUITE_P(Sizes, PlotLabels, ::testing::ValuesIn(sizes), RowName());

}  // namespace
