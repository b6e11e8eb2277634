// The built tavo2wav on a busy machine: a recording long enough for more
// than forty output chunks is converted while child processes spin on every
// core, several times and with several --threads values, and every WAV
// byte must equal the stage-by-stage conversion done in this process. The
// sinc resampler, which has no stage-by-stage twin, must write the bytes of
// its run without extra threads for every --threads value while the cores
// are busy.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <thread>

#include "stagewise.h"
#include "run_process.h"
#include "tavo_writer.h"

namespace {

namespace fs = std::filesystem;

const std::string BIN = TAVO2WAV_BIN;

// 410 records of 512 samples at 18 Hz: 209920 samples per channel, which at
// -u 50 make 10496000 frames, 41 chunks of 262144. The stamps advance by
// each record's duration, so the reader sees no gap. Channel 0 is a
// full-scale square wave whose filtered overshoot clips, so the clip count
// is summed over chunks rendered by different threads.
std::string write_recording(const std::string& root)
{
    tavo_test::Recording rec{tavo_test::form3_header('S', 512, "18.0", 1, 'k'), true, 512, {}};
    for (int r = 0; r < 410; r++) {
        const long t = r * 512L / 18;
        rec.records.push_back(tavo_test::make_record(512, 480 + t / 60, t % 60, r % 30));
        for (size_t j = 0; j < 512; j++)
            rec.records[r].channels[0][j] = (j / 37) % 2 ? 32767 : -32768;
    }
    const std::string path = tavo_test::dated_path(root, 'k', 2014, 3, 15, 16);
    tavo_test::write_binary(path, rec);
    return path;
}

// Busy loops in child processes, one per core, for as long as the object
// lives.
class BusyCores {
public:
    BusyCores()
    {
        const unsigned n = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < n; i++) {
            const pid_t pid = fork();
            if (pid == 0) {
                for (volatile unsigned long k = 0;; k++) {
                }
            }
            if (pid > 0)
                pids_.push_back(pid);
        }
    }
    ~BusyCores()
    {
        for (pid_t pid : pids_)
            kill(pid, SIGKILL);
        for (pid_t pid : pids_)
            waitpid(pid, nullptr, 0);
    }
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

private:
    std::vector<pid_t> pids_;
};

using Files = std::map<std::string, std::string>;

Files wav_files(const std::string& dir)
{
    Files out;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".wav")
            out[e.path().filename()] = tavo_test::read_bytes(e.path());
    return out;
}

// The stage-by-stage conversion with -u 50 in the given layout.
Files reference(const std::string& input, tavo::Layout layout)
{
    tavo_test::TempDir dir;
    tavo::Options s;
    s.layout = layout;
    s.upsample = 50;
    setenv("TZ", "UTC", 1);
    tzset();
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = tavo_test::convert_stagewise(s, {input});
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    fs::current_path(cwd);
    EXPECT_EQ(status, 0);
    return wav_files(dir.path());
}

class LoadedConversion : public testing::TestWithParam<tavo::Layout> {};

TEST_P(LoadedConversion, WritesTheStagewiseBytesForEveryRunAndThreadCount)
{
    tavo_test::TempDir input_dir;
    const std::string input = write_recording(input_dir.path());
    const Files ref = reference(input, GetParam());
    ASSERT_EQ(ref.size(), GetParam() == tavo::Layout::SIX ? 1u : 3u);
    const std::string layout = GetParam() == tavo::Layout::SIX ? "-6" : "-m";
    const std::vector<std::vector<std::string>> runs = {
        {}, {}, {}, {"--threads", "1"}, {"--threads=8"}};
    BusyCores busy;
    RunResult first;
    for (const std::vector<std::string>& extra : runs) {
        tavo_test::TempDir out;
        std::vector<std::string> argv = {BIN, layout, "-u", "50", input};
        argv.insert(argv.end(), extra.begin(), extra.end());
        const RunResult r = run_process(argv, out.path(), 300);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(wav_files(out.path()) == ref)
            << "differs with" << testing::PrintToString(extra);
        // What the run prints, clip counts included, is the same every time.
        EXPECT_NE(r.err.find(" samples clipped\n"), std::string::npos);
        if (first.status == -1)
            first = r;
        EXPECT_EQ(r.out, first.out);
        EXPECT_EQ(r.err, first.err);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LoadedConversion,
                         testing::Values(tavo::Layout::MONO, tavo::Layout::SIX),
                         [](const testing::TestParamInfo<tavo::Layout>& info) {
                             return std::string(info.param == tavo::Layout::MONO ? "Mono"
                                                                                 : "SixChannels");
                         });

// The sinc conversion at -u 4 (13 output chunks per channel, all three
// channels used), in one sample format.
struct SincRun {
    const char* name;
    const char* format;
};

class LoadedSinc : public testing::TestWithParam<SincRun> {};

TEST_P(LoadedSinc, WritesTheBytesOfTheCallingThreadForEveryThreadCount)
{
    tavo_test::TempDir input_dir;
    const std::string input = write_recording(input_dir.path());
    auto convert = [&](const std::vector<std::string>& threads, Files* files) {
        tavo_test::TempDir out;
        std::vector<std::string> argv = {BIN,        "--resampler",     "sinc", "-u", "4",
                                         "--format", GetParam().format, input};
        argv.insert(argv.end(), threads.begin(), threads.end());
        const RunResult r = run_process(argv, out.path(), 300);
        *files = wav_files(out.path());
        return r;
    };
    Files ref;
    const RunResult first = convert({"--threads", "1"}, &ref);
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(ref.size(), 3u);
    BusyCores busy;
    for (const std::vector<std::string>& threads : std::vector<std::vector<std::string>>{
             {"--threads", "2"}, {"--threads=8"}, {}, {"--threads", "1"}}) {
        Files files;
        const RunResult r = convert(threads, &files);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(files == ref) << "differs with" << testing::PrintToString(threads);
        EXPECT_EQ(r.out, first.out);
        EXPECT_EQ(r.err, first.err);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, LoadedSinc,
                         testing::Values(SincRun{"S16", "s16"}, SincRun{"F32", "f32"}),
                         [](const testing::TestParamInfo<SincRun>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
