// Feeds arbitrary argument vectors to the option scanner (the queries the
// tool makes, then get_first_unused), to path split and join, and to the
// command-line log's quoting.
//
// Input layout: the arguments after the program name, separated by NUL bytes
// (at most kMaxArgs of them).
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "harness.h"
#include "libkemra.h"

namespace {

constexpr std::size_t kMaxArgs = 64;

[[noreturn]] void broken(const char* what)
{
    tavo_fuzz::finding("options_fuzzer", what);
}

std::vector<std::string> split_arguments(const uint8_t* data, std::size_t size)
{
    std::vector<std::string> args{"tavo2wav"};
    std::string current;
    for (std::size_t i = 0; i < size && args.size() < kMaxArgs; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (args.size() < kMaxArgs)
        args.push_back(current);
    return args;
}

// The scanner keeps its marks per argument count; a call with another count
// discards them, so every input starts from fresh marks.
void reset_marks(int argc)
{
    static char plain[] = "x";
    std::vector<char*> other(static_cast<std::size_t>(argc) + 1, plain);
    get_option_unused(argc + 1, other.data());
}

// The queries of the tool's main, in its order, and a few more members.
void ask_everything(int argc, char** argv)
{
    for (const char* flag : {"help", "h", "?", "version", "where", "s", "m", "6", "c", "f", "o"})
        get_option(argc, argv, flag, 1, 0);
    unsigned long rate = 0;
    int scale = 0, upsample = 0;
    get_option_ulong(argc, argv, "r", &rate, 4000);
    get_option_int(argc, argv, "z", &scale, 0);
    get_option_int(argc, argv, "u", &upsample, 4);
    char* text = nullptr;
    double d = 0.0;
    float f = 0.0f;
    if (get_option_string(argc, argv, "name", &text) == 1 && text == nullptr)
        broken("string value found but not stored");
    get_option_double(argc, argv, "d", &d, 1.0);
    get_option_float(argc, argv, "g", &f, 1.0f);
    int start = 0, step = 0, stop = 0;
    get_option_int_range(argc, argv, "range", &start, &step, &stop);
    int values[3] = {0, 0, 0};
    get_option_ints(argc, argv, "ints", values, 3);
}

// The file names the tool would collect: increasing indices inside argv.
void collect_names(int argc, char** argv)
{
    int previous = 0;
    for (int i = get_first_unused(argc, argv, 1); i != 0; i = get_first_unused(argc, argv, i + 1)) {
        if (i <= previous || i >= argc)
            broken("get_first_unused returned an index out of order");
        previous = i;
    }
}

void check_scanner(std::vector<char*> argv, const std::vector<std::string>& args)
{
    const int argc = static_cast<int>(argv.size());
    reset_marks(argc);
    try {
        ask_everything(argc, argv.data());
        collect_names(argc, argv.data());
        print_used(argc, argv.data());
    } catch (const tavo_fuzz::FatalExit& e) {
        if (e.status != 1)
            broken("fatal exit with a status other than 1");
    }
    for (std::size_t i = 0; i < args.size(); ++i)
        if (args[i] != argv[i])
            broken("an argument was changed");
    const std::vector<char*> before = argv;
    ca_reorganize(argc, argv.data());
    if (!std::is_permutation(argv.begin(), argv.end(), before.begin()))
        broken("ca_reorganize lost or duplicated an argument");
}

struct Parts {
    std::string drive, directory, filename, extension;
};

Parts split_wide(const std::string& path)
{
    const std::size_t n = path.size() + 1;
    std::vector<char> d(n), dir(n), f(n), e(n);
    if (explode_path_n(path.c_str(), d.data(), n, dir.data(), n, f.data(), n, e.data(), n) != 0)
        broken("explode_path_n failed with room for every part");
    return {d.data(), dir.data(), f.data(), e.data()};
}

// Splits with small buffers: every part either arrives whole or, at the
// first part that does not fit, truncated with ENAMETOOLONG.
void check_split_small(const std::string& path, const Parts& whole)
{
    const std::size_t size = path.empty() ? 1 : 1 + static_cast<unsigned char>(path[0]) % 8;
    std::vector<char> d(size), dir(size), f(size), e(size);
    const int r = explode_path_n(path.c_str(), d.data(), size, dir.data(), size, f.data(), size,
                                 e.data(), size);
    const bool fits = whole.drive.size() < size && whole.directory.size() < size &&
                      whole.filename.size() < size && whole.extension.size() < size;
    if (r != (fits ? 0 : ENAMETOOLONG))
        broken("explode_path_n result does not match the part sizes");
    for (const std::vector<char>* b : {&d, &dir, &f, &e})
        if (strnlen(b->data(), size) == size)
            broken("part left without its terminating NUL");
}

// Joins the parts into a buffer of every interesting size: the full path
// needs path.size() + 1 bytes; anything smaller holds a prefix.
void check_join(const std::string& path, const Parts& p)
{
    // The fixed-size forms, in buffers of exactly their sizes.
    std::vector<char> fixed(260);
    char d[256], dir[256], f[256], e[256];
    explode_path(path.c_str(), d, dir, f, e);
    combine_path(fixed.data(), d, dir, f, e);
    for (std::size_t len : {path.size() + 1, path.size(), path.size() / 2, std::size_t{1}}) {
        std::vector<char> out(len + 1, '#');
        const int r = combine_path_n(out.data(), len, p.drive.c_str(), p.directory.c_str(),
                                     p.filename.c_str(), p.extension.c_str());
        if (len == 0)
            continue;
        const bool fits = path.size() < len;
        if (r != (fits ? 0 : ENAMETOOLONG) || path.compare(0, len - 1, out.data()) != 0 ||
            out[len] != '#')
            broken("combine_path_n does not rebuild the split path");
    }
}

void check_paths(const std::vector<std::string>& args)
{
    for (const std::string& path : args) {
        const Parts whole = split_wide(path);
        check_split_small(path, whole);
        check_join(path, whole);
    }
}

// The logged form of one argument, written out from the quoting rules.
std::string logged(const std::string& arg)
{
    auto escape = [](const std::string& s) {
        std::string out;
        for (char c : s) {
            if (c == '\\' || c == '"')
                out += '\\';
            out += c;
        }
        return out;
    };
    if (arg.find_first_of(" ,*") == std::string::npos)
        return " " + arg;
    const std::size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos)
        return " " + arg.substr(0, eq + 1) + "\"" + escape(arg.substr(eq + 1)) + "\"";
    return " \"" + escape(arg) + "\"";
}

void check_log(const std::vector<char*>& argv, const std::vector<std::string>& args)
{
    const std::string path = tavo_fuzz::scratch_dir() + "/logfile";
    ::unlink(path.c_str());
    flogfile(path.c_str(), static_cast<int>(argv.size()), const_cast<char**>(argv.data()));
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    std::string want;
    for (const std::string& a : args)
        want += logged(a);
    want += "\n";
    const std::string line = content.str();
    // "%x %X" in the C locale: 12/05/26 07:25:33, 17 characters.
    if (line.size() != 17 + want.size() || line.compare(17, std::string::npos, want) != 0)
        broken("log line differs from the quoting rules");
    ::unlink(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tavo_fuzz::survive_fatal_exits();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::vector<std::string> args = split_arguments(data, size);
    // Each argument in a buffer of its own, so reads past it are caught.
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv;
    for (const std::string& a : args)
        storage.emplace_back(a.c_str(), a.c_str() + a.size() + 1);
    for (std::vector<char>& s : storage)
        argv.push_back(s.data());
    const tavo_fuzz::FdLeakCheck fds;
    check_scanner(argv, args);
    check_paths(args);
    check_log(argv, args);
    fds.check();
    return 0;
}
