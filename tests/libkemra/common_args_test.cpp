// Option scanner: queries over marked argument vectors, unknown-option
// reports, the walk over non-option arguments, mark listing and reordering.
#include "libkemra.h"
#include "kemra_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using kemra_test::Args;

// The marks are process-wide and keyed by argc: one call with another argument
// count discards them, so every case starts from fresh marks.
void reset_marks(int next_argc)
{
    Args other(next_argc == 1 ? std::vector<std::string>{"x"} : std::vector<std::string>{});
    get_first_unused(other.argc(), other.argv(), 1);
}

enum class Ask { flag, ulong, integer, longint, uinteger, real, single, text, range, pair };

struct Query {
    Ask ask;
    const char* name;
};

// Runs one query and renders its outcome as "result:value". Defaults:
// ulong 4000, int 0, long -1, uint 7, double 1.5, float 0.5; a string or
// range left untouched shows as <untouched> or -1.
std::string run(const Query& q, Args& a)
{
    const int argc = a.argc();
    char** argv = a.argv();
    char buf[128];
    switch (q.ask) {
    case Ask::flag:
        return std::to_string(get_option(argc, argv, q.name, 1, 0));
    case Ask::ulong: {
        unsigned long v = 1;
        const unsigned long r = get_option_ulong(argc, argv, q.name, &v, 4000);
        return std::to_string(r) + ":" + std::to_string(v);
    }
    case Ask::integer: {
        int v = 1;
        const int r = get_option_int(argc, argv, q.name, &v, 0);
        return std::to_string(r) + ":" + std::to_string(v);
    }
    case Ask::longint: {
        long v = 1;
        const int r = get_option_long(argc, argv, q.name, &v, -1);
        return std::to_string(r) + ":" + std::to_string(v);
    }
    case Ask::uinteger: {
        unsigned int v = 1;
        const unsigned int r = get_option_uint(argc, argv, q.name, &v, 7);
        return std::to_string(r) + ":" + std::to_string(v);
    }
    case Ask::real: {
        double v = 0;
        const int r = get_option_double(argc, argv, q.name, &v, 1.5);
        std::snprintf(buf, sizeof buf, "%d:%g", r, v);
        return buf;
    }
    case Ask::single: {
        float v = 0;
        const int r = get_option_float(argc, argv, q.name, &v, 0.5f);
        std::snprintf(buf, sizeof buf, "%d:%g", r, static_cast<double>(v));
        return buf;
    }
    case Ask::text: {
        char* v = nullptr;
        const int r = get_option_string(argc, argv, q.name, &v);
        return std::to_string(r) + ":" + (v ? v : "<untouched>");
    }
    case Ask::range: {
        int start = -1, step = -1, stop = -1;
        const int r = get_option_int_range(argc, argv, q.name, &start, &step, &stop);
        std::snprintf(buf, sizeof buf, "%d:%d,%d,%d", r, start, step, stop);
        return buf;
    }
    case Ask::pair: {
        int values[2] = {-1, -1};
        const int r = get_option_ints(argc, argv, q.name, values, 2);
        std::snprintf(buf, sizeof buf, "%d:%d,%d", r, values[0], values[1]);
        return buf;
    }
    }
    return "?";
}

std::string run_all(const std::vector<Query>& queries, Args& a)
{
    std::string out;
    for (const Query& q : queries)
        out += (out.empty() ? "" : " ") + run(q, a);
    return out;
}

// The walk the converter makes: get_first_unused from 1, then one past each
// result; the names found, joined by '|'.
std::string walk_files(Args& a)
{
    std::string out;
    for (int i = get_first_unused(a.argc(), a.argv(), 1); i != 0;
         i = get_first_unused(a.argc(), a.argv(), i + 1))
        out += (out.empty() ? "" : "|") + std::string(a.argv()[i]);
    return out;
}

