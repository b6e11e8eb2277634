#include "reliability_util.h"

#include <stdexcept>

#include <zlib.h>


namespace reliability {

namespace {

// The base name the reader echoes: no directory, no last extension.
std::string base_name(const std::string& path)
{
    std::string base = path.substr(path.rfind('/') + 1);
    const std::string::size_type dot = base.rfind('.');
    return dot == std::string::npos ? base : base.substr(0, dot);
}

}  // namespace

bool sanitized()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

RunResult run_tool(const std::vector<std::string>& args, const std::string& cwd, const Limits& limits)
{
    std::vector<std::string> argv{LIMIT_EXEC_BIN};
    if (limits.address_space != 0 && !sanitized())
        argv.insert(argv.end(), {"--as", std::to_string(limits.address_space)});
    if (limits.file_size != 0)
        argv.insert(argv.end(), {"--fsize", std::to_string(limits.file_size)});
    if (limits.honour_permissions)
        argv.push_back("--honour-permissions");
    argv.insert(argv.end(), {"--", TAVO2WAV_BIN});
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options;
    options.env = {"TZ=UTC"};
    options.timeout_s = limits.timeout_s;
    options.max_files = limits.max_files;
    return run_process(argv, cwd, options);
}

std::string opened(const std::string& name, const std::string& kind, const std::string& probe_line)
{
    const std::string echo = name + "\n" + base_name(name) + "\n";
    return "valid_comment_type3: " + probe_line + "\n" + echo + echo + "File: " + name + " Type:" + kind +
           "\n";
}

std::string reader_lines(const std::string& name, const std::string& kind,
                         const std::string& probe_line, const std::string& header)
{
    return opened(name, kind, probe_line) + "valid_comment_type3: " + header + "\n";
}

std::string gzip(const std::string& bytes, int level)
{
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, bytes.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

std::string flipped(std::string bytes, long at)
{
    const std::size_t i = at < 0 ? bytes.size() - static_cast<std::size_t>(-at) : static_cast<std::size_t>(at);
    bytes.at(i) = static_cast<char>(~bytes.at(i));
    return bytes;
}

}  // namespace reliability
