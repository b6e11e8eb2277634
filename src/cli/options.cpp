// The options of a conversion, read from the command line.
#include "cli/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <kemra/libkemra.h>

#include <sstream>

#include "cli/command_line.h"
#include "cli/long_options.h"
#include "cli/window_options.h"

namespace tavo::cli {

namespace {

// The value of option `name`: true with *value set when it has one; false
// with *error set when the option stands without a value; false and no
// error when it is absent.
bool value_of(int argc, char** argv, const char* name, const char** value, std::string* error)
{
    char* text = nullptr;
    if (get_option_string(argc, argv, name, &text) == 1) {
        *value = text;
        return true;
    }
    if (get_option(argc, argv, name, 1, 0) == 1)
        *error = std::string("Error: --") + name + " needs a value\n";
    return false;
}

// A positive finite number written in full (no trailing text).
bool parse_positive(const char* text, double* value)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(v) || !(v > 0))
        return false;
    *value = v;
    return true;
}

std::string read_resampler(int argc, char** argv, Options* o)
{
    const char* text = nullptr;
    std::string error;
    if (!value_of(argc, argv, "resampler", &text, &error))
        return error;
    if (std::strcmp(text, "linear") == 0)
        o->resampler = Resampler::LINEAR;
    else if (std::strcmp(text, "sinc") == 0)
        o->resampler = Resampler::SINC;
    else
        return std::string("Error: unknown resampler '") + text + "' (linear or sinc)\n";
    return "";
}

std::string read_speedup(int argc, char** argv, Options* o)
{
    const char* text = nullptr;
    std::string error;
    if (!value_of(argc, argv, "speedup", &text, &error))
        return error;
    if (!parse_positive(text, &o->speedup))
        return std::string("Error: speed-up must be a positive number (--speedup ") + text + ")\n";
    o->speedup_text = text;
    return "";
}

std::string read_format(int argc, char** argv, Options* o)
{
    const char* text = nullptr;
    std::string error;
    if (!value_of(argc, argv, "format", &text, &error))
        return error;
    if (!parse_sample_format(text, &o->format))
        return std::string("Error: unknown sample format '") + text + "' (s16, s24 or f32)\n";
    return "";
}

std::string read_sound(int argc, char** argv, Options* o)
{
    std::string error = read_resampler(argc, argv, o);
    if (error.empty())
        error = read_speedup(argc, argv, o);
    if (error.empty())
        error = read_format(argc, argv, o);
    return error;
}

// The classic options: layout flags, combining, filter and offset
// switches, and the valued -r, -z, -u, whose values must be whole numbers.
// Returns the refusal of the first value that is not.
std::string read_classic(int argc, char** argv, CommandLine* cl)
{
    Options& o = cl->options;
    int layout = static_cast<int>(o.layout);
    layout = get_option(argc, argv, "s", static_cast<int>(Layout::STEREO), layout);
    layout = get_option(argc, argv, "m", static_cast<int>(Layout::MONO), layout);
    layout = get_option(argc, argv, "6", static_cast<int>(Layout::SIX), layout);
    o.layout = static_cast<Layout>(layout);
    o.combine = get_option(argc, argv, "c", 1, o.combine) != 0;
    o.filter = get_option(argc, argv, "f", 0, o.filter) != 0;
    o.remove_offset = get_option(argc, argv, "o", 0, o.remove_offset) != 0;
    WholeNumberOptions numbers(argc, argv);
    unsigned long rate = o.rate;
    if (numbers.read("r", [&] { get_option_ulong(argc, argv, "r", &rate, rate); })) {
        const RateChoice choice = rate_of_code(rate);
        o.rate = choice.rate;
        if (!choice.notice.empty())
            cl->notices.push_back(choice.notice);
    }
    numbers.read("z", [&] { get_option_int(argc, argv, "z", &o.scale, o.scale); });
    numbers.read("u", [&] {
        o.upsample_given = get_option_int(argc, argv, "u", &o.upsample, o.upsample) == 1;
    });
    return numbers.refusal();
}

// Most render threads --threads accepts: far more than any machine needs,
// few enough that a typing slip cannot start thousands.
constexpr long MAX_THREADS = 256;

std::string read_threads(int argc, char** argv, Options* o)
{
    char* text = nullptr;
    if (!get_option_string(argc, argv, "threads", &text))
        return "";
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (*text != '\0' && *end == '\0' && errno == 0 && n >= 0 && n <= MAX_THREADS) {
        o->threads = static_cast<unsigned>(n);
        return "";
    }
    return "Error: --threads needs a whole number from 0 to " + std::to_string(MAX_THREADS) +
           ", not \"" + text + "\"\n";
}

std::string read_time_options(int argc, char** argv, Options* o)
{
    o->timeline = get_option(argc, argv, "timeline", 1, o->timeline) != 0;
    char* text = nullptr;
    if (!get_option_string(argc, argv, "gaps", &text))
        return "";
    if (std::strcmp(text, "join") == 0 || std::strcmp(text, "silence") == 0) {
        o->gaps = *text == 's' ? Gaps::SILENCE : Gaps::JOIN;
        return "";
    }
    return std::string("Error: --gaps needs join or silence, not \"") + text + "\"\n";
}

}  // namespace

CommandLine read_options(int argc, char** argv)
{
    CommandLine cl;
    // The long options of the sound come first, so that their values are
    // theirs even when they look like options (--speedup -6).
    const std::string sound = read_sound(argc, argv, &cl.options);
    cl.number_refusal = read_classic(argc, argv, &cl);
    if (sound.empty() && cl.options.upsample_given && cl.options.speedup > 0)
        cl.refusal = "Error: give -u or --speedup, not both\n";
    if (cl.refusal.empty())
        cl.refusal = sound;
    const std::string threads = read_threads(argc, argv, &cl.options);
    const std::string times = read_time_options(argc, argv, &cl.options);
    if (cl.refusal.empty())
        cl.refusal = threads.empty() ? times : threads;
    const std::string window = read_window_options(argc, argv, &cl.options);
    if (cl.refusal.empty())
        cl.refusal = window;
    cl.options.allow_rf64 = long_options_given(argc, argv);
    return cl;
}

OptionWords read_option_words(const std::string& text)
{
    std::vector<std::string> words = {"tavo2wav"};
    std::istringstream in(text);
    for (std::string w; in >> w;)
        words.push_back(w);
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());
    reset_argument_marks();
    const CommandLine cl = read_options(argc, argv.data());
    std::string unknown;
    for (int i = 1; i < argc && unknown.empty(); ++i) {
        if (is_argument_used(argc, argv.data(), i))
            continue;
        unknown = words[i].compare(0, 2, "--") == 0 && words[i].size() > 2
                      ? unknown_option_line(words[i], option_names(converter_long_options()), true)
                      : "Error: '" + words[i] + "' is not a tavo2wav option\n";
    }
    reset_argument_marks();
    OptionWords read{cl.options, cl.notices, first_refusal(cl, unknown)};
    if (read.refusal.empty())
        read.refusal = check(read.options);
    return read;
}

std::string first_refusal(const CommandLine& cl, const std::string& unknown)
{
    if (!cl.number_refusal.empty())
        return cl.number_refusal;
    return unknown.empty() ? cl.refusal : unknown;
}

std::string converter_refusal(int argc, char** argv, const CommandLine& cl)
{
    const std::vector<std::string> known = option_names(converter_long_options());
    return first_refusal(cl, unknown_long_options(argc, argv, known, true));
}

}  // namespace tavo::cli
