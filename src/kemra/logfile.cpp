// Command-line log: one line per run, appended to a text file in the current
// directory. The line is built in memory and handed to the file in a single
// write(2) on an O_APPEND descriptor, so runs in the same directory at the
// same time never interleave their lines.
#include "internal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int open_attempts = 11;
constexpr std::size_t stamp_size = 30;

using CString = std::unique_ptr<char, Kemra::detail::FreeDeleter>;

// Owns a file descriptor.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Opens for appending, creating the file (0666 less umask); up to 11 attempts
// in a row. -1 when all fail.
int open_for_append(const char* name)
{
    for (int attempt = 0; attempt < open_attempts; ++attempt) {
        const int fd = ::open(name, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
    }
    return -1;
}

// A newly allocated copy of s with '\\' and '"' escaped by a backslash; an
// empty string for null; null when memory runs out. The caller frees it.
char* quote_string(const char* s)
{
    if (!s)
        s = "";
    std::size_t extra = 0;
    for (const char* p = s; *p; ++p)
        extra += (*p == '\\' || *p == '"');
    const std::size_t len = std::strlen(s);
    char* copy = static_cast<char*>(std::malloc(len + extra + 1));
    if (!copy)
        return nullptr;
    char* out = copy;
    for (const char* p = s; *p; ++p) {
        if (*p == '\\' || *p == '"')
            *out++ = '\\';
        *out++ = *p;
    }
    *out = '\0';
    return copy;
}

// One argument in its logged form: a blank, the plain text, then (when
// quoted) the rest in double quotes, escaped when an escaped copy could be
// made and unescaped otherwise, which still keeps the line well formed.
struct LoggedArgument {
    std::string_view plain;
    std::string_view quoted;
    bool is_quoted = false;
    CString escaped;  // owns the text quoted points to, when escaped

    std::size_t size() const { return 1 + plain.size() + (is_quoted ? quoted.size() + 2 : 0); }

    void append_to(std::string& line) const
    {
        line += ' ';
        line += plain;
        if (is_quoted) {
            line += '"';
            line += quoted;
            line += '"';
        }
    }
};

// Arguments without blank, comma or asterisk stay as they are; of
// "--name=value" only the value is quoted; any other argument is quoted whole.
LoggedArgument logged_form(const char* arg)
{
    LoggedArgument form;
    if (!arg)
        arg = "";
    if (std::strpbrk(arg, " ,*") == nullptr) {
        form.plain = arg;
        return form;
    }
    const char* rest = arg;
    const char* equals = std::strchr(arg, '=');
    if (arg[0] == '-' && arg[1] == '-' && equals) {
        rest = equals + 1;
        form.plain = std::string_view(arg, static_cast<std::size_t>(rest - arg));
    }
    form.is_quoted = true;
    form.escaped.reset(quote_string(rest));
    form.quoted = form.escaped ? form.escaped.get() : rest;
    return form;
}

// The local time as "%x %X" (C locale: 12/05/26 07:25:33).
std::string time_stamp()
{
    char stamp[stamp_size];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local) || std::strftime(stamp, sizeof stamp, "%x %X", &local) == 0)
        stamp[0] = '\0';
    return stamp;
}

// The whole line, sized once so that memory is asked for only what it needs.
std::string log_line(int argc, char** argv)
{
    const std::string stamp = time_stamp();
    std::vector<LoggedArgument> forms;
    forms.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
    std::size_t size = stamp.size() + 1;
    for (int i = 0; i < argc; ++i) {
        forms.push_back(logged_form(argv[i]));
        size += forms.back().size();
    }
    std::string line;
    line.reserve(size);
    line += stamp;
    for (const LoggedArgument& form : forms)
        form.append_to(line);
    line += '\n';
    return line;
}

// One write(2), so the line lands whole after whatever is in the file.
void write_line(int fd, const std::string& line)
{
    while (::write(fd, line.data(), line.size()) < 0 && errno == EINTR) {
    }
}

}  // namespace

extern "C" {

void flogfile(const char* logfile, int argc, char** argv)
{
    const Fd fd(open_for_append(logfile));
    if (fd.get() < 0) {
        std::fputs("No logfile entry\n", stderr);
        return;
    }
    try {
        write_line(fd.get(), log_line(argc, argv));
    } catch (const std::bad_alloc&) {
        // Not even the line itself fits in memory: no entry, as when the file
        // cannot be opened.
        std::fputs("No logfile entry\n", stderr);
    }
}

void logfile(int argc, char** argv)
{
    flogfile("logfile", argc, argv);
}

}  // extern "C"
