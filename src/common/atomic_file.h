// One output file that appears whole or not at all.
//
//   AtomicFile f;
//   if (!f.create("out/a.wav") || !f.write(bytes, n) || !f.commit(AtomicFile::Sync::NONE))
//       ... errno says why; nothing is left behind, an older out/a.wav is unchanged ...
//
// The data go into a file without a name in the target's folder where the
// file system allows it (Linux O_TMPFILE: ext4, xfs, btrfs, tmpfs), so that
// a crash, even SIGKILL, leaves nothing; commit() links it under a unique
// temporary name and renames that over the target. Where O_TMPFILE is
// refused the data go into a named temporary file ".<name>.XXXXXX" beside
// the target, created exclusively. The finished file has mode 0666 less the
// umask, as a plain create would give it. Nothing here prints.
#ifndef TAVO_COMMON_ATOMIC_FILE_H
#define TAVO_COMMON_ATOMIC_FILE_H

#include <sys/types.h>

#include <cstddef>
#include <string>

#include <tavo/name_watch.h>

namespace tavo::common {

class AtomicFile {
public:
    /// Whether commit() makes the data durable before renaming: SYNC
    /// fsyncs the file and then the folder (for small files that matter,
    /// pictures and label files); NONE leaves that to the kernel (large
    /// derived files, where an fsync costs seconds).
    enum class Sync { NONE, SYNC };

    /// `watch`, when given, is told about every temporary name (see
    /// NameWatch) and must outlive the file.
    explicit AtomicFile(NameWatch* watch = nullptr) : watch_(watch) {}
    /// Removes what commit() did not put in place.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Creates the temporary file for `target`. Returns false with errno set
    /// (ENOENT for an empty name, EINVAL when already created, else the
    /// system's: ENOENT for a missing folder, EACCES, ...).
    bool create(const std::string& target);
    /// Appends n bytes; false with errno set.
    bool write(const void* data, std::size_t n);
    /// Writes n bytes at `offset` (a header filled in late); false with errno.
    bool write_at(const void* data, std::size_t n, off_t offset);
    /// Gives the file its mode, makes it durable as `sync` asks and puts it
    /// in place over the target. False with errno set on any failure; then
    /// nothing is left behind and an older target is unchanged.
    bool commit(Sync sync);
    /// Removes the temporary file now (the destructor does it otherwise).
    void discard();

    /// The open descriptor, -1 when none.
    int fd() const { return fd_; }
    const std::string& target() const { return target_; }
    /// True when the data have no name on disk until commit().
    bool unnamed() const { return fd_ >= 0 && named_.empty(); }

    /// Test hook: pretend that the file system refuses O_TMPFILE, so that
    /// the named fallback is used. Affects files created afterwards, on
    /// every thread.
    static void refuse_unnamed_for_tests(bool refuse);

private:
    bool create_unnamed(const std::string& folder);
    bool create_named();
    bool link_unnamed(std::string* name);
    void watch(const std::string& path, bool exists);

    NameWatch* watch_;
    int fd_ = -1;
    std::string target_;
    std::string named_;  // the temporary name while there is one
};

/// The permission bits a newly created file gets: 0666 less the umask, read
/// without changing the umask (which is process-wide).
mode_t new_file_mode();

}  // namespace tavo::common

#endif  // TAVO_COMMON_ATOMIC_FILE_H
