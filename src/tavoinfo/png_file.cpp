// tavoinfo --plot: atomic PNG output through cairo's stream writer.
#include "png_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace tavoinfo {

namespace {

// ".<name>.XXXXXX" in the target's directory, the name cut so that the
// whole stays within NAME_MAX.
std::string temp_template(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    const std::size_t base_at = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, base_at) + "." + target.substr(base_at, NAME_MAX - 8) + ".XXXXXX";
}

mode_t new_file_mode()
{
    const mode_t mask = umask(022);
    umask(mask);
    return 0666 & ~mask;
}

// The temporary file: closed and removed on every path but commit().
class TempFile {
public:
    explicit TempFile(const std::string& target) : name_(temp_template(target))
    {
        const int fd = mkostemp(&name_[0], O_CLOEXEC);
        if (fd < 0) {
            error_ = errno;
            name_.clear();
            return;
        }
        file_ = fdopen(fd, "wb");
        if (file_ == nullptr) {
            error_ = errno;
            ::close(fd);
        }
    }
    ~TempFile()
    {
        if (file_ != nullptr)
            std::fclose(file_);
        if (!name_.empty())
            ::unlink(name_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    FILE* stream() const { return file_; }
    int error() const { return error_; }
    void fail(int err)
    {
        if (error_ == 0)
            error_ = err;
    }

    // Flushes, syncs, closes and renames to target; false (error() set) on
    // any failure.
    bool commit(const std::string& target)
    {
        if (file_ == nullptr || error_ != 0)
            return false;
        if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0 ||
            fchmod(fileno(file_), new_file_mode()) != 0)
            fail(errno);
        FILE* f = file_;
        file_ = nullptr;
        if (std::fclose(f) != 0)
            fail(errno);
        if (error_ == 0 && std::rename(name_.c_str(), target.c_str()) != 0)
            fail(errno);
        if (error_ != 0)
            return false;
        name_.clear();
        return true;
    }

private:
    std::string name_;
    FILE* file_ = nullptr;
    int error_ = 0;
};

cairo_status_t write_to(void* closure, const unsigned char* data, unsigned int length)
{
    TempFile* file = static_cast<TempFile*>(closure);
    if (std::fwrite(data, 1, length, file->stream()) != length) {
        file->fail(errno != 0 ? errno : EIO);
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool write_png_file(cairo_surface_t* surface, const std::string& path, std::string& why)
{
    TempFile file(path);
    if (file.stream() != nullptr) {
        errno = 0;
        const cairo_status_t status = cairo_surface_write_to_png_stream(surface, write_to, &file);
        if (status != CAIRO_STATUS_SUCCESS && file.error() == 0)
            why = path + ": " + cairo_status_to_string(status);
        if (status == CAIRO_STATUS_SUCCESS && file.commit(path))
            return true;
    }
    if (why.empty())
        why = path + ": " + std::strerror(file.error() != 0 ? file.error() : EIO);
    return false;
}

}  // namespace tavoinfo
