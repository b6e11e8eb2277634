// What both programs do with their command line before their own options:
// the help and version requests and the boundary where
// a fatal error of either library ends the process.
#ifndef TAVO_CLI_CLI_H
#define TAVO_CLI_CLI_H

#include <string>
#include <vector>

#include <kemra/libkemra.h>
#include <zeltra/zeltra.h>

#include "cli/versions.h"

namespace tavo::cli {

/// Asks for -help, -h and -? in this order (each query marks what it
/// finds); true when one of them was given or there is no argument at all.
inline bool wants_help(int argc, char** argv)
{
    int help = get_option(argc, argv, "help", 1, 0);
    help = get_option(argc, argv, "h", help + 1, help);
    help = get_option(argc, argv, "?", help + 1, help);
    return help != 0 || argc == 1;
}

/// Answers -version with the version lines on standard output; true when it
/// was asked.
inline bool answered_version(int argc, char** argv, const char* program, const char* version)
{
    if (!get_option(argc, argv, "version", 1, 0))
        return false;
    print_versions(program, version);
    return true;
}

/// Runs the body of main and returns its status.  A fatal error of either
/// library that reaches this point is reported and ends the process with
/// its status, as the libraries' own exits always did.
template <class Body>
int run_guarded(Body body)
{
    try {
        return body();
    } catch (const Kemra::Error& e) {
        Kemra::report_and_exit(e);
    } catch (const Zeltra::Error& e) {
        Zeltra::report_and_exit(e);
    }
}

}  // namespace tavo::cli

#endif
