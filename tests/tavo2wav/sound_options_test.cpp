// The options of the sound (--resampler, --speedup, --format) and of a
// window (--archive, --from, ...): the values they accept, the lines that
// refuse the others, and the speed-up arithmetic; and all of tavo2wav's
// options as words of one string. What the program prints and writes with
// them is checked in cli_test.
#include "cli/options.h"
#include "dsp/sinc_stream.h"
#include "engine/speedup.h"

#include <gtest/gtest.h>

#include <kemra/libkemra.h>

#include <cmath>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tavo;
using namespace tavo::engine;

// argv for the scanner: "tavo2wav" and the words given, with no argument
// marked yet (the scanner keeps its marks per argument count, so a query
// with another count drops those of an earlier test).
class Args {
public:
    explicit Args(std::vector<std::string> words) : words_(std::move(words))
    {
        words_.insert(words_.begin(), "tavo2wav");
        for (std::string& w : words_)
            argv_.push_back(w.data());
        std::vector<char*> other(argv_.size() + 1, argv_[0]);
        get_first_unused(static_cast<int>(other.size()), other.data(), 1);
    }
    int argc() const { return static_cast<int>(argv_.size()); }
    char** argv() { return argv_.data(); }

private:
    std::vector<std::string> words_;
    std::vector<char*> argv_;
};

struct Reading {
    const char* name;
    std::vector<std::string> words;
    std::string error;
    Resampler resampler = Resampler::LINEAR;
    double speedup = 0;
    SampleFormat format = SampleFormat::S16;
};

class SoundOptionValues : public testing::TestWithParam<Reading> {};

TEST_P(SoundOptionValues, ReadsOrRefuses)
{
    const Reading& p = GetParam();
    Args args(p.words);
    const cli::CommandLine cl = cli::read_options(args.argc(), args.argv());
    const Options& o = cl.options;
    EXPECT_EQ(cl.refusal, p.error);
    if (p.error.empty()) {
        EXPECT_EQ(o.resampler, p.resampler);
        EXPECT_EQ(o.speedup, p.speedup);
        EXPECT_EQ(o.format, p.format);
    }
}

const Resampler LIN = Resampler::LINEAR, SINC = Resampler::SINC;
const SampleFormat S16 = SampleFormat::S16, S24 = SampleFormat::S24, F32 = SampleFormat::F32;

INSTANTIATE_TEST_SUITE_P(
    Options, SoundOptionValues,
    testing::Values(Reading{"NoneGiven", {"x.dat", "-u", "50"}, "", LIN, 0, S16},
                    Reading{"AllThree",
                            {"--resampler", "sinc", "--speedup", "49", "--format", "f32", "x.dat"},
                            "",
                            SINC,
                            49,
                            F32},
                    Reading{"AttachedValues",
                            {"--resampler=linear", "--speedup=2.5", "--format=s24"},
                            "",
                            LIN,
                            2.5,
                            S24},
                    Reading{"OneDash", {"-format", "s24"}, "", LIN, 0, S24},
                    Reading{"UnknownFormat",
                            {"--format", "s8"},
                            "Error: unknown sample format 's8' (s16, s24 or f32)\n"},
                    Reading{"FormatIsCaseSensitive",
                            {"--format", "F32"},
                            "Error: unknown sample format 'F32' (s16, s24 or f32)\n"},
                    Reading{"UnknownResampler",
                            {"--resampler", "cubic"},
                            "Error: unknown resampler 'cubic' (linear or sinc)\n"},
                    Reading{"SpeedupNotANumber",
                            {"--speedup", "abc"},
                            "Error: speed-up must be a positive number (--speedup abc)\n"},
                    Reading{"SpeedupNegative",
                            {"--speedup", "-2"},
                            "Error: speed-up must be a positive number (--speedup -2)\n"},
                    Reading{"SpeedupZero",
                            {"--speedup=0"},
                            "Error: speed-up must be a positive number (--speedup 0)\n"},
                    Reading{"SpeedupTrailingText",
                            {"--speedup", "49x"},
                            "Error: speed-up must be a positive number (--speedup 49x)\n"},
                    Reading{"SpeedupInfinite",
                            {"--speedup", "1e999"},
                            "Error: speed-up must be a positive number (--speedup 1e999)\n"},
                    Reading{"SpeedupNan",
                            {"--speedup", "nan"},
                            "Error: speed-up must be a positive number (--speedup nan)\n"},
                    Reading{"FormatLast", {"x.dat", "--format"}, "Error: --format needs a value\n"},
                    Reading{"SpeedupBeforeUpsampling",
                            {"--speedup=49", "-u=0"},
                            "Error: give -u or --speedup, not both\n"},
                    Reading{"SpeedupLast", {"--speedup"}, "Error: --speedup needs a value\n"}),
    [](const testing::TestParamInfo<Reading>& i) { return std::string(i.param.name); });

