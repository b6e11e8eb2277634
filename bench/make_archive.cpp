// Writes a station's archive of made-up 18 Hz data for the window
// benchmarks: DAYS days from DATE (UTC midnight) of station k, one file
// per half hour, in the archive's layout
//     ROOT/YYYY/MM/YYYYMMDD/k<y><MM><DD><slot>.dat.gz
// The records (512 samples, 28.44 s) run on without a gap from file to
// file: each goes into the file of the half hour its stamp falls in, its
// time words the minute of the day and the second. Every channel
// holds a slow sine and noise around an offset, the same for every run.
//
//   make_archive ROOT DATE DAYS [--plain] [--missing YYYY-MM-DDTHH:MM]...
//
// --plain writes uncompressed .dat files; each --missing leaves out the
// file of that half hour.
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr double RATE = 18.0;
constexpr int BLOCK = 512;
constexpr long SLOT = 1800;
constexpr double PI = 3.14159265358979323846;

struct Date {
    int year, month, day;
};

long days_from_civil(int y, int m, int d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

Date civil_from_days(long z)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

// Seconds since the epoch of "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM"; -1 when
// the text is neither.
long parse_time(const char* text)
{
    int y, m, d, h = 0, min = 0;
    const int n = std::sscanf(text, "%4d-%2d-%2dT%2d:%2d", &y, &m, &d, &h, &min);
    if (n != 3 && n != 5)
        return -1;
    return days_from_civil(y, m, d) * 86400 + h * 3600 + min * 60;
}

// A reproducible stream of noise: a 64-bit linear congruential generator.
class Noise {
public:
    double next()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / 9007199254740992.0 - 0.5;
    }

private:
    uint64_t state_ = 42;
};

void put_word(std::string& out, int v)
{
    const uint16_t w = static_cast<uint16_t>(static_cast<int16_t>(v));
    out.push_back(static_cast<char>(w & 0xff));
    out.push_back(static_cast<char>(w >> 8));
}

class Writer {
public:
    Writer(std::string root, bool plain) : root_(std::move(root)), plain_(plain) {}

    // Starts the file of the half hour that begins at `slot_start`.
    void open(long slot_start, bool missing)
    {
        finish();
        slot_start_ = slot_start;
        missing_ = missing;
        const Date d = civil_from_days(slot_start / 86400);
        const long slot = slot_start % 86400 / SLOT;
        char dir[64], name[64], header[160];
        std::snprintf(dir, sizeof dir, "/%04d/%02d/%04d%02d%02d", d.year, d.month, d.year, d.month,
                      d.day);
        std::snprintf(name, sizeof name, "/k%d%02d%02d%02ld.dat%s", d.year % 10, d.month, d.day,
                      slot, plain_ ? "" : ".gz");
        std::snprintf(header, sizeof header,
                      "!S512Tidserier sampfrek: 18.0 gain: 1 station: k date: %04d-%02d-%02d "
                      "time: %02ld:%02ld:00\r",
                      d.year, d.month, d.day, slot / 2, slot % 2 * 30);
        path_ = root_ + dir + name;
        std::filesystem::create_directories(root_ + dir);
        body_ = header;
    }

    // A record stamped at second `t`, its samples ch[c][0 .. BLOCK - 1].
    void record(long t, const std::vector<int> ch[3])
    {
        const long of_day = t % 86400;
        for (int c = 0; c < 3; c++) {
            put_word(body_, static_cast<int>(of_day / 60));
            put_word(body_, static_cast<int>(of_day % 60));
            for (int v : ch[c])
                put_word(body_, v);
        }
    }

    bool finish()
    {
        if (path_.empty() || missing_) {
            path_.clear();
            return true;
        }
        gzFile gz = gzopen(path_.c_str(), plain_ ? "wbT" : "wb1");
        const bool ok = gz != nullptr &&
                        gzwrite(gz, body_.data(), static_cast<unsigned>(body_.size())) ==
                            static_cast<int>(body_.size()) &&
                        gzclose(gz) == Z_OK;
        if (!ok)
            std::fprintf(stderr, "%s: write failed\n", path_.c_str());
        path_.clear();
        return ok;
    }

private:
    const std::string root_;
    const bool plain_;
    long slot_start_ = 0;
    bool missing_ = false;
    std::string path_, body_;
};

}  // namespace

int main(int argc, char** argv)
{
    const long first = argc >= 4 ? parse_time(argv[2]) : -1;
    const long days = argc >= 4 ? std::atol(argv[3]) : 0;
    bool plain = false, bad = false;
    std::set<long> missing;
    for (int i = 4; i < argc; i++) {
        if (std::strcmp(argv[i], "--plain") == 0)
            plain = true;
        else if (std::strcmp(argv[i], "--missing") == 0 && i + 1 < argc &&
                 parse_time(argv[i + 1]) >= 0)
            missing.insert(parse_time(argv[++i]) / SLOT * SLOT);
        else
            bad = true;
    }
    if (bad || first < 0 || first % 86400 != 0 || days < 1 || days > 3660) {
        std::fprintf(stderr,
                     "usage: %s ROOT YYYY-MM-DD DAYS [--plain] [--missing YYYY-MM-DDTHH:MM]...\n",
                     argv[0]);
        return 2;
    }
    Writer writer(argv[1], plain);
    Noise noise;
    std::vector<int> ch[3];
    const long end = first + days * 86400;
    long slot = -1;
    for (long r = 0;; r++) {
        const double start = first + r * BLOCK / RATE;
        const long t = static_cast<long>(start);
        if (t >= end)
            break;
        if (t / SLOT * SLOT != slot) {
            slot = t / SLOT * SLOT;
            writer.open(slot, missing.count(slot) != 0);
        }
        for (int c = 0; c < 3; c++) {
            ch[c].resize(BLOCK);
            for (int j = 0; j < BLOCK; j++) {
                const double s = (r * BLOCK + j) / RATE;
                ch[c][j] = static_cast<int>(std::lround(300.0 * c - 200 +
                                                        400.0 * std::sin(2 * PI * 0.2 * s + c) +
                                                        300.0 * noise.next()));
            }
        }
        writer.record(t, ch);
    }
    return writer.finish() ? 0 : 1;
}
