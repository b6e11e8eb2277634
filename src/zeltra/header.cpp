// libzeltra: the header line.  Reading it from the file (both encodings),
// the record-length rule and the grammar of its five forms.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "internal.h"

namespace Zeltra {

namespace {

using detail::Trace;

// Copies a scanned token into a caller's buffer without passing its end.
void store_token(std::vector<char>& dst, const char* token)
{
    if (dst.empty())
        return;
    const std::size_t n = std::min(std::strlen(token), dst.size() - 1);
    std::memcpy(dst.data(), token, n);
    dst[n] = '\0';
}

bool accept_form12(int converted, const char* name, const char* comment, const arguments& arg,
                   MessageSink& sink)
{
    if (converted < 1)
        return false;  // also EOF (-1): the line ended first
    if (zeltra_debug)
        Trace(sink, __LINE__) << "frequency=" << arg.frequency << " gain=" << arg.gain << "\n";
    sink.message(MessageKind::INFO, std::string(name) + ": " + comment + "\n");
    return true;
}

}  // namespace

namespace detail {

std::size_t declared_length(const char* line)
{
    std::size_t len = 0;
    if (std::sscanf(line, "!%*[!SUsu]%zu", &len) == 1 && (len == 128 || len == 512))
        return len;
    return 0;
}

bool validate_comment(const char* comment, MessageSink& sink)
{
    double frequency = -1.0;
    int gain = -1;
    char station = 0;
    char c = 0;
    int len = 0;
    bool unixtime = false;
    std::vector<char> date(512, 0);
    std::vector<char> time(512, 0);
    arguments arg(frequency, gain, station, c, len, unixtime, date, time);
    if (valid_comment_type1(comment, arg, sink) || valid_comment_type2(comment, arg, sink) ||
        valid_comment_type3(comment, arg, sink))
        return true;
    sink.message(MessageKind::WARNING, kInvalidComment);
    return false;
}

}  // namespace detail

arguments::arguments(double& frequency_, int& gain_, char& station_, char& c_, int& len_,
                     bool& unixtime_, std::vector<char>& date_from_comment_,
                     std::vector<char>& time_from_comment_)
    : frequency(frequency_),
      gain(gain_),
      station(station_),
      c(c_),
      len(len_),
      unixtime(unixtime_),
      date_from_comment(date_from_comment_),
      time_from_comment(time_from_comment_)
{
}

bool valid_comment_type1(const char* comment, arguments& arg, MessageSink& sink)
{
    const int n = std::sscanf(comment, "!Tidserier %lf %d", &arg.frequency, &arg.gain);
    return accept_form12(n, "valid_comment_type1", comment, arg, sink);
}

bool valid_comment_type2(const char* comment, arguments& arg, MessageSink& sink)
{
    const int n =
        std::sscanf(comment, "!Tidserier  sampfrek: %lf gain: %d", &arg.frequency, &arg.gain);
    return accept_form12(n, "valid_comment_type2", comment, arg, sink);
}

bool valid_comment_type3(const char* comment, arguments& arg, MessageSink& sink)
{
    // Tokens are scanned into local buffers of 256 bytes and then copied, so
    // a caller's smaller buffer is never overrun.
    char date[256] = {0};
    char time[256] = {0};
    const int n = std::sscanf(
        comment, "!%c%dTidserier sampfrek: %lf gain: %d station: %c date: %255[^ ] time: %255[^ ]",
        &arg.c, &arg.len, &arg.frequency, &arg.gain, &arg.station, date, time);
    if (n < 3)
        return false;
    if (n >= 6)
        store_token(arg.date_from_comment, date);
    if (n >= 7)
        store_token(arg.time_from_comment, time);
    if (zeltra_debug) {
        const char* d = arg.date_from_comment.empty() ? "" : arg.date_from_comment.data();
        const char* t = arg.time_from_comment.empty() ? "" : arg.time_from_comment.data();
        Trace(sink, __LINE__) << "frequency=" << arg.frequency << " gain=" << arg.gain
                              << " date=" << d << " time=" << t << "\n";
    }
    if (arg.len != 128 && arg.len != 512)
        sink.message(MessageKind::WARNING,
                     "WARNING: nonstandard length: " + std::to_string(arg.len) + "\n");
    arg.unixtime = (arg.c == 'U');
    sink.message(MessageKind::INFO, std::string("valid_comment_type3: ") + comment + "\n");
    return arg.c == 'U' || arg.c == 'S';
}

bool valid_comment_type4(const char*, arguments&, MessageSink&)
{
    return false;
}
bool valid_comment_type5(const char*, arguments&, MessageSink&)
{
    return false;
}

bool is_eol(char c)
{
    return c == CR || c == NL;
}

bool ZELTRA::parse_comment(const char* comment)
{
    frequency = -1.0;
    gain = -1;
    date_from_comment[0] = '\0';
    time_from_comment[0] = '\0';
    char c = 0;
    int len = 0;
    arguments arg(frequency, gain, station, c, len, unixtime, date_from_comment, time_from_comment);
    if (valid_comment_type1(comment, arg, sink) || valid_comment_type2(comment, arg, sink) ||
        valid_comment_type3(comment, arg, sink) || valid_comment_type4(comment, arg, sink) ||
        valid_comment_type5(comment, arg, sink))
        return true;
    sink.message(MessageKind::WARNING, detail::kInvalidComment);
    frequency = 18.0;
    return false;
}

void ZELTRA::set_length_from_firstline()
{
    const std::size_t declared = detail::declared_length(firstline.c_str());
    length = declared != 0 ? declared : 128;
}

int ZELTRA::read_header_line(int terminator, bool drop_cr)
{
    gzFile f = gz;  // gzgetc is a macro that needs the plain handle
    errno = 0;
    int c = gzgetc(f);
    if (c == -1)
        detail::stream_error(gz);
    if (c != 'T' && c != '!') {
        gzungetc(c, gz);
        return 0;
    }
    firstline.push_back(static_cast<char>(c));
    if (c == 'T')
        set_oldfile();
    for (;;) {
        c = gzgetc(f);
        if (c == -1)
            detail::stream_error(gz);
        if (c == terminator)
            break;
        if (drop_cr && c == CR)
            continue;
        if (firstline.size() >= FBUFSIZE)
            fail("header line longer than 51200 bytes");
        firstline.push_back(static_cast<char>(c));
    }
    set_length_from_firstline();
    if (zeltra_debug)
        Trace(sink, __LINE__) << "Comment: " << firstline << "\n";
    return 1;
}

}  // namespace Zeltra
