// Conversions through the engine (tavo::convert) or the stage-by-stage
// reference, in-process, into a fresh output folder: what they said and the
// bytes of every file they left:
//   const Converted c = convert_into({input}, options("-u 0"));
//   // c.result.status, c.out, c.err, c.files.at("a4031516.wav")
#ifndef TAVO_TESTS_SUPPORT_CONVERT_INTO_H
#define TAVO_TESTS_SUPPORT_CONVERT_INTO_H

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <tavo/convert.h>

namespace tavo_test {

// Every text the engine says, as the program prints it: `out` (progress,
// standard output) and `err` (all the rest, standard error); the failure's
// text apart in `error`. Asks to stop at progress report `stop_after`
// (counting from 0; -1: never).
class Said : public tavo::Diagnostics {
public:
    void text(tavo::Message kind, const std::string& t) override;
    bool progress(const tavo::Progress& p) override;
    std::string out, err, error;
    long stop_after = -1;

private:
    long reports_ = 0;
    std::mutex mutex_;
};

// The samples delivered in memory (tavo::AudioSink): each file and the
// bytes of its interleaved samples, as they come (int16, int32 or float).
class Captured : public tavo::AudioSink {
public:
    bool begin(const tavo::AudioFile& f, std::string&) override;
    bool write(int index, const void* samples, std::size_t frames, std::string&) override;
    bool end(int, std::string&) override { return true; }
    std::vector<tavo::AudioFile> files;
    std::vector<std::string> bytes;
};

struct Converted {
    tavo::Result result;
    std::string out, err;                      // as Said keeps them
    std::map<std::string, std::string> files;  // name -> bytes, of the output folder
};

// The options tavo2wav reads from these words ("-6 -u 7 --format s24");
// throws std::invalid_argument with the refusal when it refuses them.
tavo::Options options(const std::string& words);

// Converts `inputs` with `options` into a fresh temporary folder (the
// options' output_dir is replaced): through tavo::convert, or stage by stage
// when `stagewise` (the linear resampler and 16-bit samples only). In the
// texts the folder's name reads "OUT".
Converted convert_into(const std::vector<std::string>& inputs, tavo::Options options,
                       bool stagewise = false);

}  // namespace tavo_test

#endif
