// tavo._tavo.convert without output_dir: the engine's samples, file by file,
// into memory that becomes one numpy array per file.
#ifndef TAVO_PYTHON_AUDIO_COLLECTOR_H
#define TAVO_PYTHON_AUDIO_COLLECTOR_H

#include <cstddef>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <tavo/convert.h>

namespace tavo_py {

/// Takes each file's interleaved frames into a block sized from the
/// engine's announcement (frames x channels of int16, int32 or float32).
/// Called by the engine with the GIL released: begin() for every file, then
/// the chunks of the files in turn, then end() for every file.
class AudioCollector : public tavo::AudioSink {
public:
    AudioCollector() = default;
    ~AudioCollector() override;
    AudioCollector(const AudioCollector&) = delete;
    AudioCollector& operator=(const AudioCollector&) = delete;

    bool begin(const tavo::AudioFile& file, std::string& why) override;
    bool write(int index, const void* interleaved, std::size_t frames, std::string& why) override;
    bool end(int index, std::string& why) override;

    /// One (name, samples of shape (frames, channels), rate) per file, in
    /// order; the blocks pass to the arrays.  The GIL held.
    pybind11::list to_python();

private:
    struct File {
        tavo::AudioFile file;
        void* data = nullptr;    // std::malloc'd
        std::size_t filled = 0;  // frames written
    };
    /// The file of `index`; null for one never begun.
    File* find(int index);

    std::vector<File> files_;
};

}  // namespace tavo_py

#endif  // TAVO_PYTHON_AUDIO_COLLECTOR_H
