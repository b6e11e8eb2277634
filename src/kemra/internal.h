// libkemra internals shared by its sources: raising a fatal condition and
// the owner of malloc'ed strings.  Not installed.
#ifndef KEMRA_INTERNAL_H
#define KEMRA_INTERNAL_H

#include <cstdlib>
#include <string>

#include <kemra/libkemra.h>

namespace Kemra {
namespace detail {

/// Throws Error(1, message); nothing has been printed.
[[noreturn]] void raise(std::string message);

/// Throws Error(1, "Error: FILE(LINE) " + text), the text err__printf would
/// print, after flushing standard output as err__printf does.
[[noreturn]] void raise_at(const char* file, int line, const char* text);

/// The scanner's argument marks (marks.cpp), keyed by argc alone: a call
/// with another argc than the previous one discards every mark; index 0 is
/// always marked.  An index outside 0 .. argc - 1 is a misuse (Error), and
/// so is a failed allocation of the marks.
void mark_setup(int argc);
void mark_as_used(int argc, int i);
bool is_used(int argc, int i);
/// True when any of the count arguments from first on is used.
bool is_used_multi(int argc, int first, int count);

/// Frees what malloc or strdup returned, for std::unique_ptr.
struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

}  // namespace detail
}  // namespace Kemra

#endif  // KEMRA_INTERNAL_H
