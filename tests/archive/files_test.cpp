// Finding the files of a window by the archive's path convention: the slots
// inside the window and the last file before it, across day, month and year
// folders; twins of one slot; names that do not follow the convention.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "rows.h"
#include "tavo_writer.h"

namespace ta = tavo::archive;
using tavo_test::TempDir;

namespace {

// A tree of empty entries (a name ending in '/' is a folder), a window, and
// the files found: paths under the root, "+TWIN" after a shadowed twin.
struct TreeCase {
    const char* name;
    std::vector<std::string> entries;
    const char *from, *to;
    std::vector<std::string> want;
};

class FindFiles : public ::testing::TestWithParam<TreeCase> {};

std::int64_t at(const char* text)
{
    std::int64_t t = 0;
    EXPECT_TRUE(ta::parse_time(text, t)) << text;
    return t;
}

}  // namespace

TEST_P(FindFiles, ListsTheSlotsOfTheWindowAfterTheLastFileBeforeIt)
{
    const TreeCase& c = GetParam();
    TempDir dir;
    const std::string root = dir.file("arch");
    for (const std::string& e : c.entries) {
        std::filesystem::create_directories(std::filesystem::path(root + "/" + e).parent_path());
        if (e.back() == '/')
            std::filesystem::create_directories(root + "/" + e);
        else
            tavo_test::write_bytes(root + "/" + e, "");
    }
    const ta::Listing listing = ta::find_files({root, 'k', at(c.from), at(c.to)});
    EXPECT_EQ(listing.error, "");
    std::vector<std::string> got;
    for (const ta::ArchiveFile& f : listing.files) {
        EXPECT_EQ(ta::slot_path(root, 'k', f.slot_start),
                  f.path.substr(0, f.path.find(".dat") + 4));
        got.push_back(f.path.substr(root.size() + 1) +
                      (f.shadowed.empty() ? "" : "+" + f.shadowed.substr(root.size() + 1)));
    }
    EXPECT_EQ(got, c.want);
}

const std::string D15 = "2014/03/20140315/";

// clang-format off
const TreeCase trees[] = {
    // Slot 12 starts 06:00, before the window: the last such file is read, not slot 10.
    {"SlotsAndTheFileBefore",
     {D15 + "k4031510.dat", D15 + "k4031512.dat", D15 + "k4031514.dat.gz", D15 + "k4031515.dat"},
     "2014-03-15T06:10:00Z", "2014-03-15T07:30:00Z",
     {D15 + "k4031512.dat", D15 + "k4031514.dat.gz"}},
    {"EndIsExclusive", {D15 + "k4031546.dat", "2014/03/20140316/k4031600.dat"},
     "2014-03-15T23:00:00Z", "2014-03-16T00:00:00Z", {D15 + "k4031546.dat"}},
    {"FileBeforeInThePreviousDay", {"2014/03/20140314/k4031444.dat", D15 + "k4031502.dat"},
     "2014-03-15", "2014-03-15T02:00:00Z", {"2014/03/20140314/k4031444.dat", D15 + "k4031502.dat"}},
    {"AcrossTheYear",
     {"2013/12/20131231/k3123140.dat", "2014/01/20140101/k4010100.dat.gz",
      "2014/01/20140101/k4010101.dat"},
     "2013-12-31T23:00:00Z", "2014-01-01T01:00:00Z",
     {"2013/12/20131231/k3123140.dat", "2014/01/20140101/k4010100.dat.gz",
      "2014/01/20140101/k4010101.dat"}},
    {"AcrossTheMonthInALeapYear",
     {"2016/02/20160229/k6022946.dat", "2016/03/20160301/k6030100.dat"},
     "2016-02-29T23:30:00Z", "2016-03-01T00:30:00Z",
     {"2016/02/20160229/k6022946.dat", "2016/03/20160301/k6030100.dat"}},
    {"TwoDaysBack", {"2014/03/20140313/k4031300.dat"}, "2014-03-15T06:00:00Z",
     "2014-03-15T07:00:00Z", {"2014/03/20140313/k4031300.dat"}},
    {"ThreeDaysBackIsTooFar", {"2014/03/20140312/k4031247.dat"}, "2014-03-15T00:00:00Z",
     "2014-03-15T07:00:00Z", {}},
    {"PlainReadBeforeItsGzipTwin",
     {D15 + "k4031516.dat.gz", D15 + "k4031516.dat", D15 + "k4031517.dat.gz"},
     "2014-03-15T08:00:00Z", "2014-03-15T09:00:00Z",
     {D15 + "k4031516.dat+" + D15 + "k4031516.dat.gz", D15 + "k4031517.dat.gz"}},
    // Another station, year digit, month or day than the folders, slot 48,
    // other extensions, a folder with a file's name, misnamed folders.
    {"NamesOffTheConvention",
     {D15 + "x4031516.dat", D15 + "K4031516.dat", D15 + "k5031516.dat", D15 + "k4041516.dat",
      D15 + "k4031616.dat", D15 + "k4031548.dat", D15 + "k4031516.txt", D15 + "k4031516.dat.bz2",
      D15 + "k4031516.datx", D15 + "k4031517.dat/", "2014/03/20140415/k4041516.dat",
      "2014/3/20140315/k4031516.dat", "2014/03/2014031/k4031516.dat"},
     "2014-03-15T00:00:00Z", "2014-03-16T00:00:00Z", {}},
    {"NoArchiveThere", {}, "2014-03-15", "2014-03-16", {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Trees, FindFiles, ::testing::ValuesIn(trees), tavo_test::RowName());

TEST(FindFiles, AnArchiveRootWithATrailingSlashGivesTheSamePaths)
{
    TempDir dir;
    const std::string path = tavo_test::dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::write_bytes(path, "");
    const ta::Listing listing = ta::find_files({dir.path() + "/", 'k', 1394870400, 1394874000});
    ASSERT_EQ(listing.files.size(), 1u);
    EXPECT_EQ(listing.files[0].path, path);
    EXPECT_EQ(ta::shadow_warning(listing.files[0]), "");
    EXPECT_EQ(ta::shadow_warning({"a.dat", 0, "a.dat.gz"}),
              "Warning: both a.dat and a.dat.gz exist; reading a.dat\n");
}
