// The conversion engine: TAVO data files in, WAV files (or the samples, in
// memory) out, with every setting of the command line as a value, every
// line the programs print handed to a sink the caller chooses, and every
// failure returned as a value.  Nothing here prints, reads the environment
// (beyond the reader's one switch of the process to UTC) or ends the process,
// and two conversions may run at once on two threads.
//
//   tavo::Options o;                 // the defaults of the command line
//   o.upsample = 50;                 // -u 50
//   o.rate = tavo::rate_of_code(1).rate;   // -r 1: 44100 Hz
//   tavo::Result r = tavo::convert({"k4031516.dat.gz"}, o, sink);
//   if (r.status != 0) ... r.error is the text tavo2wav prints ...
//
// The road of one conversion: the inputs are read into three 16-bit channel
// buffers (the first file, or all of them one after the other with
// `combine`), offsets are removed and the samples scaled; then every output
// file is rendered chunk by chunk on `threads` threads (resampling, filtering,
// the sample format) and written in order under a temporary name, each file
// put in place at its "writing:" line.
#ifndef TAVO_CONVERT_H
#define TAVO_CONVERT_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include <tavo/name_watch.h>
#include <tavo/sample_format.h>

namespace tavo {

/// Output channel layout: three mono files (a, b, c), three stereo files
/// holding the channel pairs 0-1, 1-2 and 2-0 (d, e, f), or one six-channel
/// file whose channels 1, 3 and 5 carry inputs 1, 0 and 2.
enum class Layout { MONO = 0, STEREO = 1, SIX = 2 };

/// What a time gap between records becomes.
enum class Gaps { JOIN = 0, SILENCE = 1 };

/// Linear interpolation and the 129-tap half-band filter, or band-limited
/// resampling through libsoxr.
enum class Resampler { LINEAR = 0, SINC = 1 };

/// A stretch of station time to convert instead of whole files (--archive,
/// --station, --from, --to or --duration): the files of a station's archive
/// that hold it, or the files named, trimmed to the sample.
struct TimeWindow {
    bool given = false;     ///< convert the window
    std::string archive;    ///< the archive's top folder; "" = trim the files named
    char station = 0;       ///< station letter of the archive's file names
    std::int64_t from = 0;  ///< first second, since 1970-01-01T00:00:00Z (UTC)
    std::int64_t to = 0;    ///< first second after the window
};

/// Every setting of one conversion, with the command line's defaults.
struct Options {
    Layout layout = Layout::MONO;             ///< -m, -s, -6
    bool combine = false;                     ///< -c: all inputs into one set of outputs
    bool filter = true;                       ///< -f clears it: no interpolation filter
    bool remove_offset = true;                ///< -o clears it: keep each channel's mean
    unsigned long rate = 4000;                ///< Hz written into the WAV files (rate_of_code maps -r)
    int scale = 0;                            ///< -z: amplitude factor, 0 = automatic
    int upsample = 4;                         ///< -u: resampling factor, 0 = none
    bool upsample_given = false;              ///< -u was given (it excludes --speedup)
    unsigned threads = 0;                     ///< --threads: 0 = one per core (at most 8)
    Gaps gaps = Gaps::JOIN;                   ///< --gaps
    bool timeline = false;                    ///< --timeline: time map chunks and label file
    Resampler resampler = Resampler::LINEAR;  ///< --resampler
    double speedup = 0;                       ///< --speedup; 0 = not given
    std::string speedup_text;                 ///< --speedup as written, for messages
    SampleFormat format = SampleFormat::S16;  ///< --format
    std::string output_dir;                   ///< folder of the output files; "" = current
    TimeWindow window;                        ///< --archive, --from, --to, ...
    /// A file too large for a WAV file is written as RF64 rather than
    /// refused; the command line allows it when any long option is given.
    bool allow_rf64 = false;
};

/// The refusal text the command line prints for options that cannot go
/// together or lie out of range ("Error: give -u or --speedup, not both\n",
/// "Error: --threads needs a whole number from 0 to 256, not \"N\"\n",
/// "Error: upsampling factor must not be negative (-u -2)\n",
/// "Error: --from must be before --to\n", ...), or "" when `o` is valid.
/// convert() checks the same before it reads anything.
std::string check(const Options& o);

/// The rate written into the WAV files for a -r value: the codes 0 to 8
/// (48000, 44100, 22050, 11025, 8000, 7333, 6000, 5500, 4000 Hz), the rates
/// 18, 4000, 5500, 6000, 7333, 8000, 11025, 22050, 44100 and 48000 Hz as
/// they are, and 4000 Hz for anything else, with the notice the command line
/// prints then ("Unknown rate: 9. Using default: 4000.\n", else "").
struct RateChoice {
    unsigned long rate;
    std::string notice;
};
RateChoice rate_of_code(unsigned long value);

/// What a line the programs print is.
enum class Message {
    PROGRESS,  ///< standard output: the stage lines, "writing: NAME done", "Timeline: ..."
    INFO,      ///< standard error, from the reader: a file's path, kind and header line
    WARNING,   ///< standard error: gaps, clipped samples, full buffers, a missing file, ...
    DEBUG,     ///< standard error: the reader's debug traces
    ERROR      ///< standard error: the reason of a failure (also Result::error)
};

/// Where a conversion is.
struct Progress {
    const char* stage;         ///< "reading" or "converting"
    unsigned long long done;   ///< samples per channel read, or frames written to all files
    unsigned long long total;  ///< 0 while reading (not known in advance)
    bool end;                  ///< the stage is over (the last report of a stage)
};

/// Receives, in order, exactly the text the command line prints.  Texts are
/// pieces of lines as the programs write them ("Removing offset ", then
/// "done\n"); a PROGRESS text goes to standard output, every other to
/// standard error.  A sink used by two conversions at once must be safe for
/// that itself.
class Diagnostics {
public:
    virtual ~Diagnostics() = default;
    virtual void text(Message kind, const std::string& text) = 0;
    /// Called while reading (per record) and converting (per chunk).  Return
    /// false to stop: the conversion ends at the next record or chunk with
    /// Result::cancelled set, every temporary file removed and no output
    /// file put in place after that moment.
    virtual bool progress(const Progress&) { return true; }
    /// Told about the temporary names of the output files and about every
    /// output put in place (see NameWatch); null: nobody follows them.
    virtual NameWatch* names() { return nullptr; }
};

/// A sink that drops everything and never stops.
Diagnostics& quiet();

/// Capacity of each channel buffer, in samples (6200 records of 512).
/// Reading stops before a record (with the silence before it) would leave
/// fewer than RECORD_ROOM samples free, so at most BUFFER_SAMPLES -
/// RECORD_ROOM samples per channel are read: 6199 records of 512, about two
/// days at 18 Hz.
constexpr long BUFFER_SAMPLES = 3174400;
constexpr long RECORD_ROOM = 512;

/// Reads "s16", "s24" or "f32" into *format; false, *format unchanged, for
/// anything else (null included).
bool parse_sample_format(const char* text, SampleFormat* format);

/// One output file as the command line names it.
struct AudioFile {
    int index;                  ///< 0, 1, 2 (one file only with Layout::SIX)
    std::string name;           ///< "a4031516.dat.wav"
    unsigned channels;          ///< 1, 2 or 6
    unsigned long long frames;  ///< frames per channel
    unsigned long rate;         ///< Hz
    SampleFormat format;
};

/// Receives the samples in place of the files.  First begin() for every
/// file, in order; then write() with consecutive interleaved chunks of each
/// file (the files advance in step, so chunks of different files alternate:
/// int16_t samples for S16; int32_t holding the 24-bit value sign-extended
/// for S24; float, counts / 32768, for F32); then end() for every file, in
/// order.  A false return ends the conversion with status 1 and `why` as
/// the reason ("Error: can't write NAME: WHY").
class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual bool begin(const AudioFile& file, std::string& why) = 0;
    virtual bool write(int index, const void* interleaved, std::size_t frames,
                       std::string& why) = 0;
    virtual bool end(int index, std::string& why) = 0;
};

