// Feeds arbitrary argument vectors to the option scanner (the queries the
// tool makes, then get_first_unused), to path split and join, and to the
// command-line log's quoting.
//
// Input layout: the arguments after the program name, separated by NUL bytes
// (at most 63 of them).
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

#include <unistd.h>

#include "harness.h"
#include <kemra/libkemra.h>
#include "tavo_writer.h"

namespace {

using tavo_fuzz::check;

// The queries of the tool's main in its order, and the range and list
// members; then the file names the tool would collect: increasing indices.
void scan(int argc, char** argv)
{
    for (const char* flag : {"help", "h", "?", "version", "where", "s", "m", "6", "c", "f", "o"})
        get_option(argc, argv, flag, 1, 0);
    unsigned long rate = 0;
    int scale = 0, upsample = 0, start = 0, step = 0, stop = 0, values[3] = {0, 0, 0};
    get_option_ulong(argc, argv, "r", &rate, 4000);
    get_option_int(argc, argv, "z", &scale, 0);
    get_option_int(argc, argv, "u", &upsample, 4);
    get_option_int_range(argc, argv, "range", &start, &step, &stop);
    get_option_ints(argc, argv, "ints", values, 3);
    for (int i = get_first_unused(argc, argv, 1), previous = 0; i != 0;
         i = get_first_unused(argc, argv, i + 1)) {
        check(i > previous && i < argc, "get_first_unused returned an index out of order");
        previous = i;
    }
    print_used(argc, argv);
}

// Drive, directory, file name and extension of `path` in buffers of `size`
// bytes each; every part must stay terminated.
std::vector<std::vector<char>> split(const std::string& path, std::size_t size, int& result)
{
    std::vector<std::vector<char>> b(4, std::vector<char>(size, 0));
    result = explode_path_n(path.c_str(), b[0].data(), size, b[1].data(), size, b[2].data(), size,
                            b[3].data(), size);
    for (const std::vector<char>& part : b)
        check(strnlen(part.data(), size) < size, "part left without its terminating NUL");
    return b;
}

// Splits with room for every part, then with small buffers: each part
// arrives whole or, at the first that does not fit, truncated with
// ENAMETOOLONG.  Joins the parts into buffers of every interesting size: the
// full path needs path.size() + 1 bytes; anything smaller holds a prefix.
void check_path(const std::string& path)
{
    int r = 0;
    const std::vector<std::vector<char>> p = split(path, path.size() + 1, r);
    check(r == 0, "explode_path_n failed with room for every part");
    const std::size_t size = 1 + static_cast<unsigned char>(path.c_str()[0]) % 8;
    split(path, size, r);
    const bool fits = std::all_of(
        p.begin(), p.end(), [&](const std::vector<char>& v) { return strlen(v.data()) < size; });
    check(r == (fits ? 0 : ENAMETOOLONG), "explode_path_n result does not match the part sizes");
    for (std::size_t len : {path.size() + 1, path.size(), path.size() / 2, std::size_t{1}}) {
        std::vector<char> out(len + 1, '#');
        r = combine_path_n(out.data(), len, p[0].data(), p[1].data(), p[2].data(), p[3].data());
        check(len == 0 || (r == (path.size() < len ? 0 : ENAMETOOLONG) &&
                           path.compare(0, len - 1, out.data()) == 0 && out[len] == '#'),
              "combine_path_n does not rebuild the split path");
    }
}

// The logged form of one argument, written out from the quoting rules.
std::string logged(const std::string& arg)
{
    if (arg.find_first_of(" ,*") == std::string::npos)
        return " " + arg;
    // A long option's value is quoted after its '=', anything else whole.
    const std::size_t eq = arg.compare(0, 2, "--") == 0 ? arg.find('=') : std::string::npos;
    const std::size_t from = eq == std::string::npos ? 0 : eq + 1;
    std::string out = " " + arg.substr(0, from) + "\"";
    for (char c : arg.substr(from))
        out += (c == '\\' || c == '"') ? std::string{'\\', c} : std::string{c};
    return out + "\"";
}

void check_log(const std::vector<char*>& argv, const std::vector<std::string>& args)
{
    const std::string path = tavo_fuzz::data_path() + ".log";
    ::unlink(path.c_str());
    flogfile(path.c_str(), static_cast<int>(argv.size()), const_cast<char**>(argv.data()));
    std::string want;
    for (const std::string& a : args)
        want += logged(a);
    // "%x %X" in the C locale, 12/05/26 07:25:33: 17 characters.
    const std::string line = tavo_test::read_bytes(path);
    check(line.size() == 17 + want.size() + 1 &&
              line.compare(17, std::string::npos, want + "\n") == 0,
          "log line differs from the quoting rules");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> args{"tavo2wav"};
    for (std::string arg; args.size() < 64 && std::getline(in, arg, '\0');)
        args.push_back(arg);
    // Each argument in a buffer of its own, so that reads past one are caught.
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv;
    for (const std::string& a : args)
        storage.emplace_back(a.c_str(), a.c_str() + a.size() + 1);
    for (std::vector<char>& s : storage)
        argv.push_back(s.data());
    const int argc = static_cast<int>(argv.size());
    // The scanner keeps its marks per argument count; a call with another
    // count discards them, so every input starts from fresh marks.
    std::vector<char*> other(argv.size() + 1, argv[0]);
    get_option_unused(argc + 1, other.data());
    tavo_fuzz::run_checked(true, [&] { scan(argc, argv.data()); });
    check(std::equal(args.begin(), args.end(), argv.begin()), "an argument was changed");
    tavo_fuzz::run_checked(false, [&] {
        for (const std::string& a : args)
            check_path(a);
        check_log(argv, args);
    });
    const std::vector<char*> before = argv;
    ca_reorganize(argc, argv.data());
    check(std::is_permutation(argv.begin(), argv.end(), before.begin()),
          "ca_reorganize lost or duplicated an argument");
    return 0;
}
