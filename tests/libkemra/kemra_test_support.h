// Helpers shared by the libkemra tests: argument vectors built from strings,
// a private temporary directory, and an address-space cap for the tests that
// make an allocation fail.
#ifndef KEMRA_TEST_SUPPORT_H
#define KEMRA_TEST_SUPPORT_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace kemra_test {

// An argv as main receives it: "prog" followed by the given arguments, each
// in storage of its own, with the terminating null pointer.
class Args {
public:
    explicit Args(const std::vector<std::string>& args) : storage_{"prog"}
    {
        storage_.insert(storage_.end(), args.begin(), args.end());
        for (std::string& s : storage_)
            pointers_.push_back(s.data());
        pointers_.push_back(nullptr);
    }
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;

    int argc() const { return static_cast<int>(storage_.size()); }
    char** argv() { return pointers_.data(); }

    // The vector as it stands now, blank-separated (it may have been reordered).
    std::string joined() const
    {
        std::string out;
        for (int i = 0; i < argc(); ++i)
            out += (i ? " " : "") + std::string(pointers_[i]);
        return out;
    }

private:
    std::vector<std::string> storage_;
    std::vector<char*> pointers_;
};

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class TempDir {
public:
    TempDir()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kemra-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !path_.empty(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string read_file(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool address_space_can_be_capped = false; // the sanitizer reserves terabytes
#else
constexpr bool address_space_can_be_capped = true;
#endif

// Lets the process map at most `extra` more bytes than it maps now. Only for
// a forked child: the cap stays for the rest of the process.
inline bool cap_address_space(std::size_t extra)
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    if (!(statm >> pages))
        return false;
    const std::size_t now = pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const rlimit limit{now + extra, now + extra};
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

} // namespace kemra_test

#endif // KEMRA_TEST_SUPPORT_H
