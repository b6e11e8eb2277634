// libtavo_archive: time windows over a station's archive of TAVO data files.
//
// A station's archive is a folder tree laid out by the path convention
//
//     ROOT/YYYY/MM/YYYYMMDD/<station><last digit of YYYY><MM><DD><slot>.dat[.gz]
//
// where slot 00..47 counts half hours of the UTC day (slot = 2 x hour + 1 from
// minute 30 on).  A file's name says only where it starts: it may hold half an
// hour or several hours (even days), and its records carry the time stamps.
// This library turns a request "station k from T1 to T2" into
//
//   1. a Window: the options read and checked (read_window), every refusal
//      an exact one-line text;
//   2. the files to read, in time order (find_files);
//   3. the station time of every record as the files are read (RecordClock),
//      collected per file (FileRecords, or read_records for a whole file);
//   4. the coverage of the window: the stretches without data, the covered
//      percent and the half-hour slots without a file (measure_coverage),
//      and the warning lines a converter prints for them;
//   5. the samples of a run of records that lie in the window
//      (samples_in_window) and the base name of a window's output files.
//
// Every time is UTC, in seconds since 1970-01-01T00:00:00Z, computed by
// calendar arithmetic: nothing here reads or changes the process's time zone.
// Nothing here prints or ends the process: refusals come back as the exact
// text a program prints on standard error ("Error: ...\n"), warnings as the
// exact lines ("Warning: ...\n").  read_records opens files through
// Zeltra::detect; the reader's own lines (path, file kind, header
// recognition, gap summary) go to the message sink it is given.
#ifndef TAVO_ARCHIVE_ARCHIVE_H
#define TAVO_ARCHIVE_ARCHIVE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <zeltra/zeltra.h>

namespace tavo::archive {

// ---- Times ------------------------------------------------------------------

/// Seconds of one half-hour slot, and of one day.
constexpr std::int64_t SLOT_SECONDS = 1800;
constexpr std::int64_t DAY_SECONDS = 86400;

/// Reads a UTC time in one of the ISO 8601 forms
///     2014-03-15T06:00:00Z   2014-03-15T06:00:00   2014-03-15T06:00Z
///     2014-03-15T06:00       2014-03-15 (midnight)
/// (a four-digit year 0000..9999, month 01..12, a day that the month has,
/// hour 00..23, minute and second 00..59).  Window edges are whole seconds,
/// as the records' stamps are: a fraction of a second, a time-zone offset,
/// lower-case letters, blanks or any other character refuse the text.
/// Returns true and sets `seconds`; false leaves it unchanged.
bool parse_time(const std::string& text, std::int64_t& seconds);

/// `seconds` as "2014-03-15T06:00:00Z" (a year past 9999 gets more digits,
/// one before year 0 a minus sign).
std::string format_time(std::int64_t seconds);

/// Reads a duration: a whole number of 1 to 9 digits, greater than 0, and
/// one unit letter: s (seconds), m (minutes), h (hours) or d (days), as
/// "72h", "30m", "90s", "3d".  Fractions ("1.5h"), signs, blanks, several
/// units and upper-case units are refused: write 90m for one and a half
/// hours.  Returns true and sets `seconds`; false leaves it unchanged.
bool parse_duration(const std::string& text, std::int64_t& seconds);

/// Midnight UTC of a date token of a form-3 header line ("2014-03-15", also
/// with '/' or '.' as both separators, or "20140315").  Returns false, and
/// leaves `midnight` unchanged, when the token is none of these or names
/// month 0 or above 12, or day 0 or above 31.
bool parse_header_date(const char* token, std::int64_t& midnight);

// ---- The window ---------------------------------------------------------------

/// A stretch [from, to) of station time, and where to look for it.
struct Window {
    /// Archive folder as given; empty when the files are named on the
    /// command line instead (they are trimmed to the window the same way).
    std::string root;
    /// Station letter of the archive's file names; 0 without an archive.
    char station = 0;
    std::int64_t from = 0;  ///< first second of the window
    std::int64_t to = 0;    ///< first second after it (--to is exclusive)

