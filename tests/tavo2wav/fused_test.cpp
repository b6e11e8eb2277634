// The fused conversion (chunked resampling, fast filter, parallel chunks)
// against the stage-by-stage conversion over whole buffers with the
// per-sample reference filter: both must write the same bytes everywhere.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "pipeline.h"
#include "render.h"
#include "stages.h"
#include "tavo_writer.h"

namespace {

using tavo_test::Record;
using tavo_test::Recording;
using tavo_test::TempDir;

// One run's settings.
struct Case {
    wave_t layout;
    int upsample;
    bool offset;
    bool filter;
};

std::string describe(const Case &s)
{
    const char *names[] = {"Mono", "Stereo", "SixChannel"};
    return std::string(names[s.layout]) + "U" + std::to_string(s.upsample) +
           (s.offset ? "Offset" : "NoOffset") + (s.filter ? "Filter" : "NoFilter");
}

// Records of 512 samples: a full-scale square wave on channel 0 (its
// filtered overshoot clips), a slow sine on channel 1 and noise with a
// large offset on channel 2.
Recording test_recording(int records)
{
    Recording rec;
    rec.header = tavo_test::form3_header('S', 512, "18.0", 1, 'k');
    rec.length = 512;
    unsigned seed = 12345;
    for (int r = 0; r < records; r++) {
        Record one;
        one.time = {480 + r / 2, (r % 2) * 28};
        for (int c = 0; c < 3; c++)
            one.channels[c].resize(rec.length);
        for (std::size_t j = 0; j < rec.length; j++) {
            const long i = r * 512L + static_cast<long>(j);
            seed = seed * 1103515245u + 12345u;
            one.channels[0][j] = (i / 37) % 2 ? 32767 : -32768;
            one.channels[1][j] = std::round(9000 * std::sin(i * 0.01));
            one.channels[2][j] = 5000 + static_cast<int>((seed >> 16) % 2001) - 1000;
        }
        rec.records.push_back(one);
    }
    return rec;
}

// Runs one conversion in dir, returning what it printed on standard
// output; the WAV files stay in dir.
std::string convert(const std::string &dir, const std::string &input, const Case &s,
                    bool stagewise)
{
    stereo = s.layout;
    combine = 0;
    need_filter = s.filter;
    remove_offset = s.offset;
    rate = 4000;
    global_scale = 0;
    upsample = s.upsample;
    clength = 512;
    const std::string out_path = dir + "/stdout";
    std::fflush(stdout);
    const int saved = dup(1);
    std::FILE *out = std::fopen(out_path.c_str(), "w");
    dup2(fileno(out), 1);
    char cwd[4096];
    EXPECT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(chdir(dir.c_str()), 0);
    testing::internal::CaptureStderr();
    if (stagewise)
        tavo2wav_stagewise({input});
    else
        tavo2wav({input});
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(chdir(cwd), 0);
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::fclose(out);
    return tavo_test::read_bytes(out_path);
}

class FusedConversion : public testing::TestWithParam<Case> {};

TEST_P(FusedConversion, WritesTheSameBytesAsTheStagewiseConversion)
{
    const Case s = GetParam();
    TempDir input_dir, ref_dir, fused_dir;
    const std::string input = tavo_test::dated_path(input_dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_binary(input, test_recording(3));

    const std::string ref_out = convert(ref_dir.path(), input, s, true);
    const std::string fused_out = convert(fused_dir.path(), input, s, false);
    EXPECT_EQ(fused_out, ref_out);
    const char *names[3][3] = {{"a4031516.wav", "b4031516.wav", "c4031516.wav"},
                               {"d4031516.wav", "e4031516.wav", "f4031516.wav"},
                               {"6chk4031516.wav", nullptr, nullptr}};
    for (const char *name : names[s.layout]) {
        if (!name)
            continue;
        const std::string ref = tavo_test::read_bytes(ref_dir.file(name));
        EXPECT_GT(ref.size(), 44u) << name;
        EXPECT_TRUE(ref == tavo_test::read_bytes(fused_dir.file(name))) << name;
    }
}

std::vector<Case> all_cases()
{
    std::vector<Case> v;
    for (wave_t layout : {MONO, STEREO, SIX_CHANNEL})
        for (int u : {0, 1, 4, 50})
            for (bool offset : {true, false})
                for (bool filter : {true, false})
                    v.push_back({layout, u, offset, filter});
    return v;
}

INSTANTIATE_TEST_SUITE_P(EveryLayoutFactorAndStage, FusedConversion, testing::ValuesIn(all_cases()),
                         [](const testing::TestParamInfo<Case> &i) { return describe(i.param); });

// A stream started in the middle gives what a stream from the start gives
// from there on, wherever the start lies (inside the first 128 samples,
// on an interpolation phase, in the held tail).
TEST(ChannelStream, StartedAnywhereMatchesTheWholeStream)
{
    std::vector<int16_t> in;
    for (int i = 0; i < 300; i++)
        in.push_back(static_cast<int16_t>((i * 7919) % 60001 - 30000));
    for (int u : {0, 1, 3, 50}) {
        ChannelStream whole(in.data(), static_cast<long>(in.size()), u, true);
        std::vector<int16_t> all(whole.frames());
        whole.next(all.data(), all.size());
        for (unsigned long long start : {0ull, 1ull, 5ull, 127ull, 128ull, 129ull, 1000ull,
                                         whole.frames() - u - 1, whole.frames() - 1}) {
            if (start >= whole.frames())
                continue;
            ChannelStream part(in.data(), static_cast<long>(in.size()), u, true, start);
            std::vector<int16_t> rest(whole.frames() - start);
            part.next(rest.data(), rest.size());
            EXPECT_TRUE(std::equal(rest.begin(), rest.end(), all.begin() + start))
                << "u " << u << " start " << start;
        }
    }
}

// The fused stream equals resample_channel() then the per-sample filter.
TEST(ChannelStream, EqualsResamplingThenReferenceFiltering)
{
    std::vector<int16_t> in = {0, 8, -32768, 32767, 32767, -5, 1000, 1000, -32768};
    for (int u : {1, 2, 4, 7}) {
        std::vector<int16_t> ref(in.size() * u);
        resample_channel(in.data(), static_cast<long>(in.size()), u, ref.data());
        const long ref_clipped = filter_channel_reference(ref.data(), static_cast<long>(ref.size()));
        ChannelStream s(in.data(), static_cast<long>(in.size()), u, true);
        std::vector<int16_t> got(s.frames());
        s.next(got.data(), got.size());
        EXPECT_EQ(got, ref) << "u " << u;
        EXPECT_EQ(s.clipped(), ref_clipped) << "u " << u;
    }
}

}  // namespace
