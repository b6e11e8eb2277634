// The progress indicator: drawn, rate-limited and erased on a terminal (a
// pseudo-terminal made with openpty), silent on anything else.
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "cli/progress.h"

namespace {

// A clock that advances by 1/16 s each time it is read (exact in binary).
double stepping_clock()
{
    static double now = 0;
    return now += 0.0625;
}

// Everything the indicator writes, on a fresh pseudo-terminal or a pipe,
// for a stage of `total` samples updated one by one.
std::string indicator(unsigned long long total, bool terminal)
{
    int fds[2] = {-1, -1};  // read end, write end
    EXPECT_EQ(terminal ? openpty(&fds[0], &fds[1], nullptr, nullptr, nullptr) : pipe(fds), 0);
    tavo::cli::ProgressBar p("reading", total, fds[1], stepping_clock);
    for (unsigned long long done = 1; done <= total; ++done)
        p.update(done);
    p.finish();
    close(fds[1]);
    std::string bytes;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        bytes.append(buf, static_cast<size_t>(n));  // a terminal ends with EIO, a pipe with 0
    close(fds[0]);
    return bytes;
}

const std::string SAVE = "\0337", RESTORE = "\0338", ERASE = "\033[K";

// On a terminal, a drawing every second update (at most ten a second), all
// of one width, from 1/8 s in with 2 samples done to 12.5 s in with all 200;
// then the erase. Elsewhere nothing.
TEST(Progress, DrawsAtMostTenTimesASecondOnATerminalAndErasesAtTheEnd)
{
    const std::string t = indicator(200, true);
    const std::string first = SAVE + "reading    1%  16 samples/s" + ERASE + RESTORE;
    const std::string last = SAVE + "reading  100%  16 samples/s" + ERASE + RESTORE + ERASE;
    ASSERT_EQ(t.size(), 100 * first.size() + ERASE.size());
    EXPECT_EQ(t.substr(0, first.size()) + t.substr(t.size() - last.size()), first + last);
    EXPECT_EQ(indicator(200, false), "");
}

}  // namespace
