#include "pipeline.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "libkemra.h"
#include "stages.h"
#include "wave.h"
#include "zeltra.h"

namespace {

typedef std::unique_ptr<int16_t[]> Buffer;

// The three channel buffers and the number of samples each holds.
Buffer data[3];
long ii = 0;

// Largest data chunk a WAV file can describe: its RIFF length (36 + data
// bytes) must fit 32 bits.
constexpr unsigned long long WAV_MAX_DATA = 4294967295ULL - 36;

const unsigned FRAME_BYTES[] = {2, 4, 12};  // by wave_t

void flush_stdout()
{
    std::fflush(stdout);
}

void warn_clipped(long clipped)
{
    if (clipped == 0)
        return;
    flush_stdout();
    std::fprintf(stderr, "Warning: %ld samples clipped\n", clipped);
}

// Gives each of the three buffers room for n samples; on failure reports
// the three addresses (null for those that failed) and returns false.
bool allocate(Buffer (&b)[3], long n)
{
    for (Buffer &one : b)
        one.reset(new (std::nothrow) int16_t[n]);
    if (b[0] && b[1] && b[2])
        return true;
    flush_stdout();
    std::cerr << "Error allocating memory: " << static_cast<void *>(b[0].get()) << " "
              << static_cast<void *>(b[1].get()) << " " << static_cast<void *>(b[2].get())
              << "\n";
    return false;
}

// Appends every record of one file to the buffers. Returns false when the
// buffers filled up before the file ended; *clipped counts the values
// that did not fit 16 bits.
bool read_file(const std::string &name, long *clipped)
{
    std::unique_ptr<Zeltra::ZELTRA> reader(
        Zeltra::detect(name.c_str(), true, Zeltra::ZELTRA::FT_NEW, false));
    while (reader->getdata() != -1) {
        if (ii >= MAXSIZE - clength) {
            flush_stdout();
            std::fprintf(stderr,
                         "Warning: buffers full after %ld samples per channel; "
                         "the rest of the input is not converted\n",
                         ii);
            return false;
        }
        const long n = static_cast<long>(reader->get_length());
        for (int c = 0; c < 3; c++) {
            const std::vector<double> &src = reader->current[c];
            for (long j = 0; j < n; j++) {
                const double d = src[j];
                if (!(d > -32769.0 && d < 32768.0))
                    ++*clipped;
                data[c][ii + j] = double2short(d);
            }
        }
        ii += n;
    }
    return true;
}

void read_files(const string_vector &files)
{
    long clipped = 0;
    for (const std::string &name : files) {
        if (!read_file(name, &clipped)) {
            combine = 0;
            break;
        }
        if (!combine)
            break;
    }
    warn_clipped(clipped);
}

void remove_offsets()
{
    std::printf("Removing offset ");
    long clipped = 0;
    for (Buffer &b : data)
        clipped += remove_channel_offset(b.get(), ii);
    std::printf("done\n");
    warn_clipped(clipped);
}

int peak()
{
    int p = 0;
    for (const Buffer &b : data) {
        const int q = peak_abs(b.get(), ii);
        if (q > p)
            p = q;
    }
    return p;
}

void scale()
{
    if (global_scale == 0)
        global_scale = autoscale(peak());
    if (global_scale == 1)
        return;
    std::printf("Scaling %d...", global_scale);
    long clipped = 0;
    for (Buffer &b : data)
        clipped += scale_channel(b.get(), ii, global_scale);
    std::printf("done\n");
    warn_clipped(clipped);
}

bool resample()
{
    std::printf("Resampling %d ...", upsample);
    Buffer out[3];
    if (!allocate(out, ii * upsample))
        return false;
    for (int c = 0; c < 3; c++)
        resample_channel(data[c].get(), ii, upsample, out[c].get());
    for (int c = 0; c < 3; c++)
        data[c] = std::move(out[c]);
    ii *= upsample;
    std::printf("done\n");
    return true;
}

void filter()
{
    std::printf("Filtering...");
    long clipped = 0;
    for (Buffer &b : data)
        clipped += filter_channel_reference(b.get(), ii);
    std::printf("done.\n");
    warn_clipped(clipped);
}

// Name of output file `index` for the layout, from the input's base name:
// a letter and the base name without its first character, or "6ch" and the
// whole base name, with the extension "wav". Empty when the name does not
// fit the name buffers (256 bytes for the name, 260 for the path).
std::string output_name(int index, const char *base)
{
    char name[256];
    int len;
    if (stereo == SIX_CHANNEL)
        len = std::snprintf(name, sizeof name, "6ch%s", base);
    else
        len = std::snprintf(name, sizeof name, "%c%s", "abcdef"[3 * stereo + index],
                            *base ? base + 1 : base);
    if (len < 0 || static_cast<size_t>(len) >= sizeof name)
        return std::string();
    char path[260];
    if (combine_path(path, nullptr, nullptr, name, "wav") != 0)
        return std::string();
    return path;
}

// The name as it would be, for messages about a name that does not fit.
std::string untruncated_name(int index, const char *base)
{
    if (stereo == SIX_CHANNEL)
        return std::string("6ch") + base + ".wav";
    return std::string(1, "abcdef"[3 * stereo + index]) + (*base ? base + 1 : base) + ".wav";
}

int write_file(int index, const std::string &path)
{
    const unsigned long frames = static_cast<unsigned long>(ii);
    const int16_t *ch[3] = {data[0].get(), data[1].get(), data[2].get()};
    switch (stereo) {
    case MONO:
        return put_wav_data_mono16(ch[index], frames, rate, path.c_str());
    case STEREO:
        return put_wav_data_stereo16(ch[index], ch[(index + 1) % 3], frames, rate, path.c_str());
    default:
        return put_wav_data_6ch(ch[0], ch[1], ch[2], frames, rate, path.c_str());
    }
}

int write_outputs(const char *base)
{
    if (stereo != MONO && stereo != STEREO && stereo != SIX_CHANNEL) {
        flush_stdout();
        std::fprintf(stderr, "Unknown audio format: %d\n", static_cast<int>(stereo));
        return 1;
    }
    const int files = stereo == SIX_CHANNEL ? 1 : 3;
    for (int i = 0; i < files; i++) {
        std::string path = output_name(i, base);
        const bool fits = !path.empty();
        if (!fits)
            path = untruncated_name(i, base);
        std::printf("writing: %s ", path.c_str());
        errno = ENAMETOOLONG;
        if (!fits || !write_file(i, path)) {
            const int err = errno;
            flush_stdout();
            std::fprintf(stderr, "Error: can't write %s: %s\n", path.c_str(), std::strerror(err));
            return 1;
        }
        std::printf("done\n");
    }
    return 0;
}

bool fits_wav()
{
    const unsigned long long u = upsample > 0 ? upsample : 1;
    const unsigned long long frames = static_cast<unsigned long long>(ii) * u;
    if (frames * FRAME_BYTES[stereo == MONO ? 0 : stereo == STEREO ? 1 : 2] <= WAV_MAX_DATA)
        return true;
    flush_stdout();
    std::fprintf(stderr, "Error: output too large for a WAV file (%llu frames)\n", frames);
    return false;
}

int convert(const string_vector &files)
{
    if (!allocate(data, MAXSIZE))
        return 9;
    char drive[256], dir[256], base[256], ext[256];
    explode_path(files.front().c_str(), drive, dir, base, ext);

    read_files(files);
    if (!fits_wav())
        return 1;
    if (remove_offset)
        remove_offsets();
    scale();
    if (upsample != 0 && !resample())
        return 9;
    if (need_filter)
        filter();
    const int status = write_outputs(base);
    ii = 0;
    for (Buffer &b : data)
        b.reset();
    return status;
}

}  // namespace

int autoscale(int max)
{
    int factor = 128;
    while (factor > 1 && static_cast<long long>(max) * factor > 32767)
        factor /= 2;
    return factor;
}

int16_t double2short(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= 32767.0)
        return INT16_MAX;
    if (d <= -32768.0)
        return INT16_MIN;
    return static_cast<int16_t>(d);
}

void tavo2wav(const string_vector &files)
{
    const int status = convert(files);
    std::fflush(stdout);
    if (status != 0)
        std::exit(status);
}
