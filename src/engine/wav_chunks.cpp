#include "engine/wav_chunks.h"

#include <cstdint>
#include <cstdio>

namespace tavo::engine {

namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes& out, uint16_t v)
{
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(Bytes& out, uint32_t v)
{
    put16(out, static_cast<uint16_t>(v & 0xFFFF));
    put16(out, static_cast<uint16_t>(v >> 16));
}

void put_code(Bytes& out, const char (&code)[5])
{
    out.insert(out.end(), code, code + 4);
}

// text in a field of exactly n bytes: cut, or padded with NULs.
void put_fixed(Bytes& out, const std::string& text, std::size_t n)
{
    for (std::size_t i = 0; i < n; i++)
        out.push_back(i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
}

// A chunk: code, body length, body, and a pad byte after an odd body.
void put_chunk(Bytes& out, const char (&code)[5], const Bytes& body)
{
    put_code(out, code);
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0)
        out.push_back(0);
}

// A text sub-chunk of INFO: the text and its terminating NUL.
void put_text_chunk(Bytes& out, const char (&code)[5], const std::string& text)
{
    Bytes body(text.begin(), text.end());
    body.push_back(0);
    put_chunk(out, code, body);
}

std::string number(const char* format, double x)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, x);
    return buf;
}

std::string station_text(const AudioTimeline& t)
{
    return t.station != 0 ? std::string("Station ") + t.station : std::string("TAVO station");
}

// EBU Tech 3285 version 1, 602 bytes without coding history.
Bytes bext_body(const AudioTimeline& t)
{
    Bytes b;
    put_fixed(b, bext_description(t), 256);                            // Description
    put_fixed(b, "tavo2wav", 32);                                      // Originator
    put_fixed(b, "", 32);                                              // OriginatorReference
    put_fixed(b, t.dated ? iso_time(t.start).substr(0, 10) : "", 10);  // OriginationDate yyyy-mm-dd
    put_fixed(b, t.dated ? iso_time(t.start).substr(11, 8) : "", 8);   // OriginationTime hh:mm:ss
    put32(b, static_cast<uint32_t>(t.time_reference & 0xFFFFFFFFu));   // TimeReferenceLow
    put32(b, static_cast<uint32_t>(t.time_reference >> 32));           // TimeReferenceHigh
    put16(b, 1);                                                       // Version
    put_fixed(b, "", 64);                                              // UMID: none
    put_fixed(b, "", 190);                                             // loudness (v2) and reserved
    return b;                                                          // CodingHistory: empty
}

Bytes info_body(const AudioTimeline& t, const std::string& software)
{
    Bytes b;
    put_code(b, "INFO");
    const std::string date = t.dated ? iso_time(t.start).substr(0, 10) : "";
    put_text_chunk(b, "INAM", t.dated ? station_text(t) + ", " + date : station_text(t));
    if (t.dated)
        put_text_chunk(b, "ICRD", date);
    put_text_chunk(b, "ISFT", software);
    put_text_chunk(b, "ICMT", timeline_comment(t));
    return b;
}

// Cue points: id (1 on), play position, "data", chunk start 0, block start
// 0, sample offset; positions in frames.
Bytes cue_body(const AudioTimeline& t)
{
    Bytes b;
    put32(b, static_cast<uint32_t>(t.markers.size()));
    for (std::size_t i = 0; i < t.markers.size(); i++) {
        put32(b, static_cast<uint32_t>(i + 1));
        put32(b, static_cast<uint32_t>(t.markers[i].frame));
        put_code(b, "data");
        put32(b, 0);
        put32(b, 0);
        put32(b, static_cast<uint32_t>(t.markers[i].frame));
    }
    return b;
}

// "adtl" with one "labl" (cue id, text, NUL) per cue point, then one
// "ltxt" per region (a filled gap), which gives its cue point a length.
// The regions follow all labels: ffmpeg stops reading the labels at the
// first sub-chunk that is not a "labl".
Bytes adtl_body(const AudioTimeline& t)
{
    Bytes b;
    put_code(b, "adtl");
    for (std::size_t i = 0; i < t.markers.size(); i++) {
        Bytes label;
        put32(label, static_cast<uint32_t>(i + 1));
        label.insert(label.end(), t.markers[i].text.begin(), t.markers[i].text.end());
        label.push_back(0);
        put_chunk(b, "labl", label);
    }
    for (std::size_t i = 0; i < t.markers.size(); i++) {
        const Marker& m = t.markers[i];
        if (m.end <= m.frame)
            continue;
        Bytes region;
        put32(region, static_cast<uint32_t>(i + 1));            // cue point id
        put32(region, static_cast<uint32_t>(m.end - m.frame));  // sample length, in frames
        put_code(region, "rgn ");                               // purpose: a region
        put16(region, 0);                                       // country
        put16(region, 0);                                       // language
        put16(region, 0);                                       // dialect
        put16(region, 0);                                       // code page; no text follows
        put_chunk(b, "ltxt", region);
    }
    return b;
}

}  // namespace

std::string bext_description(const AudioTimeline& t)
{
    std::string d = station_text(t) + ", " + number("%g", t.frequency) + " Hz sampling, " +
                    number("%g", t.speedup) + " times faster";
    if (!t.sources.empty()) {
        const std::string& first = t.sources.front();
        d += ", from " + first.substr(first.rfind('/') + 1);
        if (t.sources.size() > 1)
            d += " and " + std::to_string(t.sources.size() - 1) + " more";
    }
    return d;
}

std::vector<unsigned char> timeline_chunks(const AudioTimeline& t, const std::string& software)
{
    Bytes out;
    put_chunk(out, "bext", bext_body(t));
    put_chunk(out, "LIST", info_body(t, software));
    if (!t.markers.empty()) {
        put_chunk(out, "cue ", cue_body(t));
        put_chunk(out, "LIST", adtl_body(t));
    }
    return out;
}

}  // namespace tavo::engine
