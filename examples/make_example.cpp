// Writes the bundled example recordings of a three-microphone infrasound
// array sampled at 18 Hz, as gzip-compressed binary TAVO files.
//
//   make_example OUT.dat.gz [RECORDS [RAW]]
//   make_example --gapped-day ROOT
//
// The first form writes three hours from 2014-03-15 08:00 UTC. OUT is
// gzip-compressed when its name ends in ".gz" and plain otherwise. RECORDS
// (default 380, three hours) sets the length; RAW, when given, receives the
// same samples as interleaved 16-bit little-endian frames of three channels,
// for programs that read raw audio.
//
// The second writes a day with gaps under ROOT, in the archive's layout
// (ROOT/2014/03/20140316/...): of the half-hour files of 12:00, 12:30 and
// 13:00 UTC on 2014-03-16, the 12:30 one is missing, and the 13:00 one lost
// 21 records (about ten minutes, 13:09:57 to 13:19:55). Each file holds 63
// records of 512 samples (29 min 52 s) but for the lost ones.
//
// What the channels hold:
// - microbaroms: ocean-generated pressure waves near 0.2 Hz, a narrow band
//   whose amplitude drifts slowly, seen alike by all three sensors;
// - wind noise: red (integrated, leaky) noise, independent per sensor,
//   stronger in gusts;
// - a transient from a distant explosion 70 minutes in: an N-shaped pulse
//   with a short ringing coda that reaches the sensors 0.0, 0.6 and 1.3 s
//   apart;
// - a different DC offset per sensor, as real digitisers have.
//
// The random numbers come from std::mt19937 through our own Box-Muller
// transform (the standard distributions differ between library versions),
// so the file is the same on every build.
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double RATE = 18.0;
constexpr int BLOCK = 512;    // samples per channel and record
constexpr int RECORDS = 380;  // 380 x 512 / 18 Hz = 3 h 0 min 9 s
constexpr int MAX_RECORDS = 100000;
constexpr int START = 8 * 3600;  // 08:00:00 UTC, time slot 16 of the file name
constexpr double PI = 3.14159265358979323846;

// The gapped day: 12:00 to 13:30 UTC, half-hour files of 63 records.
constexpr int DAY_START = 12 * 3600;
constexpr int HALF_HOUR_RECORDS = 63;        // 63 x 512 / 18 Hz = 29 min 52 s
constexpr int LOST_FROM = 21, LOST_TO = 42;  // records [21, 42) of the 13:00 file

// What the microphones hear: random streams and the explosion's onset.
struct Scene {
    unsigned band_seed;  // the microbarom field, shared by all sensors
    unsigned own_seed;   // wind noise of sensor c: own_seed + c
    double onset;        // seconds from the first sample
};
const Scene BUNDLED{1000, 100, 70 * 60.0};
const Scene GAPPED_DAY{2000, 200, 20 * 60.0};

class Noise {
public:
    explicit Noise(unsigned seed) : gen_(seed) {}
    double gauss()
    {
        const double u1 = (gen_() + 1.0) / 4294967297.0;
        const double u2 = gen_() / 4294967296.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * PI * u2);
    }

private:
    std::mt19937 gen_;
};

// Pressure of the explosion's arrival, t seconds after its onset.
double transient(double t)
{
    if (t < 0.0)
        return 0.0;
    const double n_wave = t < 2.5 ? 2600.0 * (1.0 - 2.0 * t / 2.5) : 0.0;
    const double coda = 900.0 * std::exp(-t / 6.0) * std::sin(2.0 * PI * 1.3 * t);
    return n_wave + coda;
}

std::vector<double> channel(int c, int n, const Scene& scene)
{
    const double offset[3] = {1200.0, -800.0, 300.0};
    const double delay[3] = {0.0, 0.6, 1.3};
    const double onset = scene.onset;
    std::vector<double> x(n);
    double wind = 0.0, phase = 0.0;
    Noise own(scene.own_seed + static_cast<unsigned>(c));
    Noise band(scene.band_seed);  // the same seed for every sensor: one microbarom field
    for (int i = 0; i < n; i++) {
        const double t = i / RATE;
        phase += 2.0 * PI * (0.2 + 0.01 * band.gauss()) / RATE;
        const double envelope = 180.0 + 90.0 * std::sin(2.0 * PI * t / 2400.0);
        const double gust = 1.0 + 0.8 * std::pow(std::sin(PI * t / 900.0 + c), 8.0);
        wind = 0.985 * wind + 14.0 * gust * own.gauss();
        x[i] = offset[c] + envelope * std::sin(phase) + wind + transient(t - onset - delay[c]);
    }
    return x;
}

