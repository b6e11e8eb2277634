// tavoinfo --archive: the options of a window, its files read, and the
// coverage report in text and JSON.
#include "archive_report.h"

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include <kemra/libkemra.h>

#include "cli/command_line.h"
#include "cli/long_options.h"
#include "json.h"

namespace tavoinfo {

namespace ta = tavo::archive;

namespace {

const char* const WINDOW_OPTIONS[] = {"archive", "station", "from", "to", "duration"};

// The reader's message as the report shows it: its last line without the
// "Error: " label.
std::string error_line(const std::string& message)
{
    std::istringstream in(message);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty())
            last = line;
    const std::string label = "Error: ";
    return last.compare(0, label.size(), label) == 0 ? last.substr(label.size()) : last;
}

// Reads the window options into request; "" or the refusal.  `given` tells
// whether any of them (or --plot) is on the command line at all.
std::string scan_options(int argc, char** argv, ta::WindowRequest& request, bool& given)
{
    std::optional<std::string>* fields[] = {&request.archive, &request.station, &request.from,
                                            &request.to, &request.duration};
    std::string refusal;
    given = false;
    for (int i = 0; i < 5; ++i) {
        char* value = nullptr;
        if (get_option_string(argc, argv, WINDOW_OPTIONS[i], &value))
            *fields[i] = value;
        const bool bare = get_option(argc, argv, WINDOW_OPTIONS[i], 1, 0) != 0;
        if (bare && refusal.empty())
            refusal = std::string("Error: --") + WINDOW_OPTIONS[i] + " needs a value\n";
        given = given || bare || fields[i]->has_value();
    }
    return refusal;
}

// Reads every listed file; returns false when one could not be read to its end.
bool read_files(WindowReport& r)
{
    bool complete = true;
    for (const ta::ArchiveFile& f : r.listed) {
        std::cerr << ta::shadow_warning(f);
        r.read.push_back(ta::read_records(f.path, r.window));
        complete = complete && r.read.back().error.empty();
    }
    return complete;
}

std::vector<std::string> paths_of(const std::vector<ta::ArchiveFile>& files)
{
    std::vector<std::string> paths;
    for (const ta::ArchiveFile& f : files)
        paths.push_back(f.path);
    return paths;
}

int report(const ta::Window& window, bool json, const WindowPicture* picture)
{
    WindowReport r;
    r.window = window;
    const ta::Listing listing = ta::find_files(window);
    if (!listing.error.empty() || listing.files.empty()) {
        std::cerr << (listing.error.empty() ? ta::no_data_error(window) : listing.error);
        return 1;
    }
    r.listed = listing.files;
    const std::string refused = picture ? picture->refusal(paths_of(r.listed)) : "";
    if (!refused.empty()) {
        std::cerr << "Error: " << refused << "\n";
        return 1;
    }
    const bool complete = read_files(r);
    std::vector<std::int64_t> named;
    for (const ta::ArchiveFile& f : r.listed)
        named.push_back(f.slot_start);
    r.coverage = ta::measure_coverage(window, r.read, named);
    if (complete && r.coverage.records == 0) {
        std::cerr << ta::no_data_error(window);
        return 1;
    }
    if (json)
        print_window_json(std::cout, r);
    else
        print_window_text(std::cout, r);
    std::cout.flush();
    if (!complete || !std::cout.good())
        return 1;
    // A picture only of files that were read to their end.
    std::string why;
    if (picture && !picture->draw(paths_of(r.listed), window, why)) {
        std::cerr << "Error: " << why << "\n";
        return 1;
    }
    return 0;
}

void json_files(JsonWriter& w, const WindowReport& r)
{
    w.key("files");
    w.begin_array();
    for (std::size_t i = 0; i < r.read.size(); ++i) {
        const ta::FileRecords& f = r.read[i];
        w.begin_object();
        w.key("file");
        w.value(f.path);
        w.key("records");
        w.value(static_cast<unsigned long long>(f.records));
        w.key("records_read");
        w.value(static_cast<unsigned long long>(f.records_read));
        w.key("shadowed");
        r.listed[i].shadowed.empty() ? w.null() : w.value(r.listed[i].shadowed);
        w.key("error");
        f.error.empty() ? w.null() : w.value(error_line(f.error));
        w.end_object();
    }
    w.end_array();
}

void json_no_data(JsonWriter& w, const ta::Coverage& c)
{
    w.key("no_data");
    w.begin_array();
    for (const ta::NoData& s : c.no_data) {
        w.begin_object();
        w.key("from");
        w.value(ta::format_time(s.shown_from()));
        w.key("to");
        w.value(ta::format_time(s.shown_to()));
        w.key("seconds");
        w.value(static_cast<long long>(s.shown_seconds()));
        w.key("from_seconds");
        w.value(s.from);
        w.key("to_seconds");
        w.value(s.to);
        w.end_object();
    }
    w.end_array();
}

void json_missing_slots(JsonWriter& w, const WindowReport& r)
{
    w.key("missing_slots");
    w.begin_array();
    for (const ta::SlotRun& run : r.coverage.missing_slots) {
        w.begin_object();
        w.key("start");
        w.value(ta::format_time(run.start));
        w.key("end");
        w.value(ta::format_time(run.end()));
        w.key("slots");
        w.value(static_cast<long long>(run.count));
        w.key("first_file");
        w.value(ta::slot_path(r.window.root, r.window.station, run.start));
        w.key("last_file");
        w.value(ta::slot_path(r.window.root, r.window.station, run.end() - ta::SLOT_SECONDS));
        w.end_object();
    }
    w.end_array();
}

// One slot: "TIME PATH"; several: "TIME to TIME, N slots: PATH to PATH".
void print_slot_run(std::ostream& out, const ta::Window& w, const ta::SlotRun& run)
{
    out << "  " << ta::format_time(run.start);
    if (run.count > 1)
        out << " to " << ta::format_time(run.end()) << ", " << run.count << " slots:";
    out << " " << ta::slot_path(w.root, w.station, run.start);
    if (run.count > 1)
        out << " to " << ta::slot_path(w.root, w.station, run.end() - ta::SLOT_SECONDS);
    out << "\n";
}

}  // namespace

