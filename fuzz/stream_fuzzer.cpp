// Feeds arbitrary file contents, plain or gzip-compressed, through file-kind
// detection and the whole record stream of the reader it returns.
//
// Input layout: byte 0 chooses how the rest is stored and read, the other
// bytes are the file's contents.
//   bit 0  store the contents gzip-compressed (else as they are)
//   bit 1  read without look-ahead (concat false)
//   bit 2  start the reader as an old-style file (FT_OLD)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "harness.h"
#include "zeltra.h"

namespace {

// Records of one file are bounded by its size; this only stops a reader that
// would deliver records forever.
constexpr long kMaxRecords = 1L << 20;

// A dated path, so that the time base and station come from the file name.
const std::string& data_path()
{
    static const std::string path = [] {
        const std::filesystem::path dir =
            std::filesystem::path(tavo_fuzz::scratch_dir()) / "2014" / "03" / "20140315";
        std::filesystem::create_directories(dir);
        return (dir / "k4031516.dat").string();
    }();
    return path;
}

[[noreturn]] void broken(const char* what)
{
    tavo_fuzz::finding("stream_fuzzer", what);
}

// Pulls every record, checking what the reader promises about each one.
void drain(Zeltra::ZELTRA& reader)
{
    for (long n = 0; reader.getdata() != -1; ++n) {
        if (n > kMaxRecords)
            broken("reader never reaches the end of the data");
        const std::size_t length = reader.get_length();
        if (length != 128 && length != 512)
            broken("record length is neither 128 nor 512");
        for (const auto& channel : reader.current)
            if (channel.size() != 2 * Zeltra::ZELTRA::Max)
                broken("record buffer was resized");
        (void)reader.get_tavotime(0);
    }
    // A binary file ends for good; a text reader stopped by a malformed
    // record may go on with the lines after it.
    if (reader.is_binary() && reader.getdata() != -1)
        broken("a record after the end of the data");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tavo_fuzz::survive_fatal_exits();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    const std::string& path = data_path();
    if (mode & 1)
        tavo_fuzz::write_gzip_file(path, data + 1, size - 1);
    else
        tavo_fuzz::write_file(path, data + 1, size - 1);

    const tavo_fuzz::FdLeakCheck fds;
    const bool concat = (mode & 2) == 0;
    const auto filetype = (mode & 4) ? Zeltra::ZELTRA::FT_OLD : Zeltra::ZELTRA::FT_NEW;
    try {
        std::unique_ptr<Zeltra::ZELTRA> reader(Zeltra::detect(path.c_str(), concat, filetype, false));
        drain(*reader);
    } catch (const tavo_fuzz::FatalExit& e) {
        if (e.status != 1)
            broken("fatal exit with a status other than 1");
    }
    fds.check();
    return 0;
}
