// Window mode of the engine, in-process, on generated archive trees whose
// every sample tells its own time: which samples the sound holds and where
// (so its exact length, the station time of its first and last sample and
// its runs of silence), the lines about time without data, the output names
// and the refusals; and the streaming conversion against the buffered one,
// byte for byte, on windows the buffers hold.
#include <gtest/gtest.h>

#include <dirent.h>

#include <functional>
#include <mutex>

#include <tavo/convert.h>

#include "archive_tree.h"
#include "engine/conversion.h"
#include "tavo_writer.h"

namespace {

using tavo::Gaps;
using tavo::Message;
using tavo::Options;
using tavo_test::ArchiveTree;
using tavo_test::Stretch;
using tavo_test::utc;

const int kInUtc = (setenv("TZ", "UTC", 1), tzset(), 0);

// What the engine said: standard output and standard error as printed.
class Said : public tavo::Diagnostics {
public:
    void text(Message kind, const std::string& t) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        (kind == Message::PROGRESS ? out : err) += t;
    }
    bool progress(const tavo::Progress& p) override
    {
        return p.end || stop_after < 0 || reports++ < stop_after;
    }
    // The lines about time without data.
    std::string no_data() const
    {
        std::string lines;
        for (std::size_t at = err.find("Warning: no data"); at != std::string::npos;
             at = err.find("Warning: ", at + 1))
            if (err.compare(at, 16, "Warning: no data") == 0 ||
                err.compare(at, 13, "Warning: and ") == 0)
                lines += err.substr(at, err.find('\n', at) + 1 - at);
        return lines;
    }
    std::string out, err;
    long stop_after = -1;
    long reports = 0;

private:
    std::mutex mutex_;
};

// The files' samples in memory: 16-bit frames, or (hashed) any format.
class Memory : public tavo::AudioSink {
public:
    bool begin(const tavo::AudioFile& f, std::string&) override
    {
        files.push_back(f);
        samples.emplace_back();
        hash.push_back(14695981039346656037ULL);
        return true;
    }
    bool write(int i, const void* p, std::size_t frames, std::string&) override
    {
        const tavo::AudioFile& f = files[i];
        const std::size_t n = frames * f.channels;
        if (f.format == tavo::SampleFormat::S16)
            samples[i].insert(samples[i].end(), static_cast<const int16_t*>(p),
                              static_cast<const int16_t*>(p) + n);
        const unsigned char* b = static_cast<const unsigned char*>(p);
        for (std::size_t k = 0; k < n * (f.format == tavo::SampleFormat::S16 ? 2 : 4); k++)
            hash[i] = (hash[i] ^ b[k]) * 1099511628211ULL;
        return true;
    }
    bool end(int, std::string&) override { return true; }
    std::vector<tavo::AudioFile> files;
    std::vector<std::vector<int16_t>> samples;
    std::vector<unsigned long long> hash;
};

Options window_options(std::int64_t from, std::int64_t to, Gaps gaps, const std::string& root)
{
    Options o;
    o.window = {true, root, 'k', from, to};
    o.gaps = gaps;
    return o;
}

// Every sample as it was read: no resampling, filter, offset removal or
// scaling.
Options unchanged(Options o)
{
    o.upsample = 0;
    o.filter = false;
    o.remove_offset = false;
    o.scale = 1;
    return o;
}

// "20140315T060000".
std::string compact_time(std::int64_t t)
{
    const time_t s = static_cast<time_t>(t);
    std::tm tm{};
    gmtime_r(&s, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &tm);
    return text;
}

struct Window {
    const char* name;
    ArchiveTree tree;
    std::int64_t from, to;
    Gaps gaps;
    std::string no_data;  // the warning lines
};

// Channel c of the sound the tree should give: the samples whose times lie
// in the window, in their places among silence, or one after the other.
std::vector<int16_t> expected(const Window& w, int c, double* first_time)
{
    const int f = w.tree.frequency;
    const long long first = w.from * f, last = w.to * f;
    std::vector<int16_t> sound;
    if (w.gaps == Gaps::SILENCE)
        sound.assign(static_cast<std::size_t>(last - first), 0);
    *first_time = static_cast<double>(w.from);
    for (const tavo_test::TreeRecord& r : w.tree.records())
        for (long long n = r.first_sample; n < r.first_sample + w.tree.length; n++) {
            if (n < first || n >= last)
                continue;
            if (w.gaps == Gaps::SILENCE)
                sound[static_cast<std::size_t>(n - first)] =
                    static_cast<int16_t>(tavo_test::sample_value(n, c));
            else if (sound.empty())
                *first_time = static_cast<double>(n) / f;
            if (w.gaps == Gaps::JOIN)
                sound.push_back(static_cast<int16_t>(tavo_test::sample_value(n, c)));
        }
    return sound;
}

class WindowSound : public testing::TestWithParam<Window> {};

