// tavo._tavo: the three channels of a recording in one block of memory, row
// after row ((3, n) in C order), filled record by record straight from the
// reader's buffers and handed to numpy as it is.
//
// Sized from the files beforehand, the block is filled without moving a
// sample.  When the files hold more than that (a gzip file of several
// members), the block grows: realloc moves large blocks by remapping their
// pages, and the second and third rows slide to their new places.  Fewer
// samples than planned (text files, whose size is only a bound) slide the
// rows together at the end, and the unused pages are given back.
#ifndef TAVO_PYTHON_SAMPLE_BLOCK_H
#define TAVO_PYTHON_SAMPLE_BLOCK_H

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include <zeltra/zeltra.h>

namespace tavo_py {

/// Channels of T (int16_t for binary files, double for text files).
template <class T>
class SampleBlock {
public:
    SampleBlock() = default;
    ~SampleBlock() { std::free(data_); }
    SampleBlock(const SampleBlock&) = delete;
    SampleBlock& operator=(const SampleBlock&) = delete;

    /// Makes room for `capacity` samples per channel; throws std::bad_alloc.
    void reserve(std::size_t capacity)
    {
        if (capacity <= capacity_)
            return;
        void* grown = std::realloc(data_, 3 * capacity * sizeof(T));
        if (grown == nullptr)
            throw std::bad_alloc();
        data_ = static_cast<T*>(grown);
        std::memmove(data_ + 2 * capacity, data_ + 2 * capacity_, size_ * sizeof(T));
        std::memmove(data_ + capacity, data_ + capacity_, size_ * sizeof(T));
        capacity_ = capacity;
    }

    /// Appends the first `length` samples of each channel of `record`.
    void append(const Zeltra::atype& record, std::size_t length)
    {
        if (size_ + length > capacity_)
            reserve(std::max<std::size_t>({2 * capacity_, size_ + length, 4096}));
        for (std::size_t c = 0; c < 3; ++c) {
            const std::size_t n = std::min(length, record[c].size());
            T* row = data_ + c * capacity_ + size_;
            for (std::size_t j = 0; j < n; ++j)
                row[j] = static_cast<T>(record[c][j]);
            std::fill(row + n, row + length, T{0});
        }
        size_ += length;
    }

    /// Samples per channel.
    std::size_t size() const { return size_; }

    /// The rows, moved together and trimmed to 3 x size() samples (at least
    /// one allocated element); the caller frees the memory with std::free.
    T* release()
    {
        reserve(1);
        std::memmove(data_ + size_, data_ + capacity_, size_ * sizeof(T));
        std::memmove(data_ + 2 * size_, data_ + 2 * capacity_, size_ * sizeof(T));
        void* trimmed = std::realloc(data_, std::max<std::size_t>(3 * size_, 1) * sizeof(T));
        T* out = trimmed != nullptr ? static_cast<T*>(trimmed) : data_;
        data_ = nullptr;
        capacity_ = size_ = 0;
        return out;
    }

private:
    T* data_ = nullptr;
    std::size_t capacity_ = 0;  // samples per channel the block has room for
    std::size_t size_ = 0;      // samples per channel held
};

}  // namespace tavo_py

#endif  // TAVO_PYTHON_SAMPLE_BLOCK_H
