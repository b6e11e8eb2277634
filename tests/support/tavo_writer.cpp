// Test support: TAVO file writer, gzip copies, dated paths, temporary dirs.
#include "tavo_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include <zlib.h>

namespace tavo_test {

namespace {

// One 16-bit word, least significant byte first.
void put_word(std::string& out, long value) {
    const auto w = static_cast<std::uint16_t>(value);
    out.push_back(static_cast<char>(w & 0xFF));
    out.push_back(static_cast<char>(w >> 8));
}

std::string number(double v) {
    std::ostringstream os;
    os.precision(17);
    os << v;
    return os.str();
}

void put_line(std::string& out, const std::array<long, 2>& time, const std::vector<double>& samples,
              bool new_style, std::size_t length, const std::string& eol) {
    std::string line;
    if (new_style) line = std::to_string(time[0]) + " " + std::to_string(time[1]);
    for (std::size_t j = 0; j < length && j < samples.size(); ++j) {
        if (!line.empty()) line += ' ';
        line += number(samples[j]);
    }
    out += line + eol;
}

const std::array<long, 2>& block_time(const Record& r, int block) {
    return (block < 2 && r.lead_time) ? *r.lead_time : r.time;
}

struct GzWriter {
    gzFile gz;
    ~GzWriter() {
        if (gz != nullptr) gzclose(gz);
    }
};

}  // namespace

std::string form1_header(const std::string& frequency, const std::string& gain) {
    return "!Tidserier " + frequency + " " + gain;
}

std::string form2_header(const std::string& frequency, const std::string& gain) {
    return "!Tidserier  sampfrek: " + frequency + " gain: " + gain;
}

std::string form3_header(char letter, int len, const std::string& frequency, int gain, char station,
                         const std::string& date, const std::string& time) {
    return std::string("!") + letter + std::to_string(len) + "Tidserier sampfrek: " + frequency +
           " gain: " + std::to_string(gain) + " station: " + station + " date: " + date + " time: " + time;
}

Record make_record(std::size_t length, long time1, long time2, int seed) {
    Record r;
    r.time = {time1, time2};
    for (int c = 0; c < 3; ++c) {
        r.channels[c].resize(length);
        for (std::size_t j = 0; j < length; ++j)
            r.channels[c][j] = seed * 1000 + c * 100 + static_cast<int>(j % 97) - 48;
    }
    return r;
}

std::string binary_bytes(const Recording& rec) {
    std::string out;
    if (!rec.header.empty()) out += rec.header + "\r";
    for (const Record& r : rec.records) {
        for (int b = 0; b < 3; ++b) {
            if (rec.new_style) {
                put_word(out, block_time(r, b)[0]);
                put_word(out, block_time(r, b)[1]);
            }
            for (std::size_t j = 0; j < rec.length; ++j)
                put_word(out, j < r.channels[b].size() ? static_cast<long>(r.channels[b][j]) : 0);
        }
    }
    return out;
}

std::string text_bytes(const Recording& rec, const TextStyle& style) {
    std::string out;
    if (!rec.header.empty()) out += rec.header + style.eol;
    std::size_t data_line = 0;
    for (const Record& r : rec.records) {
        for (int b = 0; b < 3; ++b, ++data_line) {
            const auto extra = style.extra_lines.find(data_line);
            if (extra != style.extra_lines.end())
                for (const std::string& l : extra->second) out += l + style.eol;
            put_line(out, block_time(r, b), r.channels[b], rec.new_style, rec.length, style.eol);
        }
    }
    return out;
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

void write_binary(const std::string& path, const Recording& rec) {
    write_bytes(path, binary_bytes(rec));
}

void write_text(const std::string& path, const Recording& rec, const TextStyle& style) {
    write_bytes(path, text_bytes(rec, style));
}

std::string read_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void gzip_copy(const std::string& src, const std::string& dst) {
    const std::string bytes = read_bytes(src);
    GzWriter w{gzopen(dst.c_str(), "wb")};
    if (w.gz == nullptr) throw std::runtime_error("cannot open " + dst);
    if (!bytes.empty() && gzwrite(w.gz, bytes.data(), static_cast<unsigned>(bytes.size())) <= 0)
        throw std::runtime_error("cannot compress into " + dst);
    const int rc = gzclose(w.gz);
    w.gz = nullptr;
    if (rc != Z_OK) throw std::runtime_error("cannot close " + dst);
}

std::string dated_path(const std::string& root, char station, int year, int month, int day, int slot,
                       const std::string& extension) {
    char dirs[64];
    std::snprintf(dirs, sizeof dirs, "/%04d/%02d/%04d%02d%02d", year, month, year, month, day);
    char name[64];
    std::snprintf(name, sizeof name, "/%c%1d%02d%02d%02d", station, year % 10, month, day, slot);
    const std::string dir = root + dirs;
    std::filesystem::create_directories(dir);
    return dir + name + extension;
}

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "tavo-test-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const {
    return path_ + "/" + name;
}

}  // namespace tavo_test
