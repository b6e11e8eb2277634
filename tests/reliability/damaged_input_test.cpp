// Damaged and hostile input files run through the built tavo2wav: every one
// must end with its exact status and standard error, without a signal,
// within 10 seconds and within 200 MB of address space.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "reliability_util.h"
#include "tavo_writer.h"

namespace {

using namespace reliability;
using tavo_test::Recording;
using tavo_test::TempDir;

enum class Kind { File, Directory, Fifo, Unreadable };

struct Damaged {
    std::string label;
    std::string name;   // the input, in the run directory
    std::string bytes;  // its contents (Kind::File and Kind::Unreadable)
    int status;
    std::string err;
    Kind kind = Kind::File;
    std::vector<std::string> options = {"-u", "0", "-f"};
};

std::ostream& operator<<(std::ostream& os, const Damaged& d)
{
    return os << d.label;
}

class DamagedInput : public testing::TestWithParam<Damaged> {};

void make_input(const TempDir& dir, const Damaged& d)
{
    const std::string path = dir.file(d.name);
    switch (d.kind) {
    case Kind::Directory:
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
        break;
    case Kind::Fifo:
        ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        break;
    case Kind::Unreadable:
        tavo_test::write_bytes(path, d.bytes);
        ASSERT_EQ(chmod(path.c_str(), 0), 0);
        break;
    case Kind::File:
        tavo_test::write_bytes(path, d.bytes);
        break;
    }
}

TEST_P(DamagedInput, EndsCleanlyWithExactMessages)
{
    const Damaged& d = GetParam();
    TempDir dir;
    make_input(dir, d);
    std::vector<std::string> args = d.options;
    args.push_back(d.name);
    Limits limits;
    limits.honour_permissions = d.kind == Kind::Unreadable;
    const RunResult r = run_tool(args, dir.path(), limits);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, d.status);
    EXPECT_EQ(r.err, d.err);
}

// ---- Building blocks -------------------------------------------------------

const std::size_t HEAD = HEADER.size() + 1;  // header line and its CR or LF
const std::size_t RECORD = 3 * 260;          // new-style binary record of 128
const std::size_t BLOCK = 260;

// `n` records of 128 samples, stamped 7 s apart: no time gaps.
Recording records(std::size_t n, const std::string& header = HEADER)
{
    Recording rec;
    rec.header = header;
    rec.length = 128;
    for (std::size_t r = 0; r < n; ++r) {
        const long t = 7 * static_cast<long>(r);
        rec.records.push_back(tavo_test::make_record(128, t / 60, t % 60, static_cast<int>(r)));
    }
    return rec;
}

std::string binary(std::size_t n)
{
    return tavo_test::binary_bytes(records(n));
}

std::string text(std::size_t n)
{
    return tavo_test::text_bytes(records(n));
}

// The binary body of `n` records without a header line.
std::string body(std::size_t n)
{
    return tavo_test::binary_bytes(records(n, ""));
}

std::string cut(const std::string& bytes, std::size_t size)
{
    return bytes.substr(0, size);
}

// End of text data line `k` (counting from 0 after the header line),
// its line feed included.
std::size_t after_line(const std::string& bytes, std::size_t k)
{
    std::size_t at = bytes.find('\n');
    for (std::size_t i = 0; i <= k; ++i)
        at = bytes.find('\n', at + 1);
    return at + 1;
}

// A one-megabyte gzip member of zeros, repeated: 512 MiB once inflated,
// half a megabyte on disk.
std::string zeros_bomb()
{
    const std::string member = gzip(std::string(1 << 20, '\0'), 9);
    std::string out;
    for (int i = 0; i < 512; ++i)
        out += member;
    return out;
}

const std::string B = "x4010100.dat";
const std::string GZ = "x4010100.dat.gz";
const std::string T = "t4010100.txt";
const std::string TGZ = "t4010100.txt.gz";
const std::string ENDS_INSIDE = ": file ends inside a record\n";

std::string binary_ok(const std::string& name)
{
    return reader_lines(name, "binary");
}

