#include "fast_filter.h"

#include <algorithm>
#include <cstring>

// How the fast form stays bit-identical to Filter()
// -------------------------------------------------
// Filter() sums 129 products in tap order. Here every output of a block is
// first computed the fast way, several outputs at once in vector registers:
//   - the taps are symmetric (H[k] == H[128 - k] exactly), and the inputs are
//     integers, so each pair of inputs meeting equal taps is added first,
//     exactly (|x_a + x_b| <= 65536 is exact in a double);
//   - the 64 taps at an even distance from the centre (all below 7e-14,
//     H[0] and H[128] among them) are left out;
// which leaves 32 pair products, the centre product and 32 additions.
//
// Let R be the reference sum, E the exact sum of the 129 products H[i] * x_i
// with the stored coefficients, E' the exact sum of the kept products and F
// the fast sum. With M = 32768 >= |x_i|, u = 2^-53 and
// gamma_n = n u / (1 - n u), the standard bound for a dot product of n terms
// summed in any order gives
//   |R - E|  <= gamma_129 * M * S_all     (129 products, reference order)
//   |F - E'| <= gamma_33  * M * S_kept    (33 products of exact pair sums;
//                                          |H_k (x_a + x_b)| <= 2 M |H_k|)
//   |E - E'| <= M * S_dropped
// where S_all, S_kept and S_dropped are the sums of |H_i| over all, the kept
// and the dropped taps. So |F - R| <= B, the sum of the three; B is about
// 6.2e-8, almost all of it the dropped taps.
//
// The output trunc(fl(R + 0.5)) is a non-decreasing function of R (rounding
// and truncation both are), saturation too. Using 2 B (the factor 2 covers
// the rounding of B itself and of F -/+ 2 B, whose ulp is below 3e-11 since
// |F| < 2^17), lo = F - 2 B <= R <= hi = F + 2 B, so when lo and hi give the
// same truncated value, that is the output. Otherwise (about one output in
// four million on smooth data) the output is recomputed in the reference
// order from its window. Saturation thresholds are integers, so a truncated
// value decides saturation as well.
//
// The first 128 outputs of a stream see the initial history value, which
// need not be an integer; they are always computed in the reference order.

namespace {

constexpr int HISTORY = FILTER_TAPS - 1;  // inputs kept between blocks
constexpr int CENTRE = FILTER_TAPS / 2;   // tap 64
constexpr std::size_t BLOCK = 2048;       // outputs per block
constexpr int FAST_TERMS = CENTRE / 2 + 1;  // 32 pair products and the centre
constexpr double MAX_INPUT = 32768.0;

// The kernels compute whole groups of up to 32 outputs; with BLOCK a
// multiple of every group, a block's last group ends inside the buffers.
static_assert(BLOCK % 32 == 0, "block must hold whole groups");

double gamma(int n)
{
    const double u = 0x1p-53;
    return n * u / (1.0 - n * u);
}

double compute_fast_bound()
{
    double all = 0.0, kept = 0.0, dropped = 0.0;
    for (int i = 0; i < FILTER_TAPS; i++) {
        const double a = H[i] < 0 ? -H[i] : H[i];
        all += a;
        if ((i - CENTRE) % 2 != 0 || i == CENTRE)
            kept += a;
        else
            dropped += a;
    }
    const double bound = MAX_INPUT * (gamma(FILTER_TAPS) * all
                                      + gamma(FAST_TERMS) * kept
                                      + dropped);
    return 2.0 * bound;
}

// Half-width of the interval around a fast sum that holds the reference sum.
double fast_bound()
{
    static const double bound = compute_fast_bound();
    return bound;
}

// Fast sums f[j] for the windows starting at d[j], j < n rounded up to a
// whole group of W * U outputs: U independent accumulators of W lanes keep
// the adders busy. Tap k (k >= 1) meets d[j + 129 - k], tap 0 meets d[j].
template <int W, int U>
inline __attribute__((always_inline)) void fast_sums(const double *d,
                                                      double *f,
                                                      std::size_t n)
{
    typedef double V __attribute__((vector_size(W * sizeof(double))));
    constexpr std::size_t G = W * U;
    for (std::size_t j = 0; j < n; j += G) {
        V acc[U];
        for (int u = 0; u < U; u++) {
            std::memcpy(&acc[u], d + j + u * W + CENTRE + 1, sizeof(V));
            acc[u] *= H[CENTRE];
        }
        for (int k = 1; k < CENTRE; k += 2) {
            const double h = H[k];
            for (int u = 0; u < U; u++) {
                V a, b;
                std::memcpy(&a, d + j + u * W + FILTER_TAPS - k, sizeof(V));
                std::memcpy(&b, d + j + u * W + 1 + k, sizeof(V));
                acc[u] += h * (a + b);
            }
        }
        for (int u = 0; u < U; u++)
            std::memcpy(f + j + u * W, &acc[u], sizeof(V));
    }
}

#if defined(__x86_64__) || defined(__i386__)
#define TAVO_X86 1
__attribute__((target("avx512f"))) void fast_sums_avx512(const double *d,
                                                          double *f,
                                                          std::size_t n)
{
    fast_sums<8, 4>(d, f, n);
}

__attribute__((target("avx2"))) void fast_sums_avx2(const double *d,
                                                     double *f,
                                                     std::size_t n)
{
    fast_sums<4, 4>(d, f, n);
}
#endif

void fast_sums_generic(const double *d, double *f, std::size_t n)
{
    fast_sums<2, 4>(d, f, n);
}

void run_fast_sums(FilterKernel kernel, const double *d, double *f,
                   std::size_t n)
{
#ifdef TAVO_X86
    if (kernel == FilterKernel::AVX512)
        return fast_sums_avx512(d, f, n);
    if (kernel == FilterKernel::AVX2)
        return fast_sums_avx2(d, f, n);
#else
    (void)kernel;
#endif
    fast_sums_generic(d, f, n);
}

// trunc(value) as a 16-bit sample, saturated; counts saturated outputs.
// Any double is accepted: huge values come only from the history's initial
// value, and a NaN is written as 0.
int16_t saturate(double truncated, long &clipped)
{
    if (truncated > 32767.0) {
        ++clipped;
        return 32767;
    }
    if (truncated < -32768.0) {
        ++clipped;
        return -32768;
    }
    if (truncated != truncated) {
        ++clipped;
        return 0;
    }
    return static_cast<int16_t>(truncated);
}

// The reference rounding of one output: plus 0.5, truncated toward zero.
int16_t round_reference(double sum, long &clipped)
{
    const double t = sum + 0.5;
    // Truncation toward zero without leaving the range of long.
    if (t > 65536.0 || t < -65536.0 || t != t)
        return saturate(t, clipped);
    return saturate(static_cast<double>(static_cast<long>(t)), clipped);
}

}  // namespace

