#include "wave.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

enum class Layout { Mono, Stereo, Six };

// A fresh directory under the system's temporary directory per test.
class WaveFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (fs::temp_directory_path() / "wave_test.XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }

    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        return names;
    }

    fs::path dir_;
};

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void append16(Bytes& b, unsigned v)
{
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}

void append32(Bytes& b, unsigned long v)
{
    append16(b, v & 0xFFFF);
    append16(b, (v >> 16) & 0xFFFF);
}

void append_text(Bytes& b, const char* text)
{
    b.insert(b.end(), text, text + std::strlen(text));
}

// Writes the three channel buffers in the given layout (mono uses `a`,
// stereo `a` and `b`).
int write_layout(Layout layout, const std::string& path, const int16_t* a,
                 const int16_t* b, const int16_t* c, unsigned long frames,
                 unsigned long rate)
{
    switch (layout) {
    case Layout::Mono:
        return put_wav_data_mono16(a, frames, rate, path.c_str());
    case Layout::Stereo:
        return put_wav_data_stereo16(a, b, frames, rate, path.c_str());
    case Layout::Six:
        return put_wav_data_6ch(a, b, c, frames, rate, path.c_str());
    }
    return -1;
}

// --- Header: every byte of the 44-byte header, per layout and rate -------

struct HeaderRow {
    const char* what;
    Layout layout;
    unsigned long rate;
    unsigned long frames;
    unsigned channels;
    unsigned long byte_p_sec;
    unsigned byte_p_spl;
};

void PrintTo(const HeaderRow& row, std::ostream* os) { *os << row.what; }

class WaveHeaderBytes : public WaveFiles,
                        public ::testing::WithParamInterface<HeaderRow> {};

TEST_P(WaveHeaderBytes, MatchesCanonicalLayout)
{
    const HeaderRow row = GetParam();
    const std::vector<int16_t> zeros(row.frames);
    ASSERT_EQ(write_layout(row.layout, path("h.wav"), zeros.data(), zeros.data(),
                           zeros.data(), row.frames, row.rate), 1);
    const unsigned long data_bytes = row.frames * row.byte_p_spl;
    Bytes expected;
    append_text(expected, "RIFF");
    append32(expected, 36 + data_bytes);
    append_text(expected, "WAVEfmt ");
    append32(expected, 16);
    append16(expected, 1);
    append16(expected, row.channels);
    append32(expected, row.rate);
    append32(expected, row.byte_p_sec);
    append16(expected, row.byte_p_spl);
    append16(expected, 16);
    append_text(expected, "data");
    append32(expected, data_bytes);
    expected.resize(44 + data_bytes, 0);
    EXPECT_EQ(read_file(path("h.wav")), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WaveHeaderBytes,
    ::testing::Values(HeaderRow{"MonoEmpty", Layout::Mono, 4000, 0, 1, 8000, 2},
                      HeaderRow{"Mono4000", Layout::Mono, 4000, 3, 1, 8000, 2},
                      HeaderRow{"StereoEmpty", Layout::Stereo, 44100, 0, 2, 176400, 4},
                      HeaderRow{"Stereo44100", Layout::Stereo, 44100, 5, 2, 176400, 4},
                      HeaderRow{"SixEmpty", Layout::Six, 4000, 0, 6, 48000, 12},
                      HeaderRow{"Six4000", Layout::Six, 4000, 2, 6, 48000, 12},
                      HeaderRow{"Six96000", Layout::Six, 96000, 1, 6, 1152000, 12}),
    [](const auto& info) { return std::string(info.param.what); });

// --- Frames: channel order and sample encoding ---------------------------

struct FrameRow {
    const char* what;
    Layout layout;
    std::vector<int16_t> a, b, c;
    Bytes data;  // expected bytes after the header
};

void PrintTo(const FrameRow& row, std::ostream* os) { *os << row.what; }

class WaveFrameBytes : public WaveFiles,
                       public ::testing::WithParamInterface<FrameRow> {};

TEST_P(WaveFrameBytes, FollowLayoutTable)
{
    const FrameRow& row = GetParam();
    ASSERT_EQ(write_layout(row.layout, path("f.wav"), row.a.data(), row.b.data(),
                           row.c.data(), row.a.size(), 8000), 1);
    const Bytes file = read_file(path("f.wav"));
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(Bytes(file.begin() + 44, file.end()), row.data);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WaveFrameBytes,
    ::testing::Values(
        // -1 and 256, then the two extremes, all little-endian.
        FrameRow{"MonoLittleEndian", Layout::Mono, {-1, 256, -32768, 32767}, {}, {},
                 {0xFF, 0xFF, 0x00, 0x01, 0x00, 0x80, 0xFF, 0x7F}},
        // Left then right in every frame.
        FrameRow{"StereoLeftRight", Layout::Stereo, {1, 2}, {3, 4}, {},
                 {1, 0, 3, 0, 2, 0, 4, 0}},
        // Second, first and third buffer in channels 1, 3 and 5.
        FrameRow{"SixOneFrame", Layout::Six, {1}, {2}, {3},
                 {2, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0}},
        FrameRow{"SixTwoFrames", Layout::Six, {-1, 5}, {0x102, 6}, {7, -2},
                 {2, 1, 0, 0, 0xFF, 0xFF, 0, 0, 7, 0, 0, 0,
                  6, 0, 0, 0, 5, 0, 0, 0, 0xFE, 0xFF, 0, 0}}),
    [](const auto& info) { return std::string(info.param.what); });

// An interleaved ramp long enough to pass several write buffers and
// interleaving steps: sample i of channel c is i * 7 + c * 1000, wrapped
// to 16 bits.
std::vector<int16_t> ramp(std::size_t n, int channel)
{
    std::vector<int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<int16_t>(static_cast<uint16_t>(i * 7 + channel * 1000));
    return v;
}

TEST_F(WaveFiles, LongStereoFileReadsBackThroughGetWavData)
{
    const std::size_t frames = 300001;
    const auto left = ramp(frames, 0), right = ramp(frames, 1);
    ASSERT_EQ(put_wav_data_stereo16(left.data(), right.data(), frames, 22050,
                                    path("long.wav").c_str()), 1);
    unsigned long rate = 0, len = 0;
    std::unique_ptr<unsigned char, decltype(&std::free)> data(
        get_wav_data(path("long.wav").c_str(), &rate, &len), &std::free);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(rate, 22050u);
    ASSERT_EQ(len, frames * 4);
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const unsigned char* f = data.get() + 4 * i;
        mismatches += int16_t(f[0] | f[1] << 8) != left[i];
        mismatches += int16_t(f[2] | f[3] << 8) != right[i];
    }
    EXPECT_EQ(mismatches, 0u);
}

