// tavo._tavo: what a data file will give, looked at before it is read: its
// kind and how many samples per channel to make room for.
#ifndef TAVO_PYTHON_FILE_PLAN_H
#define TAVO_PYTHON_FILE_PLAN_H

#include <cstddef>
#include <string>

namespace tavo_py {

struct FilePlan {
    bool text = false;        ///< a text file (samples as float64), else binary (int16)
    std::size_t samples = 0;  ///< samples per channel to make room for
};

/// Opens `path` with the reader (its header line only, nothing said) and
/// plans from the size of its data: exact for a binary file (plain, or gzip
/// of one member, whose trailer gives the size), an upper bound for a text
/// file (every sample takes at least two bytes).  False when the reader
/// refuses the file; reading it will say why.
bool plan_file(const std::string& path, FilePlan& plan);

}  // namespace tavo_py

#endif  // TAVO_PYTHON_FILE_PLAN_H
