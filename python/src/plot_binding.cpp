// tavo._tavo.plot: the picture tavoinfo --plot draws, refused and failing
// with the texts tavoinfo prints.
#include <cerrno>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "back_to_python.h"
#include "bindings.h"
#include "failure.h"
#include "frequency_axis.h"
#include "picture_file.h"
#include "cli/options.h"
#include "plot.h"
#include "reader_log.h"
#include "survey.h"

namespace py = pybind11;

namespace tavo_py {

namespace {

// The picture's options, checked in tavoinfo's order: frequency scale,
// size, sound axis, target, files.  The unknown-rate notice of `audio` goes
// to the log.
tavoinfo::PlotOptions plot_options(const std::vector<std::string>& paths, const std::string& output,
                                   const std::string& size, const py::object& audio,
                                   const py::object& freq, LogLines& lines)
{
    tavoinfo::PlotOptions options;
    std::string why;
    if (!freq.is_none()) {
        const std::string text = freq.cast<std::string>();
        tavoinfo::FrequencyScale scale = tavoinfo::FrequencyScale::Linear;
        if (!tavoinfo::parse_frequency_scale(text, scale))
            throw option_failure("Error: --plot-freq needs linear or log, not \"" + text + "\"\n");
        options.frequency = scale;
    }
    if (!tavoinfo::parse_plot_size(size, options.width, options.height, why))
        throw option_failure("Error: " + why + "\n");
    if (!audio.is_none()) {
        options.sound_text = audio.cast<std::string>();
        options.sound_axis = true;
        const tavo::cli::OptionWords read = tavo::cli::read_option_words(options.sound_text);
        for (const std::string& notice : read.notices)
            lines.add(LOG_WARNING, notice);
        if (!read.refusal.empty())
            throw option_failure("Error: --audio: " + read.refusal.substr(7));
        options.sound = read.options;
    }
    const std::string refused = tavoinfo::refuse_picture_target(output, paths);
    if (!refused.empty()) {
        Failure f = option_failure("Error: " + refused + "\n");
        if (refused.find("exists and is not a picture") != std::string::npos) {
            f.kind = FailureKind::FILE;
            f.errnum = EEXIST;
            f.filename = output;
        }
        throw f;
    }
    if (paths.empty())
        throw option_failure("Error: No files given\n\n");
    options.output = output;
    return options;
}

// Surveys every file, as tavoinfo does before it draws; the first file that
// could not be read to its end stops the picture.
std::vector<tavoinfo::FileReport> survey_all(const std::vector<std::string>& paths, ReaderLog& log)
{
    std::vector<tavoinfo::FileReport> reports;
    for (const std::string& path : paths)
        reports.push_back(tavoinfo::survey_file(path, log));
    for (const tavoinfo::FileReport& r : reports) {
        if (!r.failure.empty())
            throw failure_of_message(r.failure, 1, r.path);
        if (!r.error.empty()) {
            Failure f;
            f.message = "Error: " + r.path + ": " + r.error + "\n";
            throw f;
        }
    }
    return reports;
}

void plot(const std::vector<std::string>& paths, const std::string& output, const std::string& size,
          const py::object& audio, const py::object& freq)
{
    PendingError pending;
    LogLines lines(pending);
    ReaderLog log(lines);
    const tavoinfo::PlotOptions options = plot_options(paths, output, size, audio, freq, lines);
    std::string why;
    bool drawn = false;
    {
        py::gil_scoped_release release;
        drawn = tavoinfo::draw_plot(survey_all(paths, log), options, why);
    }
    lines.finish();
    pending.raise_if_set();
    if (!drawn)
        throw failure_of_message("Error: " + why + "\n", 1, output);
}

}  // namespace

void bind_plot(py::module_& m)
{
    m.def("plot", &plot, py::arg("paths"), py::arg("output"), py::arg("size"), py::arg("audio"),
          py::arg("freq"),
          "Draws the files into the picture `output` as tavoinfo --plot does;\n"
          "`size` as --plot-size takes it (\"1600x900\"), `audio` as --audio\n"
          "(None: no sound axis), `freq` as --plot-freq (None: chosen from the data).");
}

}  // namespace tavo_py
