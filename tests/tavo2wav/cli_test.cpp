// End-to-end runs of the built tavo2wav, each in a fresh temporary directory
// on data files made by the test-support writer: exit status, standard output
// and standard error are compared byte for byte, and the WAV files left
// behind are read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <set>

#include "libkemra.h"
#include "run_process.h"
#include "stages.h"
#include "tavo_writer.h"

namespace {

namespace fs = std::filesystem;
using Values = std::vector<double>;
using Channels = std::array<Values, 3>;

const std::string BIN = TAVO2WAV_BIN, X = "x4010100.dat", Y = "y5020200.dat";

std::string header(size_t length)
{
    return tavo_test::form3_header('S', static_cast<int>(length), "18", 1, 'k');
}

struct Input {
    std::string name, bytes;  // a name ending in '/' is made as a directory
};

// Records of `length` samples cut from the channels. Record r is stamped
// r * 7 (128 samples) or r * 28 (512) seconds, so that at 18 Hz no time gap
// shows, plus five minutes for every `gap_every` records before it.
Input file(const std::string &name, const Channels &ch, size_t length = 128,
           size_t gap_every = INT_MAX, bool text = false)
{
    tavo_test::Recording rec;
    rec.header = header(length);
    rec.length = length;
    for (size_t r = 0; r * length < ch[0].size(); r++) {
        const long t = static_cast<long>(r * (length / 18) + r / gap_every * 300);
        tavo_test::Record one;
        one.time = {t / 60, t % 60};
        for (int c = 0; c < 3; c++)
            one.channels[c].assign(ch[c].begin() + r * length, ch[c].begin() + (r + 1) * length);
        rec.records.push_back(one);
    }
    return {name, text ? tavo_test::text_bytes(rec) : tavo_test::binary_bytes(rec)};
}

// Square waves of peaks 10, 20 and 30 (mean 0), `records` records of 128.
Channels squares(size_t records = 1)
{
    Channels ch;
    for (int c = 0; c < 3; c++)
        for (size_t j = 0; j < 128 * records; j++)
            ch[c].push_back(j % 2 ? 10.0 * (c + 1) : -10.0 * (c + 1));
    return ch;
}

// The values given, then `fill` up to n.
Values head(Values first, size_t n = 128, double fill = 0)
{
    first.resize(n, fill);
    return first;
}

// What the reader library prints while opening a file: the header echo of
// detection, path and base name twice (day and hour), the "File:" line and
// the reader's header echo.
std::string opened(const std::string &name, const std::string &type = "binary", size_t length = 128)
{
    std::string base = name.substr(name.rfind('/') + 1);
    base = base.substr(0, base.rfind('.'));
    const std::string echo = "valid_comment_type3: " + header(length) + "\n";
    return echo + name + "\n" + base + "\n" + name + "\n" + base + "\nFile: " + name + " Type:" +
           type + "\n" + echo;
}

std::string start(const std::string &mode, const std::string &rate = "4000", bool combining = false)
{
    return "mode:" + mode + "\n" + (combining ? "Combining\n" : "") + "Rate: " + rate + "\n";
}

const std::string M = start("mono"), S = start("stereo"), C = start("mono", "4000", true);
const std::string OFFSET = "Removing offset done\n", FILTERING = "Filtering...done.\n";
const std::string SCALED = OFFSET + "Scaling 128...done\n", UP4 = "Resampling 4 ...done\n";
const std::string DEFAULTS = SCALED + UP4 + FILTERING, NO_FILES = "Error: No files given\n\n";

std::string clipped(long n)
{
    return "Warning: " + std::to_string(n) + " samples clipped\n";
}

std::string usage(const std::string &name = "tavo2wav", int upsample = 4, unsigned long rate = 4000)
{
    return std::string(Version) + "\n\nUsage:" + name +
           " <file.ext> [-c][-s][-r#]\n\t-c         Combine files to one wav-file.\n\t-m    "
           "     Mono\n\t-s         Stereo\n\t-6         6 channel wav\n\t-f         Filter off."
           "\n\t-o         No offsetreduction.\n\t-u #       Upsampling, default=" +
           std::to_string(upsample) + ".\n\t-r #       Sample rate (" + std::to_string(rate) +
           " Hz).\n\t           0 = 48000 Hz\n\t           1 = 44100 Hz\n\t           2 = 22050 "
           "Hz\n\t           3 = 11025 Hz\n\t           4 =  8000 Hz\n\t           5 =  7333 Hz\n"
           "\t           6 =  6000 Hz\n\t           7 =  5500 Hz\n\t           8 =  4000 Hz\n\t-z "
           "#       Scale amplitude (default: automatic scaling).\n\t-where     show where the "
           "program is.\n\n\tGood defaults for -u & -r are '-u 50' & '-r 1' which will resample\n"
           "\tand produce a WAV-file which will play at 49 times the original.\n\n" +
           Copyright + "\n" + Bugs + "\n";
}

// An output file as expected: its size, and the interleaved samples that
// follow from sample `skip` on.
struct Wav {
    std::string name;
    unsigned channels;
    unsigned long frames;
    Values samples = {};
    size_t skip = 0;
};

// The three files of a layout: letters "abc" (mono) or "def" (stereo), then `rest`.
std::vector<Wav> three(const std::string &letters, const std::string &rest, unsigned long frames,
                       std::vector<Values> samples = {})
{
    std::vector<Wav> w;
    samples.resize(3);
    for (int i = 0; i < 3; i++)
        w.push_back({letters.substr(i, 1) + rest + ".wav", letters == "abc" ? 1u : 2u, frames,
                     samples[i]});
    return w;
}

std::string writing(const std::vector<Wav> &wavs)
{
    std::string s;
    for (const Wav &w : wavs)
        s += "writing: " + w.name + " done\n";
    return s;
}

// The WAV files in dir are those expected, of the expected sizes and samples.
void check_wavs(const std::string &dir, const std::vector<Wav> &want)
{
    std::set<std::string> names, expected;
    for (const fs::directory_entry &e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == ".wav")
            names.insert(e.path().filename().string());
    for (const Wav &w : want)
        expected.insert(w.name);
    ASSERT_EQ(names, expected);
    for (const Wav &w : want) {
        const std::string b = tavo_test::read_bytes(dir + "/" + w.name);
        EXPECT_EQ(b.size(), 44 + w.frames * 2 * w.channels) << w.name;
        Values got;
        for (size_t at = 44 + 2 * w.skip; at + 1 < b.size() && got.size() < w.samples.size(); at += 2)
            got.push_back(static_cast<int16_t>(static_cast<uint8_t>(b[at]) | b[at + 1] << 8));
        EXPECT_EQ(got, w.samples) << w.name;
    }
}

RunResult run_in(const std::string &dir, const std::vector<std::string> &argv,
                 unsigned long max_files = 0)
{
    RunOptions options;
    options.program = BIN;
    options.env = {"TZ=UTC"};
    options.max_files = max_files;
    return run_process(argv, dir, options);
}

struct Case {
    std::string label;
    std::vector<Input> inputs;
    std::vector<std::string> args;
    int status;
    std::string out, err;   // a run that converts also prints writing(wavs)
    std::vector<Wav> wavs = {};  // every WAV file the run leaves
    unsigned long max_files = 0;
    bool logged = true;
    std::string argv0 = BIN;
};

class Run : public testing::TestWithParam<Case> {};

TEST_P(Run, PrintsExactlyAndLeavesTheFiles)
{
    const Case &c = GetParam();
    tavo_test::TempDir dir;
    for (const Input &in : c.inputs) {
        fs::create_directories(fs::path(dir.file(in.name)).parent_path());
        if (in.name.back() != '/')
            tavo_test::write_bytes(dir.file(in.name), in.bytes);
    }
    std::vector<std::string> argv = c.args;
    argv.insert(argv.begin(), c.argv0);
    const RunResult r = run_in(dir.path(), argv, c.max_files);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out + (c.status == 0 ? writing(c.wavs) : ""));
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(fs::exists(dir.file("logfile")), c.logged);
    check_wavs(dir.path(), c.wavs);
}

