// Decoding of records from binary and text files, plain and gzip-compressed.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "zeltra_test_util.h"

namespace {

using namespace zeltra_test;
using tavo_test::Recording;
using tavo_test::TempDir;

enum class Encoding { Binary, Text };

struct DecodeCase {
    const char* name;
    Encoding encoding;
    std::size_t length;
    bool new_style;
    bool gzip;
};

const DecodeCase kCases[] = {
    {"Binary512", Encoding::Binary, 512, true, false},
    {"Binary128", Encoding::Binary, 128, true, false},
    {"BinaryOldStyle", Encoding::Binary, 128, false, false},
    {"Binary512Gzip", Encoding::Binary, 512, true, true},
    {"Text512", Encoding::Text, 512, true, false},
    {"Text128", Encoding::Text, 128, true, false},
    {"TextOldStyle", Encoding::Text, 128, false, false},
    {"Text128Gzip", Encoding::Text, 128, true, true},
};

// Three records 20 s apart (minute/second words 10:00, 10:20, 10:40), with
// the sample pattern of make_record; old-style files carry a 'T' line.
Recording three_records(std::size_t length, bool new_style) {
    Recording rec;
    rec.new_style = new_style;
    rec.length = length;
    rec.header = new_style ? tavo_test::form3_header('S', static_cast<int>(length), "18", 1, 'k') : "T old style";
    for (int r = 0; r < 3; ++r) rec.records.push_back(tavo_test::make_record(length, 10, 20 * r, r + 1));
    return rec;
}

std::unique_ptr<Zeltra::ZELTRA> open_reader(Encoding e, const std::string& path) {
    if (e == Encoding::Binary) return std::make_unique<Zeltra::BinaryZELTRA>(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    return std::make_unique<Zeltra::AsciiZELTRA>(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
}

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, DeliversEveryRecordOnceWithItsTimeWords) {
    const DecodeCase& dc = GetParam();
    TempDir dir;
    const Recording rec = three_records(dc.length, dc.new_style);
    std::string path = tavo_test::dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    if (dc.encoding == Encoding::Binary)
        tavo_test::write_binary(path, rec);
    else
        tavo_test::write_text(path, rec);
    if (dc.gzip) {
        tavo_test::gzip_copy(path, path + ".gz");
        path += ".gz";
    }

    ::testing::internal::CaptureStderr();
    auto reader = open_reader(dc.encoding, path);
    const Delivered got = read_all(*reader);
    EXPECT_EQ(reader->getdata(), -1);
    reader.reset();
    ::testing::internal::GetCapturedStderr();

    ASSERT_EQ(got.samples.size(), 3u);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(got.samples[r][c], rec.records[r].channels[c]);
        const std::array<int, 2> want = dc.new_style ? std::array<int, 2>{10, 20 * r} : std::array<int, 2>{0, 0};
        EXPECT_EQ(got.times[r], want);
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, Decoding, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

// Reads the single record of a binary file with the given header and
// record, after set_micorder(m0, m1, m2).
Delivered read_binary(const std::string& header, const tavo_test::Record& record,
                      unsigned m0 = 0, unsigned m1 = 1, unsigned m2 = 2) {
    TempDir dir;
    Recording rec;
    rec.header = header;
    rec.records.push_back(record);
    const std::string path = dir.file("one.dat");
    tavo_test::write_binary(path, rec);
    ::testing::internal::CaptureStderr();
    Zeltra::BinaryZELTRA reader(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    reader.set_micorder(m0, m1, m2);
    Delivered d = read_all(reader);
    ::testing::internal::GetCapturedStderr();
    return d;
}

TEST(BinaryDecoding, MicorderRoutesBlocksToChannels) {
    const tavo_test::Record r = tavo_test::make_record(128, 0, 0, 3);
    const Delivered d = read_binary(tavo_test::form1_header("18", "1"), r, 2, 0, 1);
    ASSERT_EQ(d.samples.size(), 1u);
    EXPECT_EQ(d.samples[0][2], r.channels[0]);
    EXPECT_EQ(d.samples[0][0], r.channels[1]);
    EXPECT_EQ(d.samples[0][1], r.channels[2]);
}

TEST(BinaryDecoding, InvalidMicorderIsRefused) {
    const tavo_test::Record r = tavo_test::make_record(128, 0, 0, 3);
    const Delivered d = read_binary(tavo_test::form1_header("18", "1"), r, 0, 3, 1);
    ASSERT_EQ(d.samples.size(), 1u);
    EXPECT_EQ(d.samples[0][1], r.channels[1]);
}

// Time words 0xFFFF and 0x0001 read unsigned in Unix-time files and signed
// otherwise; the pair written in blocks 0 and 1 is dropped.
TEST(BinaryDecoding, TimeWordsSignedOrUnsignedFromBlockTwo) {
    tavo_test::Record r = tavo_test::make_record(128, 0xFFFF, 1, 1);
    r.lead_time = std::array<long, 2>{7, 7};
    EXPECT_EQ(read_binary(tavo_test::form3_header('U', 128, "18", 1, 'k'), r).times.at(0),
              (std::array<int, 2>{65535, 1}));
    EXPECT_EQ(read_binary(tavo_test::form3_header('S', 128, "18", 1, 'k'), r).times.at(0),
              (std::array<int, 2>{-1, 1}));
}

// A file that ends on the boundary after block 1 ends the data.
TEST(BinaryDecoding, EndAtBlockBoundaryEndsData) {
    TempDir dir;
    Recording rec;
    rec.header = tavo_test::form1_header("18", "1");
    rec.records.push_back(tavo_test::make_record(128, 0, 0, 1));
    rec.records.push_back(tavo_test::make_record(128, 0, 5, 2));
    std::string bytes = tavo_test::binary_bytes(rec);
    bytes.resize(bytes.size() - 260);  // drop block 2 of the second record
    const std::string path = dir.file("short.dat");
    tavo_test::write_bytes(path, bytes);
    ::testing::internal::CaptureStderr();
    Zeltra::BinaryZELTRA reader(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    EXPECT_EQ(read_all(reader).samples.size(), 1u);
    ::testing::internal::GetCapturedStderr();
}

// --- Text files -----------------------------------------------------------

struct TextRead {
    int result;
    std::array<std::vector<double>, 3> samples;
    std::array<int, 2> time;
    std::string err;  // stderr after construction
};

// Constructs a text reader on `bytes` (header line included) and reads one record.
TextRead read_text(const std::string& bytes) {
    TempDir dir;
    const std::string path = dir.file("text.dat");
    tavo_test::write_bytes(path, bytes);
    ::testing::internal::CaptureStderr();
    Zeltra::AsciiZELTRA reader(path.c_str(), false, Zeltra::ZELTRA::FT_NEW, false);
    const std::string head = ::testing::internal::GetCapturedStderr();
    ::testing::internal::CaptureStderr();
    TextRead t;
    t.result = reader.getdata();
    t.err = ::testing::internal::GetCapturedStderr();
    for (int c = 0; c < 3; ++c)
        t.samples[c].assign(reader.current[c].begin(), reader.current[c].begin() + 4);
    t.time = {reader.time[0], reader.time[1]};
    return t;
}

// Header "!S128..." and three lines: time words, then 128 samples c*10+j%4.
std::string text_file(const std::string& eol, const std::string& before_third = "",
                      const std::string& times = "5 6") {
    std::string out = tavo_test::form3_header('S', 128, "18", 1, 'k') + eol;
    for (int c = 0; c < 3; ++c) {
        if (c == 2) out += before_third;
        out += times;
        for (int j = 0; j < 128; ++j) out += " " + std::to_string(c * 10 + j % 4);
        out += eol;
    }
    return out;
}

struct TextCase {
    const char* name;
    std::string bytes;
    int result;
    std::array<int, 2> time;
    std::string err;
};

const std::array<std::vector<double>, 3> kTextSamples = {
    std::vector<double>{0, 1, 2, 3}, std::vector<double>{10, 11, 12, 13}, std::vector<double>{20, 21, 22, 23}};

std::string short_line() {
    std::string l = "1 2";
    for (int j = 0; j < 100; ++j) l += " 9";
    return l + "\n";
}

const TextCase kTextCases[] = {
    {"PlainLines", text_file("\n"), 0, {5, 6}, ""},
    {"CrLfLines", text_file("\r\n"), 0, {5, 6}, ""},
    {"SkippedCommentLetterAndEmptyLines", text_file("\n", "! comment\nletters 1 2\n\n"), 0, {5, 6}, ""},
    {"TimeValuesRounded", text_file("\n", "", "12.5 -3.5"), 0, {13, -4}, ""},
    {"CrLfLineIsNotSkipped", text_file("\n", "\r\n"), -1, {0, 0}, ""},
    {"BlankThenTextIsNotSkipped", text_file("\n", " x 1 2\n"), -1, {0, 0}, ""},
    {"TooFewSamples", text_file("\n", short_line()), -1, {0, 0},
     "Failed to read value 102 of line:\n" + short_line() + "\n"},
    {"NoBody", tavo_test::form3_header('S', 128, "18", 1, 'k') + "\n", -1, {0, 0}, ""},
};

class TextDecoding : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextDecoding, ReadsOneRecord) {
    const TextCase& tc = GetParam();
    const TextRead t = read_text(tc.bytes);
    EXPECT_EQ(t.result, tc.result);
    EXPECT_EQ(t.err, tc.err);
    EXPECT_EQ(t.time, tc.time);
    if (tc.result == 0) {
        EXPECT_EQ(t.samples, kTextSamples);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, TextDecoding, ::testing::ValuesIn(kTextCases),
                         [](const ::testing::TestParamInfo<TextCase>& info) { return info.param.name; });

// A data line of exactly 51199 bytes with its line feed fits the line buffer;
// samples keep their fractions.
TEST(TextDecoding, LongestLineIsAccepted) {
    std::string line = "1 2 0.25";
    for (int j = 1; j < 128; ++j) line += " 1";
    line.resize(51198, ' ');
    line += "\n";
    const std::string header = tavo_test::form3_header('S', 128, "18", 1, 'k') + "\n";
    const TextRead t = read_text(header + line + line + line);
    EXPECT_EQ(t.result, 0);
    EXPECT_EQ(t.samples[2], (std::vector<double>{0.25, 1, 1, 1}));
}

}  // namespace
