// The tests' one WAV reader: the chunks of a RIFF/WAVE file, its format and
// its samples, read from the bytes alone (nothing of src/wav).
#ifndef TAVO_TESTS_SUPPORT_WAV_FILE_H
#define TAVO_TESTS_SUPPORT_WAV_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace tavo_test {

// One chunk: its four-character code, where its body starts and its size
// (without the pad byte that follows an odd size).
struct WavChunk {
    std::string id;
    std::size_t body = 0;
    std::uint64_t size = 0;
};

struct WavFile {
    std::string bytes;             // the whole file
    std::string error;             // why the bytes are no WAV file, "" when they are
    std::vector<WavChunk> chunks;  // in file order, "data" included
    unsigned format = 0;           // 1 PCM, 3 IEEE float
    unsigned channels = 0, bits = 0, block_align = 0;
    std::uint32_t rate = 0;
    std::uint64_t frames = 0;  // the data chunk's size over block_align
    std::size_t data = 0;      // offset of the first sample byte

    // The chunk of that code, or nullptr.
    const WavChunk* chunk(const std::string& id) const;
    // Sample `channel` of `frame` in counts of the 16-bit scale (a float
    // sample times 32768, a 24-bit one over 256).
    double sample(std::uint64_t frame, unsigned channel) const;
    // Every sample of one channel, in counts.
    std::vector<double> channel(unsigned c) const;
};

// The file at `path` (an empty WavFile with `error` set when it cannot be read).
WavFile read_wav(const std::string& path);
WavFile parse_wav(std::string bytes);

// The little-endian unsigned number of `size` bytes at `at`.
std::uint64_t little_endian(const std::string& bytes, std::size_t at, int size);

}  // namespace tavo_test

#endif
