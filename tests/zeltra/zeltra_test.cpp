// The reader library: header grammar, detection, both encodings, the record
// stream, every fatal error and the path conventions.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>

#include <gtest/gtest.h>

#include "tavo_writer.h"
#include "rows.h"
#include <zeltra/zeltra.h>

namespace {

using namespace tavo_test;
using Zeltra::ZELTRA;

// In UTC, so the reader's one-time switch message appears only where asked for.
const int kInUtc = (setenv("TZ", "UTC", 1), tzset(), 0);

std::string expand(std::string text, char token, const std::string& with)
{
    for (auto at = text.find(token); at != std::string::npos;
         at = text.find(token, at + with.size()))
        text.replace(at, 1, with);
    return text;
}

std::string pad(std::string text, std::size_t size, char fill)
{
    text.resize(size, fill);
    return text;
}

// Header kS128, then a record of three lines: the time words and samples c * 10 + j % 4 + 0.25
// of channel c; the third after `before_third`, padded with blanks to `width` bytes.
const std::string kS128 = form3_header('S', 128, "18", 1, 'k');
std::string text_file(const std::string& eol, const std::string& before_third = "",
                      const std::string& times = "5 6", std::size_t width = 0)
{
    std::string out = kS128 + eol;
    for (int c = 0; c < 3; ++c) {
        std::string line = times;
        for (int j = 0; j < 128; ++j)
            line += " " + std::to_string(c * 10 + j % 4) + ".25";
        out += (c == 2 ? before_third + pad(line, std::max(width, line.size()), ' ') : line) + eol;
    }
    return out;
}

// A binary file, one record per pair of time words; a 'T' header makes old-style records.
std::string records(const std::string& header, std::size_t length,
                    const std::vector<std::array<long, 2>>& times)
{
    Recording rec{header, header[0] != 'T', length, {}};
    for (std::size_t i = 0; i < times.size(); ++i)
        rec.records.push_back(
            make_record(length, times[i][0], times[i][1], static_cast<int>(i + 1)));
    return binary_bytes(rec);
}

// How a file is opened: by detection or by a reader of the kind (binary: also refusing an
// undated path, or without look-ahead).
enum Run { Detect, Binary, StrictPath, NoLookAhead, Text };

ZELTRA* open_reader(Run how, const std::string& path)
{
    const char* name = path.c_str();
    switch (how) {
        case Detect:
            return Zeltra::detect(name, true, ZELTRA::FT_NEW, false);
        case Text:
            return new Zeltra::AsciiZELTRA(name, true, ZELTRA::FT_NEW, false);
        default:
            return new Zeltra::BinaryZELTRA(name, how != NoLookAhead, ZELTRA::FT_NEW,
                                            how == StrictPath);
    }
}

// The text with the line numbers of debug traces replaced by "N".
std::string masked(std::string text)
{
    for (auto at = text.find("zeltra("); at != std::string::npos; at = text.find("zeltra(", at + 1))
        text.replace(at + 7, text.find(')', at) - at - 7, "N");
    return text;
}

// All the library wrote on standard error, with the test's own lines: "= frequency gain
// station S|U length new|old start-of-day time-base date time"; per record "> time words,
// first sample of channel 0, last of channel 2" and "+" when joined; on a fatal error its
// message (as a program's boundary writes it), what deleting the reader writes, "exit N".
std::string transcript(Run how, const std::string& path, bool state = false)
{
    testing::internal::CaptureStderr();
    std::unique_ptr<ZELTRA> r;
    std::string states;
    try {
        r.reset(open_reader(how, path));
        std::cerr << "= " << r->get_frequency() << ' ' << r->get_gain() << ' ' << r->get_station()
                  << ' ' << (r->is_unixtime() ? 'U' : 'S') << ' ' << r->get_length()
                  << (r->is_newfile() ? " new " : " old ") << r->get_start_of_day() << ' '
                  << r->get_time_base() << ' ' << r->get_date_from_comment() << ' '
                  << r->get_time_from_comment() << "\n";
        while (r->getdata() != -1) {
            const std::size_t span = r->get_length() * (r->uses_next() ? 2 : 1);
            std::cerr << "> " << r->time[0] << ' ' << r->time[1] << ' ' << r->current[0][0] << ' '
                      << r->current[2][span - 1] << (r->uses_next() ? " +\n" : "\n");
            states += std::to_string(r->get_timegaps()) + (r->holds_next() ? "h" : "-") +
                      (r->uses_next() ? "+ " : "- ");
        }
        if (state)
            std::cerr << "state " << states << "|" << r->gap_summary() << "|"
                      << r->get_record_failure() << "\n";
    } catch (const Zeltra::Error& e) {
        std::cerr << e.what();
        r.reset();
        std::cerr << "exit " << e.status() << "\n";
    }
    r.reset();
    return masked(testing::internal::GetCapturedStderr());
}

// Expected text: "@" the path, "#" the path and base-name lines, "$" the file's first line.
struct Case {
    const char* name;
    std::optional<std::string> bytes;  // none: the file does not exist
    std::string text;
    Run run = Binary;
    std::string file = "undated.dat";  // gzip-compressed first when it ends in ".gz"
    bool state = false;                // the transcript ends with the stream's state
};

// Each test runs in a fresh temporary working directory.
class Transcript : public testing::TestWithParam<Case> {
protected:
    Transcript() { std::filesystem::current_path(dir.path()); }
    ~Transcript() override { std::filesystem::current_path(cwd); }
    std::string put(const std::string& bytes, const std::string& name)
    {
        std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
        write_bytes(name, bytes);
        return name;
    }
    const std::filesystem::path cwd = std::filesystem::current_path();
    TempDir dir;
};

const std::string kB = "##File: @ Type:binary\n";
const std::string kT = "##File: @ Type:text\n";
const std::string kSays1 = "valid_comment_type1: $\n";
const std::string kSays3 = "valid_comment_type3: $\n";
const std::string kInvalid =
    "Invalid comment line\nCouldn't determine sampling frequency\ndefaulting to 18.0Hz\n";
const std::string kCut = "Error: @: file ends inside a record\nexit 1\n";
const std::string kD = "Debug:src/libzeltra/zeltra(N) ";
// What constructing a binary reader on a kForm1 header writes.
const std::string kBin1 = kB + kSays1 + "= 18 1 u S 128 new 0 0  \n";
const std::string kBin512 = kB + kSays3 + "= 18 1 k S 512 new 0 0 2014-03-15 08:00:00\n";
const std::string kText128 = kT + kSays3 + "= 18 1 k S 128 new 0 0 2014-03-15 08:00:00\n";
const std::string kTextRecord = "> 5 6 0.25 23.25\n";
const std::string kForm1 = form1_header("18", "1");
const std::string kS512 = form3_header('S', 512, "18", 1, 'k');  // gap limit 512 / 18 + 2 = 30.4 s
const std::string kS512At1Hz = form3_header('S', 512, "1", 1, 'k');  // gap limit 514 s
// A binary reader on a kForm1 file at `path` reports the start of day and time base of the path.
Case dated(const char* name, const std::string& path, const std::string& start_and_base)
{
    return {name, kForm1 + "\r", kB + kSays1 + "= 18 1 k S 128 new " + start_and_base + "  \n",
            Binary, path};
}
const std::string kTwoRecords = records(kForm1, 128, {{5, 6}, {5, 7}});
// Two text records, the first's last line with time values no time word holds (the blank
// keeps it from reading as a comment).
std::string out_of_range_times()
{
    std::string t =
        text_file("\n", "", "0 0") + text_file("\n", "", "0 7").substr(kS128.size() + 1);
    const std::size_t third = t.find('\n', t.find('\n', t.find('\n') + 1) + 1) + 1;
    return t.replace(third, 3, " nan 1e300");
}
const std::string kNumbers =
    pad("1 2 3\n", 250, ' ');  // text to the detector, less than a block to the reader

const Case kCases[] = {
    // Header line forms, tried in order, and the record-length rule.
    {"FormOne", "!Tidserier 20.5\r", kB + kSays1 + "= 20.5 -1 u S 128 new 0 0  \n"},
    {"FormTwo", form2_header("12.5", "-2") + "\r",
     kB + "valid_comment_type2: $\n= 12.5 -2 u S 128 new 0 0  \n"},
    {"FormThreeUnix128", form3_header('U', 128, "20.5", 7, 'r') + "\r",
     kB + kSays3 + "= 20.5 7 r U 128 new 0 0 2014-03-15 08:00:00\n"},
    {"FormThreeOtherLength", form3_header('S', 256, "18", 2, 'q') + "\r",
     kB + "WARNING: nonstandard length: 256\n" + kSays3 +
         "= 18 2 q S 128 new 0 0 2014-03-15 08:00:00\n"},
    {"FormThreeEndsAfterFrequency", "!S512Tidserier sampfrek: 18\r",
     kB + kSays3 + "= 18 -1 u S 512 new 0 0  \n"},
    {"FormThreeLowerCaseRejected", form3_header('s', 512, "20", 4, 'z', "d1", "t1") + "\r",
     kB + kSays3 + kInvalid + "= 18 4 z S 512 new 0 0 d1 t1\n"},
    {"FormThreeLongDateCut", form3_header('S', 128, "18", 1, 'q', std::string(300, 'D')) + "\r",
     kB + kSays3 + "= 18 1 q S 128 new 0 0 " + std::string(255, 'D') + " \n"},
    {"LengthRuleWithoutForm", "!S512 no form here\r",
     kB + kInvalid + "= 18 -1 u S 512 new 0 0  \n"},
    {"LengthRuleOtherNumber", "!S256 no form here\r",
     kB + kInvalid + "= 18 -1 u S 128 new 0 0  \n"},
    {"OldStyleLine", "T 18 Hz old style\r", kB + kInvalid + "= 18 -1 u S 128 old 0 0  \n"},
    {"LongestHeaderLine", "!" + std::string(51199, 'a') + "\r",
     kB + kInvalid + "= 18 -1 u S 128 new 0 0  \n"},
    // Binary records: time words of block 2, signed in 'S' files; a cut at a block boundary ends
    // the data quietly.
    {"NoHeaderLine", records("", 128, {{5, 6}}),
     kB + kInvalid + "= 18 -1 u S 128 new 0 0  \n> 5 6 952 1182\n"},
    {"SignedTimeWords", records(kForm1, 128, {{65535, 1}}), kBin1 + "> -1 1 952 1182\n"},
    {"EndAtBlockBoundary", kTwoRecords.substr(0, kTwoRecords.size() - 260),
     kBin1 + "> 5 6 952 1182\n"},
    {"EndAfterFirstBlock", kTwoRecords.substr(0, kTwoRecords.size() - 520),
     kBin1 + "> 5 6 952 1182\n"},
    // Text records.
    {"TextCrLfLines", text_file("\r\n"), kText128 + kTextRecord, Text},
    {"TextSkipsCommentLetterEmpty", text_file("\n", "! comment\nletters 1 2\n\n"),
     kText128 + kTextRecord, Text},
    {"TextTimeValuesRoundHalfAway", text_file("\n", "", "12.5 -3.5"),
     kText128 + "> 13 -4 0.25 23.25\n", Text},
    {"TextLongestLine", text_file("\n", "", "5 6", 51198), kText128 + kTextRecord, Text},
    {"TextCrLfLineIsNotSkipped", text_file("\n", "\r\n"), kText128, Text},
    // A text file may end anywhere but inside a line of samples.
    {"TextLastLineWithoutLf", text_file("\n").substr(0, text_file("\n").size() - 1),
     kText128 + kTextRecord, Text},
    {"TextEndsBetweenLinesOfARecord",
     text_file("\n") +
         text_file("\n").substr(kS128.size() + 1,
                                text_file("\n").find('\n', kS128.size() + 1) - kS128.size()),
     kText128 + kTextRecord, Text},
    {"TextEndsInsideTimeValues", text_file("\n") + "5", kText128 + kTextRecord, Text},
    {"TextHeaderWithoutLf", kS128 + "\r" + pad("1 2 3", 220, ' '),
     "##File: @ Type:text\ngzgetc:Success\nexit 1\n", Text},
    {"TextTooFewSamples", text_file("\n", "1 2 7\n"),
     kText128 + "Failed to read value 3 of line:\n1 2 7\n\n" +
         "state ||Failed to read value 3 of line:\n1 2 7\n\n\n",
     Text, "undated.dat", true},
    {"TextFailedLookAheadSkipsLines",
     text_file("\n") + " bad\n" + text_file("\n", "", "7 8").substr(kS128.size() + 1),
     kText128 + kTextRecord + "> 7 8 0.25 23.25\n", Text},
    {"TextOldStyle", text_bytes({"T old style", false, 128, {make_record(128, 5, 6, 1)}}),
     kT + kInvalid + "= 18 -1 u S 128 old 0 0  \n> 0 0 952 1182\n", Text},
    // Detection from the first 256 bytes.
    {"DetectTextGzip", text_file("\n"), kSays3 + kText128 + kTextRecord, Detect, "undated.gz"},
    {"DetectBinaryGzip", kTwoRecords, kSays1 + kBin1 + "> 5 6 952 2182 +\n> 5 7 1952 2182\n",
     Detect, "undated.gz"},
    {"DetectBinaryOf256Bytes", pad(kForm1 + "\r", 256, ' '), kSays1 + kBin1 + kCut, Detect},
    {"DetectLineEndAtByte254", pad(kForm1 + " ", 254, 'x') + "\r" + kNumbers, kSays1 + kBin1 + kCut,
     Detect},
    {"DetectTwoNumbersThenLetter", kForm1 + "\r1 2 x" + kNumbers, kSays1 + kBin1 + kCut, Detect},
    {"DetectLengthRuleAcceptsLine", text_bytes({"!S 512", true, 512, {make_record(512, 5, 6, 1)}}),
     kInvalid + kT + kInvalid + "= 18 -1 u S 512 new 0 0  \n> 5 6 952 1178\n", Detect},
    {"DetectLengthRuleRefusesOtherNumber", "!S 256\r" + kNumbers,
     kInvalid + kB + kInvalid + "= 18 -1 u S 128 new 0 0  \n" + kCut, Detect},
    {"DetectOf255Bytes", pad(kForm1 + "\r", 255, ' '),
     kD + "file to short to be meaningfull\nError: @: file too short to be a data file\nexit 1\n",
     Detect},
    {"DetectLineEndAtByte255", pad(kForm1, 255, 'x') + "\n",
     "Error: @: no end of the first line in its first 255 bytes\nexit 1\n", Detect},
    {"DetectOfMissingFile", std::nullopt,
     "gzopen:No such file or directory\nCan't open @\nexit 1\n", Detect},
    // Fatal conditions of the readers.
    {"ReaderOfMissingFile", std::nullopt,
     "##gzopen: No such file or directory\nCan't open @\nexit 1\n"},
    {"UndatedPathRefused", kForm1 + "\r",
     "#Can't parse date & time from path (@) & fail_parse_path == 1\nexit 1\n", StrictPath},
    {"BinaryRecordCutShort", kTwoRecords.substr(0, kTwoRecords.size() - 3), kBin1 + kCut},
    {"BinaryHeaderWithoutCr", kForm1 + "\n1 2 3\n", kB + "gzgetc:Success\nexit 1\n"},
    {"BinaryHeaderOverBuffer", "!" + std::string(51200, 'a') + "\r",
     kB + "Error: @: header line longer than 51200 bytes\nexit 1\n"},
    {"TextLineOverBuffer", text_file("\n", "", "5 6", 51199),
     kText128 + "Error: Line to long\nexit 1\n", Text},
    // Record stream: joins, gaps and the gap summary.
    {"WithinLimitJoins", records(kS512, 512, {{10, 0}, {10, 30}}),
     kBin512 + "> 10 0 952 2178 +\n> 10 30 1952 2178\n"},
    {"WrapsBelowMinus86000", records(kS512At1Hz, 512, {{1439, 50}, {6, 29}}),
     kB + kSays3 +
         "= 1 1 k S 512 new 0 0 2014-03-15 08:00:00\n> 1439 50 952 2178 +\n> 6 29 1952 2178\n"},
    {"NoWrapAtMinus86000", records(kS512At1Hz, 512, {{1439, 50}, {6, 30}}),
     kB + kSays3 +
         "= 1 1 k S 512 new 0 0 2014-03-15 08:00:00\n> 1439 50 952 1178\n> 6 30 1952 2178\n"
         "TIMEGAP in data\n"},
    {"BaseHourMeetsMinuteOfDay", records(kS512, 512, {{60, 0}, {540, 10}}),
     kB + kSays3 +
         "= 18 1 k S 512 new 1394841600 28800 2014-03-15 08:00:00\n> 60 0 952 2178 +\n> 540 10 "
         "1952 2178\n",
     Binary, "./2014/03/20140315/k4031516.dat"},
    {"UnixTimeWords", records(form3_header('U', 512, "18", 1, 'k'), 512, {{65530, 1}, {18, 2}}),
     kB + kSays3 +
         "= 18 1 k U 512 new 0 0 2014-03-15 08:00:00\n> 65530 1 952 2178 +\n> 18 2 1952 2178\n"},
    {"OldStyleRecordsJoin", records("T old style", 128, {{0, 0}, {0, 0}, {0, 0}}),
     kB + kInvalid +
         "= 18 -1 u S 128 old 0 0  \n> 0 0 952 2182 +\n> 0 0 1952 3182 +\n> 0 0 2952 3182\n"},
    {"WithoutLookAheadNeverJoins", records(kS512, 512, {{0, 0}, {0, 1}}),
     kBin512 + "> 0 0 952 1178\n> 0 1 1952 2178\n", NoLookAhead},
    // Start of day and time base from <yyyy>/<mm>/<yyyymmdd>/<station><y><mm><dd><slot>.
    dated("DatedPath", "./2014/03/20140315/k4031516.dat", "1394841600 28800"),
    dated("PathWithWrongYearDigit", "./2014/03/20140315/k5031516.dat", "0 28800"),
    dated("PathSlotTwoGivesHourZero", "./2014/03/20140315/k4031502.dat", "1394841600 0"),
    dated("PathSlotFortySeven", "./2014/03/20140315/k4031547.dat", "1394841600 82800"),
    dated("PathSlotFortyEightOutOfRange", "./2014/03/20140315/k4031548.dat", "0 0"),
    dated("PathMonthMismatch", "./2014/04/20140315/k4031516.dat", "0 28800"),
    dated("PathWithoutSlashBeforeYear", "2014/03/20140315/k4031516.dat", "0 28800"),
    // State per record: gaps counted, "h" while a look-ahead is held, "+" when joined; then
    // |gap summary|last unparsed text record. 31 s is a gap (limit 30.4 s), 9 s more joins.
    {"GapThenJoin", records(kS512, 512, {{10, 0}, {10, 31}, {10, 40}}),
     kBin512 + "> 10 0 952 1178\n> 10 31 1952 3178 +\n> 10 40 2952 3178\n" +
         "state 1h- 1h+ 1-- |TIMEGAP in data\n|\nTIMEGAP in data\n",
     Binary, "undated.dat", true},
    {"ThreeRecordsTwoGaps", records(kS512, 512, {{0, 0}, {5, 0}, {10, 0}}),
     kBin512 + "> 0 0 952 1178\n> 5 0 1952 2178\n> 10 0 2952 3178\n" +
         "state 1h- 2h- 2-- |Warning: TIMEGAPs in data\n|\nWarning: TIMEGAPs in data\n",
     Binary, "undated.dat", true},
    {"WithoutLookAheadCountsNoGap", records(kS512, 512, {{0, 0}, {5, 0}}),
     kBin512 + "> 0 0 952 1178\n> 5 0 1952 2178\nstate 0-- 0-- ||\n", NoLookAhead, "undated.dat",
     true},
    // Time values no time word holds (NaN, 1e300) are 0 and the largest int: a gap.
    {"TextTimeValuesOutOfRange", out_of_range_times(),
     kText128 + "> 0 2147483647 0.25 23.25\n> 0 7 0.25 23.25\n" +
         "state 1h- 1-- |TIMEGAP in data\n|\nTIMEGAP in data\n",
     Text, "undated.dat", true},
    // Debug traces of a reader's life.
    {"DebugTraces", kForm1 + "\r",
     "##" + kD + "Opening file: @\n" + kD + "0 Start of day represents Thu Jan  1 00:00:00 1970\n" +
         kD + "0 time_base represents Thu Jan  1 00:00:00 1970\nFile: @ Type:binary\n" + kD +
         "Comment: $\n" + kD + "frequency=18 gain=1\n" + kSays1 + "= 18 1 u S 128 new 0 0  \n" +
         kD + "is_next=0\n" + kD + "\n" + kD + "Closing file\n"},
};

TEST_P(Transcript, MatchesExactly)
{
    const Case& tc = GetParam();
    const std::string plain = tc.file.substr(0, tc.file.rfind(".gz"));
    if (tc.bytes)
        put(*tc.bytes, plain);
    if (plain != tc.file)
        gzip_copy(plain, tc.file);
    Zeltra::zeltra_debug = tc.text.find("Debug:") != std::string::npos;  // traces expected
    const std::string got = transcript(tc.run, tc.file, tc.state);
    Zeltra::zeltra_debug = 0;
    const std::string first_line =
        tc.bytes ? tc.bytes->substr(0, tc.bytes->find_first_of("\r\n")) : "";
    const std::string pair = "@\n" + std::filesystem::path(tc.file).stem().string() + "\n";
    EXPECT_EQ(got, expand(expand(expand(tc.text, '#', pair), '$', first_line), '@', tc.file));
}

INSTANTIATE_TEST_SUITE_P(Files, Transcript, testing::ValuesIn(kCases), tavo_test::RowName());

using Process = Transcript;

// A program's boundary ends the process with the error's message and status.
TEST_F(Process, DefaultExitEndsProcess)
{
    const std::string name = put("", "empty");
    EXPECT_EXIT(Zeltra::exit_on_error([&] { return open_reader(Detect, name); }),
                testing::ExitedWithCode(1), "too short to be a data file\n$");
}

// A process outside UTC is switched once: the first reader warns, the next does not (in a
// process of its own, which the death-test machinery starts afresh).
TEST_F(Process, SwitchesToUtcOnce)
{
    put(kForm1 + "\r", "zone");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("TZ", "EST5EDT", 1);
            tzset();
            const bool warned =
                transcript(Binary, "zone").substr(0, 24) == "WARNING: setting TZ=UTC\n";
            const bool quiet = transcript(Binary, "zone").find("WARNING") == std::string::npos;
            std::exit(warned && quiet && std::string(std::getenv("TZ")) == "UTC" ? 7 : 1);
        },
        testing::ExitedWithCode(7), "");
}

