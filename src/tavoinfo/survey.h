// tavoinfo: reads one TAVO data file through the reader library and collects
// what it holds.
#ifndef TAVOINFO_SURVEY_H
#define TAVOINFO_SURVEY_H

#include <cstddef>
#include <string>
#include <vector>

#include <zeltra/zeltra.h>

namespace tavoinfo {

/// How a file's records carry their time stamps.
enum class TimeWords {
    None,            ///< old-style file: no time words
    MinutesSeconds,  ///< minutes and seconds from the base hour or from midnight
    UnixTime,        ///< low and high halves of a 32-bit Unix time
};

/// A time gap between two consecutive records, as the reader counted it.
struct Gap {
    /// End of the record before the gap (its stamp plus its nominal
    /// duration), in the same seconds as FileReport::first.
    double start = 0;
    /// Seconds from that end to the stamp of the record after the gap; a
    /// negative length means the stamps stepped back in time.
    double seconds = 0;
    /// Samples per channel before the record after the gap: where the gap
    /// lies in the file's data, records joined.
    unsigned long long position = 0;
};

/// Everything tavoinfo reports about one file.  Fields that could not be
/// read keep their start values; `error` says why reading stopped.
struct FileReport {
    std::string path;
    /// The reader library accepted the file and its header line has a known
    /// form (or the file is old-style); otherwise every field but gzip stays
    /// unknown.
    bool opened = false;
    bool gzip = false;       ///< the file is gzip-compressed
    std::string kind;        ///< "binary" or "text" (empty when not opened)
    std::string header;      ///< header line as the reader took it
    char station = 0;        ///< 0: none
    double frequency = 0;    ///< sampling frequency in Hz
    int gain = -1;           ///< -1: not given
    std::size_t length = 0;  ///< samples per channel in one record
    TimeWords time_words = TimeWords::None;
    unsigned long records = 0;
    /// True when first, last and the gap starts are calendar times in
    /// seconds since the Unix epoch (UTC): the records carry Unix times, or
    /// the path or the header line gives the recording day.  Otherwise they
    /// count seconds from the recording day's midnight.
    bool has_date = false;
    double first = 0;       ///< stamp of the first record (when records > 0)
    double last = 0;        ///< stamp of the last record, past a midnight wrap
    int time_gaps = 0;      ///< the reader's own gap count
    std::vector<Gap> gaps;  ///< one entry per counted gap, in file order
    /// Empty when the file was read to its end; otherwise the reader's last
    /// message (without its "Error: " label), or "not a TAVO data file (no
    /// header line of a known form)".
    std::string error;
    /// The reader's message of the fatal condition that ended the survey,
    /// whole and as the reader said it ("gzopen: ...\nCan't open NAME\n");
    /// empty when none did.
    std::string failure;

    std::size_t samples_per_channel() const { return records * length; }
    /// Nominal duration records x length / frequency in seconds; negative when
    /// the frequency is not positive (unknown).
    double duration() const;
};

/// Receives a surveyed file's records as the survey takes them, for a caller
/// that wants the samples along with the report.
class RecordVisitor {
public:
    virtual ~RecordVisitor() = default;
    /// The file is open and `report`'s header fields are set; no record has
    /// been read yet.
    virtual void opened(const Zeltra::ZELTRA& reader, const FileReport& report) = 0;
    /// The next record: the reader's `current` holds its get_length()
    /// samples per channel; `stamp` is its time as the report counts it
    /// (the seconds of FileReport::first; meaningless without time words).
    virtual void record(const Zeltra::ZELTRA& reader, double stamp) = 0;
};

/// Reads the file at path with the reader library's record stream (look-ahead
/// on, new-style records, no date required in the path) and returns its
/// report.  A file whose header line matches no form (and that is not an
/// old-style file) is not read past its header.  Never ends the process: a
/// fatal error of the library ends only this survey, its message is written
/// to standard error (where the library used to print it) and its last line
/// becomes `error`; the first text
/// record the reader could not parse also sets `error` (and reading goes on
/// as far as the reader goes).  The library's own lines, and the message of
/// a fatal condition of the reader, go to `messages` as the reader says them.
/// A `visitor` sees the file opened and then every record the report counts.
FileReport survey_file(const std::string& path,
                       Zeltra::MessageSink& messages = Zeltra::stderr_sink(),
                       RecordVisitor* visitor = nullptr);

/// Midnight UTC (seconds since the epoch) of the date token of a form-3
/// header line ("date: 2014-03-15", also with '/' or '.' or as 20140315);
/// returns false when the line carries no such date.
bool header_date(const std::string& header, long long& midnight);

}  // namespace tavoinfo

#endif  // TAVOINFO_SURVEY_H
