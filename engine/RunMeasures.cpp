#include "engine/RunMeasures.h"

#include <cmath>
#include <optional>

namespace tessaro {
namespace {

MeasureResult Refuse(MeasureStatus status, std::size_t polygon = 0)
{
    MeasureResult result;
    result.Status = status;
    result.Polygon = polygon;
    return result;
}

// The refusal of inputs no measure can be taken from; nullopt for sound ones.
std::optional<MeasureResult> RefuseUnsound(std::span<const double> areas, std::span<const double> fractions,
                                           double total)
{
    if (areas.size() != fractions.size())
        return Refuse(MeasureStatus::CountMismatch);
    if (areas.empty())
        return Refuse(MeasureStatus::NoPolygons);
    if (!IsPositiveFinite(total))
        return Refuse(MeasureStatus::BadTotal);
    for (std::size_t i = 0; i < areas.size(); ++i) {
        if (!IsPositiveFinite(areas[i]))
            return Refuse(MeasureStatus::BadArea, i);
        if (!IsPositiveFinite(fractions[i]))
            return Refuse(MeasureStatus::BadFraction, i);
    }
    return std::nullopt;
}

} // namespace

PolygonFit FitOf(double area, double share, double total)
{
    const double desired = total * share;
    PolygonFit fit;
    fit.DesiredShare = share;
    fit.AreaShare = area / total;
    fit.RelativeError = std::fabs(desired - area) / (desired + area);
    fit.Deviation = area / desired - 1.0;
    return fit;
}

MeasureResult ComputeRoundMeasures(std::span<const double> areas, std::span<const double> fractions, double total)
{
    if (std::optional<MeasureResult> refused = RefuseUnsound(areas, fractions, total))
        return std::move(*refused);
    MeasureResult result;
    RoundMeasures& m = result.Measures;
    const std::size_t n = areas.size();
    m.Ratios.reserve(n);
    m.Fits.reserve(n);
    double squaredDeviations = 0.0;
    double squaredErrors = 0.0;
    double errors = 0.0;
    double weightedErrors = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double radius = std::sqrt(areas[i] * RunInversePi);
        const double desiredRadius = std::sqrt(total * fractions[i] * RunInversePi);
        const double ratio = desiredRadius / radius;
        const double squared = ratio * ratio;
        const PolygonFit fit = FitOf(areas[i], fractions[i], total);
        const double relativeError = fit.RelativeError;
        // A finite ρ² and D_i keep e_i, A_i/D_i and (ρ_i − 1)² finite too.
        if (!std::isfinite(squared) || !std::isfinite(fit.Deviation) || !std::isfinite(relativeError)) {
            result.Status = MeasureStatus::NotFinite;
            result.Polygon = i;
            return result;
        }
        if (ratio > 1.0)
            ++m.Growers;
        else
            ++m.Shrinkers;
        squaredDeviations += (ratio - 1.0) * (ratio - 1.0);
        squaredErrors += relativeError * relativeError;
        errors += relativeError;
        weightedErrors += relativeError * areas[i];
        if (ratio < m.MinRatio)
            m.MinRatio = ratio;
        if (ratio > m.MaxRatio)
            m.MaxRatio = ratio;
        m.RadiusSum += radius;
        m.Ratios.push_back(ratio);
        m.Fits.push_back(fit);
    }

    const double count = static_cast<double>(n);
    m.MinRit = 1.0 / (m.MinRatio * m.MinRatio) - 1.0;
    m.MaxRit = 1.0 - 1.0 / (m.MaxRatio * m.MaxRatio);
    m.Error = squaredDeviations / count;
    m.MeanQuadraticError = std::sqrt(squaredErrors / count);
    m.SimpleMeanError = errors / count;
    m.WeightedMeanError = weightedErrors / total;
    for (const double value : {m.MinRit, m.MaxRit, m.Error, m.MeanQuadraticError, m.SimpleMeanError,
                               m.WeightedMeanError, m.RadiusSum}) {
        if (!std::isfinite(value)) {
            result.Status = MeasureStatus::NotFinite;
            break;
        }
    }
    return result;
}

std::string DescribeMeasureFailure(const MeasureResult& result)
{
    const std::string polygon = "polygon " + std::to_string(result.Polygon + 1);
    switch (result.Status) {
    case MeasureStatus::Ok:
        return {};
    case MeasureStatus::NoPolygons:
        return "The layer has no polygons to measure.";
    case MeasureStatus::CountMismatch:
        return "The number of sizes differs from the number of polygons.";
    case MeasureStatus::BadTotal:
        return "The total area of the layer is zero or not a number.";
    case MeasureStatus::BadArea:
        return "The area of " + polygon + " is zero, negative or not a number.";
    case MeasureStatus::BadFraction:
        return "The desired size of " + polygon + " is zero, negative or not a number.";
    case MeasureStatus::NotFinite:
        return "The error measures overflowed at " + polygon + "; its area or size is too extreme.";
    }
    return {};
}

} // namespace tessaro
