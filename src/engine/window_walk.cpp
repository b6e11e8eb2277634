#include "engine/window_walk.h"

#include <algorithm>
#include <cmath>

namespace tavo::engine {

namespace {

// Slack for the rounding of a product of seconds and frequency: a place a
// millionth of a sample below a whole number is that number.
constexpr double PLACE_SLACK = 1e-6;

}  // namespace

long long window_sound_samples(const archive::Window& window, double frequency)
{
    if (!(frequency > 0) || !std::isfinite(frequency))
        return 0;
    const double n = std::ceil(static_cast<double>(window.seconds()) * frequency - PLACE_SLACK);
    return n > 0 ? static_cast<long long>(n) : 0;
}

WindowWalk::WindowWalk(const archive::Window& window, std::vector<archive::ArchiveFile> files,
                       bool fill, Zeltra::MessageSink& messages, WalkObserver* observer)
    : window_(window),
      files_(std::move(files)),
      fill_(fill),
      messages_(messages),
      observer_(observer)
{
}

WindowWalk::~WindowWalk() = default;

WindowWalk::Status WindowWalk::fail(int status, const std::string& text)
{
    failure_status_ = status;
    failure_ = text;
    return Status::FAILED;
}

void WindowWalk::note_silence(long long count)
{
    if (count > 0)
        silent_.push_back(dsp::SampleRun{static_cast<long>(placed_), static_cast<long>(count)});
}

// Opens the next file and readies the clock for its records. False at the
// end of the files, and when the file cannot be placed in time (failure_
// set) or the observer stops the walk (failure_status_ set to -1).
bool WindowWalk::open_next()
{
    if (next_file_ == files_.size())
        return false;
    const archive::ArchiveFile& file = files_[next_file_++];
    if (observer_)
        observer_->opening(file);
    reader_.reset(
        Zeltra::detect(file.path.c_str(), true, Zeltra::ZELTRA::FT_NEW, false, messages_));
    records_.push_back(archive::FileRecords());
    records_.back().path = file.path;
    source_listed_ = false;
    const std::string refusal = clock_.begin_file(*reader_, file.path);
    if (!refusal.empty()) {
        fail(1, refusal);
        return false;
    }
    if (sound_frequency_ == 0) {
        sound_frequency_ = reader_->get_frequency();
        station_ = reader_->get_station();
        if (fill_)
            window_samples_ = window_sound_samples(window_, sound_frequency_);
    }
    if (observer_ && !observer_->opened(*reader_)) {
        failure_status_ = -1;
        return false;
    }
    return true;
}

// Places the record now at the start of the reader's `current`. True when
// it gives the sound samples (`step` set).
bool WindowWalk::take_record(WindowStep& step)
{
    const std::int64_t stamp = clock_.stamp(*reader_);
    const double f = reader_->get_frequency();
    const std::size_t length = reader_->get_length();
    const double start = static_cast<double>(stamp);
    records_.back().add(window_, {start, start + clock_.record_seconds()});
    if (!have_last_ || f != run_frequency_ ||
        Zeltra::is_time_gap(static_cast<time_t>(stamp - last_stamp_), last_length_,
                            run_frequency_)) {
        run_start_ = start;
        run_frequency_ = f;
        run_samples_ = 0;
        run_anchored_ = false;
        run_place_ = static_cast<long long>(std::floor(
            (start - static_cast<double>(window_.from)) * sound_frequency_ + PLACE_SLACK));
    }
    have_last_ = true;
    last_stamp_ = stamp;
    last_length_ = length;
    const long long first = run_samples_;
    run_samples_ += static_cast<long long>(length);
    const archive::SampleRange r =
        archive::samples_in_window(run_start_, f, first, static_cast<long long>(length), window_);
    long long begin = r.begin - first;
    long long end = r.end - first;
    if (fill_ && begin < end) {
        long long place = run_place_ + r.begin;
        if (place < placed_) {  // the place is taken: the earlier samples stay
            begin += placed_ - place;
            place = placed_;
        }
        end = std::min(end, begin + (window_samples_ - place));
        if (begin < end) {
            step.silence = place - placed_;
            note_silence(step.silence);
            placed_ = place;
        }
    }
    if (begin >= end)
        return false;
    if (!fill_ && !run_anchored_)
        anchors_.push_back({placed_, run_start_ + static_cast<double>(first + begin) / f});
    run_anchored_ = true;
    if (data_ == 0)
        first_time_ = run_start_ + static_cast<double>(first + begin) / f;
    step.channels = reader_->current.data();
    step.begin = static_cast<std::size_t>(begin);
    step.end = static_cast<std::size_t>(end);
    placed_ += end - begin;
    data_ += end - begin;
    if (!source_listed_)
        sources_.push_back(files_[next_file_ - 1].path);
    source_listed_ = true;
    return true;
}

WindowWalk::Status WindowWalk::next(WindowStep& step)
{
    step = WindowStep();
    try {
        for (;;) {
            if (!reader_ && !open_next()) {
                if (failure_status_ < 0)
                    return Status::STOPPED;
                if (failure_status_ > 0)
                    return Status::FAILED;
                break;
            }
            if (reader_->getdata() == -1) {
                reader_.reset();
                continue;
            }
            if (take_record(step))
                return Status::RECORD;
        }
    } catch (const Zeltra::Error& e) {
        return fail(e.status(), e.message());
    }
    if (fill_ && placed_ < window_samples_) {
        step.silence = window_samples_ - placed_;
        note_silence(step.silence);
        placed_ = window_samples_;
    }
    return Status::END;
}

}  // namespace tavo::engine
