// tavoinfo --plot: the second pass over the files, handing every record to a
// sink at its place on the time axis, without keeping any of them.
#ifndef TAVOINFO_REPLAY_H
#define TAVOINFO_REPLAY_H

#include <cstddef>
#include <string>
#include <vector>

#include <zeltra/zeltra.h>

#include "survey.h"
#include "timeline.h"

namespace tavoinfo {

/// Receives the records in file order.  Within one run the records follow
/// one another without a hole; a run ends at each of the reader's gaps (in
/// station-time layouts) and at the end of each file.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    /// File `file` (its index in the reports) is opened by `reader`, before
    /// its first record; files without records are skipped.
    virtual void file_begins(std::size_t file, const Zeltra::ZELTRA& reader) = 0;
    /// A run of `file` starts at axis second `at` and, by the stamps, ends
    /// at `until`.
    virtual void run_begins(std::size_t file, double at, double until) = 0;
    /// The next record, now current in the reader: its samples
    /// reader.current[c][0 .. reader.get_length() - 1] for channels c = 0,
    /// 1, 2, and its stamp.
    virtual void record(const Zeltra::ZELTRA& reader) = 0;
    virtual void run_ends() = 0;
};

/// Reads every file again through the reader library as the survey did
/// (detect with look-ahead, new-style records, no date required in the
/// path) and hands its records to `sink`, splitting runs by the reader's own
/// gap rule (consecutive stamps further apart than one record's length plus
/// 2 s, a stamp almost a day earlier counting as past midnight).  The
/// reader's messages are held back (the survey has shown them already) and
/// its fatal exits are caught.  Returns false with `why` set when a file now
/// fails, or holds other records or gaps than its survey found (it changed
/// between the passes); the sink may then have received part of the data.
bool replay(const std::vector<FileReport>& reports, const Timeline& timeline, RecordSink& sink,
            std::string& why);

}  // namespace tavoinfo

#endif  // TAVOINFO_REPLAY_H
