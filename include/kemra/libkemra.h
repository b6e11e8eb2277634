/*
 * libkemra: the utility library of tavo2wav.
 *
 * A flat interface of plain functions with unmangled names:
 *   - the command-line option scanner, which answers one question per call by
 *     scanning argc/argv as main received them and marks the arguments it
 *     consumes (src/kemra/options.cpp);
 *   - the error printer err__printf and the fatal error (fatal.cpp);
 *   - the version strings (version.cpp);
 *   - the command-line log (logfile.cpp);
 *   - path split and join (path.cpp) and bounded string copies (strl.cpp).
 *
 * Option vocabulary: an option argument begins with '-'; its name is what
 * remains after all leading dashes, so -r, --r and ---r all name r. The option
 * name given to a query is normalised the same way. A valued option takes its
 * value attached (-r=4) or as the next argument (-r 4); -r4 matches nothing.
 *
 * The scanner keeps one process-wide set of marks (one per argument index),
 * keyed by argc alone: a call with another argc than the previous call
 * discards every mark made so far, and so does reset_argument_marks. Index 0
 * is always marked, so 0 serves as the result "none". argv must be the same
 * vector between calls.
 *
 * The functions are C++ functions with C names. A fatal condition (the
 * scanner's misuse) prints nothing: it throws Kemra::Error (declared at the
 * end, for C++), which carries the exit status (1) and the exact message. A
 * program that wants the classic behaviour, print the message and end the
 * process, catches it and calls Kemra::report_and_exit. "Fatal: TEXT" below
 * means Kemra::Error with status 1 and message TEXT.
 */
#ifndef LIBKEMRA_H
#define LIBKEMRA_H

#include <stddef.h>
#include <string.h> /* the C library's own strlcpy/strlcat, where it has them */

/* The build defines KEMRA_LIBC_HAS_STRLCPY/STRLCAT when the C library has
 * them; glibc 2.38 and later is also recognised here, so that a program built
 * without those definitions does not declare the functions a second time. */
#if defined(__GLIBC__) && defined(__USE_MISC) && \
    (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 38))
#ifndef KEMRA_LIBC_HAS_STRLCPY
#define KEMRA_LIBC_HAS_STRLCPY 1
#endif
#ifndef KEMRA_LIBC_HAS_STRLCAT
#define KEMRA_LIBC_HAS_STRLCAT 1
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Version strings (nothing in the library reads them) ---------------- */

/* "libkemra Ver: 0.52" */
extern const char* shortVersion;
/* One line, no line end: library name, "Version", 0.52, build date and time,
 * "Build:" 0 and the author credit. */
extern const char* Version;
/* The copyright notice: two lines joined by one "\n", no final line end. */
extern const char* Copyright;
/* Where bug reports go: one line, no line end. */
extern const char* Bugs;

/* ---- Option scanner ------------------------------------------------------ */
/* Every query takes argc (>= 1) and argv as main received them and only sees
 * arguments that are still unused. option must not be null. */

/* Flag query. Consumes (marks) the first unused argument whose name equals
 * the option name and returns if_found; otherwise returns if_not_found.
 * A flag given with a value (-c=1) does not match. */
int get_option(int argc, char** argv, const char* option, int if_found, int if_not_found);

/* Valued queries (strtol base 0; strtod for the floating members).
 * Returns 1 when a value was found and the winning occurrence (with its value
 * argument, for the separate form) is marked; 0 when nothing matched (or the
 * only match failed to convert), with nothing marked.
 * *value (must not be null) is always written: the value, or default_value.
 * Among attached values the last one wins; the first separate value that
 * converts ends the search. A value out of range prints a perror line with
 * the value text on standard error and stores default_value; after an earlier
 * good attached value the result stays 1 although *value holds the default.
 * Text without digits converts to 0; trailing text is ignored.
 * get_option_int stores the long result as int; the unsigned members convert
 * signed (so -1 gives the all-ones value); get_option_float converts as
 * double, then stores as float. */
