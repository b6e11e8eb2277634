// The time map of a window's sound (--timeline in window mode): the sound
// counts from its first sample, which is `from` whenever the data (or, with
// --gaps silence, the silence) begin the window; cue points fall at every
// whole UTC hour of a window of up to 48 hours and at every UTC midnight of
// a longer one, and every stretch without data is marked where it lies: a
// region as long as its silence, or a point where the data after it begin.
#ifndef TAVO_ENGINE_WINDOW_TIMELINE_H
#define TAVO_ENGINE_WINDOW_TIMELINE_H

#include <string>
#include <vector>

#include "archive/archive.h"
#include "engine/audio_timeline.h"
#include "engine/window_walk.h"

namespace tavo::engine {

// Longest window whose cue points fall at every hour; longer ones get one
// at every midnight.
constexpr std::int64_t HOURLY_WINDOW_SECONDS = 48 * 3600;

// What the first pass tells about a window's sound.
struct WindowSound {
    archive::Window window;
    bool filled = false;               // --gaps silence: sample k stands at from + k / frequency
    double frequency = 0;              // of the sound's samples
    double up = 1;                     // output frames per sample
    unsigned long rate = 0;            // Hz of the WAV files
    unsigned long long frames = 0;     // output frames per channel
    double first_time = 0;             // station time of the first sample
    std::vector<SoundAnchor> anchors;  // without filling: where each run begins
    std::vector<archive::NoData> no_data;
    char station = 0;
    std::vector<std::string> sources;  // files that gave samples
};

AudioTimeline window_timeline(const WindowSound& sound);

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_WINDOW_TIMELINE_H
