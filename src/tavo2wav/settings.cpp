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
