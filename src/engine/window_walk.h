// One pass over the records of a time window, in reading order: which of
// each record's samples lie in the window, and where they go in the sound.
// Both passes of a window conversion walk the files alike, so the second
// one delivers exactly the samples the first one counted.
//
// Within a run of records without a gap (the reader's gap rule, also
// between the last record of one file and the first of the next) sample i
// of the run lies at the run's first stamp + i / frequency; the sound holds
// the samples whose times lie in [from, to). With silence filling the
// stretches without data, sound sample k stands for [from + k / F,
// from + (k + 1) / F) at the sound's frequency F (that of the first file
// read): a run's samples go to the places their times fall in (so a run
// whose sample times do not fall on that grid moves by less than one
// sample), samples whose place is taken already are dropped, and silence
// fills every place no sample took, so the sound has exactly
// ceil((to - from) x F) samples. Without filling, the samples follow one
// another as they are read.
#ifndef TAVO_ENGINE_WINDOW_WALK_H
#define TAVO_ENGINE_WINDOW_WALK_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <zeltra/zeltra.h>

#include "archive/archive.h"
#include "dsp/stages.h"

namespace tavo::engine {

// What one step of the walk gives the sound: `silence` silent samples, then
// the record's samples [begin, end) of channels[0..2].
struct WindowStep {
    long long silence = 0;
    const std::vector<double>* channels = nullptr;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t count() const { return end - begin; }
};

// Where station time lies in the sound: from sound sample `position` on,
// the samples follow `time` at the run's frequency.
struct SoundAnchor {
    long long position;
    double time;
};

// Told about the files as the walk reaches them.
class WalkObserver {
public:
    virtual ~WalkObserver() = default;
    virtual void opening(const archive::ArchiveFile&) {}
    // The file's reader has read its header line; false stops the walk
    // (failed, the observer having said why).
    virtual bool opened(const Zeltra::ZELTRA&) { return true; }
};

class WindowWalk {
public:
    // `files` in reading order; `fill`: silence fills the stretches without
    // data (--gaps silence). The reader's lines go to `messages`.
    WindowWalk(const archive::Window& window, std::vector<archive::ArchiveFile> files, bool fill,
               Zeltra::MessageSink& messages, WalkObserver* observer = nullptr);
    ~WindowWalk();
    WindowWalk(const WindowWalk&) = delete;
    WindowWalk& operator=(const WindowWalk&) = delete;

    enum class Status { RECORD, END, FAILED, STOPPED };

    // Reads on to the next record that gives the sound samples (RECORD,
    // `step` set), or to the end of the files (END: `step.silence` is the
    // silence after the last sample, when filling). FAILED: failure() says
    // why (the reader's fatal message, or a file that cannot be placed in
    // time); STOPPED: the observer stopped the walk. Call no more after
    // anything but RECORD.
    Status next(WindowStep& step);

    int failure_status() const { return failure_status_; }
    const std::string& failure() const { return failure_; }

    // What the walk found so far.
    double frequency() const { return sound_frequency_; }  // of the first file; 0 before
    char station() const { return station_; }              // header station of the first file, or 0
    long long placed() const { return placed_; }           // sound samples delivered
    long long data_samples() const { return data_; }       // ... of them from records
    double first_time() const { return first_time_; }      // of the first sample from a record
    // Per file reached: its records against the window (for the coverage).
    const std::vector<archive::FileRecords>& records() const { return records_; }
    // The runs of silence in the sound, in order (when filling).
    const std::vector<dsp::SampleRun>& silent() const { return silent_; }
    // Without filling: where each run's samples start in the sound.
    const std::vector<SoundAnchor>& anchors() const { return anchors_; }
    // The files that gave the sound samples, in reading order.
    const std::vector<std::string>& sources() const { return sources_; }

private:
    bool open_next();
    bool take_record(WindowStep& step);
    void note_silence(long long count);
    Status fail(int status, const std::string& text);

    const archive::Window window_;
    const std::vector<archive::ArchiveFile> files_;
    const bool fill_;
    Zeltra::MessageSink& messages_;
    WalkObserver* observer_;
    std::size_t next_file_ = 0;
    std::unique_ptr<Zeltra::ZELTRA> reader_;
    archive::RecordClock clock_;
    bool source_listed_ = false;
    // The run of the record before: its start, frequency, samples so far.
    bool have_last_ = false;
    std::int64_t last_stamp_ = 0;
    std::size_t last_length_ = 0;
    double run_start_ = 0;
    double run_frequency_ = 0;
    long long run_samples_ = 0;
    long long run_place_ = 0;  // sound place of the run's sample 0, when filling
    bool run_anchored_ = false;
    // The sound.
    double sound_frequency_ = 0;
    char station_ = 0;
    long long window_samples_ = 0;  // when filling: the sound's length
    long long placed_ = 0;
    long long data_ = 0;
    double first_time_ = 0;
    int failure_status_ = 0;
    std::string failure_;
    std::vector<archive::FileRecords> records_;
    std::vector<dsp::SampleRun> silent_;
    std::vector<SoundAnchor> anchors_;
    std::vector<std::string> sources_;
};

// Sound samples of a window filled with silence at `frequency`: the places
// from + k / frequency that lie in [from, to).
long long window_sound_samples(const archive::Window& window, double frequency);

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_WINDOW_WALK_H
