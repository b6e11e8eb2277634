// tavo._tavo: a read file's facts, for Python.
#include "file_facts.h"

#include <vector>

namespace py = pybind11;

namespace tavo_py {

namespace {

// The first of the reader's header recognisers that accepts the line, asked
// again without a word (the reader has said the line already).
int header_form(const Zeltra::ZELTRA& z)
{
    if (!z.is_newfile())
        return 0;
    double frequency = 0;
    int gain = 0, len = 0;
    char station = 0, c = 0;
    bool unixtime = false;
    std::vector<char> date(Zeltra::ZELTRA::LINELEN), time(Zeltra::ZELTRA::LINELEN);
    Zeltra::arguments fields(frequency, gain, station, c, len, unixtime, date, time);
    Zeltra::MessageSink& quiet = Zeltra::null_sink();
    const char* line = z.firstline.c_str();
    if (Zeltra::valid_comment_type1(line, fields, quiet))
        return 1;
    if (Zeltra::valid_comment_type2(line, fields, quiet))
        return 2;
    return Zeltra::valid_comment_type3(line, fields, quiet) ? 3 : 0;
}

const char* time_words_name(tavoinfo::TimeWords w)
{
    switch (w) {
        case tavoinfo::TimeWords::MinutesSeconds:
            return "minutes-seconds";
        case tavoinfo::TimeWords::UnixTime:
            return "unix";
        case tavoinfo::TimeWords::None:
            break;
    }
    return "none";
}

// Bytes of a file as text: UTF-8, any other byte kept as a lone surrogate
// (as Python spells file names).
py::object decoded(const std::string& s)
{
    return py::bytes(s).attr("decode")("utf-8", "surrogateescape");
}

py::object text_or_none(const std::string& s)
{
    return s.empty() ? py::object(py::none()) : decoded(s);
}

py::list gaps_to_python(const FileFacts& f)
{
    py::list gaps;
    for (const tavoinfo::Gap& g : f.report.gaps)
        gaps.append(py::make_tuple(f.first_index + g.position, g.start, g.seconds));
    return gaps;
}

}  // namespace

void note_header(const Zeltra::ZELTRA& reader, FileFacts& facts)
{
    facts.form = header_form(reader);
    facts.date = reader.get_date_from_comment();
    facts.time = reader.get_time_from_comment();
}

py::dict facts_to_python(const FileFacts& f)
{
    const tavoinfo::FileReport& r = f.report;
    py::dict d;
    d["path"] = r.path;
    d["kind"] = r.kind;
    d["gzip"] = r.gzip;
    d["line"] = decoded(r.header);
    d["form"] = f.form != 0 ? py::object(py::int_(f.form)) : py::object(py::none());
    d["sampling_frequency"] = r.frequency;
    d["gain"] = r.gain != -1 ? py::object(py::int_(r.gain)) : py::object(py::none());
    d["station"] = text_or_none(r.station != 0 ? std::string(1, r.station) : "");
    d["date"] = text_or_none(f.date);
    d["time"] = text_or_none(f.time);
    d["samples_per_block"] = r.length;
    d["time_words"] = time_words_name(r.time_words);
    d["has_date"] = r.has_date;
    d["records"] = r.records;
    d["first_index"] = f.first_index;
    d["first_record"] = f.first_record;
    d["gaps"] = gaps_to_python(f);
    return d;
}

}  // namespace tavo_py
