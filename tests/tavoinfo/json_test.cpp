// The JSON writer: string escapes, numbers and the document layout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "json.h"

using tavoinfo::JsonWriter;

struct QuoteCase {
    const char* name;
    std::string in;
    std::string out;
};

// Test names show the row name, not the bytes of the row.
void PrintTo(const QuoteCase& c, std::ostream* os) { *os << c.name; }

class JsonQuote : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(JsonQuote, EscapesToValidJson)
{
    EXPECT_EQ(JsonWriter::quote(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, JsonQuote,
    ::testing::Values(QuoteCase{"Plain", "k4031516.dat", "\"k4031516.dat\""},
                      QuoteCase{"QuoteAndBackslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
                      QuoteCase{"NamedControls", "\n\r\t\b\f", "\"\\n\\r\\t\\b\\f\""},
                      QuoteCase{"OtherControls", std::string("\x01\x1f\0", 3), "\"\\u0001\\u001f\\u0000\""},
                      QuoteCase{"Delete", "\x7f", "\"\x7f\""},
                      QuoteCase{"TwoByteUtf8", "\xc3\xa5", "\"\xc3\xa5\""},
                      QuoteCase{"FourByteUtf8", "\xf0\x9f\x8e\xb5", "\"\xf0\x9f\x8e\xb5\""},
                      QuoteCase{"Latin1Byte", "\xe5r", "\"\\u00e5r\""},
                      QuoteCase{"StrayContinuation", "\x80", "\"\\u0080\""},
                      QuoteCase{"OverlongSlash", "\xc0\xaf", "\"\\u00c0\\u00af\""},
                      QuoteCase{"Surrogate", "\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},
                      QuoteCase{"TruncatedSequence", "\xe2\x82", "\"\\u00e2\\u0082\""},
                      QuoteCase{"AboveUnicode", "\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""}),
    [](const ::testing::TestParamInfo<QuoteCase>& info) { return std::string(info.param.name); });

struct NumberCase {
    const char* name;
    double in;
    const char* out;
};

// Test names show the row name, not the bytes of the row.
void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.name; }

class JsonNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(JsonNumber, WritesTheShortestExactForm)
{
    EXPECT_EQ(JsonWriter::number(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, JsonNumber,
    ::testing::Values(NumberCase{"Whole", 18.0, "18"},
                      NumberCase{"Fraction", 0.1, "0.1"},
                      NumberCase{"Repeating", 512 / 18.0, "28.444444444444443"},
                      NumberCase{"Negative", -2.5, "-2.5"},
                      NumberCase{"Large", 1e300, "1e+300"},
                      NumberCase{"Infinity", std::numeric_limits<double>::infinity(), "null"},
                      NumberCase{"NotANumber", std::nan(""), "null"}),
    [](const ::testing::TestParamInfo<NumberCase>& info) { return std::string(info.param.name); });

TEST(JsonWriter, LaysOutNestedContainers)
{
    std::ostringstream out;
    JsonWriter w(out);
    w.begin_object();
    w.key("files");
    w.begin_array();
    w.begin_object();
    w.key("records");
    w.value(3ULL);
    w.key("gain");
    w.null();
    w.key("gaps");
    w.begin_array();
    w.end_array();
    w.key("gzip");
    w.value(true);
    w.end_object();
    w.value(-1LL);
    w.end_array();
    w.key("empty");
    w.begin_object();
    w.end_object();
    w.end_object();
    EXPECT_EQ(out.str(),
              "{\n"
              "  \"files\": [\n"
              "    {\n"
              "      \"records\": 3,\n"
              "      \"gain\": null,\n"
              "      \"gaps\": [],\n"
              "      \"gzip\": true\n"
              "    },\n"
              "    -1\n"
              "  ],\n"
              "  \"empty\": {}\n"
              "}\n");
}
