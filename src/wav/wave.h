// WAV output in three sample formats (<tavo/sample_format.h>): 16- and
// 24-bit PCM with the canonical 44-byte header, and 32-bit IEEE float with
// the 58-byte header that non-PCM data calls for (an 18-byte "fmt " chunk and
// a "fact" chunk). A writer that is allowed to may write a file whose data
// outgrow the 32-bit RIFF sizes as RF64 (EBU Tech 3306); every file that
// fits stays a plain WAV file.
//
// Every writer builds the file as an AtomicFile (common/atomic_file.h): it
// appears under its name only once it is complete, so a failed write never
// leaves a partial file and never destroys an existing file of that name.
// The finished file has mode 0666 less the umask, as a plain create would
// give it; it is not synced to the disk (the files are large and derived).
// Nothing here prints.
#ifndef TAVO_WAV_WAVE_H
#define TAVO_WAV_WAVE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "wav/sample_format.h"

namespace tavo::wav {

// The header records, in file order. Four-character codes are held so that
// their characters appear in the file in reading order when the field is
// stored little-endian. The records are never written by casting: every
// field is stored byte by byte, little-endian.
//
// PCM:   WaveHeader, "fmt " chunk (16-byte WaveFmtBody), "data" chunk.
// Float: WaveHeader, "fmt " chunk (WaveFmtBody and a 2-byte extension size
//        of 0), "fact" chunk (4 bytes: frames per channel), "data" chunk.
// A data chunk of an odd number of bytes (24-bit mono, odd frame count) is
// followed by one zero pad byte, which the RIFF length counts.
//
// RF64: "RF64", a length of 0xFFFFFFFF and "WAVE", then a "ds64" chunk
// (28-byte Ds64Body) right after "WAVE", then the chunks of a WAV file, the
// "data" chunk's length 0xFFFFFFFF (and a "fact" count above 32 bits
// 0xFFFFFFFF): readers take the sizes from ds64. While the data are being
// written the first 12 bytes read "RIFF", 0xFFFFFFFF, "WAVE" and the ds64
// chunk's place is held by a "JUNK" chunk of the same size, as EBU Tech 3306
// describes; commit() writes both once the sizes are final.
struct WaveHeader {
    uint32_t magic;   // "RIFF"
    uint32_t length;  // bytes after this field: header bytes - 8 + other chunks + data + pad
    uint32_t type;    // "WAVE"
};

struct WaveChunkHeader {
    uint32_t type;    // "fmt ", "fact" or "data"
    uint32_t length;  // bytes of the chunk body, without a pad byte
};

struct Ds64Body {
    uint64_t riff_size;     // bytes after the RF64 length field: the file size - 8
    uint64_t data_size;     // bytes of the "data" chunk body, without a pad byte
    uint64_t sample_count;  // frames per channel
    uint32_t table_length;  // entries of the chunk size table that follows: 0
};

struct WaveFmtBody {
    uint16_t format;  // 1: PCM, 3: IEEE float
    uint16_t channels;
    uint32_t sample_fq;   // frames per second
    uint32_t byte_p_sec;  // sample_fq * byte_p_spl
    uint16_t byte_p_spl;  // bytes per frame
    uint16_t bit_p_spl;   // 16, 24 or 32
};

// Size of the header that precedes the frames of a 16-bit file.
constexpr std::size_t WAVE_HEADER_BYTES = 44;

// Size of the header that precedes the frames in `format`: 44, or 58 for
// f32.
std::size_t wave_header_bytes(SampleFormat format);

// Bytes the header of an RF64 file adds to that of a WAV file: the ds64
// chunk.
constexpr std::size_t DS64_CHUNK_BYTES = 36;

// True when `frames` frames of `channels` channels in `format` (with the pad
// byte of an odd-sized data chunk) and `extra_bytes` of other chunks fit the
// 32-bit RIFF sizes.
bool wave_fits(SampleFormat format, unsigned channels, unsigned long long frames,
               std::size_t extra_bytes = 0);

// Bytes of the whole file: its header, `extra_bytes` of other chunks, the
// frames and the pad byte of an odd-sized data chunk. Meant for files that
// wave_fits.
unsigned long long wave_file_bytes(SampleFormat format, unsigned channels,
                                   unsigned long long frames, std::size_t extra_bytes = 0);

// Test hook: the RIFF length above which a file no longer fits a WAV file
// (UINT32_MAX unless set; 0 restores it), so that tests can make a small
// file RF64 (and see the refusal of a small output). Affects every writer
// and wave_fits on every thread from then on.
void set_riff_limit_for_tests(uint64_t limit);

// Streaming writer of one WAV file whose frame count is known in advance.
// prepare() creates the temporary file (so that a folder that cannot be
// written to is found before any work); open() writes the header (preparing
// first when that has not been done); write() takes interleaved frames in
// chunks of any size; commit() finishes the file and puts it in place. A
// writer destroyed without a successful commit() removes its temporary file
// and leaves the target untouched.
//
// Every operation returns true on success. On failure it returns false with
// errno set to the cause; the writer then refuses further work and its
// temporary file is removed at the latest by the destructor.
class WaveWriter {
public:
    // `watch`, when given, follows the temporary names (see NameWatch).
    explicit WaveWriter(NameWatch* watch = nullptr);
    ~WaveWriter();
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;

