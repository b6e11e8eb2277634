#include "process.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

extern char** environ;

namespace {

// The parent's environment; each "NAME=value" of `extra` replaces any entry
// of that name.
std::vector<std::string> child_environment(const std::vector<std::string>& extra)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; e++)
        env.emplace_back(*e);
    for (const std::string& x : extra) {
        const std::string name = x.substr(0, x.find('=')) + "=";
        for (auto e = env.begin(); e != env.end();)
            e = e->rfind(name, 0) == 0 ? env.erase(e) : e + 1;
        env.push_back(x);
    }
    return env;
}

// The strings' pointers and a null pointer, as execve takes them.
std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> p;
    for (std::string& s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Sets one limit of the child; 0 leaves it alone.
bool limit(int resource, unsigned long value)
{
    const struct rlimit l = {value, value};
    return value == 0 || setrlimit(resource, &l) == 0;
}

// Drops the capabilities that let root pass permission checks from the
// bounding set, so that the program executed next never has them.
bool drop_permission_overrides(bool drop)
{
    return !drop || geteuid() != 0 ||
           (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0 &&
            prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) == 0);
}

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void child(const char* program, char* const* args, char* const* env,
                        const RunOptions& o, const char* cwd, int out, int err)
{
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (o.file_size != 0)
        signal(SIGXFSZ, SIG_IGN);
    if (in >= 0 && dup2(in, 0) >= 0 && dup2(out, 1) >= 0 && dup2(err, 2) >= 0 && chdir(cwd) == 0 &&
        limit(RLIMIT_NOFILE, o.max_files) && limit(RLIMIT_FSIZE, o.file_size) &&
        limit(RLIMIT_AS, o.address_space) && drop_permission_overrides(o.honour_permissions))
        execvpe(program, args, env);  // a name without "/" is looked up in PATH
    _exit(127);
}

// The child, and how it ended when it has been reaped while draining.
struct Child {
    pid_t pid;
    int signal_on_stop;
    bool reaped = false;
    int wstatus = 0;
};

// Sends the child its signal when it has stopped itself; notes its end.
void watch_for_stop(Child* c)
{
    int wstatus = 0;
    if (c->reaped || waitpid(c->pid, &wstatus, WNOHANG | WUNTRACED) != c->pid)
        return;
    if (WIFSTOPPED(wstatus)) {
        kill(c->pid, c->signal_on_stop);
        kill(c->pid, SIGCONT);
        return;
    }
    c->reaped = true;
    c->wstatus = wstatus;
}

// Reads both pipes into r until they close or the deadline passes. Returns
// false when the deadline passed first.
bool drain(struct pollfd fds[2], RunResult* r, time_t deadline, Child* c)
{
    std::string* texts[2] = {&r->out, &r->err};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const long left = static_cast<long>(deadline - time(nullptr));
        const int wait_ms = c->signal_on_stop != 0 ? 20 : static_cast<int>(left * 1000);
        if (left <= 0 || poll(fds, 2, wait_ms) < 0)
            return false;
        if (c->signal_on_stop != 0)
            watch_for_stop(c);
        for (int i = 0; i < 2; i++) {
            char buf[65536];
            const ssize_t n = fds[i].revents == 0 ? 0 : read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                texts[i]->append(buf, static_cast<size_t>(n));
            } else if (fds[i].revents != 0) {
                close(fds[i].fd);
                fds[i].fd = -1;  // poll skips it from now on
            }
        }
    }
    return true;
}

}  // namespace

RunResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                      const RunOptions& options)
{
    RunResult r;
    std::vector<std::string> args_text = argv, env_text = child_environment(options.env);
    const std::vector<char*> args = pointers(args_text), env = pointers(env_text);
    int out[2] = {-1, -1}, err[2] = {-1, -1};
    // No child when there is nothing to run or the pipes cannot be made.
    const bool ready = !argv.empty() && pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0;
    const pid_t pid = ready ? fork() : -1;
    if (pid == 0)
        child(args[0], args.data(), env.data(), options, cwd.c_str(), out[1], err[1]);
    struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    for (int fd : {out[1], err[1]})
        close(fd);  // the child's ends; -1 when not made
    Child c{pid, options.signal_on_stop};
    if (pid > 0 && !drain(fds, &r, time(nullptr) + options.timeout_s, &c))
        kill(pid, SIGKILL);
    for (const struct pollfd& p : fds)
        close(p.fd);  // those left open
    int wstatus = c.wstatus;
    const bool ended = c.reaped || (pid > 0 && waitpid(pid, &wstatus, 0) == pid);
    if (ended && WIFEXITED(wstatus))
        r.status = WEXITSTATUS(wstatus);
    else if (ended && WIFSIGNALED(wstatus))
        r.signal = WTERMSIG(wstatus);
    return r;
}
