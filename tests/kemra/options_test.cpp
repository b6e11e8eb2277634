// Option scanner, with the error printer and the errors of its misuse; the command-line log.
#include <kemra/libkemra.h>

#include <gmock/gmock.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "rows.h"

namespace {

// An argv as main receives it: "prog", then the given arguments, then null.
struct Args {
    explicit Args(std::vector<std::string> args) : text(std::move(args))
    {
        text.insert(text.begin(), "prog");
        for (std::string& s : text)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
    Args(const Args&) = delete;
    int argc() const { return static_cast<int>(text.size()); }
    char** argv() { return pointers.data(); }
    std::vector<std::string> text;
    std::vector<char*> pointers;
};

// " name=value" when the query finds the option; else nothing, and the default replaced 99.
template <typename T, typename Query>
std::string valued(Args& a, const char* name, T fallback, Query query)
{
    T value = 99;
    std::ostringstream out;
    if (query(a.argc(), a.argv(), name, &value, fallback))
        out << ' ' << name + std::strspn(name, "-") << '=' << value;
    else
        EXPECT_EQ(value, fallback) << name;
    return out.str();
}

// From fresh marks asks, in order: flag c, unsigned long r (default 4000), int z as --z
// (default 0), double d (default 1.5), string o, range "range", two ints p. Lists the found.
std::string ask_all(Args& a)
{
    Args other(std::vector<std::string>(a.argc() == 1 ? 1 : 0, "x"));
    get_first_unused(other.argc(), other.argv(), 1);  // another argc drops the marks
    const int argc = a.argc();
    char** argv = a.argv();
    std::ostringstream out;
    if (get_option(argc, argv, "c", 1, 0))
        out << " c";
    out << valued(a, "r", 4000ul, get_option_ulong) << valued(a, "--z", 0, get_option_int)
        << valued(a, "d", 1.5, get_option_double);
    char* text = nullptr;
    if (get_option_string(argc, argv, "o", &text))
        out << " o=" << text;
    int v[3] = {0, 0, 0};
    if (get_option_int_range(argc, argv, "range", &v[0], &v[1], &v[2]))
        out << " range=" << v[0] << ',' << v[1] << ',' << v[2];
    if (get_option_ints(argc, argv, "p", v, 2))
        out << " p=" << v[0] << ',' << v[1];
    return out.str();
}

struct ScanCase {
    const char* name;
    std::vector<std::string> args;  // after the program name
    const char* found;              // ask_all's list
    const char* files;              // the walk over non-option arguments afterwards
    const char* errors;             // everything on standard error
};

class ScannerTable : public testing::TestWithParam<ScanCase> {};

TEST_P(ScannerTable, FindsOptionsFilesAndUnknowns)
{
    const ScanCase& c = GetParam();
    Args a(c.args);
    testing::internal::CaptureStderr();
    const std::string found = ask_all(a);
    std::string files;
    for (int i = get_first_unused(a.argc(), a.argv(), 1); i != 0;
         i = get_first_unused(a.argc(), a.argv(), i + 1))
        files += std::string(a.argv()[i]) + "|";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.errors);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(files, c.files);
}

#define BIG "99999999999999999999"
#define UNKNOWN(arg) "Unknown option: " arg "\n"
#define RANGE_ERROR(text) text ": Numerical result out of range\n"

// clang-format off
const ScanCase scan_cases[] = {
    {"NoArguments", {}, "", "", ""},
    {"SeparateOrAttachedAnyDashes", {"--r", "8", "---z=7", "-d", "2.5"}, " r=8 z=7 d=2.5", "", ""},
    {"EmptyOrDigitlessIsZero", {"-r=", "-z", "abc"}, " r=0 z=0", "", ""},
    {"BaseFromPrefixTailIgnored", {"-r", "0x10", "-z=010kHz"}, " r=16 z=8", "", ""},
    {"NegativeValues", {"-r", "-1", "-z", "-5"}, " r=18446744073709551615 z=-5", "", ""},
    {"NamesMatchWhole", {"-r8", "-rate", "5", "-r"}, "", "5|",
     UNKNOWN("-r8") UNKNOWN("-rate") UNKNOWN("-r")},
    {"UsedValueSkipped", {"-r", "-c"}, " c", "", UNKNOWN("-r")},
    {"SeparateOverflow", {"-r", BIG, "-d=1e999"}, "", BIG "|",
     RANGE_ERROR(BIG) RANGE_ERROR("1e999") UNKNOWN("-r") UNKNOWN("-d=1e999")},
    {"OverflowAfterAttached", {"-r=5", "-r=" BIG}, " r=4000", "",
     RANGE_ERROR(BIG) UNKNOWN("-r=" BIG)},
    {"LastAttachedWins", {"-r=1", "-r=2"}, " r=2", "", UNKNOWN("-r=1")},
    {"FirstSeparateWins", {"-r", "1", "-r", "2"}, " r=1", "2|", UNKNOWN("-r")},
    {"SeparateEndsSearch", {"-r=9", "-r", "8", "-r=7"}, " r=8", "",
     UNKNOWN("-r=9") UNKNOWN("-r=7")},
    {"FlagOnceWithoutValue", {"-c", "-c", "-c=1"}, " c", "", UNKNOWN("-c") UNKNOWN("-c=1")},
    {"UnknownsReportedOnce", {"-q", "f", "-", "--"}, "", "f|",
     UNKNOWN("-q") UNKNOWN("-") UNKNOWN("--")},
    {"LongFormEndsUnknownSearch", {"--c", "-q", "f"}, " c", "-q|f|", ""},
    {"LongFormNeverAFile", {"-q", "--long", "f"}, "", "f|", UNKNOWN("-q")},
    {"FilesKeepOrder", {"a", "-r", "1", "b", "-c", "c"}, " c r=1", "a|b|c|", ""},
    {"StringFirstMatchWins", {"-o", "x y", "-o=b"}, " o=x y", "", UNKNOWN("-o=b")},
    {"StringLast", {"-o"}, "", "", UNKNOWN("-o")},
    {"StringSkipsUsedValue", {"-o", "-c", "-o", "v"}, " c o=v", "", UNKNOWN("-o")},
    {"RangeWithDash", {"-range", "1-10"}, " range=1,1,10", "", ""},
    {"RangeWithStep", {"-range", "0:5:100"}, " range=0,5,100", "", ""},
    {"RangeSeparateOnly", {"-range=1-2", "-range"}, "", "",
     UNKNOWN("-range=1-2") UNKNOWN("-range")},
    {"IntsTwoValues", {"-p", "3", "-4"}, " p=3,-4", "", ""},
    {"IntsNeedUnusedValues", {"-p", "3", "-c", "-p", "4"}, " c", "3|4|",
     UNKNOWN("-p") UNKNOWN("-p")},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Edges, ScannerTable, testing::ValuesIn(scan_cases), tavo_test::RowName());

// The marks a program reads back (the queries' and the unknown search's), unchanged by reading.
TEST(OptionScanner, ReadsMarksBackWithoutChangingThem)
{
    Args a({"-r", "1", "--long", "-q", "f", "-c"});
    ask_all(a);
    const auto marks = [&a] {
        std::string m;
        for (int i = 0; i < a.argc(); ++i)
            m += is_argument_used(a.argc(), a.argv(), i) ? '1' : '0';
        return m;
    };
    EXPECT_EQ(marks(), "1110001");
    EXPECT_EQ(marks(), "1110001");
    EXPECT_EQ(get_first_unused(a.argc(), a.argv(), 1), 4);  // ends at --long and marks it
    EXPECT_EQ(marks(), "1111001");
    // Forgotten: a second vector of the same length starts unmarked.
    reset_argument_marks();
    EXPECT_EQ(marks(), "1000000");
}

// The scanner only raises the error (the option as given, its first value); a program's
// boundary reports it and ends the run.
TEST(OptionScannerDeathTest, UnreadableRangeOrListEndsTheRun)
{
    Args range({"--range", "7"}), ints({"-p", "1", "x"});
    EXPECT_EXIT(Kemra::exit_on_error([&] { return ask_all(range); }), testing::ExitedWithCode(1),
                testing::Eq("Something bad happened during scan of --range argument (7)."));
    testing::internal::CaptureStderr();
    try {
        ask_all(ints);
        ADD_FAILURE() << "no error for an unreadable list";
    } catch (const Kemra::Error& e) {
        EXPECT_EQ(e.status(), 1);
        EXPECT_STREQ(e.what(), "Something bad happened during scan of -p argument (1).");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_THROW(get_first_unused(2, ints.argv(), -1), Kemra::Error);
}

TEST(OptionScannerDeathTest, MarksThatCannotBeAllocatedEndTheRun)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's reserved address space defeats the cap";
#endif
    Args a({"x"});
    const rlimit cap{256u << 20, 256u << 20};  // marks for 2^30 arguments need 1 GiB
    EXPECT_EXIT(Kemra::exit_on_error([&] {
                    return (setrlimit(RLIMIT_AS, &cap), get_first_unused(1 << 30, a.argv(), 1));
                }),
                testing::ExitedWithCode(1),
                testing::MatchesRegex("Error: src/kemra/marks\\.cpp\\([0-9]+\\) "
                                      "kemra: Can't allocate memory\n"));
}

// A C-locale time stamp, then each argument: unchanged (a double quote; empty), or if it holds a
// blank, comma or asterisk quoted (a long option's value after its first '='), escaped inside.
TEST(CommandLog, StampThenEachArgumentInItsLoggedForm)
{
    const std::string name = testing::TempDir() + "kemra-log-" + std::to_string(getpid());
    std::remove(name.c_str());
    Args a({"-r", "8", "", "say\"hi", "my file", "a,b", "*.d", "-t=a b", "--a b", "--s=x=y,z",
            "one \"two\" c\\d", ""});
    flogfile(name.c_str(), a.argc(), a.argv());
    std::ifstream in(name);
    const std::string line{std::istreambuf_iterator<char>(in), {}};
    std::remove(name.c_str());
    ASSERT_TRUE(std::regex_match(line, std::regex("\\d\\d/\\d\\d/\\d\\d \\d\\d(:\\d\\d){2} .*\n")))
        << line;
    EXPECT_EQ(line.substr(17),
              " prog -r 8  say\"hi \"my file\" \"a,b\" \"*.d\" \"-t=a b\" "
              "\"--a b\" --s=\"x=y,z\" \"one \\\"two\\\" c\\\\d\" \n");
}

}  // namespace
