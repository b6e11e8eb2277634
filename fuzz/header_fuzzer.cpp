// Feeds arbitrary header lines to the recognisers, to both readers' header
// parsing and to the record-length rule, and checks them against each other.
//
// The input is the header line.  The recognisers see it up to its first NUL;
// the binary reader reads it from a file ending in CR, the text reader from a
// file ending in LF.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "zeltra.h"

namespace {

using Zeltra::ZELTRA;

[[noreturn]] void broken(const char* what)
{
    tavo_fuzz::finding("header_fuzzer", what);
}

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

// The record-length rule written out by hand: '!', a run of '!', 'S', 'U',
// 's', 'u', optional white space and an unsigned number (with strtoul's
// optional sign); 512 or 128 when that number is one of them, else 128.
std::size_t expected_length(const char* line)
{
    if (line[0] != '!')
        return 128;
    const char* p = line + 1;
    const std::size_t run = std::strspn(p, "!SUsu");
    if (run == 0)
        return 128;
    p += run;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    const char* digits = p + (*p == '+' || *p == '-');
    if (!std::isdigit(static_cast<unsigned char>(*digits)))
        return 128;
    const unsigned long long n = std::strtoull(p, nullptr, 10);
    return n == 512 ? 512 : 128;
}

// What parse_comment must leave for a line, found with the public
// recognisers on fields that start as parse_comment's do.
struct Parsed {
    double frequency = -1.0;
    int gain = -1;
    char station = 'k';  // from the file name k4031516.dat
};

Parsed expected_fields(const char* line)
{
    Parsed p;
    char c = 0;
    int len = 0;
    bool unixtime = false;
    std::vector<char> date(ZELTRA::LINELEN, 0), time(ZELTRA::LINELEN, 0);
    Zeltra::arguments arg(p.frequency, p.gain, p.station, c, len, unixtime, date, time);
    if (!(Zeltra::valid_comment_type1(line, arg) || Zeltra::valid_comment_type2(line, arg) ||
          Zeltra::valid_comment_type3(line, arg)))
        p.frequency = 18.0;
    return p;
}

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Token buffers of every small size must stay terminated and in bounds.
void check_small_buffers(const char* line, std::size_t size)
{
    double frequency = 0.0;
    int gain = 0, len = 0;
    char station = 0, c = 0;
    bool unixtime = false;
    std::vector<char> date(size, 0), time(size, 0);
    Zeltra::arguments arg(frequency, gain, station, c, len, unixtime, date, time);
    Zeltra::valid_comment_type3(line, arg);
    if (Zeltra::valid_comment_type4(line, arg) || Zeltra::valid_comment_type5(line, arg))
        broken("forms 4 and 5 accepted a line");
    if (size > 0 && (strnlen(date.data(), size) == size || strnlen(time.data(), size) == size))
        broken("token left without its terminating NUL");
}

template <class Reader>
void check_reader(const std::string& bytes, const std::string& line)
{
    Reader reader(data_path().c_str(), true, ZELTRA::FT_NEW, false);
    const bool has_header = !bytes.empty() && (bytes[0] == '!' || bytes[0] == 'T');
    if (reader.firstline != (has_header ? line : std::string()))
        broken("header line read differently from what the file holds");
    if (reader.get_length() != expected_length(reader.firstline.c_str()))
        broken("record length differs from the rule");
    if (reader.is_newfile() == (has_header && bytes[0] == 'T'))
        broken("old-style switch does not follow the first byte");
    const Parsed want = expected_fields(reader.firstline.c_str());
    if (!same(reader.get_frequency(), want.frequency) || reader.get_gain() != want.gain ||
        reader.get_station() != want.station)
        broken("header fields differ from the recognisers' verdict");
}

// Binary files end their header line at the first CR and keep LFs.
void binary_case(const uint8_t* data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string line = bytes.substr(0, bytes.find('\r'));
    bytes = line + "\r";
    tavo_fuzz::write_file(data_path(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    try {
        check_reader<Zeltra::BinaryZELTRA>(bytes, line);
    } catch (const tavo_fuzz::FatalExit&) {
        if (line.size() <= ZELTRA::FBUFSIZE)
            broken("fatal exit for a header line that fits");
    }
}

// Text files end it at the first LF and drop CRs.
void text_case(const uint8_t* data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bytes = bytes.substr(0, bytes.find('\n')) + "\n";
    std::string line;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] != '\r')
            line += bytes[i];
    tavo_fuzz::write_file(data_path(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    try {
        check_reader<Zeltra::AsciiZELTRA>(bytes, line);
    } catch (const tavo_fuzz::FatalExit&) {
        if (line.size() <= ZELTRA::FBUFSIZE)
            broken("fatal exit for a header line that fits");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tavo_fuzz::survive_fatal_exits();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* line = text.c_str();  // up to the first NUL
    for (std::size_t n = 0; n < 4; ++n)
        check_small_buffers(line, n);
    check_small_buffers(line, size % 300);
    if (Zeltra::is_eol(static_cast<char>(size)) != (size % 256 == 10 || size % 256 == 13))
        broken("is_eol");
    const tavo_fuzz::FdLeakCheck fds;
    binary_case(data, size);
    text_case(data, size);
    fds.check();
    return 0;
}