void print_window_text(std::ostream& out, const WindowReport& r)
{
    const ta::Window& w = r.window;
    const ta::Coverage& c = r.coverage;
    out << "archive: " << w.root << "\nstation: " << w.station
        << "\nwindow: " << ta::format_time(w.from) << " to " << ta::format_time(w.to) << " ("
        << w.seconds() << " s)\nfiles: " << r.read.size() << "\n";
    for (std::size_t i = 0; i < r.read.size(); ++i) {
        const ta::FileRecords& f = r.read[i];
        out << "  " << f.path << ": " << f.records << " records in the window, " << f.records_read
            << " read";
        if (!r.listed[i].shadowed.empty())
            out << " (" << r.listed[i].shadowed << " not read)";
        if (!f.error.empty())
            out << ", error: " << error_line(f.error);
        out << "\n";
    }
    out << "records: " << c.records << "\nno data: " << c.no_data.size() << "\n";
    for (const ta::NoData& s : c.no_data)
        out << "  " << ta::no_data_text(s) << "\n";
    out << "covered: " << ta::percent_text(c.covered_percent) << " % of " << c.window_seconds
        << " s\nmissing slots: " << c.missing_slot_count() << "\n";
    for (const ta::SlotRun& run : c.missing_slots)
        print_slot_run(out, w, run);
}

void print_window_json(std::ostream& out, const WindowReport& r)
{
    JsonWriter w(out);
    w.begin_object();
    w.key("archive");
    w.value(r.window.root);
    w.key("station");
    w.value(std::string(1, r.window.station));
    w.key("from");
    w.value(ta::format_time(r.window.from));
    w.key("to");
    w.value(ta::format_time(r.window.to));
    w.key("window_seconds");
    w.value(static_cast<long long>(r.window.seconds()));
    json_files(w, r);
    w.key("records");
    w.value(static_cast<unsigned long long>(r.coverage.records));
    json_no_data(w, r.coverage);
    w.key("covered_percent");
    w.value(r.coverage.covered_percent);
    json_missing_slots(w, r);
    w.end_object();
}

std::optional<int> archive_report(int argc, char** argv, const PictureRequest& asked)
{
    ta::WindowRequest request;
    bool given = false;
    std::string refusal = scan_options(argc, argv, request, given);
    if (!given)
        return std::nullopt;
    const bool json = get_option(argc, argv, "json", 1, 0) != 0;
    const std::string unknown = tavo::cli::unknown_long_options(argc, argv, asked.known, false);
    if (!unknown.empty() || !asked.plot_refusal.empty()) {
        std::cerr << (unknown.empty() ? asked.plot_refusal : unknown);
        return 1;
    }
    if (refusal.empty() && asked.sound_axis)
        refusal = "Error: --audio goes with files, not with --archive\n";
    const tavo::cli::FileArguments args = tavo::cli::file_arguments(argc, argv);
    request.files_named = !args.files.empty();
    ta::Window window;
    if (refusal.empty())
        refusal = ta::read_window(request, window);
    if (refusal.empty() && !window.has_archive())
        refusal = "Error: tavoinfo needs --archive and --station for a window\n";
    if (!refusal.empty()) {
        std::cerr << refusal;
        return 1;
    }
    return report(window, json, asked.picture);
}

}  // namespace tavoinfo
