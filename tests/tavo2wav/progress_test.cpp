// The progress indicator: drawn, rate-limited and erased on a terminal (a
// pseudo-terminal made with forkpty), silent on anything else.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "progress.h"

namespace {

// A clock that advances by 1/16 s each time it is read (exact in binary).
double stepping_clock()
{
    static double now = 0;
    return now += 0.0625;
}

// Runs a stage of `total` samples, updated sample by sample, with the
// indicator on `fd`; returns 0 when it drew `draws` times.
int stage(unsigned long long total, int fd, unsigned long draws)
{
    Progress p("reading", total, fd, stepping_clock);
    for (unsigned long long done = 1; done <= total; ++done)
        p.update(done);
    const bool drew = p.draws() == draws;
    p.finish();
    return drew ? 0 : 1;
}

// Everything the stage wrote to a pseudo-terminal in raw mode, then its
// exit status in decimal.
std::string on_terminal(unsigned long long total, unsigned long draws)
{
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        termios t;
        tcgetattr(1, &t);
        cfmakeraw(&t);
        tcsetattr(1, TCSANOW, &t);
        _exit(stage(total, 1, draws));
    }
    std::string bytes;
    char buf[4096];
    for (ssize_t n; pid > 0 && (n = read(master, buf, sizeof buf)) > 0;)
        bytes.append(buf, static_cast<size_t>(n));  // ends with EIO once the child is gone
    int status = -1;
    waitpid(pid, &status, 0);
    close(master);
    return bytes + std::to_string(status);
}

const std::string SAVE = "\0337", RESTORE = "\0338", ERASE = "\033[K";

// A drawing every second update (at most ten a second), all of one width,
// from 1/8 s in with 2 samples done to 62.5 s in with all 1000; then the
// erase.
TEST(Progress, DrawsAtMostTenTimesASecondAndErasesAtTheEnd)
{
    const std::string t = on_terminal(1000, 500);
    const std::string first = SAVE + "reading    0%  16 samples/s" + ERASE + RESTORE;
    const std::string last = SAVE + "reading  100%  16 samples/s" + ERASE + RESTORE + ERASE + "0";
    ASSERT_EQ(t.size(), 500 * first.size() + ERASE.size() + 1);
    EXPECT_EQ(t.substr(0, first.size()), first);
    EXPECT_EQ(t.substr(t.size() - last.size()), last);
}

TEST(Progress, ShortStagesDrawNothing)
{
    EXPECT_EQ(on_terminal(1, 0), "0");
}

TEST(Progress, WritesNothingWhenNotATerminal)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(stage(100, fds[1], 0), 0);
    close(fds[1]);
    char c;
    EXPECT_EQ(read(fds[0], &c, 1), 0);
    close(fds[0]);
}

}  // namespace
