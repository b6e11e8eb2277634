// A conversion's fused ending: every output file resampled (linear or
// sinc), filtered and written chunk by chunk into a temporary file, the
// stage lines, each file put in place at its "writing:" line; and the
// label file of --timeline.
#include "conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

void flush_stdout()
{
    std::fflush(stdout);
}

}  // namespace

// Output frames per input sample.
double Conversion::frames_per_sample() const
{
    if (settings_.sound.resampler == Resampler::SINC)
        return sinc_job_.resample ? sinc_job_.out_rate / sinc_job_.in_rate : 1.0;
    return upsample_ > 0 ? upsample_ : 1;
}

// Frames per channel of the output.
unsigned long long Conversion::output_frames() const
{
    if (settings_.sound.resampler == Resampler::SINC)
        return sinc_frames(sinc_job_, ii_);
    return static_cast<unsigned long long>(ii_) * (upsample_ > 0 ? upsample_ : 1);
}

// Whether the frames and the `extra` chunk bytes fit one WAV file.
bool Conversion::fits_wav(unsigned long long extra) const
{
    const unsigned long long frames = output_frames();
    const wave_t stereo = settings_.stereo;
    const unsigned channels = stereo == MONO ? 1 : stereo == STEREO ? 2 : 6;
    if (wave_fits(settings_.sound.format, channels, frames, extra))
        return true;
    flush_stdout();
    std::fprintf(stderr, "Error: output too large for a WAV file (%llu frames)\n", frames);
    return false;
}

// Opens the writer of file i. Returns false with errno set when it cannot.
bool Conversion::open_file(const char* base, int i, unsigned long long frames,
                           const std::vector<unsigned char>* chunks,
                           std::unique_ptr<WaveWriter>* w) const
{
    bool fits;
    const std::string path = output_name(settings_.stereo, i, base, &fits);
    if (!fits) {
        errno = ENAMETOOLONG;
        return false;
    }
    const FileLayout l = file_layout(settings_.stereo, i);
    w->reset(new WaveWriter);
    return (*w)->open(path.c_str(), l.channels, static_cast<unsigned long>(frames), settings_.rate,
                      settings_.sound.format, chunks);
}

// The sinc resampler renders all files in step: the writers are opened in
// order up to the first that cannot be, and those are rendered together.
int Conversion::render_sinc(const char* base, const std::vector<unsigned char>* chunks,
                            std::vector<std::unique_ptr<WaveWriter>>* writers, ClipCount* clips,
                            Progress* progress, int* err, std::string* soxr_error)
{
    const unsigned long long frames = output_frames();
    std::vector<WaveWriter*> open;
    std::vector<FileLayout> layouts;
    int opened = 0;
    for (std::unique_ptr<WaveWriter> w; opened < output_files(settings_.stereo); opened++) {
        if (!open_file(base, opened, frames, chunks, &w)) {
            *err = errno;
            break;
        }
        open.push_back(w.get());
        layouts.push_back(file_layout(settings_.stereo, opened));
        writers->push_back(std::move(w));
    }
    const int16_t* const ch[3] = {data_[0].get(), data_[1].get(), data_[2].get()};
    int write_err = 0;
    const int failed = static_cast<int>(render_sinc_files(open, layouts, ch, ii_, sinc_job_, clips,
                                                          progress, &write_err, soxr_error));
    if (failed < opened)
        *err = write_err;
    return std::min(failed, opened);
}

