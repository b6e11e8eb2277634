// Shared pieces of the reliability tests: running the built tavo2wav under
// limits, the reader's standard-error lines, and gzip streams with a chosen
// layout.
#ifndef TESTS_RELIABILITY_UTIL_H
#define TESTS_RELIABILITY_UTIL_H

#include <string>
#include <vector>

#include "run_process.h"

namespace reliability {

/// The form-3 header line (128-sample records, minute and second time
/// words) that most damaged files start from.
inline const std::string HEADER =
    "!S128Tidserier sampfrek: 18 gain: 1 station: k date: 2014-03-15 time: 08:00:00";

/// Limits a run is started under.
struct Limits {
    /// Address-space limit in bytes; 0 for none.  Ignored in sanitizer
    /// builds, whose shadow memory alone needs terabytes of address space.
    unsigned long long address_space = 200ull << 20;
    /// File-size limit in bytes (SIGXFSZ ignored); 0 for none.
    unsigned long long file_size = 0;
    /// Apply file permissions even when the tests run as root.
    bool honour_permissions = false;
    /// Seconds before the run is killed.
    int timeout_s = 10;
    /// Limit on open descriptors; 0 leaves it alone.
    unsigned long max_files = 0;
};

/// Runs tavo2wav with `args` in directory `cwd` under `limits`, with TZ=UTC.
RunResult run_tool(const std::vector<std::string>& args, const std::string& cwd,
                   const Limits& limits = {});

/// True in a build with AddressSanitizer.
bool sanitized();

/// What detection and the reader's constructor print for a file `name` up to
/// the point where the reader takes in its header line.
std::string opened(const std::string& name, const std::string& kind,
                   const std::string& probe_line = HEADER);

/// What detection and the reader print for a file `name` whose first line
/// (as detection sees it) is `probe_line`, whose header line (as the reader
/// takes it in) is `header`, read as `kind` ("binary" or "text").  Both lines
/// are assumed to be accepted by form 3.
std::string reader_lines(const std::string& name, const std::string& kind,
                         const std::string& probe_line = HEADER,
                         const std::string& header = HEADER);

/// `bytes` as one gzip member; level 0 stores the bytes in plain sight, so
/// that a cut at offset kStoredLead + n leaves exactly n bytes to decompress
/// (for inputs below 64 KiB, which fit one stored block).
std::string gzip(const std::string& bytes, int level = 6);
constexpr std::size_t kStoredLead = 10 + 5;  // gzip header, stored-block header

/// `bytes` with the bit pattern of byte `at` (counted from the end when
/// negative) inverted.
std::string flipped(std::string bytes, long at);

}  // namespace reliability

#endif
