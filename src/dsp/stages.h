// The sample stages of the conversion, each over one channel buffer of
// 16-bit samples. Every conversion back to 16 bits saturates; the stages
// that can leave the range return how many samples they clipped.
#ifndef TAVO_DSP_STAGES_H
#define TAVO_DSP_STAGES_H

#include <cstdint>
#include <vector>

namespace tavo::dsp {

// v clamped to the 16-bit range; ++*clipped when it had to be clamped.
inline int16_t saturate16(long long v, long* clipped)
{
    if (v > INT16_MAX) {
        ++*clipped;
        return INT16_MAX;
    }
    if (v < INT16_MIN) {
        ++*clipped;
        return INT16_MIN;
    }
    return static_cast<int16_t>(v);
}

// Subtracts the channel's mean (the double sum over n, divided by n,
// truncated toward zero). Does nothing for n == 0. Returns the clip count.
long remove_channel_offset(int16_t* x, long n);

// A run of samples [start, start + count) of a channel.
struct SampleRun {
    long start;
    long count;
};

// As remove_channel_offset, but the samples of the `silent` runs (sorted,
// disjoint, within n) take no part in the mean and are 0 afterwards.
// Does nothing but the zeroing when every sample is silent.
long remove_channel_offset_around(int16_t* x, long n, const std::vector<SampleRun>& silent);

// Largest absolute sample value (-32768 counts as 32768); 0 for n == 0.
int peak_abs(const int16_t* x, long n);

// Multiplies every sample by factor. Returns the clip count.
long scale_channel(int16_t* x, long n, int factor);

}  // namespace tavo::dsp

#endif  // TAVO_DSP_STAGES_H
