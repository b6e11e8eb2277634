// The WAV writer: headers, pad byte, size limits and extra chunks of the 24-bit
// and float formats, and RF64 past the RIFF sizes, read back by python-soundfile.
// The 16-bit files of each layout: tests/cases; a failed write: reliability_test.
#include "wav/wave.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "process.h"
#include "rows.h"
#include "tavo_writer.h"

namespace {

using tavo::S24_MAX;
using tavo::S24_MIN;
using tavo::SampleFormat;
using tavo::wav::WaveWriter;

using Dir = std::filesystem::directory_iterator;

// The little-endian bytes of v, `size` of them.
std::string le(uint64_t v, int size)
{
    std::string out;
    for (int i = 0; i < size; i++)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
    return out;
}

std::string float_bytes(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return le(bits, 4);
}

// Writes the interleaved samples to `path` as a file of `channels`; returns its bytes.
template <typename T>
std::string written(const std::string& path, const std::vector<T>& samples, unsigned channels,
                    SampleFormat format, unsigned long rate = 44100,
                    const std::vector<unsigned char>* chunks = nullptr, bool rf64 = false)
{
    const std::size_t frames = samples.size() / channels;
    WaveWriter w;
    EXPECT_TRUE(w.open(path.c_str(), channels, frames, rate, format, chunks, rf64));
    EXPECT_TRUE(w.write(samples.data(), frames));
    EXPECT_TRUE(w.commit());
    return tavo_test::read_bytes(path);
}

const std::string INFO = "LIST" + le(4, 4) + "INFO";  // an empty LIST chunk
const std::vector<unsigned char> INFO_CHUNK(INFO.begin(), INFO.end());

struct Layout {
    const char* name;
    SampleFormat format;
    unsigned channels;
    std::vector<int16_t> samples;  // interleaved, written as 16-bit samples
    std::string expected;          // the whole file
};

class WaveFormats : public testing::TestWithParam<Layout> {};

TEST_P(WaveFormats, WritesHeaderAndSamples)
{
    const Layout& p = GetParam();
    tavo_test::TempDir dir;
    EXPECT_EQ(written(dir.file("x.wav"), p.samples, p.channels, p.format), p.expected);
}

// 24-bit mono, three frames: 9 data bytes and a pad byte.
const std::string S24_MONO = "RIFF" + le(36 + 9 + 1, 4) + "WAVE" + "fmt " + le(16, 4) + le(1, 2) +
                             le(1, 2) +  // PCM, 1 channel
                             le(44100, 4) + le(3 * 44100, 4) + le(3, 2) + le(24, 2) + "data" +
                             le(9, 4) + le(0x000100, 3) + le(0xFFFF00, 3) + le(0x800000, 3) +
                             std::string(1, '\0');
// 24-bit stereo, one frame: 6 data bytes, no pad.
const std::string S24_STEREO = "RIFF" + le(36 + 6, 4) + "WAVE" + "fmt " + le(16, 4) + le(1, 2) +
                               le(2, 2) + le(44100, 4) + le(6 * 44100, 4) + le(6, 2) + le(24, 2) +
                               "data" + le(6, 4) + le(0x7FFF00, 3) + le(0, 3);
// Float stereo, two frames: an 18-byte "fmt " chunk and a "fact" chunk.
const std::string F32_STEREO =
    "RIFF" + le(50 + 16, 4) + "WAVE" + "fmt " + le(18, 4) + le(3, 2) + le(2, 2) +  // IEEE float
    le(44100, 4) + le(8 * 44100, 4) + le(8, 2) + le(32, 2) + le(0, 2) +            // no extension
    "fact" + le(4, 4) + le(2, 4) +                                                 // 2 frames
    "data" + le(16, 4) + float_bytes(1.0f / 32768) + float_bytes(-1.0f) +
    float_bytes(32767.0f / 32768) + float_bytes(0);

INSTANTIATE_TEST_SUITE_P(
    Formats, WaveFormats,
    testing::Values(Layout{"S24MonoOddIsPadded", SampleFormat::S24, 1, {1, -1, -32768}, S24_MONO},
                    Layout{"S24Stereo", SampleFormat::S24, 2, {32767, 0}, S24_STEREO},
                    Layout{"F32Stereo", SampleFormat::F32, 2, {1, -32768, 32767, 0}, F32_STEREO}),
    tavo_test::RowName());

TEST(WaveWriter, WritesSamplesOfItsOwnFormat)
{
    tavo_test::TempDir dir;
    const std::vector<int32_t> deep = {S24_MAX, S24_MIN, -1};
    EXPECT_EQ(written(dir.file("a.wav"), deep, 3, SampleFormat::S24).substr(44),
              le(0x7FFFFF, 3) + le(0x800000, 3) + le(0xFFFFFF, 3) + '\0');
    const std::vector<float> wide = {2.5f, -0.25f};
    EXPECT_EQ(written(dir.file("b.wav"), wide, 1, SampleFormat::F32).substr(58),
              float_bytes(2.5f) + float_bytes(-0.25f));
}

// Samples of another type than the file's format are refused, and no file is left.
TEST(WaveWriter, RefusesSamplesOfAnotherFormat)
{
    const int32_t i = 0;
    const float f = 0;
    for (const auto& [format, as_float] : {std::pair{SampleFormat::S16, false},
                                           {SampleFormat::F32, false},
                                           {SampleFormat::S16, true},
                                           {SampleFormat::S24, true}}) {
        tavo_test::TempDir dir;
        WaveWriter w;
        ASSERT_TRUE(w.open(dir.file("x.wav").c_str(), 1, 1, 8000, format));
        errno = 0;
        EXPECT_FALSE(as_float ? w.write(&f, 1) : w.write(&i, 1));
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(std::distance(Dir(dir.path()), Dir()), 0);
    }
}

// The largest frame count whose RIFF sizes fit 32 bits with `extra` bytes of chunks before
// "data", and one more.
struct Limit {
    const char* name;
    SampleFormat format;
    unsigned channels;
    unsigned long largest;
    std::size_t extra = 0;
};

class WaveLimit : public testing::TestWithParam<Limit> {};

// Chunks of an odd size are refused.
TEST(WaveLimit, RefusesOddChunkBytes)
{
    tavo_test::TempDir dir;
    const std::vector<unsigned char> extra(3, 0);
    WaveWriter w;
    errno = 0;
    EXPECT_FALSE(w.open(dir.file("x.wav").c_str(), 1, 10, 4000, SampleFormat::S16, &extra));
    EXPECT_EQ(errno, EINVAL);
}

TEST_P(WaveLimit, RefusesDataBeyondFourGigabytes)
{
    const Limit& p = GetParam();
    tavo_test::TempDir dir;
    const std::string path = dir.file("x.wav");
    const std::vector<unsigned char> extra(p.extra, 0);
    {
        WaveWriter fits;
        EXPECT_TRUE(fits.open(path.c_str(), p.channels, p.largest, 8000, p.format, &extra));
    }
    WaveWriter beyond;
    errno = 0;
    EXPECT_FALSE(beyond.open(path.c_str(), p.channels, p.largest + 1, 8000, p.format, &extra));
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(std::distance(Dir(dir.path()), Dir()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, WaveLimit,
    testing::Values(Limit{"S16Mono", SampleFormat::S16, 1, (4294967295ul - 36) / 2},
                    // 1431655753 frames fill the room exactly: no room for the pad byte.
                    Limit{"S24MonoNeedsRoomForPad", SampleFormat::S24, 1, 1431655752ul},
                    Limit{"S24SixChannels", SampleFormat::S24, 6, (4294967295ul - 36) / 18},
                    Limit{"F32Stereo", SampleFormat::F32, 2, (4294967295ul - 50) / 8},
                    // 357913938 frames leave 3 bytes: two bytes of chunks fit, four do not.
                    Limit{"S16SixChannelsTwoChunkBytes", SampleFormat::S16, 6, 357913938, 2},
                    Limit{"S16SixChannelsFourChunkBytes", SampleFormat::S16, 6, 357913937, 4}),
    tavo_test::RowName());

// The RIFF length limit lowered for one test, restored on the way out.
class LowLimit {
public:
    explicit LowLimit(uint64_t limit) { tavo::wav::set_riff_limit_for_tests(limit); }
    ~LowLimit() { tavo::wav::set_riff_limit_for_tests(0); }
};

// Past the (lowered) limit, where allowed: "RF64", ds64 with the 64-bit sizes, then the WAV
// chunks with the 32-bit sizes at 0xFFFFFFFF; a file that fits stays a plain WAV file.
struct Rf64 {
    const char* name;
    SampleFormat format;
    unsigned channels;
    std::vector<int16_t> samples;  // interleaved
    std::string expected_head;     // everything before the samples
    std::size_t tail;              // bytes after the samples: the pad byte
};

class WaveRf64 : public testing::TestWithParam<Rf64> {};

TEST_P(WaveRf64, HoldsItsSizesInDs64)
{
    const Rf64& p = GetParam();
    const LowLimit limit(60);
    tavo_test::TempDir dir;
    const std::string bytes =
        written(dir.file("x.wav"), p.samples, p.channels, p.format, 8000, &INFO_CHUNK, true);
    EXPECT_EQ(bytes.substr(0, p.expected_head.size()), p.expected_head);
    const std::size_t data = p.samples.size() * (p.format == SampleFormat::S16 ? 2 : 3);
    EXPECT_EQ(bytes.size(), p.expected_head.size() + data + p.tail);
}

const std::string FMT_S16_STEREO =
    "fmt " + le(16, 4) + le(1, 2) + le(2, 2) + le(8000, 4) + le(32000, 4) + le(4, 2) + le(16, 2);

INSTANTIATE_TEST_SUITE_P(
    Sizes, WaveRf64,
    testing::Values(
        Rf64{"S16Stereo", SampleFormat::S16, 2, std::vector<int16_t>(20, 5),
             "RF64" + le(0xFFFFFFFF, 4) + "WAVE" + "ds64" + le(28, 4) + le(36 + 36 + 12 + 40, 8) +
                 le(40, 8) + le(10, 8) + le(0, 4) + FMT_S16_STEREO + INFO + "data" +
                 le(0xFFFFFFFF, 4),
             0},
        Rf64{"S24MonoOddIsPadded", SampleFormat::S24, 1, std::vector<int16_t>(17, -3),
             "RF64" + le(0xFFFFFFFF, 4) + "WAVE" + "ds64" + le(28, 4) +
                 le(36 + 36 + 12 + 51 + 1, 8) + le(51, 8) + le(17, 8) + le(0, 4) + "fmt " +
                 le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) + le(24000, 4) + le(3, 2) +
                 le(24, 2) + INFO + "data" + le(0xFFFFFFFF, 4),
             1},
        Rf64{"FitsStaysWav", SampleFormat::S16, 2, std::vector<int16_t>(2, 5),
             "RIFF" + le(36 + 12 + 4, 4) + "WAVE" + FMT_S16_STEREO + INFO + "data" + le(4, 4), 0}),
    tavo_test::RowName());

// An RF64 file (f32 stereo, a chunk before "data") as libsndfile reads it.
TEST(Rf64Clients, ReadTheFramesAndTheSamples)
{
    tavo_test::TempDir dir;
    const std::string path = dir.file("x.wav");
    std::vector<int16_t> samples;
    for (int i = 0; i < 2 * 1001; i++)
        samples.push_back(static_cast<int16_t>(i % 2 ? -i : i));
    {
        const LowLimit limit(1000);
        written(path, samples, 2, SampleFormat::F32, 8000, &INFO_CHUNK, true);
    }
    EXPECT_EQ(run_process({"/usr/bin/python3", "-c",
                           "import soundfile as sf, sys; i = sf.info(sys.argv[1]); x = "
                           "sf.read(sys.argv[1], dtype='float32')[0]; print(i.format, i.subtype, "
                           "i.channels, i.frames, round(float(x[1000][0]) * 32768), "
                           "round(float(x[1000][1]) * 32768))",
                           path},
                          dir.path())
                  .out,
              "RF64 FLOAT 2 1001 2000 -2001\n");
}

}  // namespace
