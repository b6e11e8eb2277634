// The WAV writer replaces an existing file only with a complete one: a write
// that fails (past a file-size limit of 4096 bytes, SIGXFSZ ignored) leaves
// the old file and no temporary file behind. The 24-bit and float formats get
// their headers, pad byte and size limits checked here; the bytes of the
// 16-bit files of each layout are checked end to end in cli_test.
#include "wav/wave.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tavo_writer.h"

namespace {

using tavo::S24_MAX;
using tavo::S24_MIN;
using tavo::SampleFormat;
using tavo::wav::WaveWriter;

using Dir = std::filesystem::directory_iterator;

TEST(WaveWriter, ReplacesExistingFileOnlyWhenComplete)
{
    tavo_test::TempDir dir;
    const std::string path = dir.file("x.wav");
    tavo_test::write_bytes(path, "old");
    const std::vector<int16_t> samples(100000, 7);
    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    const struct rlimit limit = {4096, old_limit.rlim_max};
    const sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const int result = put_wav_data_mono16(samples.data(), samples.size(), 8000, path.c_str());
    const int error = errno;
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(tavo_test::read_bytes(path), "old");
    EXPECT_EQ(std::distance(Dir(dir.path()), Dir()), 1);
    EXPECT_EQ(put_wav_data_mono16(samples.data(), 1, 8000, path.c_str()), 1);
    EXPECT_EQ(tavo_test::read_bytes(path).size(), 46u);
}

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
    const std::string path = dir.file("x.wav");
    WaveWriter w;
    const std::size_t frames = p.samples.size() / p.channels;
    ASSERT_TRUE(w.open(path.c_str(), p.channels, frames, 44100, p.format));
    ASSERT_TRUE(w.write(p.samples.data(), frames));
    ASSERT_TRUE(w.commit());
    EXPECT_EQ(tavo_test::read_bytes(path), p.expected);
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
    [](const testing::TestParamInfo<Layout>& i) { return std::string(i.param.name); });

TEST(WaveWriter, WritesSamplesOfItsOwnFormat)
{
    tavo_test::TempDir dir;
    const std::string s24 = dir.file("a.wav"), f32 = dir.file("b.wav");
    const int32_t deep[] = {S24_MAX, S24_MIN, -1};
    const float wide[] = {2.5f, -0.25f};
    WaveWriter a, b;
    ASSERT_TRUE(a.open(s24.c_str(), 3, 1, 8000, SampleFormat::S24));
    ASSERT_TRUE(a.write(deep, 1));
    ASSERT_TRUE(a.commit());
    EXPECT_EQ(tavo_test::read_bytes(s24).substr(44),
              le(0x7FFFFF, 3) + le(0x800000, 3) + le(0xFFFFFF, 3) + '\0');
    ASSERT_TRUE(b.open(f32.c_str(), 1, 2, 8000, SampleFormat::F32));
    ASSERT_TRUE(b.write(wide, 2));
    ASSERT_TRUE(b.commit());
    EXPECT_EQ(tavo_test::read_bytes(f32).substr(58), float_bytes(2.5f) + float_bytes(-0.25f));
}

struct Mismatch {
    const char* name;
    SampleFormat format;
    int type;  // 0: int32_t samples, 1: float samples
};

class WaveMismatch : public testing::TestWithParam<Mismatch> {};

TEST_P(WaveMismatch, RefusesSamplesOfAnotherFormat)
{
    tavo_test::TempDir dir;
    const std::string path = dir.file("x.wav");
    WaveWriter w;
    ASSERT_TRUE(w.open(path.c_str(), 1, 1, 8000, GetParam().format));
    const int32_t i = 0;
    const float f = 0;
    errno = 0;
    EXPECT_FALSE(GetParam().type == 0 ? w.write(&i, 1) : w.write(&f, 1));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(std::distance(Dir(dir.path()), Dir()), 0);
}

INSTANTIATE_TEST_SUITE_P(Mismatches, WaveMismatch,
                         testing::Values(Mismatch{"Int32ToS16", SampleFormat::S16, 0},
                                         Mismatch{"Int32ToF32", SampleFormat::F32, 0},
                                         Mismatch{"FloatToS16", SampleFormat::S16, 1},
                                         Mismatch{"FloatToS24", SampleFormat::S24, 1}),
                         [](const testing::TestParamInfo<Mismatch>& i) {
                             return std::string(i.param.name);
                         });

// The largest frame count whose RIFF sizes fit 32 bits, and one more.
struct Limit {
    const char* name;
    SampleFormat format;
    unsigned channels;
    unsigned long largest;
};

class WaveLimit : public testing::TestWithParam<Limit> {};

TEST_P(WaveLimit, RefusesDataBeyondFourGigabytes)
{
    const Limit& p = GetParam();
    tavo_test::TempDir dir;
    const std::string path = dir.file("x.wav");
    {
        WaveWriter fits;
        EXPECT_TRUE(fits.open(path.c_str(), p.channels, p.largest, 8000, p.format));
    }
    WaveWriter beyond;
    errno = 0;
    EXPECT_FALSE(beyond.open(path.c_str(), p.channels, p.largest + 1, 8000, p.format));
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(std::distance(Dir(dir.path()), Dir()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, WaveLimit,
    testing::Values(Limit{"S16Mono", SampleFormat::S16, 1, (4294967295ul - 36) / 2},
                    // 1431655753 frames would fill the room exactly, but
                    // with an odd byte count and no room for the pad byte.
                    Limit{"S24MonoNeedsRoomForPad", SampleFormat::S24, 1, 1431655752ul},
                    Limit{"S24SixChannels", SampleFormat::S24, 6, (4294967295ul - 36) / 18},
                    Limit{"F32Stereo", SampleFormat::F32, 2, (4294967295ul - 50) / 8}),
    [](const testing::TestParamInfo<Limit>& i) { return std::string(i.param.name); });

}  // namespace
