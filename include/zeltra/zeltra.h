// libzeltra: reader for TAVO station data files.
//
// A TAVO data file holds one header line (sampling frequency, gain and, in
// its newest form, time-word convention, block length, station, date and
// time) followed by records of three channel blocks, stored either as
// little-endian 16-bit words or as lines of decimal numbers, plain or
// gzip-compressed.  `detect` looks at a file and hands back a reader of the
// matching kind; the caller pulls records with `getdata` and reads the
// samples from `current`.
//
// Everything the library says (header echo, file kind, gaps, warnings, debug
// traces) goes to a message sink: the caller's, or by default one that writes
// to standard error, as the library always has; "prints" below means "sends
// to the sink".  A fatal condition
// prints nothing: it throws `Zeltra::Error`, which carries the exit status
// (always 1) and the exact message.  A program that wants the classic
// behaviour (print the message, end the process with the status) catches it
// and calls `report_and_exit`; a survey tool, a test or a fuzz harness keeps
// going.  Objects the library owns release their files while the error
// travels; a reader under construction is not handed out.
#ifndef ZELTRA_ZELTRA_H
#define ZELTRA_ZELTRA_H

#include <array>
#include <cstddef>
#include <ctime>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

namespace Zeltra {

/// Samples of one record, one vector per channel (index 0 to 2).
using atype = std::array<std::vector<double>, 3>;

/// Line-end bytes looked for by detection and the text encoding.
enum { NL = 10, CR = 13 };

/// Debug switch of the whole library; 0 at start.  While it is non-zero the
/// library writes "Debug:src/libzeltra/zeltra(<line>) <text>" traces to
/// standard error (the library's trace name, whichever of its sources
/// writes the trace; <line> is that source's line).
extern int zeltra_debug;

/// Identification strings.  shortVersion has the form "Zeltra Ver: 1.71".
extern const char* shortVersion;
extern const char* Version;
extern const char* Copyright;
extern const char* Bugs;

/// A fatal condition of the library: the status a program ends with (1) and
/// the text it prints on standard error first, line ends included (several
/// lines for some conditions, e.g. "gzopen: <system text>\nCan't open
/// <name>\n").  what() returns the same text.
class Error : public std::exception {
public:
    Error(int status, std::string message) : status_(status), message_(std::move(message)) {}
    int status() const noexcept { return status_; }
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    int status_;
    std::string message_;
};

/// The library's fatal exit, taken by the program that caught `e`: writes
/// e.message() to standard error, flushes standard error and standard
/// output (and every C stream) and ends the process with e.status().
[[noreturn]] void report_and_exit(const Error& e);

/// Calls f() and returns its result; an Error it throws is reported and
/// ends the process right there, before anything the caller owns is
/// released (a reader's gap summary, for one, is never printed after it).
template <class F>
auto exit_on_error(F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const Error& e) {
        report_and_exit(e);
    }
}

/// What a message of the library is about.
enum class MessageKind {
    INFO,     ///< what a file is: its path, kind and header line
    WARNING,  ///< something about the data: gaps, an unknown header form, a bad text record
    DEBUG     ///< a debug trace (only while zeltra_debug is non-zero)
};

/// Receives, in order, every text the library would print.  A reader keeps a
/// reference to the sink it was given, so the sink must outlive the reader.
/// A sink used by readers on several threads must be safe for that itself.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    /// One message, its line ends included (some messages hold several lines;
    /// a debug trace is one message).
    virtual void message(MessageKind kind, const std::string& text) = 0;
    /// Called before each record is read (getdata): the moment the library
    /// has always flushed its output.
    virtual void flush() {}
};

/// The default sink: writes every message to std::cerr (flushing C++ and C
/// standard output first, through std::cerr's tie) and flushes std::cerr in
/// flush().
MessageSink& stderr_sink();

/// A sink that drops every message (for reading a file a second time).
MessageSink& null_sink();

/// Switches the whole process to UTC (TZ=UTC through putenv, then tzset),
/// once per process: the first call looks at tzname[0] and, when it is not
/// "UTC", sends "WARNING: setting TZ=UTC\n" to `sink` and switches; every
/// later call, from any thread, does nothing.  The environment and the time
/// zone are process-wide, so a program that reads files on several threads
/// calls this before it starts them; every reader's constructor calls it
/// with its own sink, and no reader touches the environment afterwards.
void use_utc(MessageSink& sink);

/// Fields that a header-line recogniser stores through.  The record binds
/// references only; the bound objects must outlive it.
struct arguments {
    arguments(double& frequency_, int& gain_, char& station_, char& c_, int& len_, bool& unixtime_,
              std::vector<char>& date_from_comment_, std::vector<char>& time_from_comment_);

