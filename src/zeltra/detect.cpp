// libzeltra: file-kind detection from the first 256 bytes of a file.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "internal.h"

namespace Zeltra {

namespace {

// Owner of detection's probe handle.
struct ProbeHandle {
    gzFile gz;
    ~ProbeHandle() { close(); }
    void close()
    {
        if (gz != nullptr)
            gzclose(gz);
        gz = nullptr;
    }
};

// The first LINELEN bytes of the file, after decompression; throws when
// the file cannot be opened or read or holds fewer bytes.
std::vector<char> probe_file(const char* fname, MessageSink& sink)
{
    std::vector<char> probe(ZELTRA::LINELEN, 0);
    // A pipe would block the open until a writer comes, and could not be
    // read a second time by the reader anyway.
    struct stat st;
    if (stat(fname, &st) == 0 && S_ISFIFO(st.st_mode))
        detail::refuse(fname, "not a regular file");
    errno = 0;
    ProbeHandle h{gzopen(fname, "rb")};
    if (h.gz == nullptr)
        detail::open_failed(fname, errno, ":");
    const int got = gzread(h.gz, probe.data(), ZELTRA::LINELEN);
    if (got == -1)
        detail::stream_error(h.gz);
    if (got != ZELTRA::LINELEN) {
        detail::stop_on_stream_damage(h.gz);
        if (zeltra_debug)
            detail::Trace(sink, __LINE__) << "file to short to be meaningfull\n";
        detail::refuse(fname, "file too short to be a data file");
    }
    return probe;
}

}  // namespace

ZELTRA* detect(const char* fname, bool concat, ZELTRA::ZELTRA_FILETYPE filetype,
               bool fail_parse_path, MessageSink& sink)
{
    std::vector<char> probe = probe_file(fname, sink);
    probe[ZELTRA::LINELEN - 1] = '\0';
    std::size_t eol = 0;
    while (eol < ZELTRA::LINELEN - 1 && !is_eol(probe[eol]))
        ++eol;
    if (eol == ZELTRA::LINELEN - 1) {
        if (zeltra_debug)
            detail::Trace(sink, __LINE__) << "Found no end of first commentline\n";
        detail::refuse(fname, "no end of the first line in its first 255 bytes");
    }
    probe[eol] = '\0';
    const char* line = probe.data();
    const char* text = probe.data() + eol + 1;
    bool valid_comment = detail::validate_comment(line, sink);
    if (detail::declared_length(line) != 0)
        valid_comment = true;
    if (zeltra_debug)
        detail::Trace(sink, __LINE__) << "Valid comment: " << valid_comment << "\n";
    float a, b, c;
    const bool is_text =
        text[0] != '\0' && valid_comment && std::sscanf(text, "%f %f %f", &a, &b, &c) == 3;
    if (is_text)
        return new AsciiZELTRA(fname, concat, filetype, fail_parse_path, sink);
    return new BinaryZELTRA(fname, concat, filetype, fail_parse_path, sink);
}

}  // namespace Zeltra
