// tavoinfo --plot: the spectrogram's frequency axis.
#include "frequency_axis.h"

#include <algorithm>
#include <cmath>

namespace tavoinfo {

namespace {

// Bin position (0 .. top) at `rows` pixel rows above the lower edge of a
// panel `height` rows high.
double bin_position(int rows, int height, std::size_t top, FrequencyScale scale)
{
    const double t = static_cast<double>(top);
    return scale == FrequencyScale::Linear ? rows * t / height
                                           : std::pow(t, static_cast<double>(rows) / height);
}

std::vector<FrequencyTick> linear_ticks(double nyquist, double height, double spacing)
{
    double step = 0;
    for (double e = std::pow(10.0, std::floor(std::log10(nyquist)) - 2); step == 0; e *= 10)
        for (double m : {1.0, 2.0, 5.0})
            if (step == 0 && m * e / nyquist * height >= spacing)
                step = m * e;
    std::vector<FrequencyTick> ticks;
    for (double f = 0; f <= nyquist * (1 + 1e-9); f += step)
        ticks.push_back({f, true});
    return ticks;
}

std::vector<FrequencyTick> log_ticks(double nyquist, std::size_t top, double height, double spacing)
{
    const double lowest = nyquist / static_cast<double>(top);
    std::vector<FrequencyTick> ticks;
    for (int e = static_cast<int>(std::floor(std::log10(lowest)));
         e <= static_cast<int>(std::ceil(std::log10(nyquist))); ++e)
        for (double m : {1.0, 2.0, 5.0}) {
            const double f = m * std::pow(10.0, e);
            if (f >= lowest * (1 - 1e-9) && f <= nyquist * (1 + 1e-9))
                ticks.push_back({f, true});
        }
    const auto y = [&](double f) {
        return frequency_height(f, nyquist, top, FrequencyScale::Log) * height;
    };
    bool all_fit = true;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        all_fit = all_fit && y(ticks[i].hz) - y(ticks[i - 1].hz) >= spacing;
    if (all_fit)
        return ticks;
    double last = -INFINITY;
    for (FrequencyTick& t : ticks) {
        const bool decade = std::fabs(std::log10(t.hz) - std::round(std::log10(t.hz))) < 1e-9;
        t.labelled = decade && y(t.hz) - last >= spacing;
        if (t.labelled)
            last = y(t.hz);
    }
    return ticks;
}

}  // namespace

bool parse_frequency_scale(const std::string& text, FrequencyScale& scale)
{
    if (text != "linear" && text != "log")
        return false;
    scale = text == "log" ? FrequencyScale::Log : FrequencyScale::Linear;
    return true;
}

FrequencyScale default_frequency_scale(const std::vector<double>& power)
{
    const std::size_t top = power.empty() ? 0 : power.size() - 1;
    double low = 0, all = 0;
    for (std::size_t k = 0; k < power.size(); ++k) {
        all += power[k];
        if (k * 10 < top)  // bin k lies below a tenth of the Nyquist frequency
            low += power[k];
    }
    return low > all / 2 ? FrequencyScale::Log : FrequencyScale::Linear;
}

std::vector<std::pair<std::size_t, std::size_t>> row_bins(int height, std::size_t top,
                                                          FrequencyScale scale)
{
    std::vector<std::pair<std::size_t, std::size_t>> rows(static_cast<std::size_t>(height));
    for (int r = 0; r < height; ++r) {
        const double lo = bin_position(height - 1 - r, height, top, scale);
        const double hi = bin_position(height - r, height, top, scale);
        const std::size_t first = static_cast<std::size_t>(std::lround(lo));
        rows[static_cast<std::size_t>(r)] = {
            first, std::max(first, static_cast<std::size_t>(std::lround(hi)) - (r == 0 ? 0 : 1))};
    }
    return rows;
}

double frequency_height(double f, double nyquist, std::size_t top, FrequencyScale scale)
{
    if (scale == FrequencyScale::Linear)
        return f / nyquist;
    return std::log(f / nyquist * static_cast<double>(top)) / std::log(static_cast<double>(top));
}

std::vector<FrequencyTick> frequency_ticks(double nyquist, std::size_t top, double height,
                                           double spacing, FrequencyScale scale)
{
    return scale == FrequencyScale::Linear ? linear_ticks(nyquist, height, spacing)
                                           : log_ticks(nyquist, top, height, spacing);
}

}  // namespace tavoinfo
