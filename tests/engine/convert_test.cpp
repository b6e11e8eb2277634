// The engine in-process: refusals leaving nothing, the free space, two conversions at once,
// a stop, the samples in memory, outputs too large for WAV.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <thread>

#include <tavo/convert.h>

#include "common/atomic_file.h"
#include "convert_into.h"
#include "engine/free_space.h"
#include "rows.h"
#include "tavo_writer.h"
#include "wav/wave.h"

namespace {

using tavo::Options;
using namespace tavo_test;

// In UTC, so that no reader announces switching.
const int kInUtc = (setenv("TZ", "UTC", 1), tzset(), 0);

// Eight records of 512 samples from 08:00 at 18 Hz, 28 s apart.
Recording recording(int records = 8)
{
    Recording rec{form3_header('S', 512, "18", 1, 'k'), true, 512, {}};
    for (int r = 0; r < records; r++) {
        const long t = r * 512L / 18;
        rec.records.push_back(make_record(512, 480 + t / 60, t % 60, r));
    }
    return rec;
}

// The recording in a dated file of `dir`, at 08:00 (slot 16) or later.
std::string input(const TempDir& dir, int records, int slot = 16)
{
    const std::string path = dated_path(dir.path(), 'k', 2014, 3, 15, slot);
    write_binary(path, recording(records));
    return path;
}

struct Refused {
    const char* name;
    std::string bytes;  // the input's content; "<dir>" makes it a directory, "<none>" none
    std::function<void(Options&)> set;
    std::string error;  // @ stands for the input's path, OUT for the output folder
};

std::string expand(std::string text, const std::string& path, const std::string& out)
{
    for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + path.size()))
        text.replace(at, 1, path);
    const auto at = text.find("OUT");
    return at == std::string::npos ? text : text.replace(at, 3, out);
}

class EngineRefusal : public testing::TestWithParam<Refused> {};

// A damaged input or refused options: the outputs, created before the input is read, also as
// named temporary files, are all removed.
TEST_P(EngineRefusal, ReturnsStatusAndTextAndLeavesNothing)
{
    const Refused& c = GetParam();
    TempDir in, out;
    const std::string path = in.file("k4031516.dat");
    if (c.bytes == "<dir>")
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    else if (c.bytes != "<none>")
        write_bytes(path, c.bytes);
    Options o;
    o.output_dir = out.path();
    o.timeline = true;  // a label file too
    c.set(o);
    for (const bool named : {false, true}) {
        tavo::common::AtomicFile::refuse_unnamed_for_tests(named);
        Said kept;
        const tavo::Result r = tavo::convert({path}, o, kept);
        tavo::common::AtomicFile::refuse_unnamed_for_tests(false);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.error, expand(c.error, path, out.path()));
        EXPECT_EQ(kept.error, r.error);
        // The error is the last thing said on standard error.
        EXPECT_EQ(kept.err.substr(kept.err.size() - std::min(kept.err.size(), r.error.size())),
                  r.error);
        EXPECT_TRUE(r.written.empty());
        EXPECT_TRUE(listing(out.path()).empty()) << "named " << named;
    }
}

const std::string GOOD = binary_bytes(recording());
const std::string TEXT = text_bytes(recording(2));
// Where record 2 starts: after the header line, its CR and three blocks.
const std::size_t R2 = recording().header.size() + 1 + 3 * (4 + 2 * 512);
// GOOD stored (a cut at LEAD + n leaves n bytes to inflate), and compressed: long enough that
// zlib checks its trailer while records are read, not while detection looks at it.
const std::size_t LEAD = 15;
const std::string STORED = gzip_bytes(GOOD, 0), ZIPPED = gzip_bytes(GOOD);

std::string flipped(std::string bytes, std::size_t back)
{
    bytes[bytes.size() - back] ^= 1;
    return bytes;
}

void none(Options&) {}

const std::string CUT = "Error: @: file ends inside a record\n",
                  EOF_ = "@: unexpected end of file\n";

