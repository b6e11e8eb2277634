// The straightforward forms of the resampling and filter stages, over whole
// buffers: the reference the fused streams are checked against.
#ifndef TAVO_TEST_REFERENCE_H
#define TAVO_TEST_REFERENCE_H

#include <cstdint>

namespace tavo_test {

// Linear interpolation by u >= 1 into out (room for n * u samples): between
// a and b at phase j of u, a + (b - a) * (j / u) truncated toward zero. The
// last u samples, which follow the last input sample, repeat it.
void resample_channel(const int16_t* in, long n, int u, int16_t* out);

// The filter stage as the per-sample reference: Initialize(0.0), then each
// sample replaced by Filter(sample) + 0.5 truncated toward zero, saturated.
// Returns the clip count.
long filter_channel_reference(int16_t* x, long n);

}  // namespace tavo_test

#endif  // TAVO_TEST_REFERENCE_H
