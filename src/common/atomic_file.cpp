#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <limits>
#include <mutex>
#include <random>

#include "common/write_fully.h"

namespace tavo::common {

namespace {

std::atomic<bool> refuse_unnamed{false};

// The errors with which a file system or kernel says it cannot make an
// unnamed file; any other error is the folder's own (missing, not writable).
bool unnamed_unsupported(int err)
{
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL;
}

std::string folder_of(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : target.substr(0, slash);
}

// ".<name>.XXXXXX" in the target's folder with six random letters and
// digits, the name cut so that the whole stays within NAME_MAX.
std::string temporary_name(const std::string& target)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof letters - 2);
    const std::size_t slash = target.rfind('/');
    const std::size_t base_at = slash == std::string::npos ? 0 : slash + 1;
    std::string name = target.substr(0, base_at) + "." + target.substr(base_at, NAME_MAX - 8) + ".";
    for (int i = 0; i < 6; ++i)
        name += letters[pick(random)];
    return name;
}

// Tries fresh temporary names for `make` (which returns false with errno
// EEXIST when the name is taken) until one is free.
template <class Make>
bool with_free_name(const std::string& target, std::string* name, Make make)
{
    for (int tries = 0; tries < 100; ++tries) {
        *name = temporary_name(target);
        if (make(*name))
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

mode_t read_umask()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Umask:") {
            unsigned mask = 0;
            if (status >> std::oct >> mask)
                return static_cast<mode_t>(mask & 0777);
            break;
        }
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    // Without /proc the umask can only be read by setting it; that happens
    // once, the first time a file is finished.
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

bool fsync_folder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

}  // namespace

mode_t new_file_mode()
{
    static std::once_flag once;
    static mode_t mode = 0644;
    std::call_once(once, [] { mode = 0666 & ~read_umask(); });
    return mode;
}

void AtomicFile::refuse_unnamed_for_tests(bool refuse)
{
    refuse_unnamed = refuse;
}

AtomicFile::~AtomicFile()
{
    const int saved = errno;
    discard();
    errno = saved;
}

void AtomicFile::watch(const std::string& path, bool exists)
{
    if (watch_)
        watch_->temporary(path, exists);
}

bool AtomicFile::create(const std::string& target)
{
    if (fd_ >= 0) {
        errno = EINVAL;
        return false;
    }
    if (target.empty()) {
        errno = ENOENT;
        return false;
    }
    target_ = target;
    if (!refuse_unnamed && create_unnamed(folder_of(target)))
        return true;
    if (!refuse_unnamed && !unnamed_unsupported(errno))
        return false;
    return create_named();
}

bool AtomicFile::create_unnamed(const std::string& folder)
{
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    return fd_ >= 0;
}

bool AtomicFile::create_named()
{
    const auto make = [&](const std::string& name) {
        bool made = false;
        const auto naming = [&] {
            fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if ((made = fd_ >= 0))
                watch(name, true);
        };
        watch_ ? watch_->step(naming) : naming();
        return made;
    };
    return with_free_name(target_, &named_, make) || (named_.clear(), false);
}

bool AtomicFile::write(const void* data, std::size_t n)
{
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    return write_fully(fd_, data, n);
}

bool AtomicFile::write_at(const void* data, std::size_t n, off_t offset)
{
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    return write_fully_at(fd_, data, n, offset);
}

// Gives the unnamed file a temporary name through /proc/self/fd.
bool AtomicFile::link_unnamed(std::string* name)
{
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    const auto make = [&](const std::string& candidate) {
        bool made = false;
        const auto naming = [&] {
            made = ::linkat(AT_FDCWD, self, AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0;
            if (made)
                watch(candidate, true);
        };
        watch_ ? watch_->step(naming) : naming();
        return made;
    };
    return with_free_name(target_, name, make);
}

bool AtomicFile::commit(Sync sync)
{
    int err = 0;
    if (fd_ < 0)
        err = EBADF;
    else if (::fchmod(fd_, new_file_mode()) != 0 || (sync == Sync::SYNC && ::fsync(fd_) != 0))
        err = errno;
    else if (named_.empty() && !link_unnamed(&named_))
        err = errno;
    if (err == 0) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            err = errno;
    }
    bool placed = false;
    if (err == 0) {
        const auto naming = [&] {
            placed = std::rename(named_.c_str(), target_.c_str()) == 0;
            err = placed ? 0 : errno;
            if (placed) {
                watch(named_, false);
                if (watch_)
                    watch_->placed(target_);
                named_.clear();
            }
        };
        watch_ ? watch_->step(naming) : naming();
    }
    if (err == 0 && sync == Sync::SYNC && !fsync_folder(folder_of(target_)))
        err = errno;  // the file is in place; its folder entry may not be durable yet
    if (err != 0) {
        if (!placed)
            discard();
        errno = err;
    }
    return err == 0;
}

void AtomicFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (named_.empty())
        return;
    const auto naming = [&] {
        ::unlink(named_.c_str());
        watch(named_, false);
    };
    watch_ ? watch_->step(naming) : naming();
    named_.clear();
}

}  // namespace tavo::common