// clang-format off
const Refused refusals[] = {
    {"Missing", "<none>", none, "gzopen:No such file or directory\nCan't open @\n"},
    {"Directory", "<dir>", none, "@: Is a directory\n"},
    {"Empty", "", none, "Error: @: file too short to be a data file\n"},
    {"EndsOneByteIntoARecord", GOOD.substr(0, R2 + 1), none, CUT},
    {"EndsOneByteBeforeTheRecordEnd", GOOD.substr(0, R2 + 3 * 1028 - 1), none, CUT},
    {"GzipCutInsideItsHeader", STORED.substr(0, 5), none, EOF_},
    {"GzipCutAtARecordBoundary", STORED.substr(0, LEAD + R2), none, EOF_},
    {"GzipCutInsideItsTrailer", STORED.substr(0, STORED.size() - 4), none, EOF_},
    {"TextGzipCutInsideARecord", gzip_bytes(TEXT, 0).substr(0, LEAD + TEXT.size() / 2), none, EOF_},
    {"GzipBadCrcInASmallFile", flipped(gzip_bytes(GOOD.substr(0, R2)), 8), none,
     "@: incorrect data check\n"},
    {"GzipBadCrc", flipped(ZIPPED, 8), none, "@: incorrect data check\n"},
    {"GzipBadLength", flipped(ZIPPED, 1), none, "@: incorrect length check\n"},
    {"SpeedupNotWholeForLinear", GOOD, [](Options& o) { o.speedup = 48; o.rate = 44100; },
     "Error: speed-up 48 needs a whole upsampling factor with the linear resampler (U = 51.042); "
     "use --resampler sinc\n"},
    // 4096 samples at 18 Hz make one frame at 44100 Hz up to a speed-up of 2 x 4096 x 44100 / 18.
    {"SpeedupLeavesNoSound", GOOD,
     [](Options& o) {
         o.resampler = tavo::Resampler::SINC;
         o.speedup = 1e9;
         o.speedup_text = "1e9";
         o.rate = 44100;
     },
     "Error: speed-up 1e9 leaves no sound (0 frames); the largest for this input is "
     "2.00704e+07\n"},
    {"NegativeUpsampling", GOOD, [](Options& o) { o.upsample = -2; },
     "Error: upsampling factor must not be negative (-u -2)\n"},
    {"UpsamplingWithSpeedup", GOOD, [](Options& o) { o.speedup = 49; o.upsample_given = true; },
     "Error: give -u or --speedup, not both\n"},
    {"TooManyThreads", GOOD, [](Options& o) { o.threads = 257; },
     "Error: --threads needs a whole number from 0 to 256, not \"257\"\n"},
    {"NoFolder", GOOD, [](Options& o) { o.output_dir += "/none"; },
     "Error: can't write OUT/none/a4031516.wav: No such file or directory\n"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Inputs, EngineRefusal, testing::ValuesIn(refusals), RowName());

// The output needs exactly the bytes of the files it leaves (chunks, pad byte, labels):
// a byte less is refused before converting.
TEST(Engine, OutputNeedsNoMoreThanTheFreeSpace)
{
    TempDir in;
    const std::string a = input(in, 8);
    // 271215 frames: an odd data chunk, padded.
    const Options o = options("--timeline --format s24 --resampler sinc --speedup 37 -r 1");
    const Converted first = convert_into({a}, o);
    ASSERT_EQ(first.result.status, 0) << first.err;
    long long need = 0;
    for (const auto& [name, bytes] : first.files)
        need += static_cast<long long>(bytes.size());
    for (const long long room : {need - 1, need}) {
        tavo::engine::pretend_free_bytes_for_tests(room);
        const Converted c = convert_into({a}, o);
        tavo::engine::pretend_free_bytes_for_tests(-1);
        if (room == need) {
            EXPECT_EQ(c.result.status, 0) << c.err;
            EXPECT_EQ(c.out, first.out);
            continue;
        }
        EXPECT_EQ(c.result.status, 1);
        EXPECT_EQ(c.result.error.substr(c.result.error.find(": the")),
                  ": the output needs 3 MB, 2 MB are free\n");
        EXPECT_EQ(c.err.substr(c.err.rfind("Error:")),
                  "Error: not enough free space in OUT: the output needs 3 MB, 2 MB are free\n");
        EXPECT_EQ(c.out.find("Removing"), std::string::npos) << c.out;
        EXPECT_TRUE(c.files.empty());
    }
}

// Two conversions at once, of other files with other options, give and say what each alone does.
TEST(Engine, TwoConversionsOnTwoThreadsGiveTheirBytesAlone)
{
    TempDir in;
    const std::string a = input(in, 40), b = input(in, 30, 18);
    const Options oa = options("-u 50 --threads 2");
    const Options ob = options("-6 --resampler sinc --format f32 --timeline");
    const Converted alone_a = convert_into({a}, oa), alone_b = convert_into({b}, ob);
    EXPECT_EQ(alone_a.files.size(), 3u);  // three files
    EXPECT_EQ(alone_b.files.size(), 2u);  // one file and the labels
    for (int round = 0; round < 3; round++) {
        Converted got_a, got_b;
        std::thread one([&] { got_a = convert_into({a}, oa); });
        std::thread two([&] { got_b = convert_into({b}, ob); });
        one.join();
        two.join();
        EXPECT_TRUE(got_a.files == alone_a.files);
        EXPECT_TRUE(got_b.files == alone_b.files);
        EXPECT_EQ(got_a.out + got_a.err, alone_a.out + alone_a.err);
        EXPECT_EQ(got_b.out + got_b.err, alone_b.out + alone_b.err);
    }
}

// A stop while reading or converting leaves nothing, in window mode too (read, then render).
TEST(Engine, StopFromProgressLeavesNoFile)
{
    TempDir in, out;
    const std::string a = input(in, 40);
    for (const bool window : {false, true})
        for (long stop : {0L, 3L, 40L, 41L}) {  // 40 reading reports, then chunks of 262144 frames
            Options o = options("-u 50");
            o.output_dir = out.path();
            if (window)
                o.window = {true, "", 0, 1394870400, 1394874000};  // 08:00 to 09:00
            Said said;
            said.stop_after = stop;
            const tavo::Result r = tavo::convert({a}, o, said);
            EXPECT_TRUE(r.cancelled) << window << " " << stop;
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(listing(out.path()).empty()) << window << " " << stop;
        }
}

// In memory, each file's samples are its WAV file's data chunk (every layout and format: the
// Python package's tests), and it says the same.
TEST(Engine, SamplesInMemoryAreTheDataOfTheFiles)
{
    TempDir in;
    const std::string a = input(in, 20);
    const Options o = options("-s -u 7");
    const Converted files = convert_into({a}, o);
    Captured memory;
    Said in_memory;
    ASSERT_EQ(tavo::convert({a}, o, in_memory, &memory).status, 0);
    ASSERT_EQ(memory.files.size(), files.files.size());
    for (std::size_t i = 0; i < memory.files.size(); i++) {
        const tavo::AudioFile& f = memory.files[i];
        const std::string& wav = files.files.at(f.name.substr(f.name.rfind('/') + 1));
        EXPECT_EQ(wav.substr(44), memory.bytes[i]) << f.name;
        EXPECT_EQ(f.frames * f.channels * 2, wav.size() - 44);
    }
    std::string said = files.out + "|" + files.err;
    for (auto at = said.find("OUT/"); at != std::string::npos; at = said.find("OUT/"))
        said.erase(at, 4);
    EXPECT_EQ(in_memory.out + "|" + in_memory.err, said);
}

// An output beyond a WAV limit lowered to 50000 bytes: refused, or RF64 where allowed.
struct Outgrown {
    const char* name;
    std::function<void(Options&)> set;
    std::string error;  // "" when written
    const char* magic;  // of the file written
};

class OutgrownWav : public testing::TestWithParam<Outgrown> {};

TEST_P(OutgrownWav, IsRefusedOrWrittenAsRf64)
{
    TempDir in, out;
    const std::string a = input(in, 20);  // 10240 samples: 81920 bytes at -u 4
    Options o;
    o.output_dir = out.path();
    GetParam().set(o);
    tavo::wav::set_riff_limit_for_tests(50000);
    Said said;
    const tavo::Result r = tavo::convert({a}, o, said);
    tavo::wav::set_riff_limit_for_tests(0);
    EXPECT_EQ(r.error, GetParam().error);
    EXPECT_EQ(r.status, GetParam().error.empty() ? 0 : 1);
    EXPECT_EQ(r.written.size(), GetParam().error.empty() ? 3u : 0u);
    for (const std::string& path : r.written)
        EXPECT_EQ(read_bytes(path).substr(0, 4), GetParam().magic) << path;
    EXPECT_EQ(listing(out.path()).size(), r.written.size());
}

// clang-format off
const Outgrown outgrown[] = {
    {"ClassicRefused", none, "Error: output too large for a WAV file (40960 frames)\n", ""},
    {"LongOptionGivesRf64", [](Options& o) { o.allow_rf64 = true; }, "", "RF64"},
    {"WindowGivesRf64", [](Options& o) { o.window = {true, "", 0, 1394870400, 1394874000}; }, "",
     "RF64"},  // 08:00 to 09:00
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Limits, OutgrownWav, testing::ValuesIn(outgrown), RowName());

}  // namespace
