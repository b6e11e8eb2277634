// Silencing std::cerr for a while: the reader library echoes header lines
// and notices there, which tavoinfo has already shown once when it reads a
// file a second time.
#ifndef TAVOINFO_MUTED_ERRORS_H
#define TAVOINFO_MUTED_ERRORS_H

#include <iostream>

namespace tavoinfo {

// Sends everything written to std::cerr nowhere while it lives.
class MutedErrors {
public:
    MutedErrors() : out_(std::cerr.rdbuf(nullptr)) {}
    ~MutedErrors()
    {
        std::cerr.rdbuf(out_);
        std::cerr.clear();
    }
    MutedErrors(const MutedErrors&) = delete;
    MutedErrors& operator=(const MutedErrors&) = delete;

private:
    std::streambuf* out_;
};

}  // namespace tavoinfo

#endif
