// Fast, bit-identical form of the interpolation filter for whole channels.
//
// A FilterStream gives, for every int16 input sample, exactly what the
// process-wide filter gives when a channel is filtered one sample at a time:
//     Initialize(initial);  out[j] = saturate(trunc(Filter(in[j]) + 0.5))
// where saturate maps a truncated value above 32767 to 32767 and one below
// -32768 to -32768 and counts each such sample as clipped. Each stream keeps
// its own history, so channels may be filtered on separate threads.
#ifndef TAVO2WAV_FAST_FILTER_H
#define TAVO2WAV_FAST_FILTER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "filter.h"

// Instruction sets the kernel is built for, from the most portable up.
enum class FilterKernel { GENERIC = 0, AVX2 = 1, AVX512 = 2 };

// Returns true when the running processor can execute the given kernel.
// GENERIC always can. Prints nothing.
bool filter_kernel_supported(FilterKernel kernel);

// Returns the kernel's name as benchmarks and tests print it: "Generic",
// "AVX2" or "AVX512".
const char* filter_kernel_name(FilterKernel kernel);

// Returns the fastest kernel the running processor supports.
FilterKernel best_filter_kernel();

// Returns the filter output, bit for bit as Filter() computes it, for the
// 129 inputs window[0] (oldest) to window[128] (newest). Reads exactly
// FILTER_TAPS values; touches no shared state.
double filter_window(const double* window);

class FilterStream {
public:
    // A stream whose history holds `initial` in every slot, as after
    // Initialize(initial). An unsupported `kernel` falls back to the best
    // supported one. Allocates its working buffers here, once.
    explicit FilterStream(double initial = 0.0, FilterKernel kernel = best_filter_kernel());

    // Filters the next n samples of the channel: in[0] follows the last
    // sample of the previous call. Writes n outputs to out, which may be the
    // same array as in (in-place) but must not overlap it otherwise.
    // Returns the number of those n outputs that were saturated; an output
    // that is not a number (only possible from a non-finite `initial`) is
    // written as 0 and counted as saturated too. Never fails, prints nothing.
    long process(const int16_t* in, int16_t* out, std::size_t n);

    // Number of outputs so far whose fast sum lay too close to a rounding
    // boundary and that were therefore recomputed in the reference order.
    long recomputed() const { return recomputed_; }

    // The kernel this stream runs.
    FilterKernel kernel() const { return kernel_; }

private:
    void process_block(const int16_t* in, int16_t* out, std::size_t n, long& clipped);

    FilterKernel kernel_;
    std::vector<double> window_;  // history of FILTER_TAPS - 1 inputs, then one block
    std::vector<int32_t> lo_;     // per output of a block: rounded fast sum
    std::vector<int32_t> hi_;     // minus and plus the error bound
    long warmup_;                 // outputs left whose window still holds `initial`
    long recomputed_ = 0;
};

#endif