std::string marks_of(Args& a)
{
    testing::internal::CaptureStdout();
    print_used(a.argc(), a.argv());
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// The options the converter knows in the edge-case rows: c (flag),
// r (unsigned long) and z (int), asked in that order.
const std::vector<Query> crz = {{Ask::flag, "c"}, {Ask::ulong, "r"}, {Ask::integer, "z"}};

struct ScanCase {
    const char* name;
    std::vector<std::string> args; // after the program name
    std::vector<Query> queries;
    const char* answers;  // run_all of the queries
    const char* marks;    // print_used after the queries, without its newline
    const char* files;    // walk_files after that
    const char* errors;   // everything on standard error
};

void PrintTo(const ScanCase& c, std::ostream* os)
{
    *os << c.name;
}

class ScannerTable : public testing::TestWithParam<ScanCase> {};

TEST_P(ScannerTable, AnswersMarksFilesAndReports)
{
    const ScanCase& c = GetParam();
    Args a(c.args);
    reset_marks(a.argc());
    testing::internal::CaptureStderr();
    const std::string answers = run_all(c.queries, a);
    const std::string marks = marks_of(a);
    const std::string files = walk_files(a);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answers, c.answers);
    EXPECT_EQ(marks, std::string(c.marks) + "\n");
    EXPECT_EQ(files, c.files);
    EXPECT_EQ(errors, c.errors);
}

const char* const range_error = ": Numerical result out of range\n";

