// One conversion: reads the input files into three 16-bit channel buffers
// and turns them into WAV files (offset removal, scaling, resampling,
// filtering, writing), printing one progress line per stage.
//
//   Conversion c(settings);
//   const int status = c.run(files);   // 0, or the status to end with
//
// A Conversion owns everything the work changes: the channel buffers and
// their fill, the station clock, the resampling it settles on and the
// amplitude factor it chooses. Its Settings are never changed.
#ifndef TAVO2WAV_CONVERSION_H
#define TAVO2WAV_CONVERSION_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output.h"
#include "progress.h"
#include "settings.h"
#include "sinc_output.h"
#include "station_clock.h"
#include "timeline.h"
#include "wave.h"

// Capacity of each channel buffer, in samples (6200 records of 512).
constexpr long MAXSIZE = 3174400;

class Conversion {
public:
    // Writes the output files of the prepared buffers, named from `base`
    // (the first input's name without directory and extension), printing
    // the stage and "writing:" lines. Returns 0 or the status to end with,
    // after printing the reason on standard error.
    using Ending = std::function<int(Conversion&, const char* base)>;

    explicit Conversion(const Settings& settings);
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    // Converts the first of `files` (all of them, one after the other, when
    // combining) with the fused ending: resampling, filtering and writing
    // chunk by chunk. Call once per Conversion. Returns 0, 9 when the buffers
    // cannot be allocated, 1 for any other failure, the reason printed on
    // standard error. The reader library ends the process itself for
    // unreadable input, and a --speedup that the first file's sampling
    // frequency cannot satisfy ends it with status 1 where it is found.
    int run(const string_vector& files);

    // The same conversion with another ending (the stage-by-stage
    // reference of the tests): reading, offset removal and scaling as run()
    // does them, then `ending`, then the label file of --timeline.
    int run(const string_vector& files, const Ending& ending);

    // What the ending needs: the settings, the resampling factor in force
    // (from -u, or from --speedup with the linear resampler), the samples
    // per channel and the three prepared channels.
    const Settings& settings() const { return settings_; }
    int upsample() const { return upsample_; }
    long samples() const { return ii_; }
    const int16_t* channel(int c) const { return data_[c].get(); }

private:
    typedef std::unique_ptr<int16_t[]> Buffer;

    // conversion.cpp: reading and the stages over whole buffers
    unsigned render_workers() const;
    bool settle_speedup(double frequency);
    bool read_file(const std::string& name, long* clipped, Progress* progress);
    void read_files(const string_vector& files);
    void remove_offsets();
    void scale();

    // conversion_output.cpp: the fused ending and the label file
    int write_fused(const char* base, const std::vector<unsigned char>* chunks);
    int render_files(const char* base, const std::vector<unsigned char>* chunks,
                     std::vector<std::unique_ptr<WaveWriter>>* writers, ClipCount* clips, int* err,
                     std::string* soxr_error);
    int render_sinc(const char* base, const std::vector<unsigned char>* chunks,
                    std::vector<std::unique_ptr<WaveWriter>>* writers, ClipCount* clips,
                    Progress* progress, int* err, std::string* soxr_error);
    bool open_file(const char* base, int i, unsigned long long frames,
                   const std::vector<unsigned char>* chunks, std::unique_ptr<WaveWriter>* w) const;
    void start_stage_line() const;
    void end_stage_lines(ClipCount* clips) const;
    int write_labels(const char* base) const;
    bool fits_wav(unsigned long long extra) const;
    double frames_per_sample() const;
    unsigned long long output_frames() const;

    const Settings settings_;
    Buffer data_[3];
    long ii_ = 0;                          // samples in each buffer
    std::unique_ptr<StationClock> clock_;  // with --gaps silence or --timeline
    // The resampling: from -u, or from --speedup once the first file has
    // told the sampling frequency (settled_).
    int upsample_;
    SincJob sinc_job_{};
    bool settled_ = false;
    int scale_;                          // the amplitude factor, chosen from the data when 0
    std::vector<unsigned char> chunks_;  // the timeline chunks of --timeline
    Timeline timeline_;                  // and the time map they hold
};

// Converts with the process-wide settings: a thin layer that builds
// Settings from the variables main() filled (settings_from_globals()) and
// runs one Conversion. Returns on success; on a failure it prints the
// reason on standard error and ends the process: status 9 when the buffers
// cannot be allocated, 1 for anything else (the reader library ends the
// process itself for unreadable input). The variables are left as they were.
void tavo2wav(const string_vector& files);

// The automatic amplitude factor for a peak absolute sample value: the
// largest power of two from 1 to 128 that keeps max * factor <= 32767, and 1
// when even 1 does not.
int autoscale(int max);

// d truncated toward zero as a 16-bit sample; values beyond the 16-bit range
// saturate and NaN gives 0.
int16_t double2short(double d);

// Reports a failed write of `path` on standard error, standard output flushed.
void report_write_error(const std::string& path, int err);

// Prints the clip warning for `clipped` samples (nothing for 0).
void warn_clipped(long clipped);

// False, after printing "Unknown audio format", for a layout outside wave_t.
bool known_layout(wave_t layout);

#endif
