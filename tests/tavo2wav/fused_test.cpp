// The fused conversion (chunked, parallel) prints and writes the bytes of the stage-by-stage
// one; the sinc renderer's files hold each channel's SincStream samples on any thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "convert_into.h"
#include "dsp/quantise.h"
#include "dsp/sinc_stream.h"
#include "engine/renderer.h"
#include "rows.h"
#include "tavo_writer.h"
#include "wav/wave.h"
#include "wav_file.h"

namespace {

using namespace tavo;
using namespace tavo::engine;
using tavo::dsp::SincStream;

const int kInUtc = (setenv("TZ", "UTC", 1), tzset(), 0);

// Records `seconds` apart with a square wave of +-`amplitude` on channel 0, so that chunks
// differ (at full scale its filtered overshoot clips, and clip counts add up over chunks).
tavo_test::Recording recording(int records, std::size_t length, int amplitude, long seconds)
{
    tavo_test::Recording rec{
        tavo_test::form3_header('S', static_cast<int>(length), "18.0", 1, 'k'), true, length, {}};
    for (int r = 0; r < records; r++) {
        const long t = r * seconds;
        rec.records.push_back(tavo_test::make_record(length, 480 + t / 60, t % 60, r % 30));
        for (size_t j = 0; j < length; j++)
            rec.records[r].channels[0][j] = (j / 37 + r) % 2 ? amplitude : -amplitude;
    }
    return rec;
}

// `s` says and writes what the stagewise conversion does, or (sinc, wide formats) one thread.
void expect_as_reference(const tavo_test::Recording& rec, const Options& s)
{
    tavo_test::TempDir input_dir;
    const std::string input = tavo_test::dated_path(input_dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_binary(input, rec);
    Options one = s;
    one.threads = 1;
    const bool stagewise =
        s.resampler == tavo::Resampler::LINEAR && s.format == tavo::SampleFormat::S16;
    const tavo_test::Converted ref = tavo_test::convert_into({input}, one, stagewise);
    const tavo_test::Converted got = tavo_test::convert_into({input}, s);
    EXPECT_EQ(ref.result.status, 0) << ref.err;
    EXPECT_EQ(got.result.status, 0) << got.err;
    EXPECT_EQ(ref.files.size(), s.layout == Layout::SIX ? 1u : 3u);
    EXPECT_EQ(got.out + "|" + got.err, ref.out + "|" + ref.err);
    EXPECT_TRUE(got.files == ref.files);
}

// Layout, resampling factor, offset removal, filter.
class FusedConversion : public testing::TestWithParam<std::tuple<Layout, int, bool, bool>> {};

// Eleven records of 512 samples, each after a gap: 281600 frames at U = 50, over a chunk.
TEST_P(FusedConversion, WritesTheSameBytesAsTheStagewiseConversion)
{
    Options s;
    std::tie(s.layout, s.upsample, s.remove_offset, s.filter) = GetParam();
    expect_as_reference(recording(11, 512, 32767, 32), s);
}

// "StereoFactor4MeanRemovedUnfiltered" and so on.
std::string row_name(const testing::TestParamInfo<std::tuple<Layout, int, bool, bool>>& i)
{
    const auto& [layout, factor, mean_removed, filtered] = i.param;
    const char* layouts[] = {"Mono", "Stereo", "SixChannel"};
    return layouts[static_cast<int>(layout)] + std::string("Factor") + std::to_string(factor) +
           (mean_removed ? "MeanRemoved" : "OffsetKept") + (filtered ? "Filtered" : "Unfiltered");
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FusedConversion,
    testing::Combine(testing::Values(Layout::MONO, Layout::STEREO, Layout::SIX),
                     testing::Values(0, 1, 4, 50), testing::Bool(), testing::Bool()),
    row_name);

// Inputs of many chunks (wrong order or place would show) on more threads than cores.
struct Long {
    const char* name;
    int records;
    std::size_t length;
    const char* options;
};

class LongFusedConversion : public testing::TestWithParam<Long> {};

TEST_P(LongFusedConversion, WritesTheBytesOfTheReference)
{
    const Long p = GetParam();
    expect_as_reference(recording(p.records, p.length, 3000, static_cast<long>(p.length) / 18),
                        tavo_test::options(p.options));
}

// 1500 x 512 samples at U = 7 make 5376000 frames (21 chunks); 128 samples
// at U = 44100 make 5644800 (22 chunks); 410 x 512 at U = 4, 839680.
INSTANTIATE_TEST_SUITE_P(ManyChunks, LongFusedConversion,
                         testing::Values(Long{"U7Filtered", 1500, 512, "-u 7 --threads 8"},
                                         Long{"U7Unfiltered", 1500, 512, "-u 7 -f"},
                                         Long{"SixChannelsU7", 1500, 512, "-6 -u 7 --threads 3"},
                                         Long{"U44100Filtered", 1, 128, "-u 44100 --threads 8"},
                                         Long{"U44100Unfiltered", 1, 128, "-u 44100 -f"},
                                         Long{"SincFloat", 410, 512,
                                              "--resampler sinc -u 4 --format f32 --threads 8"}),
                         tavo_test::RowName());

// A WAV file as the renderer's sink.
struct WaveSink : public FrameSink {
    bool write(const int16_t* f, std::size_t n) override { return w.write(f, n); }
    bool write(const int32_t* f, std::size_t n) override { return w.write(f, n); }
    bool write(const float* f, std::size_t n) override { return w.write(f, n); }
    wav::WaveWriter w;
};

// Samples per channel in and out: 6000 at a ratio of 50, five chunks.
constexpr long IN = 6000;
constexpr unsigned long long OUT = 300000;

// A different chirp on each channel, loud enough to clip in s16 here and there.
struct Channels {
    std::vector<int16_t> c[3];
    Channels()
    {
        for (int k = 0; k < 3; k++)
            for (int i = 0; i < IN; i++)
                c[k].push_back(
                    static_cast<int16_t>(32000 * std::sin(0.001 * (k + 1) * i * i / 50.0)));
    }
};

// Writes the files of `layout` and returns their bytes; *clips gets the clip counts.
std::vector<std::string> render(const Channels& ch, Layout layout, SampleFormat format,
                                unsigned threads, long (*clips)[3])
{
    tavo_test::TempDir dir;
    std::vector<WaveSink> owners(output_files(layout));
    std::vector<FrameSink*> sinks;
    RenderPlan plan;
    plan.format = format;
    plan.frames = SincStream::output_frames(IN, 1, 50);
    plan.chunk = 1 << 16;
    plan.independent_chunks = false;
    plan.workers = threads;
    plan.open = [&](int c, unsigned long long) -> std::unique_ptr<dsp::ChannelStream> {
        return std::unique_ptr<dsp::ChannelStream>(new SincStream(ch.c[c].data(), IN, 1, 50));
    };
    for (int f = 0; f < output_files(layout); f++) {
        plan.files.push_back(file_layout(layout, f));
        const std::string path = dir.file(std::to_string(f) + ".wav");
        EXPECT_TRUE(
            owners[f].w.open(path.c_str(), plan.files.back().channels, plan.frames, 44100, format));
        sinks.push_back(&owners[f]);
    }
    const Rendered r = tavo::engine::render(plan, sinks, [](unsigned long long) { return true; });
    EXPECT_EQ(r.failed, plan.files.size());
    EXPECT_EQ(r.stream_error, "");
    std::copy(r.clipped, r.clipped + 3, *clips);
    std::vector<std::string> bytes;
    for (int f = 0; f < output_files(layout); f++) {
        EXPECT_TRUE(owners[f].w.commit());
        bytes.push_back(tavo_test::read_bytes(dir.file(std::to_string(f) + ".wav")));
    }
    return bytes;
}

struct Setup {
    const char* name;
    Layout layout;
    SampleFormat format;
};

class SincOutput : public testing::TestWithParam<Setup> {};

TEST_P(SincOutput, FilesHoldEachChannelsStreamInPlaceOnAnyThreadCount)
{
    const Channels ch;
    const SampleFormat format = GetParam().format;
    long clips[3];
    const std::vector<std::string> files = render(ch, GetParam().layout, format, 2, &clips);
    // Each input channel resampled on its own, in counts, then converted.
    std::vector<double> expected[3];
    for (int c = 0; c < 3; c++) {
        SincStream s(ch.c[c].data(), IN, 1, 50);
        expected[c].resize(s.frames());
        s.next(expected[c].data(), expected[c].size());
        long clipped = 0;
        for (double v : expected[c])
            if (format == SampleFormat::S24)
                dsp::quantise_s24(v, &clipped);
            else
                dsp::quantise_s16(v, &clipped);
        EXPECT_EQ(clips[c], format == SampleFormat::F32 ? 0 : clipped) << c;
    }
    for (std::size_t f = 0; f < files.size(); f++) {
        const FileLayout l = file_layout(GetParam().layout, static_cast<int>(f));
        const tavo_test::WavFile w = tavo_test::parse_wav(files[f]);
        const std::size_t data = OUT * l.channels * sample_bytes(format);
        ASSERT_EQ(w.channels, l.channels);
        ASSERT_EQ(w.frames, OUT);
        ASSERT_EQ(w.bytes.size(), w.data + data + data % 2);  // and the pad byte
        for (std::size_t i = 0; i < OUT; i += 997) {
            for (unsigned k = 0; k < l.channels; k++) {
                const double v = l.source[k] < 0 ? 0.0 : expected[l.source[k]][i];
                long n = 0;
                const double want = format == SampleFormat::F32   ? dsp::to_f32(v) * 32768.0
                                    : format == SampleFormat::S24 ? dsp::quantise_s24(v, &n) / 256.0
                                                                  : dsp::quantise_s16(v, &n);
                EXPECT_EQ(w.sample(i, k), want) << f << " " << i << " " << k;
            }
        }
    }
    // 2 threads share three channels; 3 and 8 give each channel its own.
    for (unsigned threads : {1u, 3u, 8u}) {
        long threaded_clips[3];
        EXPECT_EQ(render(ch, GetParam().layout, format, threads, &threaded_clips), files)
            << threads;
        EXPECT_TRUE(std::equal(clips, clips + 3, threaded_clips)) << threads;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, SincOutput,
                         testing::Values(Setup{"MonoS16", Layout::MONO, SampleFormat::S16},
                                         Setup{"StereoS24", Layout::STEREO, SampleFormat::S24},
                                         Setup{"SixChannelF32", Layout::SIX, SampleFormat::F32},
                                         Setup{"MonoS24", Layout::MONO, SampleFormat::S24}),
                         tavo_test::RowName());

}  // namespace
