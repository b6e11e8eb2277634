// The rendering pipeline against its references. The fused conversion
// (chunked resampling, fast filter, parallel chunks) against the
// stage-by-stage conversion over whole buffers with the per-sample
// reference filter: both must print and write the same bytes. With the
// sinc resampler's sequential streams, the files hold exactly each
// channel's SincStream samples, converted and interleaved in the layout's
// places, and the same bytes come out whatever number of threads share the
// channels, none included.
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

using tavo::Layout;
using tavo::Options;

// Eleven records of 512 samples: 281600 frames at U = 50, more than one
// chunk. Channel 0 is a full-scale square wave whose filtered overshoot
// clips; the others step by 1000 from record to record.
tavo_test::Recording recording()
{
    tavo_test::Recording rec{tavo_test::form3_header('S', 512, "18.0", 1, 'k'), true, 512, {}};
    for (int r = 0; r < 11; r++) {
        rec.records.push_back(tavo_test::make_record(512, 480 + r / 2, r % 2 * 28, r));
        for (size_t j = 0; j < 512; j++)
            rec.records[r].channels[0][j] = (j / 37) % 2 ? 32767 : -32768;
    }
    return rec;
}

const int kInUtc = (setenv("TZ", "UTC", 1), tzset(), 0);

// What the conversion of `input` with `settings` (automatic scaling) says
// and writes, stage by stage or fused.
std::pair<std::string, std::map<std::string, std::string>> convert(const std::string& input,
                                                                   const Options& settings,
                                                                   bool stagewise)
{
    const tavo_test::Converted c = tavo_test::convert_into({input}, settings, stagewise);
    EXPECT_EQ(c.result.status, 0) << c.err;
    return {c.out + "|" + c.err, c.files};
}

// Layout, resampling factor, offset removal, filter.
class FusedConversion : public testing::TestWithParam<std::tuple<Layout, int, bool, bool>> {};