/// Where station time lies in the sound.
struct TimeMap {
    bool dated = false;             ///< the first sample has a station time
    double start = 0;               ///< its time, seconds since the epoch (UTC)
    double station_per_audio = 0;   ///< station seconds per second of sound
};

/// The outcome of a conversion.
struct Result {
    int status = 0;                     ///< 0, 1 (options, files, writing), 9 (no memory)
    std::string error;                  ///< what the command line prints for a failure
    bool cancelled = false;             ///< Diagnostics::progress asked to stop
    std::vector<std::string> written;   ///< paths put in place, in order (label file last)
    long clipped = 0;                   ///< samples saturated, all stages together
    TimeMap time_map;                   ///< of the sound (also without --timeline)
    double frequency = 0;               ///< sampling frequency of the first file, Hz
};

/// Converts `inputs` (the first, or all with `combine`) as tavo2wav does with
/// the same options, the texts going to `diagnostics`.  With `audio` the
/// samples go there and no file is written.  With options.window, converts
/// the window from its archive (`inputs` empty) or from all of `inputs`, its
/// first sample at `from` (see the README's window mode), in bounded memory
/// whatever its length, the outputs named after the station and `from`
/// ("a20140315T060000.wav").  Never throws for a failure of
/// the input, the options or the output (only std::bad_alloc may travel);
/// never prints; never ends the process.
Result convert(const std::vector<std::string>& inputs, const Options& options,
               Diagnostics& diagnostics, AudioSink* audio = nullptr);

/// Version of the engine, the programs' version ("1.0.0").
const char* version();

}  // namespace tavo

#endif  // TAVO_CONVERT_H
