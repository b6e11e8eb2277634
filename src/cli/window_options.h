// The window options of a conversion read from the command line: --archive,
// --station, --from, --to and --duration into tavo::Options::window; and
// whether any long option was given, which lets an output too large for a
// WAV file be written as RF64.
#ifndef TAVO_CLI_WINDOW_OPTIONS_H
#define TAVO_CLI_WINDOW_OPTIONS_H

#include <string>

#include <tavo/convert.h>

namespace tavo::cli {

/// Reads the five window options into o->window.  Call it after every other
/// option query: the arguments left unused that do not start with a dash
/// count as file names.  Returns "" or the refusal: "Error: --NAME needs a
/// value\n", or the first refusal of archive::read_window ("Error: --from
/// must be before --to\n", ...).  Prints nothing.
std::string read_window_options(int argc, char** argv, Options* o);

/// True when an argument the option queries took is one of the long
/// options (--resampler, --speedup, --format, --threads, --timeline,
/// --gaps or a window option), with any number of dashes.
bool long_options_given(int argc, char** argv);

}  // namespace tavo::cli

#endif  // TAVO_CLI_WINDOW_OPTIONS_H
