// Throughput of the interpolation filter: the per-sample reference loop
// (Initialize, then Filter() rounded and saturated sample by sample) against
// FilterStream::process over the same channel, in samples per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "dsp/fast_filter.h"
#include "dsp/filter.h"

namespace {

constexpr std::size_t SAMPLES = 1 << 20;

// What the filter sees in a conversion: a random walk at the data rate
// (bounded to the 16-bit range), linearly interpolated by 50 and truncated.
const std::vector<int16_t>& channel()
{
    static const std::vector<int16_t> samples = [] {
        std::mt19937 rng(2024);
        std::normal_distribution<double> step(0.0, 3000.0);
        std::vector<int16_t> out;
        out.reserve(SAMPLES + 50);
        double a = 0.0;
        while (out.size() < SAMPLES) {
            const double b = std::clamp(a + step(rng), -32768.0, 32767.0);
            const int ia = static_cast<int>(a), ib = static_cast<int>(b);
            for (int j = 0; j < 50; j++)
                out.push_back(static_cast<int16_t>(ia + (ib - ia) * (j / 50.0)));
            a = b;
        }
        out.resize(SAMPLES);
        return out;
    }();
    return samples;
}

void ReferenceLoop(benchmark::State& state)
{
    const std::vector<int16_t>& in = channel();
    std::vector<int16_t> out(in.size());
    for (auto _ : state) {
        Initialize(0.0);
        for (std::size_t j = 0; j < in.size(); j++) {
            const double t = Filter(in[j]) + 0.5;
            const long v = std::clamp(static_cast<long>(t), -32768L, 32767L);
            out[j] = static_cast<int16_t>(v);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * in.size());
}

void StreamProcess(benchmark::State& state, FilterKernel kernel)
{
    if (!filter_kernel_supported(kernel)) {
        state.SkipWithError("processor lacks this kernel");
        return;
    }
    const std::vector<int16_t>& in = channel();
    std::vector<int16_t> out(in.size());
    long recomputed = 0;
    for (auto _ : state) {
        FilterStream stream(0.0, kernel);
        benchmark::DoNotOptimize(stream.process(in.data(), out.data(), in.size()));
        benchmark::ClobberMemory();
        recomputed = stream.recomputed();
    }
    state.SetItemsProcessed(state.iterations() * in.size());
    state.counters["recomputed"] = static_cast<double>(recomputed);
}

BENCHMARK(ReferenceLoop)->Unit(benchmark::kMillisecond);

// One benchmark per kernel, named after it: "Kernel/Generic", "Kernel/AVX2",
// "Kernel/AVX512".
const bool kernels_registered = [] {
    for (const FilterKernel kernel :
         {FilterKernel::GENERIC, FilterKernel::AVX2, FilterKernel::AVX512}) {
        const std::string name = std::string("Kernel/") + filter_kernel_name(kernel);
        benchmark::RegisterBenchmark(name.c_str(), StreamProcess, kernel)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
