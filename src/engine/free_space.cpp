#include "engine/free_space.h"

#include <sys/statvfs.h>

#include <atomic>

namespace tavo::engine {

namespace {

std::atomic<long long> pretended{-1};

}  // namespace

long long free_bytes(const std::string& folder)
{
    const long long pretend = pretended.load();
    if (pretend >= 0)
        return pretend;
    struct statvfs fs;
    if (statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0)
        return -1;
    return static_cast<long long>(fs.f_bavail) * static_cast<long long>(fs.f_frsize);
}

void pretend_free_bytes_for_tests(long long bytes)
{
    pretended.store(bytes);
}

}  // namespace tavo::engine
