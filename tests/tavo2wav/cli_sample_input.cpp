// Writes the data file that cli_wave_check.py converts: a binary TAVO file
// of four records of 128 samples per channel, channel c holding the ramp
// (c + 1) * 1000 + j for j = 0 .. 511, time words 7 s apart so that the
// records follow each other without a time gap.
//
// Usage: cli_sample_input PATH
#include <cstdio>
#include <exception>

#include "tavo_writer.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cli_sample_input PATH\n");
        return 2;
    }
    tavo_test::Recording rec;
    rec.header = tavo_test::form3_header('S', 128, "18", 1, 'k');
    rec.length = 128;
    for (int r = 0; r < 4; r++) {
        tavo_test::Record record;
        record.time = {0, 7 * r};
        for (int c = 0; c < 3; c++)
            for (int j = 0; j < 128; j++)
                record.channels[c].push_back((c + 1) * 1000 + r * 128 + j);
        rec.records.push_back(record);
    }
    try {
        tavo_test::write_binary(argv[1], rec);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cli_sample_input: %s\n", e.what());
        return 1;
    }
    return 0;
}