const ScanCase scan_cases[] = {
    {"NoArguments", {}, crz, "0 0:4000 0:0", "1", "", ""},
    {"SeparateValue", {"-r", "8"}, crz, "0 1:8 0:0", "111", "", ""},
    {"AttachedValue", {"-r=8"}, crz, "0 1:8 0:0", "11", "", ""},
    {"AttachedEmptyValueIsZero", {"-r="}, crz, "0 1:0 0:0", "11", "", ""},
    {"DoubleDashSameAsSingle", {"--r", "8"}, crz, "0 1:8 0:0", "111", "", ""},
    {"ManyDashes", {"---z=7"}, crz, "0 0:4000 1:7", "11", "", ""},
    {"GluedValueMatchesNothing", {"-r8"}, crz, "0 0:4000 0:0", "10", "",
     "Unknown option: -r8\n"},
    {"ValuedOptionLast", {"-r"}, crz, "0 0:4000 0:0", "10", "", "Unknown option: -r\n"},
    {"TextWithoutDigitsIsZero", {"-r", "abc"}, crz, "0 1:0 0:0", "111", "", ""},
    {"SeparateOverflowKeepsDefault", {"-r", "99999999999999999999"}, crz, "0 0:4000 0:0", "100",
     "99999999999999999999",
     "99999999999999999999: Numerical result out of range\nUnknown option: -r\n"},
    {"LastAttachedWins", {"-r=1", "-r=2"}, crz, "0 1:2 0:0", "101", "",
     "Unknown option: -r=1\n"},
    {"FirstSeparateWins", {"-r", "1", "-r", "2"}, crz, "0 1:1 0:0", "11100", "2",
     "Unknown option: -r\n"},
    {"SeparateEndsSearchBeforeAttached", {"-r", "8", "-r=9"}, crz, "0 1:8 0:0", "1110", "",
     "Unknown option: -r=9\n"},
    {"SeparateReplacesEarlierAttached", {"-r=9", "-r", "8"}, crz, "0 1:8 0:0", "1011", "",
     "Unknown option: -r=9\n"},
    {"OverflowAfterAttachedStillFound", {"-r=5", "-r=99999999999999999999"}, crz,
     "0 1:4000 0:0", "110", "",
     "99999999999999999999: Numerical result out of range\n"
     "Unknown option: -r=99999999999999999999\n"},
    {"HexadecimalValue", {"-r", "0x10"}, crz, "0 1:16 0:0", "111", "", ""},
    {"OctalValue", {"-r=010"}, crz, "0 1:8 0:0", "11", "", ""},
    {"TrailingTextIgnored", {"-r", "12kHz"}, crz, "0 1:12 0:0", "111", "", ""},
    {"NegativeUnsignedIsAllOnes", {"-r", "-1"}, crz, "0 1:18446744073709551615 0:0", "111", "",
     ""},
    {"FlagTwice", {"-c", "-c"}, crz, "1 0:4000 0:0", "110", "", "Unknown option: -c\n"},
    {"FlagTakesNoValue", {"-c=1"}, crz, "0 0:4000 0:0", "10", "", "Unknown option: -c=1\n"},
    {"ValueMayBeginWithDash", {"-z", "-5"}, crz, "0 0:4000 1:-5", "111", "", ""},
    {"UsedValueArgumentSkipped", {"-r", "-c"}, crz, "1 0:4000 0:0", "101", "",
     "Unknown option: -r\n"},
    {"LongerNameDoesNotMatch", {"-rate", "5"}, crz, "0 0:4000 0:0", "100", "5",
     "Unknown option: -rate\n"},
    {"UnknownOptionReportedOnce", {"-q", "file"}, crz, "0 0:4000 0:0", "100", "file",
     "Unknown option: -q\n"},
    {"LongFormEndsUnknownSearch", {"--c", "-q", "file"}, crz, "1 0:4000 0:0", "1100",
     "-q|file", ""},
    {"UnknownBeforeLongForm", {"-q", "--c", "file"}, crz, "1 0:4000 0:0", "1010", "file",
     "Unknown option: -q\n"},
    {"TwoDashesAreUnknown", {"--", "file"}, crz, "0 0:4000 0:0", "100", "file",
     "Unknown option: --\n"},
    {"OneDashIsUnknown", {"-", "file"}, crz, "0 0:4000 0:0", "100", "file",
     "Unknown option: -\n"},
    {"FilesKeepTheirOrder", {"a.dat", "-r", "1", "b.dat", "-c", "c.dat"}, crz, "1 1:1 0:0",
     "1011010", "a.dat|b.dat|c.dat", ""},
    {"LongMinimum", {"-l", "-9223372036854775808"}, {{Ask::longint, "l"}},
     "1:-9223372036854775808", "111", "", ""},
    {"LongAbsentGivesDefault", {"x"}, {{Ask::longint, "l"}}, "0:-1", "10", "x", ""},
    {"UnsignedIntFromMinusOne", {"-u", "-1"}, {{Ask::uinteger, "u"}}, "1:4294967295", "111",
     "", ""},
    {"QueryNameMayCarryDashes", {"-u", "3"}, {{Ask::uinteger, "--u"}}, "1:3", "111", "", ""},
    {"DoubleValue", {"-d", "2.5"}, {{Ask::real, "d"}}, "1:2.5", "111", "", ""},
    {"DoubleOverflow", {"-d=1e999"}, {{Ask::real, "d"}}, "0:1.5", "10", "",
     "1e999: Numerical result out of range\nUnknown option: -d=1e999\n"},
    {"FloatValue", {"-f", "0.25"}, {{Ask::single, "f"}}, "1:0.25", "111", "", ""},
    {"FloatAbsent", {}, {{Ask::single, "f"}}, "0:0.5", "1", "", ""},
    {"StringAttached", {"-o=out.wav"}, {{Ask::text, "o"}}, "1:out.wav", "11", "", ""},
    {"StringSeparate", {"-o", "x y"}, {{Ask::text, "o"}}, "1:x y", "111", "", ""},
    {"StringAttachedEmpty", {"-o="}, {{Ask::text, "o"}}, "1:", "11", "", ""},
    {"StringFirstMatchWins", {"-o=a", "-o=b"}, {{Ask::text, "o"}}, "1:a", "110", "",
     "Unknown option: -o=b\n"},
    {"StringLastLeavesUntouched", {"-o"}, {{Ask::text, "o"}}, "0:<untouched>", "10", "",
     "Unknown option: -o\n"},
    {"StringSkipsUsedValue", {"-o", "-c", "-o", "v"}, {{Ask::flag, "c"}, {Ask::text, "o"}},
     "1 1:v", "10111", "", "Unknown option: -o\n"},
    {"RangeWithDash", {"-range", "1-10"}, {{Ask::range, "range"}}, "1:1,1,10", "111", "", ""},
    {"RangeWithStep", {"-range", "0:5:100"}, {{Ask::range, "range"}}, "1:0,5,100", "111", "",
     ""},
    {"RangeNegativeStep", {"-range", "10:-2:0"}, {{Ask::range, "range"}}, "1:10,-2,0", "111",
     "", ""},
    {"RangeWithoutValue", {"-range"}, {{Ask::range, "range"}}, "0:-1,-1,-1", "10", "",
     "Unknown option: -range\n"},
    {"RangeNoAttachedForm", {"-range=1-10"}, {{Ask::range, "range"}}, "0:-1,-1,-1", "10", "",
     "Unknown option: -range=1-10\n"},
    {"IntsTwoValues", {"-p", "3", "-4"}, {{Ask::pair, "p"}}, "1:3,-4", "1111", "", ""},
    {"IntsTooFewValues", {"-p", "3"}, {{Ask::pair, "p"}}, "0:-1,-1", "100", "3",
     "Unknown option: -p\n"},
    {"IntsValueAlreadyUsed", {"-p", "3", "-c"}, {{Ask::flag, "c"}, {Ask::pair, "p"}},
     "1 0:-1,-1", "1001", "3", "Unknown option: -p\n"},
};

