// The library's error printer and its single exit point.
#include "libkemra.h"
#include "kemra_fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((weak)) void kemra_fatal_exit(int status)
{
    std::exit(status);
}

extern "C" void err__printf(const char* file, const int line, const char* fmt, ...)
{
    // Anything the program printed before must stand before the error text
    // when both streams go to the same place.
    std::fflush(stdout);
    std::fflush(stderr);
    std::fprintf(stderr, "Error: %s(%d) ", file ? file : "", line);
    if (fmt) {
        va_list args;
        va_start(args, fmt);
        std::vfprintf(stderr, fmt, args);
        va_end(args);
    }
    std::fflush(stderr);
}
