// What the programs do when they are interrupted (SIGINT, SIGTERM, SIGHUP):
// remove every temporary file of the run, leave older outputs untouched,
// say in one line what was already put in place, and end as killed by that
// signal, so that shells and batch systems see what stopped the run.
//
//   Interrupts interrupts;                 // first thing in main, before any thread
//   StandardStreams streams(&interrupts);  // hands the engine the name watch
//
// The signals are blocked in every thread and taken by one thread of its
// own with sigwait(), so the cleaning runs as ordinary code, never inside a
// signal handler. Every step that creates, links, renames or removes a
// temporary name runs under the watch's lock (NameWatch::step); once a
// signal has arrived the lock is never given back, so no name appears after
// the cleaning. Unnamed files (O_TMPFILE) vanish with the process; what has
// a name is unlinked.
#ifndef TAVO_CLI_INTERRUPT_H
#define TAVO_CLI_INTERRUPT_H

#include <pthread.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <tavo/convert.h>

namespace tavo::cli {

class Interrupts : public NameWatch {
public:
    Interrupts();
    // Stops the waiting thread and unblocks the signals again.
    ~Interrupts() override;
    Interrupts(const Interrupts&) = delete;
    Interrupts& operator=(const Interrupts&) = delete;

    void step(const std::function<void()>& naming) override;
    void temporary(const std::string& path, bool exists) override;
    void placed(const std::string& target) override;

    // Test hook: with TAVO_TEST_STOP set in the environment, the program
    // stops itself (SIGSTOP) at a point, and stays there once continued
    // until a signal ends it: "read" (the first record read), "chunk:N" (N
    // chunks of every file rendered), "placed:K" (the K-th output put in
    // place), "name:K" (before the K-th step that makes, renames or removes
    // a temporary name). With TAVO_TEST_NAMED set, output files are named
    // from the start, as where the file system refuses unnamed files.
    void progress(const tavo::Progress& p);

private:
    static void* wait_for_signal(void* self);
    [[noreturn]] void clean_up_and_die(int signal);
    void stop_here_for_tests();

    std::mutex mutex_;
    std::set<std::string> temporaries_;  // temporary names on disk now
    std::vector<std::string> placed_;    // outputs put in place, in order
    pthread_t waiter_;
    bool waiting_ = false;
    bool closing_ = false;
    // The test hook.
    std::string stop_kind_;
    unsigned long stop_at_ = 0;
    unsigned long chunks_ = 0, names_ = 0;
    bool read_seen_ = false;
};

}  // namespace tavo::cli

#endif  // TAVO_CLI_INTERRUPT_H
