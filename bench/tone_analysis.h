// Measures how cleanly a signal carries one tone: the tone's level, and the
// strongest other component of its spectrum. Shared by the quality tests and
// the quality benchmark.
//
// The signal is analysed over the largest power-of-two span (at most
// SPECTRUM_MAX_SPAN samples) centred in it, so that the transients at its
// two ends stay out, through a 7-term Blackman-Harris window: its side lobes
// lie about 180 dB below its main lobe, which is 14 bins wide, so components
// down to some -170 dB show through the tone's leakage.
#ifndef TAVO_BENCH_TONE_ANALYSIS_H
#define TAVO_BENCH_TONE_ANALYSIS_H

#include <cstddef>

constexpr std::size_t SPECTRUM_MAX_SPAN = std::size_t{1} << 20;

struct ToneLevels {
    double gain_db = 0;      // tone amplitude relative to the amplitude expected, dB
    double spurious_db = 0;  // strongest component outside the tone's main lobe,
                             // relative to the tone, dB
    double spurious_at = 0;  // its frequency, cycles per sample
};

// x holds `length` samples (at least 1024) of a tone of `frequency` cycles
// per sample (well inside (0, 0.5), at least 16 bins from 0 and 0.5 over the
// span analysed) whose amplitude should be `amplitude`. The tone's level is
// the windowed Fourier sum at exactly `frequency`, so it suffers no
// scalloping; the other components are read from the FFT's bins. Prints
// nothing; returns all zeros for a signal too short.
ToneLevels measure_tone(const double* x, std::size_t length, double frequency, double amplitude);

#endif
