// Writes the seed corpora of the fuzz targets with the test-support TAVO
// writer: valid files of every form, header lines of every form and typical
// command lines, so fuzzing starts from inputs that reach deep.
//
// Usage: fuzz_make_corpus CORPUS_DIR   (writes CORPUS_DIR/<target>/seed-*)
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tavo_writer.h"

namespace {

namespace fs = std::filesystem;
using tavo_test::Record;
using tavo_test::Recording;

// Records of `length` samples stamped `step` seconds apart (minutes and
// seconds), starting at minute 0.
std::vector<Record> records(std::size_t count, std::size_t length, long step)
{
    std::vector<Record> out;
    for (std::size_t r = 0; r < count; ++r) {
        const long t = static_cast<long>(r) * step;
        out.push_back(tavo_test::make_record(length, t / 60, t % 60, static_cast<int>(r)));
    }
    return out;
}

Recording recording(const std::string& header, std::size_t length, std::size_t count, long step)
{
    Recording rec;
    rec.header = header;
    rec.length = length;
    rec.records = records(count, length, step);
    return rec;
}

std::string gzip(const std::string& bytes)
{
    tavo_test::TempDir dir;
    tavo_test::write_bytes(dir.file("in"), bytes);
    tavo_test::gzip_copy(dir.file("in"), dir.file("out"));
    return tavo_test::read_bytes(dir.file("out"));
}

void seed(const fs::path& dir, const std::string& name, const std::string& bytes)
{
    fs::create_directories(dir);
    tavo_test::write_bytes((dir / ("seed-" + name)).string(), bytes);
}

// Stream seeds: a mode byte (bit 0 gzip, bit 1 no look-ahead, bit 2 old
// style), then the file.  Mode 1 files are compressed by the target itself.
void stream_seeds(const fs::path& dir)
{
    const std::string s128 = tavo_test::form3_header('S', 128, "18", 1, 'k');
    const std::string u512 = tavo_test::form3_header('U', 512, "18", 2, 'k');
    const std::string form1 = tavo_test::form1_header("18", "1");
    Recording old_style = recording("Tidserie", 128, 2, 0);
    old_style.new_style = false;
    Recording no_header = recording("", 128, 2, 7);
    Recording unix_times = recording(u512, 512, 1, 0);
    unix_times.records[0].time = {0x5678, 0x1234};
    const std::string text128 = tavo_test::text_bytes(recording(s128, 128, 2, 7));
    tavo_test::TextStyle crlf;
    crlf.eol = "\r\n";
    crlf.extra_lines[1] = {"! a comment", "A line of words", ""};

    seed(dir, "binary128",
         std::string(1, '\0') + tavo_test::binary_bytes(recording(s128, 128, 3, 7)));
    seed(dir, "binary128-gap",
         std::string(1, '\2') + tavo_test::binary_bytes(recording(s128, 128, 3, 70)));
    seed(dir, "binary-unixtime", std::string(1, '\0') + tavo_test::binary_bytes(unix_times));
    seed(dir, "binary-form1",
         std::string(1, '\1') + tavo_test::binary_bytes(recording(form1, 128, 2, 7)));
    seed(dir, "binary-oldstyle", std::string(1, '\4') + tavo_test::binary_bytes(old_style));
    seed(dir, "binary-noheader", std::string(1, '\0') + tavo_test::binary_bytes(no_header));
    seed(dir, "text128", std::string(1, '\0') + text128);
    seed(dir, "text128-compressed", std::string(1, '\1') + text128);
    seed(dir, "text128-crlf-comments",
         std::string(1, '\0') + tavo_test::text_bytes(recording(s128, 128, 2, 7), crlf));
    seed(dir, "text128-gzip-member", std::string(1, '\0') + gzip(text128));
}

void header_seeds(const fs::path& dir)
{
    seed(dir, "form1", tavo_test::form1_header("18.0", "3"));
    seed(dir, "form1-frequency-only", "!Tidserier 18.0");
    seed(dir, "form2", tavo_test::form2_header("20", "3"));
    seed(dir, "form3-S512", tavo_test::form3_header('S', 512, "18", 1, 'k'));
    seed(dir, "form3-U128", tavo_test::form3_header('U', 128, "18", 1, 'q'));
    seed(dir, "form3-s-rejected", tavo_test::form3_header('s', 512, "18", 1, 'k'));
    seed(dir, "form3-nonstandard", tavo_test::form3_header('S', 256, "18", 1, 'k'));
    seed(dir, "form3-long-date",
         tavo_test::form3_header('S', 128, "18", 1, 'k', std::string(300, 'd')));
    seed(dir, "length-rule-only", "!S 512");
    seed(dir, "oldstyle", "Tidserie 18 Hz");
    seed(dir, "crlf", tavo_test::form1_header("18", "1") + "\r\n");
}

std::string argv_bytes(const std::vector<std::string>& args)
{
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i)
        out += (i ? std::string(1, '\0') : std::string()) + args[i];
    return out;
}

void option_seeds(const fs::path& dir)
{
    seed(dir, "recommended",
         argv_bytes({"-u", "50", "-r", "1", "/data/2014/03/20140315/k4031516.dat.gz"}));
    seed(dir, "combine", argv_bytes({"-c", "-s", "a.dat", "b.dat", "-o", "-f"}));
    seed(dir, "attached", argv_bytes({"-r=8", "-z", "-5", "-u=0x10", "-r=1"}));
    seed(dir, "unknown", argv_bytes({"-q", "--c", "file", "-", "--", "-r8", "-c", "-c"}));
    seed(dir, "log-quoting",
         argv_bytes({"--title=a b", "my file.dat", "a,b", "say \"hi\" now", "", "x*"}));
    seed(dir, "range-and-list", argv_bytes({"-range", "1-10", "-ints", "1", "2", "3", "-name=n"}));
    seed(dir, "bad-range", argv_bytes({"-range", "7"}));
    seed(dir, "numbers", argv_bytes({"-r", "99999999999999999999", "-d", "1e999", "-g=0x1p3"}));
    seed(dir, "paths",
         argv_bytes({"C:\\dir\\file.txt", "/a/b/c.tar.gz", "a.b/c", "file.", ".profile", "dir/",
                     "/", "C:file.txt", "x:y:z/f.e", ".."}));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const fs::path root(argv[1]);
    stream_seeds(root / "stream");
    header_seeds(root / "header");
    option_seeds(root / "options");
    return 0;
}
