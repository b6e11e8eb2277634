// Shared pieces of the reliability tests (the standard headers they need
// included): TAVO files of plain records, the reader's standard-error
// lines, and runs of the built tavo2wav under limits.
#ifndef TESTS_RELIABILITY_UTIL_H
#define TESTS_RELIABILITY_UTIL_H

#include <string>
#include <vector>

#include "process.h"
#include "tavo_writer.h"

namespace reliability {

// The form-3 header line (128-sample records, minute and second time words)
// that most test files start from.
inline const std::string HEADER =
    "!S128Tidserier sampfrek: 18 gain: 1 station: k date: 2014-03-15 time: 08:00:00";

// `n` records of 128 samples stamped 7 s apart (no time gaps) after the
// header line `header` (none when empty).
inline tavo_test::Recording records(std::size_t n, const std::string& header = HEADER)
{
    tavo_test::Recording rec;
    rec.header = header;
    for (std::size_t r = 0; r < n; ++r) {
        const long t = 7 * static_cast<long>(r);
        rec.records.push_back(tavo_test::make_record(128, t / 60, t % 60, static_cast<int>(r)));
    }
    return rec;
}

inline std::string binary(std::size_t n, const std::string& header = HEADER)
{
    return tavo_test::binary_bytes(records(n, header));
}

// Limits of a run beyond 200 MB of address space (left out under the
// sanitizers, whose shadow memory alone needs terabytes).
struct Limits {
    unsigned long file_size = 0;      // bytes, SIGXFSZ ignored; 0 for none
    bool honour_permissions = false;  // file permission bits bind root too
    unsigned long max_files = 0;      // open descriptors; 0 leaves it alone
    int timeout_s = 10;               // the run is killed after this
};

// Runs tavo2wav with `args` in directory `cwd` under `limits`, with TZ=UTC.
inline RunResult run_tool(const std::vector<std::string>& args, const std::string& cwd,
                          const Limits& limits = {})
{
    RunOptions o;
    o.env = {"TZ=UTC"};
    o.timeout_s = limits.timeout_s;
    o.max_files = limits.max_files;
    o.file_size = limits.file_size;
    o.honour_permissions = limits.honour_permissions;
#ifndef TAVO_SANITIZED
    o.address_space = 200ul << 20;
#endif
    std::vector<std::string> argv = {TAVO2WAV_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(argv, cwd, o);
}

// What detection and the reader's constructor print for a file `name` read
// as `kind` ("binary" or "text") up to the point where the reader takes in
// its header line, given the first line that detection sees (form 3).
inline std::string opened(const std::string& name, const std::string& kind,
                          const std::string& probe = HEADER)
{
    const std::string echo = name + "\n" + name.substr(0, name.rfind('.')) + "\n";
    return "valid_comment_type3: " + probe + "\n" + echo + echo + "File: " + name +
           " Type:" + kind + "\n";
}

// opened(), then the reader's line for its header line `header` (form 3).
inline std::string reader_lines(const std::string& name, const std::string& kind,
                                const std::string& probe = HEADER,
                                const std::string& header = HEADER)
{
    return opened(name, kind, probe) + "valid_comment_type3: " + header + "\n";
}

}  // namespace reliability

#endif
