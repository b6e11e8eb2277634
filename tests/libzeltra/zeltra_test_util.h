// Helpers shared by the reader library's tests.
#ifndef TAVO_TESTS_LIBZELTRA_ZELTRA_TEST_UTIL_H
#define TAVO_TESTS_LIBZELTRA_ZELTRA_TEST_UTIL_H

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tavo_writer.h"
#include "zeltra.h"

namespace zeltra_test {

/// Exposes the reader's protected state to the tests.
template <class Reader>
struct Probe : Reader {
    using Reader::Reader;
    using Reader::date_from_comment;
    using Reader::filetype;
    using Reader::is_next;
    using Reader::length;
    using Reader::parse_comment;
    using Reader::time_from_comment;
    using Reader::timegaps;
    using Reader::unixtime;
    using Reader::use_next;

    /// Start of day: minute word 61 counts from midnight.
    time_t start_of_day() {
        const int saved[2] = {this->time[0], this->time[1]};
        this->time[0] = 61;
        this->time[1] = 0;
        const time_t sod = this->get_tavotime(0) - 3660;
        this->time[0] = saved[0];
        this->time[1] = saved[1];
        return sod;
    }
    /// Time base: minute word 0 counts from the base hour.
    time_t time_base() {
        const int saved[2] = {this->time[0], this->time[1]};
        this->time[0] = 0;
        this->time[1] = 0;
        const time_t at = this->get_tavotime(0) - start_of_day();
        this->time[0] = saved[0];
        this->time[1] = saved[1];
        return at;
    }
};

using BinaryProbe = Probe<Zeltra::BinaryZELTRA>;
using AsciiProbe = Probe<Zeltra::AsciiZELTRA>;

/// The four lines every construction writes: path and base name, once for
/// the start of day and once for the time base.
inline std::string path_echo(const std::string& path) {
    std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (base.rfind('.') != std::string::npos) base.erase(base.rfind('.'));
    const std::string pair = path + "\n" + base + "\n";
    return pair + pair;
}

/// Everything a construction writes before the header line's messages.
inline std::string construction_echo(const std::string& path, const char* type) {
    return path_echo(path) + "File: " + path + " Type:" + type + "\n";
}

const char* const kInvalidComment =
    "Invalid comment line\nCouldn't determine sampling frequency\ndefaulting to 18.0Hz\n";

/// A POSIX extended regular expression that matches exactly `text`.
inline std::string exactly(const std::string& text) {
    std::string re = "^";
    for (char c : text) {
        if (std::string(".[]()*+?{}|^$\\").find(c) != std::string::npos) re += '\\';
        re += c;
    }
    return re + "$";
}

/// Thrown by the fatal-exit handler the tests install.
struct FatalExit {
    int status;
};

[[noreturn]] inline void throw_fatal(int status) {
    throw FatalExit{status};
}

/// Installs the throwing handler for one scope.
struct ThrowOnFatal {
    ThrowOnFatal() { Zeltra::set_fatal_exit_handler(throw_fatal); }
    ~ThrowOnFatal() { Zeltra::set_fatal_exit_handler(nullptr); }
};

/// Reads every record of a reader: the first `length` samples per channel
/// of each step and the step's time words.
struct Delivered {
    std::vector<std::array<std::vector<double>, 3>> samples;
    std::vector<std::array<int, 2>> times;
};

inline Delivered read_all(Zeltra::ZELTRA& reader) {
    Delivered d;
    while (reader.getdata() != -1) {
        std::array<std::vector<double>, 3> rec;
        for (int c = 0; c < 3; ++c)
            rec[c].assign(reader.current[c].begin(),
                          reader.current[c].begin() + static_cast<long>(reader.get_length()));
        d.samples.push_back(rec);
        d.times.push_back({reader.time[0], reader.time[1]});
    }
    return d;
}

}  // namespace zeltra_test

#endif  // TAVO_TESTS_LIBZELTRA_ZELTRA_TEST_UTIL_H
