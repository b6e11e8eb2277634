// The sinc output: the files hold exactly each channel's SincStream
// samples, converted and interleaved in the layout's places, and the same
// bytes come out whatever number of producer threads share the channels,
// none included.
#include "sinc_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "sinc_stream.h"
#include "tavo_writer.h"

namespace {

// 6000 samples per channel (5 chunks at a ratio of 50 after resampling): a
// different chirp on each channel, loud enough to clip in s16 here and there.
struct Channels {
    std::vector<int16_t> c[3];
    const int16_t* ptr[3];
    Channels()
    {
        for (int k = 0; k < 3; k++) {
            for (int i = 0; i < 6000; i++)
                c[k].push_back(
                    static_cast<int16_t>(32000 * std::sin(0.001 * (k + 1) * i * i / 50.0)));
            ptr[k] = c[k].data();
        }
    }
};

// Writes the files of `layout` and returns their bytes.
std::vector<std::string> render(const Channels& ch, wave_t layout, const SincJob& job,
                                ClipCount* clips)
{
    tavo_test::TempDir dir;
    std::vector<std::unique_ptr<WaveWriter>> owners;
    std::vector<WaveWriter*> writers;
    std::vector<FileLayout> layouts;
    for (int f = 0; f < output_files(layout); f++) {
        layouts.push_back(file_layout(layout, f));
        owners.emplace_back(new WaveWriter);
        writers.push_back(owners.back().get());
        const std::string path = dir.file(std::to_string(f) + ".wav");
        EXPECT_TRUE(writers.back()->open(path.c_str(), layouts.back().channels,
                                         sinc_frames(job, 6000), 44100, job.format));
    }
    Progress progress("test", 0, -1, nullptr);
    int err = 0;
    std::string error;
    EXPECT_EQ(
        render_sinc_files(writers, layouts, ch.ptr, 6000, job, clips, &progress, &err, &error),
        layouts.size());
    std::vector<std::string> bytes;
    for (int f = 0; f < output_files(layout); f++) {
        EXPECT_TRUE(writers[f]->commit());
        bytes.push_back(tavo_test::read_bytes(dir.file(std::to_string(f) + ".wav")));
    }
    return bytes;
}

struct Setup {
    const char* name;
    wave_t layout;
    SampleFormat format;
};

class SincOutput : public testing::TestWithParam<Setup> {};

TEST_P(SincOutput, SameBytesOnAnyThreadCount)
{
    const Channels ch;
    ClipCount inline_clips;
    const SincJob one{true, 1, 50, GetParam().format, 1};
    const std::vector<std::string> inline_bytes = render(ch, GetParam().layout, one, &inline_clips);
    // 2 threads share three channels; 3 and 8 give each channel its own.
    for (unsigned threads : {2u, 3u, 8u}) {
        ClipCount threaded_clips;
        const SincJob many{true, 1, 50, GetParam().format, threads};
        EXPECT_EQ(render(ch, GetParam().layout, many, &threaded_clips), inline_bytes) << threads;
        for (int c = 0; c < 3; c++) {
            EXPECT_TRUE(threaded_clips.counted[c]);
            EXPECT_EQ(threaded_clips.per_channel[c], inline_clips.per_channel[c]) << threads;
        }
    }
}

TEST_P(SincOutput, FilesHoldEachChannelsStreamInPlace)
{
    const Channels ch;
    const SincJob job{true, 1, 50, GetParam().format, 2};
    ClipCount clips;
    const std::vector<std::string> files = render(ch, GetParam().layout, job, &clips);
    // Each input channel resampled on its own, in counts, then converted.
    std::vector<double> expected[3];
    long clipped[3] = {0, 0, 0};
    for (int c = 0; c < 3; c++) {
        SincStream s(ch.ptr[c], 6000, 1, 50);
        expected[c].resize(s.frames());
        s.next(expected[c].data(), expected[c].size());
    }
    const std::size_t header = wave_header_bytes(job.format), size = sample_bytes(job.format);
    for (std::size_t f = 0; f < files.size(); f++) {
        const FileLayout l = file_layout(GetParam().layout, static_cast<int>(f));
        ASSERT_EQ(files[f].size(),
                  header + 300000 * l.channels * size + (300000 * l.channels * size) % 2);
        for (std::size_t i = 0; i < 300000; i += 997) {
            for (unsigned w = 0; w < l.channels; w++) {
                const char* at = files[f].data() + header + (i * l.channels + w) * size;
                const int c = l.source[w];
                const double v = c < 0 ? 0.0 : expected[c][i];
                long ignored = 0;
                if (job.format == SampleFormat::F32) {
                    float got;
                    std::memcpy(&got, at, 4);
                    EXPECT_EQ(got, to_f32(v)) << f << " " << i << " " << w;
                } else if (job.format == SampleFormat::S24) {
                    int32_t got = 0;
                    std::memcpy(&got, at, 3);
                    EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(got) << 8) >> 8,
                              quantise_s24(v, &ignored))
                        << f << " " << i << " " << w;
                } else {
                    int16_t got;
                    std::memcpy(&got, at, 2);
                    EXPECT_EQ(got, quantise_s16(v, &ignored)) << f << " " << i << " " << w;
                }
            }
        }
    }
    for (int c = 0; c < 3; c++) {
        for (double v : expected[c]) {
            if (job.format == SampleFormat::S16)
                quantise_s16(v, &clipped[c]);
            else if (job.format == SampleFormat::S24)
                quantise_s24(v, &clipped[c]);
        }
        EXPECT_EQ(clips.per_channel[c], clipped[c]);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, SincOutput,
                         testing::Values(Setup{"MonoS16", MONO, SampleFormat::S16},
                                         Setup{"StereoS24", STEREO, SampleFormat::S24},
                                         Setup{"SixChannelF32", SIX_CHANNEL, SampleFormat::F32},
                                         Setup{"MonoS24", MONO, SampleFormat::S24}),
                         [](const testing::TestParamInfo<Setup>& i) {
                             return std::string(i.param.name);
                         });

}  // namespace