std::string label(const testing::TestParamInfo<Case> &i)
{
    return i.param.label;
}

const Input x = file(X, squares()), y = file(Y, squares());
const std::vector<Wav> ABC = three("abc", "4010100", 512), ABC128 = three("abc", "4010100", 128);
const std::vector<Wav> DEF = three("def", "4010100", 512), SIX = {{"6chx4010100.wav", 6, 512}};
// The header and two of the three blocks of a record: recognised, yet no
// record is delivered.
const Input NO_RECORDS{X, x.bytes.substr(0, x.bytes.size() - 260)};

std::vector<Case> layouts_names_options()
{
    const std::string n251(251, 'n'), gz = "./2014/03/20140315/k4031516.dat.gz";
    const std::vector<Wav> abc = three("abc", "", 512), gz_abc = three("abc", "4031516.dat", 512);
    tavo_test::TempDir tmp;
    tavo_test::write_bytes(tmp.file("x"), x.bytes);
    tavo_test::gzip_copy(tmp.file("x"), tmp.file("x.gz"));
    return {
        {"MonoByDefault", {x}, {X}, 0, M + DEFAULTS, opened(X), ABC},
        {"StereoPairs", {x}, {"-s", X}, 0, S + DEFAULTS, opened(X), DEF},
        {"SixChannels", {x}, {"-6", X}, 0, S + DEFAULTS, opened(X), SIX},
        {"MonoWinsOverStereo", {x}, {"-m", "-s", X}, 0, M + DEFAULTS, opened(X), ABC},
        {"SixWinsOverStereo", {x}, {"-s", "-6", X}, 0, S + DEFAULTS, opened(X), SIX},
        {"OneCharacterBaseName", {file("x.dat", squares())}, {"x.dat"}, 0, M + DEFAULTS, opened("x.dat"), abc},
        {"EmptyBaseName", {file(".dat", squares())}, {".dat"}, 0, M + DEFAULTS, opened(".dat"), abc},
        {"LongestOutputName", {file(n251, squares())}, {n251, "-u", "0"}, 0, M + SCALED + FILTERING,
         opened(n251), three("abc", n251.substr(1), 128)},
        {"GzipFileUnderDatedPath", {{gz, tavo_test::read_bytes(tmp.file("x.gz"))}}, {gz}, 0,
         M + DEFAULTS, opened(gz), gz_abc},
        {"RecordsOf512", {file(X, squares(4), 512)}, {X}, 0, M + DEFAULTS, opened(X, "binary", 512),
         three("abc", "4010100", 2048)},
        // Without -c the second name is never opened, so it need not exist.
        {"OnlyFirstFileWithoutCombine", {x}, {X, "missing.dat"}, 0, M + DEFAULTS, opened(X), ABC},
        {"CombineAppendsSecondFile", {x, y}, {"-c", X, Y}, 0, C + DEFAULTS, opened(X) + opened(Y),
         three("abc", "4010100", 1024)},
        {"OptionsBetweenAndAfterFiles", {x, y}, {X, "-s", Y, "-c", "-u", "0"}, 0,
         start("stereo", "4000", true) + SCALED + FILTERING, opened(X) + opened(Y),
         three("def", "4010100", 256)},
        {"ValuesAttachedWithEquals", {x}, {"--u=1", "-z=1", X, "-r=2"}, 0,
         start("mono", "22050") + OFFSET + "Resampling 1 ...done\n" + FILTERING, opened(X), ABC128},
        {"ZeroFactorKeepsAutomaticScaling", {x}, {"-z", "0", "-o", X}, 0,
         M + "Scaling 128...done\n" + UP4 + FILTERING, opened(X), ABC},
        {"FlagGivenTwice", {x, y}, {"-c", X, "-c", Y}, 0, C + DEFAULTS,
         "Unknown option: -c\n" + opened(X) + opened(Y), three("abc", "4010100", 1024)},
        {"UnknownRateBeforeUnknownOption", {x}, {"-r", "9", X, "-x"}, 0, M + DEFAULTS,
         "Unknown rate: 9. Using default: 4000.\nUnknown option: -x\n" + opened(X), ABC},
    };
}

