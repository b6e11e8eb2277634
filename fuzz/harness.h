// Shared pieces of the fuzz targets: catching the libraries' fatal errors,
// a scratch data file that never outlives the process, and the checks made
// around every input.
#ifndef TAVO_FUZZ_HARNESS_H
#define TAVO_FUZZ_HARNESS_H

#include <functional>
#include <string>

namespace tavo_fuzz {

/// Unless `ok`, reports the finding `what` on standard error and aborts.
void check(bool ok, const std::string& what);

/// A dated data-file path, .../2014/03/20140315/k4031516.dat, in a directory
/// of the process's own that is removed when the process ends normally.
const std::string& data_path();

/// Replaces the file at data_path() with `bytes`, gzip-compressed when
/// `gzip`.  Throws (and so ends the run) when the file cannot be written.
void write_data(const std::string& bytes, bool gzip = false);

/// Runs `body`, catching both libraries' fatal errors.  A finding when a
/// fatal error has a status other than 1, or happens at all unless
/// `fatal_allowed`, or when `body` leaves a descriptor open.
void run_checked(bool fatal_allowed, const std::function<void()>& body);

}  // namespace tavo_fuzz

#endif  // TAVO_FUZZ_HARNESS_H
