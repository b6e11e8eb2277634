// The WAV chunks that carry a conversion's time map, placed before "data":
// "bext" (broadcast wave), "LIST"/"INFO" (title, date, software, comment),
// "cue " (one point per marker) and "LIST"/"adtl" (a "labl" text per point,
// and an "ltxt" length for each region).
#ifndef TAVO_ENGINE_WAV_CHUNKS_H
#define TAVO_ENGINE_WAV_CHUNKS_H

#include <string>
#include <vector>

#include "engine/audio_timeline.h"

namespace tavo::engine {

// The four chunks, each with its header and padded to an even size, ready
// for WaveWriter::open. `software` is the ISFT text ("tavo2wav 1.2.0").
// With no markers the "cue " and "adtl" chunks are left out.
std::vector<unsigned char> timeline_chunks(const AudioTimeline& t, const std::string& software);

// The bext Description: station, sampling frequency, speed-up and source
// files, e.g. "Station k, 18 Hz sampling, 49 times faster, from k4031516.dat.gz".
std::string bext_description(const AudioTimeline& t);

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_WAV_CHUNKS_H
