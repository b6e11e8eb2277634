#include "wave.h"

#include "write_fully.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The RIFF length field counts the 36 header bytes after it plus the data,
// so the data may take at most this many bytes.
constexpr uint64_t MAX_DATA_BYTES = UINT32_MAX - 36;

// Output is collected in blocks of this size before each write() call.
constexpr std::size_t WRITE_BUFFER_BYTES = std::size_t{1} << 18;

// Frames interleaved per step by the planar writers.
constexpr std::size_t INTERLEAVE_FRAMES = 2048;
constexpr unsigned MAX_PLANAR_CHANNELS = 6;

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

// Record encoders: each returns the position after the bytes it stored.
unsigned char* store(unsigned char* out, const WaveHeader& h)
{
    put32(out + 0, h.magic);   // WaveHeader.magic: "RIFF"
    put32(out + 4, h.length);  // WaveHeader.length: 36 + data bytes
    put32(out + 8, h.type);    // WaveHeader.type: "WAVE"
    return out + 12;
}

unsigned char* store(unsigned char* out, const WaveChunkHeader& c)
{
    put32(out + 0, c.type);    // WaveChunkHeader.type: "fmt " or "data"
    put32(out + 4, c.length);  // WaveChunkHeader.length: body bytes
    return out + 8;
}

unsigned char* store(unsigned char* out, const WaveFmtBody& f)
{
    put16(out + 0, f.format);       // WaveFmtBody.format: 1, PCM
    put16(out + 2, f.channels);     // WaveFmtBody.channels
    put32(out + 4, f.sample_fq);    // WaveFmtBody.sample_fq: rate in Hz
    put32(out + 8, f.byte_p_sec);   // WaveFmtBody.byte_p_sec: rate x frame
    put16(out + 12, f.byte_p_spl);  // WaveFmtBody.byte_p_spl: frame bytes
    put16(out + 14, f.bit_p_spl);   // WaveFmtBody.bit_p_spl: 16
    return out + 16;
}

// Fills the header bytes: RIFF header, "fmt " chunk, the `extra` chunks,
// "data" chunk header (44 bytes plus the extra ones).
void encode_header(unsigned char* out, uint16_t channels, uint32_t rate,
                   uint32_t data_bytes, const std::vector<unsigned char>& extra)
{
    const uint16_t bytes_per_sample = static_cast<uint16_t>(2 * channels);
    const uint32_t bytes_per_second = rate * bytes_per_sample;
    const uint32_t extra_bytes = static_cast<uint32_t>(extra.size());
    out = store(out, WaveHeader{fourcc("RIFF"), 36 + extra_bytes + data_bytes, fourcc("WAVE")});
    out = store(out, WaveChunkHeader{fourcc("fmt "), 16});
    out = store(out, WaveFmtBody{1, channels, rate, bytes_per_second,
                                 bytes_per_sample, 16});
    out = std::copy(extra.begin(), extra.end(), out);
    store(out, WaveChunkHeader{fourcc("data"), data_bytes});
}

// Reads the umask from /proc without touching it; only where that is not
// available is it set and restored. The umask is process-wide, so that
// fallback is safe only while no other thread creates files: writers are
// opened on the converting thread, never while render threads run.
mode_t read_umask()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Umask:") {
            unsigned mask = 0;
            if (status >> std::oct >> mask)
                return static_cast<mode_t>(mask & 0777);
            break;
        }
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

mode_t created_file_mode()
{
    static const mode_t mask = read_umask();
    return 0666 & ~mask;
}

// ".<name>.XXXXXX" in the target's directory, the name cut so that the
// whole stays within NAME_MAX.
std::string temp_template(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    const std::size_t base_at = slash == std::string::npos ? 0 : slash + 1;
    std::string base = target.substr(base_at, NAME_MAX - 8);
    return target.substr(0, base_at) + "." + base + ".XXXXXX";
}

// Writes nrdata frames whose channel k comes from sources[k]; a null source
// is a silent channel.
int write_planar(const char* Name, const int16_t* const* sources,
                 unsigned channels, unsigned long nrdata, unsigned long rate)
{
    WaveWriter writer;
    if (!writer.open(Name, channels, nrdata, rate))
        return 0;
    std::array<int16_t, INTERLEAVE_FRAMES * MAX_PLANAR_CHANNELS> frames;
    for (unsigned long done = 0; done < nrdata;) {
        const std::size_t n = std::min<unsigned long>(INTERLEAVE_FRAMES, nrdata - done);
        for (unsigned k = 0; k < channels; ++k) {
            const int16_t* src = sources[k] ? sources[k] + done : nullptr;
            for (std::size_t i = 0; i < n; ++i)
                frames[i * channels + k] = src ? src[i] : 0;
        }
        if (!writer.write(frames.data(), n))
            return 0;
        done += n;
    }
    return writer.commit() ? 1 : 0;
}

}  // namespace

