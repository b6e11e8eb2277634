#include "sample_format.h"

#include <cstring>

namespace {

struct Name {
    const char* text;
    SampleFormat format;
};

const Name NAMES[] = {
    {"s16", SampleFormat::S16}, {"s24", SampleFormat::S24}, {"f32", SampleFormat::F32}};

}  // namespace

bool parse_sample_format(const char* text, SampleFormat* format)
{
    for (const Name& n : NAMES) {
        if (text != nullptr && std::strcmp(text, n.text) == 0) {
            *format = n.format;
            return true;
        }
    }
    return false;
}

unsigned sample_bytes(SampleFormat format)
{
    switch (format) {
        case SampleFormat::S24:
            return 3;
        case SampleFormat::F32:
            return 4;
        case SampleFormat::S16:
            break;
    }
    return 2;
}