INSTANTIATE_TEST_SUITE_P(LayoutsNamesOptions, Run, testing::ValuesIn(layouts_names_options()), label);

std::vector<Case> help_where_rates()
{
    std::vector<Case> v = {
        {"NameAfterLastBackslash", {}, {"-h"}, 0, usage("t2w.exe"), "", {}, 0, false, "C:\\b/x\\t2w.exe"},
        {"BareName", {}, {}, 0, usage("t2w"), "", {}, 0, false, "t2w"},
        // -where is asked right after the help options.
        {"WherePrintsExecutablePath", {}, {"-q", "-where", "none.dat"}, 0,
         fs::canonical(BIN).string() + "\n", "", {}, 0, false},
    };
    const std::vector<std::pair<std::string, std::vector<std::string>>> helps = {
        {"NoArguments", {}}, {"DashH", {"-h"}}, {"LongHelp", {"--help"}}, {"QuestionMark", {"-?"}},
        {"HelpWinsOverFilesAndOptions", {"-u", "9", X, "-h", "-c"}}};
    for (const auto &[name, args] : helps)
        v.push_back({name, {x}, args, 0, usage(), "", {}, 0, false});
    // The resulting rate; 0 for a value outside the rate table.
    const std::vector<std::pair<std::string, int>> rates = {
        {"0", 48000}, {"1", 44100}, {"2", 22050}, {"3", 11025}, {"4", 8000}, {"5", 7333},
        {"6", 6000}, {"7", 5500}, {"8", 4000}, {"18", 18}, {"4000", 4000}, {"5500", 5500},
        {"6000", 6000}, {"7333", 7333}, {"8000", 8000}, {"11025", 11025}, {"22050", 22050},
        {"44100", 44100}, {"48000", 48000}, {"0x12", 18}, {"9", 0}, {"17", 0}, {"44101", 0}, {"-1", 0}};
    for (const auto &[value, rate] : rates) {
        const std::string shown = value == "-1" ? "18446744073709551615" : value;
        v.push_back({"Rate" + (value == "-1" ? "Minus1" : value), {NO_RECORDS}, {"-r", value, X}, 0,
                     start("mono", std::to_string(rate ? rate : 4000)) + DEFAULTS,
                     (rate ? "" : "Unknown rate: " + shown + ". Using default: 4000.\n") + opened(X),
                     three("abc", "4010100", 0)});
    }
    return v;
}

