// The table of tavo2wav's long options and the help block made from it.
#include "cli/long_options.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/command_line.h"

namespace tavo::cli {

namespace {

// Columns of the help block: the indent, and the width of "--name values".
constexpr int INDENT = 2;
constexpr int NAME_COLUMN = 25;

// Farthest a name may lie from a misspelt one to be suggested.
constexpr std::size_t MOST_EDITS = 2;

// Usual long spellings of tavo2wav's one-letter options. Not --filter or
// --offset: -f and -o switch those off.
const struct {
    const char* spelling;
    const char* letter;
} CLASSIC_SPELLINGS[] = {
    {"upsample", "u"},
    {"upsampling", "u"},
    {"rate", "r"},
    {"scale", "z"},
    {"amplitude", "z"},
    {"gain", "z"},
    {"combine", "c"},
    {"mono", "m"},
    {"stereo", "s"},
    {"keep-offset", "o"},
    {"no-offset-removal", "o"},
    {"no-filter", "f"},
};

// Insertions, deletions and substitutions, each counting 1, that turn a
// into b.
std::size_t levenshtein(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The suggestion for long-form argument NAME[=VALUE] given as `name` and
// `value` (null without '='), "" for none.
std::string suggestion(const std::string& name, const char* value,
                       const std::vector<std::string>& known, bool classic_letters)
{
    for (const auto& c : CLASSIC_SPELLINGS)
        if (classic_letters && name == c.spelling)
            return std::string("-") + c.letter + (value && *value ? std::string(" ") + value : "");
    if (value != nullptr)
        return "";
    std::vector<std::string> sorted = known;
    std::sort(sorted.begin(), sorted.end());
    std::string nearest;
    std::size_t best = MOST_EDITS + 1;
    for (const std::string& k : sorted) {
        const std::size_t d = levenshtein(name, k);
        if (d < best) {
            best = d;
            nearest = k;
        }
    }
    return nearest.empty() ? "" : "--" + nearest;
}

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

std::vector<std::string> option_names(const std::vector<LongOption>& options)
{
    std::vector<std::string> names;
    for (const LongOption& o : options)
        names.push_back(o.name);
    return names;
}

std::string long_option_name(const std::string& argument)
{
    // The option scanner's rule: the name follows all leading dashes.
    const std::size_t from = argument.find_first_not_of('-');
    if (from == std::string::npos)
        return "";
    return argument.substr(from, argument.find('=', from) - from);
}

std::string unknown_option_line(const std::string& argument, const std::vector<std::string>& known,
                                bool classic_letters)
{
    const std::string name = long_option_name(argument);
    const std::size_t from = argument.find_first_not_of('-');
    const std::size_t equals = from == std::string::npos ? from : argument.find('=', from);
    const char* value = equals == std::string::npos ? nullptr : argument.c_str() + equals + 1;
    const std::string hint = suggestion(name, value, known, classic_letters);
    return "Error: unknown option " + argument +
           (hint.empty() ? "" : " (did you mean " + hint + "?)") + "\n";
}

std::string unknown_long_options(int argc, char** argv, const std::vector<std::string>& known,
                                 bool classic_letters)
{
    std::string lines;
    for (const int i : unconsumed_long_options(argc, argv))
        lines += unknown_option_line(argv[i], known, classic_letters);
    return lines;
}

}  // namespace tavo::cli
