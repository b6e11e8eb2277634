// The programs' Diagnostics: progress lines on standard output, everything
// else on standard error (standard output flushed first, so that the two
// keep their order when they go to one file), and the progress indicator
// on a terminal.
#ifndef TAVO_CLI_STANDARD_STREAMS_H
#define TAVO_CLI_STANDARD_STREAMS_H

#include <memory>
#include <string>

#include <tavo/convert.h>

#include "cli/interrupt.h"
#include "cli/progress.h"

namespace tavo::cli {

class StandardStreams : public Diagnostics {
public:
    // `interrupts`, when given, follows the temporary files (the interrupt
    // handling of the programs) and sees the progress (its test hook).
    explicit StandardStreams(Interrupts* interrupts = nullptr) : interrupts_(interrupts) {}

    void text(Message kind, const std::string& text) override;
    bool progress(const tavo::Progress& p) override;
    NameWatch* names() override { return interrupts_; }

private:
    Interrupts* interrupts_;
    std::unique_ptr<ProgressBar> bar_;
    std::string stage_;
};

}  // namespace tavo::cli

#endif  // TAVO_CLI_STANDARD_STREAMS_H
