#include "cli/window_options.h"

#include <cstring>
#include <optional>

#include <kemra/libkemra.h>

#include "archive/archive.h"

namespace tavo::cli {

namespace {

const char* const WINDOW_OPTIONS[] = {"archive", "station", "from", "to", "duration"};

const char* const LONG_OPTIONS[] = {"resampler", "speedup", "format", "threads", "timeline", "gaps",
                                    "archive",   "station", "from",   "to",      "duration"};

// The arguments no query took that are not options: the files named.
bool names_files(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (!is_argument_used(argc, argv, i) && argv[i][0] != '-')
            return true;
    return false;
}

// The option name of an argument: without its dashes and any "=VALUE".
std::string option_name(const char* argument)
{
    while (*argument == '-')
        ++argument;
    const char* equals = std::strchr(argument, '=');
    return equals ? std::string(argument, equals) : std::string(argument);
}

}  // namespace

std::string read_window_options(int argc, char** argv, Options* o)
{
    archive::WindowRequest request;
    std::optional<std::string>* fields[] = {&request.archive, &request.station, &request.from,
                                            &request.to, &request.duration};
    std::string refusal;
    for (int i = 0; i < 5; ++i) {
        char* value = nullptr;
        if (get_option_string(argc, argv, WINDOW_OPTIONS[i], &value))
            *fields[i] = value;
        if (get_option(argc, argv, WINDOW_OPTIONS[i], 1, 0) != 0 && refusal.empty())
            refusal = std::string("Error: --") + WINDOW_OPTIONS[i] + " needs a value\n";
    }
    if (!refusal.empty() || !request.any())
        return refusal;
    request.files_named = names_files(argc, argv);
    archive::Window window;
    refusal = archive::read_window(request, window);
    if (!refusal.empty())
        return refusal;
    o->window.given = true;
    o->window.archive = window.root;
    o->window.station = window.station;
    o->window.from = window.from;
    o->window.to = window.to;
    return "";
}

bool long_options_given(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-' || !is_argument_used(argc, argv, i))
            continue;
        const std::string name = option_name(argv[i]);
        for (const char* option : LONG_OPTIONS)
            if (name == option)
                return true;
    }
    return false;
}

}  // namespace tavo::cli
