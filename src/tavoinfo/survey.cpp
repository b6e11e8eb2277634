// tavoinfo: one file through the reader library's record stream.
#include "survey.h"

#include <cmath>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <streambuf>

#include "zeltra.h"

namespace tavoinfo {

namespace {

// Thrown by the fatal-exit handler so that a damaged file ends only its own
// survey; the reader library releases its handles on the way out.
struct ReaderFailure {
    int status;
};

void throw_reader_failure(int status)
{
    throw ReaderFailure{status};
}

// Installs the throwing handler for one survey and restores the default.
class FatalExitCatcher {
public:
    FatalExitCatcher() { Zeltra::set_fatal_exit_handler(throw_reader_failure); }
    ~FatalExitCatcher() { Zeltra::set_fatal_exit_handler(nullptr); }
    FatalExitCatcher(const FatalExitCatcher&) = delete;
    FatalExitCatcher& operator=(const FatalExitCatcher&) = delete;
};

// Passes everything written to std::cerr on unchanged and keeps the lines
// written since the last clear(), so the message of a fatal exit can be
// repeated in the report.
class ErrorTap : public std::streambuf {
public:
    ErrorTap() : out_(std::cerr.rdbuf(this)) {}
    ~ErrorTap() override { std::cerr.rdbuf(out_); }
    ErrorTap(const ErrorTap&) = delete;
    ErrorTap& operator=(const ErrorTap&) = delete;

    void clear()
    {
        lines_.clear();
        partial_.clear();
    }
    // Last non-empty line written since clear(), a pending partial line included.
    std::string last_line() const
    {
        if (!partial_.empty())
            return partial_;
        for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
            if (!it->empty())
                return *it;
        return std::string();
    }
    // First line since clear() that begins with prefix, followed by the
    // start of the line after it (the reader prints a failed text line on
    // the next line).
    std::string find(const char* prefix) const
    {
        const std::size_t shown = 60;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (lines_[i].compare(0, std::strlen(prefix), prefix) != 0)
                continue;
            if (i + 1 == lines_.size())
                return lines_[i];
            const std::string& next = lines_[i + 1];
            return lines_[i] + " " + next.substr(0, shown) + (next.size() > shown ? "..." : "");
        }
        return std::string();
    }

protected:
    int overflow(int c) override
    {
        if (c == traits_type::eof())
            return traits_type::not_eof(c);
        keep(static_cast<char>(c));
        return out_->sputc(static_cast<char>(c));
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        for (std::streamsize i = 0; i < n; ++i)
            keep(s[i]);
        return out_->sputn(s, n);
    }
    int sync() override { return out_->pubsync(); }

private:
    void keep(char c)
    {
        if (c == '\n') {
            lines_.push_back(partial_);
            partial_.clear();
        } else {
            partial_.push_back(c);
        }
    }

