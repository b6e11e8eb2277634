// Test helper of the Python package's tests: what the reader library
// delivers for each file given, read as tavo2wav reads it (look-ahead on,
// new-style records, no date required in the path), one file after the
// other.  Per record, little-endian on standard output: its stamp
// (get_tavotime(0), int64 seconds), its length (uint32) and its samples,
// channel after channel, as doubles.  A fatal condition of the reader ends
// the helper as it ends tavo2wav: message on standard error, its status.
#include <cstdint>
#include <cstdio>
#include <memory>

#include <zeltra/zeltra.h>

namespace {

void put(const void* bytes, std::size_t n)
{
    std::fwrite(bytes, 1, n, stdout);
}

void dump_file(const char* path)
{
    std::unique_ptr<Zeltra::ZELTRA> reader(Zeltra::exit_on_error(
        [&] { return Zeltra::detect(path, true, Zeltra::ZELTRA::FT_NEW, false); }));
    while (Zeltra::exit_on_error([&] { return reader->getdata(); }) != -1) {
        const std::int64_t stamp = reader->get_tavotime(0);
        const std::uint32_t length = static_cast<std::uint32_t>(reader->get_length());
        put(&stamp, sizeof stamp);
        put(&length, sizeof length);
        for (const std::vector<double>& channel : reader->current)
            put(channel.data(), length * sizeof(double));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        dump_file(argv[i]);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
