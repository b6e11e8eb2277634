// tavo._tavo: the plan of a data file from its size.
#include "file_plan.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>

#include <zeltra/zeltra.h>

namespace tavo_py {

namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

// The bytes the reader will see: the file's size, or for a gzip file the
// size its trailer states (ISIZE, the last four bytes, little-endian: the
// uncompressed size modulo 2^32 of the last member).
std::uint64_t data_bytes(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    File f(std::fopen(path.c_str(), "rb"), std::fclose);
    unsigned char magic[2] = {0, 0};
    if (!f || std::fread(magic, 1, 2, f.get()) != 2 || magic[0] != 0x1f || magic[1] != 0x8b)
        return static_cast<std::uint64_t>(st.st_size);
    unsigned char isize[4] = {0, 0, 0, 0};
    if (std::fseek(f.get(), -4, SEEK_END) != 0 || std::fread(isize, 1, 4, f.get()) != 4)
        return 0;
    return static_cast<std::uint64_t>(isize[0]) | static_cast<std::uint64_t>(isize[1]) << 8 |
           static_cast<std::uint64_t>(isize[2]) << 16 | static_cast<std::uint64_t>(isize[3]) << 24;
}

}  // namespace

bool plan_file(const std::string& path, FilePlan& plan)
{
    std::unique_ptr<Zeltra::ZELTRA> reader;
    try {
        reader.reset(Zeltra::detect(path.c_str(), false, Zeltra::ZELTRA::FT_NEW, false,
                                    Zeltra::null_sink()));
    } catch (const Zeltra::Error&) {
        return false;
    }
    const std::uint64_t bytes = data_bytes(path);
    const std::uint64_t header = reader->firstline.empty() ? 0 : reader->firstline.size() + 1;
    const std::uint64_t body = bytes > header ? bytes - header : 0;
    const std::uint64_t length = reader->get_length();
    plan.text = !reader->is_binary();
    if (plan.text) {
        plan.samples = static_cast<std::size_t>(body / 6);  // three channels, 2 bytes a sample
        return true;
    }
    // A record: three blocks of 16-bit words, two time words first in a
    // new-style file.
    const std::uint64_t record_bytes = 3 * 2 * (length + (reader->is_newfile() ? 2 : 0));
    plan.samples = static_cast<std::size_t>(body / record_bytes * length);
    return true;
}

}  // namespace tavo_py
