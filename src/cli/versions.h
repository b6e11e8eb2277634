// The --version text of the programs: the program's own name and version,
// then the versions of the reader and utility libraries, one per line.
#ifndef TAVO_CLI_VERSIONS_H
#define TAVO_CLI_VERSIONS_H

#include <cstdio>
#include <cstring>

#include <kemra/libkemra.h>
#include <zeltra/zeltra.h>

// The number in a "<name> Ver: <number>" string: the text after its last blank.
inline const char* version_number(const char* s)
{
    const char* blank = std::strrchr(s, ' ');
    return blank ? blank + 1 : s;
}

inline void print_versions(const char* program, const char* version)
{
    std::printf("%s %s\n", program, version);
    std::printf("libzeltra %s\n", version_number(Zeltra::shortVersion));
    std::printf("libkemra %s\n", version_number(::shortVersion));
}

#endif