TEST_P(WindowSound, HoldsExactlyTheSamplesOfTheWindow)
{
    const Window& w = GetParam();
    tavo_test::TempDir root;
    tavo_test::write_tree(root.path(), w.tree);
    Said said;
    Memory memory;
    const tavo::Result r = tavo::convert(
        {}, unchanged(window_options(w.from, w.to, w.gaps, root.path())), said, &memory);
    ASSERT_EQ(r.status, 0) << said.err;
    EXPECT_EQ(said.no_data(), w.no_data);
    ASSERT_EQ(memory.files.size(), 3u);
    for (int c = 0; c < 3; c++) {
        double first_time = 0;
        const std::vector<int16_t> want = expected(w, c, &first_time);
        EXPECT_EQ(memory.files[c].frames, want.size());
        EXPECT_TRUE(memory.samples[c] == want) << "channel " << c;
        EXPECT_EQ(r.time_map.start, first_time);
    }
    for (int c = 0; c < 3; c++)
        EXPECT_EQ(memory.files[c].name, std::string(1, "abc"[c]) + compact_time(w.from) + ".wav");
}

ArchiveTree tree(std::vector<Stretch> data, std::vector<std::int64_t> missing = {},
                 const std::string& forms = "b", int length = 512)
{
    ArchiveTree t;
    t.data = std::move(data);
    t.missing = std::move(missing);
    t.forms = forms;
    t.length = length;
    return t;
}

ArchiveTree unix_time(ArchiveTree t)
{
    t.unix_time = true;
    return t;
}

const std::int64_t MAR15 = utc(2014, 3, 15), MAR16 = utc(2014, 3, 16), MAR17 = utc(2014, 3, 17);
const std::int64_t H = 3600, M = 60;

std::vector<std::int64_t> every_other_half_hour(std::int64_t from, int count)
{
    std::vector<std::int64_t> slots;
    for (int i = 0; i < count; i++)
        slots.push_back(from + 1800 + i * H);
    return slots;
}

INSTANTIATE_TEST_SUITE_P(
    Trees, WindowSound,
    testing::Values(
        Window{"AcrossMidnight", tree({{MAR15 + 23 * H, 2 * H}}), MAR15 + 23 * H + 15 * M,
               MAR16 + 45 * M, Gaps::JOIN, ""},
        Window{"AcrossMonthsFileMissingAtTheStart",
               tree({{utc(2014, 3, 31, 23), 3 * H}}, {utc(2014, 3, 31, 23)}),
               utc(2014, 3, 31, 23, 10), utc(2014, 4, 1, 0, 40), Gaps::SILENCE,
               "Warning: no data from 2014-03-31T23:10:00Z to 2014-03-31T23:30:24Z (1224 s)\n"},
        Window{"FileMissingInsideJoined",
               tree({{MAR16 + 10 * H, 2 * H}}, {MAR16 + 10 * H + 30 * M}), MAR16 + 10 * H,
               MAR16 + 12 * H, Gaps::JOIN,
               "Warning: no data from 2014-03-16T10:30:24Z to 2014-03-16T11:00:16Z (1792 s)\n"},
        Window{"FileMissingAtTheEnd", tree({{MAR16 + 10 * H, 2 * H}}, {MAR16 + 11 * H + 30 * M}),
               MAR16 + 10 * H, MAR16 + 12 * H, Gaps::SILENCE,
               "Warning: no data from 2014-03-16T11:30:08Z to 2014-03-16T12:00:00Z (1792 s)\n"},
        Window{"PlainGzipAndTextSmallBlocks", tree({{MAR15 + 6 * H, 3 * H}}, {}, "bgtz", 128),
               MAR15 + 6 * H + 40 * M, MAR15 + 8 * H + 20 * M, Gaps::SILENCE, ""},
        Window{"TextLargeBlocks", tree({{MAR15 + 6 * H, 2 * H}}, {}, "zt"), MAR15 + 6 * H + 1,
               MAR15 + 7 * H + 59 * M + 59, Gaps::SILENCE, ""},
        Window{"InsideOneFile", tree({{MAR15 + 8 * H, 3 * H, true}}), MAR15 + 9 * H + 10 * M,
               MAR15 + 9 * H + 50 * M, Gaps::JOIN, ""},
        Window{"StartsInsideAGap", tree({{MAR16, H}, {MAR16 + H + 40 * M, 80 * M}}),
               MAR16 + H + 20 * M, MAR16 + 2 * H + 20 * M, Gaps::JOIN,
               "Warning: no data from 2014-03-16T01:20:00Z to 2014-03-16T01:40:00Z (1200 s)\n"},
        Window{"FileOfThePreviousDayPastMidnight", unix_time(tree({{MAR15 + 22 * H, 5 * H, true}})),
               MAR16 + H, MAR16 + 2 * H, Gaps::SILENCE, ""},
        Window{"TenStretchesShown",
               tree({{MAR17, 13 * H}}, every_other_half_hour(MAR17, 13), "b", 128), MAR17,
               MAR17 + 13 * H, Gaps::JOIN,
               [] {
                   std::string lines;
                   for (int h = 0; h < 10; h++) {
                       char line[120];
                       std::snprintf(line, sizeof line,
                                     "Warning: no data from 2014-03-17T%02d:30:00Z to "
                                     "2014-03-17T%02d:00:00Z (1800 s)\n",
                                     h, h + 1);
                       lines += line;
                   }
                   return lines + "Warning: and 3 more stretches without data\n";
               }()}),
    [](const testing::TestParamInfo<Window>& i) { return std::string(i.param.name); });

