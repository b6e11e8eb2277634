// What lands in the files of a conversion, in-process, against values worked out from the input.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

#include "convert_into.h"
#include "tavo_writer.h"
#include "wav_file.h"
#include "rows.h"

namespace {

using tavo::Options;
using namespace tavo_test;

const int kInUtc = (setenv("TZ", "UTC", 1), tzset(), 0);

// A record of 128 samples at 18 Hz, `seconds` after 08:00, `sample`(c, j) in channel c.
Record record(long seconds, const std::function<double(int, int)>& sample)
{
    Record r{{seconds / 60, seconds % 60}, {}};
    for (int c = 0; c < 3; c++)
        for (int j = 0; j < 128; j++)
            r.channels[c].push_back(sample(c, j));
    return r;
}

// Writes `records` into a dated file of station k at 08:00; returns its path.
std::string write(const TempDir& dir, std::vector<Record> records, int slot = 16)
{
    const std::string path = dated_path(dir.path(), 'k', 2014, 3, 15, slot);
    write_binary(path, {form3_header('S', 128, "18", 1, 'k'), true, 128, std::move(records)});
    return path;
}

// The samples pass unchanged: no offset removal, scaling, resampling or filter.
const char* const RAW = "-o -z 1 -u 0 -f";

// Input channel c, sample j: each tells where it came from.
const auto tell = [](int c, int j) { return (c + 1) * 1000.0 + j; };

struct Placement {
    const char* name;
    const char* layout;
    std::map<std::string, std::vector<int>> files;  // input channel of each WAV channel, -1 silent
};

class Channels : public testing::TestWithParam<Placement> {};

TEST_P(Channels, LandWhereTheLayoutSays)
{
    const TempDir dir;
    const Options o = options(std::string(RAW) + " " + GetParam().layout);
    const Converted c = convert_into({write(dir, {record(0, tell)})}, o);
    ASSERT_EQ(c.result.status, 0) << c.err;
    ASSERT_EQ(c.files.size(), GetParam().files.size());
    for (const auto& [name, sources] : GetParam().files) {
        const WavFile w = parse_wav(c.files.at(name));
        ASSERT_EQ(w.channels, sources.size()) << name;
        ASSERT_EQ(w.frames, 128u) << name;
        for (unsigned k = 0; k < w.channels; k++)
            for (int j = 0; j < 128; j++)
                ASSERT_EQ(w.sample(j, k), sources[k] < 0 ? 0 : tell(sources[k], j))
                    << name << " channel " << k << " frame " << j;
    }
}

// clang-format off
const Placement placements[] = {
    {"MonoOneEach", "-m", {{"a4031516.wav", {0}}, {"b4031516.wav", {1}}, {"c4031516.wav", {2}}}},
    {"StereoPairs", "-s",
     {{"d4031516.wav", {0, 1}}, {"e4031516.wav", {1, 2}}, {"f4031516.wav", {2, 0}}}},
    // WAV channels 0, 2 and 4 carry the second, first and third input.
    {"SixChannels", "-6", {{"6chk4031516.wav", {1, -1, 0, -1, 2, -1}}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Layouts, Channels, testing::ValuesIn(placements), RowName());

// Text values beyond 16 bits saturate and count as clipped, NaN too (as 0); hexadecimal
// floats and an underflow read as the numbers they are.
TEST(TextValues, SaturateAndCount)
{
    const TempDir dir;
    const std::string header = form3_header('S', 128, "18", 1, 'k');
    std::string line = "0 0 nan -inf 1e308 0x1p4 -0x10 infinity 1e-400 -1e5 32767.9 -32768.9";
    for (int j = 10; j < 128; j++)
        line += " 1";
    write_bytes(dir.file("t.dat"), header + "\n" + line + "\n" + line + "\n" + line + "\n");
    const Converted c = convert_into({dir.file("t.dat")}, options(RAW));
    ASSERT_EQ(c.result.status, 0) << c.err;
    EXPECT_EQ(c.err.substr(c.err.rfind("Warning")), "Warning: 15 samples clipped\n");
    const std::vector<double> a = parse_wav(c.files.at("a.wav")).channel(0);
    EXPECT_EQ(std::vector<double>(a.begin(), a.begin() + 11),
              std::vector<double>({0, -32768, 32767, 16, -16, 32767, 0, -32768, 32767, -32768, 1}));
}

// Two option sets that give the same sound and say the same.
struct Twins {
    const char *name, *one, *other;
};

class SameSound : public testing::TestWithParam<Twins> {};

TEST_P(SameSound, FromBothOptionSets)
{
    const TempDir dir;
    std::vector<Record> records;
    for (int r = 0; r < 4; r++)
        records.push_back(
            record(r * 7, [r](int c, int j) { return 1000 * std::sin(0.1 * (r * 128 + j) + c); }));
    const std::string input = write(dir, records);
    const Converted a = convert_into({input}, options(GetParam().one));
    const Converted b = convert_into({input}, options(GetParam().other));
    ASSERT_EQ(a.result.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    EXPECT_TRUE(a.files == b.files);
}

const Twins twins[] = {
    // 44100 Hz / (18 Hz x 49) = 50 exactly.
    {"SpeedupFortyNineIsFactorFifty", "-o -z 1 -r 1 --speedup 49", "-o -z 1 -r 1 -u 50"},
    // The sinc resampler takes no filter.
    {"SincWithoutResamplingPassesTheSamples", "-o -z 1 -u 0 --resampler sinc", RAW},
};

INSTANTIATE_TEST_SUITE_P(Options, SameSound, testing::ValuesIn(twins), RowName());

// Through the filter at -u 4 a silent gap (7 s -> 107 s: 1672 samples) is smeared at its
// edges only; without --timeline the header is canonical.
TEST(GapSilence, MiddleStaysSilentThroughTheFilter)
{
    const TempDir dir;
    const auto alternating = [](int, int j) { return j % 2 ? 600 : 400; };
    const Converted c = convert_into(
        {write(dir, {record(0, alternating), record(7, alternating), record(107, alternating)})},
        options("--gaps silence"));
    ASSERT_EQ(c.result.status, 0) << c.err;
    const WavFile w = parse_wav(c.files.at("a4031516.wav"));
    EXPECT_EQ(w.data, 44u);
    ASSERT_EQ(w.frames, (128u * 3 + 1672) * 4);
    for (unsigned long i = 256 * 4 + 400; i < (256 + 1672) * 4 - 400; i++)
        ASSERT_EQ(w.sample(i, 0), 0) << "frame " << i;
    EXPECT_NE(w.sample(256 * 4 - 10, 0), 0);
    EXPECT_NE(w.sample((256 + 1672) * 4 + 200, 0), 0);
}

// Reading stops with a warning once a record has no room after 3173888 samples per channel;
// what was read is written, a following input is still opened.
TEST(BuffersFull, StopReadingWithAWarning)
{
    for (const auto& [length, first, second] : std::initializer_list<std::array<std::size_t, 3>>{
             {512, 6201, 0}, {512, 6199, 3}, {128, 24797, 0}}) {
        const TempDir dir;
        Record flat;
        for (int c = 0; c < 3; c++)
            flat.channels[c].assign(length, c + 1);
        const std::string header = form3_header('S', static_cast<int>(length), "18", 1, 'k');
        write_binary(dir.file("x.dat"), {header, true, length, std::vector(first, flat)});
        write_binary(dir.file("y.dat"), {header, true, length, std::vector(second, flat)});
        const Options o = options(std::string(RAW) + " -c");
        const Converted c = convert_into({dir.file("x.dat"), dir.file("y.dat")}, o);
        ASSERT_EQ(c.result.status, 0) << c.err;
        EXPECT_EQ(c.err.substr(c.err.rfind("\nFile: ") + 1),
                  "File: " + dir.file(second ? "y.dat" : "x.dat") + " Type:binary\n" +
                      "valid_comment_type3: " + header +
                      "\nWarning: buffers full after 3173888 samples per channel; the rest of "
                      "the input is not converted\n");
        const WavFile w = parse_wav(c.files.at("c.wav"));
        EXPECT_EQ(w.frames, 3173888u);
        EXPECT_EQ(w.sample(w.frames - 1, 0), 3);
    }
}

// A loud input's automatic factor is not carried over to a quiet one, nor back.
TEST(AutomaticScale, IsEachConversionsOwn)
{
    const TempDir dir;
    const auto at = [](double gain) {
        return [gain](int c, int j) { return gain * (c * 100 + j % 97 - 48); };
    };
    const std::string loud = write(dir, {record(0, at(100))}, 16);
    const std::string quiet = write(dir, {record(0, at(1))}, 17);
    for (int round = 0; round < 2; round++) {
        EXPECT_NE(convert_into({loud}, Options()).out.find("Scaling 4..."), std::string::npos);
        EXPECT_NE(convert_into({quiet}, Options()).out.find("Scaling 128..."), std::string::npos);
    }
}

}  // namespace
