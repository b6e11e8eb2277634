// Runs a fuzz target over saved inputs where libFuzzer is absent, so that the
// committed corpus (every input that once crashed included) is replayed by
// ctest in the normal build.
//
// Usage: <target>_replay DIR_OR_FILE...  Every regular file named, and every
// regular file directly inside a named directory, is one input.  What the
// target prints is discarded; a crash ends the run, so ctest reports it.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
// Present in sanitizer builds: where their reports go.
extern "C" void __sanitizer_set_report_fd(void* fd) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputs(int argc, char** argv)
{
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path p(argv[i]);
        if (fs::is_directory(p)) {
            for (const fs::directory_entry& e : fs::directory_iterator(p))
                if (e.is_regular_file())
                    files.push_back(e.path());
        } else {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> contents(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Points standard output and error at /dev/null; returns a descriptor on
// the original standard error for the driver's own lines.
int quiet()
{
    const int saved = ::dup(2);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved < 0 || null < 0)
        return 2;
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::close(null);
    if (__sanitizer_set_report_fd)
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(saved)));
    return saved;
}

void say(int fd, const std::string& text)
{
    const std::string line = text + "\n";
    if (::write(fd, line.data(), line.size()) < 0) {
        // Nothing sensible remains to report to.
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<fs::path> files = inputs(argc, argv);
    if (files.empty()) {
        std::fprintf(stderr, "%s: no inputs\n", argc > 0 ? argv[0] : "replay");
        return 1;
    }
    const int out = quiet();
    tavo_fuzz::set_report_fd(out);
    LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& f : files) {
        say(out, "replay " + f.string());
        const std::vector<uint8_t> data = contents(f);
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    say(out, std::to_string(files.size()) + " inputs replayed without a finding");
    return 0;
}
