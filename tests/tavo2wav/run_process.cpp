#include "run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

extern char **environ;

namespace {

// The parent's environment; each "NAME=value" of `extra` replaces any entry
// of that name.
std::vector<std::string> child_environment(const std::vector<std::string> &extra)
{
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; e++)
        env.emplace_back(*e);
    for (const std::string &x : extra) {
        const std::string name = x.substr(0, x.find('=')) + "=";
        env.erase(std::remove_if(env.begin(), env.end(),
                                 [&](const std::string &e) { return e.rfind(name, 0) == 0; }),
                  env.end());
        env.push_back(x);
    }
    return env;
}

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> p;
    for (std::string &s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void child(const char *program, char *const *args, char *const *env,
                        const RunOptions &options, const char *cwd, int out, int err)
{
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const struct rlimit limit = {options.max_files, options.max_files};
    if (in >= 0 && dup2(in, 0) >= 0 && dup2(out, 1) >= 0 && dup2(err, 2) >= 0 &&
        chdir(cwd) == 0 && (options.max_files == 0 || setrlimit(RLIMIT_NOFILE, &limit) == 0))
        execve(program, args, env);
    _exit(127);
}

// Reads both pipes until they close or the deadline passes; closes them.
// Returns false when the deadline passed first.
bool drain(int out, int err, RunResult *r, time_t deadline)
{
    struct pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    std::string *texts[2] = {&r->out, &r->err};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const long left = static_cast<long>(deadline - time(nullptr));
        if (left <= 0 || poll(fds, 2, static_cast<int>(left * 1000)) < 0)
            break;
        for (int i = 0; i < 2; i++) {
            if (fds[i].revents == 0)
                continue;
            char buf[65536];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                texts[i]->append(buf, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;  // poll ignores it from now on
            }
        }
    }
    const bool closed = fds[0].fd < 0 && fds[1].fd < 0;
    for (const struct pollfd &p : fds)
        if (p.fd >= 0)
            close(p.fd);
    return closed;
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
    std::vector<std::string> args_text = argv, env_text = child_environment(options.env);
    const std::vector<char *> args = pointers(args_text), env = pointers(env_text);
    int out[2], err[2];
    if (argv.empty() || pipe2(out, O_CLOEXEC) != 0)
        return r;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return r;
    }
    const std::string &program = options.program.empty() ? argv[0] : options.program;
    const pid_t pid = fork();
    if (pid == 0)
        child(program.c_str(), args.data(), env.data(), options, cwd.c_str(), out[1], err[1]);
    close(out[1]);
    close(err[1]);
    const bool finished = pid > 0 && drain(out[0], err[0], &r, time(nullptr) + options.timeout_s);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        return r;
    }
    if (!finished)
        kill(pid, SIGKILL);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus))
        r.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        r.signal = WTERMSIG(wstatus);
    return r;
}
