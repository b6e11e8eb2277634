// Shared pieces of the fuzz targets.
#include "harness.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <zlib.h>

#include "zeltra.h"

// libkemra ends the process through this weak symbol; the harness's strong
// definition turns the exit into an exception the target catches.
extern "C" [[noreturn]] void kemra_fatal_exit(int status)
{
    throw tavo_fuzz::FatalExit{status};
}

namespace tavo_fuzz {

namespace {

int report_fd = 2;

[[noreturn]] void zeltra_fatal(int status)
{
    throw FatalExit{status};
}

[[noreturn]] void give_up(const char* what, const std::string& path)
{
    finding("harness", (std::string("cannot ") + what + " " + path).c_str());
}

// Owns the scratch directory; removes it at normal process end.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "tavo-fuzz-XXXXXX").string();
        if (mkdtemp(templ.data()) == nullptr)
            give_up("create", templ);
        path_ = templ;
    }
    ~ScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Owns a descriptor.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

int lowest_free_fd()
{
    const Fd probe(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (probe.get() < 0)
        give_up("open", "/dev/null");
    return probe.get();
}

}  // namespace

void finding(const char* target, const char* what)
{
    const std::string line = std::string(target) + ": " + what + "\n";
    if (::write(report_fd, line.data(), line.size()) < 0) {
        // Aborting reports the finding all the same.
    }
    std::abort();
}

void set_report_fd(int fd)
{
    report_fd = fd;
}

void survive_fatal_exits()
{
    Zeltra::set_fatal_exit_handler(zeltra_fatal);
}

const std::string& scratch_dir()
{
    static const ScratchDir dir;
    return dir.path();
}

void write_file(const std::string& path, const uint8_t* data, std::size_t size)
{
    const Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        give_up("create", path);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd.get(), data + done, size - done);
        if (n <= 0)
            give_up("write", path);
        done += static_cast<std::size_t>(n);
    }
}

void write_gzip_file(const std::string& path, const uint8_t* data, std::size_t size)
{
    gzFile gz = gzopen(path.c_str(), "wb");
    if (gz == nullptr)
        give_up("create", path);
    bool ok = true;
    // gzwrite takes an unsigned count; fuzz inputs are far below its limit.
    if (size > 0)
        ok = gzwrite(gz, data, static_cast<unsigned>(size)) == static_cast<int>(size);
    if (gzclose(gz) != Z_OK || !ok)
        give_up("write", path);
}

FdLeakCheck::FdLeakCheck() : lowest_free_(lowest_free_fd()) {}

void FdLeakCheck::check() const
{
    const int now = lowest_free_fd();
    if (now != lowest_free_)
        finding("harness", ("descriptor " + std::to_string(lowest_free_) + " left open").c_str());
}

}  // namespace tavo_fuzz
