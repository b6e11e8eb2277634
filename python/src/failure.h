// tavo._tavo: failures of the library calls as the Python exceptions of
// tavo._errors (tavo.Error, tavo.OptionError, tavo.FileError), each with the
// exact text the command line prints and the status it ends with.
#ifndef TAVO_PYTHON_FAILURE_H
#define TAVO_PYTHON_FAILURE_H

#include <exception>
#include <string>

#include <pybind11/pybind11.h>

namespace tavo_py {

/// Which exception a failure becomes.
enum class FailureKind {
    ERROR,   ///< tavo.Error: damaged data, a picture that cannot be drawn, ...
    OPTION,  ///< tavo.OptionError: an argument out of range or a bad combination
    FILE     ///< tavo.FileError: a file that cannot be opened, read or written
};

/// Thrown by the bindings; the registered translator raises it in Python.
struct Failure : std::exception {
    FailureKind kind = FailureKind::ERROR;
    std::string message;   ///< as the command line prints it, line ends included
    int status = 1;        ///< the command line's exit status
    int errnum = 0;        ///< errno of a FILE failure; 0 when none is known
    std::string filename;  ///< the file a FILE failure is about

    const char* what() const noexcept override { return message.c_str(); }
};

/// The failure a message of the reader or the converter describes: FILE for
/// "Can't open NAME", "gzread: ...", "gzgetc:...", "NAME: not a regular file"
/// and "can't write NAME: ...", with the errno whose text the message
/// carries; ERROR otherwise.
Failure failure_of_message(const std::string& message, int status, const std::string& filename);

/// An OPTION failure with `message`.
Failure option_failure(const std::string& message);

/// The errno whose strerror() text is `text`; 0 when none is.
int errno_of_text(const std::string& text);

/// Registers the translator of Failure.
void register_failures();

}  // namespace tavo_py

#endif  // TAVO_PYTHON_FAILURE_H
