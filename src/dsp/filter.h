// 129-tap half-band low-pass that smooths a channel after linear
// interpolation. One process-wide instance serves one channel at a time:
// call Initialize() before each channel, then Filter() once per sample in
// sample order.
#ifndef TAVO_DSP_FILTER_H
#define TAVO_DSP_FILTER_H

// Number of taps; the history holds as many inputs.
constexpr int FILTER_TAPS = 129;

// The coefficients, symmetric: H[i] == H[128 - i].
extern const double H[FILTER_TAPS];

// Fills the whole history with v (the value of every earlier input).
// Leaves the ring position unchanged.
void Initialize(double v);

// Takes the next input sample and returns the filtered output. Tap 0 meets
// the oldest of the 129 held inputs and tap k (k >= 1) the input k - 1 calls
// back, summed in tap order; the rounding of that order is part of the result.
double Filter(double x);

#endif
