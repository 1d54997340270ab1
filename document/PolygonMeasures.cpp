#include "document/PolygonMeasures.h"

#include "run/CartogramJob.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessaro {
namespace {

constexpr double None = std::numeric_limits<double>::quiet_NaN();

// Every measured polygon has a desired share above zero; the fit of one left out has none.
bool Measured(const PolygonFit& fit)
{
    return fit.DesiredShare > 0.0;
}

} // namespace

PolygonMeasures PolygonMeasures::FromFits(const std::vector<PolygonFit>& fits)
{
    PolygonMeasures measures;
    measures.ValueName = ShareName;
    for (const PolygonFit& fit : fits) {
        measures.Values.push_back(Measured(fit) ? fit.DesiredShare * 100.0 : None);
        measures.Deviations.push_back(Measured(fit) ? fit.Deviation : None);
    }
    return measures;
}

PolygonMeasures PolygonMeasures::FromRun(const CartogramRunSummary& summary)
{
    if (summary.Result != CartogramRunSummary::Outcome::Completed || !summary.LastMeasures)
        return {};
    PolygonMeasures measures = FromFits(summary.LastMeasures->Fits);
    const auto& polygons = summary.Polygons;
    const bool sized = polygons.size() == measures.Values.size() &&
                       std::any_of(polygons.begin(), polygons.end(), [](const auto& p) { return p.Size.has_value(); });
    if (!sized)
        return measures;
    for (size_t i = 0; i < polygons.size(); ++i)
        measures.Values[i] = polygons[i].Size.value_or(None);
    measures.ValueName = summary.SizeFieldRead.empty() ? "Size" : summary.SizeFieldRead;
    return measures;
}

} // namespace tessaro
