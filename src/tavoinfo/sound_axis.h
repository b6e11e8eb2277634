// tavoinfo --plot --audio: where the records land in the sound that tavo2wav
// makes of the same files with the given options.
#ifndef TAVOINFO_SOUND_AXIS_H
#define TAVOINFO_SOUND_AXIS_H

#include <cstddef>
#include <memory>
#include <string>

#include <tavo/convert.h>
#include <zeltra/zeltra.h>

#include "engine/speedup.h"
#include "engine/station_clock.h"

namespace tavoinfo {

/// Follows the records in the order tavo2wav reads them and places each as
/// the conversion does: the first file alone, or all of them with -c;
/// silence before a record after a gap with --gaps silence; nothing once the
/// next record (with its silence) would leave fewer than tavo::RECORD_ROOM
/// samples of the buffers free. The positions count input samples per
/// channel, silence included; the resampling settled for the data's
/// sampling frequency turns them into seconds of sound.
class SoundPlacer {
public:
    /// `options` as tavo2wav reads them; `frequency` the data's sampling
    /// frequency, from which --speedup settles the resampling.
    SoundPlacer(const tavo::Options& options, double frequency);

    /// "" or the line tavo2wav ends with for these options and this data
    /// ("Error: speed-up 48 needs a whole upsampling factor ...\n").
    const std::string& refusal() const { return refusal_; }

    /// File `index` (in command-line order) begins, read by `reader`.
    void begin_file(std::size_t index, const Zeltra::ZELTRA& reader, const std::string& name);

    /// Where the record now current in the reader lands.
    struct Place {
        bool converted = false;  ///< the conversion takes it
        double position = 0;     ///< of its first sample (when converted)
        long silence = 0;        ///< samples of silence put just before it
    };
    Place place(const Zeltra::ZELTRA& reader);

    bool first_file_only() const { return first_file_only_; }  ///< later files left out (no -c)
    bool cut() const { return cut_; }  ///< the buffers filled before the data ended

    /// Seconds of sound at input sample position `position`.
    double seconds_at(double position) const;
    /// Length of the whole sound: the frames of every position placed.
    double total_seconds() const;

private:
    tavo::Options options_;
    tavo::engine::Resampling resampling_;
    std::string refusal_;
    std::unique_ptr<tavo::engine::StationClock> clock_;
    bool reading_ = false;  // the current file is converted
    bool first_file_only_ = false;
    bool cut_ = false;
    long samples_ = 0;  // positions placed
};

}  // namespace tavoinfo

#endif  // TAVOINFO_SOUND_AXIS_H
