// tavoinfo --plot --audio: the conversion's reading replayed over the
// records, to place them in the sound.
#include "sound_axis.h"

namespace tavoinfo {

SoundPlacer::SoundPlacer(const tavo::Options& options, double frequency)
    : options_(options),
      refusal_(tavo::engine::settle_resampling(options, frequency, &resampling_)),
      clock_(new tavo::engine::StationClock(options.gaps == tavo::Gaps::SILENCE, tavo::quiet()))
{
}

void SoundPlacer::begin_file(std::size_t index, const Zeltra::ZELTRA& reader,
                             const std::string& name)
{
    if (index > 0 && !options_.combine)
        first_file_only_ = true;
    reading_ = (index == 0 || options_.combine) && !cut_;
    if (reading_)
        clock_->begin_file(reader, name);
}

SoundPlacer::Place SoundPlacer::place(const Zeltra::ZELTRA& reader)
{
    Place p;
    if (!reading_)
        return p;
    const tavo::engine::StationClock::Step step = clock_->measure(reader);
    if (samples_ + step.fill >= tavo::BUFFER_SAMPLES - tavo::RECORD_ROOM) {
        reading_ = false;
        cut_ = true;
        return p;
    }
    clock_->place(step, samples_);
    p.converted = true;
    p.silence = step.fill;
    p.position = static_cast<double>(samples_ + step.fill);
    samples_ += step.fill + static_cast<long>(reader.get_length());
    return p;
}

double SoundPlacer::seconds_at(double position) const
{
    return position * resampling_.frames_per_sample() / static_cast<double>(options_.rate);
}

double SoundPlacer::total_seconds() const
{
    return static_cast<double>(resampling_.frames(samples_)) / static_cast<double>(options_.rate);
}

}  // namespace tavoinfo
