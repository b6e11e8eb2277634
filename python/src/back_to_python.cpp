// tavo._tavo: lines to the logger, signals and exceptions back to Python.
#include "back_to_python.h"

namespace py = pybind11;

namespace tavo_py {

void PendingError::keep(py::error_already_set&& e)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!error_)
        error_.emplace(std::move(e));
}

bool PendingError::is_set() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return error_.has_value();
}

void PendingError::raise_if_set()
{
    std::optional<py::error_already_set> e;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        e.swap(error_);
    }
    if (e)
        throw *e;
}

LogLines::LogLines(PendingError& pending)
    : pending_(pending), logger_(py::module_::import("logging").attr("getLogger")("tavo"))
{
}

LogLines::~LogLines() = default;

void LogLines::add(LogLevel level, const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::string& line = partial_[level];
    for (const char c : text) {
        if (c != '\n') {
            line += c;
            continue;
        }
        log(level, line);
        line.clear();
    }
}

void LogLines::finish()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [level, line] : partial_)
        if (!line.empty())
            log(level, line);
    partial_.clear();
}

void LogLines::log(LogLevel level, const std::string& line)
{
    py::gil_scoped_acquire gil;
    try {
        logger_.attr("log")(static_cast<int>(level), "%s", line);
    } catch (py::error_already_set& e) {
        pending_.keep(std::move(e));
    }
}

bool SignalPoll::due()
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    if (now - last_ < std::chrono::milliseconds(100))
        return false;
    last_ = now;
    return true;
}

bool SignalPoll::check_now()
{
    if (PyErr_CheckSignals() != 0)
        pending_.keep(py::error_already_set());
    return pending_.is_set();
}

bool SignalPoll::stop()
{
    if (pending_.is_set())
        return true;
    if (!due())
        return false;
    py::gil_scoped_acquire gil;
    return check_now();
}

}  // namespace tavo_py
