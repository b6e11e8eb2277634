// Writes the install test's data file: ROOT/2014/03/20140315/k4031516.dat,
// a binary file of five 512-sample records 28 s apart; prints its path.
#include <cstdio>

#include "tavo_writer.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    using namespace tavo_test;
    Recording rec;
    rec.header = form3_header('S', 512, "18", 2, 'k');
    rec.length = 512;
    for (int i = 0; i < 5; ++i)
        rec.records.push_back(make_record(rec.length, 0, 28 * i, i));
    const std::string path = dated_path(argv[1], 'k', 2014, 3, 15, 16);
    write_binary(path, rec);
    std::printf("%s", path.c_str());
    return 0;
}
