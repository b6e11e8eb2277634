// Command-line checks that both programs add on top of the option scanner of
// libkemra: long-form arguments that no option took are reported instead of
// silently dropped, and numeric option values must be whole numbers.  The
// scanner itself keeps its contract; these helpers only read its marks.
#ifndef TAVO_CLI_COMMAND_LINE_H
#define TAVO_CLI_COMMAND_LINE_H

#include <string>
#include <vector>

namespace tavo::cli {

/// Indexes, in command-line order, of the long-form arguments ("--NAME" or
/// "--NAME=VALUE": three or more characters, the first two dashes) that no
/// option query has consumed.  Call it after every option query: the walk
/// over the non-option arguments marks the first long-form argument itself.
/// Marks and prints nothing.
std::vector<int> unconsumed_long_options(int argc, char** argv);

/// What the walk over the arguments no option took finds.
struct FileArguments {
    /// The non-option arguments in command-line order, as the scanner's
    /// get_first_unused walk finds them, without `strays`.
    std::vector<std::string> files;
    /// The long-form arguments no query consumed, in command-line order.
    std::vector<std::string> strays;
};

/// Walks the arguments no option query consumed.  The walk prints the
/// scanner's own "Unknown option: %s\n" lines (the utility library's
/// contract); the caller reports the strays.  Call it once, after every
/// option query.
FileArguments file_arguments(int argc, char** argv);

/// True when the whole of text is one integer in a form the scanner's strtol
/// (base 0) reads: an optional sign, then decimal digits, "0x" or "0X" and
/// hexadecimal digits, or a leading 0 and octal digits.  Empty text, blanks,
/// trailing characters and a bare "0x" are not.
bool is_whole_number(const char* text);

/// Runs the scanner's valued queries and refuses values that are not whole
/// numbers, which the scanner would take as 0 or as their leading digits.
class WholeNumberOptions {
public:
    WholeNumberOptions(int argc, char** argv) : argc_(argc), argv_(argv) {}

    /// Runs query, which must ask the scanner for the one valued option
    /// `name` (given without dashes), and checks the value text the query
    /// consumed.  Returns false when that text is not a whole number (the
    /// first such value in command-line order is kept for refusal()); true
    /// when it is, or when the query consumed nothing.
    template <typename Query>
    bool read(const char* name, Query query)
    {
        const std::vector<bool> before = marks();
        query();
        return check(name, before);
    }

    /// "Error: -NAME needs a whole number, not \"TEXT\"\n" for the first
    /// refused value in command-line order (the value text as given), ""
    /// when none was refused.
    std::string refusal() const;

private:
    std::vector<bool> marks() const;
    bool check(const char* name, const std::vector<bool>& before);

    int argc_;
    char** argv_;
    int refused_at_ = 0;  // index of the first refused option argument; 0: none
    std::string refused_name_;
    std::string refused_text_;
};

}  // namespace tavo::cli

#endif
