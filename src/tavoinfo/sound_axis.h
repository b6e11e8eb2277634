// tavoinfo --plot --audio: where a moment of the recording lands in the WAV
// files that tavo2wav would make with the given options.
#ifndef TAVOINFO_SOUND_AXIS_H
#define TAVOINFO_SOUND_AXIS_H

#include <string>

#include <tavo/convert.h>

namespace tavoinfo {

/// The conversion settings that decide where a sample lands in the sound.
struct SoundTiming {
    long upsample = 4;          ///< resampling factor; 0: none
    unsigned long rate = 4000;  ///< WAV sample rate, Hz
    bool combine = false;       ///< all files make one sound (-c)

    /// Seconds of sound per input sample.
    double seconds_per_sample() const;
};

/// Samples per channel that the converter takes at most: it reads a record
/// only while it holds fewer than this many samples per channel.
constexpr unsigned long long SOUND_SAMPLE_LIMIT = tavo::BUFFER_SAMPLES - tavo::RECORD_ROOM;

/// Reads tavo2wav options from one string, such as "-u 50 -r 1" or
/// "-c --u=50 -r 44100": "u" and "r" with a number (next word or after '=',
/// decimal, 0x hexadecimal or 0 octal), the flag "c", and the options that
/// do not move a sample in time ("s", "m", "6", "f", "o", flags, and "z" with
/// a number), which are accepted and ignored.  "r" takes a rate code 0-8 or
/// a rate in Hz as tavo2wav does; any other rate prints "Unknown rate: <r>.
/// Using default: 4000." on standard error, as tavo2wav does, and gives 4000.
/// Returns false with `why` set for an unknown word, a missing or
/// non-numeric value, or a negative upsampling factor.  With `notice`, the
/// unknown-rate line is appended there instead of going to standard error.
bool parse_sound_options(const std::string& text, SoundTiming& timing, std::string& why,
                         std::string* notice = nullptr);

}  // namespace tavoinfo

#endif  // TAVOINFO_SOUND_AXIS_H