WaveWriter::WaveWriter()
    : fd_(-1), error_(0), channels_(0), frames_expected_(0),
      frames_written_(0), buffered_(0)
{
}

WaveWriter::~WaveWriter()
{
    const int saved = errno;
    discard();
    errno = saved;
}

bool WaveWriter::fail(int err)
{
    error_ = err;
    discard();
    errno = err;
    return false;
}

void WaveWriter::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_path_.empty())
        ::unlink(temp_path_.c_str());
    temp_path_.clear();
}

bool WaveWriter::open(const char* path, unsigned channels, unsigned long frames,
                      unsigned long rate, const std::vector<unsigned char>* chunks)
{
    static const std::vector<unsigned char> none;
    const std::vector<unsigned char>& extra = chunks ? *chunks : none;
    if (fd_ >= 0 || error_ != 0 || path == nullptr || channels == 0 ||
        channels > UINT16_MAX / 2)
        return fail(EINVAL);
    if (*path == '\0')
        return fail(ENOENT);
    const uint64_t frame_bytes = 2 * uint64_t{channels};
    if (extra.size() % 2 != 0)
        return fail(EINVAL);
    if (extra.size() > MAX_DATA_BYTES ||
        frames > (MAX_DATA_BYTES - extra.size()) / frame_bytes)
        return fail(EFBIG);
    if (rate > UINT32_MAX / frame_bytes)
        return fail(EINVAL);
    try {
        buffer_.resize(std::max(WRITE_BUFFER_BYTES, WAVE_HEADER_BYTES + extra.size()));
    } catch (const std::bad_alloc&) {
        return fail(ENOMEM);
    }
    target_path_ = path;
    std::string name = temp_template(target_path_);
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0)
        return fail(errno);
    temp_path_ = name;
    channels_ = channels;
    frames_expected_ = frames;
    frames_written_ = 0;
    encode_header(buffer_.data(), static_cast<uint16_t>(channels),
                  static_cast<uint32_t>(rate),
                  static_cast<uint32_t>(frames * frame_bytes), extra);
    buffered_ = WAVE_HEADER_BYTES + extra.size();
    return true;
}

bool WaveWriter::flush_buffer()
{
    if (!write_fully(fd_, buffer_.data(), buffered_))
        return fail(errno);
    buffered_ = 0;
    return true;
}

bool WaveWriter::write(const int16_t* interleaved, std::size_t frames)
{
    if (error_ != 0 || fd_ < 0)
        return fail(error_ != 0 ? error_ : EINVAL);
    if (frames > frames_expected_ - frames_written_)
        return fail(EINVAL);
    std::size_t samples = frames * channels_;
    while (samples > 0) {
        if (buffered_ == buffer_.size() && !flush_buffer())
            return false;
        const std::size_t n = std::min(samples, (buffer_.size() - buffered_) / 2);
        unsigned char* out = buffer_.data() + buffered_;
        for (std::size_t i = 0; i < n; ++i)
            put16(out + 2 * i, static_cast<uint16_t>(interleaved[i]));
        buffered_ += 2 * n;
        interleaved += n;
        samples -= n;
    }
    frames_written_ += frames;
    return true;
}

bool WaveWriter::commit()
{
    if (error_ != 0 || fd_ < 0)
        return fail(error_ != 0 ? error_ : EINVAL);
    if (frames_written_ != frames_expected_)
        return fail(EINVAL);
    if (!flush_buffer())
        return false;
    if (fchmod(fd_, created_file_mode()) != 0)
        return fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return fail(errno);
    if (std::rename(temp_path_.c_str(), target_path_.c_str()) != 0)
        return fail(errno);
    temp_path_.clear();
    return true;
}

int put_wav_data_mono16(const int16_t* mono, unsigned long nrdata,
                        unsigned long samples, const char* Name)
{
    const int16_t* sources[] = {mono};
    return write_planar(Name, sources, 1, nrdata, samples);
}

int put_wav_data_stereo16(const int16_t* left, const int16_t* right,
                          unsigned long nrdata, unsigned long samples,
                          const char* Name)
{
    const int16_t* sources[] = {left, right};
    return write_planar(Name, sources, 2, nrdata, samples);
}

int put_wav_data_6ch(const int16_t* mic1, const int16_t* mic2,
                     const int16_t* mic3, unsigned long nrdata,
                     unsigned long samples, const char* Name)
{
    const int16_t* sources[] = {mic2, nullptr, mic1, nullptr, mic3, nullptr};
    return write_planar(Name, sources, 6, nrdata, samples);
}
