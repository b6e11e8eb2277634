// One-line progress indicator on a terminal.
#include "cli/progress.h"

#include "common/write_fully.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace tavo::cli {

namespace {

// Terminal controls: DEC save cursor, DEC restore cursor, erase from the
// cursor to the end of the line.
const char SAVE_CURSOR[] = "\0337";
const char RESTORE_CURSOR[] = "\0338";
const char ERASE_TO_EOL[] = "\033[K";

const double REDRAW_INTERVAL = 0.1;  // seconds: at most ten drawings a second
const unsigned long long LOOKS_PER_STAGE = 1000;
const unsigned long long STEP_UNKNOWN_TOTAL = 4096;

double monotonic_seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ProgressBar::ProgressBar(const char* label, unsigned long long total)
    : ProgressBar(label, total, 2, nullptr)
{
}

ProgressBar::ProgressBar(const char* label, unsigned long long total, int fd, Clock clock)
    : total_(total), fd_(fd), clock_(clock ? clock : monotonic_seconds), active_(isatty(fd) == 1)
{
    std::snprintf(label_, sizeof label_, "%s", label ? label : "");
    start_ = clock_();
    last_draw_ = start_;
    step_ = total_ > 0 ? total_ / LOOKS_PER_STAGE : STEP_UNKNOWN_TOTAL;
    if (step_ == 0)
        step_ = 1;
    next_look_ = step_;
}

ProgressBar::~ProgressBar()
{
    finish();
}

void ProgressBar::look(unsigned long long done)
{
    next_look_ = done + step_;
    const double now = clock_();
    if (now - last_draw_ >= REDRAW_INTERVAL)
        draw(done, now);
}

void ProgressBar::draw(unsigned long long done, double now)
{
    const double elapsed = now - start_;
    const unsigned long long rate =
        elapsed > 0 ? static_cast<unsigned long long>(static_cast<double>(done) / elapsed) : 0;
    char line[128];
    int n;
    if (total_ > 0) {
        const unsigned long long percent = done >= total_ ? 100 : done * 100 / total_;
        n = std::snprintf(line, sizeof line, "%s%s  %3llu%%  %llu samples/s%s%s", SAVE_CURSOR,
                          label_, percent, rate, ERASE_TO_EOL, RESTORE_CURSOR);
    } else {
        n = std::snprintf(line, sizeof line, "%s%s  %llu samples  %llu samples/s%s%s", SAVE_CURSOR,
                          label_, done, rate, ERASE_TO_EOL, RESTORE_CURSOR);
    }
    if (n < 0)
        return;
    // A failing terminal is ignored.
    write_fully(fd_, line,
                static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
    last_draw_ = now;
    drawn_ = true;
    ++draws_;
}

void ProgressBar::finish()
{
    if (active_ && drawn_)
        write_fully(fd_, ERASE_TO_EOL, sizeof ERASE_TO_EOL - 1);
    active_ = false;
    drawn_ = false;
}

}  // namespace tavo::cli
