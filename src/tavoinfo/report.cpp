// tavoinfo: the text and JSON forms of file reports.
#include "report.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "json.h"

namespace tavoinfo {

namespace {

const char* time_words_name(TimeWords w)
{
    switch (w) {
        case TimeWords::MinutesSeconds:
            return "minutes-seconds";
        case TimeWords::UnixTime:
            return "unix";
        case TimeWords::None:
            break;
    }
    return "none";
}

const char* time_words_text(TimeWords w)
{
    switch (w) {
        case TimeWords::MinutesSeconds:
            return "minutes and seconds";
        case TimeWords::UnixTime:
            return "Unix time";
        case TimeWords::None:
            break;
    }
    return "none (old-style file)";
}

// Header bytes as printable text: control bytes become \xNN.
std::string printable(const std::string& s)
{
    std::string out;
    for (const char c : s) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", b);
            out += buf;
        } else {
            out += c;
        }
    }
    return out;
}

std::string fixed3(double x)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", x);
    return buf;
}

bool has_times(const FileReport& r)
{
    return r.time_words != TimeWords::None && r.records > 0;
}

void print_times(std::ostream& out, const FileReport& r)
{
    if (!has_times(r))
        return;
    out << "first record: " << format_time(r.first, r.has_date) << "\n";
    out << "last record: " << format_time(r.last, r.has_date) << "\n";
}

void print_gaps(std::ostream& out, const FileReport& r)
{
    out << "time gaps: " << r.time_gaps << "\n";
    for (const Gap& g : r.gaps) {
        out << "  gap at " << format_time(g.start, r.has_date) << ", " << fixed3(g.seconds)
            << " s, at sample " << g.position;
        if (r.duration() >= 0)
            out << " (" << fixed3(static_cast<double>(g.position) / r.frequency)
                << " s from the start)";
        out << "\n";
    }
}

void json_optional_time(JsonWriter& w, const char* name, bool known, double t, bool has_date)
{
    w.key(name);
    if (known)
        w.value(format_time(t, has_date));
    else
        w.null();
}

void json_optional_number(JsonWriter& w, const char* name, bool known, double x)
{
    w.key(name);
    if (known)
        w.value(x);
    else
        w.null();
}

void json_header_fields(JsonWriter& w, const FileReport& r)
{
    w.key("kind");
    r.opened ? w.value(r.kind) : w.null();
    w.key("header");
    r.opened ? w.value(r.header) : w.null();
    w.key("station");
    r.opened&& r.station != 0 ? w.value(std::string(1, r.station)) : w.null();
    json_optional_number(w, "frequency_hz", r.opened, r.frequency);
    w.key("gain");
    r.opened&& r.gain != -1 ? w.value(static_cast<long long>(r.gain)) : w.null();
    w.key("record_length");
    r.opened ? w.value(static_cast<unsigned long long>(r.length)) : w.null();
    w.key("time_words");
    r.opened ? w.value(time_words_name(r.time_words)) : w.null();
}

void json_record_fields(JsonWriter& w, const FileReport& r)
{
    w.key("records");
    w.value(static_cast<unsigned long long>(r.records));
    w.key("samples_per_channel");
    w.value(static_cast<unsigned long long>(r.samples_per_channel()));
    w.key("has_date");
    w.value(r.has_date);
    const bool times = has_times(r);
    json_optional_time(w, "first_record", times, r.first, r.has_date);
    json_optional_time(w, "last_record", times, r.last, r.has_date);
    json_optional_number(w, "first_record_seconds", times, r.first);
    json_optional_number(w, "last_record_seconds", times, r.last);
    json_optional_number(w, "duration_s", r.opened && r.duration() >= 0, r.duration());
    w.key("time_gaps");
    w.value(static_cast<long long>(r.time_gaps));
    w.key("gaps");
    w.begin_array();
    for (const Gap& g : r.gaps) {
        w.begin_object();
        w.key("start");
        w.value(format_time(g.start, r.has_date));
        w.key("start_seconds");
        w.value(g.start);
        w.key("position_samples");
        w.value(g.position);
        json_optional_number(w, "position_seconds", r.duration() >= 0,
                             static_cast<double>(g.position) / r.frequency);
        w.key("seconds");
        w.value(g.seconds);
        w.end_object();
    }
    w.end_array();
}

void json_report(JsonWriter& w, const FileReport& r)
{
    w.begin_object();
    w.key("file");
    w.value(r.path);
    w.key("gzip");
    w.value(r.gzip);
    json_header_fields(w, r);
    json_record_fields(w, r);
    w.key("error");
    r.error.empty() ? w.null() : w.value(r.error);
    w.end_object();
}

}  // namespace

std::string format_time(double seconds, bool has_date)
{
    const double whole = std::floor(seconds);
    long long millis = std::llround((seconds - whole) * 1000.0);
    long long t = static_cast<long long>(whole);
    if (millis == 1000) {
        ++t;
        millis = 0;
    }
    long long days = t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
    const long long in_day = t - days * 86400;
    char frac[8] = "";
    if (millis != 0)
        std::snprintf(frac, sizeof frac, ".%03lld", millis);
    char clock[64];
    std::snprintf(clock, sizeof clock, "%02lld:%02lld:%02lld%s", in_day / 3600, in_day / 60 % 60,
                  in_day % 60, frac);
    char buf[128];
    if (has_date) {
        const std::time_t tt = static_cast<std::time_t>(t);
        std::tm tm{};
        gmtime_r(&tt, &tm);
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%sZ", tm.tm_year + 1900, tm.tm_mon + 1,
                      tm.tm_mday, clock);
    } else if (days != 0) {
        std::snprintf(buf, sizeof buf, "day %lld %s", days, clock);
    } else {
        std::snprintf(buf, sizeof buf, "%s", clock);
    }
    return buf;
}

void print_text(std::ostream& out, const FileReport& r)
{
    out << "file: " << r.path << "\n";
    if (r.opened) {
        out << "kind: " << r.kind << ", " << (r.gzip ? "gzip" : "plain") << "\n";
        out << "header: " << printable(r.header) << "\n";
        out << "station: " << (r.station != 0 ? std::string(1, r.station) : "none") << "\n";
        out << "sampling frequency: "
            << (std::isfinite(r.frequency) ? JsonWriter::number(r.frequency) + " Hz" : "unknown")
            << "\n";
        out << "gain: " << (r.gain != -1 ? std::to_string(r.gain) : "not given") << "\n";
        out << "record length: " << r.length << " samples per channel\n";
        out << "time words: " << time_words_text(r.time_words) << "\n";
        out << "records: " << r.records << "\n";
        out << "samples per channel: " << r.samples_per_channel() << "\n";
        print_times(out, r);
        out << "nominal duration: " << (r.duration() >= 0 ? fixed3(r.duration()) + " s" : "unknown")
            << "\n";
        print_gaps(out, r);
    }
    if (!r.error.empty())
        out << "error: " << r.error << "\n";
}

void print_json(std::ostream& out, const std::vector<FileReport>& reports)
{
    JsonWriter w(out);
    w.begin_object();
    w.key("files");
    w.begin_array();
    for (const FileReport& r : reports)
        json_report(w, r);
    w.end_array();
    w.end_object();
}

}  // namespace tavoinfo