int get_option_long(int argc, char** argv, const char* option, long* value, long default_value);
int get_option_int(int argc, char** argv, const char* option, int* value, int default_value);
unsigned long get_option_ulong(int argc, char** argv, const char* option, unsigned long* value,
                               unsigned long default_value);
unsigned int get_option_uint(int argc, char** argv, const char* option, unsigned int* value,
                             unsigned int default_value);
int get_option_double(int argc, char** argv, const char* option, double* value,
                      double default_value);
int get_option_float(int argc, char** argv, const char* option, float* value, float default_value);

/* String query. The first match of either form wins: *value points into argv
 * (just past the '=', or at the next argument) and 1 is returned. When nothing
 * matches, 0 is returned and *value is left untouched. */
int get_option_string(int argc, char** argv, const char* option, char** value);

/* Range query: -option FIRST-LAST (step 1) or -option FIRST:STEP:LAST, the
 * name matched whole, the value always the next argument. Returns 1 and stores
 * into each non-null pointer, marking both arguments; 0 when absent or the
 * value is missing. A value that is neither form is fatal:
 * "Something bad happened during scan of %s argument (%s)." (no line end). */
int get_option_int_range(int argc, char** argv, const char* option, int* start, int* step,
                         int* stop);

/* List query: -option V1 .. Vcount, the name matched whole; a match counts
 * only when count unused arguments follow it. Returns 1 and stores the values
 * in start[0 .. count-1], marking the option and its values (count <= 0 marks
 * the option alone); 0 when there is no such match. A value that is not a
 * number is fatal: "Something bad happened during scan of %s argument (%s)."
 * (with the first value argument, no line end). */
int get_option_ints(int argc, char** argv, const char* option, int* start, int count);

/* Index of the first unused argument that begins with '-', or 0. A long-form
 * argument (three or more characters starting with "--") ends the search: it
 * is marked and 0 is returned. */
int get_option_unused(int argc, char** argv);

/* Reports every unused argument that begins with '-' as
 * "Unknown option: %s\n" on standard error and marks it (see
 * get_option_unused for where the search stops), then returns the index of the
 * first unused argument at or after start, or 0 when there is none.
 * A negative start is a misuse. Fatal: "is_used: i out of range\n". */
int get_first_unused(int argc, char** argv, int start);

/* As get_first_unused, and marks the argument it returns. */
int get_first_unused_mark(int argc, char** argv, int start);

/* 1 when argument i has been consumed (a query matched it or its value, or
 * an unknown-option search marked it), 0 while it is unused; argument 0 is
 * always used. Marks nothing and prints nothing, so a program can tell which
 * arguments its queries took before it walks the rest. An index outside
 * 0 .. argc - 1 is a misuse: "is_used: i out of range\n", status 1. */
int is_argument_used(int argc, char** argv, int i);

/* Discards every mark, so that the next query starts on a new command line
 * even with the same argc (a program that reads a second vector of option
 * words after its own command line). Prints nothing. */
void reset_argument_marks(void);

/* Prints one digit per argument (1 used, 0 unused) and a newline to
 * standard output. */
void print_used(int argc, char** argv);

/* Moves used arguments towards the front of argv, carrying their marks; a run
 * of used arguments that reaches the end of argv stays. Unused arguments do
 * not keep their relative order. Always returns 0. */
int ca_reorganize(int argc, char** argv);

/* ---- Error printer ------------------------------------------------------- */

/* Flushes standard output and standard error, then prints
 * "Error: FILE(LINE) " and the formatted message on standard error and
 * flushes it. Never ends the process. */
