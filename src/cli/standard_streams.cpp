#include "cli/standard_streams.h"

#include <cstdio>

namespace tavo::cli {

void StandardStreams::text(Message kind, const std::string& text)
{
    if (kind == Message::PROGRESS) {
        std::fputs(text.c_str(), stdout);
        // A stage's name stands beside its progress on a terminal.
        if (!text.empty() && text.back() != '\n')
            std::fflush(stdout);
        return;
    }
    std::fflush(stdout);
    std::fputs(text.c_str(), stderr);
}

bool StandardStreams::progress(const tavo::Progress& p)
{
    if (interrupts_)
        interrupts_->progress(p);
    if (!bar_ || stage_ != p.stage) {
        bar_.reset(new ProgressBar(p.stage, p.total));
        stage_ = p.stage;
    }
    if (p.end) {
        bar_.reset();
        stage_.clear();
        return true;
    }
    bar_->update(p.done);
    return true;
}

}  // namespace tavo::cli
