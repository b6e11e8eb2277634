// Feeds arbitrary header lines to the recognisers, to both readers' header
// parsing and to the record-length rule, and checks them against each other.
//
// The input is the header line.  The recognisers see it up to its first NUL;
// the binary reader reads it from a file ending in CR, the text reader from a
// file ending in LF.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "harness.h"
#include <zeltra/zeltra.h>

namespace {

using tavo_fuzz::check;
using Zeltra::ZELTRA;

// The record-length rule written out by hand: '!', a run of '!', 'S', 'U',
// 's', 'u', optional white space and an unsigned number (with strtoul's
// optional sign); 512 or 128 when that number is one of them, else 128.
std::size_t expected_length(const char* line)
{
    const std::size_t run = line[0] == '!' ? std::strspn(line + 1, "!SUsu") : 0;
    const char* p = line + 1 + run;
    while (run > 0 && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (run == 0 || !std::isdigit(static_cast<unsigned char>(p[*p == '+' || *p == '-'])))
        return 128;
    return std::strtoull(p, nullptr, 10) == 512 ? 512 : 128;
}

// The fields a recogniser fills, starting as parse_comment's do (the station
// from the file name k4031516.dat), with date and time buffers of `size`.
struct Fields {
    explicit Fields(std::size_t size) : date(size, 0), time(size, 0) {}
    double frequency = -1.0;
    int gain = -1, len = 0;
    char station = 'k', c = 0;
    bool unixtime = false;
    std::vector<char> date, time;
    Zeltra::arguments arg{frequency, gain, station, c, len, unixtime, date, time};
};

// Reads the header line of a file written as `bytes` and checks the reader's
// verdict against the line `line` it should have taken in, the rule and the
// public recognisers.  Binary files end their header line at the first CR
// and keep LFs; text files end it at the first LF and drop CRs.
template <class Reader>
void read_header(const std::string& input, char eol)
{
    const std::string bytes = input.substr(0, input.find(eol)) + eol;
    std::string line = bytes.substr(0, bytes.size() - 1);
    if (eol == '\n')
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    tavo_fuzz::write_data(bytes);
    tavo_fuzz::run_checked(line.size() > ZELTRA::FBUFSIZE, [&] {
        Reader reader(tavo_fuzz::data_path().c_str(), true, ZELTRA::FT_NEW, false);
        const bool has_header = bytes[0] == '!' || bytes[0] == 'T';
        check(reader.firstline == (has_header ? line : std::string()),
              "header line read differently from the file");
        const char* first = reader.firstline.c_str();
        check(reader.get_length() == expected_length(first), "record length differs from the rule");
        check(reader.is_newfile() != (has_header && bytes[0] == 'T'),
              "old-style switch does not follow the first byte");
        Fields want(ZELTRA::LINELEN);
        if (!Zeltra::valid_comment_type1(first, want.arg) &&
            !Zeltra::valid_comment_type2(first, want.arg) &&
            !Zeltra::valid_comment_type3(first, want.arg))
            want.frequency = 18.0;
        const double f = reader.get_frequency();  // NaN bits compare equal
        check(std::memcmp(&f, &want.frequency, sizeof f) == 0 && reader.get_gain() == want.gain &&
                  reader.get_station() == want.station,
              "header fields differ from the recognisers' verdict");
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    // Token buffers of every small size must stay terminated and in bounds.
    for (std::size_t n :
         {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3}, size % 300}) {
        Fields f(n);
        Zeltra::valid_comment_type3(input.c_str(), f.arg);  // up to the first NUL
        check(!Zeltra::valid_comment_type4(input.c_str(), f.arg) &&
                  !Zeltra::valid_comment_type5(input.c_str(), f.arg),
              "forms 4 and 5 accepted a line");
        check(n == 0 || (strnlen(f.date.data(), n) < n && strnlen(f.time.data(), n) < n),
              "token left unterminated");
    }
    read_header<Zeltra::BinaryZELTRA>(input, '\r');
    read_header<Zeltra::AsciiZELTRA>(input, '\n');
    return 0;
}
