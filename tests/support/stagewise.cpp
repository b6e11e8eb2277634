#include "stagewise.h"

#include <algorithm>
#include <cerrno>

#include "dsp/filter.h"
#include "dsp/stages.h"
#include "engine/conversion.h"
#include "wav/wave.h"

namespace tavo_test {

void resample_channel(const int16_t* in, long n, int u, int16_t* out)
{
    if (n <= 0)
        return;
    for (long k = 1; k < n; k++)
        for (int j = 0; j < u; j++)
            out[(k - 1) * u + j] = static_cast<int16_t>(
                in[k - 1] + (in[k] - in[k - 1]) * (static_cast<double>(j) / u));
    for (int j = 0; j < u; j++)
        out[(n - 1) * u + j] = in[n - 1];
}

long filter_channel_reference(int16_t* x, long n)
{
    Initialize(0.0);
    long clipped = 0;
    for (long j = 0; j < n; j++) {
        const double y = Filter(x[j]) + 0.5;
        x[j] = tavo::dsp::saturate16(static_cast<long long>(y), &clipped);
    }
    return clipped;
}

namespace {

using tavo::Layout;
using tavo::engine::Conversion;
using Channels = std::vector<int16_t>[3];

// The prepared channels, resampled u times when u is not 0 (copied
// otherwise, as the filter works in place); returns the samples per channel.
long resample(Conversion& c, int u, Channels& out)
{
    const long n = c.samples();
    if (u != 0)
        c.say("Resampling " + std::to_string(u) + " ...");
    for (int ch = 0; ch < 3; ch++) {
        out[ch].resize(static_cast<std::size_t>(n * std::max(u, 1)));
        if (u != 0)
            resample_channel(c.channel(ch), n, u, out[ch].data());
        else
            std::copy(c.channel(ch), c.channel(ch) + n, out[ch].data());
    }
    if (u != 0)
        c.say("done\n");
    return n * std::max(u, 1);
}

void filter(Conversion& c, Channels& data, long n)
{
    c.say("Filtering...");
    long clipped = 0;
    for (std::vector<int16_t>& b : data)
        clipped += filter_channel_reference(b.data(), n);
    c.say("done.\n");
    c.warn_clipped(clipped);
}

// Writes file i of the layout with its put_wav_data_* writer.
bool write_file(const tavo::Options& o, int i, const Channels& ch, unsigned long frames,
                const std::string& path)
{
    const tavo::engine::FileLayout l = tavo::engine::file_layout(o.layout, i);
    if (o.layout == Layout::MONO)
        return put_wav_data_mono16(ch[i].data(), frames, o.rate, path.c_str()) != 0;
    if (o.layout == Layout::STEREO)
        return put_wav_data_stereo16(ch[l.source[0]].data(), ch[l.source[1]].data(), frames, o.rate,
                                     path.c_str()) != 0;
    return put_wav_data_6ch(ch[0].data(), ch[1].data(), ch[2].data(), frames, o.rate,
                            path.c_str()) != 0;
}

int write_stagewise(Conversion& c, const char* base)
{
    const tavo::Options& o = c.options();
    Channels data;
    const long n = resample(c, c.upsample(), data);
    if (o.filter)
        filter(c, data, n);
    for (int i = 0; i < tavo::engine::output_files(o.layout); i++) {
        bool fits;
        const std::string path = c.output_path(tavo::engine::output_name(o.layout, i, base, &fits));
        c.say("writing: " + path + " ");
        errno = ENAMETOOLONG;
        if (!fits || !write_file(o, i, data, static_cast<unsigned long>(n), path))
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
