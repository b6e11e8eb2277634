// Every fatal exit of the reader with its exact standard error, the
// replaceable exit handler, the one-time switch to UTC and debug traces.
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "zeltra_test_util.h"

namespace {

using namespace zeltra_test;

enum class Kind { Binary, Text };

// Constructs a reader of the given kind and reads until the data end.
void construct_and_read(Kind kind, const std::string& path, bool fail_parse_path) {
    std::unique_ptr<Zeltra::ZELTRA> reader;
    if (kind == Kind::Binary)
        reader = std::make_unique<Zeltra::BinaryZELTRA>(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, fail_parse_path);
    else
        reader = std::make_unique<Zeltra::AsciiZELTRA>(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, fail_parse_path);
    while (reader->getdata() != -1) {
    }
}

struct FatalCase {
    const char* name;
    Kind kind;
    std::string bytes;       // file content; no file is written when `missing`
    bool missing;
    bool fail_parse_path;
    // Expected stderr after the construction lines ("" header messages).
    std::string (*expected)(const std::string& path);
};

const std::string kForm1 = tavo_test::form1_header("18", "1");

std::string binary_header() {
    return "valid_comment_type1: " + kForm1 + "\n";
}

std::string truncated_binary() {
    tavo_test::Recording rec;
    rec.header = kForm1;
    rec.records.push_back(tavo_test::make_record(128, 0, 0, 1));
    rec.records.push_back(tavo_test::make_record(128, 0, 5, 2));
    std::string bytes = tavo_test::binary_bytes(rec);
    bytes.resize(bytes.size() - 3);  // the last block loses its last bytes
    return bytes;
}

std::string text_line(std::size_t size, bool with_lf) {
    std::string line = "0 0";
    for (int j = 0; j < 128; ++j) line += " 1";
    line.resize(with_lf ? size - 1 : size, ' ');
    return with_lf ? line + "\n" : line;
}

const std::string kTextHeader = tavo_test::form3_header('S', 128, "18", 1, 'k');

const FatalCase kCases[] = {
    {"UndatedPathWithFailParsePath", Kind::Binary, kForm1 + "\r", false, true,
     [](const std::string& p) {
         return p + "\nundated\nCan't parse date & time from path (" + p + ") & fail_parse_path == 1\n";
     }},
    {"MissingFileInConstructor", Kind::Binary, "", true, false,
     [](const std::string& p) {
         return path_echo(p) + "gzopen: No such file or directory\nCan't open " + p + "\n";
     }},
    {"BinaryRecordCutShort", Kind::Binary, truncated_binary(), false, false,
     [](const std::string& p) {
         return construction_echo(p, "binary") + binary_header() + "Error: " + p + ": file ends inside a record\n";
     }},
    {"BinaryHeaderWithoutCarriageReturn", Kind::Binary, kForm1 + "\n1 2 3\n", false, false,
     [](const std::string& p) { return construction_echo(p, "binary") + "gzgetc:Success\n"; }},
    {"BinaryHeaderTooLong", Kind::Binary, "!" + std::string(51200, 'a') + "\r", false, false,
     [](const std::string& p) {
         return construction_echo(p, "binary") + "Error: " + p + ": header line longer than 51200 bytes\n";
     }},
    {"TextHeaderTooLong", Kind::Text, "!" + std::string(60000, 'a') + "\n", false, false,
     [](const std::string& p) {
         return construction_echo(p, "text") + "Error: " + p + ": header line longer than 51200 bytes\n";
     }},
    {"TextEmptyFile", Kind::Text, "", false, false,
     [](const std::string& p) { return construction_echo(p, "text") + "gzgetc:Success\n"; }},
    {"TextLastLineFillsBufferWithoutLineFeed", Kind::Text,
     kTextHeader + "\n" + text_line(300, true) + text_line(300, true) + text_line(51199, false), false, false,
     [](const std::string& p) {
         return construction_echo(p, "text") + "valid_comment_type3: " + kTextHeader + "\nError: Line to long\n";
     }},
    {"TextLineLongerThanBuffer", Kind::Text, kTextHeader + "\n" + text_line(70000, true), false, false,
     [](const std::string& p) {
         return construction_echo(p, "text") + "valid_comment_type3: " + kTextHeader + "\nError: Line to long\n";
     }},
};

class FatalCondition : public ::testing::TestWithParam<FatalCase> {};

TEST_P(FatalCondition, PrintsExactTextAndExitsOne) {
    const FatalCase& fc = GetParam();
    tavo_test::TempDir dir;
    const std::string path = dir.file("undated.dat");
    if (!fc.missing) tavo_test::write_bytes(path, fc.bytes);
    EXPECT_EXIT(construct_and_read(fc.kind, path, fc.fail_parse_path), ::testing::ExitedWithCode(1),
                exactly(fc.expected(path)));
}

INSTANTIATE_TEST_SUITE_P(Reader, FatalCondition, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FatalCase>& info) { return info.param.name; });

