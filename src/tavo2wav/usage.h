// The usage text of tavo2wav.
#ifndef TAVO2WAV_USAGE_H
#define TAVO2WAV_USAGE_H

#include <string>

// The classic usage text for the program at `path` (its name after the last
// '/' or '\'), with the upsampling factor and rate in force.
std::string usage_text(const char* path, int upsample, unsigned long rate);

#endif  // TAVO2WAV_USAGE_H