std::string text_ok(const std::string& name)
{
    return reader_lines(name, "text");
}

// ---- Binary records cut at every kind of point ------------------------------

std::vector<Damaged> binary_cuts()
{
    const std::string three = binary(3);
    const std::string record2 = cut(three, HEAD + RECORD);  // where record 2 starts
    return {
        {"BinaryWholeFile", B, three, 0, binary_ok(B)},
        {"BinaryCutOneByteIntoRecord", B, cut(three, record2.size() + 1), 1,
         binary_ok(B) + "Error: " + B + ENDS_INSIDE},
        {"BinaryCutInsideTimeWords", B, cut(three, record2.size() + 3), 1,
         binary_ok(B) + "Error: " + B + ENDS_INSIDE},
        {"BinaryCutInsideSamples", B, cut(three, record2.size() + 100), 1,
         binary_ok(B) + "Error: " + B + ENDS_INSIDE},
        {"BinaryCutAfterBlockZero", B, cut(three, record2.size() + BLOCK), 0, binary_ok(B)},
        {"BinaryCutAfterBlockOne", B, cut(three, record2.size() + 2 * BLOCK), 0, binary_ok(B)},
        {"BinaryCutOneByteBeforeRecordEnd", B, cut(three, record2.size() + RECORD - 1), 1,
         binary_ok(B) + "Error: " + B + ENDS_INSIDE},
        // The header line ends at a CR, which never comes.
        {"BinaryHeaderWithoutCarriageReturn", B, HEADER + "\n" + std::string(400, 'x'), 1,
         opened(B, "binary") + "gzgetc:Success\n"},
        // A header line that runs past its LF up to the CR, no records.
        {"BinaryLongHeaderNoRecords", B, HEADER + "\n" + std::string(300, 'x') + "\r", 0,
         reader_lines(B, "binary", HEADER, HEADER + "\n" + std::string(300, 'x'))},
        {"BinaryShorterThanProbe", B, cut(three, 255), 1,
         "Error: " + B + ": file too short to be a data file\n"},
        {"EmptyFile", B, "", 1, "Error: " + B + ": file too short to be a data file\n"},
    };
}

INSTANTIATE_TEST_SUITE_P(BinaryRecords, DamagedInput, testing::ValuesIn(binary_cuts()),
                         [](const testing::TestParamInfo<Damaged>& i) { return i.param.label; });

// ---- Text records cut at every kind of point --------------------------------

std::vector<Damaged> text_cuts()
{
    const std::string two = text(2);
    const std::string numbers = "0 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 "
                                "29 30 31 32 33 34 35 36 37 38 39 40 41 42 43 44 45 46 47 48 49 50 51 52 53 54 "
                                "55 56 57 58 59 60 61 62 63 64 65 66 67 68 69 70 71 72 73 74 75 76";
    return {
        {"TextWholeFile", T, two, 0, text_ok(T)},
        {"TextLastLineWithoutLineFeed", T, cut(two, two.size() - 1), 0, text_ok(T)},
        {"TextCutBetweenLinesOfRecord", T, cut(two, after_line(two, 3)), 0, text_ok(T)},
        // The second record's first line holds one time value only.
        {"TextCutInsideTimeValues", T, cut(two, after_line(two, 2)) + "0", 0, text_ok(T)},
        {"TextCutInsideSamples", T, cut(two, after_line(two, 2)) + "0 7 1 2 3", 0,
         text_ok(T) + "Failed to read value 5 of line:\n0 7 1 2 3\n"},
        // The header line ends at an LF, which never comes; its CR is dropped.
        {"TextHeaderWithoutLineFeed", T, HEADER + "\r" + numbers, 1,
         opened(T, "text") + "gzgetc:Success\n"},
    };
}

INSTANTIATE_TEST_SUITE_P(TextRecords, DamagedInput, testing::ValuesIn(text_cuts()),
                         [](const testing::TestParamInfo<Damaged>& i) { return i.param.label; });

// ---- Compressed files ------------------------------------------------------

