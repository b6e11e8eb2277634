// The free space of the output folder, which a conversion checks before it
// converts.
#ifndef TAVO_ENGINE_FREE_SPACE_H
#define TAVO_ENGINE_FREE_SPACE_H

#include <string>

namespace tavo::engine {

// Bytes a user without privileges may still write in `folder` ("" is the
// current folder), from statvfs; -1 when the file system cannot tell (a
// missing folder, ...).
long long free_bytes(const std::string& folder);

// Test hook: free_bytes answers `bytes` for every folder from now on, on
// every thread; -1 asks the file system again.
void pretend_free_bytes_for_tests(long long bytes);

}  // namespace tavo::engine

#endif  // TAVO_ENGINE_FREE_SPACE_H
