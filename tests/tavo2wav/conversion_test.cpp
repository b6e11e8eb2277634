// A conversion keeps what it derives from the data to itself: neither a
// later conversion nor the process-wide settings see the automatic scale or
// the factor --speedup sets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>

#include "classic.h"
#include "stagewise.h"
#include "tavo_writer.h"

namespace {

namespace fs = std::filesystem;
using Outputs = std::map<std::string, std::string>;

// Four records of 128 samples at 18 Hz, the make_record() pattern times
// `gain`: at gain 1 the peak after offset removal is below 256 (automatic
// scale 128), at gain 100 it is in the thousands (scale 4).
std::string write_input(const std::string& dir, int hour, double gain)
{
    tavo_test::Recording rec{tavo_test::form3_header('S', 128, "18.0", 1, 'k'), true, 128, {}};
    for (int r = 0; r < 4; r++) {
        rec.records.push_back(tavo_test::make_record(128, 480, r * 7, 0));
        for (std::vector<double>& channel : rec.records[r].channels)
            for (double& v : channel)
                v *= gain;
    }
    const std::string path = tavo_test::dated_path(dir, 'k', 2014, 3, 15, hour);
    tavo_test::write_binary(path, rec);
    return path;
}

// Runs `convert` in a fresh directory; returns standard output (under "")
// and every file written (under its name).
template <typename F>
Outputs run_in_dir(F convert)
{
    tavo_test::TempDir dir;
    setenv("TZ", "UTC", 1);  // so that no reader announces switching to it
    tzset();
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    convert();
    Outputs out = {{"", testing::internal::GetCapturedStdout()}};
    testing::internal::GetCapturedStderr();
    fs::current_path(cwd);
    for (const fs::directory_entry& e : fs::directory_iterator(dir.path()))
        out[e.path().filename()] = tavo_test::read_bytes(e.path());
    return out;
}

// Each conversion chooses the automatic scale from its own data: the loud
// input's factor is not carried over to the quiet one, nor back.
TEST(Conversion, ChoosesItsOwnAutomaticScaleAfterAnotherConversion)
{
    tavo_test::TempDir inputs;
    const std::string loud = write_input(inputs.path(), 16, 100);
    const std::string quiet = write_input(inputs.path(), 17, 1);
    const tavo::Options s;
    for (int round = 0; round < 2; round++) {
        const Outputs l = run_in_dir([&] { EXPECT_EQ(tavo_test::convert_rendered(s, {loud}), 0); });
        EXPECT_NE(l.at("").find("Scaling 4..."), std::string::npos) << l.at("");
        const Outputs q =
            run_in_dir([&] { EXPECT_EQ(tavo_test::convert_rendered(s, {quiet}), 0); });
        EXPECT_NE(q.at("").find("Scaling 128..."), std::string::npos) << q.at("");
    }
}

// tavo2wav() converts with the process-wide settings and leaves them as
// they were, whatever the conversion derived: the row's settings, what they
// make the conversion print, and the global that must stay unchanged.
struct GlobalRow {
    const char* name;
    unsigned long rate;
    double speedup;
    const char* printed;
};

class ProcessWideSettings : public testing::TestWithParam<GlobalRow> {};

TEST_P(ProcessWideSettings, StayAsMainFilledThem)
{
    const GlobalRow row = GetParam();
    tavo_test::TempDir inputs;
    const std::string input = write_input(inputs.path(), 16, 100);
    const unsigned long saved_rate = rate;
    rate = row.rate;
    sound.speedup = row.speedup;
    global_scale = 0;
    upsample = 4;
    const Outputs out = run_in_dir([&] { tavo2wav({input}); });
    rate = saved_rate;
    sound.speedup = 0;
    EXPECT_NE(out.at("").find(row.printed), std::string::npos) << out.at("");
    EXPECT_EQ(global_scale, 0);
    EXPECT_EQ(upsample, 4);
}

// 44100 Hz / (18 Hz x 49) = 50, the factor --speedup 49 sets.
INSTANTIATE_TEST_SUITE_P(
    Derived, ProcessWideSettings,
    testing::Values(GlobalRow{"AutomaticScale", 4000, 0, "Scaling 4..."},
                    GlobalRow{"SpeedupFactor", 44100, 49, "Resampling 50 ..."}),
    [](const testing::TestParamInfo<GlobalRow>& info) { return std::string(info.param.name); });

}  // namespace
