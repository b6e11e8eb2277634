// Version strings: the fixed texts and the shapes the usage text relies on.
#include "libkemra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

long lines_in(const std::string& s)
{
    return 1 + std::count(s.begin(), s.end(), '\n');
}

TEST(VersionStrings, FixedTexts)
{
    EXPECT_EQ(std::string(shortVersion), "libkemra Ver: 0.52");
    EXPECT_EQ(std::string(kmrver), "$kmrver 0.52");
}

TEST(VersionStrings, VersionIsOneLineWithBuild)
{
    const std::string v = Version;
    EXPECT_EQ(v.rfind("libkemra Version 0.52 ", 0), 0u);
    EXPECT_NE(v.find(" Build: 0"), std::string::npos);
    EXPECT_EQ(lines_in(v), 1);
}

TEST(VersionStrings, CopyrightTwoLinesBugsOne)
{
    const std::string copyright = Copyright;
    const std::string bugs = Bugs;
    EXPECT_EQ(lines_in(copyright), 2);
    EXPECT_NE(copyright.back(), '\n');
    EXPECT_EQ(lines_in(bugs), 1);
    EXPECT_FALSE(bugs.empty());
}

} // namespace
