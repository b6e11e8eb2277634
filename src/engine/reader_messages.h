// The reader library's messages said as a conversion's: INFO, WARNING and
// DEBUG lines to the conversion's Diagnostics; muted once a fatal error of
// the reader has been said, so that nothing (the reader's gap summary as it
// closes) follows it.
#ifndef TAVO_ENGINE_READER_MESSAGES_H
#define TAVO_ENGINE_READER_MESSAGES_H

#include <string>

#include <tavo/convert.h>
#include <zeltra/zeltra.h>

namespace tavo::engine {

class ReaderMessages : public Zeltra::MessageSink {
public:
    explicit ReaderMessages(Diagnostics& d) : d_(d) {}
    void message(Zeltra::MessageKind kind, const std::string& text) override
    {
        if (muted_)
            return;
        const Message m = kind == Zeltra::MessageKind::INFO      ? Message::INFO
                          : kind == Zeltra::MessageKind::WARNING ? Message::WARNING
                                                                 : Message::DEBUG;
        d_.text(m, text);
    }
    void mute() { muted_ = true; }

private:
    Diagnostics& d_;
    bool muted_ = false;
};

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_READER_MESSAGES_H