    double& frequency;                     ///< sampling frequency in Hz
    int& gain;                             ///< recording gain
    char& station;                         ///< station letter
    char& c;                               ///< time-word letter of form 3 ('S' or 'U')
    int& len;                              ///< block length declared by form 3
    bool& unixtime;                        ///< time words form a 32-bit Unix time
    std::vector<char>& date_from_comment;  ///< date token, NUL-terminated
    std::vector<char>& time_from_comment;  ///< time token, NUL-terminated
};

/// Header-line recognisers, tried in this order.  Each returns true when it
/// accepts `comment` (a NUL-terminated line without its terminator) and
/// stores the fields it converted through `arg`; fields after the first
/// mismatch keep their values.
///  - type1 "!Tidserier <freq> <gain>": accepts at least the frequency; prints
///    "valid_comment_type1: <line>\n".
///  - type2 "!Tidserier  sampfrek: <freq> gain: <gain>": likewise, prints
///    "valid_comment_type2: <line>\n".
///  - type3 "!<c><len>Tidserier sampfrek: <freq> gain: <gain> station: <s>
///    date: <token> time: <token>": needs three fields; prints
///    "WARNING: nonstandard length: <len>\n" for a length other than 128 and
///    512, sets unixtime to (c == 'U') and prints
///    "valid_comment_type3: <line>\n"; accepts only when c is 'U' or 'S'.
///    Tokens keep at most 255 characters and never more than their buffer
///    holds (always NUL-terminated when the buffer is not empty).
///  - type4 and type5 accept nothing and print nothing.
/// A line that ends before the first conversion is rejected silently.
/// The lines go to `sink` (INFO; the nonstandard length is a WARNING).
bool valid_comment_type1(const char* comment, arguments& arg, MessageSink& sink = stderr_sink());
bool valid_comment_type2(const char* comment, arguments& arg, MessageSink& sink = stderr_sink());
bool valid_comment_type3(const char* comment, arguments& arg, MessageSink& sink = stderr_sink());
bool valid_comment_type4(const char* comment, arguments& arg, MessageSink& sink = stderr_sink());
bool valid_comment_type5(const char* comment, arguments& arg, MessageSink& sink = stderr_sink());

/// True exactly when c is CR (13) or NL (10).
bool is_eol(char c);

/// Abstract reader of one open TAVO data file.  Objects are created by
/// `detect`, owned by the caller and deleted through a ZELTRA pointer.
/// "Throws Error(1, text)" below means: raises Error with status 1 and that
/// message, having printed nothing of it.
class ZELTRA {
public:
    enum ZELTRA_FILETYPE { FT_OLD = 0, FT_NEW = 1 };
    enum { LINELEN = 256, SECS_PER_DAY = 86400, FBUFSIZE = 51200, Max = 514 };
    /// How an encoding stores its header line, and the name `type` reports.
    struct HeaderForm {
        const char* type;  ///< "binary" or "text"
        int terminator;    ///< byte that ends the line (consumed, not stored)
        bool drop_cr;      ///< carriage returns inside the line are dropped
    };

    /// Switches the process to UTC once (use_utc: "WARNING: setting
    /// TZ=UTC\n" when the standard-time name is not "UTC"), takes start of
    /// day, time base and station from the path (printing the path and base
    /// name twice, one pair per step) and opens the file.  Reads nothing from
    /// it.  Everything it says goes to `sink`, which must outlive the reader.
    /// Throws Error(1, ...) when a buffer allocation throws ("Standard
    /// exception: <what>\n"), when the path has no date while fail_parse_path
    /// is true ("Can't parse date & time from path (<name>) & fail_parse_path
    /// == 1\n") and when the file cannot be opened ("gzopen: <system text>\n"
    /// when errno is set, then "Can't open <name>\n").
    ZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path,
           MessageSink& sink = stderr_sink());
    ZELTRA(const ZELTRA&) = delete;
    ZELTRA& operator=(const ZELTRA&) = delete;

protected:
    /// The constructor the encodings share: the public constructor, then
    /// "File: <name> Type:<type>\n", the header line read as `form` says and
    /// its fields parsed.  Throws what the public constructor and
    /// read_header_line throw.
    ZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path,
           const HeaderForm& form, MessageSink& sink);

    /// Reads the header line into firstline and sets length (128 or 512).
    /// Returns 1 when the file has a header line, 0 when it has none.
    virtual int readcomment() = 0;

private:
    /// Decodes one record into nn[micorder[i]][0 .. length-1] and, in a
    /// new-style file, its time words into rtime[0], rtime[1].  Returns 0 for
    /// a record and -1 at the end of the data (or, in text files, for a
    /// record that cannot be parsed).
    virtual int read(atype& nn, int* rtime) = 0;

