// tavoinfo: a small streaming JSON writer.
//
//   JsonWriter w(std::cout);
//   w.begin_object();
//   w.key("records"); w.value(3LL);
//   w.key("gaps"); w.begin_array(); w.end_array();
//   w.end_object();   // {"records": 3, "gaps": []} with two-space indentation
//
// The writer places commas, line breaks and indentation itself; the caller
// keeps to JSON's structure (a key before each value inside an object, every
// container closed).
#ifndef TAVOINFO_JSON_H
#define TAVOINFO_JSON_H

#include <ostream>
#include <string>
#include <vector>

namespace tavoinfo {

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    void begin_object();
    void end_object();
    void begin_array();
    void end_array();
    /// Member name of the next value of the enclosing object.
    void key(const std::string& name);
    /// A string, escaped: '"', '\\' and control characters as JSON escapes;
    /// valid UTF-8 passes unchanged; every byte that is not part of a valid
    /// UTF-8 sequence is written as the code point of the same value
    /// (\u0080 .. \u00ff), so any byte string yields valid JSON.
    void value(const std::string& s);
    void value(const char* s) { value(std::string(s)); }
    void value(long long n);
    void value(unsigned long long n);
    /// The shortest decimal form that reads back as the same double;
    /// null for infinities and NaN, which JSON cannot hold.
    void value(double x);
    void value(bool b);
    void null();

    /// s as a JSON string literal, quotes included.
    static std::string quote(const std::string& s);
    /// x as a JSON number ("null" when not finite).
    static std::string number(double x);

private:
    void before_value();
    void open(char bracket);
    void close(char bracket);
    void newline();

    std::ostream& out_;
    std::vector<bool> empty_;  // per open container: nothing written into it yet
    bool after_key_ = false;
};

}  // namespace tavoinfo

#endif  // TAVOINFO_JSON_H
