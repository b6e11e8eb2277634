// tavoinfo: the text and JSON forms of file reports.
#ifndef TAVOINFO_REPORT_H
#define TAVOINFO_REPORT_H

#include <ostream>
#include <string>
#include <vector>

#include "survey.h"

namespace tavoinfo {

/// A stamp as text.  With a date: ISO 8601 UTC, "2014-03-15T08:01:00Z", with
/// milliseconds ("...T08:01:28.444Z") when the stamp is not a whole second.
/// Without one: the time of day on the recording day, "08:01:00", preceded by
/// "day N " when the stamp lies N days after (or, negative, before) that day.
std::string format_time(double seconds, bool has_date);

/// Writes one block of "name: value" lines for the report (see tavoinfo(1)).
void print_text(std::ostream& out, const FileReport& report);

/// Writes all reports as one JSON document: {"files": [ {...}, ... ]}.
/// Values that are unknown (a file the reader refused, times of a file
/// without time words) are null.
void print_json(std::ostream& out, const std::vector<FileReport>& reports);

}  // namespace tavoinfo

#endif  // TAVOINFO_REPORT_H
