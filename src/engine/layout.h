// The output files of a conversion: how many the layout has, their names and
// which input channel feeds each of their WAV channels.
#ifndef TAVO_ENGINE_LAYOUT_H
#define TAVO_ENGINE_LAYOUT_H

#include <string>

#include <tavo/convert.h>

namespace tavo::engine {

// Where the samples of one output file come from.
struct FileLayout {
    unsigned channels;  // WAV channels: 1, 2 or 6
    int source[6];      // input channel of each WAV channel, -1 for silence
};

// Number of files the layout writes: 3, or 1 for six channels; 0 for a
// value outside Layout.
int output_files(Layout layout);

FileLayout file_layout(Layout layout, int index);

// Name of output file `index`: a letter (a, b, c in mono, d, e, f in
// stereo) and the base name without its first character, or "6ch" and the
// whole base name, then ".wav". Sets *fits to false when the name does not
// fit the tool's name buffers (255 characters for the name without ".wav",
// 259 for the path); the full name is returned all the same.
std::string output_name(Layout layout, int index, const char* base, bool* fits);

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_LAYOUT_H
