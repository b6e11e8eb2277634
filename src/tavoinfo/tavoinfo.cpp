// tavoinfo: reports what TAVO data files hold: kind, header fields, record
// count, first and last record times, duration and time gaps.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <iostream>
#include <vector>

#include <kemra/libkemra.h>

#include "archive_report.h"
#include "cli/cli.h"
#include "cli/command_line.h"
#include "cli/interrupt.h"
#include "cli/long_options.h"
#include "cli/options.h"
#include "picture_file.h"
#include "plot.h"
#include "report.h"
#include "survey.h"

namespace {

void usage()
{
    std::printf(
        "Usage: tavoinfo [--json] [--plot OUT.png|.svg|.pdf [--plot-size WxH] "
        "[--audio \"OPTIONS\"]] <file>...\n"
        "       tavoinfo [--json] --archive ROOT --station k --from TIME (--to TIME|--duration D)\n"
        "                [--plot OUT.png|.svg|.pdf [--plot-size WxH]]\n"
        "Reports what each TAVO data file holds: kind, header line, station,\n"
        "sampling frequency, gain, record length, time words, records, samples,\n"
        "first and last record times, nominal duration and time gaps.\n"
        "\t--json      one JSON document for all files\n"
        "\t--plot OUT.png  also draw the files, one after the other, as one picture:\n"
        "\t            waveform and spectrogram per channel on a station-time axis;\n"
        "\t            the name's extension chooses PNG, SVG or PDF, and only an\n"
        "\t            older picture of that format is ever replaced\n"
        "\t--plot-size WxH  picture size in pixels (default 1600x900)\n"
        "\t--plot-freq linear|log  frequency axis of the spectrograms (log: from\n"
        "\t            one bin above 0 Hz); by default log when the spectrum bins\n"
        "\t            below a tenth of the Nyquist frequency (bin 0 included) hold\n"
        "\t            more than half of the power of all bins, summed over every\n"
        "\t            column of the three channels, else linear\n"
        "\t--audio \"-u 50 -r 1\"  add an axis in seconds of the sound tavo2wav\n"
        "\t            would make with these options (any of its conversion options)\n"
        "\t--archive ROOT --station k --from 2014-03-15T06:00:00Z --to ... (or\n"
        "\t            --duration 72h)  the coverage of that window of the station's\n"
        "\t            archive: files read, records, stretches without data, missing slots;\n"
        "\t            with --plot, the picture of the window, missing files shaded\n"
        "\t--version   program and library versions\n"
        "\t--help      this text\n"
        "Exit status: 0 when every file was read to its end, 1 otherwise.\n");
}

// tavoinfo's long options, for the suggestion after a misspelt one.
const std::vector<std::string> LONG_OPTIONS = {"archive",   "audio",   "duration", "from",
                                               "help",      "json",    "plot",     "plot-freq",
                                               "plot-size", "station", "to",       "version"};

// Reads --plot, --plot-size and --audio.  Returns the error line when one is
// malformed or comes without --plot, else "".
std::string plot_options(int argc, char** argv, bool& wanted, tavoinfo::PlotOptions& options)
{
    char* output = nullptr;
    char* size = nullptr;
    char* audio = nullptr;
    char* freq = nullptr;
    wanted = get_option_string(argc, argv, "plot", &output) != 0;
    const bool sized = get_option_string(argc, argv, "plot-size", &size) != 0;
    options.sound_axis = get_option_string(argc, argv, "audio", &audio) != 0;
    const bool scaled = get_option_string(argc, argv, "plot-freq", &freq) != 0;
    std::string why;
    for (const char* bare : {"plot", "plot-size", "audio", "plot-freq"})
        if (get_option(argc, argv, bare, 1, 0) != 0)
            why = std::string("--") + bare + " needs a value";
    if (why.empty() && (sized || options.sound_axis) && !wanted)
        why = "--plot-size and --audio go with --plot";
    if (why.empty() && scaled && !wanted)
        why = "--plot-freq goes with --plot";
    tavoinfo::FrequencyScale scale = tavoinfo::FrequencyScale::Linear;
    if (why.empty() && scaled && !tavoinfo::parse_frequency_scale(freq, scale))
        why = std::string("--plot-freq needs linear or log, not \"") + freq + "\"";
    if (scaled)
        options.frequency = scale;
    if (why.empty() && wanted && *output == '\0')
        why = "--plot needs a file name";
    if (why.empty() && sized)
        tavoinfo::parse_plot_size(size, options.width, options.height, why);
    if (!why.empty())
        return "Error: " + why + "\n";
    if (wanted)
        options.output = output;
    if (options.sound_axis)
        options.sound_text = audio;
    return "";
}

// Reads the options of --audio as tavo2wav reads its own, once the command
// line has been walked; says their notices. False after saying the refusal.
bool sound_options(tavoinfo::PlotOptions& options)
{
    const tavo::cli::OptionWords read = tavo::cli::read_option_words(options.sound_text);
    std::fflush(stdout);
    for (const std::string& notice : read.notices)
        std::fputs(notice.c_str(), stderr);
    options.sound = read.options;
    if (read.refusal.empty())
        return true;
    // "Error: " of tavo2wav's line, then what --audio was refused for.
    std::fprintf(stderr, "Error: --audio: %s", read.refusal.c_str() + 7);
    return false;
}

// The picture of an archive's window: the files surveyed again (quietly:
// the report has shown the reader's lines) and drawn clipped to the window.
class WindowPlotter : public tavoinfo::WindowPicture {
public:
    explicit WindowPlotter(const tavoinfo::PlotOptions& options) : options_(options) {}

