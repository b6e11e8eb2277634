// The WAV writer: every byte of a file of each layout, and what a failed
// write leaves behind.
#include "wave.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "tavo_writer.h"

namespace {

using Samples = std::vector<int16_t>;

std::string le(unsigned long v, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; i++)
        s += static_cast<char>(v >> 8 * i & 0xFF);
    return s;
}

unsigned long files_in(const std::string &dir)
{
    using std::filesystem::directory_iterator;
    return static_cast<unsigned long>(std::distance(directory_iterator(dir), directory_iterator()));
}

// Buffers a, b and c written as one file of `channels` channels at `rate`.
struct Layout {
    const char *label;
    unsigned channels;
    unsigned long rate;
    Samples a, b, c;
    std::vector<int> frames;  // the bytes expected after the header
};

int write(const Layout &l, const char *path)
{
    const unsigned long n = l.a.size();
    if (l.channels == 1)
        return put_wav_data_mono16(l.a.data(), n, l.rate, path);
    if (l.channels == 2)
        return put_wav_data_stereo16(l.a.data(), l.b.data(), n, l.rate, path);
    return put_wav_data_6ch(l.a.data(), l.b.data(), l.c.data(), n, l.rate, path);
}

class WaveFile : public testing::TestWithParam<Layout> {};

// Each file replaces an older one of the same name.
TEST_P(WaveFile, HasCanonicalHeaderThenFrames)
{
    const Layout &l = GetParam();
    tavo_test::TempDir dir;
    tavo_test::write_bytes(dir.file("x.wav"), std::string(1000, 'x'));
    ASSERT_EQ(write(l, dir.file("x.wav").c_str()), 1);
    const unsigned long frame = 2 * l.channels, data = l.frames.size();
    EXPECT_EQ(tavo_test::read_bytes(dir.file("x.wav")),
              "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(l.channels, 2) +
                  le(l.rate, 4) + le(l.rate * frame, 4) + le(frame, 2) + le(16, 2) + "data" +
                  le(data, 4) + std::string(l.frames.begin(), l.frames.end()));
    EXPECT_EQ(files_in(dir.path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WaveFile,
    testing::Values(Layout{"MonoEmpty", 1, 4000, {}, {}, {}, {}},
                    Layout{"MonoLittleEndian", 1, 4000, {-1, 256, -32768, 32767}, {}, {},
                           {0xFF, 0xFF, 0, 1, 0, 0x80, 0xFF, 0x7F}},
                    Layout{"StereoLeftRight", 2, 44100, {1, 2}, {3, 4}, {}, {1, 0, 3, 0, 2, 0, 4, 0}},
                    // The second, first and third buffer in WAV channels 1, 3 and 5.
                    Layout{"SixChannels", 6, 4000, {1, -1}, {2, 0x102}, {3, -2},
                           {2, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 2, 1, 0, 0, 0xFF, 0xFF, 0, 0, 0xFE, 0xFF, 0, 0}}),
    [](const testing::TestParamInfo<Layout> &i) { return std::string(i.param.label); });

TEST(WaveWriter, MissingDirectoryGivesZeroAndNoFile)
{
    tavo_test::TempDir dir;
    const int16_t s = 1;
    EXPECT_EQ(put_wav_data_mono16(&s, 1, 8000, dir.file("none/x.wav").c_str()), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(files_in(dir.path()), 0u);
}

// Past 4096 bytes the file-size limit makes writes fail with EFBIG (SIGXFSZ
// ignored). The writer runs in a child so the limit does not stay; the
// child ends with 0 when the writer gave 0 and left errno EFBIG.
TEST(WaveWriter, FailedWriteKeepsOldFileAndLeavesNoTemporary)
{
    tavo_test::TempDir dir;
    tavo_test::write_bytes(dir.file("x.wav"), "old");
    const Samples samples(100000, 7);
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int result =
            put_wav_data_mono16(samples.data(), samples.size(), 8000, dir.file("x.wav").c_str());
        _exit(result == 0 && errno == EFBIG ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(tavo_test::read_bytes(dir.file("x.wav")), "old");
    EXPECT_EQ(files_in(dir.path()), 1u);
}

}  // namespace
