// End-to-end runs of the built tavo2wav, each in a fresh temporary directory
// on data files made by the test-support writer: exit status, standard output
// and standard error are compared byte for byte, and the WAV files left
// behind are read back.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <regex>
#include <set>

#include <kemra/libkemra.h>
#include "run_process.h"
#include "reference.h"
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

// A file to make: its name (one ending in '/' is made as a directory) and bytes.
using Input = std::pair<std::string, std::string>;

// Records of 128 samples cut from the channels. Record r is stamped
// `start` + r * 7 seconds, so that at 18 Hz no time gap shows, plus five
// minutes for every `gap_every` records before it.
Input file(const std::string& name, const Channels& ch, size_t gap_every = 1 << 20,
           bool text = false, long start = 0)
{
    tavo_test::Recording rec{header(128), true, 128, {}};
    for (size_t r = 0; r * 128 < ch[0].size(); r++) {
        const long t = start + static_cast<long>(r * 7 + r / gap_every * 300);
        tavo_test::Record& one = rec.records.emplace_back();
        one.time = {t / 60, t % 60};
        for (int c = 0; c < 3; c++)
            one.channels[c].assign(ch[c].begin() + r * 128, ch[c].begin() + (r + 1) * 128);
    }
    return {name, text ? tavo_test::text_bytes(rec) : tavo_test::binary_bytes(rec)};
}

// n samples of 1, 2 and 3 on the three channels.
Channels flat(size_t n = 128)
{
    return {Values(n, 1), Values(n, 2), Values(n, 3)};
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
std::string opened(const std::string& name, const std::string& type = "binary", size_t length = 128)
{
    std::string base = name.substr(name.rfind('/') + 1);
    base = base.substr(0, base.rfind('.'));
    const std::string echo = "valid_comment_type3: " + header(length) + "\n";
    return echo + name + "\n" + base + "\n" + name + "\n" + base + "\nFile: " + name +
           " Type:" + type + "\n" + echo;
}

std::string start(const std::string& mode, const std::string& rate = "4000", bool combining = false)
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

// What every help text ends with, after the classic usage text.
const std::string LONG_OPTIONS =
    "\nLong options:\n"
    "  --gaps join|silence      time gaps joined or silent (default: join)\n"
    "  --timeline               time map chunks and label file (default: off)\n"
    "  --resampler linear|sinc  resampling method (default: linear)\n"
    "  --speedup S              play S times real time, in place of -u (default: off)\n"
    "  --format s16|s24|f32     WAV sample format (default: s16)\n"
    "  --threads N              render threads, 0 = one per core (default: 0)\n"
    "  --version                program and library versions\n"
    "  --help                   this text (also -h, -help, -?)\n"
    "See 'man tavo2wav' for every option in full.\n";

std::string usage(const std::string& name = "tavo2wav", int upsample = 4, unsigned long rate = 4000)
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
           Copyright + "\n" + Bugs + "\n" + LONG_OPTIONS;
}

// An output file as expected: its header fields, and the interleaved
// samples that follow from sample `skip` on.
struct Wav {
    std::string name;
    unsigned long channels, frames;
    Values samples = {};
    size_t skip = 0;
    unsigned long rate = 4000;
};

// The three files of a layout: letters "abc" (mono) or "def" (stereo), then `rest`.
std::vector<Wav> three(unsigned long frames, std::vector<Values> samples = {},
                       unsigned long rate = 4000, const std::string& letters = "abc",
                       const std::string& rest = "4010100")
{
    std::vector<Wav> w;
    samples.resize(3);
    for (int i = 0; i < 3; i++)
        w.push_back({letters[i] + rest + ".wav", letters == "abc" ? 1ul : 2ul, frames, samples[i],
                     0, rate});
    return w;
}

std::string le(unsigned long v, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; i++)
        s += static_cast<char>(v >> 8 * i & 0xFF);
    return s;
}

