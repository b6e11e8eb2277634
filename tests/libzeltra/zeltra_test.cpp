// The reader library: header grammar, detection, both encodings, every fatal
// exit, path conventions and the record stream.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <regex>

#include <gtest/gtest.h>

#include "tavo_writer.h"
#include "zeltra.h"

namespace {

using namespace tavo_test;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using Zeltra::ZELTRA;

// Every test process starts in UTC, so the reader's one-time switch message
// appears only in the test that asks for it.
const bool kInUtc = [] {
    setenv("TZ", "UTC", 1);
    tzset();
    return true;
}();

// Exposes the reader's protected state.
template <class Reader>
struct Probe : Reader {
    using Reader::Reader;
    using Reader::date_from_comment;
    using Reader::time_from_comment;
    using Reader::timegaps;
    using Reader::unixtime;
    using Reader::use_next;
};

// Each test writes its files into a fresh temporary directory.
template <class Case = int>
class Files : public testing::TestWithParam<Case> {
protected:
    TempDir dir;
    std::string put(const std::string& bytes, const std::string& name = "undated.dat") {
        write_bytes(dir.file(name), bytes);
        return dir.file(name);
    }
};

template <class Case>
std::string case_name(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

std::string expand(std::string text, char token, const std::string& with) {
    for (auto at = text.find(token); at != std::string::npos; at = text.find(token, at + with.size()))
        text.replace(at, 1, with);
    return text;
}

std::string pad(std::string text, std::size_t size, char fill) {
    text.resize(size, fill);
    return text;
}

// A text file: header kS128, then a record of three lines, each the time
// words and samples c * 10 + j % 4 + 0.25 of channel c; the third line
// comes after `before_third` and is padded with blanks to `width` bytes.
const std::string kS128 = form3_header('S', 128, "18", 1, 'k');
std::string text_file(const std::string& eol, const std::string& before_third = "",
                      const std::string& times = "5 6", std::size_t width = 0) {
    std::string out = kS128 + eol;
    for (int c = 0; c < 3; ++c) {
        std::string line = times;
        for (int j = 0; j < 128; ++j) line += " " + std::to_string(c * 10 + j % 4) + ".25";
        out += (c == 2 ? before_third + pad(line, std::max(width, line.size()), ' ') : line) + eol;
    }
    return out;
}

// Constructs a reader and writes the fields its header line set.
template <class Reader>
std::unique_ptr<ZELTRA> probe(const std::string& path, bool fail_parse_path = false) {
    auto r = std::make_unique<Probe<Reader>>(path.c_str(), true, ZELTRA::FT_NEW, fail_parse_path);
    std::cerr << "= " << r->get_frequency() << ' ' << r->get_gain() << ' ' << r->get_station() << ' '
              << (r->unixtime ? 'U' : 'S') << ' ' << r->get_length() << (r->is_newfile() ? " new " : " old ")
              << r->date_from_comment.data() << ' ' << r->time_from_comment.data() << "\n";
    return r;
}

enum class Run { Detect, DetectGzip, Binary, BinaryStrictPath, Text };

// Runs a file through the library and returns all it wrote on standard
// error, with the test's own lines: "= fields" after a reader's construction,
// "> time words and first samples" per record, "exit N" where the library
// ended the run (its exit handler replaced by one that throws).
std::string transcript(Run how, const std::string& path) {
    Zeltra::set_fatal_exit_handler([](int status) { throw status; });
    CaptureStderr();
    try {
        std::unique_ptr<ZELTRA> r;
        if (how == Run::Detect || how == Run::DetectGzip)
            r.reset(Zeltra::detect(path.c_str(), true, ZELTRA::FT_NEW, false));
        else if (how == Run::Text)
            r = probe<Zeltra::AsciiZELTRA>(path);
        else
            r = probe<Zeltra::BinaryZELTRA>(path, how == Run::BinaryStrictPath);
        while (r->getdata() != -1)
            std::cerr << "> " << r->time[0] << ' ' << r->time[1] << ' ' << r->current[0][0] << ' '
                      << r->current[1][0] << ' ' << r->current[2][0] << "\n";
    } catch (int status) {
        std::cerr << "exit " << status << "\n";
    }
    Zeltra::set_fatal_exit_handler(nullptr);
    return std::regex_replace(GetCapturedStderr(), std::regex("zeltra\\([0-9]+\\)"), "zeltra(N)");
}

// In the expected text "@" stands for the path, "#" for the path and
// base-name lines, "$" for the file's first line; "Debug:" turns debugging on.
struct Case {
    const char* name;
    Run run;
    std::optional<std::string> bytes;  // none: the file does not exist
    std::string text;
};

const std::string kB = "##File: @ Type:binary\n";
const std::string kT = "##File: @ Type:text\n";
const std::string kSays1 = "valid_comment_type1: $\n";
const std::string kSays3 = "valid_comment_type3: $\n";
const std::string kInvalid = "Invalid comment line\nCouldn't determine sampling frequency\ndefaulting to 18.0Hz\n";
const std::string kCut = "Error: @: file ends inside a record\nexit 1\n";
const std::string kD = "Debug:src/libzeltra/zeltra(N) ";
const std::string kS128Fields = "= 18 1 k S 128 new 2014-03-15 08:00:00\n";
const std::string kTextRecord = "> 5 6 0.25 10.25 20.25\n";
const std::string kForm1 = form1_header("18", "1");
const std::string kTwoRecords = binary_bytes({kForm1, true, 128, {make_record(128, 5, 6, 1), make_record(128, 5, 7, 2)}});
const std::string kNumbers = pad("1 2 3\n", 250, ' ');  // text to the detector, less than a block to the reader

const Case kCases[] = {
    // Header line forms, tried in order, and the record-length rule.
    {"FormOneFrequencyOnly", Run::Binary, "!Tidserier 18.0\r", kB + kSays1 + "= 18 -1 u S 128 new  \n"},
    {"FormOneWithGain", Run::Binary, "!Tidserier 20 3\r", kB + kSays1 + "= 20 3 u S 128 new  \n"},
    {"FormTwoSingleBlank", Run::Binary, "!Tidserier sampfrek: 20 gain: 3\r", kB + "valid_comment_type2: $\n= 20 3 u S 128 new  \n"},
    {"FormTwo", Run::Binary, form2_header("12.5", "-2") + "\r", kB + "valid_comment_type2: $\n= 12.5 -2 u S 128 new  \n"},
    {"FormThreeSeconds512", Run::Binary, form3_header('S', 512, "18", 2, 'q') + "\r",
     kB + kSays3 + "= 18 2 q S 512 new 2014-03-15 08:00:00\n"},
    {"FormThreeUnix128", Run::Binary, form3_header('U', 128, "20.5", 7, 'r') + "\r",
     kB + kSays3 + "= 20.5 7 r U 128 new 2014-03-15 08:00:00\n"},
    {"FormThreeOtherLength", Run::Binary, form3_header('S', 256, "18", 2, 'q') + "\r",
     kB + "WARNING: nonstandard length: 256\n" + kSays3 + "= 18 2 q S 128 new 2014-03-15 08:00:00\n"},
    {"FormThreeEndsAfterFrequency", Run::Binary, "!S512Tidserier sampfrek: 18\r", kB + kSays3 + "= 18 -1 u S 512 new  \n"},
    {"FormThreeLowerCaseRejected", Run::Binary, form3_header('s', 512, "20", 4, 'z', "d1", "t1") + "\r",
     kB + kSays3 + kInvalid + "= 18 4 z S 512 new d1 t1\n"},
    {"FormThreeLongDateCut", Run::Binary, form3_header('S', 128, "18", 1, 'q', std::string(300, 'D')) + "\r",
     kB + kSays3 + "= 18 1 q S 128 new " + std::string(255, 'D') + " \n"},
    {"LengthRuleWithoutForm", Run::Binary, "!S512 no form here\r", kB + kInvalid + "= 18 -1 u S 512 new  \n"},
    {"LengthRuleOtherNumber", Run::Binary, "!S256 no form here\r", kB + kInvalid + "= 18 -1 u S 128 new  \n"},
    {"OldStyleLine", Run::Binary, "T 18 Hz old style\r", kB + kInvalid + "= 18 -1 u S 128 old  \n"},
    {"LongestHeaderLine", Run::Binary, "!" + std::string(51199, 'a') + "\r", kB + kInvalid + "= 18 -1 u S 128 new  \n"},
    // Binary records: time words from block 2, a cut at a block boundary ends the data quietly.
    {"NoHeaderLine", Run::Binary, binary_bytes({"", true, 128, {make_record(128, 5, 6, 1)}}),
     kB + kInvalid + "= 18 -1 u S 128 new  \n> 5 6 952 1052 1152\n"},
    {"SignedTimeWords", Run::Binary, binary_bytes({kS128, true, 128, {make_record(128, 65535, 1, 1)}}),
     kB + kSays3 + kS128Fields + "> -1 1 952 1052 1152\n"},
    {"UnixTimeWords", Run::Binary, binary_bytes({form3_header('U', 128, "18", 1, 'k'), true, 128, {make_record(128, 65535, 1, 1)}}),
     kB + kSays3 + "= 18 1 k U 128 new 2014-03-15 08:00:00\n> 65535 1 952 1052 1152\n"},
    {"EndAtBlockBoundary", Run::Binary, kTwoRecords.substr(0, kTwoRecords.size() - 260),
     kB + kSays1 + "= 18 1 u S 128 new  \n> 5 6 952 1052 1152\n"},
    // Text records.
    {"TextCrLfLines", Run::Text, text_file("\r\n"), kT + kSays3 + kS128Fields + kTextRecord},
    {"TextSkipsCommentLetterAndEmptyLines", Run::Text, text_file("\n", "! comment\nletters 1 2\n\n"),
     kT + kSays3 + kS128Fields + kTextRecord},
    {"TextTimeValuesRoundHalfAway", Run::Text, text_file("\n", "", "12.5 -3.5"),
     kT + kSays3 + kS128Fields + "> 13 -4 0.25 10.25 20.25\n"},
    {"TextLongestLine", Run::Text, text_file("\n", "", "5 6", 51198), kT + kSays3 + kS128Fields + kTextRecord},
    {"TextCrLfLineIsNotSkipped", Run::Text, text_file("\n", "\r\n"), kT + kSays3 + kS128Fields},
    {"TextBlankThenLetterIsNotSkipped", Run::Text, text_file("\n", " x 1 2\n"), kT + kSays3 + kS128Fields},
    {"TextTooFewSamples", Run::Text, text_file("\n", "1 2 7\n"),
     kT + kSays3 + kS128Fields + "Failed to read value 3 of line:\n1 2 7\n\n"},
    {"TextFailedLookAheadSkipsLines", Run::Text, text_file("\n") + " bad\n" + text_file("\n", "", "7 8").substr(kS128.size() + 1),
     kT + kSays3 + kS128Fields + kTextRecord + "> 7 8 0.25 10.25 20.25\n"},
    {"TextOldStyle", Run::Text, text_bytes({"T old style", false, 128, {make_record(128, 5, 6, 1)}}),
     kT + kInvalid + "= 18 -1 u S 128 old  \n> 0 0 952 1052 1152\n"},
    // Detection from the first 256 bytes.
    {"DetectTextAfterLf", Run::Detect, text_file("\n"), kSays3 + kT + kSays3 + kTextRecord},
    {"DetectTextGzip", Run::DetectGzip, text_file("\n"), kSays3 + kT + kSays3 + kTextRecord},
    {"DetectBinaryGzip", Run::DetectGzip, kTwoRecords, kSays1 + kB + kSays1 + "> 5 6 952 1052 1152\n> 5 7 1952 2052 2152\n"},
    {"DetectBinaryOf256Bytes", Run::Detect, pad(kForm1 + "\r", 256, ' '), kSays1 + kB + kSays1 + kCut},
    {"DetectLineEndAtByte254", Run::Detect, pad(kForm1 + " ", 254, 'x') + "\r" + kNumbers, kSays1 + kB + kSays1 + kCut},
    {"DetectTwoNumbersThenLetter", Run::Detect, kForm1 + "\r1 2 x" + kNumbers, kSays1 + kB + kSays1 + kCut},
    {"DetectLengthRuleAcceptsLine", Run::Detect, text_bytes({"!S 512", true, 512, {make_record(512, 5, 6, 1)}}),
     kInvalid + kT + kInvalid + "> 5 6 952 1052 1152\n"},
    {"DetectLengthRuleRefusesOtherNumber", Run::Detect, "!S 256\r" + kNumbers, kInvalid + kB + kInvalid + kCut},
    {"DetectOldStyleIsBinary", Run::Detect, "T old style\r" + kNumbers, kInvalid + kB + kInvalid + kCut},
    {"DetectOf255Bytes", Run::Detect, pad(kForm1 + "\r", 255, ' '), "Error: @: file too short to be a data file\nexit 1\n"},
    {"DetectOfEmptyFile", Run::Detect, "", "Error: @: file too short to be a data file\nexit 1\n"},
    {"DetectTraceOfShortFile", Run::Detect, kForm1 + "\n",
     kD + "file to short to be meaningfull\nError: @: file too short to be a data file\nexit 1\n"},
    {"DetectLineEndAtByte255", Run::Detect, pad(kForm1, 255, 'x') + "\n",
     "Error: @: no end of the first line in its first 255 bytes\nexit 1\n"},
    {"DetectOfMissingFile", Run::Detect, std::nullopt, "gzopen:No such file or directory\nCan't open @\nexit 1\n"},
    // Fatal conditions of the readers.
    {"ReaderOfMissingFile", Run::Binary, std::nullopt, "##gzopen: No such file or directory\nCan't open @\nexit 1\n"},
    {"UndatedPathRefused", Run::BinaryStrictPath, kForm1 + "\r",
     "#Can't parse date & time from path (@) & fail_parse_path == 1\nexit 1\n"},
    {"BinaryRecordCutShort", Run::Binary, kTwoRecords.substr(0, kTwoRecords.size() - 3),
     kB + kSays1 + "= 18 1 u S 128 new  \n" + kCut},
    {"BinaryHeaderWithoutCr", Run::Binary, kForm1 + "\n1 2 3\n", kB + "gzgetc:Success\nexit 1\n"},
    {"BinaryHeaderOverBuffer", Run::Binary, "!" + std::string(51200, 'a') + "\r",
     kB + "Error: @: header line longer than 51200 bytes\nexit 1\n"},
    {"TextHeaderOverBuffer", Run::Text, "!" + std::string(60000, 'a') + "\n",
     kT + "Error: @: header line longer than 51200 bytes\nexit 1\n"},
    {"TextEmptyFile", Run::Text, "", kT + "gzgetc:Success\nexit 1\n"},
    {"TextLineOverBuffer", Run::Text, text_file("\n", "", "5 6", 51199),
     kT + kSays3 + kS128Fields + "Error: Line to long\nexit 1\n"},
    // Debug traces of a reader's life.
    {"DebugTraces", Run::Binary, kForm1 + "\r",
     "##" + kD + "Opening file: @\n" + kD + "0 Start of day represents Thu Jan  1 00:00:00 1970\n" + kD +
         "0 time_base represents Thu Jan  1 00:00:00 1970\nFile: @ Type:binary\n" + kD + "Comment: $\n" + kD +
         "frequency=18 gain=1\n" + kSays1 + "= 18 1 u S 128 new  \n" + kD + "is_next=0\n" + kD + "\n" + kD +
         "Closing file\n"},
};

using Transcript = Files<Case>;

TEST_P(Transcript, MatchesExactly) {
    const Case& tc = GetParam();
    std::string path = tc.bytes ? put(*tc.bytes) : dir.file("undated.dat");
    if (tc.run == Run::DetectGzip) {
        gzip_copy(path, dir.file("undated.gz"));
        path = dir.file("undated.gz");
    }
    Zeltra::zeltra_debug = tc.text.find("Debug:") != std::string::npos;
    const std::string got = transcript(tc.run, path);
    Zeltra::zeltra_debug = 0;
    const std::string first_line = tc.bytes ? tc.bytes->substr(0, tc.bytes->find_first_of("\r\n")) : "";
    EXPECT_EQ(got, expand(expand(expand(tc.text, '#', "@\nundated\n"), '$', first_line), '@', path));
}

INSTANTIATE_TEST_SUITE_P(Files, Transcript, testing::ValuesIn(kCases), case_name<Case>);

using ProcessExit = Files<>;

// Without a handler the library's exit point ends the process with the status.
TEST_F(ProcessExit, DefaultHandlerEndsProcess) {
    const std::string path = put("");
    EXPECT_EXIT(delete Zeltra::detect(path.c_str(), true, ZELTRA::FT_NEW, false), testing::ExitedWithCode(1),
                "too short to be a data file\n$");
}

// A process that starts outside UTC is switched once: the first reader writes
// the warning, the second does not, and TZ is UTC afterwards.
TEST_F(ProcessExit, SwitchesToUtcOnce) {
    const std::string path = put(kForm1 + "\r", "zone");
    const std::string once = expand(expand(kB + kSays1, '#', "@\nzone\n"), '@', path);
    EXPECT_EXIT(
        {
            setenv("TZ", "EST5EDT", 1);
            tzset();
            delete new Zeltra::BinaryZELTRA(path.c_str(), true, ZELTRA::FT_NEW, false);
            delete new Zeltra::BinaryZELTRA(path.c_str(), true, ZELTRA::FT_NEW, false);
            std::exit(std::strcmp(std::getenv("TZ"), "UTC") == 0 && std::strcmp(tzname[0], "UTC") == 0 ? 0 : 2);
        },
        testing::ExitedWithCode(0), "^WARNING: setting TZ=UTC\n" + expand(once + once, '$', kForm1) + "$");
}

// --- Path conventions: the file holds a form-1 header, which names no station.
struct PathCase {
    const char* name;
    std::string path;  // below the temporary directory, which is the working directory
    time_t start_of_day;
    time_t time_base;
    char station;
};

const PathCase kPaths[] = {
    {"DatedPath", "/2014/03/20140315/k4031516.dat", 1394841600, 28800, 'k'},
    {"WrongYearDigit", "/2014/03/20140315/k5031516.dat", 0, 28800, 'k'},
    {"SlotTwoGivesHourZero", "/2014/03/20140315/k4031502.dat", 1394841600, 0, 'k'},
    {"SlotThreeGivesHourOne", "/2014/03/20140315/k4031503.dat", 1394841600, 3600, 'k'},
    {"SlotFortySeven", "/2014/03/20140315/k4031547.dat", 1394841600, 82800, 'k'},
    {"SlotFortyEightOutOfRange", "/2014/03/20140315/k4031548.dat", 0, 0, 'k'},
    {"MonthThirteenNormalised", "/2013/13/20131315/m3131500.dat", 1389744000, 0, 'm'},
    {"MonthMismatch", "/2014/04/20140315/k4031516.dat", 0, 28800, 'k'},
    {"RelativeFromYear", "2014/03/20140315/k4031516.dat", 0, 28800, 'k'},
    {"RelativeFromDot", "./2014/03/20140315/k4031516.dat", 1394841600, 28800, 'k'},
};

// The time stamp of the current record with time words w1, w2.
time_t stamp(ZELTRA& reader, int w1, int w2) {
    reader.time[0] = w1;
    reader.time[1] = w2;
    return reader.get_tavotime(0);
}

using PathConvention = Files<PathCase>;

TEST_P(PathConvention, GivesStartOfDayTimeBaseAndStation) {
    const PathCase& pc = GetParam();
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::string path = pc.path[0] == '/' ? dir.path() + pc.path : pc.path;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write_bytes(path, kForm1 + "\r");
    CaptureStderr();
    Zeltra::BinaryZELTRA r(path.c_str(), true, ZELTRA::FT_NEW, false);
    GetCapturedStderr();
    std::filesystem::current_path(cwd);
    // Minute words above 60 count from midnight, up to 60 from the base hour.
    const time_t start_of_day = stamp(r, 61, 0) - 3660;
    EXPECT_EQ(start_of_day, pc.start_of_day);
    EXPECT_EQ(stamp(r, 60, 5) - 3605 - start_of_day, pc.time_base);
    EXPECT_EQ(r.get_station(), pc.station);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathConvention, testing::ValuesIn(kPaths), case_name<PathCase>);

// --- Record stream: one binary record per time-word pair, samples from make_record seeded with the index.
struct StreamCase {
    const char* name;
    std::string header;
    std::size_t length;
    bool concat;                             // look-ahead on
    int slot;                                // time slot of the file name
    std::vector<std::array<long, 2>> times;  // time words per record
    std::vector<bool> joined;                // use_next after each record
    int timegaps;
};

// Gap limit: 512 samples at 18 Hz last 28.4 s, plus 2 s; at 1 Hz, 514 s.
const std::string kS512 = form3_header('S', 512, "18", 1, 'k');
const std::string kS512At1Hz = form3_header('S', 512, "1", 1, 'k');

const StreamCase kStreams[] = {
    {"WithinLimitJoins", kS512, 512, true, 16, {{10, 0}, {10, 30}}, {true, false}, 0},
    {"LaterThanLimitIsGap", kS512, 512, true, 16, {{10, 0}, {10, 31}}, {false, false}, 1},
    {"EarlierThanLimitIsGap", kS512, 512, true, 16, {{10, 31}, {10, 0}}, {false, false}, 1},
    {"MidnightWrap", kS512, 512, true, 0, {{1439, 50}, {0, 18}}, {true, false}, 0},
    {"WrapsBelowMinus86000", kS512At1Hz, 512, true, 0, {{1439, 50}, {6, 29}}, {true, false}, 0},
    {"NoWrapAtMinus86000", kS512At1Hz, 512, true, 0, {{1439, 50}, {6, 30}}, {false, false}, 1},
    {"BaseHourMeetsMinuteOfDay", kS512, 512, true, 16, {{60, 0}, {540, 10}}, {true, false}, 0},
    {"UnixTimeWords", form3_header('U', 512, "18", 1, 'k'), 512, true, 16, {{65530, 1}, {18, 2}}, {true, false}, 0},
    {"ThreeRecordsTwoGaps", kS512, 512, true, 16, {{0, 0}, {5, 0}, {10, 0}}, {false, false, false}, 2},
    {"OldStyleRecordsJoin", "T old style", 128, true, 16, {{0, 0}, {0, 0}, {0, 0}}, {true, true, false}, 0},
    {"ZeroFrequencyNeverGaps", "!Tidserier 0 1", 128, true, 16, {{0, 0}, {50, 0}}, {true, false}, 0},
    {"WithoutLookAheadNeverJoins", kS512, 512, false, 16, {{0, 0}, {0, 1}}, {false, false}, 0},
    {"NoRecords", kS512, 512, true, 16, {}, {}, 0},
};

using RecordStream = Files<StreamCase>;

TEST_P(RecordStream, JoinsContiguousRecordsAndCountsGaps) {
    const StreamCase& sc = GetParam();
    Recording rec{sc.header, sc.header[0] != 'T', sc.length, {}};
    for (std::size_t i = 0; i < sc.times.size(); ++i)
        rec.records.push_back(make_record(sc.length, sc.times[i][0], sc.times[i][1], static_cast<int>(i)));
    const std::string path = dated_path(dir.path(), 'k', 2014, 3, 15, sc.slot);
    write_binary(path, rec);
    CaptureStderr();
    auto r = std::make_unique<Probe<Zeltra::BinaryZELTRA>>(path.c_str(), sc.concat, ZELTRA::FT_NEW, false);
    GetCapturedStderr();
    for (std::size_t i = 0; i < sc.times.size(); ++i) {
        ASSERT_EQ(r->getdata(), 0);
        EXPECT_EQ(r->use_next, sc.joined[i]);
        for (int c = 0; c < 3; ++c) {
            std::vector<double> want = rec.records[i].channels[c];
            if (sc.joined[i]) want.insert(want.end(), rec.records[i + 1].channels[c].begin(), rec.records[i + 1].channels[c].end());
            EXPECT_EQ(std::vector<double>(r->current[c].begin(), r->current[c].begin() + want.size()), want);
        }
    }
    EXPECT_EQ(r->getdata(), -1);
    EXPECT_EQ(r->getdata(), -1);
    EXPECT_EQ(r->timegaps, sc.timegaps);
    const char* const summary[] = {"", "TIMEGAP in data\n", "Warning: TIMEGAPs in data\n"};
    CaptureStderr();
    r.reset();
    EXPECT_EQ(GetCapturedStderr(), summary[std::min(sc.timegaps, 2)]);
}

INSTANTIATE_TEST_SUITE_P(TimeWords, RecordStream, testing::ValuesIn(kStreams), case_name<StreamCase>);

}  // namespace
