// Record stream: look-ahead joins, time gaps, the midnight wrap, the end of
// data and the destructor's gap summary.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "zeltra_test_util.h"

namespace {

using namespace zeltra_test;
using tavo_test::Recording;

struct StreamCase {
    const char* name;
    std::string header;
    std::size_t length;
    bool new_style;
    int slot;                                  // time slot of the file name
    std::vector<std::array<long, 2>> times;    // time words per record
    std::vector<bool> joined;                  // use_next after each delivered record
    int timegaps;
};

const std::string kS512 = tavo_test::form3_header('S', 512, "18", 1, 'k');
const std::string kU512 = tavo_test::form3_header('U', 512, "18", 1, 'k');

const StreamCase kCases[] = {
    // limit 512 / 18 + 2 = 30.444 s
    {"ContiguousJoins", kS512, 512, true, 16, {{10, 0}, {10, 28}}, {true, false}, 0},
    {"LaterByMoreThanLimitIsGap", kS512, 512, true, 16, {{10, 0}, {10, 31}}, {false, false}, 1},
    {"EarlierByMoreThanLimitIsGap", kS512, 512, true, 16, {{10, 31}, {10, 0}}, {false, false}, 1},
    {"SameStampIsNotGap", kS512, 512, true, 16, {{10, 0}, {10, 0}}, {true, false}, 0},
    {"MidnightWrap", kS512, 512, true, 0, {{1439, 50}, {0, 18}}, {true, false}, 0},
    {"BaseHourMeetsMinuteOfDay", kS512, 512, true, 16, {{60, 0}, {540, 10}}, {true, false}, 0},
    {"UnixTimeWords", kU512, 512, true, 16, {{65530, 1}, {18, 2}}, {true, false}, 0},
    {"ThreeRecordsTwoGaps", kS512, 512, true, 16, {{0, 0}, {5, 0}, {10, 0}}, {false, false, false}, 2},
    {"OldStyleAlwaysJoins", "T old style", 128, false, 16, {{0, 0}, {0, 0}, {0, 0}}, {true, true, false}, 0},
    {"ZeroFrequencyNeverGaps", "!Tidserier 0 1", 128, true, 16, {{0, 0}, {50, 0}}, {true, false}, 0},
};

class RecordStream : public ::testing::TestWithParam<StreamCase> {};

// Writes one binary record per time-word pair (samples from make_record with
// the record's index as seed) and follows use_next, the joined samples and
// the gap count step by step.
TEST_P(RecordStream, JoinsContiguousRecordsAndCountsGaps) {
    const StreamCase& sc = GetParam();
    tavo_test::TempDir dir;
    Recording rec;
    rec.header = sc.header;
    rec.length = sc.length;
    rec.new_style = sc.new_style;
    for (std::size_t i = 0; i < sc.times.size(); ++i)
        rec.records.push_back(tavo_test::make_record(sc.length, sc.times[i][0], sc.times[i][1], static_cast<int>(i)));
    const std::string path = tavo_test::dated_path(dir.path(), 'k', 2014, 3, 15, sc.slot);
    tavo_test::write_binary(path, rec);

    ::testing::internal::CaptureStderr();
    BinaryProbe reader(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    for (std::size_t i = 0; i < sc.times.size(); ++i) {
        ASSERT_EQ(reader.getdata(), 0);
        for (int c = 0; c < 3; ++c) {
            const std::vector<double> head(reader.current[c].begin(), reader.current[c].begin() + sc.length);
            EXPECT_EQ(head, rec.records[i].channels[c]);
            if (sc.joined[i]) {
                const std::vector<double> tail(reader.current[c].begin() + sc.length,
                                               reader.current[c].begin() + 2 * sc.length);
                EXPECT_EQ(tail, rec.records[i + 1].channels[c]);
            }
        }
        EXPECT_EQ(reader.use_next, sc.joined[i]);
    }
    EXPECT_EQ(reader.getdata(), -1);
    EXPECT_EQ(reader.getdata(), -1);
    EXPECT_EQ(reader.timegaps, sc.timegaps);
    ::testing::internal::GetCapturedStderr();
}

INSTANTIATE_TEST_SUITE_P(TimeWords, RecordStream, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<StreamCase>& info) { return info.param.name; });

TEST(RecordStream, WithoutLookAheadNeverJoins) {
    tavo_test::TempDir dir;
    Recording rec;
    rec.header = kS512;
    rec.length = 512;
    rec.records = {tavo_test::make_record(512, 0, 0, 1), tavo_test::make_record(512, 0, 1, 2)};
    const std::string path = dir.file("x.dat");
    tavo_test::write_binary(path, rec);
    ::testing::internal::CaptureStderr();
    BinaryProbe reader(path.c_str(), false, Zeltra::ZELTRA::FT_NEW, false);
    EXPECT_EQ(reader.getdata(), 0);
    EXPECT_FALSE(reader.use_next);
    EXPECT_EQ(reader.current[0][512], 0.0);
    EXPECT_EQ(reader.getdata(), 0);
    EXPECT_EQ(reader.current[1][0], rec.records[1].channels[1][0]);
    EXPECT_EQ(reader.getdata(), -1);
    EXPECT_EQ(reader.timegaps, 0);
    ::testing::internal::GetCapturedStderr();
}

TEST(RecordStream, EmptyBodyEndsAtFirstCall) {
    tavo_test::TempDir dir;
    Recording rec;
    rec.header = kS512;
    const std::string path = dir.file("x.dat");
    tavo_test::write_binary(path, rec);
    ::testing::internal::CaptureStderr();
    BinaryProbe reader(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    EXPECT_EQ(reader.getdata(), -1);
    ::testing::internal::GetCapturedStderr();
}

// A malformed text record met by the look-ahead only clears is_next; the
// next step reads on from the following lines.
TEST(RecordStream, FailedLookAheadContinuesWithFollowingLines) {
    std::string body;
    auto line = [](int t, int v) {
        std::string l = "1 " + std::to_string(t);
        for (int j = 0; j < 128; ++j) l += " " + std::to_string(v);
        return l + "\n";
    };
    for (int c = 0; c < 3; ++c) body += line(0, 1);
    body += " bad line\n";
    for (int c = 0; c < 3; ++c) body += line(2, 3);
    tavo_test::TempDir dir;
    const std::string path = dir.file("x.dat");
    tavo_test::write_bytes(path, tavo_test::form3_header('S', 128, "18", 1, 'k') + "\n" + body);
    ::testing::internal::CaptureStderr();
    AsciiProbe reader(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    EXPECT_EQ(reader.getdata(), 0);
    EXPECT_FALSE(reader.is_next);
    EXPECT_EQ(reader.getdata(), 0);
    EXPECT_EQ(reader.current[0][0], 3.0);
    EXPECT_EQ(reader.time[1], 2);
    EXPECT_EQ(reader.getdata(), -1);
    ::testing::internal::GetCapturedStderr();
}

struct SummaryCase {
    int timegaps;
    std::string summary;
};

class GapSummary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(GapSummary, DestructorReportsGaps) {
    tavo_test::TempDir dir;
    Recording rec;
    rec.header = kS512;
    const std::string path = dir.file("x.dat");
    tavo_test::write_binary(path, rec);
    ::testing::internal::CaptureStderr();
    auto* reader = new BinaryProbe(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    ::testing::internal::GetCapturedStderr();
    reader->timegaps = GetParam().timegaps;
    ::testing::internal::CaptureStderr();
    delete static_cast<Zeltra::ZELTRA*>(reader);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), GetParam().summary);
}

INSTANTIATE_TEST_SUITE_P(Counts, GapSummary,
                         ::testing::Values(SummaryCase{0, ""}, SummaryCase{1, "TIMEGAP in data\n"},
                                           SummaryCase{5, "Warning: TIMEGAPs in data\n"}));

}  // namespace
