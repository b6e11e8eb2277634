// End-to-end runs of tavo2wav with the options of the sound (--resampler,
// --speedup, --format): the refusals, exactly; the stage lines; and the WAV
// files, read back and compared across resamplers and formats.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "run_process.h"
#include "tavo_writer.h"

namespace {

namespace fs = std::filesystem;
const std::string BIN = TAVO2WAV_BIN, NAME = "x4010100.dat";
constexpr double PI = 3.14159265358979323846;

// A binary file at `hz` Hz (header form 3, records of 512) holding `records`
// records: on every channel a sine of 1/18 of the sampling frequency with
// amplitude `amplitude`, or, when `square` is set, a square wave of the
// same period, whose edges make a band-limited resampler overshoot.
std::string data_file(int records, double amplitude = 1000, bool square = false,
                      const char* hz = "18")
{
    tavo_test::Recording rec{tavo_test::form3_header('S', 512, hz, 1, 'k'), true, 512, {}};
    for (int r = 0; r < records; r++) {
        tavo_test::Record& one = rec.records.emplace_back();
        one.time = {r * 28 / 60, r * 28 % 60};
        for (int c = 0; c < 3; c++) {
            for (int j = 0; j < 512; j++) {
                const double s = std::sin(2 * PI * (r * 512 + j) / 18.0 + c);
                one.channels[c].push_back(std::round(amplitude * (square ? (s >= 0 ? 1 : -1) : s)));
            }
        }
    }
    return tavo_test::binary_bytes(rec);
}

RunResult run_in(const std::string& dir, std::vector<std::string> args)
{
    args.insert(args.begin(), BIN);
    RunOptions options;
    options.env = {"TZ=UTC"};
    return run_process(args, dir, options);
}

uint32_t u32(const std::string& b, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--)
        v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

// A WAV file the program wrote: its format code, bits per sample and frame
// count from the header, and its samples in counts of the 16-bit scale.
struct Sound {
    unsigned format = 0, bits = 0;
    unsigned long frames = 0;
    std::vector<double> counts;
};

Sound read_sound(const std::string& path)
{
    const std::string b = tavo_test::read_bytes(path);
    Sound s;
    s.format = u32(b, 20) & 0xFFFF;
    s.bits = u32(b, 32) >> 16;
    const size_t data = s.format == 3 ? 58 : 44;
    const unsigned bytes = s.bits / 8;
    const unsigned channels = u32(b, 20) >> 16;
    s.frames = u32(b, data - 4) / (bytes * channels);
    for (size_t at = data; at + bytes <= data + u32(b, data - 4); at += bytes) {
        const uint32_t raw = u32(b + std::string(4, '\0'), at);
        if (s.format == 3) {
            float f;
            std::memcpy(&f, &raw, 4);
            s.counts.push_back(f * 32768.0);
        } else if (bytes == 3) {
            s.counts.push_back(static_cast<int32_t>(raw << 8) / 256 / 256.0);
        } else {
            s.counts.push_back(static_cast<int16_t>(raw & 0xFFFF));
        }
    }
    return s;
}

// Runs the program on `input` with `args` in a fresh directory and reads
// back the first mono file.
struct Converted {
    RunResult run;
    Sound sound;
};

Converted convert(const std::vector<std::string>& args, const std::string& input = data_file(4))
{
    tavo_test::TempDir dir;
    tavo_test::write_bytes(dir.file(NAME), input);
    std::vector<std::string> all = args;
    all.push_back(NAME);
    Converted c{run_in(dir.path(), all), {}};
    if (fs::exists(dir.file("a4010100.wav")))
        c.sound = read_sound(dir.file("a4010100.wav"));
    return c;
}

// Command lines refused before anything is logged or written.
struct Refusal {
    const char* name;
    std::vector<std::string> args;
    std::string err;
};

class SoundRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(SoundRefusal, PrintsOneLineAndWritesNothing)
{
    tavo_test::TempDir dir;
    tavo_test::write_bytes(dir.file(NAME), data_file(1));
    std::vector<std::string> args = GetParam().args;
    args.insert(args.begin(), NAME);
    const RunResult r = run_in(dir.path(), args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, SoundRefusal,
    testing::Values(
        Refusal{"UpsamplingAndSpeedup",
                {"-u", "50", "--speedup", "49"},
                "Error: give -u or --speedup, not both\n"},
        Refusal{"SpeedupBeforeUpsampling",
                {"--speedup=49", "-u=0"},
                "Error: give -u or --speedup, not both\n"},
        Refusal{"FormatS8",
                {"--format", "s8"},
                "Error: unknown sample format 's8' (s16, s24 or f32)\n"},
        Refusal{"SpeedupAbc",
                {"--speedup", "abc"},
                "Error: speed-up must be a positive number (--speedup abc)\n"},
        Refusal{"SpeedupNegative",
                {"--speedup", "-2"},
                "Error: speed-up must be a positive number (--speedup -2)\n"},
        Refusal{"ResamplerUnknown",
                {"--resampler", "cubic"},
                "Error: unknown resampler 'cubic' (linear or sinc)\n"},
        Refusal{"FormatWithoutValue", {"-s", "--format"}, "Error: --format needs a value\n"}),
    [](const testing::TestParamInfo<Refusal>& i) { return std::string(i.param.name); });

TEST(SoundCli, LinearRefusesSpeedupWithoutWholeFactor)
{
    const Converted c = convert({"--speedup", "48", "-r", "1"});
    EXPECT_EQ(c.run.status, 1);
    EXPECT_EQ(c.run.out, "mode:mono\nRate: 44100\n");
    const std::string line =
        "Error: speed-up 48 needs a whole upsampling factor with the linear "
        "resampler (U = 51.042); use --resampler sinc\n";
    ASSERT_GE(c.run.err.size(), line.size());
    EXPECT_EQ(c.run.err.substr(c.run.err.size() - line.size()), line);
    EXPECT_EQ(c.sound.frames, 0u);  // no file
}

TEST(SoundCli, LinearSpeedupIsTheWholeFactor)
{
    const Converted speedup = convert({"--speedup", "49", "-r", "1"});
    const Converted u = convert({"-u", "50", "-r", "1"});
    ASSERT_EQ(speedup.run.status, 0);
    EXPECT_EQ(speedup.run.out, u.run.out);
    EXPECT_EQ(speedup.sound.counts, u.sound.counts);
    EXPECT_EQ(speedup.sound.frames, 2048u * 50);
}

TEST(SoundCli, SincPrintsItsStageAndNoFilter)
{
    const Converted c = convert({"--resampler", "sinc", "-u", "50", "-r", "1"});
    EXPECT_EQ(c.run.status, 0);
    EXPECT_EQ(c.run.out,
              "mode:mono\nRate: 44100\nRemoving offset done\nScaling 32...done\n"
              "Resampling 50 (sinc) ...done\nwriting: a4010100.wav done\n"
              "writing: b4010100.wav done\nwriting: c4010100.wav done\n");
    EXPECT_EQ(c.sound.frames, 2048u * 50);
}

TEST(SoundCli, SincSpeedupTakesAnyRatio)
{
    // 44100 / (18 x 48) = 51.0417, so 2048 samples give 104533.3 frames.
    const Converted c = convert({"--resampler", "sinc", "--speedup", "48", "-r", "1"});
    EXPECT_EQ(c.run.status, 0);
    EXPECT_NE(c.run.out.find("Resampling 51.0417 (sinc) ...done\n"), std::string::npos)
        << c.run.out;
    EXPECT_EQ(c.sound.frames, 104533u);
}

TEST(SoundCli, SincWithoutResamplingPassesScaledSamples)
{
    const Converted sinc = convert({"--resampler", "sinc", "-u", "0", "-o", "-z", "1"});
    const Converted linear = convert({"-u", "0", "-o", "-z", "1", "-f"});
    EXPECT_EQ(sinc.run.out,
              "mode:mono\nRate: 4000\nwriting: a4010100.wav done\n"
              "writing: b4010100.wav done\nwriting: c4010100.wav done\n");
    EXPECT_EQ(sinc.sound.counts, linear.sound.counts);
}

// The same conversion in the three formats: s24 and f32 carry the s16
// samples up to their rounding (linear: exactly, as it computes 16-bit
// samples).
struct Formats {
    const char* name;
    std::vector<std::string> args;
    double tolerance;  // |s24 or f32 - s16| in counts
};

class SoundFormats : public testing::TestWithParam<Formats> {};

TEST_P(SoundFormats, AgreeUpToSixteenBitRounding)
{
    std::vector<std::string> args = GetParam().args;
    const Converted s16 = convert(args);
    args.insert(args.end(), {"--format", "s24"});
    const Converted s24 = convert(args);
    args.back() = "f32";
    const Converted f32 = convert(args);
    EXPECT_EQ(s24.run.out, s16.run.out);
    EXPECT_EQ(f32.run.out, s16.run.out);
    EXPECT_EQ(s16.sound.bits, 16u);
    EXPECT_EQ(s24.sound.bits, 24u);
    EXPECT_EQ(f32.sound.bits, 32u);
    EXPECT_EQ(f32.sound.format, 3u);
    ASSERT_EQ(s24.sound.counts.size(), s16.sound.counts.size());
    ASSERT_EQ(f32.sound.counts.size(), s16.sound.counts.size());
    double worst24 = 0, worst32 = 0, fraction = 0;
    for (size_t i = 0; i < s16.sound.counts.size(); i++) {
        if (std::fabs(s16.sound.counts[i]) >= 32767)
            continue;  // saturated in s16 (the sinc resampler overshoots where the data end)
        worst24 = std::max(worst24, std::fabs(s24.sound.counts[i] - s16.sound.counts[i]));
        worst32 = std::max(worst32, std::fabs(f32.sound.counts[i] - s16.sound.counts[i]));
        fraction =
            std::max(fraction, std::fabs(f32.sound.counts[i] - std::round(f32.sound.counts[i])));
    }
    EXPECT_LE(worst24, GetParam().tolerance);
    EXPECT_LE(worst32, GetParam().tolerance);
    if (GetParam().tolerance > 0) {
        EXPECT_GT(fraction, 0.1);  // the wider formats keep what 16 bits round away
    }
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, SoundFormats,
    testing::Values(Formats{"Linear", {"-u", "50"}, 0.0},
                    Formats{"LinearNoFilter", {"-u", "4", "-f"}, 0.0},
                    Formats{"Sinc", {"--resampler", "sinc", "-u", "50"}, 0.5},
                    Formats{
                        "SincSpeedup", {"--resampler", "sinc", "--speedup", "30", "-r", "1"}, 0.5}),
    [](const testing::TestParamInfo<Formats>& i) { return std::string(i.param.name); });

TEST(SoundCli, SincClipsOnlyInIntegerFormats)
{
    // A square wave at the automatic scale reaches 32000 counts; the
    // resampled edges overshoot past 32767.
    const std::string square = data_file(2, 1000, true);
    const Converted s16 = convert({"--resampler", "sinc", "-u", "8"}, square);
    const Converted f32 = convert({"--resampler", "sinc", "-u", "8", "--format", "f32"}, square);
    EXPECT_EQ(s16.run.status, 0);
    EXPECT_NE(s16.run.err.find(" samples clipped\n"), std::string::npos);
    EXPECT_EQ(f32.run.err.find(" samples clipped\n"), std::string::npos);
    double peak = 0;
    for (double v : f32.sound.counts)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 32768.0);
}

}  // namespace
