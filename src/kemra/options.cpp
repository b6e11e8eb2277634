// Command-line option scanner: every query scans argc/argv as main received
// them and marks the arguments it consumes (marks.cpp), so that what stays
// unmarked is the non-option arguments and the unknown options.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "internal.h"

namespace {

using Kemra::detail::is_used;
using Kemra::detail::is_used_multi;
using Kemra::detail::mark_as_used;
using Kemra::detail::mark_setup;

const char* skip_dash(const char* s)
{
    if (!s)
        return "";
    while (*s == '-')
        ++s;
    return s;
}

// A long-form argument: at least three characters, the first two dashes.
bool is_option(const char* a)
{
    return a && a[0] == '-' && a[1] == '-' && a[2] != '\0';
}

// An unused argument that begins with a dash: the only kind a query looks at.
bool is_candidate(int argc, char** argv, int i)
{
    return !is_used(argc, i) && argv[i] && argv[i][0] == '-';
}

bool name_equals(const char* arg, const char* name)
{
    return std::strcmp(skip_dash(arg), name) == 0;
}

enum class Match { none, attached, separate };

// Whether arg names the option (name, len) with a value: attached after '='
// (text is set just past it) or separate (end of the argument).
Match match_valued(const char* arg, const char* name, std::size_t len, const char** text)
{
    const char* own = skip_dash(arg);
    if (std::strncmp(own, name, len) != 0)
        return Match::none;
    if (own[len] == '=') {
        *text = own + len + 1;
        return Match::attached;
    }
    return own[len] == '\0' ? Match::separate : Match::none;
}

// Converts text with convert (which reports failure only through errno) into
// *value; on failure stores fallback and prints the perror line.
template <typename T, typename Convert>
bool convert_value(const char* text, T* value, T fallback, Convert convert)
{
    errno = 0;
    const T converted = convert(text);
    if (errno != 0) {
        *value = fallback;
        std::perror(text);
        return false;
    }
    *value = converted;
    return true;
}

// The scan shared by the numeric queries. found_at is -i for an attached
// value at i, +i for a separate value at i (its value at i + 1), 0 for none.
template <typename T, typename Convert>
int scan_valued(int argc, char** argv, const char* option, T* value, T default_value,
                Convert convert)
{
    const char* name = skip_dash(option);
    const std::size_t len = std::strlen(name);
    int found_at = 0;
    for (int i = 1; i < argc; ++i) {
        const char* text = nullptr;
        const Match match =
            is_candidate(argc, argv, i) ? match_valued(argv[i], name, len, &text) : Match::none;
        if (match == Match::attached) {
            if (convert_value(text, value, default_value, convert))
                found_at = -i;
            continue;
        }
        if (match == Match::none)
            continue;
        if (i + 1 >= argc)
            break;
        if (is_used(argc, i + 1)) {
            ++i;
            continue;
        }
        if (convert_value(argv[i + 1], value, default_value, convert))
            found_at = i;
        break;
    }
    if (found_at == 0) {
        *value = default_value;
        return 0;
    }
    mark_as_used(argc, found_at < 0 ? -found_at : found_at);
    if (found_at > 0)
        mark_as_used(argc, found_at + 1);
    return 1;
}

long to_long(const char* text)
{
    return std::strtol(text, nullptr, 0);
}

unsigned long to_ulong(const char* text)
{
    // Signed conversion on purpose: -1 gives the all-ones value.
    return static_cast<unsigned long>(std::strtol(text, nullptr, 0));
}

double to_double(const char* text)
{
    return std::strtod(text, nullptr);
}

// The index of the first unused "-option" (name matched whole) that is
// followed by count unused arguments, or 0.
int find_with_values(int argc, char** argv, const char* name, int count)
{
    for (int i = 1; i < argc; ++i) {
        if (!is_candidate(argc, argv, i) || !name_equals(argv[i], name))
            continue;
        if (count <= 0)
            return i;
        if (count < argc - i && !is_used_multi(argc, i + 1, count))
            return i;
    }
    return 0;
}

[[noreturn]] void bad_scan(const char* option_arg, const char* value_arg)
{
    Kemra::detail::raise(std::string("Something bad happened during scan of ") + option_arg +
                         " argument (" + value_arg + ").");
}

// FIRST-LAST (step 1) or FIRST:STEP:LAST; false when the text is neither.
bool parse_range(const char* text, int* first, int* step, int* last)
{
    unsigned int ufirst = 0;
    unsigned int ulast = 0;
    if (std::sscanf(text, "%u-%u", &ufirst, &ulast) == 2) {
        *first = static_cast<int>(ufirst);
        *step = 1;
        *last = static_cast<int>(ulast);
        return true;
    }
    return std::sscanf(text, "%d:%d:%d", first, step, last) == 3;
}

}  // namespace