// The WAV files in dir are those expected: a canonical 44-byte header, the
// frames, and nothing after them.
void check_wavs(const std::string& dir, const std::vector<Wav>& want)
{
    std::set<std::string> names, expected;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == ".wav")
            names.insert(e.path().filename().string());
    for (const Wav& w : want)
        expected.insert(w.name);
    ASSERT_EQ(names, expected);
    for (const Wav& w : want) {
        const std::string b = tavo_test::read_bytes(dir + "/" + w.name);
        const unsigned long frame = 2 * w.channels, data = w.frames * frame;
        EXPECT_EQ(b.substr(0, 44), "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) +
                                       le(w.channels, 2) + le(w.rate, 4) + le(w.rate * frame, 4) +
                                       le(frame, 2) + le(16, 2) + "data" + le(data, 4))
            << w.name;
        EXPECT_EQ(b.size(), 44 + data) << w.name;
        Values got;
        for (size_t at = 44 + 2 * w.skip; at + 1 < b.size() && got.size() < w.samples.size();
             at += 2)
            got.push_back(static_cast<int16_t>(static_cast<uint8_t>(b[at]) |
                                               static_cast<uint8_t>(b[at + 1]) << 8));
        EXPECT_EQ(got, w.samples) << w.name;
    }
}

RunResult run_in(const std::string& dir, const std::vector<std::string>& argv)
{
    RunOptions options;
    options.program = BIN;
    options.env = {"TZ=UTC"};
    return run_process(argv, dir, options);
}

struct Case {
    std::string label;
    std::vector<Input> inputs;
    std::vector<std::string> args;
    int status;
    std::string out, err;        // a run that converts also prints a "writing:" line per file
    std::vector<Wav> wavs = {};  // every WAV file the run leaves
    bool logged = true;
    std::string argv0 = BIN;
    std::string log = "";  // when given, the log's line with "T" for its time stamp
};

class Run : public testing::TestWithParam<Case> {};

