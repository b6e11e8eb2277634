// Command-line log: a C-locale time stamp, then each argument in its logged
// form, all on one line.
#include "libkemra.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

// One command line with every way an argument can be logged: unchanged (with a
// double quote, or empty: a lone blank), quoted whole (a blank, comma or
// asterisk; one leading dash; two dashes but no '='), quoted after the first
// '=' of a long option, and escaped inside the quotes.
TEST(CommandLog, StampThenEachArgumentInItsLoggedForm)
{
    const std::string name = testing::TempDir() + "kemra-logfile-test";
    std::remove(name.c_str());
    std::vector<std::string> args = {"prog", "-r", "8", "", "say\"hi", "my file", "a,b", "*.d",
                                     "-t=a b", "--a b", "--s=x=y,z", "one \"two\" c\\d", ""};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    flogfile(name.c_str(), static_cast<int>(argv.size()), argv.data());
    std::ifstream in(name);
    std::string line;
    std::getline(in, line, '\0');
    std::remove(name.c_str());
    std::smatch logged;
    const std::regex stamp("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d(.*\n)"); // 12/05/26 07:25:33
    ASSERT_TRUE(std::regex_match(line, logged, stamp)) << line;
    EXPECT_EQ(logged[1].str(), " prog -r 8  say\"hi \"my file\" \"a,b\" \"*.d\" \"-t=a b\" "
                               "\"--a b\" --s=\"x=y,z\" \"one \\\"two\\\" c\\\\d\" \n");
}

} // namespace
