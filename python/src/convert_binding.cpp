// tavo._tavo.convert: one conversion through the engine, its lines to the
// logger, its progress to a Python callable, Ctrl-C as the engine's cancel.
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <tavo/convert.h>

#include "audio_collector.h"
#include "back_to_python.h"
#include "bindings.h"
#include "failure.h"

namespace py = pybind11;

namespace tavo_py {

namespace {

// The engine's texts go to the log (its failure comes back as the
// exception); its progress calls look at Python's signals and feed the
// caller's progress callable.
class Diagnostics : public tavo::Diagnostics {
public:
    Diagnostics(LogLines& lines, SignalPoll& poll, PendingError& pending,
                const py::object& callback)
        : lines_(lines), poll_(poll), pending_(pending), callback_(callback)
    {
    }

    void text(tavo::Message kind, const std::string& text) override
    {
        if (kind == tavo::Message::ERROR)
            return;
        lines_.add(kind == tavo::Message::WARNING ? LOG_WARNING
                   : kind == tavo::Message::INFO  ? LOG_INFO
                                                  : LOG_DEBUG,
                   text);
    }

    bool progress(const tavo::Progress& p) override
    {
        if (pending_.is_set())
            return false;
        if (!poll_.due())
            return true;
        py::gil_scoped_acquire gil;
        if (poll_.check_now())
            return false;
        return tell(p.total > 0 ? static_cast<double>(p.done) / static_cast<double>(p.total) : 0.0);
    }

    /// Hands `fraction` to the callable; false when it raised.  The GIL held.
    bool tell(double fraction)
    {
        if (callback_.is_none())
            return true;
        try {
            callback_(fraction);
            return true;
        } catch (py::error_already_set& e) {
            pending_.keep(std::move(e));
            return false;
        }
    }

private:
    LogLines& lines_;
    SignalPoll& poll_;
    PendingError& pending_;
    const py::object& callback_;
};

// Options as tavo._convert hands them over: enums as their numbers, rate as
// -r takes it, upsample and speedup None when not given.
tavo::Options options_of(const py::dict& a, LogLines& lines)
{
    tavo::Options o;
    o.layout = static_cast<tavo::Layout>(a["layout"].cast<int>());
    o.combine = a["combine"].cast<bool>();
    o.filter = a["filter"].cast<bool>();
    o.remove_offset = a["remove_offset"].cast<bool>();
    const tavo::RateChoice rate = tavo::rate_of_code(a["rate"].cast<unsigned long>());
    o.rate = rate.rate;
    lines.add(LOG_WARNING, rate.notice);
    o.scale = a["scale"].cast<int>();
    o.upsample_given = !a["upsample"].is_none();
    if (o.upsample_given)
        o.upsample = a["upsample"].cast<int>();
    o.threads = a["threads"].cast<unsigned>();
    o.gaps = static_cast<tavo::Gaps>(a["gaps"].cast<int>());
    o.timeline = a["timeline"].cast<bool>();
    o.resampler = static_cast<tavo::Resampler>(a["resampler"].cast<int>());
    if (!a["speedup"].is_none()) {
        o.speedup = a["speedup"].cast<double>();
        o.speedup_text = a["speedup_text"].cast<std::string>();
    }
    o.format = static_cast<tavo::SampleFormat>(a["format"].cast<int>());
    if (!a["output_dir"].is_none())
        o.output_dir = a["output_dir"].cast<std::string>();
    return o;
}

py::tuple time_map(const tavo::TimeMap& t)
{
    return py::make_tuple(t.dated, t.start, t.station_per_audio);
}

py::tuple convert(const std::vector<std::string>& paths, const py::dict& arguments,
                  const py::object& progress)
{
    PendingError pending;
    LogLines lines(pending);
    SignalPoll poll(pending);
    const tavo::Options o = options_of(arguments, lines);
    const std::string refused = tavo::check(o);
    if (!refused.empty())
        throw option_failure(refused);
    Diagnostics diagnostics(lines, poll, pending, progress);
    AudioCollector audio;
    const bool in_memory = arguments["output_dir"].is_none();
    tavo::Result r;
    {
        py::gil_scoped_release release;
        r = tavo::convert(paths, o, diagnostics, in_memory ? &audio : nullptr);
    }
    lines.finish();
    pending.raise_if_set();
    if (r.status != 0)
        throw failure_of_message(r.error, r.status, "");
    diagnostics.tell(1.0);
    pending.raise_if_set();
    py::object outputs = in_memory ? py::object(audio.to_python()) : py::cast(r.written);
    return py::make_tuple(outputs, time_map(r.time_map), r.clipped);
}

}  // namespace

void bind_convert(py::module_& m)
{
    m.def("convert", &convert, py::arg("paths"), py::arg("options"), py::arg("progress"),
          "Converts as tavo2wav does.  Returns (outputs, (dated, start,\n"
          "station_per_audio), clipped): the paths written, or with no\n"
          "output_dir one (name, samples, rate) per file.");
    m.attr("engine_version") = tavo::version();
}

}  // namespace tavo_py
