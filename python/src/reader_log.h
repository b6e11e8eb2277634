// tavo._tavo: the reader library's messages, line by line, to the logger
// "tavo": header and kind lines at INFO, warnings at WARNING, debug traces at
// DEBUG.
#ifndef TAVO_PYTHON_READER_LOG_H
#define TAVO_PYTHON_READER_LOG_H

#include <string>

#include <zeltra/zeltra.h>

#include "back_to_python.h"

namespace tavo_py {

class ReaderLog : public Zeltra::MessageSink {
public:
    explicit ReaderLog(LogLines& lines) : lines_(lines) {}
    void message(Zeltra::MessageKind kind, const std::string& text) override
    {
        lines_.add(kind == Zeltra::MessageKind::INFO      ? LOG_INFO
                   : kind == Zeltra::MessageKind::WARNING ? LOG_WARNING
                                                          : LOG_DEBUG,
                   text);
    }

private:
    LogLines& lines_;
};

}  // namespace tavo_py

#endif  // TAVO_PYTHON_READER_LOG_H
