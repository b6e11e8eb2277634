// Header line grammar: the three forms, their order, defaults, the
// record-length rule and the messages each line produces.
#include <string>

#include <gtest/gtest.h>

#include "zeltra_test_util.h"

namespace {

using namespace zeltra_test;
using tavo_test::form1_header;
using tavo_test::form2_header;
using tavo_test::form3_header;

struct HeaderCase {
    const char* name;
    std::string header;  // empty: the file has no header line
    double frequency;
    int gain;
    char station;        // file name gives 'k'
    bool unixtime;
    std::size_t length;
    std::string date;
    std::string time;
    std::string messages;  // what the header line writes on stderr
};

const std::string kS512 = form3_header('S', 512, "18", 2, 'q');
const std::string kU128 = form3_header('U', 128, "20.5", 7, 'r');
const std::string kS256 = form3_header('S', 256, "18", 2, 'q');
const std::string kLower = form3_header('s', 512, "18", 4, 'z', "d1", "t1");
const std::string kLongDate = form3_header('S', 128, "18", 1, 'q', std::string(300, 'D'), "noon");

const HeaderCase kCases[] = {
    {"FormOneFrequencyOnly", "!Tidserier 18.0", 18.0, -1, 'k', false, 128, "", "",
     "valid_comment_type1: !Tidserier 18.0\n"},
    {"FormOneWithGain", form1_header("20", "3"), 20.0, 3, 'k', false, 128, "", "",
     "valid_comment_type1: !Tidserier 20 3\n"},
    {"FormTwoSingleBlank", "!Tidserier sampfrek: 20 gain: 3", 20.0, 3, 'k', false, 128, "", "",
     "valid_comment_type2: !Tidserier sampfrek: 20 gain: 3\n"},
    {"FormTwoDoubleBlank", form2_header("12.5", "-2"), 12.5, -2, 'k', false, 128, "", "",
     "valid_comment_type2: " + form2_header("12.5", "-2") + "\n"},
    {"FormThreeSeconds512", kS512, 18.0, 2, 'q', false, 512, "2014-03-15", "08:00:00",
     "valid_comment_type3: " + kS512 + "\n"},
    {"FormThreeUnix128", kU128, 20.5, 7, 'r', true, 128, "2014-03-15", "08:00:00",
     "valid_comment_type3: " + kU128 + "\n"},
    {"FormThreeNonstandardLength", kS256, 18.0, 2, 'q', false, 128, "2014-03-15", "08:00:00",
     "WARNING: nonstandard length: 256\nvalid_comment_type3: " + kS256 + "\n"},
    {"FormThreeEndsAfterFrequency", "!S512Tidserier sampfrek: 18", 18.0, -1, 'k', false, 512, "", "",
     "valid_comment_type3: !S512Tidserier sampfrek: 18\n"},
    {"FormThreeLowerCaseLetterRejected", kLower, 18.0, 4, 'z', false, 512, "d1", "t1",
     "valid_comment_type3: " + kLower + "\n" + kInvalidComment},
    {"FormThreeLongDateCut", kLongDate, 18.0, 1, 'q', false, 128, std::string(255, 'D'), "",
     "valid_comment_type3: " + kLongDate + "\n"},
    {"LengthRuleWithoutForm", "!S512 no form here", 18.0, -1, 'k', false, 512, "", "", kInvalidComment},
    {"LengthRuleOtherNumber", "!S256 no form here", 18.0, -1, 'k', false, 128, "", "", kInvalidComment},
    {"OldStyleLine", "T 18 Hz old style", 18.0, -1, 'k', false, 128, "", "", kInvalidComment},
    {"NoHeaderLine", "", 18.0, -1, 'k', false, 128, "", "", kInvalidComment},
};

class HeaderLine : public ::testing::TestWithParam<HeaderCase> {};

// Builds a binary file holding only the header line (CR-terminated), at a
// dated path of station k, and constructs a reader on it.
TEST_P(HeaderLine, SetsFieldsAndWritesMessages) {
    const HeaderCase& hc = GetParam();
    tavo_test::TempDir dir;
    const std::string path = tavo_test::dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::Recording rec;
    rec.header = hc.header;
    std::string bytes = tavo_test::binary_bytes(rec);
    if (hc.header.empty()) bytes = std::string(6, '\0');  // body only: one block start
    tavo_test::write_bytes(path, bytes);

    ::testing::internal::CaptureStderr();
    BinaryProbe reader(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(err, construction_echo(path, "binary") + hc.messages);
    EXPECT_EQ(reader.get_frequency(), hc.frequency);
    EXPECT_EQ(reader.get_gain(), hc.gain);
    EXPECT_EQ(reader.get_station(), hc.station);
    EXPECT_EQ(reader.unixtime, hc.unixtime);
    EXPECT_EQ(reader.get_length(), hc.length);
    EXPECT_EQ(std::string(reader.date_from_comment.data()), hc.date);
    EXPECT_EQ(std::string(reader.time_from_comment.data()), hc.time);
    EXPECT_EQ(reader.firstline, hc.header);
    EXPECT_EQ(reader.is_newfile(), hc.header.empty() || hc.header[0] != 'T');
}

INSTANTIATE_TEST_SUITE_P(Forms, HeaderLine, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HeaderCase>& info) { return info.param.name; });

// The recognisers on their own: a rejected form keeps what it converted, and
// the two empty slots accept nothing.
TEST(HeaderRecognisers, RejectedFormKeepsConvertedFields) {
    double frequency = -1.0;
    int gain = -1, len = 0;
    char station = 0, c = 0;
    bool unixtime = true;
    std::vector<char> date(256, 0), time(256, 0);
    Zeltra::arguments arg(frequency, gain, station, c, len, unixtime, date, time);

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Zeltra::valid_comment_type1("!S512Tidserier sampfrek: 18", arg));
    EXPECT_FALSE(Zeltra::valid_comment_type3("!X128Tidserier sampfrek: 9 gain: 5", arg));
    EXPECT_FALSE(Zeltra::valid_comment_type4("!Tidserier 18", arg));
    EXPECT_FALSE(Zeltra::valid_comment_type5("!Tidserier 18", arg));
    EXPECT_FALSE(Zeltra::valid_comment_type2("", arg));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "valid_comment_type3: !X128Tidserier sampfrek: 9 gain: 5\n");
    EXPECT_EQ(c, 'X');
    EXPECT_EQ(len, 128);
    EXPECT_EQ(frequency, 9.0);
    EXPECT_EQ(gain, 5);
    EXPECT_FALSE(unixtime);
}

// A caller's token buffer smaller than a token receives a cut, terminated copy.
TEST(HeaderRecognisers, SmallTokenBufferIsNotOverrun) {
    double frequency = -1.0;
    int gain = -1, len = 0;
    char station = 0, c = 0;
    bool unixtime = false;
    std::vector<char> date(4, 'x'), time(1, 'x');
    Zeltra::arguments arg(frequency, gain, station, c, len, unixtime, date, time);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(Zeltra::valid_comment_type3(form3_header('U', 512, "18", 1, 's', "20140315", "0800").c_str(), arg));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::string(date.data()), "201");
    EXPECT_EQ(time[0], '\0');
}

}  // namespace
