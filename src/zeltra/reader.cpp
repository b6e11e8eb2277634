// libzeltra: the reader object's life (time zone, buffers, opening, the gap
// summary), its small accessors, the identification strings and the one
// place where fatal conditions are raised and, for a program, reported.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>

#include "internal.h"

namespace Zeltra {

int zeltra_debug = 0;

const char* shortVersion = "Zeltra Ver: 1.71";
const char* Version =
    "Zeltra Version 1.71 " __DATE__ " " __TIME__ " Build 1 by the tavo2wav developers";
const char* Copyright = "Copyright (C) the tavo2wav developers";
const char* Bugs = "Report bugs to the tavo2wav maintainers";

namespace detail {

const char* const kInvalidComment =
    "Invalid comment line\nCouldn't determine sampling frequency\ndefaulting to 18.0Hz\n";

// The trace name stays the same whichever source writes the trace, so that
// traces read the same as the library's sources are rearranged.
Trace::Trace(MessageSink& sink, int line) : sink_(sink)
{
    text_ << "Debug:src/libzeltra/zeltra(" << line << ") ";
}

Trace::~Trace()
{
    sink_.message(MessageKind::DEBUG, text_.str());
}

void raise(std::string message)
{
    throw Error(1, std::move(message));
}

void refuse(const char* fname, const char* what)
{
    raise(std::string("Error: ") + fname + ": " + what + "\n");
}

void open_failed(const char* fname, int errnum, const char* separator)
{
    std::string text;
    if (errnum != 0)
        text = std::string("gzopen") + separator + std::strerror(errnum) + "\n";
    raise(text + "Can't open " + fname + "\n");
}

void out_of_memory(const std::exception& e)
{
    raise(std::string("Standard exception: ") + e.what() + "\n");
}

void stream_error(gzFile gz)
{
    int errnum = 0;
    const char* msg = gzerror(gz, &errnum);
    if (errnum != 0)
        raise(std::string(msg) + "\n");
    raise(std::string("gzgetc:") + std::strerror(errno) + "\n");
}

void stop_on_stream_damage(gzFile gz)
{
    int errnum = 0;
    const char* msg = gzerror(gz, &errnum);
    if (errnum != Z_OK)
        raise(std::string(msg) + "\n");
}

}  // namespace detail

using namespace detail;

namespace {

class StderrSink : public MessageSink {
public:
    void message(MessageKind, const std::string& text) override { std::cerr << text; }
    void flush() override { std::cerr.flush(); }
};

}  // namespace

class NullSink : public MessageSink {
public:
    void message(MessageKind, const std::string&) override {}
};

MessageSink& stderr_sink()
{
    static StderrSink sink;
    return sink;
}

MessageSink& null_sink()
{
    static NullSink sink;
    return sink;
}

void use_utc(MessageSink& sink)
{
    static std::once_flag once;
    // tzname is read as it stands: a process that never set its zone is
    // switched, one that runs in UTC already is left alone.
    std::call_once(once, [&] {
        if (std::strcmp(tzname[0], "UTC") != 0) {
            static char tz_utc[] = "TZ=UTC";
            sink.message(MessageKind::WARNING, "WARNING: setting TZ=UTC\n");
            putenv(tz_utc);
            tzset();
        }
    });
}

void report_and_exit(const Error& e)
{
    std::cerr << e.message();
    std::cerr.flush();
    std::cout.flush();
    std::fflush(nullptr);
    std::exit(e.status());
}

ZELTRA::ZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path,
               MessageSink& sink_)
    : length(128),
      concat(concat_),
      is_next(false),
      use_next(false),
      filetype(filetype_),
      micorder{0, 1, 2},
      frequency(0.0),
      timegaps(0),
      unixtime(false),
      gain(-1),
      station(0),
      start_of_day(0),
      time_base(0),
      filename(fname),
      sink(sink_),
      time{0, 0, 0, 0}
{
    use_utc(sink);
    set_micorder(0, 1, 2);
    try {
        lin.assign(FBUFSIZE, 0);
        for (auto& v : current)
            v.assign(2 * Max, 0.0);
        for (auto& v : next)
            v.assign(2 * Max, 0.0);
        date_from_comment.assign(LINELEN, 0);
        time_from_comment.assign(LINELEN, 0);
    } catch (const std::exception& e) {
        out_of_memory(e);
    }
    firstline.clear();
    firstline.reserve(120);
    if (!set_time_start_of_day(fname) && fail_parse_path)
        raise(std::string("Can't parse date & time from path (") + fname +
              ") & fail_parse_path == 1\n");
    set_time_base(fname);
    if (zeltra_debug)
        Trace(sink, __LINE__) << "Opening file: " << fname << "\n";
    errno = 0;
    gz = gzopen(fname, "rb");
    if (gz == nullptr)
        open_failed(fname, errno, ": ");
    if (zeltra_debug) {
        Trace(sink, __LINE__) << start_of_day << " Start of day represents "
                              << std::ctime(&start_of_day);
        Trace(sink, __LINE__) << time_base << " time_base represents " << std::ctime(&time_base);
    }
}

ZELTRA::ZELTRA(const char* fname, bool concat_, ZELTRA_FILETYPE filetype_, bool fail_parse_path,
               const HeaderForm& form, MessageSink& sink_)
    : ZELTRA(fname, concat_, filetype_, fail_parse_path, sink_)
{
    sink.message(MessageKind::INFO, std::string("File: ") + fname + " Type:" + form.type + "\n");
    read_header_line(form.terminator, form.drop_cr);
    parse_comment(firstline.c_str());
}

ZELTRA::~ZELTRA()
{
    if (*gap_summary() != '\0')
        sink.message(MessageKind::WARNING, gap_summary());
    if (gz.close() && zeltra_debug)
        Trace(sink, __LINE__) << "Closing file\n";
}

const char* ZELTRA::gap_summary() const
{
    if (timegaps > 1)
        return "Warning: TIMEGAPs in data\n";
    return timegaps == 1 ? "TIMEGAP in data\n" : "";
}

time_t ZELTRA::get_tavotime(int t) const
{
    const time_t w1 = time[t];
    const time_t w2 = time[t + 1];
    if (unixtime)
        return w2 * 65536 + w1;
    return start_of_day + (w1 <= 60 ? time_base : 0) + 60 * w1 + w2;
}

time_t ZELTRA::get_tavotimenext()
{
    return get_tavotime(2);
}

void ZELTRA::set_micorder(unsigned int m1, unsigned int m2, unsigned int m3)
{
    if (m1 > 2 || m2 > 2 || m3 > 2)
        return;  // would index past the three channels
    micorder[0] = m1;
    micorder[1] = m2;
    micorder[2] = m3;
}

bool ZELTRA::extended_data() const
{
    return length == 512;
}

short ZELTRA::le16toh16(short w)
{
    unsigned char b[2];
    std::memcpy(b, &w, sizeof b);
    const std::uint16_t v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return static_cast<short>(static_cast<std::int16_t>(v));
}

void ZELTRA::fail(const char* what) const
{
    refuse(filename.c_str(), what);
}

}  // namespace Zeltra