TEST_P(FusedConversion, WritesTheSameBytesAsTheStagewiseConversion)
{
    Options s;
    std::tie(s.layout, s.upsample, s.remove_offset, s.filter) = GetParam();
    tavo_test::TempDir input_dir;
    const std::string input = tavo_test::dated_path(input_dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_binary(input, recording());
    const auto ref = convert(input, s, true);
    EXPECT_EQ(ref.second.size(), s.layout == Layout::SIX ? 1u : 3u);
    EXPECT_TRUE(convert(input, s, false) == ref);
}

// Inputs that span many chunks, so that chunks written in the wrong order
// or rendered from the wrong place would show: record count, record
// length, resampling factor, filter.
struct Long {
    const char* name;
    int records;
    std::size_t length;
    int u;
    bool filter;
};

class LongFusedConversion : public testing::TestWithParam<Long> {};

// Records of `length` samples stepping by 1000 from record to record, with
// a square wave on channel 0 so that every chunk differs from its
// neighbours.
tavo_test::Recording long_recording(int records, std::size_t length)
{
    tavo_test::Recording rec{
        tavo_test::form3_header('S', static_cast<int>(length), "18.0", 1, 'k'), true, length, {}};
    for (int r = 0; r < records; r++) {
        const long t = r * static_cast<long>(length) / 18;
        rec.records.push_back(tavo_test::make_record(length, 480 + t / 60, t % 60, r % 30));
        for (size_t j = 0; j < length; j++)
            rec.records[r].channels[0][j] = (j / 37 + r) % 2 ? 3000 : -3000;
    }
    return rec;
}

TEST_P(LongFusedConversion, WritesTheSameBytesAsTheStagewiseConversion)
{
    const Long p = GetParam();
    Options s;
    s.upsample = p.u;
    s.filter = p.filter;
    tavo_test::TempDir input_dir;
    const std::string input = tavo_test::dated_path(input_dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_binary(input, long_recording(p.records, p.length));
    const auto ref = convert(input, s, true);
    EXPECT_EQ(ref.second.size(), 3u);
    EXPECT_TRUE(convert(input, s, false) == ref);
}

// 1500 x 512 samples at U = 7 make 5376000 frames (21 chunks); 128 samples
// at U = 44100 make 5644800 (22 chunks).
INSTANTIATE_TEST_SUITE_P(ManyChunks, LongFusedConversion,
                         testing::Values(Long{"U7Filtered", 1500, 512, 7, true},
                                         Long{"U7Unfiltered", 1500, 512, 7, false},
                                         Long{"U44100Filtered", 1, 128, 44100, true},
                                         Long{"U44100Unfiltered", 1, 128, 44100, false}),
                         tavo_test::RowName());

// "StereoFactor4MeanRemovedUnfiltered" and so on.
std::string row_name(const testing::TestParamInfo<std::tuple<Layout, int, bool, bool>>& i)
{
    const char* layouts[] = {"Mono", "Stereo", "SixChannel"};
    return layouts[static_cast<int>(std::get<0>(i.param))] + std::string("Factor") +
           std::to_string(std::get<1>(i.param)) +
           (std::get<2>(i.param) ? "MeanRemoved" : "OffsetKept") +
           (std::get<3>(i.param) ? "Filtered" : "Unfiltered");
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FusedConversion,
    testing::Combine(testing::Values(Layout::MONO, Layout::STEREO, Layout::SIX),
                     testing::Values(0, 1, 4, 50), testing::Bool(), testing::Bool()),
    row_name);

using namespace tavo;
using namespace tavo::engine;
using tavo::dsp::SincStream;

// What the renderer is asked to do.
struct SincJob {
    SampleFormat format;
    unsigned threads;
};

class WaveSink : public FrameSink {
public:
    explicit WaveSink(wav::WaveWriter& w) : w_(w) {}
    bool write(const int16_t* f, std::size_t n) override { return w_.write(f, n); }
    bool write(const int32_t* f, std::size_t n) override { return w_.write(f, n); }
    bool write(const float* f, std::size_t n) override { return w_.write(f, n); }

private:
    wav::WaveWriter& w_;
};

// Samples per channel in and out: 6000 at a ratio of 50, five chunks.
constexpr long IN = 6000;
constexpr unsigned long long OUT = 300000;

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

// Writes the files of `layout` and returns their bytes; *clips gets the
// per-channel clip counts.
std::vector<std::string> render(const Channels& ch, Layout layout, const SincJob& job,
                                long (*clips)[3])
{
    tavo_test::TempDir dir;
    std::vector<std::unique_ptr<wav::WaveWriter>> writers;
    std::vector<std::unique_ptr<WaveSink>> owners;
    std::vector<FrameSink*> sinks;
    RenderPlan plan;
    plan.format = job.format;
    plan.frames = SincStream::output_frames(IN, 1, 50);
    plan.chunk = 1 << 16;
    plan.independent_chunks = false;
    plan.workers = job.threads;
    plan.open = [&](int c, unsigned long long) -> std::unique_ptr<dsp::ChannelStream> {
        return std::unique_ptr<dsp::ChannelStream>(new SincStream(ch.ptr[c], IN, 1, 50));
    };
    for (int f = 0; f < output_files(layout); f++) {
        plan.files.push_back(file_layout(layout, f));
        writers.emplace_back(new wav::WaveWriter);
        const std::string path = dir.file(std::to_string(f) + ".wav");
        EXPECT_TRUE(writers.back()->open(path.c_str(), plan.files.back().channels, plan.frames,
                                         44100, job.format));
        owners.emplace_back(new WaveSink(*writers.back()));
        sinks.push_back(owners.back().get());
    }
    const Rendered r = tavo::engine::render(plan, sinks, [](unsigned long long) { return true; });
    EXPECT_EQ(r.failed, plan.files.size());
    EXPECT_EQ(r.stream_error, "");
    std::copy(r.clipped, r.clipped + 3, *clips);
    std::vector<std::string> bytes;
    for (int f = 0; f < output_files(layout); f++) {
        EXPECT_TRUE(writers[f]->commit());
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

TEST_P(SincOutput, SameBytesOnAnyThreadCount)
{
    const Channels ch;
    long inline_clips[3];
    const SincJob one{GetParam().format, 1};
    const std::vector<std::string> inline_bytes = render(ch, GetParam().layout, one, &inline_clips);
    // 2 threads share three channels; 3 and 8 give each channel its own.
    for (unsigned threads : {2u, 3u, 8u}) {
        long threaded_clips[3];
        const SincJob many{GetParam().format, threads};
        EXPECT_EQ(render(ch, GetParam().layout, many, &threaded_clips), inline_bytes) << threads;
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(threaded_clips[c], inline_clips[c]) << threads;
    }
}

TEST_P(SincOutput, FilesHoldEachChannelsStreamInPlace)
{
    const Channels ch;
    const SincJob job{GetParam().format, 2};
    long clips[3];
    const std::vector<std::string> files = render(ch, GetParam().layout, job, &clips);
    // Each input channel resampled on its own, in counts, then converted.
    std::vector<double> expected[3];
    long clipped[3] = {0, 0, 0};
    for (int c = 0; c < 3; c++) {
        SincStream s(ch.ptr[c], IN, 1, 50);
        expected[c].resize(s.frames());
        s.next(expected[c].data(), expected[c].size());
    }
    for (std::size_t f = 0; f < files.size(); f++) {
        const FileLayout l = file_layout(GetParam().layout, static_cast<int>(f));
        const tavo_test::WavFile w = tavo_test::parse_wav(files[f]);
        const std::size_t data = OUT * l.channels * sample_bytes(job.format);
        ASSERT_EQ(w.channels, l.channels);
        ASSERT_EQ(w.frames, OUT);
        ASSERT_EQ(w.bytes.size(), w.data + data + data % 2);  // and the pad byte
        for (std::size_t i = 0; i < OUT; i += 997) {
            for (unsigned k = 0; k < l.channels; k++) {
                const double v = l.source[k] < 0 ? 0.0 : expected[l.source[k]][i];
                long ignored = 0;
                const double want = job.format == SampleFormat::F32 ? dsp::to_f32(v) * 32768.0
                                    : job.format == SampleFormat::S24
                                        ? dsp::quantise_s24(v, &ignored) / 256.0
                                        : dsp::quantise_s16(v, &ignored);
                EXPECT_EQ(w.sample(i, k), want) << f << " " << i << " " << k;
            }
        }
    }
    for (int c = 0; c < 3; c++) {
        for (double v : expected[c]) {
            if (job.format == SampleFormat::S16)
                dsp::quantise_s16(v, &clipped[c]);
            else if (job.format == SampleFormat::S24)
                dsp::quantise_s24(v, &clipped[c]);
        }
        EXPECT_EQ(clips[c], clipped[c]);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, SincOutput,
                         testing::Values(Setup{"MonoS16", Layout::MONO, SampleFormat::S16},
                                         Setup{"StereoS24", Layout::STEREO, SampleFormat::S24},
                                         Setup{"SixChannelF32", Layout::SIX, SampleFormat::F32},
                                         Setup{"MonoS24", Layout::MONO, SampleFormat::S24}),
                         tavo_test::RowName());

}  // namespace
