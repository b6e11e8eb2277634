#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "common/atomic_file.h"
#include "common/write_fully.h"

namespace tavo::cli {

namespace {

sigset_t interrupting_signals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

Interrupts::Interrupts()
{
    const sigset_t set = interrupting_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    waiting_ = pthread_create(&waiter_, nullptr, &Interrupts::wait_for_signal, this) == 0;
    if (const char* stop = std::getenv("TAVO_TEST_STOP")) {
        const std::string s = stop;
        stop_kind_ = s.substr(0, s.find(':'));
        if (s.find(':') != std::string::npos)
            stop_at_ = std::strtoul(s.c_str() + s.find(':') + 1, nullptr, 10);
    }
    if (std::getenv("TAVO_TEST_NAMED") != nullptr)
        common::AtomicFile::refuse_unnamed_for_tests(true);
}

Interrupts::~Interrupts()
{
    if (waiting_) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        pthread_kill(waiter_, SIGHUP);
        pthread_join(waiter_, nullptr);
    }
    const sigset_t set = interrupting_signals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void* Interrupts::wait_for_signal(void* self)
{
    Interrupts* me = static_cast<Interrupts*>(self);
    const sigset_t set = interrupting_signals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    me->mutex_.lock();
    if (me->closing_) {
        me->mutex_.unlock();
        return nullptr;
    }
    me->clean_up_and_die(signal);
}

// Runs with the lock held, and keeps it: no name is made or removed after.
void Interrupts::clean_up_and_die(int signal)
{
    for (const std::string& name : temporaries_)
        ::unlink(name.c_str());
    std::string line = "Interrupted; no output written\n";
    if (!placed_.empty()) {
        line = "Interrupted; written before: ";
        for (std::size_t i = 0; i < placed_.size(); i++)
            line += (i > 0 ? ", " : "") + placed_[i];
        line += "\n";
    }
    write_fully(2, line.data(), line.size());
    // End with the signal's own meaning: its default action, raised again.
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);
}

void Interrupts::step(const std::function<void()>& naming)
{
    if (stop_kind_ == "name" && ++names_ == stop_at_)
        stop_here_for_tests();
    std::size_t placed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t before = placed_.size();
        naming();
        placed = placed_.size() > before ? placed_.size() : 0;
    }
    if (stop_kind_ == "placed" && placed == stop_at_)
        stop_here_for_tests();
}

void Interrupts::temporary(const std::string& path, bool exists)
{
    if (exists)
        temporaries_.insert(path);
    else
        temporaries_.erase(path);
}

void Interrupts::placed(const std::string& target)
{
    placed_.push_back(target);
}

void Interrupts::progress(const tavo::Progress& p)
{
    const bool reading = std::strcmp(p.stage, "reading") == 0;
    if (stop_kind_ == "read" && reading && !p.end && !read_seen_) {
        read_seen_ = true;
        stop_here_for_tests();
    }
    if (stop_kind_ == "chunk" && !reading && !p.end && ++chunks_ == stop_at_)
        stop_here_for_tests();
}

// Stops the whole process until it is continued, then waits for the
// signal that ends it.
void Interrupts::stop_here_for_tests()
{
    raise(SIGSTOP);
    for (;;)
        pause();
}

}  // namespace tavo::cli
