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
// Everything the library prints goes to standard error.  Fatal conditions
// print their message and end the process through `fatal_exit`, whose
// behaviour a test or fuzz harness may replace with
// `set_fatal_exit_handler`.  Every fatal status is 1.
#ifndef ZELTRA_ZELTRA_H
#define ZELTRA_ZELTRA_H

#include <array>
#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include <zlib.h>

namespace Zeltra {

/// Samples of one record, one vector per channel (index 0 to 2).
using atype = std::array<std::vector<double>, 3>;

/// Line-end bytes looked for by detection and the text encoding.
enum { NL = 10, CR = 13 };

/// Debug switch of the whole library; 0 at start.  While it is non-zero the
/// library writes "Debug:src/libzeltra/zeltra(<line>) <text>" traces to
/// standard error.
extern int zeltra_debug;

/// Identification strings.  shortVersion has the form "Zeltra Ver: 1.71".
extern const char* shortVersion;
extern const char* Version;
extern const char* Copyright;
extern const char* Bugs;

/// Ends the process with `status` after flushing the output streams.  When a
/// handler has been installed it is called first; a handler is expected not
/// to return (it throws or jumps away).  Should it return anyway the process
/// still ends.
[[noreturn]] void fatal_exit(int status);

/// Installs the function that `fatal_exit` calls (nullptr restores the
/// default: flush and exit).  The handler must not return.
void set_fatal_exit_handler(void (*handler)(int status));

/// Fields that a header-line recogniser stores through.  The record binds
/// references only; the bound objects must outlive it.
struct arguments {
    arguments(double& frequency_, int& gain_, char& station_, char& c_, int& len_,
              bool& unixtime_, std::vector<char>& date_from_comment_,
              std::vector<char>& time_from_comment_);

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
bool valid_comment_type1(const char* comment, arguments& arg);
bool valid_comment_type2(const char* comment, arguments& arg);
bool valid_comment_type3(const char* comment, arguments& arg);
bool valid_comment_type4(const char* comment, arguments& arg);
bool valid_comment_type5(const char* comment, arguments& arg);

/// True exactly when c is CR (13) or NL (10).
bool is_eol(char c);

/// Abstract reader of one open TAVO data file.  Objects are created by
/// `detect`, owned by the caller and deleted through a ZELTRA pointer.
class ZELTRA {
public:
    enum ZELTRA_FILETYPE { FT_OLD = 0, FT_NEW = 1 };
    enum { LINELEN = 256, SECS_PER_DAY = 86400, FBUFSIZE = 51200, Max = 514 };

    /// Switches the process to UTC once (printing "WARNING: setting TZ=UTC\n"
    /// when the standard-time name is not "UTC"), takes start of day, time
    /// base and station from the path (printing the path and base name twice,
    /// one pair per step) and opens the file.  Reads nothing from it.
    /// Fatal (status 1): a buffer allocation throws ("Standard exception: ..."),
    /// no date in the path while fail_parse_path is true ("Can't parse date &
    /// time from path (<name>) & fail_parse_path == 1\n"), the file cannot be
    /// opened (perror "gzopen" when errno is set, then "Can't open <name>\n").
    ZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path);
    ZELTRA(const ZELTRA&) = delete;
    ZELTRA& operator=(const ZELTRA&) = delete;

protected:
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
    /// Prints "TIMEGAP in data\n" for one gap, "Warning: TIMEGAPs in data\n"
    /// for more, and closes the file.
    virtual ~ZELTRA();
    /// "binary" or "text".
    virtual const char* type() = 0;
    virtual bool is_binary() const = 0;

    /// Flushes standard error and makes the next record available at the
    /// start of `current` (joined with the following record when they are
    /// contiguous in time).  Returns 0 for a record, -1 when the data are
    /// exhausted (every later call returns -1 too).  Fatal exits of the
    /// encodings (stream errors, a damaged gzip stream, truncated binary records, over-long text
    /// lines) end the process with status 1.
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
    void set_newfile() { filetype = FT_NEW; }
    void set_oldfile() { filetype = FT_OLD; }
    bool is_newfile() const { return filetype == FT_NEW; }
    size_t get_length() const { return length; }
    double get_frequency() const { return frequency; }
    int get_gain() const { return gain; }
    char get_station() const { return station; }
    /// True when the records carry 512-sample (extended) blocks.
    bool extended_data() const;

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
    /// the byte back and returns 0. End of file or a stream error takes the
    /// stream-error exit; a line over FBUFSIZE bytes ends the process with
    /// "Error: <name>: header line longer than 51200 bytes\n".
    int read_header_line(int terminator, bool drop_cr);
    /// Ends the process with "Error: <name>: <what>\n" on standard error,
    /// status 1.
    [[noreturn]] void fail(const char* what) const;
    /// Name the reader was opened with.
    const std::string& file_name() const { return filename; }

    /// Owner of the zlib handle; converts to gzFile for the gz calls.
    class GzHandle {
    public:
        GzHandle() = default;
        GzHandle(const GzHandle&) = delete;
        GzHandle& operator=(const GzHandle&) = delete;
        ~GzHandle() { close(); }
        GzHandle& operator=(gzFile h) { close(); handle = h; return *this; }
        operator gzFile() const { return handle; }
        /// Closes an open handle; returns whether one was open.
        bool close() {
            if (handle == nullptr) return false;
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
    /// parses the header line.  A file that ends inside its header line ends
    /// the process through the stream-error report (status 1); so does a
    /// header line of more than 51200 bytes ("Error: <name>: header line
    /// longer than 51200 bytes\n").
    BinaryZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path);
    /// Header line up to the first carriage return (line feeds are kept).
    int readcomment() override;
    /// Returns 0 for a record, -1 when the file ends at a block boundary.
    /// A file that ends inside a block prints "Error: <name>: file ends
    /// inside a record\n" and exits 1; a read error exits 1 after the zlib
    /// message or a "gzread: <system text>" line.
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
    AsciiZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path);
    int readcomment() override;
    /// Returns 0 for a record; -1 at the end of the file, when time values
    /// are missing (silently) or when a line has fewer than `length` samples
    /// ("Failed to read value <n> of line:\n<line>\n").  A line of 51199 or
    /// more bytes without its line feed prints "Error: Line to long\n" and
    /// exits 1.
    int read(atype& nn, int* rtime) override;
    ~AsciiZELTRA() override = default;
    const char* type() override { return "text"; }
    bool is_binary() const override { return false; }
};

/// Opens `fname`, classifies it from its first 256 bytes (after
/// decompression) and returns a new reader of the matching kind, which the
/// caller owns.  Never returns null.  Prints the recognisers' lines for the
/// first line and "Invalid comment line..." when no form matches.
/// Fatal (status 1): a named pipe ("Error: <name>: not a regular file\n");
/// the file cannot be opened ("gzopen:<system text>\n" when
/// errno is set, then "Can't open <name>\n"); a read error or a damaged gzip
/// stream (zlib's message, "<name>: unexpected end of file\n" for one cut
/// short); fewer than 256 bytes ("Error: <name>: file too short to be a data
/// file\n"); no CR or LF in the first 255 bytes ("Error: <name>: no end of
/// the first line in its first 255 bytes\n"); and the reader's own fatal
/// conditions.
ZELTRA* detect(const char* fname, bool concat, ZELTRA::ZELTRA_FILETYPE filetype,
               bool fail_parse_path);

}  // namespace Zeltra

#endif  // ZELTRA_ZELTRA_H
