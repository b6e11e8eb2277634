// Shared pieces of the fuzz targets: surviving the libraries' fatal exits,
// scratch files that never outlive the process, and a descriptor-leak check.
#ifndef TAVO_FUZZ_HARNESS_H
#define TAVO_FUZZ_HARNESS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavo_fuzz {

/// Thrown in place of ending the process when either library takes its
/// fatal exit; carries the exit status the library asked for.
struct FatalExit {
    int status;
};

/// Reports a finding of fuzz target `target` on the report descriptor
/// (standard error unless set_report_fd chose another) and aborts.
[[noreturn]] void finding(const char* target, const char* what);

/// Where findings are reported; the replay driver keeps standard error
/// for them while it silences the targets' own output.
void set_report_fd(int fd);

/// Routes libzeltra's and libkemra's fatal exits to a FatalExit throw.
/// Call once, before the first input.
void survive_fatal_exits();

/// A directory of the process's own under the temporary directory, removed
/// with everything in it when the process ends normally.  Created on first use.
const std::string& scratch_dir();

/// Writes `size` bytes to `path`, replacing the file.  Aborts when the file
/// cannot be written: a harness that cannot set up its input finds nothing.
void write_file(const std::string& path, const uint8_t* data, std::size_t size);

/// gzip-compresses `size` bytes into `path`, replacing the file.
void write_gzip_file(const std::string& path, const uint8_t* data, std::size_t size);

/// Remembers the lowest free descriptor number; `check` aborts when the
/// lowest free number has changed since, i.e. a descriptor stayed open.
/// Taken around one input only: libFuzzer itself may open descriptors
/// between inputs (its symbolizer's pipes).
class FdLeakCheck {
public:
    FdLeakCheck();
    void check() const;

private:
    int lowest_free_;
};

}  // namespace tavo_fuzz

#endif  // TAVO_FUZZ_HARNESS_H
