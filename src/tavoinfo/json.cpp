// tavoinfo: a small streaming JSON writer.
#include "json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tavoinfo {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 when the byte
// there does not start one (stray continuation bytes, overlong forms,
// surrogates and code points above U+10FFFF are all invalid).
std::size_t utf8_sequence(const std::string& s, std::size_t i)
{
    const unsigned char b0 = static_cast<unsigned char>(s[i]);
    std::size_t n;
    unsigned long cp;
    if (b0 >= 0xc2 && b0 <= 0xdf) {
        n = 2;
        cp = b0 & 0x1f;
    } else if (b0 >= 0xe0 && b0 <= 0xef) {
        n = 3;
        cp = b0 & 0x0f;
    } else if (b0 >= 0xf0 && b0 <= 0xf4) {
        n = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned char b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xc0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3f);
    }
    const unsigned long smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < smallest[n] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
        return 0;
    return n;
}

void append_escape(std::string& out, unsigned char b)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", b);
    out += buf;
}

}  // namespace

std::string JsonWriter::quote(const std::string& s)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b >= 0x80) {
            const std::size_t n = utf8_sequence(s, i);
            if (n == 0) {
                append_escape(out, b);
                ++i;
            } else {
                out.append(s, i, n);
                i += n;
            }
            continue;
        }
        switch (b) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (b < 0x20)
                    append_escape(out, b);
                else
                    out += static_cast<char>(b);
        }
        ++i;
    }
    return out + "\"";
}

std::string JsonWriter::number(double x)
{
    if (!std::isfinite(x))
        return "null";
    char buf[32];
    // Whole numbers of a double's exact range print as integers.
    if (x == std::floor(x) && std::fabs(x) < 9007199254740992.0) {
        std::snprintf(buf, sizeof buf, "%.0f", x);
        return buf;
    }
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, x);
        if (std::strtod(buf, nullptr) == x)
            break;
    }
    return buf;
}

void JsonWriter::newline()
{
    out_ << '\n' << std::string(2 * empty_.size(), ' ');
}

void JsonWriter::before_value()
{
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (empty_.empty())
        return;
    if (!empty_.back())
        out_ << ',';
    empty_.back() = false;
    newline();
}

void JsonWriter::open(char bracket)
{
    before_value();
    out_ << bracket;
    empty_.push_back(true);
}

void JsonWriter::close(char bracket)
{
    const bool was_empty = empty_.empty() || empty_.back();
    if (!empty_.empty())
        empty_.pop_back();
    if (!was_empty)
        newline();
    out_ << bracket;
    if (empty_.empty())
        out_ << '\n';
}

void JsonWriter::begin_object()
{
    open('{');
}
void JsonWriter::end_object()
{
    close('}');
}
void JsonWriter::begin_array()
{
    open('[');
}
void JsonWriter::end_array()
{
    close(']');
}

void JsonWriter::key(const std::string& name)
{
    before_value();
    out_ << quote(name) << ": ";
    after_key_ = true;
}

void JsonWriter::value(const std::string& s)
{
    before_value();
    out_ << quote(s);
}

void JsonWriter::value(long long n)
{
    before_value();
    out_ << n;
}

void JsonWriter::value(unsigned long long n)
{
    before_value();
    out_ << n;
}

void JsonWriter::value(double x)
{
    before_value();
    out_ << number(x);
}

void JsonWriter::value(bool b)
{
    before_value();
    out_ << (b ? "true" : "false");
}

void JsonWriter::null()
{
    before_value();
    out_ << "null";
}

}  // namespace tavoinfo
