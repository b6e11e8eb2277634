// One-line progress indicator for long stages, drawn on a terminal only.
//
//   ProgressBar bar("reading", total_samples);
//   for (...) { ...; bar.update(done); }
//   bar.finish();
//
// While the stage runs the indicator shows "label  NN%  X samples/s" (or
// "label  N samples  X samples/s" when the total is not known) at the
// cursor, and puts the cursor back where it was after each drawing, so a
// partial progress line that standard output has already written stays in
// place.  finish() erases the indicator from the cursor to the end of the
// line.  When the stream is not a terminal the object writes nothing at all,
// ever.
#ifndef TAVO_CLI_PROGRESS_H
#define TAVO_CLI_PROGRESS_H

namespace tavo::cli {

class ProgressBar {
public:
    /// Clock in seconds; any fixed origin.
    using Clock = double (*)();

    /// Indicator on standard error (fd 2), active when it is a terminal.
    ProgressBar(const char* label, unsigned long long total);
    /// Indicator on fd, active when fd is a terminal, reading the time from
    /// clock (a monotonic clock when null).  The label is copied (at most 31
    /// characters kept).
    ProgressBar(const char* label, unsigned long long total, int fd, Clock clock);
    /// Erases the indicator (finish()).
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    /// Reports that done samples of the stage are finished.  Cheap: looks at
    /// the clock only after enough progress since the last look, and redraws
    /// at most ten times a second; the first drawing comes a tenth of a
    /// second into the stage, so short stages draw nothing.
    void update(unsigned long long done)
    {
        if (active_ && done >= next_look_)
            look(done);
    }
    /// Erases the indicator if it was drawn and stops drawing.  Idempotent.
    void finish();
    /// True when the indicator draws (the stream is a terminal and finish()
    /// has not been called).
    bool active() const { return active_; }
    /// Number of drawings made so far.
    unsigned long draws() const { return draws_; }

private:
    void look(unsigned long long done);
    void draw(unsigned long long done, double now);

    char label_[32];
    unsigned long long total_;
    int fd_;
    Clock clock_;
    bool active_;
    bool drawn_ = false;
    unsigned long draws_ = 0;
    double start_;
    double last_draw_;
    unsigned long long next_look_ = 0;
    unsigned long long step_;
};

}  // namespace tavo::cli

#endif  // TAVO_CLI_PROGRESS_H
