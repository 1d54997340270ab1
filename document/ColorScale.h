#pragma once

#include "geodata/PictureCanvas.h"

#include <span>
#include <string>
#include <vector>

namespace tessaro {

// One line of a map's legend: a colour swatch and what it stands for.
struct ColorLegendEntry {
    CPictureColor Color;
    std::string Label;

    bool operator==(const ColorLegendEntry&) const = default;
};

// A colour for every value of a map's measure, and the legend that explains the colours. Two
// kinds, both from ColorBrewer's colour-blind-safe schemes:
//
// - sequential, for a polygon's value (its size): the nine-class YlOrRd ramp, light yellow for
//   the smallest values to dark red for the largest, either in classes cut at quantiles (each
//   class holding about as many polygons) or continuous from the smallest value to the largest;
// - diverging, for the deviation A/D − 1 of a polygon's area A from its desired area D: the
//   eleven-class RdBu ramp, its neutral light grey at 0, red for polygons larger than their size
//   asks (they have to shrink), blue for smaller ones (they have to grow), symmetric about 0 and
//   saturated at ±bound.
//
// A value that is not a number (a polygon without a value) takes NoData.
class CColorScale {
public:
    static constexpr CPictureColor NoData{160, 160, 160};
    static constexpr double DefaultErrorBound = 0.5;
    static constexpr int DefaultClasses = 5;

    // Classes cut at the quantiles of the finite values: class c holds the values from its
    // lower break (the value at rank ceil(c·n / classes) of the sorted values) up to the next
    // class's break. Breaks that tie merge their classes, so fewer classes may result.
    static CColorScale Quantiles(std::span<const double> values, int classes = DefaultClasses);
    // The ramp spread from the smallest finite value to the largest.
    static CColorScale Continuous(std::span<const double> values);
    // A/D − 1 from −bound (darkest blue) through 0 (neutral) to +bound (darkest red); a bound
    // that is not above zero takes the default.
    static CColorScale Deviation(double bound = DefaultErrorBound);

    CPictureColor ColorOf(double value) const;
    // Largest values first, as a legend reads from top to bottom.
    const std::vector<ColorLegendEntry>& Legend() const { return Legend_; }
    // The number of classes of a classed scale; 0 for a continuous one.
    int ClassCount() const { return static_cast<int>(ClassColors_.size()); }

private:
    enum class Kind { Classes, Ramp, Deviation };

    Kind Kind_ = Kind::Ramp;
    // Classes: the lower break of every class but the first, ascending.
    std::vector<double> Breaks_;
    std::vector<CPictureColor> ClassColors_;
    // Ramp: the values at the ramp's ends. Deviation: Low_ = −bound, High_ = +bound.
    double Low_ = 0.0;
    double High_ = 0.0;
    std::vector<ColorLegendEntry> Legend_;
};

// A number for a legend in three significant digits, '.' as the decimal point whatever the
// locale, thousands and millions shortened ("563", "12.3", "1.23 M", "0.00456").
std::string ShortNumber(double value);

} // namespace tessaro
