// Window mode of the engine on archive trees whose every sample tells its own time: which
// samples the sound holds and where, the lines about time without data, and the streaming
// conversion against the buffered one.
#include <gtest/gtest.h>

#include "archive/archive.h"
#include "archive_tree.h"
#include "convert_into.h"
#include "engine/conversion.h"
#include "tavo_writer.h"
#include "rows.h"

namespace {

using tavo::Gaps;
using tavo::Options;
using namespace tavo_test;

const int kInUtc = (setenv("TZ", "UTC", 1), tzset(), 0);

// The window over the tree at `root` with the options of these words.
Options window(const std::string& words, std::int64_t from, std::int64_t to, Gaps gaps,
               const std::string& root)
{
    Options o = options(words);
    o.window = {true, root, 'k', from, to};
    o.gaps = gaps;
    return o;
}

// The lines about time without data among what was said.
std::string no_data(const std::string& err)
{
    std::string lines;
    for (auto at = err.find("Warning: no data"); at != std::string::npos;
         at = err.find("Warning: no data", at + 1))
        lines += err.substr(at, err.find('\n', at) + 1 - at);
    return lines;
}

struct Window {
    const char* name;
    ArchiveTree tree;
    std::int64_t from, to;
    Gaps gaps;
    std::string no_data;  // the warning lines
};

// Channel c of the sound: the window's samples, in their places among silence or one after
// the other; and the station time of its first sample.
std::string expected(const Window& w, int c, double* first_time)
{
    const int f = w.tree.frequency;
    const long long first = w.from * f, last = w.to * f;
    std::vector<int16_t> sound;
    if (w.gaps == Gaps::SILENCE)
        sound.assign(static_cast<std::size_t>(last - first), 0);
    *first_time = static_cast<double>(w.from);
    for (const TreeRecord& r : w.tree.records())
        for (long long n = r.first_sample; n < r.first_sample + w.tree.length; n++) {
            if (n < first || n >= last)
                continue;
            const auto v = static_cast<int16_t>(sample_value(n, c));
            if (w.gaps == Gaps::SILENCE)
                sound[static_cast<std::size_t>(n - first)] = v;
            else if (sound.empty())
                *first_time = static_cast<double>(n) / f;
            if (w.gaps == Gaps::JOIN)
                sound.push_back(v);
        }
    return std::string(reinterpret_cast<const char*>(sound.data()), 2 * sound.size());
}

class WindowSound : public testing::TestWithParam<Window> {};

TEST_P(WindowSound, HoldsExactlyTheSamplesOfTheWindow)
{
    const Window& w = GetParam();
    TempDir root;
    write_tree(root.path(), w.tree);
    Said said;
    Captured sound;
    // Every sample as it was read: no offset removal, scaling, resampling or filter.
    const Options o = window("-o -z 1 -u 0 -f", w.from, w.to, w.gaps, root.path());
    const tavo::Result r = tavo::convert({}, o, said, &sound);
    ASSERT_EQ(r.status, 0) << said.err;
    EXPECT_EQ(no_data(said.err), w.no_data);
    ASSERT_EQ(sound.files.size(), 3u);
    for (int c = 0; c < 3; c++) {
        double first_time = 0;
        const std::string want = expected(w, c, &first_time);
        EXPECT_EQ(sound.files[c].frames * 2, want.size()) << "channel " << c;
        EXPECT_TRUE(sound.bytes[c] == want) << "channel " << c;
        EXPECT_EQ(r.time_map.start, first_time);
        EXPECT_EQ(sound.files[c].name,
                  "abc"[c] + tavo::archive::window_base_name('k', w.from).substr(1) + ".wav");
    }
}

ArchiveTree tree(std::vector<Stretch> data, std::vector<std::int64_t> missing = {},
                 const std::string& forms = "b", int length = 512, bool unix_time = false)
{
    return {std::move(data), length, /*frequency=*/16, forms, std::move(missing), 'k', unix_time};
}

const std::int64_t MAR15 = utc(2014, 3, 15), MAR16 = utc(2014, 3, 16);
const std::int64_t H = 3600, M = 60;

// clang-format off
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
               tree({{MAR16 + 10 * H, 2 * H}}, {MAR16 + 10 * H + 30 * M}),
               MAR16 + 10 * H, MAR16 + 12 * H, Gaps::JOIN,
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
        Window{"FileOfThePreviousDayPastMidnight",
               tree({{MAR15 + 22 * H, 5 * H, true}}, {}, "b", 512, true), MAR16 + H, MAR16 + 2 * H,
               Gaps::SILENCE, ""}),
    RowName());
// clang-format on

// The buffered and the streaming conversion of a window give the same bytes and say the same.
struct Same {
    const char* name;
    const char* options;
    Gaps gaps;
    std::int64_t hours;
    bool clips = false;  // the stages saturate samples
};

class StreamingConversion : public testing::TestWithParam<Same> {};

TEST_P(StreamingConversion, EqualsTheBufferedOne)
{
    TempDir root;
    // Eight hours with a file missing, the window from inside the first file.
    write_tree(root.path(), tree({{MAR15 + 6 * H, 8 * H}}, {MAR15 + 9 * H + 30 * M}, "bg"));
    const std::int64_t from = MAR15 + 6 * H + 10 * M + 7;
    const Same& p = GetParam();
    const Options o = window(p.options, from, from + p.hours * H, p.gaps, root.path());
    Said buffered_said, streamed_said;
    Captured buffered, streamed;
    const tavo::Result b =
        tavo::engine::Conversion(o, buffered_said, &buffered).run_window({}, /*buffered=*/true);
    const tavo::Result s = tavo::convert({}, o, streamed_said, &streamed);
    ASSERT_EQ(b.status, 0) << buffered_said.err;
    ASSERT_EQ(s.status, 0) << streamed_said.err;
    EXPECT_EQ(streamed_said.out, buffered_said.out);
    EXPECT_EQ(streamed_said.err, buffered_said.err);
    EXPECT_EQ(s.clipped, b.clipped);
    EXPECT_EQ(b.clipped > 0, p.clips);
    ASSERT_EQ(streamed.files.size(), buffered.files.size());
    for (std::size_t i = 0; i < streamed.files.size(); i++) {
        EXPECT_EQ(streamed.files[i].frames, buffered.files[i].frames);
        EXPECT_TRUE(streamed.bytes[i] == buffered.bytes[i]) << streamed.files[i].name;
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Options, StreamingConversion,
    testing::Values(
        Same{"LinearFilteredJoined", "-u 4 --threads 2", Gaps::JOIN, 6},
        Same{"SixChannelsSilenceS24Timeline", "-6 -u 7 --format s24 --timeline --threads 3",
             Gaps::SILENCE, 6},
        // The overshoot of the sawtooth's edges clips in s16, not in f32.
        Same{"SincStereoSilenceF32", "--resampler sinc -u 10 -s --format f32", Gaps::SILENCE, 2},
        Same{"SincSpeedup", "--resampler sinc --speedup 3 --threads 1", Gaps::JOIN, 1, true},
        Same{"ScaleClipsWithoutResampling", "-z 8 -u 0", Gaps::JOIN, 6, true},
        Same{"OffsetKeptScaleClipsUnfiltered", "-o -z 4 -u 2 -f --threads 1", Gaps::SILENCE, 6,
             true}),
    RowName());
// clang-format on

}  // namespace