// With a throwing handler the same failure surfaces as an exception in this
// process, with the same text and status, and the reader releases its handle.
TEST(FatalExitHandler, ThrowingHandlerReceivesStatus) {
    tavo_test::TempDir dir;
    const std::string path = dir.file("cut.dat");
    tavo_test::write_bytes(path, truncated_binary());
    ThrowOnFatal guard;
    ::testing::internal::CaptureStderr();
    int status = 0;
    try {
        construct_and_read(Kind::Binary, path, false);
    } catch (const zeltra_test::FatalExit& e) {
        status = e.status;
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, construction_echo(path, "binary") + binary_header() + "Error: " + path +
                       ": file ends inside a record\n");
}

// A throwing handler during construction: the base object's handle is
// released with it (checked by the leak sanitizer in sanitizer builds).
TEST(FatalExitHandler, ThrowDuringConstructionReleasesHandle) {
    tavo_test::TempDir dir;
    const std::string path = dir.file("long.dat");
    tavo_test::write_bytes(path, "!" + std::string(51300, 'a') + "\r");
    ThrowOnFatal guard;
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(Zeltra::BinaryZELTRA(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false), zeltra_test::FatalExit);
    ::testing::internal::GetCapturedStderr();
}

// The longest header line allowed, 51200 bytes, is kept whole.
TEST(FatalExitHandler, HeaderOfFullBufferIsAccepted) {
    tavo_test::TempDir dir;
    const std::string path = dir.file("long.dat");
    const std::string line = "!" + std::string(51199, 'a');
    tavo_test::write_bytes(path, line + "\r");
    ::testing::internal::CaptureStderr();
    Zeltra::BinaryZELTRA reader(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(reader.firstline, line);
}

// A process that starts outside UTC is switched once: the first reader
// writes the warning, the second one does not, and TZ is UTC afterwards.
TEST(TimeZone, SwitchesToUtcOnce) {
    tavo_test::TempDir dir;
    const std::string path = dir.file("zone.dat");
    tavo_test::write_bytes(path, kForm1 + "\r");
    const std::string once = construction_echo(path, "binary") + binary_header();
    EXPECT_EXIT(
        {
            setenv("TZ", "EST5EDT", 1);
            tzset();
            delete new Zeltra::BinaryZELTRA(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
            delete new Zeltra::BinaryZELTRA(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
            std::exit(std::strcmp(std::getenv("TZ"), "UTC") == 0 && std::strcmp(tzname[0], "UTC") == 0 ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), exactly("WARNING: setting TZ=UTC\n" + once + once));
}

// Debug traces: "Debug:", the stable source name, the line in parentheses.
TEST(DebugTrace, ConstructorTracesOpenAndTimes) {
    tavo_test::TempDir dir;
    const std::string path = tavo_test::dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_bytes(path, kForm1 + "\r");
    const std::string d = "Debug:src/libzeltra/zeltra\\([0-9]+\\) ";
    EXPECT_EXIT(
        {
            Zeltra::zeltra_debug = 1;
            delete new Zeltra::BinaryZELTRA(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "^.*" + d + "Opening file: [^\n]*\n" + d + "1394841600 Start of day represents Sat Mar 15 00:00:00 2014\n" +
            d + "28800 time_base represents Thu Jan  1 08:00:00 1970\nFile: [^\n]*\n" + d +
            "Comment: !Tidserier 18 1\n" + d + "frequency=18 gain=1\nvalid_comment_type1: !Tidserier 18 1\n" + d +
            "Closing file\n$");
}

}  // namespace