std::vector<Damaged> compressed()
{
    const std::string three = binary(3);
    const std::string forty = binary(40);  // 31 KiB, more than zlib inflates at once
    const std::string stored = gzip(three, 0);
    const std::string bomb = zeros_bomb();
    const std::string binary_header = HEADER + "\n";  // continues into the zeros
    return {
        {"GzipWholeFile", GZ, gzip(three), 0, binary_ok(GZ)},
        // A stream cut short is reported by zlib wherever it ends.
        {"GzipCutInsideRecord", GZ, cut(stored, kStoredLead + HEAD + RECORD + 100), 1,
         binary_ok(GZ) + GZ + ": unexpected end of file\n"},
        {"GzipCutInsideGzipHeader", GZ, cut(stored, 5), 1, GZ + ": unexpected end of file\n"},
        {"GzipCutInsideTrailer", GZ, cut(stored, stored.size() - 4), 1,
         binary_ok(GZ) + GZ + ": unexpected end of file\n"},
        {"GzipCutAtRecordBoundary", GZ, cut(stored, kStoredLead + HEAD + RECORD), 1,
         binary_ok(GZ) + GZ + ": unexpected end of file\n"},
        {"TextGzipCutShort", TGZ, cut(gzip(text(2), 0), kStoredLead + after_line(text(2), 2)), 1,
         text_ok(TGZ) + TGZ + ": unexpected end of file\n"},
        {"TextGzipBadCrc", TGZ, flipped(gzip(text(2)), -8), 1, TGZ + ": incorrect data check\n"},
        // zlib checks the trailer as soon as it has inflated the whole
        // member: while detection looks at a small file, while the records
        // are read in a larger one.
        {"GzipBadCrcSmallFile", GZ, flipped(gzip(three), -8), 1, GZ + ": incorrect data check\n"},
        {"GzipBadCrc", GZ, flipped(gzip(forty), -8), 1, binary_ok(GZ) + GZ + ": incorrect data check\n"},
        {"GzipBadLength", GZ, flipped(gzip(forty), -1), 1,
         binary_ok(GZ) + GZ + ": incorrect length check\n"},
        {"GzipBombOfZeros", GZ, bomb, 1,
         "Error: " + GZ + ": no end of the first line in its first 255 bytes\n"},
        // Reading stops when the buffers are full, long before the bomb ends.
        {"GzipBombOfZeroRecords", GZ, gzip(HEADER + "\r") + bomb, 0,
         binary_ok(GZ) + "Warning: buffers full after 3173888 samples per channel; "
                         "the rest of the input is not converted\n"},
        {"GzipBombInsideBinaryHeader", GZ, gzip(binary_header) + bomb, 1,
         opened(GZ, "binary") + "Error: " + GZ + ": header line longer than 51200 bytes\n"},
        {"GzipBombInsideTextLine", "t4010100.txt.gz", gzip(HEADER + "\n0 0 1 2 3") + bomb, 1,
         text_ok("t4010100.txt.gz") + "Error: Line to long\n"},
    };
}

INSTANTIATE_TEST_SUITE_P(Compressed, DamagedInput, testing::ValuesIn(compressed()),
                         [](const testing::TestParamInfo<Damaged>& i) { return i.param.label; });

// ---- Line lengths at their limits ------------------------------------------

// HEADER padded with blanks to `size` characters: still form 3.
std::string padded_header(std::size_t size)
{
    return HEADER + std::string(size - HEADER.size(), ' ');
}

// A text file whose first data line is `size` bytes long, line feed included.
std::string text_with_line(std::size_t size)
{
    std::string two = text(2);
    const std::size_t start = HEADER.size() + 1;
    const std::size_t end = two.find('\n', start);
    two.insert(end, std::string(size - 1 - (end - start), ' '));
    return two;
}

// A binary header line of `size` characters whose first LF (where detection
// stops) follows the form-3 text.
std::string binary_header_of(std::size_t size)
{
    return HEADER + "\n" + std::string(size - HEADER.size() - 1, 'x');
}

