// Bounded copy and append, whichever implementation the C library or this
// library supplies.
#include "libkemra.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A 16-byte buffer filled with '#' and terminated at its last byte, so that
// any byte written past what was asked shows up.
struct Guarded {
    char bytes[16];
    explicit Guarded(const char* start)
    {
        std::memset(bytes, '#', sizeof bytes - 1);
        bytes[sizeof bytes - 1] = '\0';
        std::memcpy(bytes, start, std::strlen(start) + 1);
    }
    std::string whole() const { return std::string(bytes, sizeof bytes); }
};

struct CopyCase {
    const char* name;
    const char* source;
    size_t bufsize;
    size_t result;
    const char* after; // the first 16 bytes of the destination buffer
};

void PrintTo(const CopyCase& c, std::ostream* os)
{
    *os << c.name;
}

class StrlcpyTable : public testing::TestWithParam<CopyCase> {};

TEST_P(StrlcpyTable, CopiesWithinBuffer)
{
    const CopyCase& c = GetParam();
    Guarded d("");
    d.bytes[0] = '#';
    EXPECT_EQ(strlcpy(d.bytes, c.source, c.bufsize), c.result);
    EXPECT_EQ(d.whole(), std::string(c.after, 16));
}

const CopyCase copy_cases[] = {
    {"Fits", "abc", 8, 3, "abc\0###########\0"},
    {"ExactFit", "abcdefg", 8, 7, "abcdefg\0#######\0"},
    {"OneTooLong", "abcdefgh", 8, 8, "abcdefg\0#######\0"},
    {"MuchTooLong", "abcdefghijklmnopqrstuvwxyz", 4, 26, "abc\0###########\0"},
    {"SizeOneOnlyTerminates", "abc", 1, 3, "\0##############\0"},
    {"SizeZeroWritesNothing", "abc", 0, 3, "###############\0"},
    {"EmptySource", "", 8, 0, "\0##############\0"},
};

INSTANTIATE_TEST_SUITE_P(Bounds, StrlcpyTable, testing::ValuesIn(copy_cases),
                         [](const testing::TestParamInfo<CopyCase>& info) {
                             return std::string(info.param.name);
                         });

struct AppendCase {
    const char* name;
    const char* start;
    const char* source;
    size_t bufsize;
    size_t result;
    const char* after;
};

void PrintTo(const AppendCase& c, std::ostream* os)
{
    *os << c.name;
}

class StrlcatTable : public testing::TestWithParam<AppendCase> {};

TEST_P(StrlcatTable, AppendsWithinBuffer)
{
    const AppendCase& c = GetParam();
    Guarded d(c.start);
    EXPECT_EQ(strlcat(d.bytes, c.source, c.bufsize), c.result);
    EXPECT_EQ(d.whole(), std::string(c.after, 16));
}

const AppendCase append_cases[] = {
    {"Fits", "ab", "cd", 8, 4, "abcd\0##########\0"},
    {"ExactFit", "abc", "defg", 8, 7, "abcdefg\0#######\0"},
    {"Truncated", "abc", "defghij", 8, 10, "abcdefg\0#######\0"},
    {"DestinationFillsBuffer", "abcdefg", "xy", 8, 9, "abcdefg\0#######\0"},
    {"EmptyDestination", "", "xyz", 3, 3, "xy\0############\0"},
    {"EmptySource", "abc", "", 8, 3, "abc\0###########\0"},
    // Size 0 reads nothing of the destination: only the source length counts.
    {"SizeZeroWritesNothing", "abc", "de", 0, 2, "abc\0###########\0"},
};

INSTANTIATE_TEST_SUITE_P(Bounds, StrlcatTable, testing::ValuesIn(append_cases),
                         [](const testing::TestParamInfo<AppendCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
