// libzeltra: the text encoding.
//
// Header line up to LF, CRs dropped.  Body lines end with LF and hold at most
// 51199 bytes with it.  Lines starting with '!', a letter or LF are skipped;
// every record is three data lines: [time1 time2] then `length` samples.
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "internal.h"

namespace Zeltra {

namespace {

const ZELTRA::HeaderForm kTextHeader{"text", NL, true};

// Rounds a text time value to an int, halves away from zero; values beyond
// the int range are clamped and NaN gives 0.
int round_time(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(std::lround(v));
}

bool is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

AsciiZELTRA::AsciiZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_,
                         bool fail_parse_path, MessageSink& sink)
    : ZELTRA(fname, concat_, filetype_, fail_parse_path, kTextHeader, sink)
{
}

int AsciiZELTRA::readcomment()
{
    return read_header_line(kTextHeader.terminator, kTextHeader.drop_cr);
}

int AsciiZELTRA::read(atype& nn, int* rtime)
{
    double t1 = 0.0, t2 = 0.0;
    for (int i = 0; i < 3; ++i) {
        // Fetch the next data line into lin (at most FBUFSIZE - 1 bytes).
        for (;;) {
            const z_off_t before = gztell(gz);
            if (gzgets(gz, lin.data(), FBUFSIZE) == nullptr) {
                detail::stop_on_stream_damage(gz);
                return -1;
            }
            const z_off_t consumed = gztell(gz) - before;
            if (consumed >= FBUFSIZE - 1 && lin[FBUFSIZE - 2] != '\n')
                detail::raise("Error: Line to long\n");
            const char first = lin[0];
            if (first != '!' && first != '\n' && !is_letter(first))
                break;
        }
        const char* line = lin.data();
        int p = 0;
        if (filetype == FT_NEW) {
            int n = 0;
            if (std::sscanf(line, " %lf%lf%n", &t1, &t2, &n) != 2)
                return -1;
            p = n;
        }
        std::vector<double>& dst = nn[micorder[i]];
        std::size_t j = 0;
        for (; j < length && j < dst.size(); ++j) {
            double v = 0.0;
            int n = 0;
            if (std::sscanf(line + p, " %lf%n", &v, &n) != 1)
                break;
            dst[j] = v;
            p += n;
        }
        if (j < length) {
            record_failure =
                "Failed to read value " + std::to_string(j + 2) + " of line:\n" + line + "\n";
            messages().message(MessageKind::WARNING, record_failure);
            return -1;
        }
    }
    if (filetype == FT_NEW) {
        rtime[0] = round_time(t1);
        rtime[1] = round_time(t2);
    }
    return 0;
}

}  // namespace Zeltra
