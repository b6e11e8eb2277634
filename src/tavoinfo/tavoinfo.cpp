// tavoinfo: reports what TAVO data files hold: kind, header fields, record
// count, first and last record times, duration and time gaps.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <iostream>
#include <vector>

#include <kemra/libkemra.h>

#include "cli.h"
#include "command_line.h"
#include "report.h"
#include "survey.h"

namespace {

void usage()
{
    std::printf("Usage: tavoinfo [--json] <file>...\n"
                "Reports what each TAVO data file holds: kind, header line, station,\n"
                "sampling frequency, gain, record length, time words, records, samples,\n"
                "first and last record times, nominal duration and time gaps.\n"
                "\t--json      one JSON document for all files\n"
                "\t--version   program and library versions\n"
                "\t--help      this text\n"
                "Exit status: 0 when every file was read to its end, 1 otherwise.\n");
}

int run(int argc, char** argv)
{
    // Every time is shown in UTC; setting it here keeps the reader library
    // from switching (and announcing the switch) itself.
    setenv("TZ", "UTC", 1);
    tzset();
    if (tavo_cli::wants_help(argc, argv)) {
        usage();
        return 0;
    }
    if (tavo_cli::answered_version(argc, argv, "tavoinfo", TAVO2WAV_VERSION))
        return 0;
    const bool json = get_option(argc, argv, "json", 1, 0) != 0;
    const std::vector<std::string> files = tavo_cli::file_arguments(argc, argv);
    if (files.empty()) {
        std::fprintf(stderr, "Error: No files given\n\n");
        usage();
        return 1;
    }

    std::vector<tavoinfo::FileReport> reports;
    int status = 0;
    for (const std::string& file : files) {
        reports.push_back(tavoinfo::survey_file(file));
        if (!reports.back().error.empty())
            status = 1;
        if (!json) {
            if (reports.size() > 1)
                std::cout << "\n";
            tavoinfo::print_text(std::cout, reports.back());
            std::cout.flush();
        }
    }
    if (json)
        tavoinfo::print_json(std::cout, reports);
    std::cout.flush();
    return std::cout.good() ? status : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    return tavo_cli::run_guarded([&] { return run(argc, argv); });
}
