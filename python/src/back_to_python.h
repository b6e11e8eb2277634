// tavo._tavo: what the library code, running with the GIL released (and
// sometimes on threads of its own), hands back to Python: the lines it says,
// for the logger "tavo"; a look at pending signals (Ctrl-C); and a Python
// exception raised in the middle, kept until the call returns.
#ifndef TAVO_PYTHON_BACK_TO_PYTHON_H
#define TAVO_PYTHON_BACK_TO_PYTHON_H

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <pybind11/pybind11.h>

namespace tavo_py {

/// The logging levels the lines go out with.
enum LogLevel { LOG_DEBUG = 10, LOG_INFO = 20, LOG_WARNING = 30 };

/// The first Python exception raised during a call, raised again when the
/// call has returned.
class PendingError {
public:
    /// Keeps `e` unless an earlier one is kept.  Any thread.
    void keep(pybind11::error_already_set&& e);
    bool is_set() const;
    /// Throws the kept exception (for pybind11 to raise); the GIL held.
    void raise_if_set();

private:
    mutable std::mutex mutex_;
    std::optional<pybind11::error_already_set> error_;
};

/// Turns texts into lines for the logger "tavo": pieces of a line are joined
/// (per level) until its line end, and each whole line is logged without it.
/// Created and destroyed with the GIL held; add() takes the GIL itself, from
/// any thread.  An exception of the logging call is kept in `pending`.
class LogLines {
public:
    explicit LogLines(PendingError& pending);
    ~LogLines();
    LogLines(const LogLines&) = delete;
    LogLines& operator=(const LogLines&) = delete;

    void add(LogLevel level, const std::string& text);
    /// Logs the pieces that never got their line end.
    void finish();

private:
    void log(LogLevel level, const std::string& line);

    PendingError& pending_;
    pybind11::object logger_;
    std::mutex mutex_;
    std::map<LogLevel, std::string> partial_;
};

/// Looks at Python's pending signals at most every 0.1 s (each look takes
/// the GIL).  A handler that raises (KeyboardInterrupt on Ctrl-C) has its
/// exception kept in `pending`, and stop() is true from then on.
class SignalPoll {
public:
    explicit SignalPoll(PendingError& pending) : pending_(pending) {}
    /// True when the call should stop: now, or before.  Any thread.
    bool stop();
    /// Whether it is time for another look (for callers that take the GIL
    /// anyway); resets the clock when it is.
    bool due();
    /// The look itself; the GIL held.  True when a handler raised.
    bool check_now();

private:
    PendingError& pending_;
    std::mutex mutex_;  // due() may be asked from several threads
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

}  // namespace tavo_py

#endif  // TAVO_PYTHON_BACK_TO_PYTHON_H
