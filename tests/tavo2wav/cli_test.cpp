// End-to-end tests of the tavo2wav program: each case runs the built binary
// in a fresh temporary directory on data files made by the test-support
// writer, and compares its exit status, standard output and standard error
// byte for byte; the WAV files it leaves are read back and checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "filter.h"
#include "libkemra.h"
#include "run_process.h"
#include "tavo_writer.h"

namespace {

namespace fs = std::filesystem;
using tavo_test::Record;
using tavo_test::Recording;
using tavo_test::TempDir;

const std::string BIN = TAVO2WAV_BIN;
const std::string HEADER = tavo_test::form3_header('S', 128, "18", 1, 'k');
const std::string HEADER512 = tavo_test::form3_header('S', 512, "18", 1, 'k');

typedef std::array<std::vector<double>, 3> Channels;

// ---- Input files -----------------------------------------------------------

// A data file to create, its name relative to the run directory.
struct Input {
    std::string name;
    std::string bytes;
};

// Records of `length` samples cut from the three channels (each a multiple
// of `length` long). Record r is stamped r * step seconds (minutes and
// seconds), so with step 7 for 128 samples or 28 for 512 at 18 Hz
// consecutive records follow each other without a time gap.
std::vector<Record> records(const Channels &ch, size_t length, long step)
{
    std::vector<Record> out;
    for (size_t r = 0; r * length < ch[0].size(); r++) {
        const long t = static_cast<long>(r) * step;
        Record rec;
        rec.time = {t / 60, t % 60};
        for (int c = 0; c < 3; c++)
            rec.channels[c].assign(ch[c].begin() + r * length, ch[c].begin() + (r + 1) * length);
        out.push_back(rec);
    }
    return out;
}

Recording recording(const Channels &ch, size_t length = 128)
{
    Recording rec;
    rec.header = length == 512 ? HEADER512 : HEADER;
    rec.length = length;
    rec.records = records(ch, length, length == 512 ? 28 : 7);
    return rec;
}

Input binary(const std::string &name, const Channels &ch, size_t length = 128)
{
    return {name, tavo_test::binary_bytes(recording(ch, length))};
}

Input text(const std::string &name, const Channels &ch)
{
    return {name, tavo_test::text_bytes(recording(ch))};
}

// n samples of the value v.
std::vector<double> constant(size_t n, double v)
{
    return std::vector<double>(n, v);
}

// A square wave of n samples, -a and a alternating: mean 0, peak a.
std::vector<double> square(size_t n, double a)
{
    std::vector<double> x(n);
    for (size_t j = 0; j < n; j++)
        x[j] = j % 2 ? a : -a;
    return x;
}

// The first samples given, then zeros up to n.
std::vector<double> starting(std::vector<double> head, size_t n = 128)
{
    head.resize(n, 0.0);
    return head;
}

// `records` records of 128 samples whose peaks are 10, 20 and 30.
Channels squares(size_t records = 1)
{
    return {square(128 * records, 10), square(128 * records, 20), square(128 * records, 30)};
}

// A file of 128-sample records whose time words jump after the records
// listed in `gaps_after`, so that each jump counts as one time gap.
Input gapped(const std::string &name, size_t nrecords, const std::vector<size_t> &gaps_after)
{
    Recording rec = recording(squares(nrecords));
    long shift = 0;
    for (size_t r = 0; r < nrecords; r++) {
        rec.records[r].time[0] += shift;
        if (std::find(gaps_after.begin(), gaps_after.end(), r) != gaps_after.end())
            shift += 5;  // five minutes later
    }
    return {name, tavo_test::binary_bytes(rec)};
}

// Header and blocks 0 and 1 of a record, then the end of the file: long
// enough to be recognised, yet the reader delivers no record.
Input no_records(const std::string &name)
{
    const std::string full = tavo_test::binary_bytes(recording(squares()));
    return {name, full.substr(0, full.size() - 260)};
}

// ---- Expected texts --------------------------------------------------------

// What the reader library writes on standard error while opening one file:
// the header echo of detection, the path and base name twice (day and
// hour), the "File:" line and the header echo of the reader.
std::string reader_lines(const std::string &name, const std::string &type = "binary",
                         const std::string &header = HEADER)
{
    std::string base = name.substr(name.rfind('/') + 1);
    base = base.substr(0, base.rfind('.'));
    const std::string echo = "valid_comment_type3: " + header + "\n";
    return echo + name + "\n" + base + "\n" + name + "\n" + base + "\n" + "File: " + name +
           " Type:" + type + "\n" + echo;
}

std::string start(const std::string &mode, const std::string &rate = "4000", bool combining = false)
{
    return "mode:" + mode + "\n" + (combining ? "Combining\n" : "") + "Rate: " + rate + "\n";
}

const std::string OFFSET = "Removing offset done\n";
const std::string FILTERING = "Filtering...done.\n";

std::string scaling(int factor)
{
    return "Scaling " + std::to_string(factor) + "...done\n";
}

std::string resampling(int u)
{
    return "Resampling " + std::to_string(u) + " ...done\n";
}

std::string writing(const std::vector<std::string> &names)
{
    std::string s;
    for (const std::string &n : names)
        s += "writing: " + n + " done\n";
    return s;
}

// The default stages for data whose peak gives the factor 128.
std::string defaults()
{
    return OFFSET + scaling(128) + resampling(4) + FILTERING;
}

std::string clipped(long n)
{
    return "Warning: " + std::to_string(n) + " samples clipped\n";
}

// The usage text, from its documented pieces.
std::string usage(const std::string &name, int upsample, unsigned long rate)
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

// ---- Running and reading back ----------------------------------------------

struct Session {
    TempDir dir;
    RunResult result;
};

void run(Session &r, const std::vector<Input> &inputs, const std::vector<std::string> &args,
         RunOptions options = {})
{
    for (const Input &in : inputs) {
        const fs::path path = fs::path(r.dir.path()) / in.name;
        fs::create_directories(path.parent_path());
        tavo_test::write_bytes(path.string(), in.bytes);
    }
    std::vector<std::string> argv{BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    options.env.insert(options.env.begin(), "TZ=UTC");
    r.result = run_process(argv, r.dir.path(), options);
}

// Names of the regular *.wav files in a directory, sorted.
std::vector<std::string> wav_names(const std::string &dir)
{
    std::vector<std::string> names;
    for (const fs::directory_entry &e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == ".wav")
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

unsigned long le(const std::string &b, size_t at, int bytes)
{
    unsigned long v = 0;
    for (int i = bytes - 1; i >= 0; i--)
        v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

// A WAV file as read back: its format fields and interleaved samples.
struct Wave {
    unsigned long channels = 0, rate = 0, frames = 0;
    std::vector<int> samples;
};

// Reads a canonical 16-bit PCM WAV file, checking that its header fields
// agree with each other and with the file size.
Wave read_wave(const std::string &path)
{
    const std::string b = tavo_test::read_bytes(path);
    Wave w;
    if (b.size() < 44) {
        ADD_FAILURE() << path << ": " << b.size() << " bytes";
        return w;
    }
    w.channels = le(b, 22, 2);
    w.rate = le(b, 24, 4);
    const unsigned long data = le(b, 40, 4), frame = 2 * w.channels;
    EXPECT_EQ(b.substr(0, 4) + b.substr(8, 8) + b.substr(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(le(b, 4, 4), 36 + data);
    EXPECT_EQ(le(b, 16, 4) * 65536 + le(b, 20, 2), 16UL * 65536 + 1);  // fmt size, PCM
    EXPECT_EQ(le(b, 28, 4), w.rate * frame);
    EXPECT_EQ(le(b, 32, 2) * 65536 + le(b, 34, 2), frame * 65536 + 16);
    EXPECT_EQ(b.size(), 44 + data);
    w.frames = frame ? data / frame : 0;
    for (size_t at = 44; at + 1 < b.size(); at += 2)
        w.samples.push_back(static_cast<int16_t>(le(b, at, 2)));
    return w;
}

// What one output file must hold. `samples`, when given, must appear in
// the file's interleaved samples from index `skip` on.
struct Wav {
    std::string name;
    unsigned long channels, rate, frames;
    std::vector<int> samples;
    size_t skip;
};

Wav wav(const std::string &name, unsigned long channels, unsigned long frames,
        std::vector<int> samples = {}, unsigned long rate = 4000, size_t skip = 0)
{
    return {name, channels, rate, frames, samples, skip};
}

// Three mono files of the given base name, a (channel 0), b, c.
std::vector<Wav> monos(const std::string &rest, unsigned long frames, std::vector<int> a = {},
                       std::vector<int> b = {}, std::vector<int> c = {})
{
    return {wav("a" + rest + ".wav", 1, frames, a), wav("b" + rest + ".wav", 1, frames, b),
            wav("c" + rest + ".wav", 1, frames, c)};
}

void check_wavs(const std::string &dir, const std::vector<Wav> &expected)
{
    std::vector<std::string> names;
    for (const Wav &w : expected)
        names.push_back(w.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(wav_names(dir), names);
    for (const Wav &e : expected) {
        SCOPED_TRACE(e.name);
        if (!fs::exists(fs::path(dir) / e.name))
            continue;
        const Wave w = read_wave(dir + "/" + e.name);
        EXPECT_EQ(w.channels, e.channels);
        EXPECT_EQ(w.rate, e.rate);
        EXPECT_EQ(w.frames, e.frames);
        if (!e.samples.empty()) {
            const size_t from = std::min(e.skip, w.samples.size());
            const size_t to = std::min(from + e.samples.size(), w.samples.size());
            EXPECT_EQ(std::vector<int>(w.samples.begin() + from, w.samples.begin() + to), e.samples);
        }
    }
}

std::vector<int> ints(const std::vector<double> &x)
{
    return std::vector<int>(x.begin(), x.end());
}

std::vector<int> repeat(std::vector<int> head, size_t n, int fill)
{
    head.resize(n, fill);
    return head;
}

// ---- Runs that convert -----------------------------------------------------

struct Conversion {
    std::string label;
    std::vector<Input> inputs;
    std::vector<std::string> args;
    std::string out, err;
    std::vector<Wav> wavs;
    std::vector<std::string> env = {};
    unsigned long max_files = 0;
};

std::ostream &operator<<(std::ostream &os, const Conversion &c)
{
    return os << c.label;
}

std::string label(const testing::TestParamInfo<Conversion> &info)
{
    return info.param.label;
}

class ConvertingRun : public testing::TestWithParam<Conversion> {};

TEST_P(ConvertingRun, PrintsExactlyAndWritesTheFiles)
{
    const Conversion &c = GetParam();
    Session r;
    RunOptions options;
    options.env = c.env;
    options.max_files = c.max_files;
    run(r, c.inputs, c.args, options);
    EXPECT_EQ(r.result.status, 0);
    EXPECT_EQ(r.result.out, c.out);
    EXPECT_EQ(r.result.err, c.err);
    check_wavs(r.dir.path(), c.wavs);
    EXPECT_TRUE(fs::exists(r.dir.file("logfile")));
}

const std::vector<std::string> ABC = {"a4010100.wav", "b4010100.wav", "c4010100.wav"};
const std::vector<std::string> DEF = {"d4010100.wav", "e4010100.wav", "f4010100.wav"};
const std::string X = "x4010100.dat";
const std::string Y = "y5020200.dat";

std::vector<Conversion> layouts()
{
    const Input x = binary(X, squares());
    const std::string msgs = reader_lines(X);
    return {
        {"MonoByDefault", {x}, {X}, start("mono") + defaults() + writing(ABC), msgs,
         monos("4010100", 512)},
        {"StereoPairs", {x}, {"-s", X}, start("stereo") + defaults() + writing(DEF), msgs,
         {wav(DEF[0], 2, 512), wav(DEF[1], 2, 512), wav(DEF[2], 2, 512)}},
        {"SixChannelsKeepWholeBaseName", {x}, {"-6", X},
         start("stereo") + defaults() + writing({"6chx4010100.wav"}), msgs,
         {wav("6chx4010100.wav", 6, 512)}},
        {"MonoWinsOverStereo", {x}, {"-m", "-s", X}, start("mono") + defaults() + writing(ABC),
         msgs, monos("4010100", 512)},
        {"SixWinsOverStereo", {x}, {"-s", "-6", X},
         start("stereo") + defaults() + writing({"6chx4010100.wav"}), msgs,
         {wav("6chx4010100.wav", 6, 512)}},
        {"DirectoryDropped", {binary("data/" + X, squares())}, {"data/" + X},
         start("mono") + defaults() + writing(ABC), reader_lines("data/" + X), monos("4010100", 512)},
        {"OneCharacterBaseName", {binary("x.dat", squares())}, {"x.dat"},
         start("mono") + defaults() + writing({"a.wav", "b.wav", "c.wav"}), reader_lines("x.dat"),
         monos("", 512)},
        {"EmptyBaseName", {binary(".dat", squares())}, {".dat"},
         start("mono") + defaults() + writing({"a.wav", "b.wav", "c.wav"}), reader_lines(".dat"),
         monos("", 512)},
        {"OneCharacterBaseNameStereo", {binary("x.dat", squares())}, {"-s", "x.dat"},
         start("stereo") + defaults() + writing({"d.wav", "e.wav", "f.wav"}), reader_lines("x.dat"),
         {wav("d.wav", 2, 512), wav("e.wav", 2, 512), wav("f.wav", 2, 512)}},
        {"OneCharacterBaseNameSixChannels", {binary("x.dat", squares())}, {"-6", "x.dat"},
         start("stereo") + defaults() + writing({"6chx.wav"}), reader_lines("x.dat"),
         {wav("6chx.wav", 6, 512)}},
        // 255 characters: the longest name a directory entry can take.
        {"LongestOutputName", {binary(std::string(251, 'n'), squares())},
         {std::string(251, 'n'), "-u", "0", "-f"},
         start("mono") + OFFSET + scaling(128) +
             writing({"a" + std::string(250, 'n') + ".wav", "b" + std::string(250, 'n') + ".wav",
                      "c" + std::string(250, 'n') + ".wav"}),
         reader_lines(std::string(251, 'n')), monos(std::string(250, 'n'), 128)},
    };
}

INSTANTIATE_TEST_SUITE_P(Layouts, ConvertingRun, testing::ValuesIn(layouts()), label);

std::vector<Conversion> inputs_and_options()
{
    const Input x = binary(X, squares());
    const Input y = binary(Y, squares());
    const std::string both = reader_lines(X) + reader_lines(Y);
    // The dated path of a gzip-compressed file; its base name keeps ".dat".
    const std::string dated = "./2014/03/20140315/k4031516.dat.gz";
    const Input gz{dated, [] {
                       TempDir d;
                       tavo_test::write_binary(d.file("in"), recording(squares()));
                       tavo_test::gzip_copy(d.file("in"), d.file("in.gz"));
                       return tavo_test::read_bytes(d.file("in.gz"));
                   }()};
    return {
        {"TextFile", {text(X, squares())}, {X}, start("mono") + defaults() + writing(ABC),
         reader_lines(X, "text"), monos("4010100", 512)},
        {"GzipFileUnderDatedPath", {gz}, {dated},
         start("mono") + defaults() +
             writing({"a4031516.dat.wav", "b4031516.dat.wav", "c4031516.dat.wav"}),
         reader_lines(dated), monos("4031516.dat", 512)},
        {"RecordsOf512", {binary(X, squares(4), 512)}, {X},
         start("mono") + defaults() + writing(ABC), reader_lines(X, "binary", HEADER512),
         monos("4010100", 2048)},
        // Without -c the second name is never opened, so it need not exist.
        {"OnlyFirstFileWithoutCombine", {x}, {X, "missing.dat"},
         start("mono") + defaults() + writing(ABC), reader_lines(X), monos("4010100", 512)},
        {"CombineAppendsSecondFile", {x, y}, {"-c", X, Y},
         start("mono", "4000", true) + defaults() + writing(ABC), both, monos("4010100", 1024)},
        {"OptionsBetweenAndAfterFiles", {x, y}, {X, "-s", Y, "-c", "-u", "0"},
         start("stereo", "4000", true) + OFFSET + scaling(128) + FILTERING + writing(DEF), both,
         {wav(DEF[0], 2, 256), wav(DEF[1], 2, 256), wav(DEF[2], 2, 256)}},
        {"ValuesAttachedWithEquals", {x}, {"--u=1", "-z=1", X, "-r=2"},
         start("mono", "22050") + OFFSET + resampling(1) + FILTERING + writing(ABC), reader_lines(X),
         {wav(ABC[0], 1, 128, {}, 22050), wav(ABC[1], 1, 128, {}, 22050),
          wav(ABC[2], 1, 128, {}, 22050)}},
        {"ZeroFactorKeepsAutomaticScaling", {x}, {"-z", "0", "-o", X},
         start("mono") + scaling(128) + resampling(4) + FILTERING + writing(ABC), reader_lines(X),
         monos("4010100", 512)},
        {"UnknownOptionIsNotAFile", {x}, {"-q", X},
         start("mono") + defaults() + writing(ABC), "Unknown option: -q\n" + reader_lines(X),
         monos("4010100", 512)},
        {"FlagGivenTwice", {x, y}, {"-c", X, "-c", Y},
         start("mono", "4000", true) + defaults() + writing(ABC),
         "Unknown option: -c\n" + both, monos("4010100", 1024)},
        {"UnknownRateFallsBackTo4000", {x}, {"-r", "9", X, "-x"},
         start("mono") + defaults() + writing(ABC),
         "Unknown rate: 9. Using default: 4000.\nUnknown option: -x\n" + reader_lines(X),
         monos("4010100", 512)},
        {"NoRecords", {no_records(X)}, {X},
         start("mono") + OFFSET + scaling(128) + resampling(4) + FILTERING + writing(ABC),
         reader_lines(X), monos("4010100", 0)},
    };
}

// -where is asked right after the help options: nothing else is looked at
// and nothing is logged.
TEST(WhereOption, PrintsAbsoluteExecutablePath)
{
    Session r;
    run(r, {}, {"-q", "-where", "nothing.dat"});
    EXPECT_EQ(r.result.status, 0);
    EXPECT_EQ(r.result.out, fs::canonical(BIN).string() + "\n");
    EXPECT_EQ(r.result.err, "");
    EXPECT_FALSE(fs::exists(r.dir.file("logfile")));
}

INSTANTIATE_TEST_SUITE_P(InputsAndOptions, ConvertingRun, testing::ValuesIn(inputs_and_options()),
                         label);

// The filter as documented, in long double: output n is
// H[0] x[n-128] + H[1] x[n] + ... + H[128] x[n-127], inputs before the
// first being 0; returns how many outputs leave the 16-bit range after
// adding 0.5 and truncating toward zero.
long filter_overshoots(const std::vector<double> &x)
{
    long n_clipped = 0;
    for (size_t n = 0; n < x.size(); n++) {
        long double y = n >= 128 ? H[0] * static_cast<long double>(x[n - 128]) : 0;
        for (size_t k = 1; k <= 128 && k <= n + 1; k++)
            y += H[k] * static_cast<long double>(x[n - k + 1]);
        const long double t = std::trunc(y + 0.5L);
        n_clipped += t > 32767 || t < -32768;
    }
    return n_clipped;
}

std::vector<Conversion> numeric_edges()
{
    // Pass-through: no offset removal, factor 1, no resampling, no filter.
    const std::vector<std::string> raw = {"-o", "-z", "1", "-u", "0", "-f", X};
    const std::string raw_out = start("mono") + writing(ABC);
    const std::vector<int> none;
    // Peaks (on channel 1): the factor shows in the "Scaling" line.
    auto peak = [&](const std::string &label, double p, int factor) {
        const Channels ch{constant(128, 0), starting({0, p}), constant(128, 0)};
        const std::string scale = factor == 1 ? "" : scaling(factor);
        return Conversion{label, {binary(X, ch)}, {"-o", "-u", "0", "-f", X},
                          start("mono") + scale + writing(ABC), reader_lines(X),
                          monos("4010100", 128, none, {0, static_cast<int>(p) * factor}, none)};
    };
    // Means -0.6, 1.6 and 5 over five records: truncation subtracts 0, 1, 5.
    std::vector<double> minus_06(640, 0.0), plus_16(640, 1.0);
    std::fill(minus_06.begin(), minus_06.begin() + 384, -1.0);
    std::fill(plus_16.begin(), plus_16.begin() + 384, 2.0);
    // 100 samples at the top and 28 at the bottom: mean 18431.2, so the
    // bottom ones fall below the range once the mean is subtracted.
    std::vector<double> extremes(128, 32767.0);
    std::fill(extremes.begin() + 100, extremes.end(), -32768.0);
    // A full-scale square wave of period 128 overshoots in the filter.
    std::vector<double> full(512);
    for (size_t j = 0; j < full.size(); j++)
        full[j] = (j / 64) % 2 ? -32768.0 : 32767.0;
    // 100, zeros, and 40 as the last sample: after resampling by 4 the last
    // four outputs hold the last input.
    std::vector<double> last40 = starting({100});
    last40.back() = 40;
    std::vector<int> up40 = repeat({100, 75, 50, 25}, 504, 0);
    for (int v : {0, 10, 20, 30, 40, 40, 40, 40})
        up40.push_back(v);
    const Channels text_values{starting({40000, -40000, INFINITY, -INFINITY, NAN, 32767.9, -32768.9}),
                               constant(128, 1), constant(128, 2)};
    return {
        peak("Peak255ScalesBy128", 255, 128),
        peak("Peak256ScalesBy64", 256, 64),
        peak("Peak32767NotScaled", 32767, 1),
        peak("PeakMinus32768NotScaled", -32768, 1),
        {"UserFactorOneNotScaled", {binary(X, {constant(128, 0), starting({255}), constant(128, 0)})},
         {"-z", "1", "-o", "-u", "0", "-f", X}, raw_out, reader_lines(X),
         monos("4010100", 128, none, {255}, none)},
        {"ScalingSaturates", {binary(X, {starting({20000}), starting({-20000, 100}), starting({7})})},
         {"-o", "-z", "2", "-u", "0", "-f", X}, start("mono") + scaling(2) + writing(ABC),
         reader_lines(X) + clipped(2), monos("4010100", 128, {32767}, {-32768, 200}, {14})},
        {"OffsetMeanTruncatedTowardZero", {binary(X, {minus_06, plus_16, constant(640, 5)})},
         {"-z", "1", "-u", "0", "-f", X}, start("mono") + OFFSET + writing(ABC), reader_lines(X),
         monos("4010100", 640, ints(minus_06), repeat(repeat({}, 384, 1), 640, 0), repeat({}, 640, 0))},
        {"OffsetRemovalSaturates", {binary(X, {extremes, constant(128, 3), constant(128, 0)})},
         {"-u", "0", "-f", X}, start("mono") + OFFSET + writing(ABC), reader_lines(X) + clipped(28),
         monos("4010100", 128, repeat(repeat({}, 100, 14336), 128, -32768), repeat({}, 128, 0), {})},
        {"ResamplingInterpolatesAndHoldsLastSample",
         {binary(X, {starting({0, 8}), constant(128, -4), last40})},
         {"-o", "-z", "1", "-u", "4", "-f", X}, start("mono") + resampling(4) + writing(ABC),
         reader_lines(X), monos("4010100", 512, {0, 2, 4, 6, 8, 6, 4, 2, 0}, repeat({}, 512, -4), up40)},
        // Starts from 0 while the zero history drains, then holds 1000;
        // -1000 + 0.5 truncates toward zero to -999.
        {"FilterSettlesOnConstant",
         {binary(X, {constant(256, 1000), constant(256, 1000), constant(256, -1000)})},
         {"-o", "-z", "1", "-u", "0", X}, start("mono") + FILTERING + writing(ABC), reader_lines(X),
         {wav(ABC[0], 1, 256, repeat({}, 128, 1000), 4000, 128), wav(ABC[1], 1, 256, {0}),
          wav(ABC[2], 1, 256, repeat({}, 128, -999), 4000, 128)}},
        {"FilterOutputSaturates", {binary(X, {full, constant(512, 0), constant(512, 0)})},
         {"-o", "-z", "1", "-u", "0", X}, start("mono") + FILTERING + writing(ABC),
         reader_lines(X) + clipped(filter_overshoots(full)), monos("4010100", 512)},
        // Stereo and six-channel files use a channel more than once; its
        // clips still count once.
        {"FilterOutputSaturatesStereo", {binary(X, {full, full, constant(512, 0)})},
         {"-s", "-o", "-z", "1", "-u", "0", X}, start("stereo") + FILTERING + writing(DEF),
         reader_lines(X) + clipped(2 * filter_overshoots(full)),
         {wav(DEF[0], 2, 512), wav(DEF[1], 2, 512), wav(DEF[2], 2, 512)}},
        {"FilterOutputSaturatesSixChannels", {binary(X, {constant(512, 0), full, full})},
         {"-6", "-o", "-z", "1", "-u", "0", X},
         start("stereo") + FILTERING + writing({"6chx4010100.wav"}),
         reader_lines(X) + clipped(2 * filter_overshoots(full)), {wav("6chx4010100.wav", 6, 512)}},
        {"TextValuesSaturate", {text(X, text_values)}, raw, raw_out,
         reader_lines(X, "text") + clipped(5),
         monos("4010100", 128, {32767, -32768, 32767, -32768, 0, 32767, -32768}, {1}, {2})},
    };
}

INSTANTIATE_TEST_SUITE_P(NumericEdges, ConvertingRun, testing::ValuesIn(numeric_edges()), label);

// Each reader is closed as soon as its file is done: its time-gap summary
// follows its own file's lines, and many files can be combined with few
// file descriptors.
std::vector<Conversion> reader_lifetime()
{
    const std::string echo = "valid_comment_type3: " + HEADER + "\n";
    std::vector<Input> many;
    std::string many_err;
    for (int i = 0; i < 200; i++) {
        char name[16];
        std::snprintf(name, sizeof name, "n%03d.dat", i);
        many.push_back(binary(name, squares()));
        many_err += reader_lines(name);
    }
    std::vector<std::string> many_args = {"-c", "-o", "-z", "1", "-u", "0", "-f"};
    for (const Input &in : many)
        many_args.push_back(in.name);
    return {
        {"GapSummaryAfterEachFile", {gapped(X, 3, {1}), gapped(Y, 4, {0, 2})}, {"-c", X, Y},
         start("mono", "4000", true) + defaults() + writing(ABC),
         reader_lines(X) + "TIMEGAP in data\n" + reader_lines(Y) + "Warning: TIMEGAPs in data\n",
         monos("4010100", 3584)},
        {"TimeZoneSwitchedOnce", {binary(X, squares()), binary(Y, squares())}, {"-c", X, Y},
         start("mono", "4000", true) + defaults() + writing(ABC),
         echo + "WARNING: setting TZ=UTC\n" + reader_lines(X).substr(echo.size()) + reader_lines(Y),
         monos("4010100", 1024), {"TZ=CET-1"}},
        {"ManyFilesFewDescriptors", many, many_args,
         start("mono", "4000", true) + writing({"a000.wav", "b000.wav", "c000.wav"}), many_err,
         monos("000", 200 * 128), {}, 24},
    };
}

INSTANTIATE_TEST_SUITE_P(ReaderLifetime, ConvertingRun, testing::ValuesIn(reader_lifetime()),
                         label);

// Resampling by 1100 and filtering, checked sample by sample against the
// documented arithmetic on outputs longer than 262144 frames.
TEST(LongOutput, MatchesDocumentedResamplingAndFilter)
{
    const int u = 1100;
    Channels in;
    unsigned long seed = 12345;
    for (auto &ch : in)
        for (int j = 0; j < 256; j++) {
            seed = seed * 1103515245 + 12345;
            ch.push_back(static_cast<double>((seed >> 16) % 16001) - 8000.0);
        }
    std::array<std::vector<int>, 3> want;
    for (int c = 0; c < 3; c++) {
        // a + (b - a) * (j / u), truncated; the last u samples hold the last input
        std::vector<double> up;
        for (size_t k = 1; k < in[c].size(); k++)
            for (int j = 0; j < u; j++)
                up.push_back(std::trunc(in[c][k - 1] + (in[c][k] - in[c][k - 1]) * (double(j) / u)));
        up.resize(up.size() + u, in[c].back());
        for (size_t n = 0; n < up.size(); n++) {
            long double y = n >= 128 ? H[0] * static_cast<long double>(up[n - 128]) : 0;
            for (size_t k = 1; k <= 128 && k <= n + 1; k++)
                y += H[k] * static_cast<long double>(up[n - k + 1]);
            want[c].push_back(static_cast<int>(std::trunc(y + 0.5L)));
        }
    }
    const std::vector<std::string> options = {"-o", "-z", "1", "-u", "1100", X};
    for (const std::string layout : {"-m", "-s", "-6"}) {
        SCOPED_TRACE(layout);
        Session r;
        std::vector<std::string> args = options;
        args.insert(args.begin(), layout);
        run(r, {binary(X, in)}, args);
        EXPECT_EQ(r.result.status, 0);
        EXPECT_EQ(r.result.err, reader_lines(X));
        const std::vector<int> none(want[0].size(), 0);
        auto pair = [&](int a, int b) {
            std::vector<int> x;
            for (size_t i = 0; i < want[0].size(); i++)
                x.insert(x.end(), {want[a][i], want[b][i]});
            return x;
        };
        if (layout == "-m")
            check_wavs(r.dir.path(), monos("4010100", 281600, want[0], want[1], want[2]));
        else if (layout == "-s")
            check_wavs(r.dir.path(), {wav(DEF[0], 2, 281600, pair(0, 1)), wav(DEF[1], 2, 281600, pair(1, 2)),
                                      wav(DEF[2], 2, 281600, pair(2, 0))});
        else {
            std::vector<int> six;
            for (size_t i = 0; i < want[0].size(); i++)
                six.insert(six.end(), {want[1][i], 0, want[0][i], 0, want[2][i], 0});
            check_wavs(r.dir.path(), {wav("6chx4010100.wav", 6, 281600, six)});
        }
    }
}

// ---- Runs that fail --------------------------------------------------------

struct Failure {
    std::string label;
    std::vector<Input> inputs;
    std::vector<std::string> args;
    std::string out, err;
    std::vector<std::string> dirs = {};  // directories made before the run
    std::vector<std::string> left = {};  // WAV files written before the failure
};

std::ostream &operator<<(std::ostream &os, const Failure &f)
{
    return os << f.label;
}

class FailingRun : public testing::TestWithParam<Failure> {};

// Every failure ends with status 1 after logging the command line and
// leaves no WAV file behind but those finished before it.
TEST_P(FailingRun, EndsWithStatusOneAndExactMessages)
{
    const Failure &f = GetParam();
    Session r;
    for (const std::string &d : f.dirs)
        fs::create_directories(r.dir.file(d));
    run(r, f.inputs, f.args);
    EXPECT_EQ(r.result.status, 1);
    EXPECT_EQ(r.result.out, f.out);
    EXPECT_EQ(r.result.err, f.err);
    EXPECT_EQ(wav_names(r.dir.path()), f.left);
    EXPECT_TRUE(fs::exists(r.dir.file("logfile")));
}

std::vector<Failure> failures()
{
    const Input x = binary(X, squares());
    const std::string none = "Error: No files given\n\n";
    const std::string n252(252, 'n'), n253(253, 'n');
    std::vector<double> full(512);  // full-scale square wave, overshoots in the filter
    for (size_t j = 0; j < full.size(); j++)
        full[j] = (j / 64) % 2 ? -32768.0 : 32767.0;
    return {
        {"NoFileGiven", {}, {"-s"}, start("stereo") + usage("tavo2wav", 4, 4000), none},
        {"NoFileUsageShowsValuesAfterOptions", {}, {"-u", "50", "-r", "1"},
         start("mono", "44100") + usage("tavo2wav", 50, 44100), none},
        {"OnlyAnUnknownOption", {}, {"-x"}, start("mono") + usage("tavo2wav", 4, 4000),
         "Unknown option: -x\n" + none},
        {"NoFileBeforeNegativeUpsampling", {}, {"-u", "-3"},
         start("mono") + usage("tavo2wav", -3, 4000), none},
        {"NegativeUpsampling", {x}, {"-u", "-1", X}, start("mono"),
         "Error: upsampling factor must not be negative (-u -1)\n"},
        {"MissingFile", {}, {"nosuch.dat"}, start("mono"),
         "gzopen:No such file or directory\nCan't open nosuch.dat\n"},
        // 128 frames times U, just past 4294967259 bytes of frames.
        {"MonoOutputTooLarge", {x}, {"-u", "16777216", X}, start("mono"),
         reader_lines(X) + "Error: output too large for a WAV file (2147483648 frames)\n"},
        {"StereoOutputTooLarge", {x}, {"-s", "-u", "8388608", X}, start("stereo"),
         reader_lines(X) + "Error: output too large for a WAV file (1073741824 frames)\n"},
        {"SixChannelOutputTooLarge", {x}, {"-6", "-u", "2796203", X}, start("stereo"),
         reader_lines(X) + "Error: output too large for a WAV file (357913984 frames)\n"},
        {"OutputCannotBeWritten", {x}, {X}, start("mono") + defaults() + "writing: a4010100.wav ",
         reader_lines(X) + "Error: can't write a4010100.wav: Is a directory\n", {"a4010100.wav"}},
        {"SecondOutputCannotBeWritten", {x}, {X},
         start("mono") + defaults() + "writing: a4010100.wav done\nwriting: b4010100.wav ",
         reader_lines(X) + "Error: can't write b4010100.wav: Is a directory\n", {"b4010100.wav"},
         {"a4010100.wav"}},
        {"ClipsReportedBeforeWriteFailure", {binary(X, {full, constant(512, 0), constant(512, 0)})},
         {"-o", "-z", "1", "-u", "0", X}, start("mono") + FILTERING + "writing: a4010100.wav ",
         reader_lines(X) + clipped(filter_overshoots(full)) +
             "Error: can't write a4010100.wav: Is a directory\n",
         {"a4010100.wav"}},
        {"SixChannelNameDoesNotFit", {binary(n253, squares())}, {"-6", "-u", "0", n253},
         start("stereo") + OFFSET + scaling(128) + FILTERING + "writing: 6ch" + n253 + ".wav ",
         reader_lines(n253) + "Error: can't write 6ch" + n253 + ".wav: File name too long\n"},
        {"NameTooLongForDirectory", {binary(n252, squares())}, {"-u", "0", n252},
         start("mono") + OFFSET + scaling(128) + FILTERING + "writing: a" + n252.substr(1) + ".wav ",
         reader_lines(n252) + "Error: can't write a" + n252.substr(1) + ".wav: File name too long\n"},
    };
}

INSTANTIATE_TEST_SUITE_P(Failures, FailingRun, testing::ValuesIn(failures()),
                         [](const testing::TestParamInfo<Failure> &i) { return i.param.label; });

// ---- Help ------------------------------------------------------------------

struct Help {
    std::string label;
    std::vector<std::string> args;
    std::string argv0;  // as the program sees it
    std::string name;   // as the usage text shows it
};

std::ostream &operator<<(std::ostream &os, const Help &h)
{
    return os << h.label;
}

class HelpRun : public testing::TestWithParam<Help> {};

TEST_P(HelpRun, PrintsUsageOnlyAndLogsNothing)
{
    const Help &h = GetParam();
    Session r;
    tavo_test::write_bytes(r.dir.file(X), binary(X, squares()).bytes);
    std::vector<std::string> argv{h.argv0};
    argv.insert(argv.end(), h.args.begin(), h.args.end());
    RunOptions options;
    options.program = BIN;
    r.result = run_process(argv, r.dir.path(), options);
    EXPECT_EQ(r.result.status, 0);
    EXPECT_EQ(r.result.out, usage(h.name, 4, 4000));
    EXPECT_EQ(r.result.err, "");
    EXPECT_FALSE(fs::exists(r.dir.file("logfile")));
    EXPECT_EQ(wav_names(r.dir.path()), std::vector<std::string>());
}

INSTANTIATE_TEST_SUITE_P(
    Usage, HelpRun,
    testing::Values(Help{"NoArguments", {}, BIN, "tavo2wav"}, Help{"DashH", {"-h"}, BIN, "tavo2wav"},
                    Help{"LongHelp", {"--help"}, BIN, "tavo2wav"},
                    Help{"QuestionMark", {"-?"}, BIN, "tavo2wav"},
                    Help{"HelpWinsOverFilesAndOptions", {"-u", "9", X, "-h", "-c"}, BIN, "tavo2wav"},
                    Help{"HelpTwice", {"-h", "--help"}, BIN, "tavo2wav"},
                    Help{"NameAfterLastBackslash", {"-h"}, "C:\\bin/x\\t2w.exe", "t2w.exe"},
                    Help{"BareName", {}, "t2w", "t2w"}),
    [](const testing::TestParamInfo<Help> &i) { return i.param.label; });

// ---- Rate table ------------------------------------------------------------

struct Rate {
    std::string value;
    unsigned long rate;
    std::string unknown;  // the value as the unknown-rate message shows it
};

std::ostream &operator<<(std::ostream &os, const Rate &r)
{
    return os << "-r " << r.value;
}

class RateOption : public testing::TestWithParam<Rate> {};

TEST_P(RateOption, SetsRateLineAndWavHeader)
{
    const Rate &p = GetParam();
    Session r;
    run(r, {no_records(X)}, {"-r", p.value, X});
    const std::string rate = std::to_string(p.rate);
    EXPECT_EQ(r.result.status, 0);
    EXPECT_EQ(r.result.out, start("mono", rate) + defaults() + writing(ABC));
    EXPECT_EQ(r.result.err,
              (p.unknown.empty() ? "" : "Unknown rate: " + p.unknown + ". Using default: 4000.\n") +
                  reader_lines(X));
    std::vector<Wav> w = monos("4010100", 0);
    for (Wav &one : w)
        one.rate = p.rate;
    check_wavs(r.dir.path(), w);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RateOption,
    testing::Values(Rate{"0", 48000, ""}, Rate{"1", 44100, ""}, Rate{"2", 22050, ""},
                    Rate{"3", 11025, ""}, Rate{"4", 8000, ""}, Rate{"5", 7333, ""},
                    Rate{"6", 6000, ""}, Rate{"7", 5500, ""}, Rate{"8", 4000, ""},
                    Rate{"18", 18, ""}, Rate{"4000", 4000, ""}, Rate{"5500", 5500, ""},
                    Rate{"6000", 6000, ""}, Rate{"7333", 7333, ""}, Rate{"8000", 8000, ""},
                    Rate{"11025", 11025, ""}, Rate{"22050", 22050, ""}, Rate{"44100", 44100, ""},
                    Rate{"48000", 48000, ""}, Rate{"0x12", 18, ""}, Rate{"9", 4000, "9"},
                    Rate{"17", 4000, "17"}, Rate{"44101", 4000, "44101"},
                    Rate{"-1", 4000, "18446744073709551615"}),
    [](const testing::TestParamInfo<Rate> &i) {
        return (i.param.value[0] == '-' ? "Minus" + i.param.value.substr(1) : i.param.value) +
               (i.param.unknown.empty() ? "" : "Unknown");
    });

// ---- Command-line log ------------------------------------------------------

TEST(CommandLineLog, AppendsOneQuotedLinePerRun)
{
    Session r;
    tavo_test::write_bytes(r.dir.file("my file.dat"), no_records("my file.dat").bytes);
    const std::vector<std::string> args = {"-u", "0", "my file.dat", "", "a,b", "--title=a \"b\""};
    run(r, {}, args);
    ASSERT_EQ(r.result.status, 0);
    run(r, {}, args);
    ASSERT_EQ(r.result.status, 0);
    const std::string tail =
        " " + BIN + " -u 0 \"my file.dat\"  \"a,b\" --title=\"a \\\"b\\\"\"\n";
    const std::regex line("[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    const std::string log = tavo_test::read_bytes(r.dir.file("logfile"));
    const size_t first = log.find('\n') + 1;
    ASSERT_EQ(log.size(), 2 * (17 + tail.size())) << log;
    for (const std::string &one : {log.substr(0, first), log.substr(first)}) {
        EXPECT_TRUE(std::regex_match(one.substr(0, 17), line)) << one;
        EXPECT_EQ(one.substr(17), tail);
    }
}

// ---- Full buffers (slow: about 19 MB of input) -----------------------------

struct Full {
    std::string label;
    size_t length;      // samples per record
    size_t first, second;  // records in the two files
};

std::ostream &operator<<(std::ostream &os, const Full &f)
{
    return os << f.label;
}

class BuffersFullSlow : public testing::TestWithParam<Full> {};

// Reading stops with a warning once a record no longer has room after
// 3173888 samples; the following input is left, its file still opened.
TEST_P(BuffersFullSlow, StopsReadingWithWarning)
{
    const Full &f = GetParam();
    const Channels small = {constant(f.length, 1), constant(f.length, 2), constant(f.length, 3)};
    Recording big = recording(small, f.length);
    big.records.resize(f.first, big.records[0]);
    Recording next = big;
    next.records.resize(f.second);
    Session r;
    run(r, {{X, tavo_test::binary_bytes(big)}, {Y, tavo_test::binary_bytes(next)}},
        {"-c", "-o", "-z", "1", "-u", "0", "-f", X, Y});
    const std::string header = f.length == 512 ? HEADER512 : HEADER;
    EXPECT_EQ(r.result.status, 0);
    EXPECT_EQ(r.result.out, start("mono", "4000", true) + writing(ABC));
    const std::string warning = "Warning: buffers full after 3173888 samples per channel; "
                                "the rest of the input is not converted\n";
    EXPECT_EQ(r.result.err, reader_lines(X, "binary", header) +
                                (f.second ? reader_lines(Y, "binary", header) : "") + warning);
    check_wavs(r.dir.path(), monos("4010100", 3173888, {1, 1}, {2, 2}, {3, 3}));
}

INSTANTIATE_TEST_SUITE_P(Reading, BuffersFullSlow,
                         testing::Values(Full{"OneFileOf512", 512, 6201, 0},
                                         Full{"SecondFileOf512", 512, 6199, 3},
                                         Full{"OneFileOf128", 128, 24797, 0}),
                         [](const testing::TestParamInfo<Full> &i) { return i.param.label; });

}  // namespace
