// Sound quality of the two resamplers, and of sox's `rate -v` at the same
// ratio: tones from 0.5 Hz to 0.45 x the sampling frequency of an 18 Hz
// recording, resampled by U = 4 and U = 50 without quantisation, and for each
// the strongest spurious component relative to the tone; then the passband
// ripple, the spread of the tone gains up to 0.4 x the sampling frequency.
//
//   quality_bench             prints the tables
//   quality_bench --sweep W   writes W: a slow sweep from 0 to 9 Hz resampled
//                             by 50, linear on the left channel and sinc on
//                             the right, as 32-bit float at 44100 Hz
//
// Every tone has an amplitude of 16384 counts. The linear resampler is the
// converter's (interpolation and the 129-tap filter, in 16 bits), so it gets
// the tone rounded to 16 bits with triangular dither from a seeded generator
// (the rounding error is then noise, not harmonics). sinc and sox get the
// exact tone as doubles and give doubles, so that what the table shows is
// the method, not 16-bit rounding (whose noise would otherwise set a floor
// near -113 dB at U = 50 and -123 dB at U = 4 in this analysis). sox reads
// and writes raw 64-bit floats; its columns are left out when sox is not
// installed.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "dsp/linear_stream.h"
#include "dsp/quantise.h"
#include "dsp/sinc_stream.h"
#include "tone_analysis.h"
#include "wav/wave.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double FS = 18.0;
constexpr double AMPLITUDE = 16384;
const double TONES[] = {0.5, 1, 2, 3, 5, 7.2, 8, 8.1};  // Hz; 7.2 = 0.4 x FS, 8.1 = 0.45 x FS
const int FACTORS[] = {4, 50};

// n samples of a sine of `hz`.
std::vector<double> tone(double hz, long n)
{
    std::vector<double> x(n);
    for (long i = 0; i < n; i++)
        x[i] = AMPLITUDE * std::sin(2 * PI * hz / FS * i + 0.3);
    return x;
}

// x rounded to 16 bits with triangular dither.
std::vector<int16_t> to16(const std::vector<double>& x, std::mt19937& rng)
{
    std::uniform_real_distribution<double> dither(-0.5, 0.5);
    std::vector<int16_t> y(x.size());
    for (std::size_t i = 0; i < x.size(); i++)
        y[i] = static_cast<int16_t>(std::floor(x[i] + dither(rng) + dither(rng) + 0.5));
    return y;
}

std::vector<double> linear(const std::vector<int16_t>& in, int u)
{
    tavo::dsp::LinearStream s(in.data(), static_cast<long>(in.size()), u, true);
    std::vector<int16_t> out(s.frames());
    s.next(out.data(), out.size());
    return std::vector<double>(out.begin(), out.end());
}

template <typename T>
std::vector<double> sinc(const std::vector<T>& in, double ratio)
{
    tavo::dsp::SincStream s(in.data(), static_cast<long>(in.size()), 1, ratio);
    std::vector<double> out(s.frames());
    s.next(out.data(), out.size());
    return out;
}

bool have_sox()
{
    return std::system("sox --version >/dev/null 2>&1") == 0;
}

// sox -r 18 -> 18 x u with `rate -v`, raw 64-bit floats in and out
// (full scale 1.0 = 32768 counts).
std::vector<double> sox(const std::vector<double>& x, int u)
{
    char dir[] = "/tmp/quality_bench.XXXXXX";
    if (!mkdtemp(dir))
        return {};
    const std::string raw = std::string(dir) + "/in.raw", out = std::string(dir) + "/out.raw";
    std::vector<double> in(x);
    for (double& v : in)
        v /= 32768;
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(in.data()),
               static_cast<std::streamsize>(in.size() * 8));
    const std::string cmd = "sox -t raw -r 18 -e floating-point -b 64 -c 1 " + raw +
                            " -t raw -e floating-point -b 64 " + out + " rate -v " +
                            std::to_string(18 * u) + " 2>/dev/null";
    std::vector<double> y;
    if (std::system(cmd.c_str()) == 0) {
        std::ifstream f(out, std::ios::binary | std::ios::ate);
        y.resize(static_cast<std::size_t>(f.tellg()) / 8);
        f.seekg(0);
        f.read(reinterpret_cast<char*>(y.data()), static_cast<std::streamsize>(y.size() * 8));
        for (double& v : y)
            v *= 32768;
    }
    std::remove(raw.c_str());
    std::remove(out.c_str());
    rmdir(dir);
    return y;
}

