// tavoinfo: one file through the reader library's record stream.
#include "survey.h"

#include "archive/archive.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include <zeltra/zeltra.h>

namespace tavoinfo {

namespace {

// The last non-empty line of a fatal message: what the report repeats.
std::string last_line(const std::string& message)
{
    std::istringstream in(message);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty())
            last = line;
    return last;
}

// A text record the reader could not parse, on one line: "Failed to read
// value <n> of line:", a blank and the start of the line it printed.
std::string record_failure(const std::string& text)
{
    const std::size_t shown = 60;
    std::istringstream in(text);
    std::string head, next;
    std::getline(in, head);
    if (!std::getline(in, next))
        return head;
    return head + " " + next.substr(0, shown) + (next.size() > shown ? "..." : "");
}

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
    Zeltra::MessageSink& quiet = Zeltra::null_sink();
    return Zeltra::valid_comment_type1(line, fields, quiet) ||
           Zeltra::valid_comment_type2(line, fields, quiet) ||
           Zeltra::valid_comment_type3(line, fields, quiet);
}

// The reader's message without its own "Error: " label, which the report
// adds in its own form.
std::string relayed(const std::string& message)
{
    const std::string label = "Error: ";
    return message.compare(0, label.size(), label) == 0 ? message.substr(label.size()) : message;
}

// Only a regular file is looked at: opening a named pipe would wait for a
// writer, and the reader refuses anything else anyway.
bool is_gzip(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    unsigned char magic[2] = {0, 0};
    return f && std::fread(magic, 1, 2, f.get()) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
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
    } else if (z.is_unixtime()) {
        r.time_words = TimeWords::UnixTime;
        r.has_date = true;
    } else {
        r.time_words = TimeWords::MinutesSeconds;
        long long midnight = 0;
        if (z.get_start_of_day() != 0) {
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
    StampTrack(FileReport& r, long long date_offset, RecordVisitor* visitor)
        : r_(r),
          visitor_(visitor),
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
            r_.gaps.push_back(Gap{end, static_cast<double>(stamp - previous_) - record_seconds_,
                                  static_cast<unsigned long long>(r_.records) * r_.length});
        }
        r_.last = static_cast<double>(stamp + date_offset_);
        if (visitor_ != nullptr)
            visitor_->record(z, r_.last);
        previous_ = stamp;
        ++r_.records;
        gap_pending_ = gap_after;
    }

private:
    FileReport& r_;
    RecordVisitor* const visitor_;
    const long long date_offset_;
    const double record_seconds_;
    const bool stamped_;
    long long previous_ = 0;
    long long day_shift_ = 0;  // whole days added past each midnight wrap
    bool gap_pending_ = false;
};

void read_records(Zeltra::ZELTRA& z, FileReport& r, long long date_offset, RecordVisitor* visitor)
{
    StampTrack track(r, date_offset, visitor);
    for (;;) {
        const int gaps_before = z.get_timegaps();
        const bool held = z.holds_next();
        int got;
        try {
            got = z.getdata();
        } catch (const Zeltra::Error&) {
            // A held look-ahead record has moved to `current` before the
            // read that failed: it was read whole, so it counts.
            if (held)
                track.take(z, false);
            throw;
        }
        if (r.error.empty() && !z.get_record_failure().empty())
            r.error = record_failure(z.get_record_failure());
        if (got == -1)
            break;
        r.time_gaps = z.get_timegaps();
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
    std::int64_t day = 0;
    if (!tavo::archive::parse_header_date(token.c_str(), day))
        return false;
    midnight = day;
    return true;
}

FileReport survey_file(const std::string& path, Zeltra::MessageSink& messages,
                       RecordVisitor* visitor)
{
    FileReport r;
    r.path = path;
    r.gzip = is_gzip(path);
    // The reader outlives the handler, so that its gap summary follows the
    // fatal message on standard error.
    std::unique_ptr<Zeltra::ZELTRA> reader;
    try {
        reader.reset(Zeltra::detect(path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false, messages));
        if (!has_known_header(*reader)) {
            r.error = "not a TAVO data file (no header line of a known form)";
            return r;
        }
        r.opened = true;
        long long date_offset = 0;
        describe_reader(*reader, r, date_offset);
        if (visitor != nullptr)
            visitor->opened(*reader, r);
        read_records(*reader, r, date_offset, visitor);
    } catch (const Zeltra::Error& e) {
        messages.message(Zeltra::MessageKind::WARNING, e.message());
        r.failure = e.message();
        // The report names what ended the survey; the reader's gap summary,
        // printed as it closes, is no part of it.
        r.error = relayed(last_line(e.message()));
        if (r.error.empty())
            r.error = "the reader library refused the file";
    }
    return r;
}

}  // namespace tavoinfo
