// The library's error printer and the one place where it raises a fatal
// condition and, for a program, reports it.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "internal.h"

namespace {

// "Error: FILE(LINE) ", the head of every err__printf report.
std::string error_head(const char* file, int line)
{
    return std::string("Error: ") + (file ? file : "") + "(" + std::to_string(line) + ") ";
}

}  // namespace

namespace Kemra {

namespace detail {

void raise(std::string message)
{
    throw Error(1, std::move(message));
}

void raise_at(const char* file, int line, const char* text)
{
    // Anything the program printed before must stand before the error text
    // when both streams go to the same place.
    std::fflush(stdout);
    raise(error_head(file, line) + text);
}

}  // namespace detail

void report_and_exit(const Error& e)
{
    std::fputs(e.message().c_str(), stderr);
    std::fflush(stderr);
    std::cout.flush();
    std::fflush(nullptr);
    std::exit(e.status());
}

}  // namespace Kemra

extern "C" void err__printf(const char* file, const int line, const char* fmt, ...)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::fputs(error_head(file, line).c_str(), stderr);
    if (fmt) {
        va_list args;
        va_start(args, fmt);
        std::vfprintf(stderr, fmt, args);
        va_end(args);
    }
    std::fflush(stderr);
}
