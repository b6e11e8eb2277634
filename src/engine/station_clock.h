// The station clock of the samples being read: for every record placed in
// the channel buffers, the station time of its first sample, and at every
// time gap between consecutive records (within a file, and with -c between
// the last record of one file and the first of the next) what the gap was
// and whether it was filled with silence.
#ifndef TAVO_ENGINE_STATION_CLOCK_H
#define TAVO_ENGINE_STATION_CLOCK_H

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include <tavo/convert.h>
#include <zeltra/zeltra.h>

#include "dsp/stages.h"

namespace tavo::engine {

using dsp::SampleRun;

// A time gap between two consecutive records, in input samples.
struct ClockGap {
    long position;   // where the silence starts, or (joined) the later record
    long filled;     // samples of silence put in; 0 when joined
    double missing;  // station seconds between the earlier record's end and
                     // the later record's stamp; negative: time went back
};

// Station time at an input sample; it runs on at `frequency` samples per
// second up to the next anchor.
struct ClockAnchor {
    long position;
    bool stamped;  // false: old-style record, its time is unknown
    double time;   // seconds since the epoch, days added past midnights
    double frequency;
};

class StationClock {
public:
    // `fill`: put silence into the gaps (--gaps silence) instead of joining.
    // Its warnings go to `say`.
    StationClock(bool fill, Diagnostics& say) : fill_(fill), say_(say) {}

    // A new file begins. Its stamps count from the day its path gives or,
    // when the path gives none, from the date of its header line. When
    // filling, an old-style file (no time words) gets the warning "Warning:
    // NAME has no time stamps; its gaps cannot be filled\n".
    void begin_file(const Zeltra::ZELTRA& z, const std::string& name);

    // What the record now at the start of z.current means for the clock.
    struct Step {
        bool stamped = false;
        time_t raw = 0;      // its stamp, on the header's date when the path has none
        double time = 0;     // its station time
        bool gap = false;    // a gap lies between it and the record before
        double missing = 0;  // see ClockGap
        long fill = 0;       // samples of silence to put before it
        std::size_t length = 0;
        double frequency = 0;
    };
    Step measure(const Zeltra::ZELTRA& z) const;

    // The record measured as `step` has been placed: `step.fill` silent
    // samples from input sample `at`, then the record. A step back in time
    // is reported once: "Warning: time goes back N s before record R of
    // FILE; joined\n".
    void place(const Step& step, long at);

    const std::vector<ClockGap>& gaps() const { return gaps_; }
    const std::vector<SampleRun>& filled() const { return filled_; }
    const std::vector<ClockAnchor>& anchors() const { return anchors_; }
    // Names of the files that delivered records, in reading order.
    const std::vector<std::string>& files() const { return files_; }
    // Station letter and frequency of the first file begun.
    char station() const { return station_; }
    double frequency() const { return frequency_; }

private:
    const bool fill_;
    Diagnostics& say_;
    bool warned_back_ = false;
    bool started_ = false;
    char station_ = 0;
    double frequency_ = 0;
    std::string file_;
    unsigned long record_ = 0;  // records placed from the current file
    bool file_listed_ = false;
    time_t date_offset_ = 0;  // added to the current file's stamps
    // The record placed last.
    bool have_last_ = false;
    bool last_stamped_ = false;
    time_t last_raw_ = 0;
    double last_time_ = 0;
    std::size_t last_length_ = 0;
    double last_frequency_ = 0;
    std::vector<ClockGap> gaps_;
    std::vector<SampleRun> filled_;
    std::vector<ClockAnchor> anchors_;
    std::vector<std::string> files_;
};

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_STATION_CLOCK_H
