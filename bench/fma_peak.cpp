// The floor of the filter kernel's arithmetic: how many double-precision
// multiply-adds one core retires per second at best (independent fused
// multiply-adds in the widest vectors the processor has), and the clock
// (a chain of dependent integer additions, one per cycle). Prints both.
// Times are the thread's CPU time, so that time the (virtual) processor
// spends on other work does not count.
#include <time.h>

#include <cstdio>

namespace {

typedef double V4D __attribute__((vector_size(32)));
typedef double V8D __attribute__((vector_size(64)));

constexpr long ROUNDS = 100000000;
constexpr int CHAINS = 12;  // more than latency times throughput on any core

double cpu_seconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// acc = acc * h + x, one fused instruction.
__attribute__((target("avx2,fma"))) inline void madd(V4D& acc, const V4D& h, const V4D& x)
{
    acc = __builtin_ia32_vfmaddpd256(acc, h, x);
}

__attribute__((target("avx512f"))) inline void madd(V8D& acc, const V8D& h, const V8D& x)
{
    acc = __builtin_ia32_vfmaddpd512_mask(acc, h, x, -1, 4);
}

// Multiply-adds per second in vectors of type V.
template <typename V>
inline double rate()
{
    constexpr int W = sizeof(V) / sizeof(double);
    V acc[CHAINS], h, x;
    for (int i = 0; i < W; i++) {
        h[i] = 0.5;
        x[i] = 1.0;
    }
    for (int c = 0; c < CHAINS; c++)
        acc[c] = x * c;  // each chain converges to 2
    const double start = cpu_seconds();
    for (long r = 0; r < ROUNDS; r++) {
#pragma GCC unroll 16
        for (int c = 0; c < CHAINS; c++)
            madd(acc[c], h, x);
    }
    const double t = cpu_seconds() - start;
    V sum = acc[0];
    for (int c = 1; c < CHAINS; c++)
        sum += acc[c];
    if (sum[0] != 2.0 * CHAINS)
        std::printf("unexpected sum %g\n", sum[0]);
    return double(ROUNDS) * CHAINS * W / t;
}

__attribute__((target("avx512f"), flatten)) double rate_avx512()
{
    return rate<V8D>();
}

__attribute__((target("avx2,fma"), flatten)) double rate_avx2()
{
    return rate<V4D>();
}

// Cycles per second: four dependent additions per round.
double clock_rate()
{
    long x = 0;
    const double start = cpu_seconds();
    for (long r = 0; r < ROUNDS; r++)
        __asm__ volatile("add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0" : "+r"(x));
    return 4.0 * ROUNDS / (cpu_seconds() - start);
}

}  // namespace

int main()
{
    __builtin_cpu_init();
    const bool avx512 = __builtin_cpu_supports("avx512f");
    if (!avx512 && !(__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))) {
        std::fprintf(stderr, "fma_peak: the processor has neither AVX-512 nor AVX2 with FMA\n");
        return 1;
    }
    const double fmas = avx512 ? rate_avx512() : rate_avx2();
    const double hz = clock_rate();
    std::printf("peak multiply-adds %.1f G/s per core (%s), clock %.2f GHz, %.1f per cycle\n",
                fmas / 1e9, avx512 ? "AVX-512" : "AVX2", hz / 1e9, fmas / hz);
    return 0;
}
