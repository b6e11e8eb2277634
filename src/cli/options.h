// The command line of a conversion read into tavo::Options, for tavo2wav and
// for tavoinfo's --audio: one reader of the options, their values and their
// refusals. Uses the option scanner of libkemra, whose marks say afterwards
// which arguments were options.
#ifndef TAVO_CLI_OPTIONS_H
#define TAVO_CLI_OPTIONS_H

#include <string>
#include <vector>

#include <tavo/convert.h>

namespace tavo::cli {

struct CommandLine {
    Options options;
    /// Lines said while reading, in order, before any refusal
    /// ("Unknown rate: 9. Using default: 4000.\n").
    std::vector<std::string> notices;
    /// The one line that refuses the command line, "" when it is accepted:
    /// the first value of -u, -r or -z that is not a whole number; else a
    /// bad value of --resampler, --speedup or --format, or -u with --speedup;
    /// else a bad --threads; else a bad --gaps; else a window refused
    /// (cli/window_options.h).
    std::string refusal;
};

/// Asks the scanner for every option of a conversion, in the order the
/// program always has: --resampler, --speedup, --format; -s, -m, -6, -c,
/// -f, -o; -r, -z, -u; --threads; --timeline, --gaps; the window options.
/// Prints nothing; never ends the process.
CommandLine read_options(int argc, char** argv);

}  // namespace tavo::cli

#endif  // TAVO_CLI_OPTIONS_H