extern "C" {

int get_option(int argc, char** argv, const char* option, int if_found, int if_not_found)
{
    const char* name = skip_dash(option);
    for (int i = 1; i < argc; ++i) {
        if (is_candidate(argc, argv, i) && name_equals(argv[i], name)) {
            mark_as_used(argc, i);
            return if_found;
        }
    }
    return if_not_found;
}

int get_option_long(int argc, char** argv, const char* option, long* value, long default_value)
{
    return scan_valued(argc, argv, option, value, default_value, to_long);
}

int get_option_int(int argc, char** argv, const char* option, int* value, int default_value)
{
    long wide = default_value;
    const int found = get_option_long(argc, argv, option, &wide, default_value);
    *value = static_cast<int>(wide);
    return found;
}

unsigned long get_option_ulong(int argc, char** argv, const char* option, unsigned long* value,
                               unsigned long default_value)
{
    return static_cast<unsigned long>(
        scan_valued(argc, argv, option, value, default_value, to_ulong));
}

unsigned int get_option_uint(int argc, char** argv, const char* option, unsigned int* value,
                             unsigned int default_value)
{
    unsigned long wide = default_value;
    const unsigned long found = get_option_ulong(argc, argv, option, &wide, default_value);
    *value = static_cast<unsigned int>(wide);
    return static_cast<unsigned int>(found);
}

int get_option_double(int argc, char** argv, const char* option, double* value,
                      double default_value)
{
    return scan_valued(argc, argv, option, value, default_value, to_double);
}

int get_option_float(int argc, char** argv, const char* option, float* value, float default_value)
{
    double wide = default_value;
    const int found = get_option_double(argc, argv, option, &wide, default_value);
    *value = static_cast<float>(wide);
    return found;
}

int get_option_string(int argc, char** argv, const char* option, char** value)
{
    const char* name = skip_dash(option);
    const std::size_t len = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        const char* text = nullptr;
        const Match match =
            is_candidate(argc, argv, i) ? match_valued(argv[i], name, len, &text) : Match::none;
        if (match == Match::attached) {
            *value = const_cast<char*>(text);  // points into argv[i]
            mark_as_used(argc, i);
            return 1;
        }
        if (match == Match::none)
            continue;
        if (i + 1 >= argc)
            return 0;
        if (is_used(argc, i + 1)) {
            ++i;
            continue;
        }
        *value = argv[i + 1];
        mark_as_used(argc, i);
        mark_as_used(argc, i + 1);
        return 1;
    }
    return 0;
}

int get_option_int_range(int argc, char** argv, const char* option, int* start, int* step,
                         int* stop)
{
    const char* name = skip_dash(option);
    for (int i = 1; i < argc; ++i) {
        if (!is_candidate(argc, argv, i) || !name_equals(argv[i], name))
            continue;
        if (i + 1 >= argc)
            return 0;
        if (is_used(argc, i + 1)) {
            ++i;
            continue;
        }
        int first = 0, by = 0, last = 0;
        if (!parse_range(argv[i + 1], &first, &by, &last))
            bad_scan(argv[i], argv[i + 1]);
        if (start)
            *start = first;
        if (step)
            *step = by;
        if (stop)
            *stop = last;
        mark_as_used(argc, i);
        mark_as_used(argc, i + 1);
        return 1;
    }
    return 0;
}

int get_option_ints(int argc, char** argv, const char* option, int* start, int count)
{
    const int i = find_with_values(argc, argv, skip_dash(option), count);
    if (i == 0)
        return 0;
    for (int j = 0; j < count; ++j) {
        if (std::sscanf(argv[i + 1 + j], "%d", &start[j]) != 1)
            bad_scan(argv[i], argv[i + 1]);
    }
    mark_as_used(argc, i);
    for (int j = 1; j <= count; ++j)
        mark_as_used(argc, i + j);
    return 1;
}

int get_option_unused(int argc, char** argv)
{
    mark_setup(argc);
    for (int i = 0; i < argc; ++i) {
        if (is_option(argv[i])) {
            mark_as_used(argc, i);
            return 0;
        }
        if (is_candidate(argc, argv, i))
            return i;
    }
    return 0;
}

int get_first_unused(int argc, char** argv, int start)
{
    mark_setup(argc);
    for (int i = get_option_unused(argc, argv); i != 0; i = get_option_unused(argc, argv)) {
        std::fprintf(stderr, "Unknown option: %s\n", argv[i]);
        mark_as_used(argc, i);
    }
    for (int k = start; k < argc; ++k)
        if (!is_used(argc, k))
            return k;
    return 0;
}

int get_first_unused_mark(int argc, char** argv, int start)
{
    const int i = get_first_unused(argc, argv, start);
    if (i != 0)
        mark_as_used(argc, i);
    return i;
}

}  // extern "C"
