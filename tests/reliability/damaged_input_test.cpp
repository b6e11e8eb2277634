// Damaged and hostile input files run through the built tavo2wav: every one
// must end with its exact status and standard error, without a signal,
// within 10 seconds and within 200 MB of address space.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zlib.h>

#include <memory>
#include <stdexcept>

#include "reliability_util.h"

namespace {

using namespace reliability;

enum Kind { File, Directory, Fifo, Unreadable };

struct Damaged {
    std::string label, name, bytes;  // the input `name` in the run directory holds `bytes`
    int status;
    std::string err;
    Kind kind = File;
};

std::ostream& operator<<(std::ostream& os, const Damaged& d)
{
    return os << d.label;
}

// `bytes` as one gzip member; mode "wb0" stores them in plain sight, so
// that a cut at kStoredLead + n leaves n bytes to inflate (below 8 KiB).
std::string gzip(const std::string& bytes, const char* mode = "wb")
{
    const tavo_test::TempDir dir;
    {
        const std::unique_ptr<gzFile_s, int (*)(gzFile)> gz(gzopen(dir.file("z").c_str(), mode),
                                                            gzclose);
        if (!gz || gzwrite(gz.get(), bytes.data(), static_cast<unsigned>(bytes.size())) !=
                       static_cast<int>(bytes.size()))
            throw std::runtime_error("gzip");
    }
    return tavo_test::read_bytes(dir.file("z"));
}
constexpr std::size_t kStoredLead = 10 + 5;  // gzip header, stored-block header

// Offset just past the k-th line feed of `bytes` (k = 1: the header line's).
std::size_t past_line(const std::string& bytes, std::size_t k)
{
    return k == 0 ? 0 : bytes.find('\n', past_line(bytes, k - 1)) + 1;
}

// Two text records; the first data line is `size` bytes long, line feed
// included, or starts with `values`; the third line's time values are `times`.
std::string text_with(std::size_t size, const std::string& values = "",
                      const std::string& times = "0 0")
{
    std::string two = tavo_test::text_bytes(records(2));
    const std::size_t start = HEADER.size() + 1;
    two.insert(start + 4, values);  // after the time values "0 0 "
    const std::size_t end = two.find('\n', start);
    two.insert(end, std::string(size ? size - 1 - (end - start) : 0, ' '));
    return two.replace(past_line(two, 3), 3, times);
}

std::vector<Damaged> table()
{
    const std::string B = "x4010100.dat", GZ = B + ".gz", T = "t4010100.txt", TGZ = T + ".gz";
    const std::string b3 = binary(3), t2 = tavo_test::text_bytes(records(2)),
                      stored = gzip(b3, "wb0");
    const std::string forty = gzip(binary(40));  // trailer beyond what detection inflates
    // A one-megabyte gzip member of zeros, 512 times: 512 MiB once inflated.
    const std::string zeros = gzip(std::string(1 << 20, '\0'), "wb9");
    std::string bomb;
    for (int i = 0; i < 512; ++i)
        bomb += zeros;
    // HEADER padded with blanks to n characters (still form 3), and a binary
    // header line of n characters whose first LF (where detection stops)
    // follows the form-3 text.
    auto padded = [](std::size_t n) { return HEADER + std::string(n - HEADER.size(), ' '); };
    auto long_header = [](std::size_t n) {
        return HEADER + "\n" + std::string(n - HEADER.size() - 1, 'x');
    };
    auto flipped = [](std::string bytes, std::size_t back) {
        bytes[bytes.size() - back] ^= 1;
        return bytes;
    };
    const std::size_t r2 = HEADER.size() + 1 + 3 * 260;  // where binary record 2 starts
    const std::string bin_ok = reader_lines(B, "binary"), gz_ok = reader_lines(GZ, "binary");
    const std::string text_ok = reader_lines(T, "text"), tgz_ok = reader_lines(TGZ, "text");
    const std::string ends = bin_ok + "Error: " + B + ": file ends inside a record\n";
    const std::string eof = ": unexpected end of file\n",
                      too_short = ": file too short to be a data file\n";
    const std::string no_eol = ": no end of the first line in its first 255 bytes\n";
    const std::string too_long = ": header line longer than 51200 bytes\n";
    return {
        {"BinaryWholeFile", B, b3, 0, bin_ok},
        {"BinaryCutOneByteIntoRecord", B, b3.substr(0, r2 + 1), 1, ends},
        {"BinaryCutInsideSamples", B, b3.substr(0, r2 + 100), 1, ends},
        {"BinaryCutAfterBlockZero", B, b3.substr(0, r2 + 260), 0, bin_ok},
        {"BinaryCutOneByteBeforeRecordEnd", B, b3.substr(0, r2 + 779), 1, ends},
        // The binary header line ends at a CR, which never comes.
        {"BinaryHeaderWithoutCR", B, long_header(500), 1, opened(B, "binary") + "gzgetc:Success\n"},
        {"BinaryLongHeaderNoRecords", B, long_header(400) + "\r", 0,
         reader_lines(B, "binary", HEADER, long_header(400))},
        {"BinaryShorterThanProbe", B, b3.substr(0, 255), 1, "Error: " + B + too_short},
        {"EmptyFile", B, "", 1, "Error: " + B + too_short},
        {"TextWholeFile", T, t2, 0, text_ok},
        {"TextLastLineWithoutLF", T, t2.substr(0, t2.size() - 1), 0, text_ok},
        {"TextCutBetweenLinesOfRecord", T, t2.substr(0, past_line(t2, 5)), 0, text_ok},
        {"TextCutInsideTimeValues", T, t2.substr(0, past_line(t2, 4)) + "0", 0, text_ok},
        {"TextCutInsideSamples", T, t2.substr(0, past_line(t2, 4)) + "0 7 1 2 3", 0,
         text_ok + "Failed to read value 5 of line:\n0 7 1 2 3\n"},
        // The text header line ends at an LF, which never comes; CRs are dropped.
        {"TextHeaderWithoutLF", T, HEADER + "\r" + t2.substr(HEADER.size() + 1, 220), 1,
         opened(T, "text") + "gzgetc:Success\n"},
        {"GzipWholeFile", GZ, gzip(b3), 0, gz_ok},
        {"GzipCutInsideGzipHeader", GZ, stored.substr(0, 5), 1, GZ + eof},
        {"GzipCutAtRecordBoundary", GZ, stored.substr(0, kStoredLead + r2), 1, gz_ok + GZ + eof},
        {"GzipCutInsideTrailer", GZ, stored.substr(0, stored.size() - 4), 1, gz_ok + GZ + eof},
        {"TextGzipCutInsideRecord", TGZ, gzip(t2, "wb0").substr(0, kStoredLead + past_line(t2, 4)),
         1, tgz_ok + TGZ + eof},
        // zlib checks the trailer once it has inflated the whole member:
        // during detection in a small file, while reading records in a larger one.
        {"GzipBadCrcSmallFile", GZ, flipped(gzip(b3), 8), 1, GZ + ": incorrect data check\n"},
        {"GzipBadCrc", GZ, flipped(forty, 8), 1, gz_ok + GZ + ": incorrect data check\n"},
        {"GzipBadLength", GZ, flipped(forty, 1), 1, gz_ok + GZ + ": incorrect length check\n"},
        {"GzipBombOfZeros", GZ, bomb, 1, "Error: " + GZ + no_eol},
        // Reading stops when the buffers are full, long before the bomb ends.
        {"GzipBombOfZeroRecords", GZ, gzip(HEADER + "\r") + bomb, 0,
         gz_ok + "Warning: buffers full after 3173888 samples per channel; the rest of the input "
                 "is not converted\n"},
        {"GzipBombInsideBinaryHeader", GZ, gzip(HEADER + "\n") + bomb, 1,
         opened(GZ, "binary") + "Error: " + GZ + too_long},
        {"GzipBombInsideTextLine", TGZ, gzip(HEADER + "\n0 0 1 2 3") + bomb, 1,
         tgz_ok + "Error: Line to long\n"},
        {"HeaderLine254", B, binary(3, padded(254)), 0,
         reader_lines(B, "binary", padded(254), padded(254))},
        {"HeaderLine255", B, binary(3, padded(255)), 1, "Error: " + B + no_eol},
        {"HeaderLine256", B, binary(3, padded(256)), 1, "Error: " + B + no_eol},
        {"TextLine51198", T, text_with(51198), 0, text_ok},
        {"TextLine51199", T, text_with(51199), 0, text_ok},
        {"TextLine51200", T, text_with(51200), 1, text_ok + "Error: Line to long\n"},
        {"BinaryHeader51200", B, binary(3, long_header(51200)), 0,
         reader_lines(B, "binary", HEADER, long_header(51200))},
        {"BinaryHeader51201", B, binary(3, long_header(51201)), 1,
         opened(B, "binary") + "Error: " + B + too_long},
        // Hex floats and the underflow fit 16 bits; the other five do not.
        {"TextNanInfHugeAndHexFloats", T,
         text_with(0, "nan -inf 1e308 0x1p4 -0x10 infinity 1e-400 -1e5 "), 0,
         text_ok + "Warning: 5 samples clipped\n"},
        // The first record's time lies far from the second's: one gap.  (The
        // blank keeps the line from counting as a comment.)
        {"TextNanAndHugeTimeValues", T, text_with(0, "1 ", " nan 1e300"), 0,
         text_ok + "TIMEGAP in data\n"},
        {"Directory", B, "", 1, B + ": Is a directory\n", Directory},
        // Opening a named pipe would wait for a writer forever.
        {"Fifo", B, "", 1, "Error: " + B + ": not a regular file\n", Fifo},
        {"Unreadable", B, b3, 1, "gzopen:Permission denied\nCan't open " + B + "\n", Unreadable},
    };
}

class DamagedInput : public testing::TestWithParam<Damaged> {};

TEST_P(DamagedInput, EndsCleanlyWithExactMessages)
{
    const Damaged& d = GetParam();
    tavo_test::TempDir dir;
    const std::string path = dir.file(d.name);
    // A setup step that fails shows in the messages.
    if (d.kind == Directory)
        mkdir(path.c_str(), 0755);
    else if (d.kind == Fifo)
        mkfifo(path.c_str(), 0644);
    else
        tavo_test::write_bytes(path, d.bytes);
    chmod(path.c_str(), d.kind == Unreadable ? 0 : 0755);
    const RunResult r =
        run_tool({"-u", "0", "-f", "-o", "-z", "1", d.name}, dir.path(), {0, d.kind == Unreadable});
    EXPECT_EQ(r.status, d.status);  // -1 when a signal ended the run
    EXPECT_EQ(r.err, d.err);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedInput, testing::ValuesIn(table()),
                         [](const testing::TestParamInfo<Damaged>& i) { return i.param.label; });

}  // namespace