INSTANTIATE_TEST_SUITE_P(HelpWhereRates, Run, testing::ValuesIn(help_where_rates()), label);

// Pass-through options: no offset removal, factor 1, no resampling, no filter.
const std::vector<std::string> RAW = {"-o", "-z", "1", "-u", "0", "-f", X};

// A peak of p on channel 1: the factor shows in the "Scaling" line.
Case peak(const std::string &label, double p, int factor)
{
    return {label, {file(X, {Values(128, 0), head({0, p}), Values(128, 0)})}, {"-o", "-u", "0", "-f", X},
            0, M + (factor == 1 ? "" : "Scaling " + std::to_string(factor) + "...done\n"), opened(X),
            three("abc", "4010100", 128, {{}, {0, p * factor}, {}})};
}

// A full-scale square wave of period 128, which overshoots in the filter.
Values full_scale()
{
    Values v(512);
    for (size_t j = 0; j < v.size(); j++)
        v[j] = (j / 64) % 2 ? -32768.0 : 32767.0;
    return v;
}

// How many samples the per-sample filter stage clips in a channel.
long filter_clips(const Values &v)
{
    std::vector<int16_t> s(v.begin(), v.end());
    return filter_channel_reference(s.data(), static_cast<long>(s.size()));
}

std::vector<Case> numeric_edges()
{
    // Means -0.6, 1.6 and 5 over five records: truncation subtracts 0, 1 and 5.
    const Values minus06 = head(Values(384, -1), 640), plus16 = head(Values(384, 2), 640, 1);
    // Mean 18431.2: the bottom samples leave the range once it is subtracted.
    const Values extremes = head(Values(100, 32767), 128, -32768);
    // After resampling by 4 the last four outputs hold the last input, 40.
    const Values last40 = head(head({100}, 127), 128, 40);
    Values up40 = head({100, 75, 50, 25}, 504);
    up40.insert(up40.end(), {0, 10, 20, 30, 40, 40, 40, 40});
    const Values full = full_scale(), zero(512, 0);
    const std::vector<std::string> filter_only = {"-o", "-z", "1", "-u", "0", X};
    return {
        {"ZeroRecords", {NO_RECORDS}, {X}, 0, M + DEFAULTS, opened(X), three("abc", "4010100", 0)},
        peak("Peak255ScalesBy128", 255, 128),
        peak("Peak256ScalesBy64", 256, 64),
        peak("Peak32767NotScaled", 32767, 1),
        peak("PeakMinus32768NotScaled", -32768, 1),
        {"ScalingSaturates", {file(X, {head({20000}), head({-20000, 100}), head({7})})},
         {"-o", "-z", "2", "-u", "0", "-f", X}, 0, M + "Scaling 2...done\n", opened(X) + clipped(2),
         three("abc", "4010100", 128, {{32767}, {-32768, 200}, {14}})},
        {"OffsetMeanTruncatedTowardZero", {file(X, {minus06, plus16, Values(640, 5)})},
         {"-z", "1", "-u", "0", "-f", X}, 0, M + OFFSET, opened(X),
         three("abc", "4010100", 640, {minus06, head(Values(384, 1), 640), Values(640, 0)})},
        {"OffsetRemovalSaturates", {file(X, {extremes, Values(128, 3), Values(128, 0)})},
         {"-u", "0", "-f", X}, 0, M + OFFSET, opened(X) + clipped(28),
         three("abc", "4010100", 128, {head(Values(100, 14336), 128, -32768), Values(128, 0)})},
        {"ResamplingInterpolatesAndHoldsLastSample", {file(X, {head({0, 8}), Values(128, -4), last40})},
         {"-o", "-z", "1", "-u", "4", "-f", X}, 0, M + UP4, opened(X),
         three("abc", "4010100", 512, {{0, 2, 4, 6, 8, 6, 4, 2, 0}, Values(512, -4), up40})},
        // Starts from 0 while the zero history drains, then holds 1000;
        // -1000 + 0.5 truncates toward zero to -999.
        {"FilterSettlesOnConstant", {file(X, {Values(256, 1000), Values(256, 1000), Values(256, -1000)})},
         filter_only, 0, M + FILTERING, opened(X),
         {{"a4010100.wav", 1, 256, Values(128, 1000), 128}, {"b4010100.wav", 1, 256, {0}},
          {"c4010100.wav", 1, 256, Values(128, -999), 128}}},
        {"FilterOutputSaturates", {file(X, {full, zero, zero})}, filter_only, 0, M + FILTERING,
         opened(X) + clipped(filter_clips(full)), ABC},
        // Stereo files use each channel twice; its clips count once.
        {"FilterOutputSaturatesStereo", {file(X, {full, full, zero})},
         {"-s", "-o", "-z", "1", "-u", "0", X}, 0, S + FILTERING,
         opened(X) + clipped(2 * filter_clips(full)), DEF},
        {"TextValuesSaturate",
         {file(X, {head({4e4, -4e4, INFINITY, -INFINITY, NAN, 32767.9, -32768.9}), Values(128, 1),
                   Values(128, 2)}, 128, INT_MAX, true)},
         RAW, 0, M, opened(X, "text") + clipped(5),
         three("abc", "4010100", 128, {{32767, -32768, 32767, -32768, 0, 32767, -32768}, {1}, {2}})},
    };
}

