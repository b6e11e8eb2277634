// tavo2wav: converts TAVO data files of a measuring station into WAV files.
// The program reads its command line into the engine's options, converts
// through the engine with a sink that prints to the standard streams, and
// ends with the engine's status.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include <kemra/libkemra.h>
#include <tavo/convert.h>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "cli/long_options.h"
#include "cli/options.h"
#include "cli/standard_streams.h"
#include "usage.h"

namespace {

// Prints the absolute path of the running executable.
int print_where()
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n < 0) {
        std::perror("tavo2wav: can't find the executable");
        return 1;
    }
    self[n] = '\0';
    std::printf("%s\n", self);
    return 0;
}

// The classic usage text, then the long options.
void print_usage(const char* path, const tavo::Options& o)
{
    std::fputs(usage_text(path, o.upsample, o.rate).c_str(), stdout);
    const auto& long_options = tavo::cli::converter_long_options();
    std::fputs(tavo::cli::long_options_help(long_options, "tavo2wav").c_str(), stdout);
}

// A line on standard error, standard output flushed first.
void say_error(const std::string& text)
{
    std::fflush(stdout);
    std::fputs(text.c_str(), stderr);
}

// The mode and rate lines that open every conversion.
void print_mode(const tavo::Options& o)
{
    std::printf("mode:%s\n", o.layout != tavo::Layout::MONO ? "stereo" : "mono");
    if (o.combine)
        std::printf("Combining\n");
    std::printf("Rate: %lu\n", o.rate);
}

int run(int argc, char** argv)
{
    if (tavo::cli::wants_help(argc, argv)) {
        print_usage(argv[0], tavo::Options());
        return 0;
    }
    if (tavo::cli::answered_version(argc, argv, "tavo2wav", tavo::version()))
        return 0;
    if (get_option(argc, argv, "where", 1, 0))
        return print_where();

    const tavo::cli::CommandLine cl = tavo::cli::read_options(argc, argv);
    for (const std::string& notice : cl.notices)
        say_error(notice);
    const std::string refused = tavo::cli::converter_refusal(argc, argv, cl);
    if (!refused.empty()) {
        say_error(refused);
        return 1;
    }
    logfile(argc, argv);
    print_mode(cl.options);

    const tavo::cli::FileArguments args = tavo::cli::file_arguments(argc, argv);
    // A window of an archive finds its files itself.
    if (args.files.empty() && cl.options.window.archive.empty()) {
        say_error("Error: No files given\n\n");
        print_usage(argv[0], cl.options);
        return 1;
    }
    tavo::cli::Interrupts interrupts;
    tavo::cli::StandardStreams streams(&interrupts);
    const tavo::Result r = tavo::convert(args.files, cl.options, streams);
    std::fflush(stdout);
    return r.status;
}

}  // namespace

int main(int argc, char** argv)
{
    return tavo::cli::run_guarded([&] { return run(argc, argv); });
}
