// Command-line log: a C-locale time stamp, then each argument in its logged
// form, all on one line.
#include <kemra/libkemra.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// One command line with every way an argument can be logged: unchanged (with a
// double quote, or empty: a lone blank), quoted whole (a blank, comma or
// asterisk; one leading dash; two dashes but no '='), quoted after the first
// '=' of a long option, and escaped inside the quotes.
TEST(CommandLog, StampThenEachArgumentInItsLoggedForm)
{
    const std::string name = testing::TempDir() + "kemra-log-" + std::to_string(getpid());
    std::remove(name.c_str());
    std::vector<std::string> args = {
        "prog", "-r",     "8",     "",          "say\"hi",          "my file", "a,b",
        "*.d",  "-t=a b", "--a b", "--s=x=y,z", "one \"two\" c\\d", ""};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    flogfile(name.c_str(), static_cast<int>(argv.size()), argv.data());
    std::ifstream in(name);
    const std::string line{std::istreambuf_iterator<char>(in), {}};
    std::remove(name.c_str());
    // The time stamp, as in 12/05/26 07:25:33, then the arguments on one line.
    ASSERT_TRUE(std::regex_match(line, std::regex("\\d\\d/\\d\\d/\\d\\d \\d\\d(:\\d\\d){2} .*\n")))
        << line;
    EXPECT_EQ(line.substr(17),
              " prog -r 8  say\"hi \"my file\" \"a,b\" \"*.d\" \"-t=a b\" "
              "\"--a b\" --s=\"x=y,z\" \"one \\\"two\\\" c\\\\d\" \n");
}

}  // namespace
