// Runs a fuzz target over saved inputs where libFuzzer is absent, so that the
// committed corpus (every input that once crashed included) is replayed by
// ctest in the normal build.
//
// Usage: <target>_replay DIR_OR_FILE...  Every regular file named, and every
// regular file directly inside a named directory, is one input.  A finding
// aborts the run, so ctest reports it; no input at all fails too.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "tavo_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i]))
            std::copy(fs::directory_iterator(argv[i]), fs::directory_iterator(),
                      std::back_inserter(files));
        else
            files.emplace_back(argv[i]);
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        std::fprintf(stderr, "replay %s\n", f.c_str());
        const std::string data = tavo_test::read_bytes(f.string());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    }
    return files.empty() ? 1 : 0;
}
