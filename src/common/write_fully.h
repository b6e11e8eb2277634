// Writing a whole buffer to a file descriptor.
#ifndef TAVO_COMMON_WRITE_FULLY_H
#define TAVO_COMMON_WRITE_FULLY_H

#include <unistd.h>

#include <cerrno>
#include <cstddef>

// Writes all n bytes of data to fd, resuming after interruptions and short
// writes. Returns true when every byte was written; false with errno set
// otherwise (EIO when the descriptor accepted nothing without an error).
inline bool write_fully(int fd, const void* data, std::size_t n)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t done = ::write(fd, p, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = EIO;
            return false;
        }
        p += done;
        n -= static_cast<std::size_t>(done);
    }
    return true;
}

// Writes all n bytes of data at `offset` of fd (pwrite), resuming after
// interruptions and short writes; the file offset is left alone. Returns
// true when every byte was written; false with errno set otherwise.
inline bool write_fully_at(int fd, const void* data, std::size_t n, off_t offset)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t done = ::pwrite(fd, p, n, offset);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = EIO;
            return false;
        }
        p += done;
        n -= static_cast<std::size_t>(done);
        offset += done;
    }
    return true;
}

#endif
