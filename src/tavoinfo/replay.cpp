// tavoinfo --plot: the drawing pass over the record stream.
#include "replay.h"

#include <ctime>
#include <memory>
#include <sstream>

#include <zeltra/zeltra.h>

namespace tavoinfo {

namespace {

// The last non-empty line of a message.
std::string last_line(const std::string& text)
{
    std::istringstream in(text);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty())
            last = line;
    return last;
}

// Replays one file; returns false when it no longer matches its survey.
bool replay_file(std::size_t index, const FileReport& report, const FileRuns& runs,
                 bool split_at_gaps, RecordSink& sink)
{
    std::unique_ptr<Zeltra::ZELTRA> reader(
        // Its lines were shown by the survey.
        Zeltra::detect(report.path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false,
                       Zeltra::null_sink()));
    const std::size_t length = reader->get_length();
    const double frequency = reader->get_frequency();
    if (length != report.length || frequency != report.frequency)
        return false;
    sink.file_begins(index, *reader);
    unsigned long records = 0;
    std::size_t run = 0;
    std::time_t previous = 0;
    while (reader->getdata() != -1) {
        if (++records > report.records)
            return false;
        const std::time_t stamp = reader->get_tavotime(0);
        if (records == 1) {
            sink.run_begins(index, runs.run_starts.at(0), runs.run_ends.at(0));
        } else if (split_at_gaps &&
                   Zeltra::is_time_gap(Zeltra::stamp_step(previous, stamp), length, frequency)) {
            if (++run >= runs.run_starts.size())
                return false;
            sink.run_ends();
            sink.run_begins(index, runs.run_starts[run], runs.run_ends[run]);
        }
        previous = stamp;
        sink.record(*reader);
    }
    if (records > 0)
        sink.run_ends();
    return records == report.records && (!split_at_gaps || run + 1 == runs.run_starts.size());
}

}  // namespace

bool replay(const std::vector<FileReport>& reports, const Timeline& timeline, RecordSink& sink,
            std::string& why)
{
    const bool split_at_gaps = timeline.clock != AxisClock::Elapsed;
    for (std::size_t i = 0; i < reports.size() && i < timeline.files.size(); ++i) {
        if (reports[i].records == 0)
            continue;
        bool same = false;
        try {
            same = replay_file(i, reports[i], timeline.files[i], split_at_gaps, sink);
        } catch (const Zeltra::Error& e) {
            why = reports[i].path + ": " + last_line(e.message());
            return false;
        }
        if (!same) {
            why = reports[i].path + ": the file changed while it was being drawn";
            return false;
        }
    }
    return true;
}

}  // namespace tavoinfo
