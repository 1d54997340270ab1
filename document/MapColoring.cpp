#include "document/MapColoring.h"

#include <cmath>

namespace tessaro {
namespace {

CColorScale ScaleFor(const MapStyle& style, const PolygonMeasures& measures)
{
    if (style.Fill == MapStyle::FillMode::ByError)
        return CColorScale::Deviation(style.ErrorBound);
    if (style.ValueClasses <= 0)
        return CColorScale::Continuous(measures.Values);
    return CColorScale::Quantiles(measures.Values, style.ValueClasses);
}

} // namespace

MapColoring MapColoring::Make(const MapStyle& style, const PolygonMeasures& measures, size_t polygons)
{
    MapColoring coloring;
    if (style.Fill == MapStyle::FillMode::None)
        return coloring;
    if (!style.HasLegend() || !measures.Covers(polygons)) {
        coloring.Fills.assign(polygons, style.FillColor);
        return coloring;
    }
    const bool byError = style.Fill == MapStyle::FillMode::ByError;
    const CColorScale scale = ScaleFor(style, measures);
    const std::vector<double>& shown = byError ? measures.Deviations : measures.Values;
    bool missing = false;
    for (const double value : shown) {
        coloring.Fills.push_back(scale.ColorOf(value));
        missing |= std::isnan(value);
    }
    coloring.LegendTitle = byError ? PolygonMeasures::DeviationName : measures.ValueName;
    coloring.Legend = scale.Legend();
    if (missing)
        coloring.Legend.push_back({CColorScale::NoData, "no value"});
    return coloring;
}

} // namespace tessaro