public:
    /// Prints gap_summary() and closes the file.
    virtual ~ZELTRA();
    /// "TIMEGAP in data\n" after one gap, "Warning: TIMEGAPs in data\n" after
    /// more, "" when no gap has been counted.
    const char* gap_summary() const;
    /// "binary" or "text".
    virtual const char* type() = 0;
    virtual bool is_binary() const = 0;

    /// Flushes standard error and makes the next record available at the
    /// start of `current` (joined with the following record when they are
    /// contiguous in time).  Returns 0 for a record, -1 when the data are
    /// exhausted (every later call returns -1 too).  Throws the encodings'
    /// Error (stream errors, a damaged gzip stream, truncated binary records,
    /// over-long text lines); the reader stays usable for its accessors and
    /// its destructor.
    int getdata();

    /// Time stamp of the time-word pair time[t], time[t+1]: a Unix time
    /// (high word * 65536 + low word) when the header declares one, else
    /// start of day + time base (minute word at most 60) + 60 * minutes + seconds.
    time_t get_tavotime(int t) const;
    /// Time stamp of the look-ahead record, get_tavotime(2).
    time_t get_tavotimenext();

    /// Sets the channel that receives block (or data line) 0, 1 and 2.
    /// Indices above 2 are refused: micorder then keeps its value.
    void set_micorder(unsigned int m1, unsigned int m2, unsigned int m3);
    void set_oldfile() { filetype = FT_OLD; }
    bool is_newfile() const { return filetype == FT_NEW; }
    size_t get_length() const { return length; }
    double get_frequency() const { return frequency; }
    int get_gain() const { return gain; }
    char get_station() const { return station; }
    /// True when the records carry 512-sample (extended) blocks.
    bool extended_data() const;
    /// True when the header declares 32-bit Unix times ('U' in form 3).
    bool is_unixtime() const { return unixtime; }
    /// Date and time tokens of a form-3 header line; empty when none.
    const char* get_date_from_comment() const { return date_from_comment.data(); }
    const char* get_time_from_comment() const { return time_from_comment.data(); }
    /// Midnight UTC of the recording day taken from the path; 0 when the path
    /// gives none.
    time_t get_start_of_day() const { return start_of_day; }
    /// Seconds from midnight to the base hour taken from the file name.
    time_t get_time_base() const { return time_base; }
    /// Time gaps counted so far (each look-ahead record that could not be joined).
    int get_timegaps() const { return timegaps; }
    /// True while a look-ahead record waits in `next`.
    bool holds_next() const { return is_next; }
    /// True when the last getdata joined the look-ahead record to `current`,
    /// which then holds 2 * get_length() samples per channel.
    bool uses_next() const { return use_next; }
    /// The text printed for the most recent text record that could not be
    /// parsed ("Failed to read value <n> of line:\n<line>\n"); empty when
    /// there was none.
    const std::string& get_record_failure() const { return record_failure; }

protected:
    /// Sets frequency, gain, station, unixtime and the date and time tokens
    /// from a header line.  Returns true when a form matched; otherwise
    /// prints "Invalid comment line\nCouldn't determine sampling frequency\n
    /// defaulting to 18.0Hz\n", sets the frequency to 18.0 and returns false.
    bool parse_comment(const char* comment);
    /// Converts a stored little-endian 16-bit word to host order.
    short le16toh16(short w);
    /// Applies the record-length rule to firstline: length becomes 512 or
    /// 128 as the line declares, 128 in every other case.
    void set_length_from_firstline();
    /// The header reading both encodings share: when the file starts with
    /// 'T' or '!', reads the line up to `terminator` (consumed, not stored)
    /// into firstline, dropping CRs when `drop_cr`, switches to FT_OLD for
    /// 'T', applies the record-length rule and returns 1; otherwise pushes
    /// the byte back and returns 0. End of file or a stream error throws the
    /// stream error (zlib's message, or "gzgetc:<system text>\n"); a line
    /// over FBUFSIZE bytes throws Error(1, "Error: <name>: header line
    /// longer than 51200 bytes\n").
    int read_header_line(int terminator, bool drop_cr);
    /// Throws Error(1, "Error: <name>: <what>\n").
    [[noreturn]] void fail(const char* what) const;
    /// Name the reader was opened with.
    const std::string& file_name() const { return filename; }
    /// Where the reader's messages go.
    MessageSink& messages() const { return sink; }

    /// Owner of the zlib handle; converts to gzFile for the gz calls.
    class GzHandle {
    public:
        GzHandle() = default;
        GzHandle(const GzHandle&) = delete;
        GzHandle& operator=(const GzHandle&) = delete;
        ~GzHandle() { close(); }
        GzHandle& operator=(gzFile h)
        {
            close();
            handle = h;
            return *this;
        }
        operator gzFile() const { return handle; }
        /// Closes an open handle; returns whether one was open.
        bool close()
        {
            if (handle == nullptr)
                return false;
            gzclose(handle);
            handle = nullptr;
            return true;
        }

    private:
        gzFile handle = nullptr;
    };

    std::vector<char> lin;
    size_t length;
    bool concat;
    GzHandle gz;
    bool is_next;
    bool use_next;
    ZELTRA_FILETYPE filetype;
    unsigned int micorder[3];
    double frequency;
    int timegaps;
    bool unixtime;
    int gain;
    char station;
    std::vector<char> date_from_comment;
    std::vector<char> time_from_comment;
    std::string record_failure;

