#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace tessaro {

// 1/π as the run has always used it; the radii and ratios depend on these exact digits.
inline constexpr double RunInversePi = 0.318309886183791;

// Whether a value can enter a measure as an area, a total or a share: finite and above zero.
inline bool IsPositiveFinite(double value)
{
    return value > 0.0 && value <= std::numeric_limits<double>::max();
}

// How far one polygon's area A stands from the area D = T·f its size asks for, T being the
// layer's total and f the polygon's share of the sizes. The one definition of a polygon's error
// that the stop rules, the warnings and the exported error fields all read.
struct PolygonFit {
    double DesiredShare = 0.0;  // f = D / T
    double AreaShare = 0.0;     // A / T
    double RelativeError = 0.0; // e = |D − A| / (D + A), in [0, 1]
    double Deviation = 0.0;     // A / D − 1: −0.5 is half the desired area, 1 twice it

    // Below half or above twice the desired area.
    bool FarFromSize() const { return Deviation < -0.5 || Deviation > 1.0; }
    // The smallest desired share the largest error looks at: a polygon below 0.01 % of the map
    // is hardly seen.
    static constexpr double VisibleShare = 1e-4;
    // Of a visible share and further than `limit` from the desired area (|A/D − 1| > limit).
    bool Beyond(double limit) const { return DesiredShare >= VisibleShare && std::fabs(Deviation) > limit; }
};

// The fit of a polygon of area `area` whose share of the sizes is `share`, in a layer of total
// area `total`. All three must be finite and above zero.
PolygonFit FitOf(double area, double share, double total);

// One round's measures over the n polygons of the layer, taken before the round's
// transformation. ρ_i is the radius ratio √(T·f_i/π) / √(A_i/π), so ρ_i² = D_i / A_i, and e_i the
// polygon's relative error (PolygonFit).
struct RoundMeasures {
    double MinRatio = 10.0;  // min(10, smallest ρ_i)
    double MaxRatio = -1.0;  // max(−1, largest ρ_i)
    double MinRit = 0.0;     // 1/MinRatio² − 1: relative excess of the most oversized polygon
    double MaxRit = 0.0;     // 1 − 1/MaxRatio²: relative shortfall of the most undersized polygon
    double Error = 0.0;      // mean of (ρ_i − 1)²
    double MeanQuadraticError = 0.0; // √(mean of e_i²)
    double SimpleMeanError = 0.0;    // mean of e_i
    double WeightedMeanError = 0.0;  // Σ e_i·A_i / T
    int Growers = 0;   // polygons with ρ_i > 1
    int Shrinkers = 0; // polygons with ρ_i ≤ 1
    double RadiusSum = 0.0; // Σ √(A_i/π), for the mean radius
    std::vector<double> Ratios;         // ρ_i in polygon order
    std::vector<PolygonFit> Fits;       // in polygon order
};

enum class MeasureStatus {
    Ok,
    NoPolygons,     // n = 0: no mean exists
    CountMismatch,  // areas and fractions differ in length
    BadTotal,       // T is not a finite number above 0
    BadArea,        // some A_i is 0, negative or not finite
    BadFraction,    // some f_i is 0, negative or not finite
    NotFinite       // inputs were sound but a ratio or measure overflowed
};

struct MeasureResult {
    MeasureStatus Status = MeasureStatus::Ok;
    // The first polygon at fault for BadArea, BadFraction and NotFinite.
    std::size_t Polygon = 0;
    RoundMeasures Measures;

    bool Ok() const { return Status == MeasureStatus::Ok; }
};

// Measures one round. A degenerate polygon would turn every mean into NaN or infinity and
// silently poison the stop rule, so such input is refused: the status names the fault and the
// measures are then not to be used.
MeasureResult ComputeRoundMeasures(std::span<const double> areas, std::span<const double> fractions, double total);

// A sentence for the user about a refused measurement.
std::string DescribeMeasureFailure(const MeasureResult& result);

} // namespace tessaro
