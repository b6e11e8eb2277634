// The progress indicator: drawn, rate-limited and erased on a terminal (a
// pseudo-terminal made with forkpty), silent on anything else.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "progress.h"

namespace {

// A clock that advances by a fixed step each time it is read; the step is a
// power of two so that the sums stay exact.
double clock_step = 0;
double clock_now = 0;
unsigned long clock_reads = 0;

double stepping_clock()
{
    ++clock_reads;
    clock_now += clock_step;
    return clock_now;
}

// What a child process wrote to its terminal, and how it ended.
struct TerminalOutput {
    std::string bytes;
    int status = -1;
};

// Runs body in a child whose standard streams are a fresh pseudo-terminal
// and collects everything written to it.  The terminal is switched to raw
// output so the bytes arrive unchanged.
template <class Body>
TerminalOutput on_terminal(Body body)
{
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        termios t;
        if (tcgetattr(1, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(1, TCSANOW, &t);
        }
        const int code = body();
        _exit(code);
    }
    TerminalOutput out;
    if (pid < 0)
        return out;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n > 0)
            out.bytes.append(buf, static_cast<size_t>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;  // EIO once the child has closed the terminal
    }
    int wstatus = 0;
    if (waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
        out.status = WEXITSTATUS(wstatus);
    close(master);
    return out;
}

std::size_t count(const std::string& haystack, const std::string& needle)
{
    std::size_t n = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++n;
    return n;
}

const std::string SAVE = "\0337", RESTORE = "\0338", ERASE = "\033[K";

}  // namespace

TEST(Progress, DrawsAtMostTenTimesASecondAndErasesAtTheEnd)
{
    const TerminalOutput t = on_terminal([] {
        clock_step = 0.0625;  // 1/16 s per clock read: a drawing every second update
        Progress p("reading", 1000, 2, stepping_clock);
        for (unsigned long long done = 1; done <= 1000; ++done)
            p.update(done);
        const unsigned long draws = p.draws();
        p.finish();
        return draws == 500 ? 0 : 1;
    });
    EXPECT_EQ(t.status, 0);
    EXPECT_EQ(count(t.bytes, SAVE), 500u);
    // The first drawing, 1/8 s in with 2 samples done, and the last one,
    // 62.5 s in with all 1000 done; then the erase.
    const std::string first = SAVE + "reading    0%  16 samples/s" + ERASE + RESTORE;
    EXPECT_EQ(t.bytes.substr(0, first.size()), first);
    const std::string last = SAVE + "reading  100%  16 samples/s" + ERASE + RESTORE + ERASE;
    ASSERT_GE(t.bytes.size(), last.size());
    EXPECT_EQ(t.bytes.substr(t.bytes.size() - last.size()), last);
    EXPECT_EQ(t.bytes.find('\n'), std::string::npos);
}

TEST(Progress, LooksAtTheClockOnlyAfterEnoughProgress)
{
    const TerminalOutput t = on_terminal([] {
        clock_step = 1.0;
        clock_reads = 0;
        Progress p("filtering", 1000000, 2, stepping_clock);
        for (unsigned long long done = 1; done <= 1000000; ++done)
            p.update(done);
        p.finish();
        // One read at the start and one per thousandth of the stage.
        return clock_reads == 1001 ? 0 : 1;
    });
    EXPECT_EQ(t.status, 0);
    EXPECT_EQ(count(t.bytes, SAVE), 1000u);
}

TEST(Progress, CountsSamplesWhenTheTotalIsUnknown)
{
    const TerminalOutput t = on_terminal([] {
        clock_step = 0.5;
        Progress p("reading", 0, 2, stepping_clock);
        p.update(4096);
        return 0;  // the destructor erases
    });
    EXPECT_EQ(t.bytes, SAVE + "reading  4096 samples  8192 samples/s" + ERASE + RESTORE + ERASE);
}

TEST(Progress, ShortStagesDrawNothing)
{
    const TerminalOutput t = on_terminal([] {
        clock_step = 0.015625;  // 1/64 s per read: the stage ends before 0.1 s
        Progress p("resampling", 4, 2, stepping_clock);
        for (unsigned long long done = 1; done <= 4; ++done)
            p.update(done);
        p.finish();
        return p.draws() == 0 ? 0 : 1;
    });
    EXPECT_EQ(t.status, 0);
    EXPECT_EQ(t.bytes, "");
}

TEST(Progress, UsesStandardErrorByDefault)
{
    const TerminalOutput t = on_terminal([] {
        Progress p("reading", 10);
        return p.active() ? 0 : 1;
    });
    EXPECT_EQ(t.status, 0);
}

TEST(Progress, WritesNothingWhenNotATerminal)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        clock_step = 1.0;
        Progress p("reading", 100, fds[1], stepping_clock);
        EXPECT_FALSE(p.active());
        for (unsigned long long done = 1; done <= 100; ++done)
            p.update(done);
        p.finish();
        EXPECT_EQ(p.draws(), 0u);
    }
    close(fds[1]);
    char c;
    EXPECT_EQ(read(fds[0], &c, 1), 0);
    close(fds[0]);
}