// A stop asked while the first pass reads or while the second one renders
// ends the run with nothing in the output folder.
TEST(WindowStop, LeavesNoFile)
{
    tavo_test::TempDir root, out;
    tavo_test::write_tree(root.path(), tree({{MAR15 + 6 * H, 3 * H}}));
    for (const long stop : {0L, 100L, 337L, 340L}) {  // 337 records, then chunks
        Options o = window_options(MAR15 + 6 * H, MAR15 + 9 * H, Gaps::SILENCE, root.path());
        o.output_dir = out.path();
        o.threads = 2;
        Said said;
        said.stop_after = stop;
        const tavo::Result r = tavo::convert({}, o, said);
        EXPECT_TRUE(r.cancelled) << stop;
        EXPECT_EQ(r.status, 1);
        DIR* d = opendir(out.path().c_str());
        int names = 0;
        for (const dirent* e = d ? readdir(d) : nullptr; e != nullptr; e = readdir(d))
            names += e->d_name[0] != '.';
        if (d)
            closedir(d);
        EXPECT_EQ(names, 0) << stop;
    }
}

// The buffered and the streaming conversion of one window with one set of
// options: the bytes of every file and everything said are the same.
struct Same {
    const char* name;
    std::function<void(Options&)> set;
    std::int64_t hours;
    bool clips = false;  // the stages saturate samples
};

class StreamingConversion : public testing::TestWithParam<Same> {};

TEST_P(StreamingConversion, EqualsTheBufferedOne)
{
    tavo_test::TempDir root;
    // Eight hours with a file missing, the window from inside the first file.
    tavo_test::write_tree(root.path(),
                          tree({{MAR15 + 6 * H, 8 * H}}, {MAR15 + 9 * H + 30 * M}, "bg"));
    const std::int64_t from = MAR15 + 6 * H + 10 * M + 7;
    Options o = window_options(from, from + GetParam().hours * H, Gaps::JOIN, root.path());
    GetParam().set(o);
    Said buffered_said, streamed_said;
    Memory buffered, streamed;
    const tavo::Result b =
        tavo::engine::Conversion(o, buffered_said, &buffered).run_window({}, /*buffered=*/true);
    const tavo::Result s = tavo::convert({}, o, streamed_said, &streamed);
    ASSERT_EQ(b.status, 0) << buffered_said.err;
    ASSERT_EQ(s.status, 0) << streamed_said.err;
    EXPECT_EQ(streamed_said.out, buffered_said.out);
    EXPECT_EQ(streamed_said.err, buffered_said.err);
    EXPECT_EQ(s.clipped, b.clipped);
    EXPECT_EQ(b.clipped > 0, GetParam().clips);
    ASSERT_EQ(streamed.files.size(), buffered.files.size());
    for (std::size_t i = 0; i < streamed.files.size(); i++) {
        EXPECT_EQ(streamed.files[i].frames, buffered.files[i].frames);
        EXPECT_EQ(streamed.hash[i], buffered.hash[i]) << streamed.files[i].name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, StreamingConversion,
    testing::Values(Same{"LinearFilteredJoined",
                         [](Options& o) {
                             o.upsample = 4;
                             o.threads = 2;
                         },
                         6},
                    Same{"SixChannelsSilenceS24Timeline",
                         [](Options& o) {
                             o.layout = tavo::Layout::SIX;
                             o.upsample = 7;
                             o.gaps = Gaps::SILENCE;
                             o.format = tavo::SampleFormat::S24;
                             o.timeline = true;
                             o.threads = 3;
                         },
                         6},
                    Same{"SincStereoSilenceF32",
                         [](Options& o) {
                             o.resampler = tavo::Resampler::SINC;
                             o.upsample = 10;
                             o.layout = tavo::Layout::STEREO;
                             o.gaps = Gaps::SILENCE;
                             o.format = tavo::SampleFormat::F32;
                         },
                         2},
                    Same{"SincSpeedup",
                         [](Options& o) {
                             o.resampler = tavo::Resampler::SINC;
                             o.speedup = 3;
                             o.threads = 1;
                         },
                         1, true},  // the overshoot of the sawtooth's edges, in s16
                    Same{"ScaleClipsWithoutResampling",
                         [](Options& o) {
                             o.scale = 8;
                             o.upsample = 0;
                         },
                         6, true},
                    Same{"OffsetKeptScaleClipsUnfiltered",
                         [](Options& o) {
                             o.remove_offset = false;
                             o.scale = 4;
                             o.upsample = 2;
                             o.filter = false;
                             o.gaps = Gaps::SILENCE;
                             o.threads = 1;
                         },
                         6, true}),
    [](const testing::TestParamInfo<Same>& i) { return std::string(i.param.name); });

}  // namespace
