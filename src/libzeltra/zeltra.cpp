// libzeltra: reader objects, header grammar, time base, both encodings, the
// record stream and file-kind detection.
#include "zeltra.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <limits>

namespace Zeltra {

int zeltra_debug = 0;

const char* shortVersion = "Zeltra Ver: 1.71";
const char* Version = "Zeltra Version 1.71 " __DATE__ " " __TIME__ " Build 1 by the tavo2wav developers";
const char* Copyright = "Copyright (C) the tavo2wav developers";
const char* Bugs = "Report bugs to the tavo2wav maintainers";

namespace {

// Stable name of this source in debug traces, independent of the build path.
constexpr const char* kSourceName = "src/libzeltra/zeltra";

const char* const kInvalidComment =
    "Invalid comment line\nCouldn't determine sampling frequency\ndefaulting to 18.0Hz\n";

void (*fatal_handler)(int) = nullptr;

// Starts a debug trace; the caller writes the message with its line end.
std::ostream& trace(int line) {
    return std::cerr << "Debug:" << kSourceName << "(" << line << ") ";
}

// Stream-error exit: reports the last error of a zlib handle and ends the
// process.  A clean end of file reports the system text of errno.
[[noreturn]] void handle_error(gzFile gz) {
    int errnum = 0;
    const char* msg = gzerror(gz, &errnum);
    if (errnum != 0)
        std::cerr << msg << std::endl;
    else
        std::cerr << "gzgetc:" << std::strerror(errno) << "\n";
    fatal_exit(1);
}

// After a read that came back short or empty: when zlib saw damage (a gzip
// stream cut short, a bad check value), reports its message and ends the
// process; at a clean end of file it returns.
void stop_on_stream_damage(gzFile gz) {
    int errnum = 0;
    const char* msg = gzerror(gz, &errnum);
    if (errnum == Z_OK) return;
    std::cerr << msg << std::endl;
    fatal_exit(1);
}

// The path without its directories and without its last extension.
std::string base_name(const char* fname) {
    std::string s(fname);
    const std::string::size_type slash = s.rfind('/');
    if (slash != std::string::npos) s.erase(0, slash + 1);
    const std::string::size_type dot = s.rfind('.');
    if (dot != std::string::npos) s.erase(dot);
    return s;
}

std::string echo_path(const char* fname) {
    std::string base = base_name(fname);
    std::cerr << fname << "\n" << base << "\n";
    return base;
}

// Copies a scanned token into a caller's buffer without passing its end.
void store_token(std::vector<char>& dst, const char* token) {
    if (dst.empty()) return;
    const std::size_t n = std::min(std::strlen(token), dst.size() - 1);
    std::memcpy(dst.data(), token, n);
    dst[n] = '\0';
}

bool accept_form12(int converted, const char* name, const char* comment, const arguments& arg) {
    if (converted < 1) return false;  // also EOF (-1): the line ended first
    if (zeltra_debug)
        trace(__LINE__) << "frequency=" << arg.frequency << " gain=" << arg.gain << "\n";
    std::cerr << name << ": " << comment << "\n";
    return true;
}

// Record-length rule: "!", a run of '!', 'S', 'U', 's', 'u', then a number.
std::size_t declared_length(const char* line) {
    std::size_t len = 0;
    if (std::sscanf(line, "!%*[!SUsu]%zu", &len) == 1 && (len == 128 || len == 512)) return len;
    return 0;
}

// Rounds a text time value to an int, halves away from zero; values beyond
// the int range are clamped and NaN gives 0.
int round_time(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(std::lround(v));
}

bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Grammar test of detection: forms 1 to 3 on scratch fields.
bool validate_comment(const char* comment) {
    double frequency = -1.0;
    int gain = -1;
    char station = 0;
    char c = 0;
    int len = 0;
    bool unixtime = false;
    std::vector<char> date(512, 0);
    std::vector<char> time(512, 0);
    arguments arg(frequency, gain, station, c, len, unixtime, date, time);
    if (valid_comment_type1(comment, arg) || valid_comment_type2(comment, arg) ||
        valid_comment_type3(comment, arg))
        return true;
    std::cerr << kInvalidComment;
    return false;
}

// Owner of detection's probe handle.
struct ProbeHandle {
    gzFile gz;
    ~ProbeHandle() { close(); }
    void close() {
        if (gz != nullptr) gzclose(gz);
        gz = nullptr;
    }
};

[[noreturn]] void refuse(const char* fname, const char* what) {
    std::cerr << "Error: " << fname << ": " << what << "\n";
    fatal_exit(1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Fatal exit

void fatal_exit(int status) {
    std::cerr.flush();
    std::cout.flush();
    if (fatal_handler != nullptr) fatal_handler(status);
    std::fflush(nullptr);
    std::exit(status);
}

void set_fatal_exit_handler(void (*handler)(int)) {
    fatal_handler = handler;
}

// ---------------------------------------------------------------------------
// Header line grammar

arguments::arguments(double& frequency_, int& gain_, char& station_, char& c_, int& len_,
                     bool& unixtime_, std::vector<char>& date_from_comment_,
                     std::vector<char>& time_from_comment_)
    : frequency(frequency_), gain(gain_), station(station_), c(c_), len(len_),
      unixtime(unixtime_), date_from_comment(date_from_comment_),
      time_from_comment(time_from_comment_) {}

bool valid_comment_type1(const char* comment, arguments& arg) {
    const int n = std::sscanf(comment, "!Tidserier %lf %d", &arg.frequency, &arg.gain);
    return accept_form12(n, "valid_comment_type1", comment, arg);
}

bool valid_comment_type2(const char* comment, arguments& arg) {
    const int n = std::sscanf(comment, "!Tidserier  sampfrek: %lf gain: %d", &arg.frequency, &arg.gain);
    return accept_form12(n, "valid_comment_type2", comment, arg);
}

bool valid_comment_type3(const char* comment, arguments& arg) {
    // Tokens are scanned into local buffers of 256 bytes and then copied, so
    // a caller's smaller buffer is never overrun.
    char date[256] = {0};
    char time[256] = {0};
    const int n = std::sscanf(comment,
                              "!%c%dTidserier sampfrek: %lf gain: %d station: %c date: %255[^ ] time: %255[^ ]",
                              &arg.c, &arg.len, &arg.frequency, &arg.gain, &arg.station, date, time);
    if (n < 3) return false;
    if (n >= 6) store_token(arg.date_from_comment, date);
    if (n >= 7) store_token(arg.time_from_comment, time);
    if (zeltra_debug) {
        const char* d = arg.date_from_comment.empty() ? "" : arg.date_from_comment.data();
        const char* t = arg.time_from_comment.empty() ? "" : arg.time_from_comment.data();
        trace(__LINE__) << "frequency=" << arg.frequency << " gain=" << arg.gain << " date=" << d
                        << " time=" << t << "\n";
    }
    if (arg.len != 128 && arg.len != 512) std::cerr << "WARNING: nonstandard length: " << arg.len << "\n";
    arg.unixtime = (arg.c == 'U');
    std::cerr << "valid_comment_type3: " << comment << "\n";
    return arg.c == 'U' || arg.c == 'S';
}

bool valid_comment_type4(const char*, arguments&) { return false; }
bool valid_comment_type5(const char*, arguments&) { return false; }

bool is_eol(char c) {
    return c == CR || c == NL;
}

bool ZELTRA::parse_comment(const char* comment) {
    frequency = -1.0;
    gain = -1;
    date_from_comment[0] = '\0';
    time_from_comment[0] = '\0';
    char c = 0;
    int len = 0;
    arguments arg(frequency, gain, station, c, len, unixtime, date_from_comment, time_from_comment);
    if (valid_comment_type1(comment, arg) || valid_comment_type2(comment, arg) ||
        valid_comment_type3(comment, arg) || valid_comment_type4(comment, arg) ||
        valid_comment_type5(comment, arg))
        return true;
    std::cerr << kInvalidComment;
    frequency = 18.0;
    return false;
}

void ZELTRA::set_length_from_firstline() {
    const std::size_t declared = declared_length(firstline.c_str());
    length = declared != 0 ? declared : 128;
}

// ---------------------------------------------------------------------------
// Reader object

ZELTRA::ZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path)
    : length(128), concat(concat_), is_next(false), use_next(false), filetype(filetype_),
      micorder{0, 1, 2}, frequency(0.0), timegaps(0), unixtime(false), gain(-1), station(0),
      start_of_day(0), time_base(0), filename(fname), time{0, 0, 0, 0} {
    // tzname is read as it stands: a process that never set its zone is
    // switched once, and later readers find "UTC".
    if (std::strcmp(tzname[0], "UTC") != 0) {
        static char tz_utc[] = "TZ=UTC";
        std::cerr << "WARNING: setting TZ=UTC\n";
        putenv(tz_utc);
        tzset();
    }
    set_micorder(0, 1, 2);
    try {
        lin.assign(FBUFSIZE, 0);
        for (auto& v : current) v.assign(2 * Max, 0.0);
        for (auto& v : next) v.assign(2 * Max, 0.0);
        date_from_comment.assign(LINELEN, 0);
        time_from_comment.assign(LINELEN, 0);
    } catch (const std::exception& e) {
        std::cerr << "Standard exception: " << e.what() << std::endl;
        fatal_exit(1);
    }
    firstline.clear();
    firstline.reserve(120);
    if (!set_time_start_of_day(fname) && fail_parse_path) {
        std::cerr << "Can't parse date & time from path (" << fname << ") & fail_parse_path == " << 1 << "\n";
        fatal_exit(1);
    }
    set_time_base(fname);
    if (zeltra_debug) trace(__LINE__) << "Opening file: " << fname << "\n";
    errno = 0;
    gz = gzopen(fname, "rb");
    if (gz == nullptr) {
        if (errno != 0) std::perror("gzopen");
        std::cerr << "Can't open " << fname << "\n";
        fatal_exit(1);
    }
    if (zeltra_debug) {
        trace(__LINE__) << start_of_day << " Start of day represents " << std::ctime(&start_of_day);
        trace(__LINE__) << time_base << " time_base represents " << std::ctime(&time_base);
    }
}

ZELTRA::~ZELTRA() {
    if (timegaps > 1)
        std::cerr << "Warning: TIMEGAPs in data\n";
    else if (timegaps == 1)
        std::cerr << "TIMEGAP in data\n";
    if (gz.close() && zeltra_debug) trace(__LINE__) << "Closing file\n";
}

time_t ZELTRA::get_tavotime(int t) const {
    const time_t w1 = time[t];
    const time_t w2 = time[t + 1];
    if (unixtime) return w2 * 65536 + w1;
    return start_of_day + (w1 <= 60 ? time_base : 0) + 60 * w1 + w2;
}

time_t ZELTRA::get_tavotimenext() {
    return get_tavotime(2);
}

void ZELTRA::set_micorder(unsigned int m1, unsigned int m2, unsigned int m3) {
    if (m1 > 2 || m2 > 2 || m3 > 2) return;  // would index past the three channels
    micorder[0] = m1;
    micorder[1] = m2;
    micorder[2] = m3;
}

bool ZELTRA::extended_data() const {
    return length == 512;
}

short ZELTRA::le16toh16(short w) {
    unsigned char b[2];
    std::memcpy(b, &w, sizeof b);
    const std::uint16_t v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return static_cast<short>(static_cast<std::int16_t>(v));
}

void ZELTRA::fail(const char* what) const {
    refuse(filename.c_str(), what);
}

// ---------------------------------------------------------------------------
// Start of day and time base
//
// Path convention: <year>/<month>/<yyyymmdd>/<station><y><mm><dd><slot>.ext,
// e.g. /data/2014/03/20140315/k4031516.dat; slot 00..47 counts half hours.

bool ZELTRA::set_time_start_of_day(const char* fname) {
    echo_path(fname);
    const char* s = fname;
    for (const char* slash = std::strchr(s, '/'); slash != nullptr; slash = std::strchr(s, '/')) {
        s = slash + 1;
        int y1 = 0, m1 = 0, y2 = 0, m2 = 0, d2 = 0, y = 0, m = 0, d = 0, t = 0;
        char c = 0;
        const int n = std::sscanf(s, "%04d%*c%02d%*c%04d%02d%02d%*c%c%1d%02d%02d%02d.", &y1, &m1, &y2, &m2,
                                  &d2, &c, &y, &m, &d, &t);
        if (n != 10 || y1 != y2 || y1 % 10 != y || m1 != m2 || m1 != m || d2 != d || t < 0 || t > 47)
            continue;
        struct tm tmv;
        std::memset(&tmv, 0, sizeof tmv);
        tmv.tm_year = y1 - 1900;
        tmv.tm_mon = m1 - 1;
        tmv.tm_mday = d;
        tmv.tm_isdst = 0;
        start_of_day = std::mktime(&tmv);
        return true;
    }
    return false;
}

void ZELTRA::set_time_base(const char* fname) {
    const std::string base = echo_path(fname);
    char c = 0;
    int y = 0, m = 0, d = 0, t = 0;
    if (std::sscanf(base.c_str(), "%c%1d%02d%02d%02d", &c, &y, &m, &d, &t) == 5 && t >= 3 && t <= 47)
        time_base = static_cast<time_t>(t / 2) * 3600;
    if (station == 0 && !base.empty()) station = base[0];
}

// ---------------------------------------------------------------------------
// Binary encoding
//
int ZELTRA::read_header_line(int terminator, bool drop_cr) {
    gzFile f = gz;  // gzgetc is a macro that needs the plain handle
    errno = 0;
    int c = gzgetc(f);
    if (c == -1) handle_error(gz);
    if (c != 'T' && c != '!') {
        gzungetc(c, gz);
        return 0;
    }
    firstline.push_back(static_cast<char>(c));
    if (c == 'T') set_oldfile();
    for (;;) {
        c = gzgetc(f);
        if (c == -1) handle_error(gz);
        if (c == terminator) break;
        if (drop_cr && c == CR) continue;
        if (firstline.size() >= FBUFSIZE) fail("header line longer than 51200 bytes");
        firstline.push_back(static_cast<char>(c));
    }
    set_length_from_firstline();
    if (zeltra_debug) trace(__LINE__) << "Comment: " << firstline << "\n";
    return 1;
}

// Header line: bytes up to the first CR (0x0D), which is consumed; no LF
// follows.  Record: three blocks, each in little-endian 16-bit words:
//   word 0     time word 1 (minutes, or low half of a Unix time)  new-style only
//   word 1     time word 2 (seconds, or high half)                new-style only
//   word 2..   `length` signed samples (from word 0 in old-style files)
// The record's time stamp is the pair of block 2.

BinaryZELTRA::BinaryZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path)
    : ZELTRA(fname, concat_, filetype_, fail_parse_path) {
    std::cerr << "File: " << fname << " Type:" << type() << "\n";
    readcomment();
    parse_comment(firstline.c_str());
}

int BinaryZELTRA::readcomment() {
    return read_header_line(CR, false);
}

int BinaryZELTRA::read(atype& nn, int* rtime) {
    const std::size_t t = filetype == FT_NEW ? 2 : 0;
    std::vector<unsigned char> buf;
    try {
        buf.assign(2 * Max, 0);
    } catch (const std::exception& e) {
        std::cerr << "Standard exception: " << e.what() << std::endl;
        fatal_exit(1);
    }
    // length is 128 or 512 by the record-length rule, so a block fits Max words.
    const std::size_t words = std::min<std::size_t>(length + t, Max);
    const unsigned request = static_cast<unsigned>(words * 2);
    for (int i = 0; i < 3; ++i) {
        errno = 0;
        const int got = gzread(gz, buf.data(), request);
        if (got == -1) {
            int errnum = 0;
            const char* msg = gzerror(gz, &errnum);
            if (errnum != 0)
                std::cerr << msg << std::endl;
            else
                std::cerr << "gzread: " << std::strerror(errno) << std::endl;
            fatal_exit(1);
        }
        if (static_cast<unsigned>(got) < request) stop_on_stream_damage(gz);
        if (got == 0) return -1;
        if (static_cast<unsigned>(got) < request) fail("file ends inside a record");
        std::vector<double>& dst = nn[micorder[i]];
        for (std::size_t j = 0; j + t < words && j < dst.size(); ++j) {
            short w;
            std::memcpy(&w, &buf[2 * (t + j)], sizeof w);
            dst[j] = le16toh16(w);
        }
    }
    if (filetype == FT_NEW) {
        short w1, w2;
        std::memcpy(&w1, &buf[0], sizeof w1);
        std::memcpy(&w2, &buf[2], sizeof w2);
        w1 = le16toh16(w1);
        w2 = le16toh16(w2);
        rtime[0] = unixtime ? static_cast<unsigned short>(w1) : w1;
        rtime[1] = unixtime ? static_cast<unsigned short>(w2) : w2;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Text encoding
//
// Header line up to LF, CRs dropped.  Body lines end with LF and hold at most
// 51199 bytes with it.  Lines starting with '!', a letter or LF are skipped;
// every record is three data lines: [time1 time2] then `length` samples.

AsciiZELTRA::AsciiZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path)
    : ZELTRA(fname, concat_, filetype_, fail_parse_path) {
    std::cerr << "File: " << fname << " Type:" << type() << "\n";
    readcomment();
    parse_comment(firstline.c_str());
}

int AsciiZELTRA::readcomment() {
    return read_header_line(NL, true);
}

int AsciiZELTRA::read(atype& nn, int* rtime) {
    double t1 = 0.0, t2 = 0.0;
    for (int i = 0; i < 3; ++i) {
        // Fetch the next data line into lin (at most FBUFSIZE - 1 bytes).
        for (;;) {
            const z_off_t before = gztell(gz);
            if (gzgets(gz, lin.data(), FBUFSIZE) == nullptr) {
                stop_on_stream_damage(gz);
                return -1;
            }
            const z_off_t consumed = gztell(gz) - before;
            if (consumed >= FBUFSIZE - 1 && lin[FBUFSIZE - 2] != '\n') {
                std::cerr << "Error: Line to long\n";
                fatal_exit(1);
            }
            const char first = lin[0];
            if (first != '!' && first != '\n' && !is_letter(first)) break;
        }
        const char* line = lin.data();
        int p = 0;
        if (filetype == FT_NEW) {
            int n = 0;
            if (std::sscanf(line, " %lf%lf%n", &t1, &t2, &n) != 2) return -1;
            p = n;
        }
        std::vector<double>& dst = nn[micorder[i]];
        std::size_t j = 0;
        for (; j < length && j < dst.size(); ++j) {
            double v = 0.0;
            int n = 0;
            if (std::sscanf(line + p, " %lf%n", &v, &n) != 1) break;
            dst[j] = v;
            p += n;
        }
        if (j < length) {
            std::cerr << "Failed to read value " << j + 2 << " of line:\n" << line << "\n";
            return -1;
        }
    }
    if (filetype == FT_NEW) {
        rtime[0] = round_time(t1);
        rtime[1] = round_time(t2);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Record stream and time gaps

int ZELTRA::getdata() {
    std::cerr.flush();
    return read();
}

int ZELTRA::read() {
    if (zeltra_debug) trace(__LINE__) << "is_next=" << is_next << "\n";
    if (is_next) {
        if (zeltra_debug) trace(__LINE__) << "Copy next to current\n";
        copy_next_to_current();
        is_next = false;
    } else {
        if (zeltra_debug) trace(__LINE__) << "\n";
        const int r = read(current, &time[0]);
        if (r != 0) return r;
    }
    readnext(next);
    use_next = false;
    if (is_next) use_next = can_we_use_next();
    return 0;
}

int ZELTRA::readnext(atype& nn) {
    if (!concat) return 1;
    const int r = read(nn, &time[2]);
    is_next = (r == 0);
    if (zeltra_debug) trace(__LINE__) << "is_next=" << is_next << " ret = " << r << "\n";
    return r;
}

void ZELTRA::copy_next_to_current() {
    for (int c = 0; c < 3; ++c)
        std::copy(next[c].begin(), next[c].begin() + static_cast<std::ptrdiff_t>(length), current[c].begin());
    time[0] = time[2];
    time[1] = time[3];
}

void ZELTRA::extend_current() {
    for (int c = 0; c < 3; ++c)
        std::copy(next[c].begin(), next[c].begin() + static_cast<std::ptrdiff_t>(length),
                  current[c].begin() + static_cast<std::ptrdiff_t>(length));
}

bool ZELTRA::time_is_ok() {
    time_t diff = get_tavotimenext() - get_tavotime(0);
    // A stamp almost a day earlier lies past midnight on the next day.
    if (diff < -86000) diff += SECS_PER_DAY;
    const bool gap = std::fabs(static_cast<double>(diff)) > static_cast<double>(length) / frequency + 2.0;
    if (gap) ++timegaps;
    return gap;
}

bool ZELTRA::can_we_use_next() {
    const bool use = !time_is_ok();
    if (use) extend_current();
    return use;
}

// ---------------------------------------------------------------------------
// File-kind detection

ZELTRA* detect(const char* fname, bool concat, ZELTRA::ZELTRA_FILETYPE filetype, bool fail_parse_path) {
    std::vector<char> probe(ZELTRA::LINELEN, 0);
    // A pipe would block the open until a writer comes, and could not be
    // read a second time by the reader anyway.
    struct stat st;
    if (stat(fname, &st) == 0 && S_ISFIFO(st.st_mode)) refuse(fname, "not a regular file");
    errno = 0;
    ProbeHandle h{gzopen(fname, "rb")};
    if (h.gz == nullptr) {
        if (errno != 0) std::cerr << "gzopen:" << std::strerror(errno) << std::endl;
        std::cerr << "Can't open " << fname << "\n";
        fatal_exit(1);
    }
    const int got = gzread(h.gz, probe.data(), ZELTRA::LINELEN);
    if (got == -1) handle_error(h.gz);
    if (got != ZELTRA::LINELEN) {
        stop_on_stream_damage(h.gz);
        if (zeltra_debug) trace(__LINE__) << "file to short to be meaningfull\n";
        refuse(fname, "file too short to be a data file");
    }
    h.close();
    probe[ZELTRA::LINELEN - 1] = '\0';
    std::size_t eol = 0;
    while (eol < ZELTRA::LINELEN - 1 && !is_eol(probe[eol])) ++eol;
    if (eol == ZELTRA::LINELEN - 1) {
        if (zeltra_debug) trace(__LINE__) << "Found no end of first commentline\n";
        refuse(fname, "no end of the first line in its first 255 bytes");
    }
    probe[eol] = '\0';
    const char* line = probe.data();
    const char* text = probe.data() + eol + 1;
    bool valid_comment = validate_comment(line);
    if (declared_length(line) != 0) valid_comment = true;
    if (zeltra_debug) trace(__LINE__) << "Valid comment: " << valid_comment << "\n";
    float a, b, c;
    const bool is_text = text[0] != '\0' && valid_comment && std::sscanf(text, "%f %f %f", &a, &b, &c) == 3;
    if (is_text) return new AsciiZELTRA(fname, concat, filetype, fail_parse_path);
    return new BinaryZELTRA(fname, concat, filetype, fail_parse_path);
}

}  // namespace Zeltra
