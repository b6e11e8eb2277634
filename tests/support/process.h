// Runs a program in a child process and collects what it wrote and how it
// ended: the one process runner of the tests.
//   const RunResult r = run_process({TAVO2WAV_BIN, "x.dat"}, dir.path(), RunOptions{{"TZ=UTC"}});
#ifndef TAVO_TESTS_SUPPORT_PROCESS_H
#define TAVO_TESTS_SUPPORT_PROCESS_H

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
    // "NAME=value" entries added to (or replacing those of) the environment.
    std::vector<std::string> env;
    // The child is killed after this many seconds (then signal is SIGKILL).
    int timeout_s = 60;
    // When the child stops itself (SIGSTOP), it gets this signal and then
    // SIGCONT; 0: a stopped child is left alone.
    int signal_on_stop = 0;
    // Limits of the child, 0 for none: open file descriptors, bytes of any
    // file it writes (SIGXFSZ ignored, so that such a write fails with
    // EFBIG) and bytes of address space.
    unsigned long max_files = 0;
    unsigned long file_size = 0;
    unsigned long address_space = 0;
    // File permission bits bind the child even when it runs as root: the
    // two capabilities that pass every permission check are dropped.
    bool honour_permissions = false;
};

// Runs argv[0] (a name without "/" is looked up in
// PATH) with argv in directory cwd, standard input from /dev/null.
RunResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                      const RunOptions& options = {});

#endif