    std::streambuf* out_;
    std::vector<std::string> lines_;
    std::string partial_;
};

// Read access to reader state that has no public accessor: the gap counter,
// the time-word convention and the look-ahead flag are protected members.  A pointer to member
// formed inside a derived class reads them from any reader object; the class
// itself is never instantiated.
struct ReaderState : Zeltra::ZELTRA {
    static int gaps(const Zeltra::ZELTRA& z) { return z.*(&ReaderState::timegaps); }
    static bool unix_time(const Zeltra::ZELTRA& z) { return z.*(&ReaderState::unixtime); }
    static bool holds_next(const Zeltra::ZELTRA& z) { return z.*(&ReaderState::is_next); }
};

// Midnight of the recording day that the reader took from the path (0 when
// the path gave none), recovered through the public time-word conversion: a
// minute word above 60 counts from midnight, so (61, 0) is midnight + 3660 s.
long long start_of_day(Zeltra::ZELTRA& z)
{
    const int saved[2] = {z.time[0], z.time[1]};
    z.time[0] = 61;
    z.time[1] = 0;
    const long long midnight = static_cast<long long>(z.get_tavotime(0)) - 61 * 60;
    z.time[0] = saved[0];
    z.time[1] = saved[1];
    return midnight;
}

// Sends everything written to std::cerr nowhere while it lives.
class MutedErrors {
public:
    MutedErrors() : out_(std::cerr.rdbuf(nullptr)) {}
    ~MutedErrors() { std::cerr.rdbuf(out_); std::cerr.clear(); }
    MutedErrors(const MutedErrors&) = delete;
    MutedErrors& operator=(const MutedErrors&) = delete;

private:
    std::streambuf* out_;
};

// True when the reader's header line has one of the forms the reader
// recognises, or when the file is an old-style one (its line starts with 'T'
// and carries no fields).  The recognisers echo a line they accept; the
// reader has printed that echo already, so the second one is muted.
bool has_known_header(const Zeltra::ZELTRA& z)
{
    if (!z.is_newfile())
        return true;
    double frequency = -1;
    int gain = -1, len = 0;
    char station = 0, c = 0;
    bool unixtime = false;
    std::vector<char> date(Zeltra::ZELTRA::LINELEN), time(Zeltra::ZELTRA::LINELEN);
    Zeltra::arguments fields(frequency, gain, station, c, len, unixtime, date, time);
    const char* line = z.firstline.c_str();
    const MutedErrors muted;
    return Zeltra::valid_comment_type1(line, fields) || Zeltra::valid_comment_type2(line, fields) ||
           Zeltra::valid_comment_type3(line, fields);
}

// The reader's message without its own "Error: " label, which the report
// adds in its own form.
std::string relayed(const std::string& message)
{
    const std::string label = "Error: ";
    return message.compare(0, label.size(), label) == 0 ? message.substr(label.size()) : message;
}

bool is_gzip(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    unsigned char magic[2] = {0, 0};
    return f && std::fread(magic, 1, 2, f.get()) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

long long days_from_civil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// Fills the header fields and decides how the stamps are to be read.
void describe_reader(Zeltra::ZELTRA& z, FileReport& r, long long& date_offset)
{
    r.kind = z.type();
    r.header = z.firstline;
    r.station = z.get_station();
    r.frequency = z.get_frequency();
    r.gain = z.get_gain();
    r.length = z.get_length();
    date_offset = 0;
    if (!z.is_newfile()) {
        r.time_words = TimeWords::None;
    } else if (ReaderState::unix_time(z)) {
        r.time_words = TimeWords::UnixTime;
        r.has_date = true;
    } else {
        r.time_words = TimeWords::MinutesSeconds;
        long long midnight = 0;
        if (start_of_day(z) != 0) {
            r.has_date = true;
        } else if (header_date(r.header, midnight)) {
            r.has_date = true;
            date_offset = midnight;
        }
    }
}

// Follows the record stream of one reader, stamp by stamp.  The reader tests
// each record against the next one when it reads that one ahead, so a rise
// of its gap counter during a step marks a gap after the record that step
// delivers.
class StampTrack {
public:
    StampTrack(FileReport& r, long long date_offset)
        : r_(r),
          date_offset_(date_offset),
          record_seconds_(r.frequency > 0 ? static_cast<double>(r.length) / r.frequency : 0),
          stamped_(r.time_words != TimeWords::None)
    {
    }

    // Takes the record now at the start of the reader's `current`.
    void take(const Zeltra::ZELTRA& z, bool gap_after)
    {
        long long stamp = static_cast<long long>(z.get_tavotime(0));
        // The reader's rule: a stamp almost a day earlier lies past midnight.
        if (stamped_ && r_.records > 0 && stamp + day_shift_ - previous_ < -86000)
            day_shift_ += Zeltra::ZELTRA::SECS_PER_DAY;
        stamp += day_shift_;
        if (r_.records == 0)
            r_.first = static_cast<double>(stamp + date_offset_);
        if (gap_pending_) {
            const double end = static_cast<double>(previous_ + date_offset_) + record_seconds_;
            r_.gaps.push_back(Gap{end, static_cast<double>(stamp - previous_) - record_seconds_});
        }
        r_.last = static_cast<double>(stamp + date_offset_);
        previous_ = stamp;
        ++r_.records;
        gap_pending_ = gap_after;
    }

private:
    FileReport& r_;
    const long long date_offset_;
    const double record_seconds_;
    const bool stamped_;
    long long previous_ = 0;
    long long day_shift_ = 0;  // whole days added past each midnight wrap
    bool gap_pending_ = false;
};

void read_records(Zeltra::ZELTRA& z, FileReport& r, long long date_offset, ErrorTap& tap)
{
    StampTrack track(r, date_offset);
    for (;;) {
        tap.clear();
        const int gaps_before = ReaderState::gaps(z);
        const bool held = ReaderState::holds_next(z);
        int got;
        try {
            got = z.getdata();
        } catch (const ReaderFailure&) {
            // A held look-ahead record has moved to `current` before the
            // read that failed: it was read whole, so it counts.
            if (held)
                track.take(z, false);
            throw;
        }
        if (r.error.empty())
            r.error = tap.find("Failed to read value");
        if (got == -1)
            break;
        r.time_gaps = ReaderState::gaps(z);
        track.take(z, r.time_gaps > gaps_before);
    }
}

}  // namespace

double FileReport::duration() const
{
    if (!(frequency > 0) || !std::isfinite(frequency))
        return -1;
    return static_cast<double>(records) * static_cast<double>(length) / frequency;
}

bool header_date(const std::string& header, long long& midnight)
{
    const std::string::size_type at = header.find(" date: ");
    if (at == std::string::npos)
        return false;
    const std::string token = header.substr(at + 7, header.find(' ', at + 7) - (at + 7));
    int y = 0, m = 0, d = 0, used = 0;
    char s1 = 0, s2 = 0;
    const bool separated = std::sscanf(token.c_str(), "%4d%c%2d%c%2d%n", &y, &s1, &m, &s2, &d, &used) == 5 &&
                           s1 == s2 && std::strchr("-/.", s1) != nullptr;
    const bool compact = token.size() == 8 && std::sscanf(token.c_str(), "%4d%2d%2d%n", &y, &m, &d, &used) == 3;
    if (!(separated || compact) || static_cast<std::size_t>(used) != token.size())
        return false;
    if (m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    midnight = days_from_civil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * 86400;
    return true;
}

FileReport survey_file(const std::string& path)
{
    FileReport r;
    r.path = path;
    r.gzip = is_gzip(path);
    ErrorTap tap;
    FatalExitCatcher catcher;
    try {
        std::unique_ptr<Zeltra::ZELTRA> reader(
            Zeltra::detect(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false));
        if (!has_known_header(*reader)) {
            r.error = "not a TAVO data file (no header line of a known form)";
            return r;
        }
        r.opened = true;
        long long date_offset = 0;
        describe_reader(*reader, r, date_offset);
        read_records(*reader, r, date_offset, tap);
    } catch (const ReaderFailure&) {
        r.error = relayed(tap.last_line());
        if (r.error.empty())
            r.error = "the reader library refused the file";
    }
    return r;
}

}  // namespace tavoinfo
