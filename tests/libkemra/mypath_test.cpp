// Path split and join: the conventions table both ways, buffer boundaries
// and the separators the joiner adds.
#include "libkemra.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

struct PathCase {
    const char* name;
    const char* path;
    const char* drive;
    const char* directory;
    const char* filename;
    const char* extension;
};

void PrintTo(const PathCase& c, std::ostream* os)
{
    *os << c.name;
}

class PathTable : public testing::TestWithParam<PathCase> {};

TEST_P(PathTable, SplitsIntoParts)
{
    const PathCase& c = GetParam();
    char drive[256] = "?", directory[256] = "?", filename[256] = "?", extension[256] = "?";
    EXPECT_EQ(explode_path(c.path, drive, directory, filename, extension), 0);
    EXPECT_EQ(std::string(drive), c.drive);
    EXPECT_EQ(std::string(directory), c.directory);
    EXPECT_EQ(std::string(filename), c.filename);
    EXPECT_EQ(std::string(extension), c.extension);
}

TEST_P(PathTable, PartsJoinBackToPath)
{
    const PathCase& c = GetParam();
    char path[260] = "?";
    EXPECT_EQ(combine_path(path, c.drive, c.directory, c.filename, c.extension), 0);
    EXPECT_EQ(std::string(path), c.path);
}

const PathCase path_cases[] = {
    {"DriveDirectoryFile", "C:\\dir\\file.txt", "C:", "\\dir\\", "file", ".txt"},
    {"LastDotStartsExtension", "/a/b/c.tar.gz", "", "/a/b/", "c.tar", ".gz"},
    {"DotInDirectoryIsNoExtension", "a.b/c", "", "a.b/", "c", ""},
    {"FileOnly", "file", "", "", "file", ""},
    {"TrailingDot", "file.", "", "", "file", "."},
    {"DotFile", ".profile", "", "", "", ".profile"},
    {"DirectoryOnly", "dir/", "", "dir/", "", ""},
    {"Root", "/", "", "/", "", ""},
    {"DriveWithoutDirectory", "C:file.txt", "C:", "", "file", ".txt"},
    {"DriveWithColons", "x:y:z/f.e", "x:y:", "z/", "f", ".e"},
    {"TwoDots", "..", "", "", ".", "."},
    {"Empty", "", "", "", "", ""},
    {"MixedSeparators", "/d\\e/f", "", "/d\\e/", "f", ""},
};

INSTANTIATE_TEST_SUITE_P(Conventions, PathTable, testing::ValuesIn(path_cases),
                         [](const testing::TestParamInfo<PathCase>& info) {
                             return std::string(info.param.name);
                         });

// Splits "/dir/name.ext" with buffers of the given sizes.
struct SplitSizeCase {
    const char* name;
    size_t drive_len, directory_len, filename_len, extension_len;
    int result;
    const char* parts; // directory|filename|extension as left behind
};

void PrintTo(const SplitSizeCase& c, std::ostream* os)
{
    *os << c.name;
}

class SplitBufferTable : public testing::TestWithParam<SplitSizeCase> {};

TEST_P(SplitBufferTable, FitsOrTruncates)
{
    const SplitSizeCase& c = GetParam();
    char drive[16] = "?", directory[16] = "?", filename[16] = "?", extension[16] = "?";
    EXPECT_EQ(explode_path_n("/dir/name.ext", drive, c.drive_len, directory, c.directory_len,
                             filename, c.filename_len, extension, c.extension_len),
              c.result);
    EXPECT_EQ(std::string(directory) + "|" + filename + "|" + extension, c.parts);
    EXPECT_EQ(std::string(drive), "");
}

const SplitSizeCase split_size_cases[] = {
    {"ExactFit", 1, 6, 5, 5, 0, "/dir/|name|.ext"},
    {"ExtensionOneShort", 1, 6, 5, 4, ENAMETOOLONG, "||.ex"},
    {"FilenameOneShort", 1, 6, 4, 5, ENAMETOOLONG, "|nam|.ext"},
    {"DirectoryOneShort", 1, 5, 5, 5, ENAMETOOLONG, "/dir|name|.ext"},
};