INSTANTIATE_TEST_SUITE_P(NumericEdges, Run, testing::ValuesIn(numeric_edges()), label);

std::vector<Case> readers_and_failures()
{
    // Each reader is closed as soon as its file is done: its time-gap summary
    // follows its own lines, and many files combine with few descriptors.
    std::vector<Input> many;
    std::vector<std::string> many_args = {"-c", "-o", "-z", "1", "-u", "0", "-f"};
    std::string many_err;
    for (int i = 100; i < 300; i++) {
        many.push_back(file("n" + std::to_string(i) + ".dat", squares()));
        many_args.push_back(many.back().name);
        many_err += opened(many.back().name);
    }
    const std::string n252(252, 'n'), n253(253, 'n');
    const std::string a252 = "a" + n252.substr(1) + ".wav", six253 = "6ch" + n253 + ".wav";
    const std::string too_large = "Error: output too large for a WAV file (";
    const std::string cant_write = "Error: can't write a4010100.wav: Is a directory\n";
    const Values full = full_scale(), zero(512, 0);
    return {
        {"GapSummaryAfterEachFile", {file(X, squares(3), 128, 2), file(Y, squares(3), 128, 1)},
         {"-c", X, Y}, 0, C + DEFAULTS,
         opened(X) + "TIMEGAP in data\n" + opened(Y) + "Warning: TIMEGAPs in data\n",
         three("abc", "4010100", 3072)},
        {"ManyFilesFewDescriptors", many, many_args, 0, C, many_err, three("abc", "100", 200 * 128), 24},
        {"NoFileGiven", {}, {"-s"}, 1, S + usage(), NO_FILES},
        {"NoFileUsageShowsValuesAfterOptions", {}, {"-u", "50", "-r", "1"}, 1,
         start("mono", "44100") + usage("tavo2wav", 50, 44100), NO_FILES},
        {"OnlyAnUnknownOption", {}, {"-x"}, 1, M + usage(), "Unknown option: -x\n" + NO_FILES},
        {"NoFileBeforeNegativeUpsampling", {}, {"-u", "-3"}, 1, M + usage("tavo2wav", -3), NO_FILES},
        {"NegativeUpsampling", {x}, {"-u", "-1", X}, 1, M,
         "Error: upsampling factor must not be negative (-u -1)\n"},
        // 128 frames times U, just past 4294967259 bytes of frames.
        {"MonoOutputTooLarge", {x}, {"-u", "16777216", X}, 1, M, opened(X) + too_large + "2147483648 frames)\n"},
        {"StereoOutputTooLarge", {x}, {"-s", "-u", "8388608", X}, 1, S,
         opened(X) + too_large + "1073741824 frames)\n"},
        {"SixChannelOutputTooLarge", {x}, {"-6", "-u", "2796203", X}, 1, S,
         opened(X) + too_large + "357913984 frames)\n"},
        {"OutputCannotBeWritten", {x, {"a4010100.wav/", ""}}, {X}, 1, M + DEFAULTS + "writing: a4010100.wav ",
         opened(X) + cant_write},
        {"SecondOutputCannotBeWritten", {x, {"b4010100.wav/", ""}}, {X}, 1,
         M + DEFAULTS + "writing: a4010100.wav done\nwriting: b4010100.wav ",
         opened(X) + "Error: can't write b4010100.wav: Is a directory\n", {ABC[0]}},
        {"ClipsReportedBeforeWriteFailure", {file(X, {full, zero, zero}), {"a4010100.wav/", ""}},
         {"-o", "-z", "1", "-u", "0", X}, 1, M + FILTERING + "writing: a4010100.wav ",
         opened(X) + clipped(filter_clips(full)) + cant_write},
        {"SixChannelNameDoesNotFit", {file(n253, squares())}, {"-6", "-u", "0", n253}, 1,
         S + SCALED + FILTERING + "writing: " + six253 + " ",
         opened(n253) + "Error: can't write " + six253 + ": File name too long\n"},
        {"NameTooLongForDirectory", {file(n252, squares())}, {"-u", "0", n252}, 1,
         M + SCALED + FILTERING + "writing: " + a252 + " ",
         opened(n252) + "Error: can't write " + a252 + ": File name too long\n"},
    };
}

