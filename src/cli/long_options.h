// The long options of tavo2wav in one table: the help lists them and a
// misspelt long option is matched against them; and the refusal of the
// long-form arguments that no option took, with its suggestion.
#ifndef TAVO_CLI_LONG_OPTIONS_H
#define TAVO_CLI_LONG_OPTIONS_H

#include <string>
#include <vector>

namespace tavo::cli {

/// One long option as the help shows it.
struct LongOption {
    const char* name;     ///< without dashes: "resampler"
    const char* values;   ///< what follows it: "linear|sinc", "" for a flag
    const char* meaning;  ///< one short line, with the default
};

/// The long options of tavo2wav, in the order its help lists them.
const std::vector<LongOption>& converter_long_options();

/// The block the help prints after the usage text: a blank line, "Long
/// options:", one line per option of `options` (name, values, meaning), and
/// a line pointing to `man PROGRAM`.
std::string long_options_help(const std::vector<LongOption>& options, const char* program);

/// The names of `options`, for unknown_long_options.
std::vector<std::string> option_names(const std::vector<LongOption>& options);

/// The name of a long-form argument: without its leading dashes and any
/// "=VALUE" ("--gaps=silence" gives "gaps"), as the option scanner reads it.
std::string long_option_name(const std::string& argument);

/// The line that refuses `argument`, a long-form argument ("--NAME" or
/// "--NAME=VALUE") that no option took:
/// "Error: unknown option ARGUMENT (did you mean SUGGESTION?)\n". The
/// suggestion, when `classic_letters` is set and NAME is a usual long
/// spelling of one of tavo2wav's one-letter options (--upsample, --rate,
/// --scale, --combine, --mono, ...), is that letter with the VALUE given
/// after '=' ("-u 50"); otherwise, for an argument without '=', the name of
/// `known` nearest by Levenshtein distance when that is at most 2 (of
/// equally near names the first in alphabetical order), "--" before it;
/// otherwise there is none and the line ends after the argument.
std::string unknown_option_line(const std::string& argument, const std::vector<std::string>& known,
                                bool classic_letters);

/// The unknown_option_line of every long-form argument that no option query
/// has taken, in command-line order; "" when there is none. Call it after
/// every query and before the walk over the files (which would mark them).
/// Prints nothing.
std::string unknown_long_options(int argc, char** argv, const std::vector<std::string>& known,
                                 bool classic_letters);

}  // namespace tavo::cli

#endif  // TAVO_CLI_LONG_OPTIONS_H
