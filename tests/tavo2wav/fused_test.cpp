// The fused conversion (chunked resampling, fast filter, parallel chunks)
// against the stage-by-stage conversion over whole buffers with the
// per-sample reference filter: both must print and write the same bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "pipeline.h"
#include "render.h"
#include "tavo_writer.h"

namespace {

// Eleven records of 512 samples: 281600 frames at U = 50, more than one
// chunk. Channel 0 is a full-scale square wave whose filtered overshoot
// clips, channel 1 a slow sine, channel 2 noise with a large offset.
tavo_test::Recording recording()
{
    tavo_test::Recording rec;
    rec.header = tavo_test::form3_header('S', 512, "18.0", 1, 'k');
    rec.length = 512;
    rec.records.resize(11);
    for (long i = 0; i < 11 * 512; i++) {
        tavo_test::Record &r = rec.records[i / 512];
        r.time = {480 + i / 1024, i / 512 % 2 * 28};
        r.channels[0].push_back((i / 37) % 2 ? 32767 : -32768);
        r.channels[1].push_back(std::round(9000 * std::sin(i * 0.01)));
        r.channels[2].push_back(5000 + (i * 7919) % 2001 - 1000);
    }
    return rec;
}

// Converts `input` in dir with automatic scaling; returns what was printed
// on standard output and every file written.
std::string convert(const std::string &dir, const std::string &input, bool stagewise)
{
    global_scale = 0;
    clength = 512;
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    stagewise ? tavo2wav_stagewise({input}) : tavo2wav({input});
    testing::internal::GetCapturedStderr();
    std::string all = testing::internal::GetCapturedStdout();
    std::filesystem::current_path(cwd);
    for (const char *name : {"a4031516.wav", "b4031516.wav", "c4031516.wav", "d4031516.wav",
                             "e4031516.wav", "f4031516.wav", "6chk4031516.wav"})
        if (std::filesystem::exists(dir + "/" + name))
            all += name + tavo_test::read_bytes(dir + "/" + name);
    return all;
}

// Layout, resampling factor, offset removal, filter.
using Case = std::tuple<wave_t, int, bool, bool>;

class FusedConversion : public testing::TestWithParam<Case> {};

TEST_P(FusedConversion, WritesTheSameBytesAsTheStagewiseConversion)
{
    std::tie(stereo, upsample, remove_offset, need_filter) = GetParam();
    tavo_test::TempDir input_dir, ref_dir, fused_dir;
    const std::string input = tavo_test::dated_path(input_dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_binary(input, recording());
    const std::string ref = convert(ref_dir.path(), input, true);
    EXPECT_GT(ref.size(), 3 * (44 + 11 * 512 * 2));
    EXPECT_TRUE(convert(fused_dir.path(), input, false) == ref);
}

INSTANTIATE_TEST_SUITE_P(EveryLayoutFactorAndStage, FusedConversion,
                         testing::Combine(testing::Values(MONO, STEREO, SIX_CHANNEL),
                                          testing::Values(0, 1, 4, 50), testing::Bool(),
                                          testing::Bool()));

// A stream started in the middle gives what a stream from the start gives
// from there on, wherever the start lies (inside the first 128 samples, on
// an interpolation phase, in the held tail).
TEST(ChannelStream, StartedAnywhereMatchesTheWholeStream)
{
    std::vector<int16_t> in;
    for (int i = 0; i < 300; i++)
        in.push_back(static_cast<int16_t>((i * 7919) % 60001 - 30000));
    for (int u : {0, 1, 3, 50}) {
        ChannelStream whole(in.data(), 300, u, true);
        std::vector<int16_t> all(whole.frames());
        whole.next(all.data(), all.size());
        for (unsigned long long start : {1ull, 127ull, 128ull, 1000ull, whole.frames() - u - 1}) {
            if (start >= whole.frames())
                continue;
            ChannelStream part(in.data(), 300, u, true, start);
            std::vector<int16_t> rest(whole.frames() - start);
            part.next(rest.data(), rest.size());
            EXPECT_TRUE(std::equal(rest.begin(), rest.end(), all.begin() + start)) << u << " " << start;
        }
    }
}

}  // namespace