    bool has_archive() const { return !root.empty(); }
    std::int64_t seconds() const { return to - from; }
};

/// The window options as a program's option scanner found them: the value
/// text of each one given, std::nullopt for each one absent.
struct WindowRequest {
    std::optional<std::string> archive, station, from, to, duration;
    /// File names stand on the command line too.
    bool files_named = false;

    /// True when any of the five options is given: the program is asked for
    /// a window and read_window decides whether the request holds together.
    bool any() const { return archive || station || from || to || duration; }
};

/// Checks a request and fills `window`.  Returns "" on success; otherwise the
/// first of these refusals that applies, checked in this order, and leaves
/// `window` unchanged:
///   "Error: --archive needs --station and --from\n"     --archive without either
///   "Error: --station goes with --archive\n"            --station alone
///   "Error: --to needs --from\n"                        --to without --from
///   "Error: --duration needs --from\n"                  --duration without --from
///   "Error: --from needs --to or --duration\n"          neither end given
///   "Error: --to and --duration cannot be given together\n"
///   "Error: --archive finds its files itself; name no files with it\n"
///   "Error: --archive needs a folder name\n"            an empty value
///   "Error: --station needs one letter or digit, not \"TEXT\"\n"
///   "Error: cannot read the time \"TEXT\" (use 2014-03-15T06:00:00Z)\n"
///                                                       --from, then --to
///   "Error: cannot read the duration \"TEXT\" (use 72h, 30m, 90s or 3d)\n"
///   "Error: --from must be before --to\n"               to <= from
/// TEXT is the value as given.  With --duration, to = from + duration.
/// Call it when request.any(); a request without any option gives the
/// "--from needs" refusal.
std::string read_window(const WindowRequest& request, Window& window);

/// "Error: no data of station k between FROM and TO under ROOT\n", the window's
/// edges as format_time writes them; "of station k" and "under ROOT" are left
/// out for a window without an archive.
std::string no_data_error(const Window& window);

/// Base name of a window's output files: the station letter and the window's
/// start, "k20140315T060000" (a program builds "a20140315T060000.wav" and the
/// like from it by its usual rule).
std::string window_base_name(char station, std::int64_t from);

// ---- Finding the files ------------------------------------------------------

/// How many day folders before the day of --from are searched for the file
/// that starts last before --from: the day of --from itself and two more, so a
/// file of up to two days (the longest a station writes) that started on an
/// earlier day still reaches the window.  A file that starts earlier still is
/// not looked for.
constexpr int LOOK_BACK_DAYS = 2;

/// A file of the archive to read.
struct ArchiveFile {
    std::string path;             ///< ROOT/YYYY/MM/YYYYMMDD/NAME
    std::int64_t slot_start = 0;  ///< where its name says it starts
    /// A second file of the same slot that is not read (the ".dat.gz" twin
    /// of a plain ".dat", see find_files); empty when there is none.
    std::string shadowed;
};

/// What find_files found.
struct Listing {
    std::vector<ArchiveFile> files;  ///< in time order
    /// "" when every folder could be listed; otherwise
    /// "Error: cannot read the folder PATH (SYSTEM TEXT)\n", and files is empty.
    std::string error;
};

/// Lists the files of window.station that the window needs, by name alone
/// (binary or text, plain or gzip: the reader tells them apart): every file
/// whose slot starts inside [from, to), and before them the file that starts
/// last before `from`, in the day folder of `from` or in up to LOOK_BACK_DAYS
/// day folders before it (across month and year folders).  Only regular files
/// (or links to them) whose name matches the folders they lie in are taken:
/// the station letter exactly, the year digit, month and day of the folders,
/// slot 00..47, the extension ".dat" or ".dat.gz" exactly.  Folders that do
/// not exist hold no files; the tree is walked folder by folder, so the time
/// taken follows what the archive holds, not the window's length.  When a
/// slot has both NAME.dat and NAME.dat.gz, the plain file is read and the
/// other is named in `shadowed`: a plain file beside its compressed copy is
/// the original, the copy may be one that is still being written.
/// Requires window.has_archive().  Prints nothing.
Listing find_files(const Window& window);

/// Where the file of a slot would lie: ROOT/YYYY/MM/YYYYMMDD/k4031522.dat.
std::string slot_path(const std::string& root, char station, std::int64_t slot_start);

/// "Warning: both PATH and SHADOWED exist; reading PATH\n", or "" when
/// nothing is shadowed.
std::string shadow_warning(const ArchiveFile& file);

// ---- Station time of the records ----------------------------------------------

/// The station time of each record of a file as the converter reads it: the
/// reader's stamp (get_tavotime) on the day the path gives, or on the date of
/// the header line when the path gives none (minute-and-second stamps), or
/// the Unix time the record carries; a stamp almost a day before the one
/// before it (Zeltra::stamp_step) lies past midnight, so the time runs on into
/// the next day.  One object follows one file at a time.
class RecordClock {
public:
    /// A new file, whose reader `z` has read its header line.  Returns "" when
    /// its records can be placed in time; otherwise the refusal
    ///   "Error: NAME has no time stamps and cannot be placed in the window\n"
    ///   (an old-style file),
    ///   "Error: NAME gives no date and cannot be placed in the window\n"
    ///   (minute-and-second stamps, and neither the path nor the header line
    ///   gives the day),
    ///   "Error: NAME has no sampling frequency and cannot be placed in the
    ///   window\n" (a frequency that is not a positive number);
    /// the clock is then not ready for the file's records.
    std::string begin_file(const Zeltra::ZELTRA& z, const std::string& name);