// The window options read into Options::window, the refusals of those that
// do not go together, and which command lines let an output outgrow a WAV
// file as RF64 (any long option, with any number of dashes).
struct WindowReading {
    const char* name;
    std::vector<std::string> words;
    std::string error;
    bool rf64;
    TimeWindow window = {};
};

class WindowOptionValues : public testing::TestWithParam<WindowReading> {};

TEST_P(WindowOptionValues, ReadsOrRefuses)
{
    const WindowReading& p = GetParam();
    Args args(p.words);
    const cli::CommandLine cl = cli::read_options(args.argc(), args.argv());
    EXPECT_EQ(cl.refusal, p.error);
    EXPECT_EQ(cl.options.allow_rf64, p.rf64);
    const TimeWindow& w = cl.options.window;
    EXPECT_EQ(w.given, p.window.given);
    EXPECT_EQ(w.archive, p.window.archive);
    EXPECT_EQ(w.station, p.window.station);
    EXPECT_EQ(w.from, p.window.from);
    EXPECT_EQ(w.to, p.window.to);
}

const std::int64_t MAR15_06 = 1394863200;  // 2014-03-15T06:00:00Z

INSTANTIATE_TEST_SUITE_P(
    Options, WindowOptionValues,
    testing::Values(
        WindowReading{"ClassicOnly", {"-c", "-u", "50", "-r", "1", "x.dat"}, "", false},
        WindowReading{"FormatAsDefault", {"--format", "s16", "x.dat"}, "", true},
        WindowReading{"ThreadsZero", {"--threads", "0", "x.dat"}, "", true},
        WindowReading{"TimelineOneDash", {"-timeline", "x.dat"}, "", true},
        WindowReading{"GapsAttached", {"x.dat", "--gaps=join"}, "", true},
        WindowReading{"FileNamedLikeAnOption", {"timeline"}, "", false},
        WindowReading{"Archive",
                      {"--archive", "/data", "--station", "k", "--from", "2014-03-15T06:00:00Z",
                       "--duration", "72h", "-u", "50"},
                      "",
                      true,
                      {true, "/data", 'k', MAR15_06, MAR15_06 + 72 * 3600}},
        WindowReading{"FilesTrimmed",
                      {"x.dat", "--from=2014-03-15T06:00", "--to=2014-03-15T07:00"},
                      "",
                      true,
                      {true, "", 0, MAR15_06, MAR15_06 + 3600}},
        WindowReading{"ArchiveWithFiles",
                      {"--archive", "/data", "--station", "k", "--from", "2014-03-15", "--to",
                       "2014-03-16", "x.dat"},
                      "Error: --archive finds its files itself; name no files with it\n",
                      true},
        WindowReading{"BackwardWindow",
                      {"x.dat", "--from", "2014-03-15T06:00:00Z", "--to", "2014-03-15"},
                      "Error: --from must be before --to\n",
                      true},
        WindowReading{"BadTime",
                      {"x.dat", "--from", "2014-03-15 06:00", "--duration", "1h"},
                      "Error: cannot read the time \"2014-03-15 06:00\" (use "
                      "2014-03-15T06:00:00Z)\n",
                      true},
        WindowReading{"StationAlone",
                      {"--station", "k", "x.dat"},
                      "Error: --station goes with --archive\n",
                      true},
        WindowReading{"ArchiveWithoutFrom",
                      {"--archive", "/data", "--station", "k", "--to", "2014-03-16"},
                      "Error: --archive needs --station and --from\n",
                      true},
        WindowReading{
            "FromWithoutValue", {"x.dat", "--from"}, "Error: --from needs a value\n", true},
        WindowReading{"SoundRefusedFirst",
                      {"--format", "s8", "x.dat", "--from", "2014-03-16", "--to", "2014-03-15"},
                      "Error: unknown sample format 's8' (s16, s24 or f32)\n",
                      true}),
    [](const testing::TestParamInfo<WindowReading>& i) { return std::string(i.param.name); });

