// Start of day, time base and station from the file's path.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "zeltra_test_util.h"

namespace {

using namespace zeltra_test;

struct PathCase {
    const char* name;
    std::string path;      // below the temporary directory, or relative when it has no leading '/'
    time_t start_of_day;   // 0: no date found
    time_t time_base;
    char station;
};

const PathCase kCases[] = {
    {"DatedPath", "/2014/03/20140315/k4031516.dat", 1394841600, 28800, 'k'},
    {"WrongYearDigit", "/2014/03/20140315/k5031516.dat", 0, 28800, 'k'},
    {"SlotOutOfRange", "/2014/03/20140315/k4031548.dat", 0, 0, 'k'},
    {"SlotTwoGivesHourZero", "/2014/03/20140315/k4031502.dat", 1394841600, 0, 'k'},
    {"SlotThreeGivesHourOne", "/2014/03/20140315/k4031503.dat", 1394841600, 3600, 'k'},
    {"SlotFortySeven", "/2014/03/20140315/k4031547.dat", 1394841600, 82800, 'k'},
    {"DeepDirectories", "/a/b.c/d/2014/03/20140315/k4031516.dat", 1394841600, 28800, 'k'},
    {"MonthThirteenNormalised", "/2013/13/20131315/k3131500.dat", 1389744000, 0, 'k'},
    {"OtherExtension", "/2014/03/20140315/m4031516.tvo.gz", 1394841600, 28800, 'm'},
    {"MonthMismatch", "/2014/04/20140315/k4031516.dat", 0, 28800, 'k'},
    {"UndatedName", "/plain/x4010100.dat", 0, 0, 'x'},
    {"RelativeFromYear", "2014/03/20140315/k4031516.dat", 0, 28800, 'k'},
    {"RelativeFromDot", "./2014/03/20140315/k4031516.dat", 1394841600, 28800, 'k'},
};

// Changes the working directory for one scope.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& dir) : saved_(getcwd(nullptr, 0)) {
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~WorkingDirectory() {
        EXPECT_EQ(chdir(saved_), 0);
        std::free(saved_);
    }

private:
    char* saved_;
};

class PathConvention : public ::testing::TestWithParam<PathCase> {};

// Writes a form-1 header file (which names no station) at the case's path and
// reads the three values back through the time-word arithmetic.
TEST_P(PathConvention, GivesStartOfDayTimeBaseAndStation) {
    const PathCase& pc = GetParam();
    tavo_test::TempDir dir;
    const bool relative = pc.path[0] != '/';
    const std::string full = dir.path() + (relative ? "/" : "") + pc.path;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    tavo_test::Recording rec;
    rec.header = tavo_test::form1_header("18", "1");
    tavo_test::write_binary(full, rec);

    WorkingDirectory cwd(dir.path());
    const std::string name = relative ? pc.path : full;
    ::testing::internal::CaptureStderr();
    BinaryProbe reader(name.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(reader.start_of_day(), pc.start_of_day);
    EXPECT_EQ(reader.time_base(), pc.time_base);
    EXPECT_EQ(reader.get_station(), pc.station);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathConvention, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return info.param.name; });

// An unparsable path with fail_parse_path false writes only the four path
// lines (plus the construction line) and the reader goes on.
TEST(PathConvention, UndatedPathOnlyEchoesIt) {
    tavo_test::TempDir dir;
    const std::string path = dir.file("nodate.dat");
    tavo_test::Recording rec;
    rec.header = tavo_test::form1_header("18", "1");
    rec.records.push_back(tavo_test::make_record(128, 0, 0, 1));
    tavo_test::write_binary(path, rec);

    ::testing::internal::CaptureStderr();
    BinaryProbe reader(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    EXPECT_EQ(reader.getdata(), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              path + "\nnodate\n" + path + "\nnodate\nFile: " + path +
                  " Type:binary\nvalid_comment_type1: !Tidserier 18 1\n");
    EXPECT_EQ(reader.start_of_day(), 0);
    EXPECT_EQ(reader.get_station(), 'n');
}

// Time stamps: minute words up to 60 count from the base hour, larger ones
// from midnight; Unix-time files join the two words.
TEST(PathConvention, TimeWordsCountFromBaseHourUpToSixtyMinutes) {
    tavo_test::TempDir dir;
    const std::string path = tavo_test::dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    tavo_test::Recording rec;
    rec.header = tavo_test::form1_header("18", "1");
    tavo_test::write_binary(path, rec);
    ::testing::internal::CaptureStderr();
    BinaryProbe reader(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false);
    ::testing::internal::GetCapturedStderr();

    reader.time[2] = 60;
    reader.time[3] = 5;
    EXPECT_EQ(reader.get_tavotimenext(), 1394841600 + 28800 + 3605);
    reader.time[2] = 61;
    EXPECT_EQ(reader.get_tavotimenext(), 1394841600 + 3665);
    reader.unixtime = true;
    reader.time[2] = 1;
    reader.time[3] = 2;
    EXPECT_EQ(reader.get_tavotimenext(), 131073);
    reader.time[2] = 65535;
    reader.time[3] = 65535;
    EXPECT_EQ(reader.get_tavotimenext(), 4294967295LL);
}

}  // namespace
