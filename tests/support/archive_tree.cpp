#include "archive_tree.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "tavo_writer.h"

namespace tavo_test {

namespace {

constexpr std::int64_t DAY = 86400, SLOT = 1800;

// The UTC calendar day of a time.
std::tm civil(std::int64_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm d{};
    gmtime_r(&t, &d);
    return d;
}

// One file of the tree: its slot and the records it holds.
struct TreeFile {
    std::int64_t slot;
    std::vector<TreeRecord> records;
};

std::string write_file(const std::string& root, const ArchiveTree& tree, const TreeFile& file,
                       char form)
{
    const std::tm d = civil(file.slot);
    char date[16], time[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &d);
    std::strftime(time, sizeof time, "%H:%M:00", &d);
    Recording rec{form3_header(tree.unix_time ? 'U' : 'S', tree.length,
                               std::to_string(tree.frequency), 1, tree.station, date, time),
                  true,
                  static_cast<std::size_t>(tree.length),
                  {}};
    for (const TreeRecord& r : file.records) {
        Record out;
        out.time = {static_cast<long>(r.time % DAY / 60), static_cast<long>(r.time % 60)};
        if (tree.unix_time)
            out.time = {static_cast<long>(r.time & 0xFFFF), static_cast<long>(r.time >> 16)};
        for (int c = 0; c < 3; c++)
            for (int j = 0; j < tree.length; j++)
                out.channels[c].push_back(sample_value(r.first_sample + j, c));
        rec.records.push_back(out);
    }
    const std::string path = dated_path(root, tree.station, d.tm_year + 1900, d.tm_mon + 1,
                                        d.tm_mday, static_cast<int>(file.slot % DAY / SLOT));
    const bool text = form == 't' || form == 'z';
    if (text)
        write_text(path, rec);
    else
        write_binary(path, rec);
    if (form == 'g' || form == 'z') {
        gzip_copy(path, path + ".gz");
        std::remove(path.c_str());
        return path + ".gz";
    }
    return path;
}

}  // namespace

std::int64_t utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    return timegm(&t) + hour * 3600 + minute * 60 + second;
}

std::vector<TreeRecord> ArchiveTree::records() const
{
    std::vector<TreeRecord> out;
    for (const Stretch& s : data)
        for (long long r = 0;; r++) {
            // Stamps are whole seconds; the samples run on at the frequency.
            const long long first = s.start * frequency + r * length;
            const std::int64_t t = first / frequency;
            if (t >= s.start + s.seconds)
                break;
            const std::int64_t slot = (s.one_file ? s.start : t) / SLOT * SLOT;
            if (std::find(missing.begin(), missing.end(), slot) == missing.end())
                out.push_back({t, first, slot});
        }
    return out;
}

std::vector<std::string> write_tree(const std::string& root, const ArchiveTree& tree)
{
    std::vector<TreeFile> files;
    for (const TreeRecord& r : tree.records()) {
        if (files.empty() || files.back().slot != r.slot)
            files.push_back({r.slot, {}});
        files.back().records.push_back(r);
    }
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < files.size(); i++)
        paths.push_back(write_file(root, tree, files[i], tree.forms[i % tree.forms.size()]));
    return paths;
}

}  // namespace tavo_test