bool filter_kernel_supported(FilterKernel kernel)
{
    switch (kernel) {
    case FilterKernel::GENERIC:
        return true;
#ifdef TAVO_X86
    case FilterKernel::AVX2:
        return __builtin_cpu_supports("avx2");
    case FilterKernel::AVX512:
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

FilterKernel best_filter_kernel()
{
    if (filter_kernel_supported(FilterKernel::AVX512))
        return FilterKernel::AVX512;
    if (filter_kernel_supported(FilterKernel::AVX2))
        return FilterKernel::AVX2;
    return FilterKernel::GENERIC;
}

double filter_window(const double *window)
{
    // Same operations in the same order as Filter(): tap 0 meets the oldest
    // input, tap k >= 1 the input k - 1 steps before the newest.
    double sum = 0.0;
    sum += H[0] * window[0];
    for (int i = 1; i < FILTER_TAPS; i++)
        sum += H[i] * window[FILTER_TAPS - i];
    return sum;
}

FilterStream::FilterStream(double initial, FilterKernel kernel)
    : kernel_(filter_kernel_supported(kernel) ? kernel : best_filter_kernel()),
      window_(HISTORY + BLOCK, initial),
      fast_(BLOCK, 0.0),
      warmup_(HISTORY)
{
}

long FilterStream::process(const int16_t *in, int16_t *out, std::size_t n)
{
    long clipped = 0;
    while (n > 0) {
        const std::size_t m = std::min(n, BLOCK);
        process_block(in, out, m, clipped);
        in += m;
        out += m;
        n -= m;
    }
    return clipped;
}

void FilterStream::process_block(const int16_t *in, int16_t *out,
                                 std::size_t n, long &clipped)
{
    double *d = window_.data();
    for (std::size_t i = 0; i < n; i++)
        d[HISTORY + i] = in[i];
    run_fast_sums(kernel_, d, fast_.data(), n);

    const double bound = fast_bound();
    for (std::size_t j = 0; j < n; j++) {
        if (warmup_ > 0) {
            --warmup_;
            out[j] = round_reference(filter_window(d + j), clipped);
            continue;
        }
        // |fast sum| < 2^17 here, so the conversions to long are exact
        // truncations toward zero.
        const long lo = static_cast<long>((fast_[j] - bound) + 0.5);
        const long hi = static_cast<long>((fast_[j] + bound) + 0.5);
        if (lo == hi) {
            out[j] = saturate(static_cast<double>(lo), clipped);
        } else {
            ++recomputed_;
            out[j] = round_reference(filter_window(d + j), clipped);
        }
    }
    std::memmove(d, d + n, HISTORY * sizeof(double));
}
