// The time map of a conversion: where station time lies in the output
// audio. It gives the "Timeline:" line, the markers (every whole UTC hour
// and every gap, at their output frames) and the label file that audio
// editors import.
#ifndef TAVO_ENGINE_AUDIO_TIMELINE_H
#define TAVO_ENGINE_AUDIO_TIMELINE_H

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/station_clock.h"

namespace tavo::engine {

// A point (end == frame) or a region of the output audio, in frames.
struct Marker {
    unsigned long frame;
    unsigned long end;
    std::string text;  // "2014-03-15 09:00Z", "gap 312 s joined", "gap 312 s silence"
};

struct AudioTimeline {
    bool dated = false;                // the first sample has a station time
    time_t start = 0;                  // station time of audio 0 (when dated)
    double speedup = 0;                // station seconds per audio second: rate / (frequency x U)
    char station = 0;                  // station letter, 0 when unknown
    double frequency = 0;              // sampling frequency of the first file
    std::vector<std::string> sources;  // input files, reading order
    // Output frames from the station's midnight UTC to the first sample:
    // its seconds since midnight x frequency x U.
    uint64_t time_reference = 0;
    std::vector<Marker> markers;  // in frame order, hours before gaps at one frame
};

// The time map without its markers: start, speed-up, station, sources and
// time reference.
AudioTimeline time_map(const StationClock& clock, double up, unsigned long rate);

// The time map of `samples` input samples read under `clock`, resampled to
// `up` output frames per input sample (1: none; any positive ratio) and
// written at `rate` Hz.
AudioTimeline make_timeline(const StationClock& clock, long samples, double up, unsigned long rate);

// "Timeline: 1 s of audio = 49 s of station time, from 2014-03-15T08:00:00Z\n"
// ("..., start unknown\n" without a station time).
std::string timeline_line(const AudioTimeline& t);

// "audio 0 s = 2014-03-15T08:00:00Z; 1 s of audio = 49 s of station time",
// without the first part when the start is unknown.
std::string timeline_comment(const AudioTimeline& t);

// Station time as "2014-03-15T08:00:00Z".
std::string iso_time(time_t t);

// Station time as a marker says it: "2014-03-15 09:00Z".
std::string marker_time(time_t t);

// The output frame of input sample `position` at u output frames per input
// sample (exact for a whole u).
unsigned long frame_of(long long position, double u);

// The output frames from midnight UTC to `start` at `frequency` x `up`
// frames per second (bext's TimeReference).
uint64_t time_reference(time_t start, double frequency, double up);

// The label file: one line per marker, start and end in audio seconds with
// six decimals, tab-separated, then the text.
std::string label_file_text(const AudioTimeline& t, unsigned long rate);

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_AUDIO_TIMELINE_H