    std::string refusal(const std::vector<std::string>& files) const override
    {
        return tavoinfo::refuse_picture_target(options_.output, files);
    }

    bool draw(const std::vector<std::string>& files, const tavo::archive::Window& window,
              std::string& why) const override
    {
        std::vector<tavoinfo::FileReport> reports;
        for (const std::string& file : files)
            reports.push_back(tavoinfo::survey_file(file, Zeltra::null_sink()));
        tavoinfo::PlotOptions options = options_;
        options.window = window;
        return tavoinfo::draw_plot(reports, options, why);
    }

private:
    const tavoinfo::PlotOptions options_;
};

int run(int argc, char** argv)
{
    // Every time is shown in UTC; setting it here keeps the reader library
    // from switching (and announcing the switch) itself.
    setenv("TZ", "UTC", 1);
    tzset();
    if (tavo::cli::wants_help(argc, argv)) {
        usage();
        return 0;
    }
    if (tavo::cli::answered_version(argc, argv, "tavoinfo", TAVO2WAV_VERSION))
        return 0;
    bool plot = false;
    tavoinfo::PlotOptions plot_with;
    const std::string refused = plot_options(argc, argv, plot, plot_with);
    tavo::cli::Interrupts interrupts;
    plot_with.names = &interrupts;
    const WindowPlotter window_picture(plot_with);
    const tavoinfo::PictureRequest asked{plot ? &window_picture : nullptr, plot_with.sound_axis,
                                         refused, LONG_OPTIONS};
    if (const std::optional<int> status = tavoinfo::archive_report(argc, argv, asked))
        return *status;
    const bool json = get_option(argc, argv, "json", 1, 0) != 0;
    const std::string unknown = tavo::cli::unknown_long_options(argc, argv, LONG_OPTIONS, false);
    if (!unknown.empty() || !refused.empty()) {
        std::fputs((unknown.empty() ? refused : unknown).c_str(), stderr);
        return 1;
    }
    const tavo::cli::FileArguments args = tavo::cli::file_arguments(argc, argv);
    if (plot_with.sound_axis && !sound_options(plot_with))
        return 1;
    const std::vector<std::string>& files = args.files;
    // The picture must not destroy an input or anything that is not an
    // older picture: refused before any file is read.
    const std::string target = plot ? tavoinfo::refuse_picture_target(plot_with.output, files) : "";
    if (!target.empty()) {
        std::fprintf(stderr, "Error: %s\n", target.c_str());
        return 1;
    }
    if (files.empty()) {
        std::fprintf(stderr, "Error: No files given\n\n");
        usage();
        return 1;
    }

    std::vector<tavoinfo::FileReport> reports;
    int status = 0;
    for (const std::string& file : files) {
        reports.push_back(tavoinfo::survey_file(file));
        if (!reports.back().error.empty())
            status = 1;
        if (!json) {
            if (reports.size() > 1)
                std::cout << "\n";
            tavoinfo::print_text(std::cout, reports.back());
            std::cout.flush();
        }
    }
    if (json)
        tavoinfo::print_json(std::cout, reports);
    std::cout.flush();
    if (!std::cout.good())
        return 1;
    // A picture only of files that were read to their end.
    std::string why;
    if (plot && status == 0 && !tavoinfo::draw_plot(reports, plot_with, why)) {
        std::fprintf(stderr, "Error: %s\n", why.c_str());
        return 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    return tavo::cli::run_guarded([&] { return run(argc, argv); });
}
