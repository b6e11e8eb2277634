// File-kind detection from the first 256 bytes: text or binary, and the
// refusals at the 255/256-byte boundaries.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "zeltra_test_util.h"

namespace {

using namespace zeltra_test;

const std::string kForm3 = tavo_test::form3_header('S', 128, "18", 1, 'k');
const std::string kForm1 = tavo_test::form1_header("18", "1");

// A text record of 128-sample lines "t1 t2 1 2 3 ...", long enough to take
// any file past 256 bytes.
std::string text_body(const std::string& eol) {
    std::string body;
    for (int c = 0; c < 3; ++c) {
        body += "0 0";
        for (int j = 0; j < 128; ++j) body += " " + std::to_string(j % 10);
        body += eol;
    }
    return body;
}

std::string padded(std::string s, std::size_t size, char fill) {
    s.resize(size, fill);
    return s;
}

struct KindCase {
    const char* name;
    std::string bytes;
    const char* type;
    std::string messages;  // what the first line writes, once in detection and once in the reader
    bool gzip = false;
};

const std::string kLine254 = padded(kForm1 + " ", 254, 'x');

const KindCase kKindCases[] = {
    {"TextAfterLf", kForm3 + "\n" + text_body("\n"), "text", "valid_comment_type3: " + kForm3 + "\n"},
    {"TextAfterCrLf", kForm3 + "\r\n" + text_body("\r\n"), "text", "valid_comment_type3: " + kForm3 + "\n"},
    {"TextGzipCopy", kForm3 + "\n" + text_body("\n"), "text", "valid_comment_type3: " + kForm3 + "\n", true},
    {"BinaryExactly256Bytes", padded(kForm1 + "\r", 256, '\x7f'), "binary", "valid_comment_type1: " + kForm1 + "\n"},
    {"BinaryGzipCopy", padded(kForm1 + "\r", 256, '\x7f'), "binary", "valid_comment_type1: " + kForm1 + "\n", true},
    {"LineEndAtByte254LeavesNoProbe", kLine254 + "\r" + text_body("\n"), "binary",
     "valid_comment_type1: " + kLine254 + "\n"},
    {"TwoNumbersThenLetter", padded(kForm1 + "\r1 2 x", 300, ' '), "binary", "valid_comment_type1: " + kForm1 + "\n"},
    {"LengthRuleAcceptsLine", "!S 512\n" + text_body("\n"), "text", kInvalidComment},
    {"LengthRuleRefusesOtherNumber", "!S 256\r" + text_body("\n"), "binary", kInvalidComment},
    {"OldStyleIsBinary", "T old style\r" + text_body("\n"), "binary", kInvalidComment},
};

class FileKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(FileKind, ChoosesReaderFromFirstBytes) {
    const KindCase& kc = GetParam();
    tavo_test::TempDir dir;
    std::string path = dir.file("probe.dat");
    tavo_test::write_bytes(path, kc.bytes);
    if (kc.gzip) {
        tavo_test::gzip_copy(path, path + ".gz");
        path += ".gz";
    }
    ::testing::internal::CaptureStderr();
    std::unique_ptr<Zeltra::ZELTRA> reader(Zeltra::detect(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              kc.messages + construction_echo(path, kc.type) + kc.messages);
    EXPECT_EQ(std::string(reader->type()), kc.type);
    EXPECT_EQ(reader->is_binary(), std::string(kc.type) == "binary");
}

INSTANTIATE_TEST_SUITE_P(FirstBytes, FileKind, ::testing::ValuesIn(kKindCases),
                         [](const ::testing::TestParamInfo<KindCase>& info) { return info.param.name; });

struct RefusalCase {
    const char* name;
    std::string bytes;
    const char* message;  // after "Error: <name>: "
};

const RefusalCase kRefusals[] = {
    {"Only255Bytes", padded(kForm1 + "\r", 255, ' '), "file too short to be a data file"},
    {"EmptyFile", "", "file too short to be a data file"},
    {"LineEndAtByte255", padded(kForm1, 255, 'x') + "\n", "no end of the first line in its first 255 bytes"},
    {"NoLineEndAtAll", std::string(4000, 'x'), "no end of the first line in its first 255 bytes"},
};

class DetectRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(DetectRefusal, ExitsWithOneLine) {
    const RefusalCase& rc = GetParam();
    tavo_test::TempDir dir;
    const std::string path = dir.file("refused.dat");
    tavo_test::write_bytes(path, rc.bytes);
    EXPECT_EXIT(Zeltra::detect(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false), ::testing::ExitedWithCode(1),
                exactly("Error: " + path + ": " + rc.message + "\n"));
}

INSTANTIATE_TEST_SUITE_P(Boundaries, DetectRefusal, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(DetectRefusal, MissingFileReportsSystemText) {
    tavo_test::TempDir dir;
    const std::string path = dir.file("missing.dat");
    EXPECT_EXIT(Zeltra::detect(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false), ::testing::ExitedWithCode(1),
                exactly("gzopen:No such file or directory\nCan't open " + path + "\n"));
}

// The refusals keep their debug traces.
TEST(DetectRefusal, DebugTraceNamesTheSource) {
    tavo_test::TempDir dir;
    const std::string path = dir.file("short.dat");
    tavo_test::write_bytes(path, "!Tidserier 18\n");
    EXPECT_EXIT(
        {
            Zeltra::zeltra_debug = 1;
            Zeltra::detect(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
        },
        ::testing::ExitedWithCode(1),
        "^Debug:src/libzeltra/zeltra\\([0-9]+\\) file to short to be meaningfull\nError: " + path +
            ": file too short to be a data file\n$");
}

}  // namespace
