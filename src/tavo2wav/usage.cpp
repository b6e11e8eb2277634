#include "usage.h"

#include <cstring>

#include <kemra/libkemra.h>

namespace {

const char* program_name(const char* path)
{
    const char* cut = std::strrchr(path, '\\');
    if (!cut)
        cut = std::strrchr(path, '/');
    return cut ? cut + 1 : path;
}

}  // namespace

std::string usage_text(const char* path, int upsample, unsigned long rate)
{
    return std::string(Version) + "\n\nUsage:" + program_name(path) +
           " <file.ext> [-c][-s][-r#]\n"
           "\t-c         Combine files to one wav-file.\n"
           "\t-m         Mono\n"
           "\t-s         Stereo\n"
           "\t-6         6 channel wav\n"
           "\t-f         Filter off.\n"
           "\t-o         No offsetreduction.\n"
           "\t-u #       Upsampling, default=" +
           std::to_string(upsample) + ".\n\t-r #       Sample rate (" + std::to_string(rate) +
           " Hz).\n"
           "\t           0 = 48000 Hz\n"
           "\t           1 = 44100 Hz\n"
           "\t           2 = 22050 Hz\n"
           "\t           3 = 11025 Hz\n"
           "\t           4 =  8000 Hz\n"
           "\t           5 =  7333 Hz\n"
           "\t           6 =  6000 Hz\n"
           "\t           7 =  5500 Hz\n"
           "\t           8 =  4000 Hz\n"
           "\t-z #       Scale amplitude (default: automatic scaling).\n"
           "\t-where     show where the program is.\n"
           "\n"
           "\tGood defaults for -u & -r are '-u 50' & '-r 1' which will resample\n"
           "\tand produce a WAV-file which will play at 49 times the original.\n"
           "\n" +
           Copyright + "\n" + Bugs + "\n";
}
