// tavo._tavo.info: tavoinfo --json's report of one file, as its JSON text.
#include <sstream>
#include <string>

#include <pybind11/pybind11.h>

#include "back_to_python.h"
#include "bindings.h"
#include "reader_log.h"
#include "report.h"
#include "survey.h"

namespace py = pybind11;

namespace tavo_py {

namespace {

std::string info(const std::string& path)
{
    PendingError pending;
    LogLines lines(pending);
    ReaderLog log(lines);
    std::ostringstream json;
    {
        py::gil_scoped_release release;
        tavoinfo::print_json(json, {tavoinfo::survey_file(path, log)});
    }
    lines.finish();
    pending.raise_if_set();
    return json.str();
}

}  // namespace

void bind_info(py::module_& m)
{
    m.def("info", &info, py::arg("path"),
          "The JSON document tavoinfo --json prints for the one file `path`.");
}

}  // namespace tavo_py