    // Creates the temporary file for `path`. False with errno set (ENOENT
    // for an empty path, EINVAL when already prepared, else the system's).
    bool prepare(const char* path);

    // Creates the temporary file next to `path` unless prepare() did, and
    // writes the header for
    // `channels` channels (1 to 65535), `frames` frames at `rate` Hz in
    // `format`. Fails with EFBIG, before creating anything, when the data
    // (frames x bytes per frame, and its pad byte) would not fit the 32-bit
    // RIFF sizes; with EINVAL when the
    // writer is already open, `channels` is 0 or too large, or `rate` or
    // rate x bytes per frame does not fit 32 bits; with ENOENT for an empty
    // path; otherwise with the errno of the failed system call (ENOENT for
    // a missing directory, EACCES, ...). After prepare(), `path` must be
    // the path prepared.
    // `chunks`, when given, holds whole chunks (each header and its body,
    // padded to even sizes) placed between "fmt " and "data"; they count in
    // the RIFF length and in the size check, and an odd total fails with
    // EINVAL. With `rf64`, a file that does not fit is written as RF64
    // instead of failing with EFBIG.
    bool open(const char* path, unsigned channels, unsigned long frames, unsigned long rate,
              SampleFormat format = SampleFormat::S16,
              const std::vector<unsigned char>* chunks = nullptr, bool rf64 = false);

    // True when the open file is being written as RF64.
    bool rf64() const { return rf64_; }

    // Appends `frames` frames of `channels` interleaved samples each.
    // 16-bit samples may be written in every format: they keep their value
    // (widen_s24, widen_f32). 24-bit samples (S24_MIN to S24_MAX; the low
    // 24 bits of each are stored) need an s24 file, floats an f32 file.
    // Fails with EINVAL when the writer is not open, the samples do not fit
    // its format, or more frames than announced would be written, otherwise
    // with the errno of the failed write.
    bool write(const int16_t* interleaved, std::size_t frames);
    bool write(const int32_t* interleaved, std::size_t frames);
    bool write(const float* interleaved, std::size_t frames);

    // Checks that exactly the announced number of frames arrived (EINVAL
    // otherwise), writes out the buffer, sets the file mode, closes the file
    // and renames it over the target. After a failure nothing is left
    // behind and an existing target is unchanged.
    bool commit();

private:
    bool fail(int err);
    bool flush_buffer();
    bool write_ds64();
    void discard();
    bool accept(std::size_t frames, bool format_fits);
    bool write_as_is(const void* interleaved, std::size_t frames);
    template <typename T, typename Encode>
    bool encode(const T* interleaved, std::size_t frames, Encode put);

    common::AtomicFile file_;
    bool opened_ = false;           // the header has been written
    bool rf64_ = false;             // ... as that of an RF64 file
    std::size_t header_bytes_ = 0;  // bytes before the first frame
    int error_;
    SampleFormat format_;
    unsigned channels_;
    unsigned long frames_expected_;
    unsigned long frames_written_;
    std::vector<unsigned char> buffer_;
    std::size_t buffered_;
};

}  // namespace tavo::wav

// The three layouts. Each writes `nrdata` frames at `samples` Hz to the
// file `Name`; every buffer must hold at least `nrdata` samples.
// Returns 1 when the file was written completely and is in place. Returns
// 0 with errno set when it could not be created, written, flushed, closed
// or renamed (no file is then left behind and an existing file of that
// name is unchanged), and 0 with errno EFBIG, writing nothing, when
// nrdata x bytes per frame does not fit the 32-bit RIFF sizes.

// One channel, 2 bytes per frame: mono[i].
int put_wav_data_mono16(const int16_t* mono, unsigned long nrdata, unsigned long samples,
                        const char* Name);

// Two channels, 4 bytes per frame: left[i], right[i].
int put_wav_data_stereo16(const int16_t* left, const int16_t* right, unsigned long nrdata,
                          unsigned long samples, const char* Name);

// Six channels, 12 bytes per frame: mic2[i], 0, mic1[i], 0, mic3[i], 0.
// Only WAV channels 1, 3 and 5 carry data; 2, 4 and 6 are silent.
int put_wav_data_6ch(const int16_t* mic1, const int16_t* mic2, const int16_t* mic3,
                     unsigned long nrdata, unsigned long samples, const char* Name);

#endif  // TAVO_WAV_WAVE_H
