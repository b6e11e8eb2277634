// The built tavo2wav on a busy machine, end to end: a recording long enough
// for more than forty output chunks is converted while child processes spin
// on every core, with the default and with more render threads than cores,
// and every run writes the bytes and says the clip counts of a conversion
// on one thread of an idle machine. (The order of chunks under random
// delays is ordered_chunks_test's, the bytes of every thread count are
// fused_test's.)
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "convert_into.h"
#include "process.h"
#include "tavo_writer.h"
#include "rows.h"

namespace {

const int kInUtc = (setenv("TZ", "UTC", 1), tzset(), 0);

// 410 records of 512 samples at 18 Hz: at -u 50, 10496000 frames, 41 chunks
// of 262144. Channel 0 is a full-scale square wave whose filtered overshoot
// clips, so the clip count is summed over chunks of different threads.
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
        for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); i++) {
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

struct Loaded {
    const char* name;
    const char* options;  // of the program, before the input
};

class LoadedConversion : public testing::TestWithParam<Loaded> {};

TEST_P(LoadedConversion, WritesTheBytesOfOneThreadOnAnIdleMachine)
{
    tavo_test::TempDir input_dir;
    const std::string input = write_recording(input_dir.path());
    const tavo_test::Converted ref = tavo_test::convert_into(
        {input}, tavo_test::options(GetParam().options + std::string(" --threads 1")));
    ASSERT_EQ(ref.result.status, 0) << ref.err;
    EXPECT_NE(ref.err.find(" samples clipped\n"), std::string::npos);
    BusyCores busy;
    for (const std::string threads : {"0", "8"}) {
        tavo_test::TempDir out;
        std::vector<std::string> argv = {TAVO2WAV_BIN, "--threads", threads};
        std::istringstream words(GetParam().options);
        for (std::string word; words >> word;)
            argv.push_back(word);
        argv.push_back(input);
        const RunResult r = run_process(argv, out.path(), RunOptions{{"TZ=UTC"}, 300});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, ref.err) << threads;
        std::map<std::string, std::string> files;
        for (const std::string& name : tavo_test::listing(out.path()))
            if (name != "logfile")
                files[name] = tavo_test::read_bytes(out.file(name));
        EXPECT_TRUE(files == ref.files) << "differs with --threads " << threads;
    }
}

const Loaded loads[] = {
    {"LinearSixChannels", "-6 -u 50"},
    {"SincFloat", "--resampler sinc -u 4 --format f32"},
};

INSTANTIATE_TEST_SUITE_P(Resamplers, LoadedConversion, testing::ValuesIn(loads),
                         tavo_test::RowName());

}  // namespace