INSTANTIATE_TEST_SUITE_P(ReadersAndFailures, Run, testing::ValuesIn(readers_and_failures()), label);

TEST(CommandLineLog, AppendsOneQuotedLinePerRun)
{
    tavo_test::TempDir dir;
    tavo_test::write_bytes(dir.file("my file.dat"), NO_RECORDS.bytes);
    const std::vector<std::string> argv = {BIN, "-u", "0", "my file.dat", "", "a,b", "--t=a \"b\""};
    ASSERT_EQ(run_in(dir.path(), argv).status, 0);
    ASSERT_EQ(run_in(dir.path(), argv).status, 0);
    const std::string line = "T " + BIN + " -u 0 \"my file.dat\"  \"a,b\" --t=\"a \\\"b\\\"\"\n";
    const std::regex stamp("[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    EXPECT_EQ(std::regex_replace(tavo_test::read_bytes(dir.file("logfile")), stamp, "T"), line + line);
}

// Reading stops with a warning once a record no longer has room after
// 3173888 samples; the following input is left, its file still opened.
// Cases: one file of 512-sample records, a second file after a nearly full
// first one, one file of 128-sample records.
TEST(BuffersFullSlow, StopsReadingWithWarning)
{
    for (const auto [length, first, second] : {std::array<size_t, 3>{512, 6201, 0}, {512, 6199, 3}, {128, 24797, 0}}) {
        SCOPED_TRACE(first);
        tavo_test::Recording rec;
        rec.header = header(length);
        rec.length = length;
        tavo_test::Record one;
        one.channels = {Values(length, 1), Values(length, 2), Values(length, 3)};
        rec.records.assign(first, one);
        tavo_test::TempDir dir;
        tavo_test::write_binary(dir.file(X), rec);
        rec.records.resize(second);
        tavo_test::write_binary(dir.file(Y), rec);
        const RunResult r = run_in(dir.path(), {BIN, "-c", "-o", "-z", "1", "-u", "0", "-f", X, Y});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, C + writing(ABC));
        EXPECT_EQ(r.err, opened(X, "binary", length) + (second ? opened(Y, "binary", length) : "") +
                             "Warning: buffers full after 3173888 samples per channel; "
                             "the rest of the input is not converted\n");
        check_wavs(dir.path(), three("abc", "4010100", 3173888, {{1, 1}, {2, 2}, {3, 3}}));
    }
}

}  // namespace
