// tavo._tavo.convert: the engine's samples in memory.
#include "audio_collector.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <pybind11/numpy.h>

namespace py = pybind11;

namespace tavo_py {

namespace {

// Bytes of one sample as the engine hands it over: int16_t for s16,
// int32_t holding the sign-extended 24-bit value for s24, float for f32.
std::size_t held_bytes(tavo::SampleFormat format)
{
    return format == tavo::SampleFormat::S16 ? 2 : 4;
}

std::size_t frame_bytes(const tavo::AudioFile& f)
{
    return f.channels * held_bytes(f.format);
}

template <class T>
py::array block_array(void* data, const tavo::AudioFile& f)
{
    py::capsule owner(data, [](void* p) { std::free(p); });
    const std::size_t frames = static_cast<std::size_t>(f.frames);
    return py::array_t<T>({frames, std::size_t{f.channels}}, {f.channels * sizeof(T), sizeof(T)},
                          static_cast<T*>(data), owner);
}

}  // namespace

AudioCollector::~AudioCollector()
{
    for (File& f : files_)
        std::free(f.data);
}

bool AudioCollector::begin(const tavo::AudioFile& file, std::string& why)
{
    File f;
    f.file = file;
    const unsigned long long bytes = file.frames * frame_bytes(file);
    f.data = std::malloc(bytes > 0 ? bytes : 1);
    if (f.data == nullptr) {
        why = std::strerror(ENOMEM);
        return false;
    }
    files_.push_back(f);
    return true;
}

AudioCollector::File* AudioCollector::find(int index)
{
    for (File& f : files_)
        if (f.file.index == index)
            return &f;
    return nullptr;
}

bool AudioCollector::write(int index, const void* interleaved, std::size_t frames, std::string& why)
{
    File* f = find(index);
    if (f == nullptr || frames > f->file.frames - f->filled) {
        why = "more frames than announced";
        return false;
    }
    std::memcpy(static_cast<char*>(f->data) + f->filled * frame_bytes(f->file), interleaved,
                frames * frame_bytes(f->file));
    f->filled += frames;
    return true;
}

bool AudioCollector::end(int index, std::string& why)
{
    const File* f = find(index);
    if (f != nullptr && f->filled == f->file.frames)
        return true;
    why = "fewer frames than announced";
    return false;
}

py::list AudioCollector::to_python()
{
    py::list out;
    for (File& f : files_) {
        void* data = f.data;
        f.data = nullptr;
        py::array samples =
            f.file.format == tavo::SampleFormat::S16   ? block_array<std::int16_t>(data, f.file)
            : f.file.format == tavo::SampleFormat::S24 ? block_array<std::int32_t>(data, f.file)
                                                       : block_array<float>(data, f.file);
        out.append(py::make_tuple(f.file.name, samples, f.file.rate));
    }
    return out;
}

}  // namespace tavo_py