// Keeps every message with its kind.
class KeptMessages : public Zeltra::MessageSink {
public:
    void message(Zeltra::MessageKind kind, const std::string& text) override
    {
        all += text;
        const char* tag[] = {"I ", "W ", "D "};
        tagged += tag[static_cast<int>(kind)] + masked(text);
    }
    std::string all, tagged;
};

// Reads every record of `name`, detected, through `sink` or standard error.
void read_all(const char* name, Zeltra::MessageSink* sink = nullptr)
{
    std::unique_ptr<ZELTRA> r(sink ? Zeltra::detect(name, true, ZELTRA::FT_NEW, false, *sink)
                                   : open_reader(Detect, name));
    while (r->getdata() != -1) {
    }
}

// A reader given a sink says through it, each message with its kind, exactly what it writes
// on standard error otherwise (a gap; a damaged text record; with and without debug traces).
TEST_F(Process, SinkReceivesWhatStandardErrorWouldShow)
{
    put(records(kS512, 512, {{0, 0}, {20, 0}}), "gap.dat");
    put(text_file("\n") + text_file("\n").substr(kS128.size() + 1, 100), "cut.txt");
    const std::string header = "I valid_comment_type3: " + kS512 + "\n";
    const std::string gap_says = header + "I gap.dat\ngap\nI gap.dat\ngap\n" +
                                 "I File: gap.dat Type:binary\n" + header + "W TIMEGAP in data\n";
    for (const int debug : {0, 1}) {
        for (const std::string name : {"gap.dat", "cut.txt"}) {
            Zeltra::zeltra_debug = debug;
            testing::internal::CaptureStderr();
            read_all(name.c_str());
            const std::string printed = testing::internal::GetCapturedStderr();
            KeptMessages kept;
            testing::internal::CaptureStderr();
            read_all(name.c_str(), &kept);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
            Zeltra::zeltra_debug = 0;
            EXPECT_EQ(kept.all, printed) << name << " debug " << debug;
            EXPECT_EQ(kept.tagged.find("D ") != std::string::npos, debug == 1) << kept.tagged;
            EXPECT_EQ(kept.tagged.find("W Failed to read value") != std::string::npos,
                      name == "cut.txt");
            if (debug == 0 && name == "gap.dat") {
                EXPECT_EQ(kept.tagged, gap_says);
            }
        }
    }
}

}  // namespace
