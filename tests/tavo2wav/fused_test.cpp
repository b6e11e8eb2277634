// The fused conversion (chunked resampling, fast filter, parallel chunks)
// against the stage-by-stage conversion over whole buffers with the
// per-sample reference filter: both must print and write the same bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>

#include "stagewise.h"
#include "tavo_writer.h"

namespace {

namespace fs = std::filesystem;
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

// Converts `input` in dir with `settings` (automatic scaling); returns what was printed
// on standard output and error (under "" and "2") and each file written
// (under its name).
std::map<std::string, std::string> convert(const std::string& dir, const std::string& input,
                                           const Options& settings, bool stagewise)
{
    setenv("TZ", "UTC", 1);  // so that no reader announces switching to it
    tzset();
    const fs::path cwd = fs::current_path();
    fs::current_path(dir);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = stagewise ? tavo_test::convert_stagewise(settings, {input})
                                 : tavo_test::convert_rendered(settings, {input});
    std::map<std::string, std::string> out = {{"2", testing::internal::GetCapturedStderr()},
                                              {"", testing::internal::GetCapturedStdout()}};
    fs::current_path(cwd);
    EXPECT_EQ(status, 0);
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        out[e.path().filename()] = tavo_test::read_bytes(e.path());
    return out;
}

// Layout, resampling factor, offset removal, filter.
class FusedConversion : public testing::TestWithParam<std::tuple<Layout, int, bool, bool>> {};

TEST_P(FusedConversion, WritesTheSameBytesAsTheStagewiseConversion)
{
    Options s;
    std::tie(s.layout, s.upsample, s.remove_offset, s.filter) = GetParam();
    tavo_test::TempDir input_dir, ref_dir, fused_dir;
    const std::string input = tavo_test::dated_path(input_dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_binary(input, recording());
    const auto ref = convert(ref_dir.path(), input, s, true);
    EXPECT_EQ(ref.size(), s.layout == Layout::SIX ? 3u : 5u);
    EXPECT_TRUE(convert(fused_dir.path(), input, s, false) == ref);
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
    tavo_test::TempDir input_dir, ref_dir, fused_dir;
    const std::string input = tavo_test::dated_path(input_dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_binary(input, long_recording(p.records, p.length));
    const auto ref = convert(ref_dir.path(), input, s, true);
    EXPECT_EQ(ref.size(), 5u);
    EXPECT_TRUE(convert(fused_dir.path(), input, s, false) == ref);
}

// 1500 x 512 samples at U = 7 make 5376000 frames (21 chunks); 128 samples
// at U = 44100 make 5644800 (22 chunks).
INSTANTIATE_TEST_SUITE_P(ManyChunks, LongFusedConversion,
                         testing::Values(Long{"U7Filtered", 1500, 512, 7, true},
                                         Long{"U7Unfiltered", 1500, 512, 7, false},
                                         Long{"U44100Filtered", 1, 128, 44100, true},
                                         Long{"U44100Unfiltered", 1, 128, 44100, false}),
                         [](const testing::TestParamInfo<Long>& info) {
                             return std::string(info.param.name);
                         });

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

}  // namespace
