// The table of tavo2wav's long options and the help block made from it.
#include "cli/long_options.h"

#include <cstdio>

namespace tavo::cli {

namespace {

// Columns of the help block: the indent, and the width of "--name values".
constexpr int INDENT = 2;
constexpr int NAME_COLUMN = 25;

}  // namespace

const std::vector<LongOption>& converter_long_options()
{
    static const std::vector<LongOption> options = {
        {"gaps", "join|silence", "time gaps joined or silent (default: join)"},
        {"timeline", "", "time map chunks and label file (default: off)"},
        {"resampler", "linear|sinc", "resampling method (default: linear)"},
        {"speedup", "S", "play S times real time, in place of -u (default: off)"},
        {"format", "s16|s24|f32", "WAV sample format (default: s16)"},
        {"threads", "N", "render threads, 0 = one per core (default: 0)"},
        {"version", "", "program and library versions"},
        {"help", "", "this text (also -h, -help, -?)"},
    };
    return options;
}

std::string long_options_help(const std::vector<LongOption>& options, const char* program)
{
    std::string text = "\nLong options:\n";
    for (const LongOption& o : options) {
        const std::string left = std::string("--") + o.name + (*o.values ? " " : "") + o.values;
        char line[160];
        std::snprintf(line, sizeof line, "%*s%-*s%s\n", INDENT, "", NAME_COLUMN, left.c_str(),
                      o.meaning);
        text += line;
    }
    return text + "See 'man " + program + "' for every option in full.\n";
}

}  // namespace tavo::cli