TEST_P(Run, PrintsExactlyAndLeavesTheFiles)
{
    const Case& c = GetParam();
    tavo_test::TempDir dir;
    for (const auto& [name, bytes] : c.inputs) {
        fs::create_directories(fs::path(dir.file(name)).parent_path());
        if (name.back() != '/')
            tavo_test::write_bytes(dir.file(name), bytes);
    }
    std::vector<std::string> argv = c.args;
    argv.insert(argv.begin(), c.argv0);
    const RunResult r = run_in(dir.path(), argv);
    EXPECT_EQ(r.status, c.status);
    std::string out = c.out;
    for (const Wav& w : c.wavs)
        out += c.status == 0 ? "writing: " + w.name + " done\n" : "";
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(fs::exists(dir.file("logfile")), c.logged);
    check_wavs(dir.path(), c.wavs);
    if (!c.log.empty()) {
        const std::regex stamp("[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
        EXPECT_EQ(std::regex_replace(tavo_test::read_bytes(dir.file("logfile")), stamp, "T"),
                  c.log);
    }
}

const Input x = file(X, flat()), y = file(Y, flat());
const std::vector<Wav> ABC = three(512), DEF = three(512, {}, 4000, "def"),
                       SIX = {{"6chx4010100.wav", 6, 512}};
// The header and two of the three blocks of a record: recognised, yet no
// record is delivered.
const Input NO_RECORDS{X, x.second.substr(0, x.second.size() - 260)};

// Layouts, names, options, help, -where and the rate table.
std::vector<Case> command_lines()
{
    const std::string n251(251, 'n');
    const std::vector<Wav> letters = three(512, {}, 4000, "abc", "");
    std::vector<Case> v = {
        {"MonoByDefault", {x}, {X}, 0, M + DEFAULTS, opened(X), ABC},
        {"StereoPairs", {x}, {"-s", X}, 0, S + DEFAULTS, opened(X), DEF},
        // -z 0 keeps the automatic factor; without -c the second name is never
        // opened, so it need not exist.
        {"MonoWinsOverStereo",
         {x},
         {"-m", "-s", "-z", "0", X, "missing.dat"},
         0,
         M + DEFAULTS,
         opened(X),
         ABC},
        {"SixWinsOverStereo", {x}, {"-s", "-6", X}, 0, S + DEFAULTS, opened(X), SIX},
        {"OneCharacterBaseName",
         {file("x.dat", flat())},
         {"x.dat"},
         0,
         M + DEFAULTS,
         opened("x.dat"),
         letters},
        {"EmptyBaseName",
         {file(".dat", flat())},
         {".dat"},
         0,
         M + DEFAULTS,
         opened(".dat"),
         letters},
        {"LongestOutputName",
         {file(n251, flat())},
         {n251, "-u", "0"},
         0,
         M + SCALED + FILTERING,
         opened(n251),
         three(128, {}, 4000, "abc", n251.substr(1))},
        // The second -c is not consumed: an unknown option. Each reader is
        // closed as soon as its file is done: its time-gap summary follows
        // its own lines.
        {"CombinesWithOptionsAnywhere",
         {file(X, flat(384), 2), file(Y, flat(384), 1)},
         {X, "-s", "-c", Y, "-c", "--u=1", "-z=1", "-r=2"},
         0,
         start("stereo", "22050", true) + OFFSET + "Resampling 1 ...done\n" + FILTERING,
         "Unknown option: -c\n" + opened(X) + "TIMEGAP in data\n" + opened(Y) +
             "Warning: TIMEGAPs in data\n",
         three(768, {}, 22050, "def")},
        // Half an hour later the second file starts: 1800 - 7 s from the
        // last stamp of the first, less its record's 7.111 s. Said right
        // after the second file's lines, before its own gap summary.
        {"CombiningOverMissingTimeWarns",
         {file(X, flat(256)), file(Y, flat(384), 2, false, 1800)},
         {"-c", "-u", "0", X, Y},
         0,
         C + SCALED + FILTERING,
         opened(X) + opened(Y) + "Warning: 1786 s of station time missing between " + X + " and " +
             Y + "; joined (--gaps silence keeps the time)\nTIMEGAP in data\n",
         three(640)},
        {"LogsTheQuotedCommandLine",
         {{"my file.dat", NO_RECORDS.second}},
         {"-u", "0", "my file.dat", "", "a,b", "-t=a \"b\""},
         0,
         M + SCALED + FILTERING,
         "Unknown option: -t=a \"b\"\n" + opened("my file.dat"),
         three(0, {}, 4000, "abc", "y file"),
         true,
         BIN,
         "T " + BIN + " -u 0 \"my file.dat\"  \"a,b\" \"-t=a \\\"b\\\"\"\n"},
        // Every long-form argument no option took is refused, in
        // command-line order, before anything is logged or printed; the
        // single-dash unknown options are not reported then.
        {"UnknownLongOptionsRefused",
         {x},
         {"-c", "-q", "--upsample=50", X, "--u=2", "---x=1"},
         1,
         "",
         "Error: unknown option --upsample=50 (did you mean -u 50?)\n"
         "Error: unknown option ---x=1\n",
         {},
         false},
        {"MisspeltValuedOptionRefused",
         {x},
         {"--resampeler", "sinc", X},
         1,
         "",
         "Error: unknown option --resampeler (did you mean --resampler?)\n",
         {},
         false},
        // A whole-number refusal comes first and alone; the unknown options
        // come before the refusal of a long option's value.
        {"WholeNumberBeforeUnknownOption",
         {x},
         {"--gaps", "hole", "--colour", "-u", "5x", X},
         1,
         "",
         "Error: -u needs a whole number, not \"5x\"\n",
         {},
         false},
        {"UnknownOptionBeforeLongOptionValue",
         {x},
         {"--gaps", "hole", "--colour", X},
         1,
         "",
         "Error: unknown option --colour\n",
         {},
         false},
        // Values of -u, -r and -z must be whole numbers: the first bad one in
        // command-line order is refused before anything is logged or printed.
        {"WordAsNumberRefused",
         {x},
         {"-u", "abc", X},
         1,
         "",
         "Error: -u needs a whole number, not \"abc\"\n",
         {},
         false},
        {"FirstBadValueInLineOrder",
         {x},
         {"-z=0x", "--r", "44.1k", "-u", "5x", X},
         1,
         "",
         "Error: -z needs a whole number, not \"0x\"\n",
         {},
         false},
        {"EmptyValueRefused",
         {x},
         {X, "-r="},
         1,
         "",
         "Error: -r needs a whole number, not \"\"\n",
         {},
         false},
        // --threads changes how the work is shared, never what is written.
        {"ThreadsOneConverts", {x}, {"--threads", "1", X}, 0, M + DEFAULTS, opened(X), ABC},
        {"ThreadsManyConvert", {x}, {"--threads=256", X}, 0, M + DEFAULTS, opened(X), ABC},
        {"ThreadsWordRefused",
         {x},
         {"--threads", "two", X},
         1,
         "",
         "Error: --threads needs a whole number from 0 to 256, not \"two\"\n",
         {},
         false},
        {"ThreadsNegativeRefused",
         {x},
         {"--threads=-1", X},
         1,
         "",
         "Error: --threads needs a whole number from 0 to 256, not \"-1\"\n",
         {},
         false},
        {"ThreadsTooManyRefused",
         {x},
         {"--threads", "257", X},
         1,
         "",
         "Error: --threads needs a whole number from 0 to 256, not \"257\"\n",
         {},
         false},
        {"SignedOctalAndHexAccepted",
         {x},
         {"-u", "+010", "-r=0X1", "-z", "-0", X},
         0,
         start("mono", "44100") + SCALED + "Resampling 8 ...done\n" + FILTERING,
         opened(X),
         three(1024, {}, 44100)},
        {"NameAfterLastBackslash",
         {},
         {"-h"},
         0,
         usage("t2w.exe"),
         "",
         {},
         false,
         "C:\\b/x\\t2w.exe"},
        {"BareName", {}, {}, 0, usage("t2w"), "", {}, false, "t2w"},
        // -where is asked right after the help options.
        {"WherePrintsExecutablePath",
         {},
         {"-q", "-where", "none.dat"},
         0,
         fs::canonical(BIN).string() + "\n",
         "",
         {},
         false},
    };
    const std::vector<std::pair<std::string, std::vector<std::string>>> helps = {
        {"NoArguments", {}},
        {"DashH", {"-h"}},
        {"LongHelp", {"--help"}},
        {"QuestionMark", {"-?"}},
        {"HelpWinsOverFilesAndOptions", {"-u", "9", X, "-h", "-c"}}};
    for (const auto& [name, args] : helps)
        v.push_back({name, {x}, args, 0, usage(), "", {}, false});
    // The resulting rate; 0 for a value outside the rate table.
    const std::vector<std::pair<std::string, int>> rates = {
        {"0", 48000},     {"1", 44100},     {"2", 22050},     {"3", 11025},     {"4", 8000},
        {"5", 7333},      {"6", 6000},      {"7", 5500},      {"8", 4000},      {"18", 18},
        {"4000", 4000},   {"5500", 5500},   {"6000", 6000},   {"7333", 7333},   {"8000", 8000},
        {"11025", 11025}, {"22050", 22050}, {"44100", 44100}, {"48000", 48000}, {"0x12", 18},
        {"9", 0},         {"17", 0},        {"44101", 0}};
    for (const auto& [value, rate] : rates) {
        v.push_back(
            {"Rate" + value,
             {NO_RECORDS},
             {"-r", value, X},
             0,
             start("mono", std::to_string(rate ? rate : 4000)) + DEFAULTS,
             (rate ? "" : "Unknown rate: " + value + ". Using default: 4000.\n") + opened(X),
             three(0, {}, rate ? rate : 4000)});
    }
    return v;
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Run, testing::ValuesIn(command_lines()),
                         [](const testing::TestParamInfo<Case>& i) { return i.param.label; });

// Full-scale steps, down from the zero history and then up: the filter
// overshoots both.
const Values FULL = head(Values(64, -32768), 512, 32767);

// How many samples the per-sample filter stage clips in FULL.
long full_clips()
{
    std::vector<int16_t> s(FULL.begin(), FULL.end());
    return tavo_test::filter_channel_reference(s.data(), static_cast<long>(s.size()));
}

// The numeric edges of the stages, the readers' lifetime and the failures.
std::vector<Case> conversions()
{
    // Means -0.6, 1.6 and 5 over five records: truncation subtracts 0, 1 and 5.
    const Values minus06 = head(Values(384, -1), 640), plus16 = head(Values(384, 2), 640, 1);
    // Mean 18431.2: the bottom samples leave the range once it is subtracted.
    const Values extremes = head(Values(100, 32767), 128, -32768);
    // After resampling by 4 the last four outputs hold the last input, 40.
    const Values last40 = head(head({100}, 127), 128, 40);
    Values up40 = head({100, 75, 50, 25}, 504);
    up40.insert(up40.end(), {0, 10, 20, 30, 40, 40, 40, 40});
    const std::string n252(252, 'n'), n253(253, 'n');
    const std::string a252 = "a" + n252.substr(1) + ".wav", six253 = "6ch" + n253 + ".wav";
    std::vector<Case> v = {
        {"ZeroRecords", {NO_RECORDS}, {X}, 0, M + DEFAULTS, opened(X), three(0)},
        // No samples make no frame at any speed-up: empty files, as always.
        {"ZeroRecordsAtAnySpeedup",
         {NO_RECORDS},
         {"--resampler", "sinc", "--speedup", "1e9", X},
         0,
         M + SCALED + "Resampling 2.22222e-07 (sinc) ...done\n",
         opened(X),
         three(0)},
        {"ScalingSaturates",
         {file(X, {head({20000}), head({-20000, 100}), head({7})})},
         {"-o", "-z", "2", "-u", "0", "-f", X},
         0,
         M + "Scaling 2...done\n",
         opened(X) + clipped(2),
         three(128, {{32767}, {-32768, 200}, {14}})},
        {"OffsetMeanTruncatedTowardZero",
         {file(X, {minus06, plus16, Values(640, 5)})},
         {"-z", "1", "-u", "0", "-f", X},
         0,
         M + OFFSET,
         opened(X),
         three(640, {minus06, head(Values(384, 1), 640), Values(640, 0)})},
        {"OffsetRemovalSaturates",
         {file(X, {extremes, Values(128, 3), Values(128, 0)})},
         {"-u", "0", "-f", X},
         0,
         M + OFFSET,
         opened(X) + clipped(28),
         three(128, {head(Values(100, 14336), 128, -32768), Values(128, 0)})},
        {"ResamplingInterpolatesAndHoldsLastSample",
         {file(X, {head({0, 8}), Values(128, -4), last40})},
         {"-o", "-z", "1", "-u", "4", "-f", X},
         0,
         M + UP4,
         opened(X),
         three(512, {{0, 2, 4, 6, 8, 6, 4, 2, 0}, Values(512, -4), up40})},
        // Starts from 0 while the zero history drains, then holds 1000;
        // -1000 + 0.5 truncates toward zero to -999.
        {"FilterSettlesOnConstant",
         {file(X, {Values(256, 1000), Values(256, 1000), Values(256, -1000)})},
         {"-o", "-z", "1", "-u", "0", X},
         0,
         M + FILTERING,
         opened(X),
         {{"a4010100.wav", 1, 256, Values(128, 1000), 128},
          {"b4010100.wav", 1, 256, {0}},
          {"c4010100.wav", 1, 256, Values(128, -999), 128}}},
        // Stereo files use each channel twice; its clips count once.
        {"FilterClipsCountedOncePerChannel",
         {file(X, {FULL, FULL, Values(512)})},
         {"-s", "-o", "-z", "1", "-u", "0", X},
         0,
         S + FILTERING,
         opened(X) + clipped(2 * full_clips()),
         DEF},
        {"TextValuesSaturate",
         {file(
             X,
             {head({4e4, -4e4, INFINITY, -INFINITY, NAN, 32767.9, -32768.9}), flat()[1], flat()[2]},
             1 << 20, true)},
         {"-o", "-z", "1", "-u", "0", "-f", X},
         0,
         M,
         opened(X, "text") + clipped(5),
         three(128, {{32767, -32768, 32767, -32768, 0, 32767, -32768}, {2}, {3}})},
        // No file: the usage text shows the values after the options, and
        // the check comes before the one of a negative -u.
        {"NoFileGiven",
         {},
         {"-s", "-x", "-u", "-3", "-r", "1"},
         1,
         start("stereo", "44100") + usage("tavo2wav", -3, 44100),
         "Unknown option: -x\n" + NO_FILES},
        {"NegativeUpsampling",
         {x},
         {"-u", "-1", X},
         1,
         M,
         "Error: upsampling factor must not be negative (-u -1)\n"},
        // The clips of all three channels are reported before the failure.
        {"SecondOutputCannotBeWritten",
         {file(X, {FULL, Values(512), Values(512)}), {"b4010100.wav/", ""}},
         {"-o", "-z", "1", "-u", "0", X},
         1,
         M + FILTERING + "writing: a4010100.wav done\nwriting: b4010100.wav ",
         opened(X) + clipped(full_clips()) + "Error: can't write b4010100.wav: Is a directory\n",
         {ABC[0]}},
        // The output files are created before the input is read.
        {"SixChannelNameDoesNotFit",
         {file(n253, flat())},
         {"-6", "-u", "0", n253},
         1,
         S,
         "Error: can't write " + six253 + ": File name too long\n"},

        {"NameTooLongForDirectory",
         {file(n252, flat())},
         {"-u", "0", n252},
         1,
         M + SCALED + FILTERING + "writing: " + a252 + " ",
         opened(n252) + "Error: can't write " + a252 + ": File name too long\n"},
    };
    // A peak of p on channel 1; the factor shows in the "Scaling" line (not for 1).
    for (const auto& [p, f] : std::initializer_list<std::pair<double, int>>{
             {255, 128}, {256, 64}, {32767, 1}, {-32768, 1}})
        v.push_back(
            {"Peak" + std::to_string(static_cast<int>(std::fabs(p))) + (p < 0 ? "Negative" : ""),
             {file(X, {Values(128), head({0, p}), Values(128)})},
             {"-o", "-u", "0", "-f", X},
             0,
             M + (f == 1 ? "" : "Scaling " + std::to_string(f) + "...done\n"),
             opened(X),
             three(128, {{}, {0, p * f}})});
    // 128 frames times U, just past 4294967259 bytes of frames.
    for (const auto& [name, layout, u, frames] : std::initializer_list<std::array<std::string, 4>>{
             {"Mono", "-m", "16777216", "2147483648"},
             {"Stereo", "-s", "8388608", "1073741824"},
             {"SixChannel", "-6", "2796203", "357913984"}})
        v.push_back(
            {name + "OutputTooLarge",
             {x},
             {layout, "-u", u, X},
             1,
             layout == "-m" ? M : S,
             opened(X) + "Error: output too large for a WAV file (" + frames + " frames)\n"});
    return v;
}

INSTANTIATE_TEST_SUITE_P(Conversions, Run, testing::ValuesIn(conversions()),
                         [](const testing::TestParamInfo<Case>& i) { return i.param.label; });

// Reading stops with a warning once a record no longer has room after
// 3173888 samples; the following input is left, its file still opened.
// Rows: one file of 512-sample records, a second file after a nearly full
// first one, one file of 128-sample records.
TEST(BuffersFullSlow, StopsReadingWithWarning)
{
    for (const auto& [length, first, second] : std::initializer_list<std::array<size_t, 3>>{
             {512, 6201, 0}, {512, 6199, 3}, {128, 24797, 0}}) {
        tavo_test::TempDir dir;
        tavo_test::Record one;
        one.channels = flat(length);
        tavo_test::write_binary(dir.file(X),
                                {header(length), true, length, std::vector(first, one)});
        tavo_test::write_binary(dir.file(Y),
                                {header(length), true, length, std::vector(second, one)});
        const RunResult r = run_in(dir.path(), {BIN, "-c", "-o", "-z", "1", "-u", "0", "-f", X, Y});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, C + "writing: a4010100.wav done\nwriting: b4010100.wav done\n"
                             "writing: c4010100.wav done\n");
        EXPECT_EQ(r.err, opened(X, "binary", length) + (second ? opened(Y, "binary", length) : "") +
                             "Warning: buffers full after 3173888 samples per channel; "
                             "the rest of the input is not converted\n");
        check_wavs(dir.path(), three(3173888, {{1, 1}, {2, 2}, {3, 3}}));
    }
}

}  // namespace
