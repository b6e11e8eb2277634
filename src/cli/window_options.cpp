#include "cli/window_options.h"

#include <optional>

#include <kemra/libkemra.h>

#include "archive/archive.h"
#include "cli/long_options.h"

namespace tavo::cli {

namespace {

const char* const WINDOW_OPTIONS[] = {"archive", "station", "from", "to", "duration"};

// The arguments no query took that are not options: the files named.
bool names_files(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (!is_argument_used(argc, argv, i) && argv[i][0] != '-')
            return true;
    return false;
}

// Whether `name` is one of tavo2wav's long options of a conversion or of a
// window.
bool is_long_option(const std::string& name)
{
    for (const LongOption& o : converter_long_options())
        if (name == o.name)
            return true;
    for (const char* o : WINDOW_OPTIONS)
        if (name == o)
            return true;
    return false;
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
        if (is_long_option(long_option_name(argv[i])))
            return true;
    }
    return false;
}

}  // namespace tavo::cli
