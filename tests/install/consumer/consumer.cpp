// Reads one TAVO data file through the installed libraries and prints
// "<name> <kind> records=<n> length=<samples> station=<letter>", where name is
// the file name without its last extension.
#include <cstdio>
#include <memory>

#include <kemra/libkemra.h>
#include <zeltra/zeltra.h>

int main(int argc, char** argv)
{
    char drive[256], dir[256], name[256], ext[256];
    if (argc != 2 || explode_path(argv[1], drive, dir, name, ext) != 0)
        return 2;
    // A damaged or missing file ends the program with the library's message.
    std::unique_ptr<Zeltra::ZELTRA> reader(Zeltra::exit_on_error(
        [&] { return Zeltra::detect(argv[1], true, Zeltra::ZELTRA::FT_NEW, false); }));
    unsigned long records = 0;
    while (Zeltra::exit_on_error([&] { return reader->getdata(); }) != -1)
        ++records;
    std::printf("%s %s records=%lu length=%zu station=%c\n", name, reader->type(), records,
                reader->get_length(), reader->get_station());
    return 0;
}
