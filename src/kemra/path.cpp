// Path split and join. Both '/' and '\\' separate directories and ':' ends a
// drive prefix, so the same code serves both path conventions.
#include "internal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t explode_part_size = 256;
constexpr std::size_t combine_path_size = 260;
constexpr std::size_t not_found = static_cast<std::size_t>(-1);

bool is_separator(char c)
{
    return c == '/' || c == '\\';
}

// Index of the last character among the first count of s that is one of set,
// or not_found.
std::size_t find_last_of(const char* s, std::size_t count, const char* set)
{
    while (count > 0) {
        --count;
        if (std::strchr(set, s[count]) != nullptr)
            return count;
    }
    return not_found;
}

void clear_part(char* part, std::size_t len)
{
    if (part && len > 0)
        part[0] = '\0';
}

// Copies one part into its buffer; ENAMETOOLONG when it had to be truncated.
int store_part(char* part, std::size_t len, const char* text)
{
    if (part && strlcpy(part, text, len) >= len)
        return ENAMETOOLONG;
    return 0;
}

// Builds a path left to right in a buffer of len bytes, zero included.
class PathBuilder {
public:
    PathBuilder(char* path, std::size_t len) : path_(path), len_(len) {}

    // False (and the buffer terminated at its last byte) when c does not fit.
    bool put(char c)
    {
        if (pos_ + 1 >= len_) {
            path_[len_ - 1] = '\0';
            return false;
        }
        path_[pos_++] = c;
        return true;
    }

    bool put(const char* s)
    {
        for (; *s; ++s)
            if (!put(*s))
                return false;
        return true;
    }

    void finish() { path_[pos_] = '\0'; }

private:
    char* path_;
    std::size_t len_;
    std::size_t pos_ = 0;
};

bool given(const char* part)
{
    return part && part[0] != '\0';
}

char last_char(const char* s)
{
    return s[std::strlen(s) - 1];
}

// Drive with its ':', directory with its separator, file name, extension with
// its dot; false as soon as something does not fit.
bool put_parts(PathBuilder& out, const char* drive, const char* directory, const char* filename,
               const char* extension)
{
    if (given(drive) && !(out.put(drive) && (last_char(drive) == ':' || out.put(':'))))
        return false;
    if (given(directory) &&
        !(out.put(directory) && (is_separator(last_char(directory)) || out.put('/'))))
        return false;
    if (given(filename) && !out.put(filename))
        return false;
    if (given(extension) && !((extension[0] == '.' || out.put('.')) && out.put(extension)))
        return false;
    return true;
}

}  // namespace

extern "C" {

int explode_path_n(const char* real_path, char* drive, size_t drive_len, char* directory,
                   size_t directory_len, char* filename, size_t filename_len, char* extension,
                   size_t extension_len)
{
    clear_part(drive, drive_len);
    clear_part(directory, directory_len);
    clear_part(filename, filename_len);
    clear_part(extension, extension_len);
    if (!real_path)
        return 0;
    const std::unique_ptr<char, Kemra::detail::FreeDeleter> scratch(strdup(real_path));
    if (!scratch)
        return ENOMEM;
    char* const path = scratch.get();  // cut from its end as the parts are taken

    // Extension: from the last dot of the final component.
    const std::size_t dot = find_last_of(path, std::strlen(path), "./\\:");
    if (dot != not_found && path[dot] == '.') {
        if (store_part(extension, extension_len, path + dot) != 0)
            return ENAMETOOLONG;
        path[dot] = '\0';
    }
    // File name: after the last separator or ':'.
    const std::size_t sep = find_last_of(path, std::strlen(path), "/\\:");
    const std::size_t name_start = sep == not_found ? 0 : sep + 1;
    if (store_part(filename, filename_len, path + name_start) != 0)
        return ENAMETOOLONG;
    if (name_start == 0)
        return 0;
    path[name_start] = '\0';
    // Directory: after the last ':' up to and including that separator.
    const std::size_t colon = find_last_of(path, sep + 1, ":");
    const std::size_t dir_start = colon == not_found ? 0 : colon + 1;
    if (store_part(directory, directory_len, path + dir_start) != 0)
        return ENAMETOOLONG;
    if (dir_start == 0)
        return 0;
    path[dir_start] = '\0';
    // Drive: what remains, ending with ':'.
    return store_part(drive, drive_len, path);
}

int explode_path(const char* path, char* drive, char* directory, char* filename, char* extension)
{
    return explode_path_n(path, drive, explode_part_size, directory, explode_part_size, filename,
                          explode_part_size, extension, explode_part_size);
}

int combine_path_n(char* path, size_t path_len, const char* drive, const char* directory,
                   const char* filename, const char* extension)
{
    if (!path)
        return 0;
    if (path_len == 0)
        return ENAMETOOLONG;
    PathBuilder out(path, path_len);
    if (!put_parts(out, drive, directory, filename, extension))
        return ENAMETOOLONG;
    out.finish();
    return 0;
}

int combine_path(char* path, const char* drive, const char* directory, const char* filename,
                 const char* extension)
{
    return combine_path_n(path, combine_path_size, drive, directory, filename, extension);
}

}  // extern "C"
