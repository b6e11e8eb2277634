// tavo2wav's options read from a command line and from one string (tavoinfo's --audio): the
// values or the refusal; the rate table; the speed-up arithmetic. Their effects: tests/cases.
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

#include "rows.h"

namespace {

using namespace tavo;
using namespace tavo::engine;

// "u rate combine resampler speedup format gaps timeline threads", then " rf64" when an
// output may outgrow a WAV file, " stereo" or " six", and " window ROOT STATION FROM TO".
std::string digest(const Options& o)
{
    const char* const layouts[] = {"", " stereo", " six"};
    std::ostringstream s;
    s << o.upsample << " " << o.rate << " " << o.combine << " "
      << (o.resampler == Resampler::SINC ? "sinc" : "linear") << " " << o.speedup << " "
      << static_cast<int>(o.format) << " " << (o.gaps == Gaps::SILENCE ? "silence" : "join") << " "
      << o.timeline << " " << o.threads << (o.allow_rf64 ? " rf64" : "")
      << layouts[static_cast<int>(o.layout)];
    if (o.window.given)
        s << " window " << o.window.archive << " " << (o.window.station ? o.window.station : '-')
          << " " << o.window.from << " " << o.window.to;
    return s.str();
}

// A command line read as tavo2wav's main reads it: its refusal (unknown long options too).
std::string command_line(const std::string& text)
{
    std::vector<std::string> words = {"tavo2wav"};
    std::istringstream in(text);
    for (std::string w; in >> w;)
        words.push_back(w);
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    reset_argument_marks();
    const int argc = static_cast<int>(argv.size());
    const cli::CommandLine cl = cli::read_options(argc, argv.data());
    const std::string refusal = cli::converter_refusal(argc, argv.data(), cl);
    return refusal.empty() ? digest(cl.options) : refusal;
}

struct Reading {
    const char* name;
    bool words;  // read_option_words, else a command line
    const char* text;
    std::string want;  // the digest or the refusal
    std::string notices = "";
};

class OptionTable : public testing::TestWithParam<Reading> {};

TEST_P(OptionTable, ReadsOrRefuses)
{
    const Reading& p = GetParam();
    if (!p.words) {
        EXPECT_EQ(command_line(p.text), p.want);
        return;
    }
    const cli::OptionWords w = cli::read_option_words(p.text);
    EXPECT_EQ(w.refusal.empty() ? digest(w.options) : w.refusal, p.want);
    std::string notices;
    for (const std::string& n : w.notices)
        notices += n;
    EXPECT_EQ(notices, p.notices);
}

const std::string SPEEDUP = "Error: speed-up must be a positive number (--speedup ";
const std::string FORMAT = "Error: unknown sample format '",
                  S8 = FORMAT + "s8' (s16, s24 or f32)\n";
const std::string THREADS = "Error: --threads needs a whole number from 0 to 256, not \"";
const std::int64_t MAR15_06 = 1394863200;  // 2014-03-15T06:00:00Z
const std::string WINDOW_6_TO_7 =
    " window  - " + std::to_string(MAR15_06) + " " + std::to_string(MAR15_06 + 3600);
const std::string ARCHIVE_72H =
    " window /data k " + std::to_string(MAR15_06) + " " + std::to_string(MAR15_06 + 72 * 3600);

// clang-format off
const Reading readings[] = {
    // The sound's long options and their refusals.
    {"NoneGiven", false, "x.dat -u 50", "50 4000 0 linear 0 0 join 0 0"},
    {"AllThree", false, "--resampler sinc --speedup 49 --format f32 x.dat",
     "4 4000 0 sinc 49 2 join 0 0 rf64"},
    {"AttachedValues", false, "--resampler=linear --speedup=2.5 --format=s24",
     "4 4000 0 linear 2.5 1 join 0 0 rf64"},
    {"OneDash", false, "-format s24", "4 4000 0 linear 0 1 join 0 0 rf64"},
    {"UnknownFormat", false, "--format s8", S8},
    {"FormatIsCaseSensitive", false, "--format F32", FORMAT + "F32' (s16, s24 or f32)\n"},
    {"UnknownResampler", false, "--resampler cubic",
     "Error: unknown resampler 'cubic' (linear or sinc)\n"},
    {"SpeedupNotANumber", false, "--speedup abc", SPEEDUP + "abc)\n"},
    {"SpeedupNegative", false, "--speedup -2", SPEEDUP + "-2)\n"},
    {"SpeedupZero", false, "--speedup=0", SPEEDUP + "0)\n"},
    {"SpeedupTrailingText", false, "--speedup 49x", SPEEDUP + "49x)\n"},
    {"SpeedupInfinite", false, "--speedup 1e999", SPEEDUP + "1e999)\n"},
    {"SpeedupNan", false, "--speedup nan", SPEEDUP + "nan)\n"},
    {"FormatLast", false, "x.dat --format", "Error: --format needs a value\n"},
    {"SpeedupBeforeUpsampling", false, "--speedup=49 -u=0",
     "Error: give -u or --speedup, not both\n"},
    {"SpeedupLast", false, "--speedup", "Error: --speedup needs a value\n"},
    {"GapPolicy", false, "--gaps zero x.dat",
     "Error: --gaps needs join or silence, not \"zero\"\n"},
    {"ThreadsMost", false, "--threads=256 x.dat", "4 4000 0 linear 0 0 join 0 256 rf64"},
    {"ThreadsWord", false, "--threads two", THREADS + "two\"\n"},
    {"ThreadsNegative", false, "--threads=-1", THREADS + "-1\"\n"},
    {"ThreadsTooMany", false, "--threads 257", THREADS + "257\"\n"},
    // The classic options: numbers in any base, the layouts' order, refusals in their order.
    {"SignedOctalAndHex", false, "-u +010 -r=0X1 -z -0 x.dat", "8 44100 0 linear 0 0 join 0 0"},
    {"SixWinsOverMono", false, "-s -m -6 x.dat", "4 4000 0 linear 0 0 join 0 0 six"},
    {"MonoWinsOverStereo", false, "-s -m x.dat", "4 4000 0 linear 0 0 join 0 0"},
    {"Stereo", false, "-s x.dat", "4 4000 0 linear 0 0 join 0 0 stereo"},
    {"FirstBadValueInLineOrder", false, "-z=0x --r 44.1k -u 5x x.dat",
     "Error: -z needs a whole number, not \"0x\"\n"},
    {"EmptyValue", false, "x.dat -r=", "Error: -r needs a whole number, not \"\"\n"},
    {"WholeNumberBeforeUnknownOption", false, "--gaps hole --colour -u 5x x.dat",
     "Error: -u needs a whole number, not \"5x\"\n"},
    {"UnknownOptionBeforeValue", false, "--gaps hole --colour x.dat",
     "Error: unknown option --colour\n"},
    // RF64 is allowed by any long option, with any number of dashes, and the window options.
    {"ClassicOnly", false, "-c -u 50 -r 1 x.dat", "50 44100 1 linear 0 0 join 0 0"},
    {"FormatAsDefault", false, "--format s16 x.dat", "4 4000 0 linear 0 0 join 0 0 rf64"},
    {"ThreadsZero", false, "--threads 0 x.dat", "4 4000 0 linear 0 0 join 0 0 rf64"},
    {"TimelineOneDash", false, "-timeline x.dat", "4 4000 0 linear 0 0 join 1 0 rf64"},
    {"GapsAttached", false, "x.dat --gaps=join", "4 4000 0 linear 0 0 join 0 0 rf64"},
    {"FileNamedLikeAnOption", false, "timeline", "4 4000 0 linear 0 0 join 0 0"},
    {"Archive", false,
     "--archive /data --station k --from 2014-03-15T06:00:00Z --duration 72h -u 50",
     "50 4000 0 linear 0 0 join 0 0 rf64" + ARCHIVE_72H},
    {"FilesTrimmed", false, "x.dat --from=2014-03-15T06:00 --to=2014-03-15T07:00",
     "4 4000 0 linear 0 0 join 0 0 rf64" + WINDOW_6_TO_7},
    // The window's refusals are tests/archive's; named files are the command line's to refuse.
    {"ArchiveWithFiles", false,
     "--archive /data --station k --from 2014-03-15 --to 2014-03-16 x.dat",
     "Error: --archive finds its files itself; name no files with it\n"},
    {"FromWithoutValue", false, "x.dat --from", "Error: --from needs a value\n"},
    {"SoundRefusedFirst", false, "--format s8 x.dat --from 2014-03-16 --to 2014-03-15", S8},
    // Words of one string: every option, and the refusals in their order.
    {"Listening", true, "-u 50 -r 1", "50 44100 0 linear 0 0 join 0 0"},
    {"AttachedAndCombined", true, " --u=0x10  -c ---r=22050 ", "16 22050 1 linear 0 0 join 0 0"},
    {"EveryLongOption", true,
     "-c --resampler sinc --speedup 49 -r 1 --gaps silence --format f32 --timeline --threads 2",
     "4 44100 1 sinc 49 2 silence 1 2 rf64"},
    {"UnknownRateSaid", true, "-r 9", "4 4000 0 linear 0 0 join 0 0",
     "Unknown rate: 9. Using default: 4000.\n"},
    {"WordNoOptionTook", true, "-u 50 fast -q", "Error: 'fast' is not a tavo2wav option\n"},
    {"SingleDashUnknown", true, "-u 50 -q", "Error: '-q' is not a tavo2wav option\n"},
    {"MisspeltLongOption", true, "--resampeler sinc",
     "Error: unknown option --resampeler (did you mean --resampler?)\n"},
    {"WholeNumberFirst", true, "--resampeler sinc -u fifty",
     "Error: -u needs a whole number, not \"fifty\"\n"},
    {"LongOptionValue", true, "--gaps none", "Error: --gaps needs join or silence, not \"none\"\n"},
    {"NegativeFactor", true, "-u -3", "Error: upsampling factor must not be negative (-u -3)\n"},
    {"FlagWithValue", true, "-c=1", "Error: '-c=1' is not a tavo2wav option\n"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Options, OptionTable, testing::ValuesIn(readings), tavo_test::RowName());

// The marks of the command line read before are forgotten, even for as many words.
TEST(OptionWords, ReadAfterACommandLineOfTheSameLength)
{
    ASSERT_EQ(command_line("-u 7"), "7 4000 0 linear 0 0 join 0 0");
    const cli::OptionWords w = cli::read_option_words("-c x");
    EXPECT_EQ(w.refusal, "Error: 'x' is not a tavo2wav option\n");
    EXPECT_TRUE(w.options.combine);
}

// -r: a code of the table, one of its rates in hertz, or else the default and a notice.
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
    double frequency, speedup, ratio;
    int whole;  // the linear resampler's U, 0 when refused, then the refusal's U
    const char* shown = "";
};

class SpeedupArithmetic : public testing::TestWithParam<Speedup> {};

TEST_P(SpeedupArithmetic, GivesRatioAndWholeFactor)
{
    const Speedup& p = GetParam();
    const double ratio = speedup_ratio(p.rate, p.frequency, p.speedup);
    EXPECT_NEAR(ratio, p.ratio, 1e-9 * p.ratio);
    EXPECT_EQ(whole_upsampling(ratio), p.whole);
    if (p.whole)
        return;
    std::ostringstream want;
    want << "Error: speed-up " << p.speedup << " needs a whole upsampling factor with the linear "
         << "resampler (U = " << p.shown << "); use --resampler sinc\n";
    EXPECT_EQ(whole_upsampling_error(p.speedup, ratio), want.str());
}

const Speedup speedups[] = {
    {"Listening49", 44100, 18, 49, 50, 50},
    {"InexactSpeedupNearWhole", 4000, 18, 4000.0 / 162, 9, 9},
    {"SlowerGivesMore", 48000, 18, 16, 48000.0 / 288, 0, "166.667"},
    {"FractionalSpeedup", 44100, 18, 48.5, 44100 / (18 * 48.5), 0, "50.515"},
    {"OneIsWhole", 18, 18, 1, 1, 1},
    {"BelowOneRefused", 4000, 18, 1000, 4000 / 18000.0, 0, "0.222"},
    {"NearlyWholeRefused", 44100, 18, 49.001, 44100 / (18 * 49.001), 0, "49.999"},
};

INSTANTIATE_TEST_SUITE_P(Speedups, SpeedupArithmetic, testing::ValuesIn(speedups),
                         tavo_test::RowName());

// The largest speed-up still makes one frame, the next number none (its refusal: convert_test).
TEST(SpeedupLeavingNoSound, LargestIsTheEdgeOfOneFrame)
{
    for (const auto& [samples, frequency, rate] :
         std::initializer_list<std::tuple<long, double, unsigned long>>{
             {4096, 18, 44100}, {194560, 18, 44100}, {1, 18, 4000}, {3, 7.3, 48000}}) {
        const double s = largest_speedup(samples, frequency, rate);
        EXPECT_EQ(dsp::SincStream::output_frames(samples, frequency * s, rate), 1u) << samples;
        const double next = std::nextafter(s, INFINITY);
        EXPECT_EQ(dsp::SincStream::output_frames(samples, frequency * next, rate), 0u) << samples;
    }
}

}  // namespace
