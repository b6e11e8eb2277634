// Command-line log: the quoting of each argument, the time stamp, failure to
// open, the fallback when no escaped copy fits in memory, and whole lines
// from concurrent runs.
#include "libkemra.h"
#include "kemra_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using kemra_test::Args;
using kemra_test::TempDir;

constexpr std::size_t stamp_length = 17; // "12/05/26 07:25:33"

// The C locale's "%x %X": mm/dd/yy hh:mm:ss.
bool is_c_locale_stamp(const std::string& s)
{
    const std::string shape = "99/99/99 99:99:99";
    if (s.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(s[i])) != 0;
        if (shape[i] == '9' ? !digit : s[i] != shape[i])
            return false;
    }
    return true;
}

struct QuoteCase {
    const char* name;
    std::vector<std::string> args; // after the program name
    const char* logged;            // the line after the time stamp
};

void PrintTo(const QuoteCase& c, std::ostream* os)
{
    *os << c.name;
}

class LogQuotingTable : public testing::TestWithParam<QuoteCase> {};

TEST_P(LogQuotingTable, LineAfterTimeStamp)
{
    const QuoteCase& c = GetParam();
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    Args a(c.args);
    const std::string name = dir.file("log");
    flogfile(name.c_str(), a.argc(), a.argv());
    const std::string line = kemra_test::read_file(name);
    EXPECT_TRUE(is_c_locale_stamp(line.substr(0, stamp_length))) << line;
    EXPECT_EQ(line.substr(std::min(line.size(), stamp_length)), c.logged);
    EXPECT_EQ(a.joined(), Args(c.args).joined()); // argv is only read
}

const QuoteCase quote_cases[] = {
    {"PlainArgumentsUnchanged", {"-r", "8", "file.dat"}, " prog -r 8 file.dat\n"},
    {"NoArguments", {}, " prog\n"},
    {"BlankQuotesWholeArgument", {"my file.dat"}, " prog \"my file.dat\"\n"},
    {"LongOptionQuotesValueOnly", {"--title=a b"}, " prog --title=\"a b\"\n"},
    {"ShortOptionQuotedWhole", {"-t=a b"}, " prog \"-t=a b\"\n"},
    {"CommaQuotes", {"a,b"}, " prog \"a,b\"\n"},
    {"AsteriskQuotes", {"*.dat"}, " prog \"*.dat\"\n"},
    {"QuoteWithoutBlankNotEscaped", {"say\"hi"}, " prog say\"hi\n"},
    {"QuotesEscapedInsideQuoted", {"one \"two\" three"},
     " prog \"one \\\"two\\\" three\"\n"},
    {"BackslashEscapedInsideQuoted", {"a\\b c"}, " prog \"a\\\\b c\"\n"},
    {"LongOptionSplitsAtFirstEquals", {"--set=x=y z"}, " prog --set=\"x=y z\"\n"},
    {"LongOptionWithoutEqualsQuotedWhole", {"--a b"}, " prog \"--a b\"\n"},
    {"EmptyArgumentInMiddle", {"a", "", "b"}, " prog a  b\n"},
    {"EmptyArgumentLast", {"a", ""}, " prog a \n"},
};

INSTANTIATE_TEST_SUITE_P(Quoting, LogQuotingTable, testing::ValuesIn(quote_cases),
                         [](const testing::TestParamInfo<QuoteCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(CommandLog, AppendsToExistingFile)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    Args first(std::vector<std::string>{"one"});
    Args second(std::vector<std::string>{"two"});
    const std::string name = dir.file("log");
    flogfile(name.c_str(), first.argc(), first.argv());
    flogfile(name.c_str(), second.argc(), second.argv());
    const std::string text = kemra_test::read_file(name);
    ASSERT_EQ(text.size(), 2 * (stamp_length + 10));
    EXPECT_EQ(text.substr(stamp_length, 10), " prog one\n");
    EXPECT_EQ(text.substr(2 * stamp_length + 10), " prog two\n");
}

TEST(CommandLog, UnopenableFileWarnsOnce)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    Args a(std::vector<std::string>{"x"});
    const std::string name = dir.file("missing/log");
    testing::internal::CaptureStderr();
    flogfile(name.c_str(), a.argc(), a.argv());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No logfile entry\n");
}

TEST(CommandLogDeathTest, LogfileWritesInCurrentDirectory)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    Args a(std::vector<std::string>{"-u", "50"});
    EXPECT_EXIT(
        {
            if (chdir(dir.path().c_str()) == 0)
                logfile(a.argc(), a.argv());
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), testing::_);
    const std::string line = kemra_test::read_file(dir.file("logfile"));
    EXPECT_EQ(line.substr(std::min(line.size(), stamp_length)), " prog -u 50\n");
}

// An argument of blanks and double quotes whose escaped copy (twice its size)
// does not fit in the memory left: it is logged unescaped in double quotes.
TEST(CommandLogDeathTest, UnescapedWhenEscapedCopyDoesNotFit)
{
    if (!kemra_test::address_space_can_be_capped)
        GTEST_SKIP() << "address space cannot be capped under the sanitizer";
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::size_t size = 32u << 20;
    std::string big(size, '"');
    big[0] = ' ';
    Args a(std::vector<std::string>{big});
    const std::string name = dir.file("log");
    EXPECT_EXIT(
        {
            kemra_test::cap_address_space(size + size / 2);
            flogfile(name.c_str(), a.argc(), a.argv());
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), testing::_);
    const std::string line = kemra_test::read_file(name);
    EXPECT_EQ(line.size(), stamp_length + 7 + size + 2);
    EXPECT_TRUE(line.substr(stamp_length) == " prog \"" + big + "\"\n");
}

// Twenty processes log at once into one file: every line arrives whole.
TEST(CommandLog, ConcurrentRunsKeepLinesWhole)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string name = dir.file("log");
    constexpr int runs = 20;
    constexpr std::size_t width = 5000; // well beyond one stdio buffer
    std::vector<pid_t> children;
    for (int k = 0; k < runs; ++k) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            Args a(std::vector<std::string>{std::string(width, static_cast<char>('a' + k))});
            flogfile(name.c_str(), a.argc(), a.argv());
            std::_Exit(0);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
    }
    const std::string text = kemra_test::read_file(name);
    const std::size_t line_length = stamp_length + 6 + width + 1;
    ASSERT_EQ(text.size(), runs * line_length);
    std::vector<int> seen(runs, 0);
    for (std::size_t at = 0; at < text.size(); at += line_length) {
        const std::string line = text.substr(at, line_length);
        const char letter = line[stamp_length + 6];
        ASSERT_TRUE(letter >= 'a' && letter < 'a' + runs) << line.substr(0, 40);
        EXPECT_EQ(line.substr(stamp_length),
                  " prog " + std::string(width, letter) + "\n");
        ++seen[letter - 'a'];
    }
    EXPECT_EQ(seen, std::vector<int>(runs, 1));
}

} // namespace
