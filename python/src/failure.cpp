// tavo._tavo: failures become tavo.Error, tavo.OptionError or tavo.FileError.
#include "failure.h"

#include <cstring>
#include <sstream>

namespace py = pybind11;

namespace tavo_py {

namespace {

bool starts_with(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// The errno a line of a message tells, with whether the line is about a
// file at all: "gzopen: TEXT", "gzread: TEXT", "gzgetc:TEXT" (the reader)
// and "...can't write NAME: TEXT" (the converter's writers).  A stream
// error without a system error ("gzgetc:Success" at an early end of the
// data) is about the data, not the file.
bool file_line(const std::string& line, int& errnum)
{
    for (const char* prefix : {"gzopen:", "gzread:", "gzgetc:"})
        if (starts_with(line, prefix)) {
            const std::size_t text = line.find_first_not_of(' ', std::strlen(prefix));
            errnum = text == std::string::npos ? 0 : errno_of_text(line.substr(text));
            return errnum != 0;
        }
    if (line.find("can't write ") != std::string::npos) {
        const std::size_t colon = line.rfind(": ");
        errnum = colon == std::string::npos ? 0 : errno_of_text(line.substr(colon + 2));
        return true;
    }
    return starts_with(line, "Can't open ") ||
           line.find(": not a regular file") != std::string::npos;
}

void raise_failure(const Failure& f)
{
    static const char* const names[] = {"Error", "OptionError", "FileError"};
    py::object errors = py::module_::import("tavo._errors");
    py::object type = errors.attr(names[static_cast<int>(f.kind)]);
    py::object errnum = f.errnum != 0 ? py::object(py::int_(f.errnum)) : py::object(py::none());
    py::object filename =
        f.filename.empty() ? py::object(py::none()) : py::object(py::str(f.filename));
    py::object error = type(py::str(f.message), f.status, errnum, filename);
    PyErr_SetObject(type.ptr(), error.ptr());
}

}  // namespace

int errno_of_text(const std::string& text)
{
    // Linux numbers its errors below 134; strerror names every one of them.
    for (int e = 1; e < 134; ++e)
        if (text == std::strerror(e))
            return e;
    return 0;
}

Failure failure_of_message(const std::string& message, int status, const std::string& filename)
{
    Failure f;
    f.message = message;
    f.status = status;
    std::istringstream lines(message);
    for (std::string line; std::getline(lines, line);) {
        int errnum = 0;
        if (file_line(line, errnum)) {
            f.kind = FailureKind::FILE;
            f.errnum = f.errnum != 0 ? f.errnum : errnum;
            f.filename = filename;
        }
    }
    return f;
}

Failure option_failure(const std::string& message)
{
    Failure f;
    f.kind = FailureKind::OPTION;
    f.message = message;
    return f;
}

void register_failures()
{
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const Failure& f) {
            try {
                raise_failure(f);
            } catch (py::error_already_set& e) {
                e.restore();  // the exception classes themselves failed: raise that
            }
        }
    });
}

}  // namespace tavo_py
