// The engine's public face: options checked, one Conversion run.
#include <cmath>
#include <cstring>

#include <tavo/convert.h>

#include "engine/conversion.h"

namespace tavo {

namespace {

// Rates accepted as they are, besides the codes 0 to 8.
const unsigned long KNOWN_RATES[] = {18, 4000, 5500, 6000, 7333, 8000, 11025, 22050, 44100, 48000};
const unsigned long RATE_CODES[] = {48000, 44100, 22050, 11025, 8000, 7333, 6000, 5500, 4000};

// Most render threads: far more than any machine needs, few enough that a
// typing slip cannot start thousands.
constexpr unsigned MAX_THREADS = 256;

class Quiet : public Diagnostics {
public:
    void text(Message, const std::string&) override {}
};

}  // namespace

RateChoice rate_of_code(unsigned long value)
{
    if (value < sizeof RATE_CODES / sizeof RATE_CODES[0])
        return {RATE_CODES[value], ""};
    for (unsigned long known : KNOWN_RATES)
        if (value == known)
            return {value, ""};
    return {4000, "Unknown rate: " + std::to_string(value) + ". Using default: 4000.\n"};
}

bool parse_sample_format(const char* text, SampleFormat* format)
{
    const struct {
        const char* text;
        SampleFormat format;
    } names[] = {
        {"s16", SampleFormat::S16}, {"s24", SampleFormat::S24}, {"f32", SampleFormat::F32}};
    for (const auto& n : names) {
        if (text != nullptr && std::strcmp(text, n.text) == 0) {
            *format = n.format;
            return true;
        }
    }
    return false;
}

std::string check(const Options& o)
{
    if (o.threads > MAX_THREADS)
        return "Error: --threads needs a whole number from 0 to " + std::to_string(MAX_THREADS) +
               ", not \"" + std::to_string(o.threads) + "\"\n";
    const bool speedup_given = o.speedup != 0 || !o.speedup_text.empty();
    if (speedup_given && !(o.speedup > 0 && std::isfinite(o.speedup)))
        return "Error: speed-up must be a positive number (--speedup " +
               (o.speedup_text.empty() ? std::to_string(o.speedup) : o.speedup_text) + ")\n";
    if (speedup_given && o.upsample_given)
        return "Error: give -u or --speedup, not both\n";
    if (o.upsample < 0)
        return "Error: upsampling factor must not be negative (-u " + std::to_string(o.upsample) +
               ")\n";
    if (o.window.given && !o.window.archive.empty() && o.window.station == 0)
        return "Error: --archive needs --station and --from\n";
    if (o.window.given && o.window.to <= o.window.from)
        return "Error: --from must be before --to\n";
    return "";
}

Diagnostics& quiet()
{
    static Quiet sink;
    return sink;
}

const char* version()
{
    return TAVO2WAV_VERSION;
}

Result convert(const std::vector<std::string>& inputs, const Options& options,
               Diagnostics& diagnostics, AudioSink* audio)
{
    Result refused;
    refused.status = 1;
    const bool archive = options.window.given && !options.window.archive.empty();
    refused.error = inputs.empty() && !archive ? "Error: No files given\n" : check(options);
    if (refused.error.empty() && archive && !inputs.empty())
        refused.error = "Error: --archive finds its files itself; name no files with it\n";
    if (!refused.error.empty()) {
        diagnostics.text(Message::ERROR, refused.error);
        return refused;
    }
    engine::Conversion conversion(options, diagnostics, audio);
    return options.window.given ? conversion.run_window(inputs) : conversion.run(inputs);
}

}  // namespace tavo
