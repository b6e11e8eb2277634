// Writing a whole buffer to a file descriptor.
#ifndef TAVO_COMMON_WRITE_FULLY_H
#define TAVO_COMMON_WRITE_FULLY_H

#include <unistd.h>

#include <cerrno>
#include <cstddef>

// Calls write_some(p, n) until all n bytes of data are written, resuming
// after interruptions and short writes. Returns true when every byte was
// written; false with errno set otherwise (EIO when nothing was accepted
// without an error).
template <class WriteSome>
inline bool write_all_with(const void* data, std::size_t n, WriteSome write_some)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t done = write_some(p, n);
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

// Writes all n bytes of data to fd (write).
inline bool write_fully(int fd, const void* data, std::size_t n)
{
    return write_all_with(data, n,
                          [fd](const char* p, std::size_t k) { return ::write(fd, p, k); });
}

// Writes all n bytes of data at `offset` of fd (pwrite); the file offset is
// left alone.
inline bool write_fully_at(int fd, const void* data, std::size_t n, off_t offset)
{
    return write_all_with(data, n, [fd, &offset](const char* p, std::size_t k) {
        const ssize_t done = ::pwrite(fd, p, k, offset);
        if (done > 0)
            offset += done;
        return done;
    });
}

#endif
