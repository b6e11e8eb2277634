// Unconsumed long-form arguments and strict whole-number values, on top of
// the option scanner's marks.
#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <kemra/libkemra.h>

namespace tavo::cli {

namespace {

// The scanner's own rule for a long-form argument.
bool is_long_form(const char* a)
{
    return a != nullptr && a[0] == '-' && a[1] == '-' && a[2] != '\0';
}

bool is_digit_of(char c, int base)
{
    const unsigned char u = static_cast<unsigned char>(c);
    if (base == 16)
        return std::isxdigit(u) != 0;
    return c >= '0' && c < static_cast<char>('0' + base);
}

}  // namespace

std::vector<int> unconsumed_long_options(int argc, char** argv)
{
    std::vector<int> found;
    for (int i = 1; i < argc; ++i)
        if (is_long_form(argv[i]) && !is_argument_used(argc, argv, i))
            found.push_back(i);
    return found;
}

FileArguments file_arguments(int argc, char** argv)
{
    const std::vector<int> stray = unconsumed_long_options(argc, argv);
    FileArguments found;
    for (const int k : stray)
        found.strays.push_back(argv[k]);
    // The walk's first step prints the scanner's unknown-option lines.
    for (int i = get_first_unused(argc, argv, 1); i != 0; i = get_first_unused(argc, argv, i + 1))
        if (std::find(stray.begin(), stray.end(), i) == stray.end())
            found.files.push_back(argv[i]);
    return found;
}

bool is_whole_number(const char* text)
{
    const char* p = text;
    if (*p == '+' || *p == '-')
        ++p;
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    if (*p == '\0')
        return false;
    for (; *p != '\0'; ++p)
        if (!is_digit_of(*p, base))
            return false;
    return true;
}

std::vector<bool> WholeNumberOptions::marks() const
{
    std::vector<bool> m(static_cast<std::size_t>(argc_));
    for (int i = 0; i < argc_; ++i)
        m[static_cast<std::size_t>(i)] = is_argument_used(argc_, argv_, i) != 0;
    return m;
}

// The query marked either one argument, "-NAME=VALUE", or two, "-NAME" and
// the value after it.
bool WholeNumberOptions::check(const char* name, const std::vector<bool>& before)
{
    const std::vector<bool> after = marks();
    int at = 0;
    while (at < argc_ &&
           after[static_cast<std::size_t>(at)] == before[static_cast<std::size_t>(at)])
        ++at;
    if (at == argc_)
        return true;
    const bool separate = at + 1 < argc_ && after[static_cast<std::size_t>(at + 1)] &&
                          !before[static_cast<std::size_t>(at + 1)];
    const char* equals = std::strchr(argv_[at], '=');
    if (!separate && equals == nullptr)
        return true;  // not a valued query's mark
    const char* text = separate ? argv_[at + 1] : equals + 1;
    if (is_whole_number(text))
        return true;
    if (refused_at_ == 0 || at < refused_at_) {
        refused_at_ = at;
        refused_name_ = name;
        refused_text_ = text;
    }
    return false;
}

std::string WholeNumberOptions::refusal() const
{
    if (refused_at_ == 0)
        return "";
    return "Error: -" + refused_name_ + " needs a whole number, not \"" + refused_text_ + "\"\n";
}

}  // namespace tavo::cli