std::vector<Damaged> line_limits()
{
    const std::string records = body(3);
    const std::string no_end = ": no end of the first line in its first 255 bytes\n";
    const std::string h = "h4010100.dat", l = "l4010100.txt";
    return {
        {"HeaderLine254", h, padded_header(254) + "\r" + records, 0,
         reader_lines(h, "binary", padded_header(254), padded_header(254))},
        {"HeaderLine255", h, padded_header(255) + "\r" + records, 1, "Error: " + h + no_end},
        {"HeaderLine256", h, padded_header(256) + "\r" + records, 1, "Error: " + h + no_end},
        {"TextLine51198", l, text_with_line(51198), 0, text_ok(l)},
        {"TextLine51199", l, text_with_line(51199), 0, text_ok(l)},
        {"TextLine51200", l, text_with_line(51200), 1, text_ok(l) + "Error: Line to long\n"},
        {"BinaryHeader51200", h, binary_header_of(51200) + "\r" + records, 0,
         reader_lines(h, "binary", HEADER, binary_header_of(51200))},
        {"BinaryHeader51201", h, binary_header_of(51201) + "\r" + records, 1,
         opened(h, "binary") + "Error: " + h + ": header line longer than 51200 bytes\n"},
    };
}

INSTANTIATE_TEST_SUITE_P(LineLimits, DamagedInput, testing::ValuesIn(line_limits()),
                         [](const testing::TestParamInfo<Damaged>& i) { return i.param.label; });

// ---- Numbers beyond the 16-bit range ----------------------------------------

// `n` records; the first data line starts with `values` and the third line
// carries the time values `times`.
std::string text_numbers(const std::string& values, const std::string& times = "0 0", std::size_t n = 1)
{
    std::string one = text(n);
    const std::size_t first = HEADER.size() + 1;
    const std::size_t skip = one.find(' ', one.find(' ', first) + 1) + 1;  // past "0 0 "
    one.insert(skip, values + " ");
    const std::size_t third = after_line(one, 1);
    one.replace(third, 3, times);
    return one;
}

std::vector<Damaged> numbers()
{
    const std::vector<std::string> plain = {"-u", "0", "-f", "-o", "-z", "1"};
    // nan, -inf, 1e308, infinity and -1e5 do not fit 16 bits; the hex
    // floats (16, -16) and the underflow (0) do.
    const std::string values = "nan -inf 1e308 0x1p4 -0x10 infinity 1e-400 -1e5";
    return {
        {"TextNanInfHugeAndHexFloats", T, text_numbers(values), 0,
         text_ok(T) + "Warning: 5 samples clipped\n", Kind::File, plain},
        // The first record's time stamp lies far from the second's: one gap.
        // (The blank keeps the line from counting as a comment: "nan"
        // starts with a letter.)
        {"TextNanAndHugeTimeValues", T, text_numbers("1", " nan 1e300", 2), 0,
         text_ok(T) + "TIMEGAP in data\n", Kind::File, plain},
    };
}

INSTANTIATE_TEST_SUITE_P(Numbers, DamagedInput, testing::ValuesIn(numbers()),
                         [](const testing::TestParamInfo<Damaged>& i) { return i.param.label; });

// ---- Things that are not data files ------------------------------------------

std::vector<Damaged> not_files()
{
    const std::string d = "d4010100.dat", u = "u4010100.dat", f = "f4010100.dat";
    return {
        {"Directory", d, "", 1, d + ": Is a directory\n", Kind::Directory},
        // Opening a named pipe would wait for a writer forever.
        {"Fifo", f, "", 1, "Error: " + f + ": not a regular file\n", Kind::Fifo},
        {"Unreadable", u, binary(3), 1, "gzopen:Permission denied\nCan't open " + u + "\n",
         Kind::Unreadable},
    };
}

INSTANTIATE_TEST_SUITE_P(NotDataFiles, DamagedInput, testing::ValuesIn(not_files()),
                         [](const testing::TestParamInfo<Damaged>& i) { return i.param.label; });

}  // namespace
