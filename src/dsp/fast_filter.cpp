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
// summed in any order, with or without fused multiply-adds, gives
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
// four million on interpolated data) the output is recomputed in the
// reference order from its window. Saturation thresholds are integers, so a truncated
// value decides saturation as well.
//
// The first 128 outputs of a stream see the initial history value, which
// need not be an integer; they are always computed in the reference order.

namespace {

constexpr int HISTORY = FILTER_TAPS - 1;  // inputs kept between blocks
constexpr int CENTRE = FILTER_TAPS / 2;   // tap 64
// Outputs per block: whole groups of every kernel (64, 12 and 16 outputs),
// and small enough for the block to stay in the first-level cache.
constexpr std::size_t BLOCK = 1536;
constexpr int FAST_TERMS = CENTRE / 2 + 1;  // 32 pair products and the centre
constexpr double MAX_INPUT = 32768.0;

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
    const double bound =
        MAX_INPUT * (gamma(FILTER_TAPS) * all + gamma(FAST_TERMS) * kept + dropped);
    return 2.0 * bound;
}

// Half-width of the interval around a fast sum that holds the reference sum.
double fast_bound()
{
    static const double bound = compute_fast_bound();
    return bound;
}

// Lanes of doubles and of the int32 they are rounded to.
typedef double V2D __attribute__((vector_size(16)));
typedef double V4D __attribute__((vector_size(32)));
typedef double V8D __attribute__((vector_size(64)));
typedef int32_t V2I __attribute__((vector_size(8)));
typedef int32_t V4I __attribute__((vector_size(16)));
typedef int32_t V8I __attribute__((vector_size(32)));

// The working buffers of one block, all sized by the stream: `d` holds
// HISTORY earlier inputs followed by BLOCK new ones; `lo` and `hi` receive,
// per output, the rounded value at either end of the interval around the
// fast sum.
struct Block {
    double* d;
    int32_t* lo;
    int32_t* hi;
};

