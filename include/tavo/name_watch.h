// Following the names that output files take on disk, for a program that
// must remove what it created when it is interrupted.
#ifndef TAVO_NAME_WATCH_H
#define TAVO_NAME_WATCH_H

#include <functional>
#include <string>

namespace tavo {

/// Told about every temporary name an output file has on disk, and about
/// every output put in place.  A file is written unnamed where the file
/// system allows it, so it has a temporary name only for the instant
/// between being linked and being renamed over its target; elsewhere it has
/// one from creation to rename.  Every step that creates, links, renames or
/// removes such a name runs inside step(), and the calls to temporary() and
/// placed() it makes come from inside that step, so a watcher that holds a
/// lock in step() sees the names exactly as they are on disk whenever it
/// holds that lock itself.
class NameWatch {
public:
    virtual ~NameWatch() = default;
    /// Runs `naming`; the default runs it as it is.
    virtual void step(const std::function<void()>& naming) { naming(); }
    /// The temporary `path` now exists (true) or no longer exists (false).
    virtual void temporary(const std::string& path, bool exists) = 0;
    /// `target` has been put in place.
    virtual void placed(const std::string& target) = 0;
};

}  // namespace tavo

#endif  // TAVO_NAME_WATCH_H
