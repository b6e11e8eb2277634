// Test support: TAVO file writer, gzip copies, dated paths, temporary dirs.
#include "tavo_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>

#include <zlib.h>

namespace tavo_test {

namespace {

// One 16-bit word, least significant byte first.
std::string word(long value)
{
    const auto w = static_cast<std::uint16_t>(value);
    return {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)};
}

void gzip_file(const std::string& bytes, const std::string& dst, int level)
{
    const std::string mode = "wb" + std::to_string(level);
    std::unique_ptr<gzFile_s, int (*)(gzFile)> gz(gzopen(dst.c_str(), mode.c_str()), gzclose);
    if (!gz)
        throw std::runtime_error("cannot open " + dst);
    const int wrote =
        bytes.empty() ? 0 : gzwrite(gz.get(), bytes.data(), static_cast<unsigned>(bytes.size()));
    if (gzclose(gz.release()) != Z_OK || wrote != static_cast<int>(bytes.size()))
        throw std::runtime_error("cannot compress into " + dst);
}

}  // namespace

std::string form3_header(char letter, int len, const std::string& frequency, int gain, char station,
                         const std::string& date, const std::string& time)
{
    return std::string("!") + letter + std::to_string(len) + "Tidserier sampfrek: " + frequency +
           " gain: " + std::to_string(gain) + " station: " + station + " date: " + date +
           " time: " + time;
}

Record make_record(std::size_t length, long time1, long time2, int seed)
{
    Record r{{time1, time2}, {}};
    for (int c = 0; c < 3; ++c)
        for (std::size_t j = 0; j < length; ++j)
            r.channels[c].push_back(seed * 1000 + c * 100 + static_cast<int>(j % 97) - 48);
    return r;
}

std::string binary_bytes(const Recording& rec)
{
    std::string out = rec.header.empty() ? "" : rec.header + "\r";
    for (const Record& r : rec.records)
        for (const std::vector<double>& samples : r.channels) {
            if (rec.new_style)
                out += word(r.time[0]) + word(r.time[1]);
            for (std::size_t j = 0; j < rec.length; ++j)
                out += word(j < samples.size() ? static_cast<long>(samples[j]) : 0);
        }
    return out;
}

std::string text_bytes(const Recording& rec, const TextStyle& style)
{
    std::ostringstream out;
    out.precision(17);
    if (!rec.header.empty())
        out << rec.header << style.eol;
    std::size_t line = 0;  // data lines so far
    for (const Record& r : rec.records)
        for (const std::vector<double>& samples : r.channels) {
            const auto extra = style.extra_lines.find(line++);
            if (extra != style.extra_lines.end())
                for (const std::string& l : extra->second)
                    out << l << style.eol;
            if (rec.new_style)
                out << r.time[0] << ' ' << r.time[1];
            for (std::size_t j = 0; j < rec.length && j < samples.size(); ++j)
                out << (j == 0 && !rec.new_style ? "" : " ") << samples[j];
            out << style.eol;
        }
    return out.str();
}

std::string stamped_bytes(char form, const std::string& header, std::size_t length,
                          const std::vector<std::array<long, 2>>& times, std::size_t cut)
{
    Recording rec{header, form != 'o', length, {}};
    for (const auto& t : times)
        rec.records.push_back(
            make_record(length, t[0], t[1], static_cast<int>(rec.records.size())));
    const std::string b = form == 't' ? text_bytes(rec) : binary_bytes(rec);
    return b.substr(0, b.size() - cut);
}

void write_bytes(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

std::string read_bytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void gzip_copy(const std::string& src, const std::string& dst)
{
    gzip_file(read_bytes(src), dst, 6);
}

std::string gzip_bytes(const std::string& bytes, int level)
{
    const TempDir dir;
    gzip_file(bytes, dir.file("z"), level);
    return read_bytes(dir.file("z"));
}

std::vector<std::string> listing(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string dated_path(const std::string& root, char station, int year, int month, int day,
                       int slot, const std::string& extension)
{
    char dirs[64], name[64];
    std::snprintf(dirs, sizeof dirs, "/%04d/%02d/%04d%02d%02d", year, month, year, month, day);
    std::snprintf(name, sizeof name, "/%c%1d%02d%02d%02d", station, year % 10, month, day, slot);
    std::filesystem::create_directories(root + dirs);
    return root + dirs + name + extension;
}

TempDir::TempDir() : path_((std::filesystem::temp_directory_path() / "tavo-test-XXXXXX").string())
{
    if (mkdtemp(path_.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace tavo_test
