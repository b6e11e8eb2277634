// libzeltra internals shared by its sources: debug traces, the raising of
// fatal conditions, and small helpers of the header grammar.  Not installed.
#ifndef ZELTRA_INTERNAL_H
#define ZELTRA_INTERNAL_H

#include <cstddef>
#include <sstream>
#include <string>

#include <zeltra/zeltra.h>

namespace Zeltra {
namespace detail {

/// Printed when no header form matches a line.
extern const char* const kInvalidComment;

/// A debug trace "Debug:src/libzeltra/zeltra(<line>) " and what the caller
/// writes into it (with its line end), sent to the sink as one DEBUG message
/// when the trace ends:  Trace(sink, __LINE__) << "text\n";
class Trace {
public:
    Trace(MessageSink& sink, int line);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;
    template <class T>
    Trace& operator<<(const T& v)
    {
        text_ << v;
        return *this;
    }

private:
    MessageSink& sink_;
    std::ostringstream text_;
};

/// Throws Error(1, message).
[[noreturn]] void raise(std::string message);

/// Throws Error(1, "Error: <fname>: <what>\n").
[[noreturn]] void refuse(const char* fname, const char* what);

/// A failed open of fname, errnum being errno right after gzopen: throws
/// Error(1, "gzopen" + separator + "<system text>\n" (when errnum is not 0)
/// + "Can't open <fname>\n").  The reader's constructor has always written
/// the first line in perror's form (separator ": "), detection with ":".
[[noreturn]] void open_failed(const char* fname, int errnum, const char* separator);

/// A buffer allocation that threw: Error(1, "Standard exception: <what>\n").
[[noreturn]] void out_of_memory(const std::exception& e);

/// Stream-error exit: throws the last error of a zlib handle, "<zlib
/// message>\n"; after a clean end of file "gzgetc:<system text of errno>\n".
[[noreturn]] void stream_error(gzFile gz);

/// After a read that came back short or empty: when zlib saw damage (a gzip
/// stream cut short, a bad check value), throws its message; at a clean end
/// of file it returns.
void stop_on_stream_damage(gzFile gz);

/// Record-length rule: "!", a run of '!', 'S', 'U', 's', 'u', then a number;
/// returns that number when it is 128 or 512, else 0.
std::size_t declared_length(const char* line);

/// Grammar test of detection: forms 1 to 3 on scratch fields; prints what
/// the recognisers print and kInvalidComment when none accepts.
bool validate_comment(const char* comment, MessageSink& sink);

}  // namespace detail
}  // namespace Zeltra

#endif  // ZELTRA_INTERNAL_H
