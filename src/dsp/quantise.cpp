#include "dsp/quantise.h"
#include "dsp/vector_clones.h"

namespace tavo::dsp {

namespace {

// round_saturate without branches, so that the loops below run on whole
// vectors: the rounded value where x lies within the range, the limit (0 for
// NaN) where it does not. `outside` is 1 for the latter, 0 otherwise.
inline double round_or_limit(double x, double lo, double hi, int* outside)
{
    constexpr double SHIFT = 6755399441055744.0;  // 1.5 x 2^52
    const double rounded = (x + SHIFT) - SHIFT;
    const bool inside = (x >= lo - 0.5) & (x < hi + 0.5);
    const double below = x < 0 ? lo : 0.0;
    const double limit = x > 0 ? hi : below;
    *outside = !inside;
    return inside ? rounded : limit;
}

}  // namespace

// Rounded to whole counts as 32-bit values first, block by block, and then
// narrowed, so that both loops run on whole vectors.
TAVO_VECTOR_CLONES long quantise_s16(const double* in, int16_t* out, std::size_t n)
{
    constexpr std::size_t BLOCK = 1024;
    int32_t wide[BLOCK];
    long clipped = 0;
    for (std::size_t at = 0; at < n; at += BLOCK) {
        const std::size_t m = n - at < BLOCK ? n - at : BLOCK;
        int outside = 0;
        for (std::size_t i = 0; i < m; i++) {
            int one;
            wide[i] = static_cast<int32_t>(round_or_limit(in[at + i], INT16_MIN, INT16_MAX, &one));
            outside += one;
        }
        for (std::size_t i = 0; i < m; i++)
            out[at + i] = static_cast<int16_t>(wide[i]);
        clipped += outside;
    }
    return clipped;
}

TAVO_VECTOR_CLONES long quantise_s24(const double* in, int32_t* out, std::size_t n)
{
    long clipped = 0;
    for (std::size_t i = 0; i < n; i++) {
        int outside;
        out[i] = static_cast<int32_t>(round_or_limit(in[i] * 256.0, S24_MIN, S24_MAX, &outside));
        clipped += outside;
    }
    return clipped;
}

TAVO_VECTOR_CLONES void to_f32(const double* in, float* out, std::size_t n)
{
    for (std::size_t i = 0; i < n; i++)
        out[i] = static_cast<float>(in[i] / 32768.0);
}

}  // namespace tavo::dsp
