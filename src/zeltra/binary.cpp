// libzeltra: the binary encoding.
//
// Header line: bytes up to the first CR (0x0D), which is consumed; no LF
// follows.  Record: three blocks, each in little-endian 16-bit words:
//   word 0     time word 1 (minutes, or low half of a Unix time)  new-style only
//   word 1     time word 2 (seconds, or high half)                new-style only
//   word 2..   `length` signed samples (from word 0 in old-style files)
// The record's time stamp is the pair of block 2.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "internal.h"

namespace Zeltra {

namespace {

const ZELTRA::HeaderForm kBinaryHeader{"binary", CR, false};

// A read that failed outright: zlib's message, or the system's when zlib
// has none.
[[noreturn]] void read_failed(gzFile gz)
{
    int errnum = 0;
    const char* msg = gzerror(gz, &errnum);
    if (errnum != 0)
        detail::raise(std::string(msg) + "\n");
    detail::raise(std::string("gzread: ") + std::strerror(errno) + "\n");
}

}  // namespace

BinaryZELTRA::BinaryZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_,
                           bool fail_parse_path, MessageSink& sink)
    : ZELTRA(fname, concat_, filetype_, fail_parse_path, kBinaryHeader, sink)
{
}

int BinaryZELTRA::readcomment()
{
    return read_header_line(kBinaryHeader.terminator, kBinaryHeader.drop_cr);
}

int BinaryZELTRA::read(atype& nn, int* rtime)
{
    const std::size_t t = filetype == FT_NEW ? 2 : 0;
    std::vector<unsigned char> buf;
    try {
        buf.assign(2 * Max, 0);
    } catch (const std::exception& e) {
        detail::out_of_memory(e);
    }
    // length is 128 or 512 by the record-length rule, so a block fits Max words.
    const std::size_t words = std::min<std::size_t>(length + t, Max);
    const unsigned request = static_cast<unsigned>(words * 2);
    for (int i = 0; i < 3; ++i) {
        errno = 0;
        const int got = gzread(gz, buf.data(), request);
        if (got == -1)
            read_failed(gz);
        if (static_cast<unsigned>(got) < request)
            detail::stop_on_stream_damage(gz);
        if (got == 0)
            return -1;
        if (static_cast<unsigned>(got) < request)
            fail("file ends inside a record");
        std::vector<double>& dst = nn[micorder[i]];
        for (std::size_t j = 0; j + t < words && j < dst.size(); ++j) {
            short w;
            std::memcpy(&w, &buf[2 * (t + j)], sizeof w);
            dst[j] = le16toh16(w);
        }
    }
    if (filetype == FT_NEW) {
        short w1, w2;
        std::memcpy(&w1, &buf[0], sizeof w1);
        std::memcpy(&w2, &buf[2], sizeof w2);
        w1 = le16toh16(w1);
        w2 = le16toh16(w2);
        rtime[0] = unixtime ? static_cast<unsigned short>(w1) : w1;
        rtime[1] = unixtime ? static_cast<unsigned short>(w2) : w2;
    }
    return 0;
}

}  // namespace Zeltra
