#include "engine/station_clock.h"

#include "archive/archive.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace tavo::engine {

namespace {

// Midnight UTC of a header date token ("2014-03-15", also with '/' or '.',
// or 20140315); 0 when there is none.
time_t midnight_of_header(const char* token)
{
    std::int64_t midnight = 0;
    return archive::parse_header_date(token, midnight) ? static_cast<time_t>(midnight) : 0;
}

// Longest silence asked for; anything longer overflows the buffers anyway.
constexpr double MOST_FILL = 1e12;

bool has_clock(double frequency)
{
    return frequency > 0 && std::isfinite(frequency);
}

}  // namespace

void StationClock::begin_file(const Zeltra::ZELTRA& z, const std::string& name)
{
    if (!started_) {
        started_ = true;
        station_ = z.get_station();
        frequency_ = z.get_frequency();
    }
    file_ = name;
    record_ = 0;
    date_offset_ = 0;
    if (z.is_newfile() && !z.is_unixtime() && z.get_start_of_day() == 0)
        date_offset_ = midnight_of_header(z.get_date_from_comment());
    file_listed_ = false;
    if (fill_ && !z.is_newfile())
        say_.text(Message::WARNING,
                  "Warning: " + name + " has no time stamps; its gaps cannot be filled\n");
}

StationClock::Step StationClock::measure(const Zeltra::ZELTRA& z) const
{
    Step s;
    s.length = z.get_length();
    s.frequency = z.get_frequency();
    s.stamped = z.is_newfile();
    if (!s.stamped)
        return s;
    s.raw = z.get_tavotime(0) + date_offset_;
    s.time = static_cast<double>(s.raw);
    if (!have_last_ || !last_stamped_)
        return s;
    // Station time runs on by the step the gap rule measures, so it stays
    // continuous across midnight.
    const time_t step = Zeltra::stamp_step(last_raw_, s.raw);
    s.time = last_time_ + static_cast<double>(step);
    s.gap = Zeltra::is_time_gap(step, last_length_, last_frequency_);
    if (!s.gap)
        return s;
    const double duration = static_cast<double>(last_length_) / last_frequency_;
    s.missing = static_cast<double>(step) - duration;
    if (fill_ && step > 0 && has_clock(last_frequency_))
        s.fill = std::lround(std::fmin(s.missing * last_frequency_, MOST_FILL));
    return s;
}

void StationClock::place(const Step& step, long at)
{
    ++record_;
    if (!file_listed_) {
        files_.push_back(file_);
        file_listed_ = true;
    }
    if (step.gap && step.missing < 0 && !warned_back_) {
        warned_back_ = true;
        char line[96];
        std::snprintf(line, sizeof line, "Warning: time goes back %.0f s before record %lu of ",
                      last_time_ - step.time, record_);
        say_.text(Message::WARNING, line + file_ + "; joined\n");
    }
    if (step.gap)
        gaps_.push_back(ClockGap{at, step.fill, step.missing});
    if (step.fill > 0) {
        filled_.push_back(SampleRun{at, step.fill});
        const double end = last_time_ + static_cast<double>(last_length_) / last_frequency_;
        anchors_.push_back(ClockAnchor{at, true, end, last_frequency_});
    }
    anchors_.push_back(ClockAnchor{at + step.fill, step.stamped, step.time, step.frequency});
    have_last_ = true;
    last_stamped_ = step.stamped;
    last_raw_ = step.raw;
    last_time_ = step.time;
    last_length_ = step.length;
    last_frequency_ = step.frequency;
}

}  // namespace tavo::engine