void err__printf(const char* file, const int line, const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

/* ---- Command-line log ---------------------------------------------------- */

/* Appends one line to the file "logfile" in the current directory
 * (see flogfile). */
void logfile(int argc, char** argv);

/* Appends one line to the file named logfile (created when missing): the
 * local time as "%x %X", then for each argument a blank and its logged form,
 * then a newline. Arguments holding a blank, comma or asterisk are written in
 * double quotes with '"' and '\\' escaped (for --name=value only the value is
 * quoted); others are written unchanged. The line goes to the file in one
 * write, so concurrent runs never interleave lines. When the file cannot be
 * opened in 11 attempts, prints "No logfile entry\n" on standard error.
 * Never ends the process; argv is not changed. */
void flogfile(const char* logfile, int argc, char** argv);

/* ---- Path split and join ------------------------------------------------- */
/* Both '/' and '\\' separate directories; ':' ends a drive prefix. */

/* Splits real_path into drive ("C:"), directory with its trailing separator,
 * file name and extension with its dot. Each output may be null (not filled);
 * every given output first receives an empty string (when its length is not
 * 0). Returns 0 (also for a null real_path); ENOMEM when no scratch copy can
 * be made; ENAMETOOLONG when a part does not fit its buffer: that buffer holds
 * the truncated part, the parts produced before it (in the order extension,
 * file name, directory, drive) are complete and those after it are empty. */
int explode_path_n(const char* real_path, char* drive, size_t drive_len, char* directory,
                   size_t directory_len, char* filename, size_t filename_len, char* extension,
                   size_t extension_len);

/* explode_path_n with every buffer 256 bytes long. */
int explode_path(const char* path, char* drive, char* directory, char* filename, char* extension);

/* Joins the parts into path (path_len bytes, terminating zero included);
 * null or empty parts are left out. Adds ':' after a drive, '/' after a
 * directory and '.' before an extension when they are missing. Returns 0 (also
 * for a null path); ENAMETOOLONG when the result does not fit: path then holds
 * its first path_len - 1 characters (nothing is written when path_len is 0). */
int combine_path_n(char* path, size_t path_len, const char* drive, const char* directory,
                   const char* filename, const char* extension);

/* combine_path_n with a path buffer of 260 bytes. */
int combine_path(char* path, const char* drive, const char* directory, const char* filename,
                 const char* extension);

/* ---- Bounded copies (the C library's own when it has them) --------------- */

#ifndef KEMRA_LIBC_HAS_STRLCPY
/* Copies at most bufsize - 1 characters of s to d and terminates d (nothing is
 * written when bufsize is 0). Returns strlen(s); a result >= bufsize means the
 * copy was truncated. */
size_t strlcpy(char* d, const char* s, size_t bufsize);
#endif

#ifndef KEMRA_LIBC_HAS_STRLCAT
/* Appends s to d within bufsize bytes in all (nothing is written when
 * bufsize is 0 or d already fills bufsize - 1). Returns strlen(d) + strlen(s),
 * both taken before the call. */
size_t strlcat(char* d, const char* s, size_t bufsize);
#endif

#ifdef __cplusplus
}

#include <exception>
#include <string>
#include <utility>

namespace Kemra {

/* Every query's fatal condition: the exit status (1) and the text a program
 * prints on standard error before ending with it. The scanner's marks can no
 * longer be allocated: "Error: FILE(LINE) kemra: Can't allocate memory\n",
 * standard output flushed before the throw. what() returns the message. */
class Error : public std::exception {
public:
    Error(int status, std::string message) : status_(status), message_(std::move(message)) {}
    int status() const noexcept { return status_; }
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    int status_;
    std::string message_;
};

/* The library's fatal exit, taken by the program that caught e: writes
 * e.message() to standard error, flushes every output stream and ends the
 * process with e.status(). */
[[noreturn]] void report_and_exit(const Error& e);

/* Calls f() and returns its result; an Error it throws is reported and ends
 * the process right there. */
template <class F>
auto exit_on_error(F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const Error& e) {
        report_and_exit(e);
    }
}

}  // namespace Kemra
#endif

#endif /* LIBKEMRA_H */
