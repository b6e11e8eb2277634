#include "stagewise.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <sstream>

#include "engine/conversion.h"
#include "reference.h"
#include "wav/wave.h"

namespace tavo_test {

namespace {

using tavo::Layout;
using tavo::engine::Conversion;

typedef std::unique_ptr<int16_t[]> Buffer;

// Gives each of the three buffers room for n samples; on failure reports
// the three addresses (null for those that failed) and returns false.
bool allocate(Conversion& c, Buffer (&b)[3], long n)
{
    for (Buffer& one : b)
        one.reset(new (std::nothrow) int16_t[n]);
    if (b[0] && b[1] && b[2])
        return true;
    std::ostringstream text;
    text << "Error allocating memory: " << static_cast<void*>(b[0].get()) << " "
         << static_cast<void*>(b[1].get()) << " " << static_cast<void*>(b[2].get()) << "\n";
    c.fail(9, text.str());
    return false;
}

// The prepared channels, resampled u times when u is not 0 (copied
// otherwise, as the filter works in place). False after the allocation
// error when there is no room.
bool resample(Conversion& c, int u, Buffer (&out)[3], long* n)
{
    *n = c.samples();
    if (u != 0)
        c.say("Resampling " + std::to_string(u) + " ...");
    if (!allocate(c, out, *n * (u != 0 ? u : 1)))
        return false;
    for (int ch = 0; ch < 3; ch++) {
        if (u != 0)
            resample_channel(c.channel(ch), *n, u, out[ch].get());
        else
            std::copy(c.channel(ch), c.channel(ch) + *n, out[ch].get());
    }
    if (u != 0) {
        *n *= u;
        c.say("done\n");
    }
    return true;
}

void filter(Conversion& c, Buffer (&data)[3], long n)
{
    c.say("Filtering...");
    long clipped = 0;
    for (Buffer& b : data)
        clipped += filter_channel_reference(b.get(), n);
    c.say("done.\n");
    c.warn_clipped(clipped);
}

// Writes file i of the layout with its put_wav_data_* writer.
bool write_file(const tavo::Options& o, int i, const int16_t* const ch[3], unsigned long frames,
                const std::string& path, bool fits)
{
    errno = ENAMETOOLONG;
    if (!fits)
        return false;
    const tavo::engine::FileLayout l = tavo::engine::file_layout(o.layout, i);
    if (o.layout == Layout::MONO)
        return put_wav_data_mono16(ch[i], frames, o.rate, path.c_str()) != 0;
    if (o.layout == Layout::STEREO)
        return put_wav_data_stereo16(ch[l.source[0]], ch[l.source[1]], frames, o.rate,
                                     path.c_str()) != 0;
    return put_wav_data_6ch(ch[0], ch[1], ch[2], frames, o.rate, path.c_str()) != 0;
}

int write_stagewise(Conversion& c, const char* base)
{
    const tavo::Options& o = c.options();
    Buffer data[3];
    long n = 0;
    if (!resample(c, c.upsample(), data, &n))
        return 9;
    if (o.filter)
        filter(c, data, n);
    const int files = tavo::engine::output_files(o.layout);
    if (files == 0)
        return c.fail(1,
                      "Unknown audio format: " + std::to_string(static_cast<int>(o.layout)) + "\n");
    const int16_t* const ch[3] = {data[0].get(), data[1].get(), data[2].get()};
    for (int i = 0; i < files; i++) {
        bool fits;
        const std::string path = c.output_path(tavo::engine::output_name(o.layout, i, base, &fits));
        c.say("writing: " + path + " ");
        if (!write_file(o, i, ch, static_cast<unsigned long>(n), path, fits))
            return c.fail_write(path, errno);
        c.say("done\n");
    }
    return 0;
}

}  // namespace

tavo::Result convert_stagewise(const tavo::Options& options, const std::vector<std::string>& files,
                               tavo::Diagnostics& diagnostics)
{
    return Conversion(options, diagnostics).run(files, write_stagewise);
}

}  // namespace tavo_test
