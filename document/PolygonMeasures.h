#pragma once

#include "engine/RunMeasures.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessaro {

struct CartogramRunSummary;

// What a map colours its polygons by, polygon by polygon in the layer's order: a value and the
// deviation A/D − 1 of the polygon's area from its desired area. NaN where a polygon has none
// (a missing size, a polygon the convergence mode left out of the measures).
struct PolygonMeasures {
    std::vector<double> Values;
    std::vector<double> Deviations;
    // What the values are, as a legend's title.
    std::string ValueName;

    // The title of a legend of the deviations.
    static constexpr const char* DeviationName = "Relative error A/D − 1";
    // The title of values that are the polygons' shares of the sizes.
    static constexpr const char* ShareName = "Share of the sizes (%)";

    // From a round's fits: the values are the desired shares in percent (a round knows no
    // sizes). A fit of no desired share belongs to a polygon left out of the measures.
    static PolygonMeasures FromFits(const std::vector<PolygonFit>& fits);
    // From a completed run: the size field's values under its name, or the desired shares when
    // no polygon has a size; nothing for a run that did not complete.
    static PolygonMeasures FromRun(const CartogramRunSummary& summary);

    // Whether there is a value and a deviation for every polygon of a layer of `polygons`.
    bool Covers(size_t polygons) const { return Values.size() == polygons && Deviations.size() == polygons; }
};

} // namespace tessaro
