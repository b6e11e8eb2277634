// The WAV writer replaces an existing file only with a complete one: a write
// that fails (past a file-size limit of 4096 bytes, SIGXFSZ ignored) leaves
// the old file and no temporary file behind. The bytes of the files of each
// layout are checked end to end in cli_test.
#include "wave.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <filesystem>

#include "tavo_writer.h"

namespace {

using Dir = std::filesystem::directory_iterator;

TEST(WaveWriter, ReplacesExistingFileOnlyWhenComplete) {
    tavo_test::TempDir dir;
    const std::string path = dir.file("x.wav");
    tavo_test::write_bytes(path, "old");
    const std::vector<int16_t> samples(100000, 7);
    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    const struct rlimit limit = {4096, old_limit.rlim_max};
    const sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const int result = put_wav_data_mono16(samples.data(), samples.size(), 8000, path.c_str());
    const int error = errno;
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(tavo_test::read_bytes(path), "old");
    EXPECT_EQ(std::distance(Dir(dir.path()), Dir()), 1);
    EXPECT_EQ(put_wav_data_mono16(samples.data(), 1, 8000, path.c_str()), 1);
    EXPECT_EQ(tavo_test::read_bytes(path).size(), 46u);
}

}  // namespace
