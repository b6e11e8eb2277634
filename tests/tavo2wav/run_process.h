// Runs a program in a child process and collects what it wrote and how it
// ended, for command-line tests.
#ifndef TESTS_RUN_PROCESS_H
#define TESTS_RUN_PROCESS_H

#include <string>
#include <vector>

struct RunResult {
    int status = -1;  // exit status, or -1 when ended by a signal or not started
    int signal = 0;   // the signal that ended it, or 0
    std::string out;  // everything written on standard output
    std::string err;  // everything written on standard error
};

// How the child is started, beyond its arguments.
struct RunOptions {
    // File to execute; empty means argv[0]. Lets argv[0] be any text.
    std::string program;
    // "NAME=value" entries added to (or replacing those of) the environment.
    std::vector<std::string> env;
    // Limit on open file descriptors in the child; 0 leaves it unchanged.
    unsigned long max_files = 0;
    // The child is killed after this many seconds (then signal is SIGKILL).
    int timeout_s = 60;
    // When the child stops itself (SIGSTOP), it gets this signal and then
    // SIGCONT; 0: a stopped child is left alone.
    int signal_on_stop = 0;
};

// Runs argv[0] with argv in directory cwd, standard input from /dev/null.
// Kills it after timeout_s seconds (then signal is SIGKILL).
RunResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                      int timeout_s = 60);

// As above, with the start-up choices of `options`.
RunResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                      const RunOptions& options);

#endif
