// Starts a program under the limits a reliability test asks for: an address
// space limit, a file size limit (with SIGXFSZ ignored, so that a write past
// it fails with EFBIG instead of killing the program), and file permissions
// that apply even to root.
//
// Usage: limit_exec [--as BYTES] [--fsize BYTES] [--honour-permissions]
//                   -- PROGRAM [ARGS...]
// Exits 126 with a message when a limit cannot be set or PROGRAM cannot be
// started.
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "limit_exec: %s: %s\n", what, std::strerror(errno));
    std::exit(126);
}

void set_limit(int resource, const char* bytes, const char* what)
{
    const rlim_t n = std::strtoull(bytes, nullptr, 10);
    const struct rlimit limit = {n, n};
    if (setrlimit(resource, &limit) != 0)
        fail(what);
}

// Root passes every permission check through two capabilities; without them
// in the bounding set the program started next runs with the file owner's
// permission bits like anyone else.
void honour_permissions()
{
    if (geteuid() != 0)
        return;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        if (prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0)
            fail("cannot drop a capability");
}

}  // namespace

int main(int argc, char** argv)
{
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--as") == 0 && i + 1 < argc) {
            set_limit(RLIMIT_AS, argv[++i], "cannot limit the address space");
        } else if (std::strcmp(argv[i], "--fsize") == 0 && i + 1 < argc) {
            set_limit(RLIMIT_FSIZE, argv[++i], "cannot limit the file size");
            if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
                fail("cannot ignore SIGXFSZ");
        } else if (std::strcmp(argv[i], "--honour-permissions") == 0) {
            honour_permissions();
        } else {
            errno = EINVAL;
            fail(argv[i]);
        }
    }
    if (i + 1 >= argc) {
        errno = EINVAL;
        fail("no program given");
    }
    execv(argv[i + 1], argv + i + 1);
    fail(argv[i + 1]);
}
