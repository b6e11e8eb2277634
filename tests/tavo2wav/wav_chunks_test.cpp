// The timeline's chunks without a conversion: the bext layout of EBU Tech
// 3285 v1, the cue points and labels, even chunk sizes. (WaveWriter's extra
// chunks before "data", their RIFF length and size check: wave_test.)
#include <gtest/gtest.h>

#include "engine/wav_chunks.h"
#include "wav_file.h"

namespace {

using namespace tavo::engine;

std::uint64_t le32(const std::string& b, std::size_t at)
{
    return tavo_test::little_endian(b, at, 4);
}

AudioTimeline sample_timeline()
{
    AudioTimeline t;
    t.dated = true;
    t.start = 1394870400;  // 2014-03-15T08:00:00Z
    t.speedup = 49;
    t.station = 'k';
    t.frequency = 18;
    t.sources = {"/data/2014/03/20140315/k4031516.dat", "k4031518.dat"};
    t.time_reference = (uint64_t{3} << 32) + 7;  // the high word is used too
    t.markers = {{0, 0, "2014-03-15 08:00Z"}, {12800, 90000, "gap 7186 s silence"}};
    return t;
}

TEST(TimelineChunks, BextHasTheVersionOneLayout)
{
    const std::vector<unsigned char> v = timeline_chunks(sample_timeline(), "tavo2wav 9.9");
    const std::string b(v.begin(), v.end());
    ASSERT_EQ(b.substr(0, 4), "bext");
    ASSERT_EQ(le32(b, 4), 602u);
    const std::size_t body = 8;
    EXPECT_EQ(std::string(b.c_str() + body),
              "Station k, 18 Hz sampling, 49 times faster, from k4031516.dat and 1 more");
    EXPECT_EQ(b.substr(body + 256, 9), std::string("tavo2wav\0", 9));  // Originator
    EXPECT_EQ(b.substr(body + 288, 32), std::string(32, '\0'));        // OriginatorReference
    EXPECT_EQ(b.substr(body + 320, 10), "2014-03-15");                 // OriginationDate
    EXPECT_EQ(b.substr(body + 330, 8), "08:00:00");                    // OriginationTime
    EXPECT_EQ(le32(b, body + 338), 7u);                                // TimeReference low
    EXPECT_EQ(le32(b, body + 342), 3u);                                // TimeReference high
    EXPECT_EQ(b.substr(body + 346, 2), std::string("\x01\x00", 2));    // Version
    EXPECT_EQ(b.substr(body + 348, 254), std::string(254, '\0'));      // UMID, reserved
}

TEST(TimelineChunks, EveryChunkIsEvenAndTheyFollowOneAnother)
{
    const std::vector<unsigned char> v = timeline_chunks(sample_timeline(), "tavo2wav 9.9");
    const std::string b(v.begin(), v.end());
    std::string codes;
    std::size_t at = 0;
    while (at + 8 <= b.size()) {
        const uint32_t size = le32(b, at + 4);
        codes += b.substr(at, 4) + (b.compare(at, 4, "LIST") == 0 ? b.substr(at + 8, 4) : "") + " ";
        // Top-level chunks carry even bodies, so no pad byte follows them.
        ASSERT_EQ(size % 2, 0u) << codes;
        at += 8 + size;
    }
    EXPECT_EQ(at, b.size());
    EXPECT_EQ(codes, "bext LISTINFO cue  LISTadtl ");
    // cue: count 2, then id 2 at frame 12800 in "data".
    const std::size_t cue = b.find("cue ");
    EXPECT_EQ(le32(b, cue + 4), 4u + 2 * 24);
    EXPECT_EQ(le32(b, cue + 8), 2u);
    EXPECT_EQ(le32(b, cue + 12 + 24), 2u);
    EXPECT_EQ(le32(b, cue + 12 + 24 + 4), 12800u);
    EXPECT_EQ(b.substr(cue + 12 + 24 + 8, 4), "data");
    EXPECT_EQ(le32(b, cue + 12 + 24 + 20), 12800u);
    // An odd text ("2014-03-15 08:00Z" and its NUL: 4 + 18 bytes) is padded.
    const std::size_t labl = b.find("labl");
    EXPECT_EQ(le32(b, labl + 4), 22u);
    EXPECT_EQ(b.substr(labl + 12, 18), std::string("2014-03-15 08:00Z\0", 18));
    EXPECT_EQ(b.substr(labl + 30, 4), "labl");
    // After the labels, one "ltxt" for the region (cue 2); the point has none.
    const std::size_t ltxt = b.find("ltxt");
    ASSERT_GT(ltxt, b.rfind("labl"));
    EXPECT_EQ(b.find("ltxt", ltxt + 1), std::string::npos);
    EXPECT_EQ(le32(b, ltxt + 4), 20u);
    EXPECT_EQ(le32(b, ltxt + 8), 2u);               // cue point id
    EXPECT_EQ(le32(b, ltxt + 12), 90000u - 12800);  // sample length
    EXPECT_EQ(b.substr(ltxt + 16, 12), std::string("rgn \0\0\0\0\0\0\0\0", 12));
    EXPECT_EQ(ltxt + 28, b.size());
}

TEST(TimelineChunks, NoMarkersLeaveOutCueAndLabels)
{
    AudioTimeline t = sample_timeline();
    t.markers.clear();
    const std::vector<unsigned char> v = timeline_chunks(t, "x");
    const std::string b(v.begin(), v.end());
    EXPECT_EQ(b.find("cue "), std::string::npos);
    EXPECT_EQ(b.find("adtl"), std::string::npos);
    EXPECT_NE(b.find("ICMT"), std::string::npos);
}

}  // namespace
