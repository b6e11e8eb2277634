// tavo._tavo: what tavo.read tells about each file it read: tavoinfo's
// report (header fields, record count, gaps) and what only the open reader
// knows (which header form, the date and time tokens), for the Recording's
// `header`, `gaps` and `files`.
#ifndef TAVO_PYTHON_FILE_FACTS_H
#define TAVO_PYTHON_FILE_FACTS_H

#include <cstddef>
#include <string>

#include <pybind11/pybind11.h>
#include <zeltra/zeltra.h>

#include "survey.h"

namespace tavo_py {

struct FileFacts {
    tavoinfo::FileReport report;
    int form = 0;                  ///< header form 1, 2 or 3; 0 for an old-style file
    std::string date, time;        ///< the form-3 date and time tokens ("" when none)
    std::size_t first_index = 0;   ///< where the file's samples start in the Recording
    std::size_t first_record = 0;  ///< where its records start in record_times
};

/// Sets form, date and time from the open reader.
void note_header(const Zeltra::ZELTRA& reader, FileFacts& facts);

/// The facts as a dict for tavo._recording: path, kind, gzip, line, form,
/// sampling_frequency, gain, station, date, time, samples_per_block,
/// time_words, has_date, records, first_index, first_record and gaps, a
/// list of (position in the Recording's samples, start seconds, seconds);
/// unknown values are None.  The GIL held.
pybind11::dict facts_to_python(const FileFacts& facts);

}  // namespace tavo_py

#endif  // TAVO_PYTHON_FILE_FACTS_H
