// The fused conversion (chunked resampling, fast filter, parallel chunks)
// against the stage-by-stage conversion over whole buffers with the
// per-sample reference filter: both must print and write the same bytes.
#include <gtest/gtest.h>

#include <map>

#include "convert_into.h"
#include "tavo_writer.h"
#include "rows.h"

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

}  // namespace