INSTANTIATE_TEST_SUITE_P(Edges, ScannerTable, testing::ValuesIn(scan_cases),
                         [](const testing::TestParamInfo<ScanCase>& info) {
                             return std::string(info.param.name);
                         });

// Reordering: used arguments move to the front, a used run at the end stays.
struct ReorderCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<Query> queries;
    const char* argv_after;
    const char* marks_after;
};

void PrintTo(const ReorderCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReorganizeTable : public testing::TestWithParam<ReorderCase> {};

TEST_P(ReorganizeTable, MovesUsedArgumentsForward)
{
    const ReorderCase& c = GetParam();
    Args a(c.args);
    reset_marks(a.argc());
    run_all(c.queries, a);
    EXPECT_EQ(ca_reorganize(a.argc(), a.argv()), 0);
    EXPECT_EQ(a.joined(), c.argv_after);
    EXPECT_EQ(marks_of(a), std::string(c.marks_after) + "\n");
}

const ReorderCase reorder_cases[] = {
    // marks 1,0,1,0 -> argv order 0,2,1,3 with marks 1,1,0,0
    {"OneUsedMovesForward", {"a", "-c", "b"}, {{Ask::flag, "c"}}, "prog -c a b", "1100"},
    // marks 1,0,1,1: the used run reaches the end and stays
    {"UsedRunAtEndStays", {"a", "-r", "8"}, {{Ask::ulong, "r"}}, "prog a -r 8", "1011"},
    {"FreshMarksChangeNothing", {"a", "b"}, {}, "prog a b", "100"},
    {"UnusedOrderNotKept", {"a", "b", "-c", "c", "-s"}, {{Ask::flag, "c"}, {Ask::flag, "s"}},
     "prog -c b a c -s", "110001"},
};

INSTANTIATE_TEST_SUITE_P(Marks, ReorganizeTable, testing::ValuesIn(reorder_cases),
                         [](const testing::TestParamInfo<ReorderCase>& info) {
                             return std::string(info.param.name);
                         });

// Malformed ranges and lists end the process with status 1 and one message.
struct FatalCase {
    const char* name;
    std::vector<std::string> args;
    Query query;
    const char* message;
};

void PrintTo(const FatalCase& c, std::ostream* os)
{
    *os << c.name;
}

class FatalScanTable : public testing::TestWithParam<FatalCase> {};

TEST_P(FatalScanTable, ExitsWithStatusOne)
{
    const FatalCase& c = GetParam();
    Args a(c.args);
    EXPECT_EXIT(
        {
            reset_marks(a.argc());
            run(c.query, a);
        },
        testing::ExitedWithCode(1), testing::Eq(std::string(c.message)));
}

const FatalCase fatal_cases[] = {
    {"RangeSingleNumber", {"-range", "7"}, {Ask::range, "range"},
     "Something bad happened during scan of -range argument (7)."},
    {"RangeWordsShowArgumentAsGiven", {"--range", "a-b"}, {Ask::range, "range"},
     "Something bad happened during scan of --range argument (a-b)."},
    {"IntsFirstValueBad", {"-p", "x", "1"}, {Ask::pair, "p"},
     "Something bad happened during scan of -p argument (x)."},
    // The message names the first value argument whichever value failed.
    {"IntsSecondValueBad", {"-p", "1", "x"}, {Ask::pair, "p"},
     "Something bad happened during scan of -p argument (1)."},
};

INSTANTIATE_TEST_SUITE_P(Malformed, FatalScanTable, testing::ValuesIn(fatal_cases),
                         [](const testing::TestParamInfo<FatalCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(OptionScanner, NewArgumentCountDiscardsMarks)
{
    Args two({"-c"});
    Args one(std::vector<std::string>{});
    reset_marks(two.argc());
    EXPECT_EQ(get_option(two.argc(), two.argv(), "c", 1, 0), 1);
    EXPECT_EQ(get_option(two.argc(), two.argv(), "c", 1, 0), 0);
    EXPECT_EQ(get_first_unused(one.argc(), one.argv(), 1), 0);
    EXPECT_EQ(get_option(two.argc(), two.argv(), "c", 1, 0), 1);
}

TEST(OptionScanner, SameArgumentCountSharesMarks)
{
    Args first({"-c"});
    Args second({"-c"});
    reset_marks(first.argc());
    EXPECT_EQ(get_option(first.argc(), first.argv(), "c", 1, 0), 1);
    EXPECT_EQ(get_option(second.argc(), second.argv(), "c", 1, 0), 0);
}

TEST(OptionScanner, FirstUnusedMarkConsumesWhatItReturns)
{
    Args a({"a", "b"});
    reset_marks(a.argc());
    EXPECT_EQ(get_first_unused_mark(a.argc(), a.argv(), 1), 1);
    EXPECT_EQ(get_first_unused_mark(a.argc(), a.argv(), 1), 2);
    EXPECT_EQ(get_first_unused_mark(a.argc(), a.argv(), 1), 0);
}

TEST(OptionScanner, StartBeyondLastArgumentFindsNothing)
{
    Args a({"a"});
    reset_marks(a.argc());
    EXPECT_EQ(get_first_unused(a.argc(), a.argv(), 2), 0);
    EXPECT_EQ(get_first_unused(a.argc(), a.argv(), 1), 1);
}

TEST(OptionScanner, UnusedOptionSearchMarksLongForm)
{
    Args a({"x", "--long", "-q"});
    reset_marks(a.argc());
    EXPECT_EQ(get_option_unused(a.argc(), a.argv()), 0);
    EXPECT_EQ(marks_of(a), "1010\n");
}

TEST(OptionScanner, PrintUsedShowsOneDigitPerArgument)
{
    Args a({"-c", "x"});
    reset_marks(a.argc());
    get_option(a.argc(), a.argv(), "c", 1, 0);
    EXPECT_EQ(marks_of(a), "110\n");
}

TEST(OptionScanner, IntsWithZeroCountConsumesOptionAlone)
{
    Args a({"-p", "5"});
    reset_marks(a.argc());
    EXPECT_EQ(get_option_ints(a.argc(), a.argv(), "p", nullptr, 0), 1);
    EXPECT_EQ(marks_of(a), "110\n");
}

TEST(OptionScanner, RangeFillsOnlyGivenPointers)
{
    Args a({"-range", "2-9"});
    reset_marks(a.argc());
    int stop = 0;
    EXPECT_EQ(get_option_int_range(a.argc(), a.argv(), "range", nullptr, nullptr, &stop), 1);
    EXPECT_EQ(stop, 9);
}

TEST(OptionScannerDeathTest, NegativeStartIsMisuse)
{
    Args a({"x"});
    EXPECT_EXIT(get_first_unused(a.argc(), a.argv(), -1), testing::ExitedWithCode(1),
                testing::Eq(std::string("is_used: i out of range\n")));
}

TEST(OptionScannerDeathTest, MarksThatCannotBeAllocatedEndTheRun)
{
    if (!kemra_test::address_space_can_be_capped)
        GTEST_SKIP() << "address space cannot be capped under the sanitizer";
    Args a({"x"});
    // Marks for a count of 1 GiB arguments do not fit 64 MiB more address space.
    EXPECT_EXIT(
        {
            kemra_test::cap_address_space(64u << 20);
            get_first_unused(1 << 30, a.argv(), 1);
        },
        testing::ExitedWithCode(1),
        testing::ContainsRegex("^Error: .*common_args\\.cpp\\([0-9]+\\) kemra: Can't allocate "
                               "memory\n$"));
}

} // namespace