private:
    int read();
    int readnext(atype& nn);
    bool time_is_ok();
    bool can_we_use_next();
    void copy_next_to_current();
    void extend_current();
    bool set_time_start_of_day(const char* fname);
    void set_time_base(const char* fname);

    time_t start_of_day;
    time_t time_base;
    std::string filename;
    MessageSink& sink;

public:
    int time[4];            ///< time words of current ([0], [1]) and next ([2], [3])
    std::string firstline;  ///< header line as read
    atype current;          ///< samples of the current record (1028 per channel)
    atype next;             ///< samples of the look-ahead record (1028 per channel)
};

/// Reader of 16-bit little-endian binary files.
class BinaryZELTRA : public ZELTRA {
public:
    /// Constructs the base, prints "File: <name> Type:binary\n", reads and
    /// parses the header line (up to the first carriage return; line feeds
    /// are kept).  Throws what ZELTRA's constructor and read_header_line throw.
    BinaryZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path,
                 MessageSink& sink = stderr_sink());
    int readcomment() override;
    /// Returns 0 for a record, -1 when the file ends at a block boundary.
    /// A file that ends inside a block throws Error(1, "Error: <name>: file
    /// ends inside a record\n"); a read error throws Error(1, zlib's message
    /// or "gzread: <system text>", then "\n").
    int read(atype& nn, int* rtime) override;
    ~BinaryZELTRA() override = default;
    const char* type() override { return "binary"; }
    bool is_binary() const override { return true; }
};

/// Reader of text files (three lines of decimal numbers per record).
class AsciiZELTRA : public ZELTRA {
public:
    /// As BinaryZELTRA, printing "Type:text"; the header line ends at a line
    /// feed and its carriage returns are dropped.
    AsciiZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path,
                MessageSink& sink = stderr_sink());
    int readcomment() override;
    /// Returns 0 for a record; -1 at the end of the file, when time values
    /// are missing (silently) or when a line has fewer than `length` samples
    /// (prints "Failed to read value <n> of line:\n<line>\n" and keeps that
    /// text for get_record_failure).  A line of 51199 or more bytes without
    /// its line feed throws Error(1, "Error: Line to long\n").
    int read(atype& nn, int* rtime) override;
    ~AsciiZELTRA() override = default;
    const char* type() override { return "text"; }
    bool is_binary() const override { return false; }
};

/// The step from the stamp of one record to the stamp of the record after it,
/// as the gap rule reads them: later - earlier, plus SECS_PER_DAY when that
/// lies below -86000 s (a stamp almost a day earlier lies past midnight on
/// the next day).
time_t stamp_step(time_t earlier, time_t later);

/// The gap rule between two consecutive records: true when |step| exceeds
/// the earlier record's nominal duration (length / frequency) by more than
/// 2.0 s.  A frequency of 0 never gives a gap.
bool is_time_gap(time_t step, size_t length, double frequency);

/// Opens `fname`, classifies it from its first 256 bytes (after
/// decompression) and returns a new reader of the matching kind, which the
/// caller owns.  Never returns null.  Sends the recognisers' lines for the
/// first line and "Invalid comment line..." when no form matches to `sink`,
/// and hands `sink` to the reader, which must not outlive it.
/// Throws Error(1, ...) for a named pipe ("Error: <name>: not a regular
/// file\n"); a file that cannot be opened ("gzopen:<system text>\n" when
/// errno is set, then "Can't open <name>\n"); a read error or a damaged gzip
/// stream (zlib's message, "<name>: unexpected end of file\n" for one cut
/// short); fewer than 256 bytes ("Error: <name>: file too short to be a data
/// file\n"); no CR or LF in the first 255 bytes ("Error: <name>: no end of
/// the first line in its first 255 bytes\n"); and what the reader's
/// constructor throws.
ZELTRA* detect(const char* fname, bool concat, ZELTRA::ZELTRA_FILETYPE filetype,
               bool fail_parse_path, MessageSink& sink = stderr_sink());

}  // namespace Zeltra

#endif  // ZELTRA_ZELTRA_H
