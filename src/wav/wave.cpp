#include "wav/wave.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

namespace tavo::wav {

namespace {

// Whether the machine stores numbers as the file does, least significant
// byte first (and floats as IEEE singles, checked below).
constexpr bool LITTLE_ENDIAN_HOST = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "float must be IEEE single precision");

// WAVE format codes.
constexpr uint16_t FORMAT_PCM = 1;
constexpr uint16_t FORMAT_FLOAT = 3;

// Output is collected in blocks of this size before each write() call.
constexpr std::size_t WRITE_BUFFER_BYTES = std::size_t{1} << 18;

// A 32-bit size field that does not hold the size: RF64 readers take it
// from ds64.
constexpr uint32_t SIZE_IN_DS64 = 0xFFFFFFFFu;

// The largest RIFF length of a WAV file (set_riff_limit_for_tests).
std::atomic<uint64_t> riff_limit{UINT32_MAX};

constexpr uint32_t fourcc(const char (&code)[5])
{
    return uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8 |
           uint32_t(uint8_t(code[2])) << 16 | uint32_t(uint8_t(code[3])) << 24;
}

void put16(unsigned char* out, uint16_t v)
{
    out[0] = static_cast<unsigned char>(v & 0xFF);
    out[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* out, uint32_t v)
{
    put16(out, static_cast<uint16_t>(v & 0xFFFF));
    put16(out + 2, static_cast<uint16_t>(v >> 16));
}

// The low 24 bits of v, little-endian.
void put24(unsigned char* out, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    out[0] = static_cast<unsigned char>(u & 0xFF);
    out[1] = static_cast<unsigned char>(u >> 8 & 0xFF);
    out[2] = static_cast<unsigned char>(u >> 16 & 0xFF);
}

// The IEEE single-precision bits of v, little-endian.
void put_float(unsigned char* out, float v)
{
    static_assert(sizeof(float) == 4, "float must be IEEE single precision");
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put32(out, bits);
}

// Record encoders: each returns the position after the bytes it stored.
unsigned char* store(unsigned char* out, const WaveHeader& h)
{
    put32(out + 0, h.magic);   // WaveHeader.magic: "RIFF"
    put32(out + 4, h.length);  // WaveHeader.length: header - 8 + data + pad
    put32(out + 8, h.type);    // WaveHeader.type: "WAVE"
    return out + 12;
}

unsigned char* store(unsigned char* out, const WaveChunkHeader& c)
{
    put32(out + 0, c.type);    // WaveChunkHeader.type: "fmt ", "fact", "data"
    put32(out + 4, c.length);  // WaveChunkHeader.length: body bytes
    return out + 8;
}

void put64(unsigned char* out, uint64_t v)
{
    put32(out, static_cast<uint32_t>(v & 0xFFFFFFFFu));
    put32(out + 4, static_cast<uint32_t>(v >> 32));
}

unsigned char* store(unsigned char* out, const Ds64Body& d)
{
    put64(out + 0, d.riff_size);      // Ds64Body.riff_size: file size - 8
    put64(out + 8, d.data_size);      // Ds64Body.data_size: data chunk body
    put64(out + 16, d.sample_count);  // Ds64Body.sample_count: frames
    put32(out + 24, d.table_length);  // Ds64Body.table_length: 0
    return out + 28;
}

unsigned char* store(unsigned char* out, const WaveFmtBody& f)
{
    put16(out + 0, f.format);       // WaveFmtBody.format: 1 PCM, 3 float
    put16(out + 2, f.channels);     // WaveFmtBody.channels
    put32(out + 4, f.sample_fq);    // WaveFmtBody.sample_fq: rate in Hz
    put32(out + 8, f.byte_p_sec);   // WaveFmtBody.byte_p_sec: rate x frame
    put16(out + 12, f.byte_p_spl);  // WaveFmtBody.byte_p_spl: frame bytes
    put16(out + 14, f.bit_p_spl);   // WaveFmtBody.bit_p_spl: 16, 24, 32
    return out + 16;
}

// Data bytes of `frames` frames and the pad byte that follows an odd count.
uint64_t padded_data_bytes(uint64_t frames, uint64_t frame_bytes)
{
    const uint64_t bytes = frames * frame_bytes;
    return bytes + (bytes & 1);
}

// A 32-bit size field: the size, or SIZE_IN_DS64 when it does not fit.
uint32_t size32(uint64_t size)
{
    return size > UINT32_MAX ? SIZE_IN_DS64 : static_cast<uint32_t>(size);
}

// Fills the header bytes (wave_header_bytes(format) plus the `extra` chunks,
// plus DS64_CHUNK_BYTES for RF64): RIFF header, for RF64 a "JUNK" chunk that
// holds the place of ds64, "fmt " chunk, for float a "fact" chunk, the
// `extra` chunks, and the "data" chunk header.
void encode_header(unsigned char* out, SampleFormat format, uint16_t channels, uint32_t rate,
                   uint64_t frames, const std::vector<unsigned char>& extra, bool rf64)
{
    const bool pcm = format != SampleFormat::F32;
    const uint16_t sample = static_cast<uint16_t>(sample_bytes(format));
    const uint16_t bytes_per_frame = static_cast<uint16_t>(sample * channels);
    const uint32_t data_bytes =
        rf64 ? SIZE_IN_DS64 : static_cast<uint32_t>(frames * bytes_per_frame);
    const uint32_t riff_length =
        rf64 ? SIZE_IN_DS64
             : static_cast<uint32_t>(wave_header_bytes(format) - 8 + extra.size() +
                                     padded_data_bytes(frames, bytes_per_frame));
    out = store(out, WaveHeader{fourcc("RIFF"), riff_length, fourcc("WAVE")});
    if (rf64) {
        out = store(out, WaveChunkHeader{fourcc("JUNK"), DS64_CHUNK_BYTES - 8});
        out = std::fill_n(out, DS64_CHUNK_BYTES - 8, 0);
    }
    out = store(out, WaveChunkHeader{fourcc("fmt "), pcm ? 16u : 18u});
    out = store(out,
                WaveFmtBody{pcm ? FORMAT_PCM : FORMAT_FLOAT, channels, rate, rate * bytes_per_frame,
                            bytes_per_frame, static_cast<uint16_t>(8 * sample)});
    if (!pcm) {
        put16(out, 0);  // "fmt " extension size: no extension
        out = store(out + 2, WaveChunkHeader{fourcc("fact"), 4});
        put32(out, size32(frames));  // "fact" body: frames per channel
        out += 4;
    }
    out = std::copy(extra.begin(), extra.end(), out);
    store(out, WaveChunkHeader{fourcc("data"), data_bytes});
}

}  // namespace

WaveWriter::WaveWriter(NameWatch* watch)
    : file_(watch),
      error_(0),
      format_(SampleFormat::S16),
      channels_(0),
      frames_expected_(0),
      frames_written_(0),
      buffered_(0)
{
}

WaveWriter::~WaveWriter() = default;

bool WaveWriter::fail(int err)
{
    error_ = err;
    discard();
    errno = err;
    return false;
}

void WaveWriter::discard()
{
    file_.discard();
}

bool WaveWriter::prepare(const char* path)
{
    if (file_.fd() >= 0 || error_ != 0 || path == nullptr)
        return fail(EINVAL);
    if (!file_.create(path))
        return fail(errno);
    return true;
}

bool WaveWriter::open(const char* path, unsigned channels, unsigned long frames, unsigned long rate,
                      SampleFormat format, const std::vector<unsigned char>* chunks, bool rf64)
{
    static const std::vector<unsigned char> none;
    const std::vector<unsigned char>& extra = chunks ? *chunks : none;
    const uint64_t frame_bytes = sample_bytes(format) * uint64_t{channels};
    const bool prepared = file_.fd() >= 0;
    if (error_ != 0 || path == nullptr || channels == 0 || frame_bytes > UINT16_MAX || opened_ ||
        (prepared && file_.target() != path))
        return fail(EINVAL);
    if (*path == '\0')
        return fail(ENOENT);
    if (extra.size() % 2 != 0)
        return fail(EINVAL);
    const bool fits = wave_fits(format, channels, frames, extra.size());
    if (!fits && (!rf64 || frames > UINT64_MAX / 2 / frame_bytes))
        return fail(EFBIG);
    if (rate > UINT32_MAX / frame_bytes)
        return fail(EINVAL);
    rf64_ = !fits;
    header_bytes_ = wave_header_bytes(format) + extra.size() + (rf64_ ? DS64_CHUNK_BYTES : 0);
    try {
        buffer_.resize(std::max(WRITE_BUFFER_BYTES, header_bytes_));
    } catch (const std::bad_alloc&) {
        return fail(ENOMEM);
    }
    if (!prepared && !file_.create(path))
        return fail(errno);
    opened_ = true;
    format_ = format;
    channels_ = channels;
    frames_expected_ = frames;
    frames_written_ = 0;
    encode_header(buffer_.data(), format, static_cast<uint16_t>(channels),
                  static_cast<uint32_t>(rate), frames, extra, rf64_);
    buffered_ = header_bytes_;
    return true;
}

// Turns the header of a complete RF64 file into its final form: "RF64" for
// "RIFF" and the ds64 chunk with the sizes in place of the "JUNK" chunk.
bool WaveWriter::write_ds64()
{
    const uint64_t data_bytes = uint64_t{frames_written_} * sample_bytes(format_) * channels_;
    unsigned char head[12 + DS64_CHUNK_BYTES];
    unsigned char* out = store(head, WaveHeader{fourcc("RF64"), SIZE_IN_DS64, fourcc("WAVE")});
    out = store(out, WaveChunkHeader{fourcc("ds64"), DS64_CHUNK_BYTES - 8});
    store(out, Ds64Body{header_bytes_ - 8 + data_bytes + (data_bytes & 1), data_bytes,
                        uint64_t{frames_written_}, 0});
    if (!file_.write_at(head, sizeof head, 0))
        return fail(errno);
    return true;
}

bool WaveWriter::flush_buffer()
{
    if (!file_.write(buffer_.data(), buffered_))
        return fail(errno);
    buffered_ = 0;
    return true;
}

// Checks that the writer may take `frames` more frames of samples whose type
// fits its format.
bool WaveWriter::accept(std::size_t frames, bool format_fits)
{
    if (error_ != 0 || file_.fd() < 0)
        return fail(error_ != 0 ? error_ : EINVAL);
    if (!format_fits || frames > frames_expected_ - frames_written_)
        return fail(EINVAL);
    return true;
}

// Stores the samples through put(out, sample), sample_bytes(format_) bytes
// each, flushing the buffer whenever it is full.
template <typename T, typename Encode>
bool WaveWriter::encode(const T* interleaved, std::size_t frames, Encode put)
{
    const std::size_t size = sample_bytes(format_);
    std::size_t samples = frames * channels_;
    while (samples > 0) {
        if (buffer_.size() - buffered_ < size && !flush_buffer())
            return false;
        const std::size_t n = std::min(samples, (buffer_.size() - buffered_) / size);
        unsigned char* out = buffer_.data() + buffered_;
        for (std::size_t i = 0; i < n; ++i)
            put(out + size * i, interleaved[i]);
        buffered_ += size * n;
        interleaved += n;
        samples -= n;
    }
    frames_written_ += frames;
    return true;
}

// Samples whose file bytes are their memory bytes (16-bit and float
// samples on a little-endian machine) go out as they are: buffered when
// small, written straight from the caller's memory when large.
bool WaveWriter::write_as_is(const void* interleaved, std::size_t frames)
{
    const std::size_t bytes = frames * channels_ * sample_bytes(format_);
    if (bytes <= buffer_.size() - buffered_) {
        std::memcpy(buffer_.data() + buffered_, interleaved, bytes);
        buffered_ += bytes;
    } else if (!flush_buffer() || !file_.write(interleaved, bytes)) {
        return fail(errno);
    }
    frames_written_ += frames;
    return true;
}

bool WaveWriter::write(const int16_t* interleaved, std::size_t frames)
{
    if (!accept(frames, true))
        return false;
    if (format_ == SampleFormat::S16 && LITTLE_ENDIAN_HOST)
        return write_as_is(interleaved, frames);
    switch (format_) {
        case SampleFormat::S24:
            return encode(interleaved, frames,
                          [](unsigned char* out, int16_t s) { put24(out, widen_s24(s)); });
        case SampleFormat::F32:
            return encode(interleaved, frames,
                          [](unsigned char* out, int16_t s) { put_float(out, widen_f32(s)); });
        case SampleFormat::S16:
            break;
    }
    return encode(interleaved, frames,
                  [](unsigned char* out, int16_t s) { put16(out, static_cast<uint16_t>(s)); });
}

bool WaveWriter::write(const int32_t* interleaved, std::size_t frames)
{
    if (!accept(frames, format_ == SampleFormat::S24))
        return false;
    return encode(interleaved, frames, [](unsigned char* out, int32_t s) { put24(out, s); });
}

bool WaveWriter::write(const float* interleaved, std::size_t frames)
{
    if (!accept(frames, format_ == SampleFormat::F32))
        return false;
    if (LITTLE_ENDIAN_HOST)
        return write_as_is(interleaved, frames);
    return encode(interleaved, frames, [](unsigned char* out, float s) { put_float(out, s); });
}

bool WaveWriter::commit()
{
    if (error_ != 0 || file_.fd() < 0)
        return fail(error_ != 0 ? error_ : EINVAL);
    if (frames_written_ != frames_expected_)
        return fail(EINVAL);
    const uint64_t data_bytes = uint64_t{frames_written_} * sample_bytes(format_) * channels_;
    if (data_bytes % 2 != 0) {
        // The pad byte after an odd-sized data chunk; open() left room.
        if (buffered_ == buffer_.size() && !flush_buffer())
            return false;
        buffer_[buffered_++] = 0;
    }
    if (!flush_buffer())
        return false;
    if (rf64_ && !write_ds64())
        return false;
    if (!file_.commit(common::AtomicFile::Sync::NONE))
        return fail(errno);
    return true;
}

std::size_t wave_header_bytes(SampleFormat format)
{
    return format == SampleFormat::F32 ? 58 : WAVE_HEADER_BYTES;
}

unsigned long long wave_file_bytes(SampleFormat format, unsigned channels,
                                   unsigned long long frames, std::size_t extra_bytes)
{
    return wave_header_bytes(format) + extra_bytes +
           padded_data_bytes(frames, sample_bytes(format) * uint64_t{channels});
}

bool wave_fits(SampleFormat format, unsigned channels, unsigned long long frames,
               std::size_t extra_bytes)
{
    // The RIFF length counts the header bytes after it, the other chunks,
    // the data and its pad byte.
    const uint64_t limit = riff_limit.load();
    const uint64_t header = wave_header_bytes(format) - 8;
    if (extra_bytes > limit - std::min(limit, header))
        return false;
    const uint64_t max_data = limit - header - extra_bytes;
    const uint64_t frame_bytes = sample_bytes(format) * uint64_t{channels};
    return frame_bytes > 0 && frames <= max_data / frame_bytes &&
           padded_data_bytes(frames, frame_bytes) <= max_data;
}

void set_riff_limit_for_tests(uint64_t limit)
{
    riff_limit.store(limit == 0 || limit > UINT32_MAX ? UINT32_MAX : limit);
}

}  // namespace tavo::wav
