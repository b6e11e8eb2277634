// Test support: a made-up station recording written as an archive tree
// (ROOT/YYYY/MM/YYYYMMDD/k<y><MM><DD><slot>.dat[.gz]), whose every sample
// tells its own time, so that a test can say exactly which samples a
// conversion should keep and where:
//   ArchiveTree tree;
//   tree.data = {{utc(2014, 3, 15, 23), 7200}};   // two hours from 23:00
//   tree.missing = {utc(2014, 3, 15, 23, 30)};     // the 23:30 file is lost
//   write_tree(dir.path(), tree);
#ifndef TAVO_TESTS_SUPPORT_ARCHIVE_TREE_H
#define TAVO_TESTS_SUPPORT_ARCHIVE_TREE_H

#include <cstdint>
#include <string>
#include <vector>

namespace tavo_test {

/// Seconds since 1970-01-01T00:00:00Z of a UTC time.
std::int64_t utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

/// A stretch of recording without a gap: records from `start` on while they
/// start before start + seconds. Each record goes into the file of the half
/// hour its stamp falls in, or, with one_file, all into the file of the
/// half hour of `start` (a file that holds hours, even past midnight).
struct Stretch {
    std::int64_t start;
    std::int64_t seconds;
    bool one_file = false;
};

/// One record as written: its stamp, its first sample's number (time x
/// frequency) and the slot start of its file.
struct TreeRecord {
    std::int64_t time;
    long long first_sample;
    std::int64_t slot;
};

struct ArchiveTree {
    std::vector<Stretch> data;  ///< in time order
    int length = 512;           ///< samples per record (128 or 512)
    /// Hz. At 16 Hz records of 128 or 512 samples last whole seconds, so a
    /// record's stamp is the time of its first sample; otherwise the stamp
    /// is that time cut to the second, as stations write it.
    int frequency = 16;
    /// The form of each file in turn, cycling: b binary, g gzip binary, t text,
    /// z gzip text.
    std::string forms = "b";
    std::vector<std::int64_t> missing;  ///< slot starts whose files are left out
    char station = 'k';
    /// Stamps as Unix times (header letter U) rather than the minute of the
    /// day and the second (S), which a file cannot hold past midnight.
    bool unix_time = false;

    /// Every record the tree's files hold, in time order.
    std::vector<TreeRecord> records() const;
};

/// Writes the tree's files (form-3 header) under root; returns their paths
/// in time order.
std::vector<std::string> write_tree(const std::string& root, const ArchiveTree& tree);

/// The value channel c holds at sample number n (time x frequency): never 0,
/// so that silence shows.
inline int sample_value(long long n, int c)
{
    return 1 + static_cast<int>((n + 7 * c) % 30000);
}

}  // namespace tavo_test

#endif  // TAVO_TESTS_SUPPORT_ARCHIVE_TREE_H
