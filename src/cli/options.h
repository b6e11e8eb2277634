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
    /// The line that refuses the first value of -u, -r or -z (in
    /// command-line order) that is not a whole number, "" when there is none.
    std::string number_refusal;
    /// The line that refuses the long options' values, "" when they are
    /// accepted: a bad value of --resampler, --speedup or --format, or -u
    /// with --speedup; else a bad --threads; else a bad --gaps; else a window
    /// refused (cli/window_options.h).
    std::string refusal;
};

/// Asks the scanner for every option of a conversion, in the order the
/// program always has: --resampler, --speedup, --format; -s, -m, -6, -c,
/// -f, -o; -r, -z, -u; --threads; --timeline, --gaps; the window options.
/// Prints nothing; never ends the process.
CommandLine read_options(int argc, char** argv);

/// The options of a conversion written as words of one string, as
/// tavoinfo's --audio takes them ("-c --resampler sinc --speedup 49 -r 1").
struct OptionWords {
    Options options;
    /// Lines to say, as tavo2wav says them ("Unknown rate: ...").
    std::vector<std::string> notices;
    /// The line that refuses the words, "" when they are accepted, in this
    /// order: a value that is not a whole number; a word no option took
    /// (unknown_option_line for a long form, else "Error: 'WORD' is not a
    /// tavo2wav option\n"); a refusal of the long options' values; else
    /// what tavo::check refuses.
    std::string refusal;
};

/// Reads `text`, split at blanks, with read_options. The scanner keeps one
/// set of marks per process: this discards them before and after, so call
/// it only once the program's own command line has been read and walked.
/// Prints nothing.
OptionWords read_option_words(const std::string& text);

/// What ends the run before anything is logged, in this order, each kind
/// alone: the whole-number refusal; else `unknown`, the lines of the
/// long-form arguments no option took (see unknown_long_options); else the
/// refusal of the long options' values. "" when the command line is
/// accepted.
std::string first_refusal(const CommandLine& cl, const std::string& unknown);

/// What ends tavo2wav's run before anything is logged: first_refusal with
/// the long-form arguments no option of a conversion took.
std::string converter_refusal(int argc, char** argv, const CommandLine& cl);

}  // namespace tavo::cli

#endif  // TAVO_CLI_OPTIONS_H
