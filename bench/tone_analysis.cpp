#include "tone_analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include <fftw3.h>

namespace {

constexpr double PI = 3.14159265358979323846;

// Bins on each side of the tone left out of the search for other
// components: the window's main lobe is 7 bins wide on each side.
constexpr double TONE_LOBE_BINS = 8;

// 7-term Blackman-Harris window of n samples (periodic form).
std::vector<double> window(std::size_t n)
{
    static const double A[] = {0.27105140069342, 0.43329793923448, 0.21812299954311,
                               0.06592544638803, 0.01081174209837, 0.00077658482522,
                               0.00001388721735};
    std::vector<double> w(n);
    for (std::size_t i = 0; i < n; i++) {
        double v = 0, sign = 1;
        for (int k = 0; k < 7; k++, sign = -sign)
            v += sign * A[k] * std::cos(2 * PI * k * static_cast<double>(i) / n);
        w[i] = v;
    }
    return w;
}

struct PlanDeleter {
    void operator()(fftw_plan p) const { fftw_destroy_plan(p); }
};
struct FftwFree {
    void operator()(void* p) const { fftw_free(p); }
};

double db(double ratio)
{
    return 20 * std::log10(std::max(ratio, 1e-300));
}

}  // namespace

ToneLevels measure_tone(const double* x, std::size_t length, double frequency, double amplitude)
{
    std::size_t n = 1;
    while (n * 2 <= std::min(length, SPECTRUM_MAX_SPAN))
        n *= 2;
    if (n < 1024)
        return {};
    const double* seg = x + (length - n) / 2;
    const std::vector<double> w = window(n);
    double wsum = 0;
    std::complex<double> tone = 0;
    for (std::size_t i = 0; i < n; i++) {
        const double phase = 2 * PI * frequency * static_cast<double>(i);
        wsum += w[i];
        tone += w[i] * seg[i] * std::complex<double>(std::cos(phase), -std::sin(phase));
    }
    const double level = 2 * std::abs(tone) / wsum;

    std::unique_ptr<double, FftwFree> in(fftw_alloc_real(n));
    std::unique_ptr<fftw_complex, FftwFree> out(fftw_alloc_complex(n / 2 + 1));
    std::unique_ptr<fftw_plan_s, PlanDeleter> plan(
        fftw_plan_dft_r2c_1d(static_cast<int>(n), in.get(), out.get(), FFTW_ESTIMATE));
    for (std::size_t i = 0; i < n; i++)
        in.get()[i] = w[i] * seg[i];
    fftw_execute(plan.get());

    const double tone_bin = frequency * n;
    double strongest = 0;
    std::size_t at = 0;
    for (std::size_t k = 0; k <= n / 2; k++) {
        if (std::fabs(static_cast<double>(k) - tone_bin) <= TONE_LOBE_BINS)
            continue;
        const double a = 2 * std::hypot(out.get()[k][0], out.get()[k][1]) / wsum;
        if (a > strongest) {
            strongest = a;
            at = k;
        }
    }
    return {db(level / amplitude), db(strongest / level), static_cast<double>(at) / n};
}
