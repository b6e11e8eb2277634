#include "wav_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace tavo_test {

std::uint64_t little_endian(const std::string& bytes, std::size_t at, int size)
{
    std::uint64_t v = 0;
    for (int i = size - 1; i >= 0; i--)
        v = v << 8 | static_cast<std::uint8_t>(at + i < bytes.size() ? bytes[at + i] : 0);
    return v;
}

namespace {

// The chunks after "WAVE", each followed by its pad byte when odd.
bool read_chunks(WavFile& w)
{
    for (std::size_t at = 12; at + 8 <= w.bytes.size();) {
        const std::uint64_t size = little_endian(w.bytes, at + 4, 4);
        w.chunks.push_back({w.bytes.substr(at, 4), at + 8, size});
        at += 8 + size + size % 2;
    }
    return w.chunk("fmt ") != nullptr && w.chunk("data") != nullptr;
}

void read_format(WavFile& w)
{
    const WavChunk& fmt = *w.chunk("fmt ");
    const auto field = [&](std::size_t at, int size) {
        return little_endian(w.bytes, fmt.body + at, size);
    };
    w.format = static_cast<unsigned>(field(0, 2));
    w.channels = static_cast<unsigned>(field(2, 2));
    w.rate = static_cast<std::uint32_t>(field(4, 4));
    w.block_align = static_cast<unsigned>(field(12, 2));
    w.bits = static_cast<unsigned>(field(14, 2));
    const WavChunk& data = *w.chunk("data");
    w.data = data.body;
    w.frames = w.block_align == 0 ? 0 : data.size / w.block_align;
}

}  // namespace

const WavChunk* WavFile::chunk(const std::string& id) const
{
    for (const WavChunk& c : chunks)
        if (c.id == id)
            return &c;
    return nullptr;
}

double WavFile::sample(std::uint64_t frame, unsigned channel) const
{
    const unsigned size = bits / 8;
    const std::size_t at = data + frame * block_align + channel * size;
    const std::uint64_t raw = little_endian(bytes, at, static_cast<int>(size));
    if (format == 3) {
        float f;
        const auto word = static_cast<std::uint32_t>(raw);
        std::memcpy(&f, &word, 4);
        return f * 32768.0;
    }
    const int shift = 64 - static_cast<int>(bits);  // sign-extends the top bit
    const auto value = static_cast<std::int64_t>(raw << shift) >> shift;
    return static_cast<double>(value) / (bits == 24 ? 256.0 : 1.0);
}

std::vector<double> WavFile::channel(unsigned c) const
{
    std::vector<double> v;
    for (std::uint64_t f = 0; f < frames; f++)
        v.push_back(sample(f, c));
    return v;
}

WavFile parse_wav(std::string bytes)
{
    WavFile w;
    w.bytes = std::move(bytes);
    if (w.bytes.size() < 12 || w.bytes.compare(0, 4, "RIFF") != 0 ||
        w.bytes.compare(8, 4, "WAVE") != 0)
        w.error = "no RIFF/WAVE header";
    else if (!read_chunks(w))
        w.error = "no fmt or data chunk";
    else
        read_format(w);
    return w;
}

WavFile read_wav(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    WavFile w = parse_wav(std::string(std::istreambuf_iterator<char>(f), {}));
    if (!f.is_open())
        w.error = "cannot read " + path;
    return w;
}

}  // namespace tavo_test