void put_word(std::string& out, int v)
{
    const uint16_t w = static_cast<uint16_t>(static_cast<int16_t>(v));
    out.push_back(static_cast<char>(w & 0xff));
    out.push_back(static_cast<char>(w >> 8));
}

bool write_file(const char* path, const std::string& bytes, bool compress)
{
    gzFile gz = gzopen(path, compress ? "wb9" : "wbT");
    if (!gz) {
        std::perror(path);
        return false;
    }
    const bool ok = gzwrite(gz, bytes.data(), static_cast<unsigned>(bytes.size())) ==
                    static_cast<int>(bytes.size());
    if (gzclose(gz) != Z_OK || !ok) {
        std::fprintf(stderr, "%s: write failed\n", path);
        return false;
    }
    return true;
}

bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::vector<double>> channels(int n, const Scene& scene)
{
    std::vector<std::vector<double>> ch;
    for (int c = 0; c < 3; c++)
        ch.push_back(channel(c, n, scene));
    return ch;
}

// Appends a record stamped at second `t` of the day: per channel two time
// words (minute of the day, second) and BLOCK samples from ch[c][from].
void put_record(std::string& body, int t, const std::vector<std::vector<double>>& ch, int from)
{
    for (int c = 0; c < 3; c++) {
        put_word(body, t / 60);
        put_word(body, t % 60);
        for (int i = 0; i < BLOCK; i++)
            put_word(body, static_cast<int>(std::lround(ch[c][from + i])));
    }
}

// The header line of a file starting at second `t` of `date`, ended by a
// carriage return.
std::string header(const char* date, int t)
{
    char line[128];
    std::snprintf(
        line, sizeof line,
        "!S512Tidserier sampfrek: 18.0 gain: 1 station: k date: %s time: %02d:%02d:%02d\r", date,
        t / 3600, t / 60 % 60, t % 60);
    return line;
}

// The gapped day under root: the 12:00 file whole, the 13:00 file without
// its lost records, both cut from one continuous signal.
bool write_gapped_day(const std::string& root)
{
    const std::string dir = root + "/2014/03/20140316";
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    const auto ch = channels(static_cast<int>(5400 * RATE), GAPPED_DAY);
    for (const int start : {DAY_START, DAY_START + 3600}) {
        std::string body = header("2014-03-16", start);
        for (int r = 0; r < HALF_HOUR_RECORDS; r++) {
            if (start > DAY_START && r >= LOST_FROM && r < LOST_TO)
                continue;
            const int from = static_cast<int>((start - DAY_START) * RATE) + r * BLOCK;
            put_record(body, start + static_cast<int>(r * BLOCK / RATE), ch, from);
        }
        // Slot: twice the hour, plus one for the half hour.
        char name[64];
        std::snprintf(name, sizeof name, "/k40316%02d.dat.gz", start / 1800);
        if (!write_file((dir + name).c_str(), body, true))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--gapped-day")
        return write_gapped_day(argv[2]) ? 0 : 1;
    const int records = argc >= 3 ? std::atoi(argv[2]) : RECORDS;
    if (argc < 2 || argc > 4 || records < 1 || records > MAX_RECORDS) {
        std::fprintf(stderr, "usage: %s OUT.dat.gz [RECORDS [RAW]]\n       %s --gapped-day ROOT\n",
                     argv[0], argv[0]);
        return 2;
    }
    const int n = records * BLOCK;
    const auto ch = channels(n, BUNDLED);

    // Header line ended by a carriage return, then records of three blocks:
    // two time words (minute of the day, second) and 512 samples each.
    std::string body = header("2014-03-15", START);
    for (int r = 0; r < records; r++)
        put_record(body, START + static_cast<int>(r * BLOCK / RATE), ch, r * BLOCK);

    if (!write_file(argv[1], body, ends_with(argv[1], ".gz")))
        return 1;
    if (argc == 4) {
        std::string raw;
        for (int i = 0; i < n; i++)
            for (int c = 0; c < 3; c++)
                put_word(raw, static_cast<int>(std::lround(ch[c][i])));
        if (!write_file(argv[3], raw, false))
            return 1;
    }
    return 0;
}