// Renders every output file into its temporary file, in file order, up to
// the first failure. Returns the index of the file that failed (the file
// count when none did) and its errno in *err (*soxr_error is set instead
// when the sinc resampler failed). `chunks`, when given, go into every file
// before its audio.
int Conversion::render_files(const char* base, const std::vector<unsigned char>* chunks,
                             std::vector<std::unique_ptr<WaveWriter>>* writers, ClipCount* clips,
                             int* err, std::string* soxr_error)
{
    const unsigned long long frames = output_frames();
    const int files = output_files(settings_.stereo);
    Progress progress("converting", frames * files);
    if (settings_.sound.resampler == Resampler::SINC)
        return render_sinc(base, chunks, writers, clips, &progress, err, soxr_error);
    const int16_t* const ch[3] = {data_[0].get(), data_[1].get(), data_[2].get()};
    for (int i = 0; i < files; i++) {
        std::unique_ptr<WaveWriter> w;
        if (!open_file(base, i, frames, chunks, &w) ||
            !render_file(*w, file_layout(settings_.stereo, i), ch, ii_, upsample_,
                         settings_.need_filter, render_workers(), clips, &progress, frames * i)) {
            *err = errno;
            return i;
        }
        writers->push_back(std::move(w));
    }
    return files;
}

// The stage lines of the fused ending, printed once the files are rendered:
// "Resampling U ..." and "Filtering..." for the linear resampler;
// "Resampling R (sinc) ..." with the ratio R for sinc, which has no filter
// stage (its band limit is the filter). The clip warning follows.
void Conversion::start_stage_line() const
{
    if (settings_.sound.resampler == Resampler::SINC) {
        if (sinc_job_.resample)
            std::printf("Resampling %g (sinc) ...", sinc_job_.out_rate / sinc_job_.in_rate);
    } else if (upsample_ != 0) {
        std::printf("Resampling %d ...", upsample_);
    }
    flush_stdout();  // the stage's name stands beside its progress on a terminal
}

void Conversion::end_stage_lines(ClipCount* clips) const
{
    if (settings_.sound.resampler == Resampler::SINC) {
        if (sinc_job_.resample)
            std::printf("done\n");
        warn_clipped(clips->total());
        return;
    }
    if (settings_.need_filter) {
        const int16_t* const ch[3] = {data_[0].get(), data_[1].get(), data_[2].get()};
        count_remaining_clips(ch, ii_, upsample_, true, clips);
    }
    if (upsample_ != 0)
        std::printf("done\n");
    if (settings_.need_filter) {
        std::printf("Filtering...done.\n");
        warn_clipped(clips->total());
    }
}

// The fused ending: every file is resampled, filtered and written to a
// temporary file chunk by chunk; the stage lines follow once that work is
// done, and each "writing:" line puts its file in place. A file that could
// not be written is reported at its own "writing:" line, after the files
// before it have been put in place, as the stage-by-stage ending would.
// A failure of the sinc resampler ends the conversion before any file is
// put in place.
int Conversion::write_fused(const char* base, const std::vector<unsigned char>* chunks)
{
    if (!known_layout(settings_.stereo))
        return 1;
    start_stage_line();
    std::vector<std::unique_ptr<WaveWriter>> writers;
    ClipCount clips;
    int err = 0;
    std::string soxr_error;
    const int failed = render_files(base, chunks, &writers, &clips, &err, &soxr_error);
    if (!soxr_error.empty()) {
        flush_stdout();
        std::fprintf(stderr, "Error: resampler: %s\n", soxr_error.c_str());
        return 1;
    }
    end_stage_lines(&clips);
    for (int i = 0; i < output_files(settings_.stereo); i++) {
        bool fits;
        const std::string path = output_name(settings_.stereo, i, base, &fits);
        std::printf("writing: %s ", path.c_str());
        if (i == failed || !writers[i]->commit()) {
            report_write_error(path, i == failed ? err : errno);
            return 1;
        }
        std::printf("done\n");
    }
    return 0;
}

// Writes <base>.labels.txt beside the WAV files, with its "writing:" line.
int Conversion::write_labels(const char* base) const
{
    const std::string path = std::string(base) + ".labels.txt";
    std::printf("writing: %s ", path.c_str());
    if (!write_text_file(path, label_file_text(timeline_, settings_.rate))) {
        report_write_error(path, errno);
        return 1;
    }
    std::printf("done\n");
    return 0;
}
