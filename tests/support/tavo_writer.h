// Test support: writes TAVO data files in every form the reader accepts, so
// tests and fuzz seeds generate their data in code:
//   Recording rec{form3_header('S', 512, "18", 2, 'k'), true, 512, {make_record(512, 60, 0, 0)}};
//   write_binary(dated_path(dir.path(), 'k', 2014, 3, 15, 16), rec);  // or write_text
#ifndef TAVO_TESTS_SUPPORT_TAVO_WRITER_H
#define TAVO_TESTS_SUPPORT_TAVO_WRITER_H

#include <array>
#include <map>
#include <string>
#include <vector>

namespace tavo_test {

/// One record: its time words (minutes and seconds, or the low and high
/// halves of a Unix time), written in every block (binary) or line (text),
/// and the samples of its three channels in file order, `Recording::length`
/// each (binary writes them as signed 16-bit words, 0 when missing).
struct Record {
    std::array<long, 2> time{};
    std::array<std::vector<double>, 3> channels;
};

/// A whole data file: the header line without its terminator (empty: none),
/// whether records are new-style (two time words per block or line), and
/// the samples per channel block (128 or 512 for valid files).
struct Recording {
    std::string header;
    bool new_style = true;
    std::size_t length = 128;
    std::vector<Record> records;
};

/// Text layout: the line end of every line, header included ("\n" or
/// "\r\n"), and lines inserted before data line k (counting data lines
/// from 0 over the whole file), each followed by `eol`.
struct TextStyle {
    std::string eol = "\n";
    std::map<std::size_t, std::vector<std::string>> extra_lines;
};

/// Header lines of the three forms the reader recognises.
inline std::string form1_header(const std::string& frequency, const std::string& gain)
{
    return "!Tidserier " + frequency + " " + gain;
}
inline std::string form2_header(const std::string& frequency, const std::string& gain)
{
    return "!Tidserier  sampfrek: " + frequency + " gain: " + gain;
}
/// Form 3: "!<letter><len>Tidserier sampfrek: <f> gain: <g> station: <s> date: <d> time: <t>".
std::string form3_header(char letter, int len, const std::string& frequency, int gain, char station,
                         const std::string& date = "2014-03-15",
                         const std::string& time = "08:00:00");

/// A record whose samples follow a simple pattern: channel c, sample j holds
/// seed * 1000 + c * 100 + (j % 97) - 48, distinct per channel and record
/// and within the signed 16-bit range for seeds up to 30.
Record make_record(std::size_t length, long time1, long time2, int seed);

/// File contents of a binary file: header line ended by CR alone, then
/// records of three little-endian 16-bit blocks.
std::string binary_bytes(const Recording& rec);
/// File contents of a text file: header line, then three data lines per
/// record (time words first in new-style files), numbers separated by blanks.
std::string text_bytes(const Recording& rec, const TextStyle& style = {});

/// A file of one record per pair of time words (make_record's samples,
/// seeds 0, 1, ...): `form` 'b' binary, 'o' old-style binary or 't' text,
/// `cut` bytes cut off its end.
std::string stamped_bytes(char form, const std::string& header, std::size_t length,
                          const std::vector<std::array<long, 2>>& times, std::size_t cut = 0);

/// Writes bytes to path, replacing the file; throws std::runtime_error on failure.
void write_bytes(const std::string& path, const std::string& bytes);
inline void write_binary(const std::string& path, const Recording& rec)
{
    write_bytes(path, binary_bytes(rec));
}
inline void write_text(const std::string& path, const Recording& rec, const TextStyle& style = {})
{
    write_bytes(path, text_bytes(rec, style));
}
/// `bytes` as one gzip member, compressed at `level` (0 stores them in
/// plain sight after a 10-byte member header and a 5-byte block header).
std::string gzip_bytes(const std::string& bytes, int level = 6);
/// Writes a gzip-compressed copy of src to dst; throws on failure.
void gzip_copy(const std::string& src, const std::string& dst);
/// The whole content of a file; throws when it cannot be read.
std::string read_bytes(const std::string& path);

/// Path root/yyyy/mm/yyyymmdd/<station><y%10><mm><dd><slot>.dat with its
/// directories created, e.g. root/2014/03/20140315/k4031516.dat.
std::string dated_path(const std::string& root, char station, int year, int month, int day,
                       int slot, const std::string& extension = ".dat");

/// The names in a folder, sorted ("." and ".." left out, hidden ones kept).
std::vector<std::string> listing(const std::string& dir);

/// A fresh directory under the system's temporary directory, removed with
/// everything in it when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    /// path() + "/" + name.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace tavo_test

#endif  // TAVO_TESTS_SUPPORT_TAVO_WRITER_H
