#include "settings.h"

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

Settings settings_from_globals()
{
    Settings s;
    s.stereo = stereo;
    s.combine = combine != 0;
    s.need_filter = need_filter != 0;
    s.remove_offset = remove_offset != 0;
    s.rate = rate;
    s.global_scale = global_scale;
    s.upsample = upsample;
    s.clength = clength;
    s.render_threads = render_threads;
    s.gap_policy = gap_policy;
    s.write_timeline = write_timeline != 0;
    s.sound = sound;
    return s;
}
