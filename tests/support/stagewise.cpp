#include "stagewise.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <new>

#include "stages.h"
#include "wave.h"

namespace tavo_test {

namespace {

typedef std::unique_ptr<int16_t[]> Buffer;

// Gives each of the three buffers room for n samples; on failure reports
// the three addresses (null for those that failed) and returns false.
bool allocate(Buffer (&b)[3], long n)
{
    for (Buffer& one : b)
        one.reset(new (std::nothrow) int16_t[n]);
    if (b[0] && b[1] && b[2])
        return true;
    std::fflush(stdout);
    std::cerr << "Error allocating memory: " << static_cast<void*>(b[0].get()) << " "
              << static_cast<void*>(b[1].get()) << " " << static_cast<void*>(b[2].get()) << "\n";
    return false;
}

// The prepared channels, resampled u times when u is not 0 (copied
// otherwise, as the filter works in place). False after the allocation
// error when there is no room.
bool resample(const Conversion& c, int u, Buffer (&out)[3], long* n)
{
    *n = c.samples();
    if (u != 0)
        std::printf("Resampling %d ...", u);
    if (!allocate(out, *n * (u != 0 ? u : 1)))
        return false;
    for (int ch = 0; ch < 3; ch++) {
        if (u != 0)
            resample_channel(c.channel(ch), *n, u, out[ch].get());
        else
            std::copy(c.channel(ch), c.channel(ch) + *n, out[ch].get());
    }
    if (u != 0) {
        *n *= u;
        std::printf("done\n");
    }
    return true;
}

void filter(Buffer (&data)[3], long n)
{
    std::printf("Filtering...");
    long clipped = 0;
    for (Buffer& b : data)
        clipped += filter_channel_reference(b.get(), n);
    std::printf("done.\n");
    warn_clipped(clipped);
}

// Writes file i of the layout with its put_wav_data_* writer.
bool write_file(const Settings& s, int i, const int16_t* const ch[3], unsigned long frames,
                const std::string& path, bool fits)
{
    errno = ENAMETOOLONG;
    if (!fits)
        return false;
    const FileLayout l = file_layout(s.stereo, i);
    if (s.stereo == MONO)
        return put_wav_data_mono16(ch[i], frames, s.rate, path.c_str()) != 0;
    if (s.stereo == STEREO)
        return put_wav_data_stereo16(ch[l.source[0]], ch[l.source[1]], frames, s.rate,
                                     path.c_str()) != 0;
    return put_wav_data_6ch(ch[0], ch[1], ch[2], frames, s.rate, path.c_str()) != 0;
}

int write_stagewise(const Conversion& c, const char* base)
{
    const Settings& s = c.settings();
    Buffer data[3];
    long n = 0;
    if (!resample(c, c.upsample(), data, &n))
        return 9;
    if (s.need_filter)
        filter(data, n);
    if (!known_layout(s.stereo))
        return 1;
    const int16_t* const ch[3] = {data[0].get(), data[1].get(), data[2].get()};
    for (int i = 0; i < output_files(s.stereo); i++) {
        bool fits;
        const std::string path = output_name(s.stereo, i, base, &fits);
        std::printf("writing: %s ", path.c_str());
        if (!write_file(s, i, ch, static_cast<unsigned long>(n), path, fits)) {
            report_write_error(path, errno);
            return 1;
        }
        std::printf("done\n");
    }
    return 0;
}

}  // namespace

int convert_stagewise(const Settings& settings, const string_vector& files)
{
    Conversion c(settings);
    const int status = c.run(files, write_stagewise);
    std::fflush(stdout);
    return status;
}

}  // namespace tavo_test