// acc += h * s, fused where the instruction set has it (one rounding instead
// of two; the error bound holds either way).
inline void madd(V2D& acc, double h, const V2D& s)
{
    acc += h * s;
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2,fma"))) inline void madd(V4D& acc, double h, const V4D& s)
{
    acc = __builtin_ia32_vfmaddpd256(s, V4D{h, h, h, h}, acc);
}

__attribute__((target("avx512f"))) inline void madd(V8D& acc, double h, const V8D& s)
{
    acc = __builtin_ia32_vfmaddpd512_mask(s, V8D{h, h, h, h, h, h, h, h}, acc, -1, 4);
}
#endif

// acc = centre tap times the inputs at x.
template <typename V>
inline void centre(V& acc, const double* x)
{
    std::memcpy(&acc, x, sizeof acc);
    acc *= H[CENTRE];
}

// acc += h times the sum of the inputs at x and y, which meet equal taps.
template <typename V>
inline void tap_pair(V& acc, double h, const double* x, const double* y)
{
    V a, b;
    std::memcpy(&a, x, sizeof a);
    std::memcpy(&b, y, sizeof b);
    madd(acc, h, a + b);
}

// Stores trunc((f - bound) + 0.5) to lo and trunc((f + bound) + 0.5) to hi.
// The clamp keeps the conversions in range whatever the sum (only a
// non-integer initial history can make it huge or NaN, and those outputs
// are recomputed anyway).
template <typename V, typename I>
inline void round_ends(const V& sum, double bound, int32_t* lo, int32_t* hi)
{
    V f = sum > 1e6 ? 1e6 : sum;
    f = f >= -1e6 ? f : -1e6;
    const V below = (f - bound) + 0.5;
    const V above = (f + bound) + 0.5;
    const I l = __builtin_convertvector(below, I);
    const I h = __builtin_convertvector(above, I);
    std::memcpy(lo, &l, sizeof l);
    std::memcpy(hi, &h, sizeof h);
}

// The pair sums of a group: A accumulators of W outputs, accumulator a for
// the outputs whose windows have their centres at c + a W. Output j's
// window has its centre at c = d[j + 65] and meets tap 64 - t at the pair
// c[+t], c[-t] for odd t; the centre product is already in acc. The taps
// are read through `taps`, which the caller hides from the optimiser so that
// it loads each where it is used instead of holding all 32 in registers.

// Directly: every pair loads its two vectors. Fits few vector registers.
template <typename V, int A>
inline void pairs_direct(V (&acc)[A], const double* c, const double* taps)
{
    constexpr int W = sizeof(V) / sizeof(double);
    for (int t = CENTRE - 1; t > 0; t -= 2) {
        const double h = taps[CENTRE - t];
#pragma GCC unroll 16
        for (int a = 0; a < A; a++)
            tap_pair(acc[a], h, c + a * W + t, c + a * W - t);
    }
}

// Keeps loaded vectors in registers: the optimiser could otherwise load
// them again from memory, which it knows unchanged, for every use.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2,fma"))) inline void keep_in_register(V4D& v)
{
    __asm__("" : "+x"(v));
}

__attribute__((target("avx512f"))) inline void keep_in_register(V8D& v)
{
    __asm__("" : "+v"(v));
}
#endif

// Sliding: accumulator a's pair t reads the vectors at c + a W + t and
// c + a W - t, and
//     (c + a W) + (t + W) == (c + (a + 1) W) + t,
//     (c + a W) - (t + W) == (c + (a - 1) W) - t:
// when t steps by W, each accumulator takes the vectors its neighbour had
// in the step before. So the pairs run in W / 2 phases (t = r, r + W, ...
// for odd r < W), and each step of a phase loads just two new vectors for
// the A pairs it adds: the multiply-adders, not the loads, set the pace.
// With CHAINS == 2, the odd steps add into a second set of accumulators,
// added in at the end: each multiply-add then waits for the one two steps
// back, which lets few accumulators (where few registers fit) keep the
// multiply-adders busy. Needs 2 A + CHAINS A vector registers and more.
template <typename V, int A, int CHAINS>
inline void pairs_sliding(V (&acc)[A], const double* c, const double* taps)
{
    static_assert(CHAINS == 1 || CHAINS == 2, "one or two chains");
    V odd[A] = {};
    constexpr int W = sizeof(V) / sizeof(double);
    constexpr int STEPS = CENTRE / W;  // pairs per phase and accumulator
#pragma GCC unroll 1
    for (int r = 1; r < W; r += 2) {
        // up[k] holds the vector at c + r + k W and down[k] the one at
        // c - r - (k - A + 1) W; step m pairs up[a + m] with
        // down[m - a + A - 1], and is the first to need index m + A - 1.
        V up[A + STEPS], down[A + STEPS];
#pragma GCC unroll 32
        for (int m = 0; m < STEPS; m++) {
#pragma GCC unroll 16
            for (int k = m == 0 ? 0 : m + A - 1; k < m + A; k++) {
                std::memcpy(&up[k], c + r + k * W, sizeof(V));
                std::memcpy(&down[k], c - r - (k - A + 1) * W, sizeof(V));
                keep_in_register(up[k]);
                keep_in_register(down[k]);
            }
            const double h = taps[CENTRE - r - m * W];
#pragma GCC unroll 16
            for (int a = 0; a < A; a++)
                madd(CHAINS == 2 && m % 2 ? odd[a] : acc[a], h, up[a + m] + down[m - a + A - 1]);
        }
    }
    if constexpr (CHAINS == 2) {
#pragma GCC unroll 16
        for (int a = 0; a < A; a++)
            acc[a] += odd[a];
    }
}

// Per output j of a block: the fast sum for the window starting at d[j],
// then both ends of F -/+ bound, plus 0.5, truncated toward zero. The sums
// run in another order than the reference's, which the error bound allows.
// n is rounded up to whole groups of A W outputs, which stay inside the
// buffers: the farthest reads are d[j + 2] and d[j + A W + 127]. CHAINS
// == 0 takes the pairs directly, 1 or 2 slides them. I has W int32 lanes.
template <typename V, typename I, int A, int CHAINS>
inline void fast_sums(const Block& b, std::size_t n, double bound)
{
    constexpr int W = sizeof(V) / sizeof(double);
    static_assert(BLOCK % (A * W) == 0, "block must hold whole groups");
    for (std::size_t j = 0; j < n; j += A * W) {
        const double* c = b.d + j + CENTRE + 1;
        const double* taps = H;
        if (CHAINS > 0)
            __asm__("" : "+r"(taps));
        V acc[A];
#pragma GCC unroll 16
        for (int a = 0; a < A; a++)
            centre(acc[a], c + a * W);
        if constexpr (CHAINS > 0)
            pairs_sliding<V, A, CHAINS>(acc, c, taps);
        else
            pairs_direct(acc, c, taps);
#pragma GCC unroll 16
        for (int a = 0; a < A; a++)
            round_ends<V, I>(acc[a], bound, b.lo + j + a * W, b.hi + j + a * W);
    }
}

// One block: converts the n inputs into the window, computes the fast
// outputs, writes them saturated and returns how many were clipped. Sets
// `undecided` when some fast output lay too close to a boundary.
template <typename V, typename I, int A, int CHAINS>
inline long fast_block(const int16_t* in, int16_t* out, std::size_t n, const Block& b,
                       bool& undecided)
{
    for (std::size_t i = 0; i < n; i++)
        b.d[HISTORY + i] = in[i];
    fast_sums<V, I, A, CHAINS>(b, n, fast_bound());
    long clipped = 0;
    int32_t differ = 0;
    for (std::size_t j = 0; j < n; j++) {
        const int32_t v = b.lo[j];
        const int32_t s = v > 32767 ? 32767 : v < -32768 ? -32768 : v;
        out[j] = static_cast<int16_t>(s);
        clipped += s != v;
        differ |= v ^ b.hi[j];
    }
    undecided = differ != 0;
    return clipped;
}

// Each instruction set gets its own copy of the block code, everything
// inlined. Predictive commoning is off: it would carry loads from one tap
// to the next in registers (the accumulators' windows overlap) and spill
// the accumulators instead.
#define TAVO_BLOCK_ATTRS flatten, optimize("no-predictive-commoning")

#if defined(__x86_64__) || defined(__i386__)
#define TAVO_X86 1
__attribute__((target("avx512f"), TAVO_BLOCK_ATTRS)) long fast_block_avx512(
    const int16_t* in, int16_t* out, std::size_t n, const Block& b, bool& undecided)
{
    return fast_block<V8D, V8I, 8, 1>(in, out, n, b, undecided);
}

__attribute__((target("avx2,fma"), TAVO_BLOCK_ATTRS)) long fast_block_avx2(
    const int16_t* in, int16_t* out, std::size_t n, const Block& b, bool& undecided)
{
    return fast_block<V4D, V4I, 3, 2>(in, out, n, b, undecided);
}
#endif

__attribute__((TAVO_BLOCK_ATTRS)) long fast_block_generic(const int16_t* in, int16_t* out,
                                                          std::size_t n, const Block& b,
                                                          bool& undecided)
{
    return fast_block<V2D, V2I, 8, 0>(in, out, n, b, undecided);
}

long run_fast_block(FilterKernel kernel, const int16_t* in, int16_t* out, std::size_t n,
                    const Block& b, bool& undecided)
{
#ifdef TAVO_X86
    if (kernel == FilterKernel::AVX512)
        return fast_block_avx512(in, out, n, b, undecided);
    if (kernel == FilterKernel::AVX2)
        return fast_block_avx2(in, out, n, b, undecided);
#else
    (void)kernel;
#endif
    return fast_block_generic(in, out, n, b, undecided);
}

// trunc(value) as a 16-bit sample, saturated; counts saturated outputs.
// Any double is accepted: huge values come only from the history's initial
// value, and a NaN is written as 0.
int16_t saturate(double truncated, long& clipped)
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
int16_t round_reference(double sum, long& clipped)
{
    const double t = sum + 0.5;
    // Truncation toward zero without leaving the range of long.
    if (t > 65536.0 || t < -65536.0 || t != t)
        return saturate(t, clipped);
    return saturate(static_cast<double>(static_cast<long>(t)), clipped);
}

}  // namespace