INSTANTIATE_TEST_SUITE_P(Boundaries, SplitBufferTable, testing::ValuesIn(split_size_cases),
                         [](const testing::TestParamInfo<SplitSizeCase>& info) {
                             return std::string(info.param.name);
                         });

struct JoinCase {
    const char* name;
    const char* drive;
    const char* directory;
    const char* filename;
    const char* extension;
    size_t path_len;
    int result;
    const char* path;
};

void PrintTo(const JoinCase& c, std::ostream* os)
{
    *os << c.name;
}

class JoinTable : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinTable, BuildsPath)
{
    const JoinCase& c = GetParam();
    char path[64];
    std::string(sizeof path - 1, '#').copy(path, sizeof path);
    path[sizeof path - 1] = '\0';
    EXPECT_EQ(combine_path_n(path, c.path_len, c.drive, c.directory, c.filename, c.extension),
              c.result);
    EXPECT_EQ(std::string(path), c.path);
}

const JoinCase join_cases[] = {
    {"AddsColonSlashDot", "C", "dir", "file", "txt", 64, 0, "C:dir/file.txt"},
    {"NameAndExtension", nullptr, nullptr, "abc", "wav", 64, 0, "abc.wav"},
    {"BackslashKept", nullptr, "dir\\", "f", nullptr, 64, 0, "dir\\f"},
    {"DotNotDoubled", nullptr, nullptr, "f", ".e", 64, 0, "f.e"},
    {"EmptyPartsLeftOut", "", "", "f", "", 64, 0, "f"},
    {"NothingGiven", nullptr, nullptr, nullptr, nullptr, 64, 0, ""},
    {"ExactlySeven", nullptr, "ab", "c", "d", 7, 0, "ab/c.d"},
    {"SixCutsBeforeExtension", nullptr, "ab", "c", "d", 6, ENAMETOOLONG, "ab/c."},
    {"FiveCutsBeforeDot", nullptr, "ab", "c", "d", 5, ENAMETOOLONG, "ab/c"},
    {"AddedColonDoesNotFit", "C", nullptr, nullptr, nullptr, 2, ENAMETOOLONG, "C"},
    {"OneByteHoldsOnlyZero", nullptr, nullptr, "f", nullptr, 1, ENAMETOOLONG, ""},
    {"ZeroLengthWritesNothing", nullptr, nullptr, "f", nullptr, 0, ENAMETOOLONG,
     "###############################################################"},
};

INSTANTIATE_TEST_SUITE_P(Parts, JoinTable, testing::ValuesIn(join_cases),
                         [](const testing::TestParamInfo<JoinCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(PathSplit, NullPathGivesEmptyParts)
{
    char drive[4] = "?", directory[4] = "?", filename[4] = "?", extension[4] = "?";
    EXPECT_EQ(explode_path(nullptr, drive, directory, filename, extension), 0);
    EXPECT_EQ(std::string(drive) + directory + filename + extension, "");
}

TEST(PathSplit, NullOutputsAreSkipped)
{
    char filename[8] = "?";
    EXPECT_EQ(explode_path_n("C:\\d\\long-name.txt", nullptr, 0, nullptr, 0, filename, 8,
                             nullptr, 0),
              ENAMETOOLONG);
    EXPECT_EQ(std::string(filename), "long-na");
}

TEST(PathSplit, CallerStringUnchanged)
{
    const std::string original = "x:y:z/f.e";
    std::string path = original;
    char filename[256];
    explode_path(path.c_str(), nullptr, nullptr, filename, nullptr);
    EXPECT_EQ(path, original);
}

TEST(PathJoin, NullPathIsIgnored)
{
    EXPECT_EQ(combine_path_n(nullptr, 10, "C", "d", "f", "e"), 0);
}

TEST(PathJoin, FixedFormHoldsTwoHundredFiftyNineCharacters)
{
    char path[260];
    const std::string name(255, 'n');
    EXPECT_EQ(combine_path(path, nullptr, nullptr, name.c_str(), "abc"), 0);
    EXPECT_EQ(std::string(path), name + ".abc");
    EXPECT_EQ(combine_path(path, nullptr, nullptr, name.c_str(), "abcd"), ENAMETOOLONG);
    EXPECT_EQ(std::string(path), name + ".abc");
}

} // namespace
