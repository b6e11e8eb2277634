#include "run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

extern char **environ;

namespace {

// The parent's environment with the entries of `extra` added in order; an
// entry replaces any earlier one of the same name.
std::vector<std::string> child_environment(const std::vector<std::string> &extra)
{
    std::vector<std::string> env(environ, environ + [] {
        size_t n = 0;
        while (environ[n] != nullptr)
            n++;
        return n;
    }());
    for (const std::string &x : extra) {
        const size_t eq = x.find('=');
        const std::string name = eq == std::string::npos ? x + "=" : x.substr(0, eq + 1);
        env.erase(std::remove_if(env.begin(), env.end(),
                                 [&](const std::string &e) { return e.compare(0, name.size(), name) == 0; }),
                  env.end());
        env.push_back(x);
    }
    return env;
}

std::vector<char *> pointers(const std::vector<std::string> &strings)
{
    std::vector<char *> p;
    for (const std::string &s : strings)
        p.push_back(const_cast<char *>(s.c_str()));
    p.push_back(nullptr);
    return p;
}

// Runs in the forked child: only async-signal-safe calls from here on.
void child(const char *program, char *const *args, char *const *env, unsigned long max_files,
           const std::string &cwd, int out, int err)
{
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(cwd.c_str()) != 0)
        _exit(127);
    if (max_files > 0) {
        const struct rlimit limit = {max_files, max_files};
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            _exit(127);
    }
    execve(program, args, env);
    _exit(127);
}

// Reads both pipes until they close or the deadline passes; closes them.
bool drain(int out, int err, std::string *out_text, std::string *err_text, time_t deadline)
{
    struct pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    std::string *texts[2] = {out_text, err_text};
    int open_fds = 2;
    while (open_fds > 0) {
        const long left = static_cast<long>(deadline - time(nullptr));
        if (left <= 0 || poll(fds, 2, static_cast<int>(left * 1000)) < 0) {
            for (const struct pollfd &p : fds)
                if (p.fd >= 0)
                    close(p.fd);
            return false;
        }
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[65536];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                texts[i]->append(buf, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                open_fds--;
            }
        }
    }
    return true;
}

}  // namespace

RunResult run_process(const std::vector<std::string> &argv, const std::string &cwd,
                      int timeout_s)
{
    RunOptions options;
    options.timeout_s = timeout_s;
    return run_process(argv, cwd, options);
}

RunResult run_process(const std::vector<std::string> &argv, const std::string &cwd,
                      const RunOptions &options)
{
    RunResult r;
    if (argv.empty())
        return r;
    const std::vector<std::string> env = child_environment(options.env);
    const std::vector<char *> args = pointers(argv);
    const std::vector<char *> envp = pointers(env);
    const std::string &program = options.program.empty() ? argv[0] : options.program;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return r;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return r;
    }
    const pid_t pid = fork();
    if (pid == 0)
        child(program.c_str(), args.data(), envp.data(), options.max_files, cwd, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        return r;
    }
    const bool finished =
        drain(out[0], err[0], &r.out, &r.err, time(nullptr) + options.timeout_s);
    if (!finished)
        kill(pid, SIGKILL);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus)) {
        r.status = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        r.signal = WTERMSIG(wstatus);
    }
    return r;
}
