// tavo._tavo.read: TAVO data files into one (3, n) numpy array, with each
// record's stamp and each file's facts, for tavo.read's Recording.
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "back_to_python.h"
#include "bindings.h"
#include "failure.h"
#include "file_facts.h"
#include "file_plan.h"
#include "reader_log.h"
#include "sample_block.h"
#include "survey.h"

namespace py = pybind11;

namespace tavo_py {

namespace {

// Thrown from a record when Python wants the read stopped (Ctrl-C).
struct Stopped {};

// Where the files of one call go, and what the call needs while reading.
template <class T>
struct Gathered {
    SampleBlock<T> block;
    std::vector<double> stamps;  // per record, seconds as tavoinfo counts them
    std::vector<FileFacts> files;
};

struct Call {
    PendingError pending;
    LogLines lines{pending};
    ReaderLog log{lines};
    SignalPoll poll{pending};
};

// Copies each record the survey takes into the block: the one copy of the
// samples.
template <class T>
class Collector : public tavoinfo::RecordVisitor {
public:
    Collector(Gathered<T>& g, FileFacts& facts, SignalPoll& poll)
        : g_(g), facts_(facts), poll_(poll)
    {
    }
    void opened(const Zeltra::ZELTRA& reader, const tavoinfo::FileReport&) override
    {
        note_header(reader, facts_);
    }
    void record(const Zeltra::ZELTRA& reader, double stamp) override
    {
        g_.block.append(reader.current, reader.get_length());
        g_.stamps.push_back(stamp);
        if (poll_.stop())
            throw Stopped();
    }

private:
    Gathered<T>& g_;
    FileFacts& facts_;
    SignalPoll& poll_;
};

// A file that ended the read: the reader's message, or the survey's reason
// for a file that is no TAVO data file.
Failure failure_of(const tavoinfo::FileReport& r)
{
    if (!r.failure.empty())
        return failure_of_message(r.failure, 1, r.path);
    Failure f;
    f.message = "Error: " + r.path + ": " + r.error + "\n";
    return f;
}

template <class T>
void gather(const std::vector<std::string>& paths, std::size_t planned, Gathered<T>& g, Call& call)
{
    try {
        g.block.reserve(planned);
    } catch (const std::bad_alloc&) {
        // The plan is a bound; the block grows with the records instead.
    }
    for (const std::string& path : paths) {
        g.files.emplace_back();
        FileFacts& facts = g.files.back();
        facts.first_index = g.block.size();
        facts.first_record = g.stamps.size();
        Collector<T> collect(g, facts, call.poll);
        facts.report = tavoinfo::survey_file(path, call.log, &collect);
        if (!facts.report.failure.empty() || !facts.report.opened)
            throw failure_of(facts.report);
    }
}

template <class T>
py::tuple to_python(Gathered<T>& g)
{
    const std::size_t n = g.block.size();
    T* data = g.block.release();
    py::capsule owner(data, [](void* p) { std::free(p); });
    py::array_t<T> samples({std::size_t{3}, n}, {n * sizeof(T), sizeof(T)}, data, owner);
    py::array_t<double> stamps(static_cast<py::ssize_t>(g.stamps.size()), g.stamps.data());
    py::list files;
    for (const FileFacts& f : g.files)
        files.append(facts_to_python(f));
    return py::make_tuple(samples, stamps, files);
}

template <class T>
py::tuple read_as(const std::vector<std::string>& paths, std::size_t planned, Call& call)
{
    Gathered<T> g;
    try {
        py::gil_scoped_release release;
        gather(paths, planned, g, call);
    } catch (const Stopped&) {
    }
    call.lines.finish();
    call.pending.raise_if_set();
    return to_python(g);
}

py::tuple read(const std::vector<std::string>& paths)
{
    Call call;
    std::size_t planned = 0;
    bool text = false;
    {
        py::gil_scoped_release release;
        // The reader switches the process to UTC once; said here, not lost
        // in the plans' silence.
        Zeltra::use_utc(call.log);
        for (const std::string& path : paths) {
            FilePlan plan;
            if (plan_file(path, plan)) {
                planned += plan.samples;
                text = text || plan.text;
            }
        }
    }
    return text ? read_as<double>(paths, planned, call)
                : read_as<std::int16_t>(paths, planned, call);
}

}  // namespace

void bind_read(py::module_& m)
{
    m.def("read", &read, py::arg("paths"),
          "Reads the files one after the other into one recording.\n\n"
          "Returns (samples, stamps, files): samples of shape (3, n), int16 when\n"
          "every file is binary, float64 otherwise; each record's stamp in\n"
          "seconds; one dict of facts per file.  tavo.read builds a Recording\n"
          "from them.");
}

}  // namespace tavo_py
