// Path split and join, and the bounded copy and append beneath them.
#include <kemra/libkemra.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "rows.h"

namespace {

using Parts = std::array<std::string, 4>;  // drive, directory, file name, extension

struct SplitCase {
    const char* name;
    const char* path;
    Parts parts;
    int result = 0;
    std::array<size_t, 4> sizes = {256, 256, 256, 256};  // of the four part buffers
};

class SplitTable : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTable, SplitsIntoParts)
{
    const SplitCase& c = GetParam();
    const auto& n = c.sizes;
    char p[4][256] = {"?", "?", "?", "?"};
    EXPECT_EQ(explode_path_n(c.path, p[0], n[0], p[1], n[1], p[2], n[2], p[3], n[3]), c.result);
    EXPECT_EQ((Parts{p[0], p[1], p[2], p[3]}), c.parts);
}

const SplitCase split_cases[] = {
    {"DriveDirectoryFile", "C:\\dir\\file.txt", {"C:", "\\dir\\", "file", ".txt"}},
    {"LastDotStartsExtension", "/a/b/c.tar.gz", {"", "/a/b/", "c.tar", ".gz"}},
    {"DotInDirectory", "a.b/c", {"", "a.b/", "c", ""}},
    {"FileOnly", "file", {"", "", "file", ""}},
    {"TrailingDot", "file.", {"", "", "file", "."}},
    {"DotFile", ".profile", {"", "", "", ".profile"}},
    {"DirectoryOnly", "d/", {"", "d/", "", ""}},
    {"Root", "/", {"", "/", "", ""}},
    {"DriveWithoutDirectory", "C:file.txt", {"C:", "", "file", ".txt"}},
    {"DriveWithColons", "x:y:z/f.e", {"x:y:", "z/", "f", ".e"}},
    {"TwoDots", "..", {"", "", ".", "."}},
    {"Empty", "", {"", "", "", ""}},
    {"Null", nullptr, {"", "", "", ""}},
    {"ExactFit", "AB:d/name.ext", {"AB:", "d/", "name", ".ext"}, 0, {4, 3, 5, 5}},
    {"ExtensionOneShort", "AB:d/name.ext", {"", "", "", ".ex"}, ENAMETOOLONG, {4, 3, 5, 4}},
    {"FileNameOneShort", "AB:d/name.ext", {"", "", "nam", ".ext"}, ENAMETOOLONG, {4, 3, 4, 5}},
    {"DirectoryOneShort", "AB:d/name.ext", {"", "d", "name", ".ext"}, ENAMETOOLONG, {4, 2, 5, 5}},
    {"DriveOneShort", "AB:d/name.ext", {"AB", "d/", "name", ".ext"}, ENAMETOOLONG, {3, 3, 5, 5}},
};

INSTANTIATE_TEST_SUITE_P(Paths, SplitTable, testing::ValuesIn(split_cases), tavo_test::RowName());

struct JoinCase {
    const char* name;
    std::array<const char*, 4> parts;
    size_t size;
    int result;
    const char* path;
};

class JoinTable : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinTable, BuildsPathWithinSize)
{
    const JoinCase& c = GetParam();
    char path[16] = "###############";
    const auto& p = c.parts;
    EXPECT_EQ(combine_path_n(path, c.size, p[0], p[1], p[2], p[3]), c.result);
    EXPECT_EQ(std::string(path), c.path);
}

const JoinCase join_cases[] = {
    {"AddsColonSlashDot", {"C", "dir", "file", "txt"}, 16, 0, "C:dir/file.txt"},
    {"NoSeparatorTwice", {"C:", "d\\", "f", ".e"}, 16, 0, "C:d\\f.e"},
    {"EmptyPartsLeftOut", {"", "", "f", ""}, 16, 0, "f"},
    {"SevenFit", {nullptr, "ab", "c", "d"}, 7, 0, "ab/c.d"},
    {"SixCutExtension", {nullptr, "ab", "c", "d"}, 6, ENAMETOOLONG, "ab/c."},
    {"FiveCutDot", {nullptr, "ab", "c", "d"}, 5, ENAMETOOLONG, "ab/c"},
    {"SizeZeroWritesNothing", {nullptr, nullptr, "f", nullptr}, 0, ENAMETOOLONG, "###############"},
};

INSTANTIATE_TEST_SUITE_P(Paths, JoinTable, testing::ValuesIn(join_cases), tavo_test::RowName());

TEST(PathFixedForms, PartsOfTwoHundredFiftyFivePathsOfTwoHundredFiftyNine)
{
    const std::string name(255, 'n');
    char file[256];
    char path[260];
    EXPECT_EQ(explode_path((name + "n.e").c_str(), nullptr, nullptr, file, nullptr), ENAMETOOLONG);
    EXPECT_EQ(explode_path((name + ".e").c_str(), nullptr, nullptr, file, nullptr), 0);
    EXPECT_EQ(combine_path(path, nullptr, nullptr, file, "abc"), 0);
    EXPECT_EQ(std::string(path), name + ".abc");
    EXPECT_EQ(combine_path(path, nullptr, nullptr, file, "abcd"), ENAMETOOLONG);
}

// strlcpy is checked through the splitter; strlcat appends within its size
// and returns the length it wanted to make.
TEST(BoundedAppend, StaysWithinSizeAndReturnsFullLength)
{
    char d[8] = "ab\0####";
    EXPECT_EQ(strlcat(d, "cdefghij", 6), 10u);
    EXPECT_EQ(std::string(d, 8), std::string("abcde\0#", 8));
    EXPECT_EQ(strlcat(d, "xy", 6), 7u);
    EXPECT_EQ(strlcat(d, "xy", 0), 2u);  // like the BSD original: size 0 reads none of d
    EXPECT_EQ(std::string(d, 8), std::string("abcde\0#", 8));
}

}  // namespace
