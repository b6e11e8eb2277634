// Identification strings of the library; the converter's usage text prints
// Version, Copyright and Bugs.
#include <kemra/libkemra.h>

extern "C" {

const char* shortVersion = "libkemra Ver: 0.52";
const char* Version =
    "libkemra Version 0.52 " __DATE__ " " __TIME__ " Build: 0, written by the tavo2wav developers";
const char* Copyright =
    "Copyright (C) the tavo2wav developers.\n"
    "This library may be copied and used together with tavo2wav.";
const char* Bugs = "Send bug reports and comments to the tavo2wav maintainers.";
}
