#include "engine/layout.h"

#include <kemra/libkemra.h>

namespace tavo::engine {

int output_files(Layout layout)
{
    switch (layout) {
        case Layout::MONO:
        case Layout::STEREO:
            return 3;
        case Layout::SIX:
            return 1;
    }
    return 0;
}

FileLayout file_layout(Layout layout, int index)
{
    switch (layout) {
        case Layout::MONO:
            return {1, {index, -1, -1, -1, -1, -1}};
        case Layout::STEREO:
            return {2, {index, (index + 1) % 3, -1, -1, -1, -1}};
        default:
            // WAV channels 1, 3 and 5 carry the second, first and third input.
            return {6, {1, -1, 0, -1, 2, -1}};
    }
}

std::string output_name(Layout layout, int index, const char* base, bool* fits)
{
    std::string name;
    if (layout == Layout::SIX)
        name = std::string("6ch") + base;
    else
        name = std::string(1, "abcdef"[3 * (layout == Layout::STEREO) + index]) +
               (*base ? base + 1 : "");
    // The name is formed in a buffer of 256 bytes and joined with its
    // extension into one of 260.
    char path[260];
    *fits = name.size() < 256 && combine_path(path, nullptr, nullptr, name.c_str(), "wav") == 0;
    return name + ".wav";
}

}  // namespace tavo::engine
