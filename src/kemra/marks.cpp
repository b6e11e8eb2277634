// The option scanner's marks: one per argument index, set when a query
// consumes the argument, so that what stays unmarked is the non-option
// arguments and the unknown options.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "internal.h"

namespace {

// One mark per argument index 0 .. argc_used - 1: 0 unused, nonzero used.
// Tied to the argument count alone; freed by the exit handler cleanup.
std::unique_ptr<unsigned char[]> argv_used;
int argc_used = 0;
int not_at_exit = 1;

void cleanup()
{
    argv_used.reset();
}

void rotate_left(char** argv, int from, int to)
{
    char* const arg = argv[from];
    const unsigned char mark = argv_used[from];
    for (int k = from; k < to; ++k) {
        argv[k] = argv[k + 1];
        argv_used[k] = argv_used[k + 1];
    }
    argv[to] = arg;
    argv_used[to] = mark;
}

// First index at or after from whose mark is (used) or is not (!used), or -1.
int find_mark(int argc, int from, bool used)
{
    for (int k = from; k < argc; ++k)
        if ((argv_used[k] != 0) == used)
            return k;
    return -1;
}

}  // namespace

namespace Kemra {
namespace detail {

void mark_setup(int argc)
{
    if (argv_used && argc_used == argc)
        return;
    argv_used.reset();
    // At least one byte, so that mark 0 exists even for a bogus argc < 1.
    const std::size_t size = argc > 0 ? static_cast<std::size_t>(argc) : 1;
    argv_used.reset(new (std::nothrow) unsigned char[size]());
    if (!argv_used)
        Kemra::detail::raise_at(__FILE__, __LINE__, "kemra: Can't allocate memory\n");
    argv_used[0] = 1;  // the program name is never found
    argc_used = argc;
    if (not_at_exit) {
        if (std::atexit(cleanup) != 0)
            Kemra::detail::raise_at(__FILE__, __LINE__, "Can't set exit function\n");
        not_at_exit = 0;
    }
}

void mark_as_used(int argc, int i)
{
    mark_setup(argc);
    if (i < 0 || i >= argc)
        Kemra::detail::raise("mark_as_used i out of range\n");
    argv_used[i] = 1;
}

bool is_used(int argc, int i)
{
    mark_setup(argc);
    if (i < 0 || i >= argc)
        Kemra::detail::raise("is_used: i out of range\n");
    return argv_used[i] != 0;
}

bool is_used_multi(int argc, int first, int count)
{
    mark_setup(argc);
    if (first < 0 || count > argc - first)
        Kemra::detail::raise("is_used_multi: i out of range\n");
    for (int k = 0; k < count; ++k)
        if (argv_used[first + k])
            return true;
    return false;
}

}  // namespace detail
}  // namespace Kemra

using Kemra::detail::mark_setup;

extern "C" {

int is_argument_used(int argc, char** /*argv*/, int i)
{
    return Kemra::detail::is_used(argc, i) ? 1 : 0;
}

void reset_argument_marks(void)
{
    argv_used.reset();
    argc_used = 0;
}

void print_used(int argc, char** /*argv*/)
{
    mark_setup(argc);
    for (int i = 0; i < argc; ++i)
        std::printf("%d", argv_used[i] ? 1 : 0);
    std::printf("\n");
}

int ca_reorganize(int argc, char** argv)
{
    mark_setup(argc);
    for (;;) {
        const int u = find_mark(argc, 0, false);
        const int a = u < 0 ? -1 : find_mark(argc, u + 1, true);
        const int b = a < 0 ? -1 : find_mark(argc, a + 1, false);
        if (b < 0)
            return 0;
        rotate_left(argv, u, b - 1);
    }
}

}  // extern "C"
