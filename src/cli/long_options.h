// The long options of tavo2wav in one table: the help lists them and a
// misspelt long option is matched against them.
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

}  // namespace tavo::cli

#endif  // TAVO_CLI_LONG_OPTIONS_H