TEST(SoundOptions, SpeedupAndUpsamplingExcludeEachOther)
{
    Args u({"-u", "50"}), s({"--speedup", "49"}), both({"--speedup", "49", "-u", "50"});
    EXPECT_EQ(cli::read_options(u.argc(), u.argv()).refusal, "");
    EXPECT_EQ(cli::read_options(s.argc(), s.argv()).refusal, "");
    EXPECT_EQ(cli::read_options(both.argc(), both.argv()).refusal,
              "Error: give -u or --speedup, not both\n");
    Options o;
    o.upsample_given = true;
    EXPECT_EQ(check(o), "");
    o.speedup = 49;
    EXPECT_EQ(check(o), "Error: give -u or --speedup, not both\n");
}

// tavoinfo's --audio: tavo2wav's options as words of one string.
struct Words {
    const char* name;
    const char* text;
    std::string want;  // the refusal, or "u rate c resampler speedup format gaps timeline threads"
    std::string notices = "";
};

class OptionWordsRead : public testing::TestWithParam<Words> {};

TEST_P(OptionWordsRead, AsTavo2wavReadsThem)
{
    const cli::OptionWords w = cli::read_option_words(GetParam().text);
    const Options& o = w.options;
    std::ostringstream got;
    got << o.upsample << " " << o.rate << " " << o.combine << " "
        << (o.resampler == SINC ? "sinc" : "linear") << " " << o.speedup << " "
        << static_cast<int>(o.format) << " " << (o.gaps == Gaps::SILENCE ? "silence" : "join")
        << " " << o.timeline << " " << o.threads;
    EXPECT_EQ(w.refusal.empty() ? got.str() : w.refusal, GetParam().want);
    std::string notices;
    for (const std::string& n : w.notices)
        notices += n;
    EXPECT_EQ(notices, GetParam().notices);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, OptionWordsRead,
    testing::Values(
        Words{"Listening", "-u 50 -r 1", "50 44100 0 linear 0 0 join 0 0"},
        Words{"AttachedAndCombined", " --u=0x10  -c ---r=22050 ", "16 22050 1 linear 0 0 join 0 0"},
        Words{"EveryLongOption",
              "-c --resampler sinc --speedup 49 -r 1 --gaps silence --format f32 --timeline "
              "--threads 2",
              "4 44100 1 sinc 49 2 silence 1 2"},
        Words{"UnknownRateSaid", "-r 9", "4 4000 0 linear 0 0 join 0 0",
              "Unknown rate: 9. Using default: 4000.\n"},
        Words{"WordNoOptionTook", "-u 50 fast -q", "Error: 'fast' is not a tavo2wav option\n"},
        Words{"SingleDashUnknown", "-u 50 -q", "Error: '-q' is not a tavo2wav option\n"},
        Words{"MisspeltLongOption", "--resampeler sinc",
              "Error: unknown option --resampeler (did you mean --resampler?)\n"},
        Words{"WholeNumberFirst", "--resampeler sinc -u fifty",
              "Error: -u needs a whole number, not \"fifty\"\n"},
        Words{"LongOptionValue", "--gaps none",
              "Error: --gaps needs join or silence, not \"none\"\n"},
        Words{"NegativeFactor", "-u -3", "Error: upsampling factor must not be negative (-u -3)\n"},
        Words{"FlagWithValue", "-c=1", "Error: '-c=1' is not a tavo2wav option\n"}),
    [](const testing::TestParamInfo<Words>& i) { return std::string(i.param.name); });

// The marks of the command line read before are forgotten, even when the
// words are as many as its arguments.
TEST(OptionWords, ReadAfterACommandLineOfTheSameLength)
{
    Args before({"-u", "7"});
    ASSERT_EQ(cli::read_options(before.argc(), before.argv()).options.upsample, 7);
    const cli::OptionWords w = cli::read_option_words("-c x");
    EXPECT_EQ(w.refusal, "Error: 'x' is not a tavo2wav option\n");
    EXPECT_TRUE(w.options.combine);
}

