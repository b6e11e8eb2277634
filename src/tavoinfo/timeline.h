// tavoinfo --plot: where the records of several files go on one time axis,
// worked out from the surveys alone (first pass), so that the drawing pass
// knows the span before it reads a sample.
#ifndef TAVOINFO_TIMELINE_H
#define TAVOINFO_TIMELINE_H

#include <string>
#include <vector>

#include "survey.h"
#include "time_ticks.h"

namespace tavoinfo {

/// A stretch of the axis without data, shaded in the picture.
struct ShadedGap {
    double start = 0;            ///< axis seconds
    double seconds = 0;          ///< length, > 0
    bool between_files = false;  ///< between two files rather than one of the reader's gaps
};

/// A place where data that lie earlier in station time are drawn after the
/// data before them: the stamps stepped back inside a file (one of the
/// reader's gaps of negative length), or a file starts before the previous
/// one ended.  Axis labels after it are later than the stamps by `seconds`.
struct StepBack {
    double at = 0;       ///< axis seconds
    double seconds = 0;  ///< how far the stamps went back, > 0
};

/// The runs of one file: records between two of the reader's gaps follow one
/// another at the nominal record length.
struct FileRuns {
    double record_seconds = 0;       ///< length / frequency
    std::vector<double> run_starts;  ///< axis seconds of each run's first record
    /// Axis seconds where each run ends: where the gap after it begins, or
    /// the last stamp plus one record.  Stamps are whole seconds, so records
    /// laid out at their nominal length may reach a little past it.
    std::vector<double> run_ends;
};

/// The whole axis.
struct Timeline {
    AxisClock clock = AxisClock::Utc;
    double start = 0, end = 0;    ///< axis seconds, end > start
    double frequency = 0;         ///< sampling frequency shared by every file
    std::vector<FileRuns> files;  ///< one per report, in order
    std::vector<ShadedGap> gaps;  ///< in axis order
    std::vector<StepBack> steps;
};

/// Lays the files out one after the other.  When every file has time words
/// and all or none have a date, the axis is station time (UTC or time of
/// day): a run starts at its stamp, the reader's gaps are shaded exactly as
/// the survey lists them, a later file that starts after the previous one
/// ended leaves a shaded gap between them, and data that would fall before
/// data already drawn are moved to follow them (a StepBack).  Otherwise the
/// axis counts elapsed seconds: each file is one run right after the
/// previous one and no gap is shaded.
/// Returns false with `why` set when the files cannot share a picture: no
/// file holds a record, a report carries an error, the sampling frequencies
/// differ or one lies outside 0.001 to 100000 Hz.
bool lay_out(const std::vector<FileReport>& reports, Timeline& timeline, std::string& why);

/// Narrows a station-time axis to the window [from, to): the axis spans the
/// window exactly, shaded gaps and steps are cut to it, and the stretches
/// of the window before the first run and after the last one (the files
/// missing there) are shaded as gaps between files.
void clip_to_window(Timeline& timeline, double from, double to);

}  // namespace tavoinfo

#endif  // TAVOINFO_TIMELINE_H
