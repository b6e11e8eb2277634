// tavoinfo --archive: the coverage of a time window of a station's archive,
// in text or JSON.
#ifndef TAVOINFO_ARCHIVE_REPORT_H
#define TAVOINFO_ARCHIVE_REPORT_H

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace tavoinfo {

/// What the report tells about one window.
struct WindowReport {
    tavo::archive::Window window;
    std::vector<tavo::archive::ArchiveFile> listed;  ///< the files found, in time order
    std::vector<tavo::archive::FileRecords> read;    ///< one per listed file
    tavo::archive::Coverage coverage;
};

/// Text form: archive, station, window, the files read (records in the window,
/// records read, a shadowed twin, an error), records, every stretch without
/// data, "covered: 99.31 % of 259200 s" and the missing half-hour slots,
/// their number and one line per run of them, with the path their files
/// would have.
void print_window_text(std::ostream& out, const WindowReport& report);

/// JSON form: one object with archive, station, from, to, window_seconds,
/// files, records, no_data, covered_percent and missing_slots.
void print_window_json(std::ostream& out, const WindowReport& report);

/// The picture of a window (--plot with --archive), drawn by the caller.
class WindowPicture {
public:
    virtual ~WindowPicture() = default;
    /// Why the picture must not be written, given the files it would draw
    /// ("--plot would overwrite the input NAME", ..., without "Error: "),
    /// or "".
    virtual std::string refusal(const std::vector<std::string>& files) const = 0;
    /// Draws the files (in time order) as the picture of the window; false
    /// with `why` set when it cannot be drawn or written.
    virtual bool draw(const std::vector<std::string>& files, const tavo::archive::Window& window,
                      std::string& why) const = 0;
};

/// What the command line asks of the picture besides the window.
struct PictureRequest {
    const WindowPicture* picture = nullptr;  ///< --plot given: the picture to draw
    bool sound_axis = false;                 ///< --audio given (refused with a window)
    std::string plot_refusal;                ///< the refusal of the plot options, or ""
    /// tavoinfo's long options: a long-form argument that no option took is
    /// refused with a suggestion among them (tavo::cli::unknown_long_options).
    std::vector<std::string> known;
};

/// Runs tavoinfo in window mode when the command line holds any of --archive,
/// --station, --from, --to or --duration: reads the options (with --json),
/// refuses unknown long options first, then the plot options' refusal, then
/// what does not hold together, reads the window's files and prints
/// the report on standard output, refusals and warnings on standard error;
/// with asked.picture, then draws the window, refusing a picture name
/// that must not be written before any file is read. Returns the exit
/// status (0 when every file was read to its end and the picture drawn, 1
/// otherwise), or std::nullopt without consuming anything when none of the
/// window options is given.
std::optional<int> archive_report(int argc, char** argv, const PictureRequest& asked = {});

}  // namespace tavoinfo

#endif  // TAVOINFO_ARCHIVE_REPORT_H