    /// Station time of the record now at the start of z.current, in seconds
    /// since the epoch.  Call it once per record, in reading order, after a
    /// begin_file that returned "".
    std::int64_t stamp(const Zeltra::ZELTRA& z);

    /// Nominal duration of one record of the current file: length / frequency.
    double record_seconds() const { return record_seconds_; }

private:
    std::int64_t date_offset_ = 0;
    double record_seconds_ = 0;
    bool have_last_ = false;
    std::int64_t last_raw_ = 0;
    std::int64_t last_time_ = 0;
};

// ---- Coverage ---------------------------------------------------------------

/// A stretch [start, end) of station time in seconds since the epoch; for a
/// record, start is its stamp and end = start + length / frequency.
struct Span {
    double start = 0;
    double end = 0;
};

/// The reader's gap rule (Zeltra::is_time_gap) in terms of spans: records
/// follow each other without a gap when the later one starts at most this
/// many seconds after the earlier one ends.  The window's edges are held to
/// the same rule: data that start at most this long after `from`, or end at
/// most this long before `to`, leave no stretch without data there.
constexpr double GAP_SLACK = 2.0;

/// What the records of one file give a window.  Memory stays bounded by the
/// gaps, not by the number of records.
struct FileRecords {
    std::string path;
    unsigned long records_read = 0;  ///< records the file delivered
    unsigned long records = 0;       ///< of them, those that overlap the window
    /// The records that overlap the window, merged into runs without a gap
    /// (a record that starts more than GAP_SLACK after the run's end, or
    /// before the run's start, opens a new run), in reading order.  They
    /// measure coverage only: a run here starts at the first record that
    /// overlaps the window, so a converter that times samples from a run's
    /// first stamp (samples_in_window) keeps its own runs, from the first
    /// record after a gap by the reader's rule, wherever it lies.
    std::vector<Span> runs;
    /// "" when the file was read to its end; otherwise what stopped it: the
    /// reader's fatal message (Zeltra::Error::message()) or a refusal of
    /// RecordClock::begin_file.  The records before it count (with
    /// read_records, also the look-ahead record that the reader had read
    /// whole before the read that failed).
    std::string error;

