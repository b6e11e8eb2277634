#include "classic.h"

#include <cstdio>
#include <cstdlib>

#include "cli/standard_streams.h"
#include "usage.h"

wave_t stereo = MONO;
int combine = 0;
int need_filter = 1;
int remove_offset = 1;
unsigned long rate = 4000;
int global_scale = 0;
int upsample = 4;
int clength = 0;
unsigned render_threads = 0;
string_vector tavo_files;
gap_t gap_policy = GAPS_JOIN;
int write_timeline = 0;
SoundOptions sound;

tavo::Options options_from_globals()
{
    tavo::Options o;
    o.layout = static_cast<tavo::Layout>(stereo);
    o.combine = combine != 0;
    o.filter = need_filter != 0;
    o.remove_offset = remove_offset != 0;
    o.rate = rate;
    o.scale = global_scale;
    o.upsample = upsample;
    o.threads = render_threads;
    o.gaps = gap_policy == GAPS_SILENCE ? tavo::Gaps::SILENCE : tavo::Gaps::JOIN;
    o.timeline = write_timeline != 0;
    o.resampler = sound.resampler;
    o.speedup = sound.speedup;
    o.format = sound.format;
    return o;
}

void tavo2wav(const string_vector& files)
{
    tavo::cli::StandardStreams streams;
    const tavo::Result r = tavo::convert(files, options_from_globals(), streams);
    std::fflush(stdout);
    if (r.status != 0)
        std::exit(r.status);
}

void Usage(const char* path)
{
    std::fputs(usage_text(path, upsample, rate).c_str(), stdout);
}
