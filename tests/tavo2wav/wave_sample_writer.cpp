// Writes one WAV file of each layout into the directory given as the only
// argument, for checking with an independent reader (wave_check.py).
//
// Sample i of input buffer c is the top 16 bits of
// (i * 2654435761 + c * 40503) mod 2^32, taken as two's complement: a
// spread of positive and negative values that wave_check.py recomputes.
#include "wave.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<int16_t> samples(std::size_t n, uint32_t buffer)
{
    std::vector<int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t x = static_cast<uint32_t>(i) * 2654435761u + buffer * 40503u;
        v[i] = static_cast<int16_t>(static_cast<uint16_t>(x >> 16));
    }
    return v;
}

bool report(int ok, const std::string& path)
{
    if (!ok)
        std::fprintf(stderr, "Error: can't write %s: %s\n", path.c_str(),
                     std::strerror(errno));
    return ok != 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: wave_sample_writer DIRECTORY\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const std::size_t n = 100003;  // more than one internal write block
    const auto a = samples(n, 0), b = samples(n, 1), c = samples(n, 2);
    bool ok = report(put_wav_data_mono16(a.data(), n, 4000, (dir + "mono.wav").c_str()),
                     dir + "mono.wav");
    ok &= report(put_wav_data_stereo16(a.data(), b.data(), n, 44100,
                                       (dir + "stereo.wav").c_str()), dir + "stereo.wav");
    ok &= report(put_wav_data_6ch(a.data(), b.data(), c.data(), n, 48000,
                                  (dir + "six.wav").c_str()), dir + "six.wav");
    ok &= report(put_wav_data_mono16(a.data(), 0, 8000, (dir + "empty.wav").c_str()),
                 dir + "empty.wav");
    return ok ? 0 : 1;
}