const char* filter_kernel_name(FilterKernel kernel)
{
    switch (kernel) {
        case FilterKernel::AVX2:
            return "AVX2";
        case FilterKernel::AVX512:
            return "AVX512";
        case FilterKernel::GENERIC:
            break;
    }
    return "Generic";
}

bool filter_kernel_supported(FilterKernel kernel)
{
#ifdef TAVO_X86
    __builtin_cpu_init();  // in case this runs before static constructors
#endif
    switch (kernel) {
        case FilterKernel::GENERIC:
            return true;
#ifdef TAVO_X86
        case FilterKernel::AVX2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
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

double filter_window(const double* window)
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
      lo_(BLOCK, 0),
      hi_(BLOCK, 0),
      warmup_(HISTORY)
{
}

long FilterStream::process(const int16_t* in, int16_t* out, std::size_t n)
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

void FilterStream::process_block(const int16_t* in, int16_t* out, std::size_t n, long& clipped)
{
    const Block b{window_.data(), lo_.data(), hi_.data()};
    bool undecided = false;
    clipped += run_fast_block(kernel_, in, out, n, b, undecided);
    if (undecided || warmup_ > 0) {
        for (std::size_t j = 0; j < n; j++) {
            const bool warm = warmup_ > 0;
            if (!warm && b.lo[j] == b.hi[j])
                continue;
            if (warm)
                --warmup_;
            else
                ++recomputed_;
            // Undo the fast output's count before rounding the exact sum.
            clipped -= b.lo[j] > 32767 || b.lo[j] < -32768;
            out[j] = round_reference(filter_window(b.d + j), clipped);
        }
    }
    std::memmove(b.d, b.d + n, HISTORY * sizeof(double));
}