// --- Where files go, and what failures leave behind ----------------------

TEST_F(WaveFiles, MissingDirectoryGivesZeroAndNoFile)
{
    const int16_t s[1] = {1};
    errno = 0;
    EXPECT_EQ(put_wav_data_mono16(s, 1, 8000, path("none/x.wav").c_str()), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(entries(), std::vector<std::string>{});
}

TEST_F(WaveFiles, ExistingFileIsReplaced)
{
    write_file(path("x.wav"), Bytes(1000, 0xAA));
    const int16_t s[1] = {0x1234};
    ASSERT_EQ(put_wav_data_mono16(s, 1, 8000, path("x.wav").c_str()), 1);
    const Bytes file = read_file(path("x.wav"));
    ASSERT_EQ(file.size(), 46u);
    EXPECT_EQ(file[44], 0x34);
    EXPECT_EQ(file[45], 0x12);
    EXPECT_EQ(entries(), std::vector<std::string>{"x.wav"});
}

TEST_F(WaveFiles, NewFileHasPlainCreateMode)
{
    const mode_t mask = umask(022);
    umask(mask);
    const int16_t s[1] = {0};
    ASSERT_EQ(put_wav_data_mono16(s, 1, 8000, path("m.wav").c_str()), 1);
    struct stat st;
    ASSERT_EQ(stat(path("m.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

// The file-size limit makes the kernel refuse writes past 4096 bytes; with
// SIGXFSZ ignored the write fails with EFBIG. Run in a child so the limit
// does not stay with the test process. The child's exit status is 0 when
// the writer returned 0 with errno EFBIG.
TEST_F(WaveFiles, FailedWriteKeepsOldFileAndLeavesNoTemporary)
{
    const Bytes old(100, 0x55);
    write_file(path("x.wav"), old);
    const auto samples = ramp(100000, 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int result = put_wav_data_mono16(samples.data(), samples.size(), 8000,
                                               path("x.wav").c_str());
        _exit(result == 0 && errno == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(path("x.wav")), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"x.wav"});
}

// Frame counts one past the largest that fits the 32-bit RIFF length
// (36 + F x B <= 0xFFFFFFFF). The writer refuses before reading a sample.
struct OversizeRow {
    const char* what;
    Layout layout;
    unsigned long frames;
};

void PrintTo(const OversizeRow& row, std::ostream* os) { *os << row.what; }

class WaveOversize : public WaveFiles,
                     public ::testing::WithParamInterface<OversizeRow> {};

TEST_P(WaveOversize, GivesEfbigAndWritesNothing)
{
    const int16_t s[1] = {0};
    errno = 0;
    EXPECT_EQ(write_layout(GetParam().layout, path("big.wav"), s, s, s,
                           GetParam().frames, 8000), 0);
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(entries(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WaveOversize,
    ::testing::Values(OversizeRow{"Mono", Layout::Mono, 2147483630ul},
                      OversizeRow{"Stereo", Layout::Stereo, 1073741815ul},
                      OversizeRow{"Six", Layout::Six, 357913939ul}),
    [](const auto& info) { return std::string(info.param.what); });

// --- The streaming writer --------------------------------------------------

TEST_F(WaveFiles, WriterAcceptsLargestSizeAndCleansUpUncommitted)
{
    {
        WaveWriter writer;
        ASSERT_TRUE(writer.open(path("w.wav").c_str(), 6, 357913938ul, 8000));
        const auto names = entries();
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0].rfind(".w.wav.", 0), 0u);
    }
    EXPECT_EQ(entries(), std::vector<std::string>{});
}

TEST_F(WaveFiles, WriterChunksMatchOneShotWrite)
{
    const auto frames = ramp(2 * 70001, 3);  // stereo, interleaved
    {
        WaveWriter writer;
        ASSERT_TRUE(writer.open(path("chunks.wav").c_str(), 2, 70001, 8000));
        for (std::size_t done = 0, step = 1; done < 70001; step = step * 3 + 1) {
            const std::size_t n = std::min<std::size_t>(step, 70001 - done);
            ASSERT_TRUE(writer.write(frames.data() + 2 * done, n));
            done += n;
        }
        ASSERT_TRUE(writer.commit());
    }
    WaveWriter writer;
    ASSERT_TRUE(writer.open(path("once.wav").c_str(), 2, 70001, 8000));
    ASSERT_TRUE(writer.write(frames.data(), 70001));
    ASSERT_TRUE(writer.commit());
    EXPECT_EQ(read_file(path("chunks.wav")), read_file(path("once.wav")));
}

// Writing fewer or more frames than announced fails with EINVAL and leaves
// the old target untouched.
class WaveFrameCount : public WaveFiles,
                       public ::testing::WithParamInterface<std::size_t> {};

TEST_P(WaveFrameCount, MismatchFailsAndKeepsOldFile)
{
    const Bytes old = {1, 2, 3};
    write_file(path("x.wav"), old);
    const auto frames = ramp(GetParam(), 0);
    WaveWriter writer;
    ASSERT_TRUE(writer.open(path("x.wav").c_str(), 1, 4, 8000));
    errno = 0;
    const bool written = writer.write(frames.data(), frames.size());
    EXPECT_FALSE(written && writer.commit());
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(read_file(path("x.wav")), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"x.wav"});
}

INSTANTIATE_TEST_SUITE_P(Counts, WaveFrameCount, ::testing::Values(0, 3, 5));

// --- fwrite16 and fwrite32 -----------------------------------------------

TEST_F(WaveFiles, FwriteStoresLittleEndian)
{
    FILE* f = std::fopen(path("f.bin").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fwrite16(f, -2), 1u);
    EXPECT_EQ(fwrite32(f, 0x01020304), 1u);
    std::fclose(f);
    EXPECT_EQ(read_file(path("f.bin")), (Bytes{0xFE, 0xFF, 4, 3, 2, 1}));
}

TEST_F(WaveFiles, FwriteReportsRefusedWrite)
{
    write_file(path("r.bin"), {});
    FILE* f = std::fopen(path("r.bin").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fwrite16(f, 1), 0u);
    EXPECT_EQ(fwrite32(f, 1), 0u);
    std::fclose(f);
}

// --- get_wav_data on hand-made files ---------------------------------------

// A stereo file of one frame (1, -1) at 8000 Hz, with an "fmt " body of
// fmt_length bytes (extra bytes are zero) and a declared data length.
Bytes small_wav(unsigned long fmt_length = 16, unsigned long data_length = 4)
{
    Bytes b;
    append_text(b, "RIFF");
    append32(b, 28 + fmt_length + 4);  // RIFF length
    append_text(b, "WAVEfmt ");
    append32(b, fmt_length);           // "fmt " chunk length
    append16(b, 1);                    // format: PCM
    append16(b, 2);                    // channels
    append32(b, 8000);                 // sample_fq
    append32(b, 32000);                // byte_p_sec
    append16(b, 4);                    // byte_p_spl
    append16(b, 16);                   // bit_p_spl
    b.resize(20 + fmt_length, 0);      // extra format bytes
    append_text(b, "data");
    append32(b, data_length);          // data chunk length
    append16(b, 1);                    // frame 0, left
    append16(b, 0xFFFF);               // frame 0, right
    return b;
}

struct AcceptRow {
    const char* what;
    Bytes file;
    unsigned long len;
};

void PrintTo(const AcceptRow& row, std::ostream* os) { *os << row.what; }

class WaveReadAccepts : public WaveFiles,
                        public ::testing::WithParamInterface<AcceptRow> {};

TEST_P(WaveReadAccepts, ReturnsRateAndDataBytes)
{
    write_file(path("in.wav"), GetParam().file);
    unsigned long rate = 0, len = 0;
    std::unique_ptr<unsigned char, decltype(&std::free)> data(
        get_wav_data(path("in.wav").c_str(), &rate, &len), &std::free);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(rate, 8000u);
    ASSERT_EQ(len, GetParam().len);
    Bytes expected = {1, 0, 0xFF, 0xFF};
    expected.resize(len);
    EXPECT_EQ(Bytes(data.get(), data.get() + len), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WaveReadAccepts,
    ::testing::Values(AcceptRow{"Canonical", small_wav(), 4},
                      AcceptRow{"EmptyData", small_wav(16, 0), 0},
                      AcceptRow{"LongerFormat", small_wav(18), 4},
                      // The declared length is cut to the bytes present.
                      AcceptRow{"DataLongerThanFile", small_wav(16, 0xFFFFFFF0), 4}),
    [](const auto& info) { return std::string(info.param.what); });

// Each row damages a good file in one place.
struct RejectRow {
    const char* what;
    std::size_t offset;  // where the damage starts
    Bytes bytes;         // written there; an empty list cuts the file
};

void PrintTo(const RejectRow& row, std::ostream* os) { *os << row.what; }

class WaveReadRejects : public WaveFiles,
                        public ::testing::WithParamInterface<RejectRow> {};

TEST_P(WaveReadRejects, ReturnsNullAndLeavesOutputs)
{
    Bytes file = small_wav();
    const RejectRow& row = GetParam();
    if (row.bytes.empty())
        file.resize(row.offset);
    else
        std::copy(row.bytes.begin(), row.bytes.end(), file.begin() + row.offset);
    write_file(path("in.wav"), file);
    unsigned long rate = 7, len = 9;
    EXPECT_EQ(get_wav_data(path("in.wav").c_str(), &rate, &len), nullptr);
    EXPECT_EQ(rate, 7u);
    EXPECT_EQ(len, 9u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WaveReadRejects,
    ::testing::Values(RejectRow{"NotRiff", 0, {'R', 'I', 'F', 'X'}},
                      RejectRow{"NotWave", 8, {'A', 'V', 'I', ' '}},
                      RejectRow{"NoFmtChunk", 12, {'L', 'I', 'S', 'T'}},
                      RejectRow{"ShortFmtChunk", 16, {15, 0, 0, 0}},
                      RejectRow{"FloatFormat", 20, {3, 0}},
                      RejectRow{"NoChannels", 22, {0, 0}},
                      RejectRow{"SixChannels", 22, {6, 0}},
                      RejectRow{"NoDataAfterFmt", 36, {'L', 'I', 'S', 'T'}},
                      RejectRow{"EmptyFile", 0, {}},
                      RejectRow{"CutInFmtBody", 30, {}},
                      RejectRow{"CutInDataHeader", 40, {}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(WaveFiles, ReadingMissingFileGivesNull)
{
    unsigned long rate = 0, len = 0;
    EXPECT_EQ(get_wav_data(path("none.wav").c_str(), &rate, &len), nullptr);
}

}  // namespace