struct Column {
    std::string name;
    int u;
    int method;  // 0 linear, 1 sinc, 2 sox
    std::vector<ToneLevels> levels;
};

void print_tables(bool with_sox)
{
    std::vector<Column> columns;
    for (int u : FACTORS)
        for (int m = 0; m < (with_sox ? 3 : 2); m++)
            columns.push_back({std::string(m == 0   ? "linear"
                                           : m == 1 ? "sinc"
                                                    : "sox -v") +
                                   " U=" + std::to_string(u),
                               u,
                               m,
                               {}});
    std::mt19937 rng(14);
    for (double hz : TONES) {
        for (Column& c : columns) {
            const long n = static_cast<long>((1 << 20) / c.u) + 4000;
            const std::vector<double> in = tone(hz, n);
            const std::vector<double> out = c.method == 0   ? linear(to16(in, rng), c.u)
                                            : c.method == 1 ? sinc(in, c.u)
                                                            : sox(in, c.u);
            c.levels.push_back(measure_tone(out.data(), out.size(), hz / (FS * c.u), AMPLITUDE));
        }
    }
    std::printf("Strongest spurious component relative to the tone (dB), 18 Hz data:\n\n");
    std::printf("| tone (Hz) |");
    for (const Column& c : columns)
        std::printf(" %s |", c.name.c_str());
    std::printf("\n|---|");
    for (std::size_t i = 0; i < columns.size(); i++)
        std::printf("---|");
    std::printf("\n");
    for (std::size_t t = 0; t < sizeof TONES / sizeof TONES[0]; t++) {
        std::printf("| %g |", TONES[t]);
        for (const Column& c : columns)
            std::printf(" %.1f |", c.levels[t].spurious_db);
        std::printf("\n");
    }
    std::printf("| passband ripple to 7.2 Hz (dB) |");
    for (const Column& c : columns) {
        double lo = 1e9, hi = -1e9;
        for (std::size_t t = 0; t < c.levels.size(); t++) {
            if (TONES[t] <= 0.4 * FS) {
                lo = std::min(lo, c.levels[t].gain_db);
                hi = std::max(hi, c.levels[t].gain_db);
            }
        }
        std::printf(" %.3f |", hi - lo);
    }
    std::printf("\n");
}

// A sweep from 0 to 9 Hz over `seconds` of 18 Hz data, in 16 bits as the
// converter holds it.
std::vector<int16_t> sweep(double seconds, std::mt19937& rng)
{
    const long n = static_cast<long>(seconds * FS);
    std::vector<double> x(n);
    for (long i = 0; i < n; i++) {
        const double t = i / FS;
        x[i] = AMPLITUDE * std::sin(PI * (FS / 2) / seconds * t * t);
    }
    return to16(x, rng);
}

int write_sweep(const char* path)
{
    std::mt19937 rng(14);
    const std::vector<int16_t> in = sweep(2000, rng);
    const std::vector<double> a = linear(in, 50), b = sinc(in, 50);
    std::vector<float> frames(2 * a.size());
    for (std::size_t i = 0; i < a.size(); i++) {
        frames[2 * i] = tavo::dsp::to_f32(a[i]);
        frames[2 * i + 1] = tavo::dsp::to_f32(b[i]);
    }
    tavo::wav::WaveWriter w;
    if (!w.open(path, 2, a.size(), 44100, tavo::SampleFormat::F32) ||
        !w.write(frames.data(), a.size()) || !w.commit()) {
        std::perror(path);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--sweep") == 0)
        return write_sweep(argv[2]);
    if (argc != 1) {
        std::fprintf(stderr, "usage: quality_bench [--sweep OUT.wav]\n");
        return 2;
    }
    const bool with_sox = have_sox();
    if (!with_sox)
        std::printf("(sox not installed: its columns are left out)\n");
    print_tables(with_sox);
    return 0;
}