// -r: a code of the table, one of its rates in hertz, or else the default
// and a notice.
TEST(RateTable, CodesRatesAndTheRest)
{
    const unsigned long by_code[] = {48000, 44100, 22050, 11025, 8000, 7333, 6000, 5500, 4000};
    for (unsigned long code = 0; code < 9; code++)
        EXPECT_EQ(rate_of_code(code).rate, by_code[code]) << code;
    for (unsigned long hz : {18, 4000, 5500, 6000, 7333, 8000, 11025, 22050, 44100, 48000}) {
        EXPECT_EQ(rate_of_code(hz).rate, hz);
        EXPECT_EQ(rate_of_code(hz).notice, "");
    }
    for (unsigned long other : {9, 17, 44101}) {
        EXPECT_EQ(rate_of_code(other).rate, 4000u);
        EXPECT_EQ(rate_of_code(other).notice,
                  "Unknown rate: " + std::to_string(other) + ". Using default: 4000.\n");
    }
}

struct Speedup {
    const char* name;
    unsigned long rate;
    double frequency, speedup;
    double ratio;
    int whole;  // the linear resampler's U, 0 when refused
    std::string error = "";
};

class SpeedupArithmetic : public testing::TestWithParam<Speedup> {};

TEST_P(SpeedupArithmetic, GivesRatioAndWholeFactor)
{
    const Speedup& p = GetParam();
    const double ratio = speedup_ratio(p.rate, p.frequency, p.speedup);
    EXPECT_NEAR(ratio, p.ratio, 1e-9 * p.ratio);
    EXPECT_EQ(whole_upsampling(ratio), p.whole);
    if (p.whole == 0) {
        EXPECT_EQ(whole_upsampling_error(p.speedup, ratio), p.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Speedups, SpeedupArithmetic,
    testing::Values(
        Speedup{"Listening49", 44100, 18, 49, 50, 50},
        Speedup{"InexactSpeedupNearWhole", 4000, 18, 4000.0 / 162, 9, 9},
        Speedup{"SlowerGivesMore", 48000, 18, 16, 48000.0 / 288, 0,
                "Error: speed-up 16 needs a whole upsampling factor with the linear resampler "
                "(U = 166.667); use --resampler sinc\n"},
        Speedup{"FractionalSpeedup", 44100, 18, 48.5, 44100 / (18 * 48.5), 0,
                "Error: speed-up 48.5 needs a whole upsampling factor with the linear resampler "
                "(U = 50.515); use --resampler sinc\n"},
        Speedup{"OneIsWhole", 18, 18, 1, 1, 1},
        Speedup{"BelowOneRefused", 4000, 18, 1000, 4000 / 18000.0, 0,
                "Error: speed-up 1000 needs a whole upsampling factor with the linear resampler "
                "(U = 0.222); use --resampler sinc\n"},
        Speedup{"NearlyWholeRefused", 44100, 18, 49.001, 44100 / (18 * 49.001), 0,
                "Error: speed-up 49.001 needs a whole upsampling factor with the linear resampler "
                "(U = 49.999); use --resampler sinc\n"}),
    [](const testing::TestParamInfo<Speedup>& i) { return std::string(i.param.name); });

// The largest speed-up still makes one frame of the input, the next number
// above it none (the refusal names it when a speed-up leaves no sound).
TEST(SpeedupLeavingNoSound, LargestIsTheEdgeOfOneFrame)
{
    for (const auto& [samples, frequency, rate] :
         std::initializer_list<std::tuple<long, double, unsigned long>>{
             {4096, 18, 44100}, {194560, 18, 44100}, {1, 18, 4000}, {3, 7.3, 48000}}) {
        const double s = largest_speedup(samples, frequency, rate);
        EXPECT_EQ(dsp::SincStream::output_frames(samples, frequency * s, rate), 1u) << samples;
        EXPECT_EQ(
            dsp::SincStream::output_frames(samples, frequency * std::nextafter(s, INFINITY), rate),
            0u)
            << samples;
    }
    Options o;
    o.speedup = 1e9;
    EXPECT_EQ(no_sound_error(o, largest_speedup(194560, 18, 44100)),
              "Error: speed-up 1e+09 leaves no sound (0 frames); the largest for this input is "
              "9.53344e+08\n");
}

}  // namespace