    /// Takes one record of the file, in reading order.
    void add(const Window& window, const Span& record);
};

/// Reads the whole file at `path` through the reader library (detect with
/// look-ahead on, new-style records, no date required in the path: as the
/// converter reads), places each record with a RecordClock and returns what
/// it gives `window`.  Never throws for the file's faults: a reader error or
/// a clock refusal ends the reading and becomes `error`.  The reader writes
/// its own lines to standard error.
FileRecords read_records(const std::string& path, const Window& window,
                         Zeltra::MessageSink& messages = Zeltra::stderr_sink());

/// A stretch of the window without data: from the end of the last record
/// before it (or the window's start) to the start of the first record after
/// it (or the window's end).
struct NoData {
    double from = 0;
    double to = 0;
    /// The edges as shown: rounded to the nearest whole second (halves up).
    std::int64_t shown_from() const;
    std::int64_t shown_to() const;
    /// shown_to() - shown_from(), so that a line adds up.
    std::int64_t shown_seconds() const;
};

/// Consecutive half-hour slots of a window.
struct SlotRun {
    std::int64_t start = 0;  ///< start of the first slot
    std::int64_t count = 0;  ///< slots in the run, at least 1
    std::int64_t end() const { return start + count * SLOT_SECONDS; }
};

/// The coverage of a window.  Its size follows the data and the files, not
/// the window's length: the missing slots come as runs.
struct Coverage {
    std::int64_t window_seconds = 0;
    unsigned long records = 0;    ///< records overlapping the window, all files
    std::vector<NoData> no_data;  ///< every stretch longer than GAP_SLACK, in time order
    /// 100 x (window - the stretches' exact lengths) / window: stretches of up
    /// to GAP_SLACK (the rounding of whole-second stamps) count as covered.
    double covered_percent = 0;
    /// Where files of the archive are missing: the window's half-hour slots
    /// (those that start in [from rounded down to a slot, to)) that no file is
    /// named for and of which the records cover less than half (of the part
    /// inside the window), as runs of consecutive slots in time order.  A
    /// file that holds several hours covers the slots after its own; the
    /// last seconds of a record that reach into a slot do not.
    std::vector<SlotRun> missing_slots;

    /// The slots of all runs of missing_slots.
    std::int64_t missing_slot_count() const;
};

/// Measures the window's coverage by the runs of `files` (in any order;
/// overlapping runs are merged).  `named_slots`: the slot starts the files
/// are named for (empty when the files do not follow the path convention;
/// then every slot that records cover less than half counts as missing).
Coverage measure_coverage(const Window& window, const std::vector<FileRecords>& files,
                          const std::vector<std::int64_t>& named_slots);

/// "from 2014-03-16T10:00:04Z to 2014-03-16T10:30:21Z (1817 s)": a stretch
/// as the report and the warning show it.
std::string no_data_text(const NoData& stretch);

/// The warning lines of a window's stretches without data, in order:
/// "Warning: no data " + no_data_text + "\n" for the first `most` ones, then
/// "Warning: and N more stretches without data\n" when there are N more.
std::string no_data_warnings(const std::vector<NoData>& stretches, std::size_t most = 10);

/// A percentage with two decimals cut (not rounded), so that "100.00" means
/// nothing is missing: 99.3149 gives "99.31", 99.999 gives "99.99".
std::string percent_text(double percent);

// ---- Trimming ------------------------------------------------------------------

/// Samples [begin, end) of a run: indices counted from the run's first sample.
struct SampleRange {
    long long begin = 0;
    long long end = 0;
};

/// The samples of a run that lie in the window.  Within a run of records
/// without a gap, sample i lies at run_start + i / frequency; of the samples
/// first .. first + count - 1 (one record, say) this returns those with
/// from <= time < to, an empty range (begin == end) when none.  A time within
/// a millionth of a sample of an edge counts as on it.  frequency > 0.
SampleRange samples_in_window(double run_start, double frequency, long long first, long long count,
                              const Window& window);

}  // namespace tavo::archive

#endif  // TAVO_ARCHIVE_ARCHIVE_H
