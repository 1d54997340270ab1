#include "document/ColorScale.h"

#include "platform/NumberText.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tessaro {
namespace {

// ColorBrewer YlOrRd, nine classes, light to dark.
constexpr std::array<CPictureColor, 9> YlOrRd{{{255, 255, 204},
                                               {255, 237, 160},
                                               {254, 217, 118},
                                               {254, 178, 76},
                                               {253, 141, 60},
                                               {252, 78, 42},
                                               {227, 26, 28},
                                               {189, 0, 38},
                                               {128, 0, 38}}};

// ColorBrewer RdBu, eleven classes, reversed so that it runs from the darkest blue (far below
// the desired area) through the neutral grey to the darkest red (far above it).
constexpr std::array<CPictureColor, 11> BuRd{{{5, 48, 97},
                                              {33, 102, 172},
                                              {67, 147, 195},
                                              {146, 197, 222},
                                              {209, 229, 240},
                                              {247, 247, 247},
                                              {253, 219, 199},
                                              {244, 165, 130},
                                              {214, 96, 77},
                                              {178, 24, 43},
                                              {103, 0, 31}}};

// The ramp's colour at t in [0, 1], interpolated channel by channel between its stops.
template <size_t N> CPictureColor Along(const std::array<CPictureColor, N>& ramp, double t)
{
    const double at = std::clamp(t, 0.0, 1.0) * (N - 1);
    const size_t below = std::min(static_cast<size_t>(at), N - 2);
    const double f = at - static_cast<double>(below);
    const auto mix = [f](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (static_cast<double>(b) - a) * f));
    };
    const CPictureColor& a = ramp[below];
    const CPictureColor& b = ramp[below + 1];
    return {mix(a.Red, b.Red), mix(a.Green, b.Green), mix(a.Blue, b.Blue)};
}

std::vector<double> SortedFinite(std::span<const double> values)
{
    std::vector<double> sorted;
    for (const double v : values)
        if (std::isfinite(v))
            sorted.push_back(v);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

std::string Range(double low, double high)
{
    return low == high ? ShortNumber(low) : ShortNumber(low) + " – " + ShortNumber(high);
}

// A deviation as a signed percentage: "+25 %", "0 %", "−50 %" (with the minus sign).
std::string Percent(double deviation)
{
    const double percent = std::round(deviation * 1000.0) / 10.0;
    const bool whole = percent == std::round(percent);
    const std::string digits = FormatFixed(std::fabs(percent), whole ? 0 : 1);
    if (percent == 0.0)
        return digits + " %";
    return (percent > 0.0 ? "+" : "−") + digits + " %";
}

// Removes the zeros after the decimal point, and the point when nothing follows it.
std::string TrimZeros(std::string text)
{
    if (text.find('.') == std::string::npos)
        return text;
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

} // namespace

std::string ShortNumber(double value)
{
    if (!std::isfinite(value))
        return FormatFixed(value, 0);
    struct Unit {
        double Size;
        const char* Suffix;
    };
    constexpr Unit Units[] = {{1e9, " bn"}, {1e6, " M"}, {1e3, " k"}};
    // Thousands are shortened only from ten thousand: "1234" reads better than "1.23 k".
    for (const Unit& unit : Units)
        if (std::fabs(value) >= std::max(unit.Size, 1e4))
            return ShortNumber(value / unit.Size) + unit.Suffix;
    if (value == 0.0)
        return "0";
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const int decimals = std::clamp(2 - magnitude, 0, 12);
    return TrimZeros(FormatFixed(value, decimals));
}

CColorScale CColorScale::Quantiles(std::span<const double> values, int classes)
{
    CColorScale scale;
    scale.Kind_ = Kind::Classes;
    const std::vector<double> sorted = SortedFinite(values);
    if (sorted.empty())
        return scale;
    const size_t n = sorted.size();
    const int wanted = std::max(1, classes);
    for (int c = 1; c < wanted; ++c) {
        const size_t rank =
            (static_cast<size_t>(c) * n + static_cast<size_t>(wanted) - 1) / static_cast<size_t>(wanted);
        const double lower = sorted[std::min(rank, n - 1)];
        if (lower > sorted.front() && (scale.Breaks_.empty() || lower > scale.Breaks_.back()))
            scale.Breaks_.push_back(lower);
    }
    const size_t count = scale.Breaks_.size() + 1;
    for (size_t c = 0; c < count; ++c) {
        // A single class takes the ramp's middle; more spread over its whole length.
        const double t = count == 1 ? 0.5 : static_cast<double>(c) / static_cast<double>(count - 1);
        scale.ClassColors_.push_back(Along(YlOrRd, t));
    }
    for (size_t c = count; c-- > 0;) {
        const double low = c == 0 ? sorted.front() : scale.Breaks_[c - 1];
        // The largest value below the next class's break.
        const auto next =
            c + 1 < count ? std::lower_bound(sorted.begin(), sorted.end(), scale.Breaks_[c]) : sorted.end();
        const double high = *std::prev(next);
        scale.Legend_.push_back({scale.ClassColors_[c], Range(low, high)});
    }
    return scale;
}

CColorScale CColorScale::Continuous(std::span<const double> values)
{
    CColorScale scale;
    scale.Kind_ = Kind::Ramp;
    const std::vector<double> sorted = SortedFinite(values);
    if (sorted.empty())
        return scale;
    scale.Low_ = sorted.front();
    scale.High_ = sorted.back();
    constexpr int Stops = 5;
    for (int k = Stops - 1; k >= 0; --k) {
        const double v = scale.Low_ + (scale.High_ - scale.Low_) * k / (Stops - 1);
        scale.Legend_.push_back({scale.ColorOf(v), ShortNumber(v)});
        if (scale.Low_ == scale.High_)
            break;
    }
    return scale;
}

CColorScale CColorScale::Deviation(double bound)
{
    CColorScale scale;
    scale.Kind_ = Kind::Deviation;
    const double b = bound > 0.0 && std::isfinite(bound) ? bound : DefaultErrorBound;
    scale.Low_ = -b;
    scale.High_ = b;
    const auto entry = [&scale](double v, const std::string& note) {
        scale.Legend_.push_back({scale.ColorOf(v), Percent(v) + note});
    };
    entry(b, " or more: too large");
    entry(b / 2.0, "");
    entry(0.0, ": as sized");
    entry(-b / 2.0, "");
    entry(-b, " or less: too small");
    return scale;
}

CPictureColor CColorScale::ColorOf(double value) const
{
    if (std::isnan(value))
        return NoData;
    switch (Kind_) {
    case Kind::Classes: {
        if (ClassColors_.empty())
            return NoData;
        const auto above = std::upper_bound(Breaks_.begin(), Breaks_.end(), value);
        return ClassColors_[static_cast<size_t>(above - Breaks_.begin())];
    }
    case Kind::Ramp:
        return Along(YlOrRd, High_ > Low_ ? (value - Low_) / (High_ - Low_) : 0.5);
    case Kind::Deviation:
        return Along(BuRd, (value - Low_) / (High_ - Low_));
    }
    return NoData;
}

} // namespace tessaro
