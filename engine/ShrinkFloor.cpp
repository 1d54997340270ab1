#include "engine/ShrinkFloor.h"

#include "engine/GridDisplacement.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>

namespace tessaro {

double MeasurableTotal(const std::vector<double>& areas, const std::vector<uint8_t>& wide)
{
    double total = 0.0;
    for (size_t i = 0; i < areas.size(); ++i)
        if (wide[i] == 0 && IsPositiveFinite(areas[i]))
            total += areas[i];
    return total;
}

CShrinkFloor::CShrinkFloor(const CPolygonLayer& layer, const RoundMeasures& measures, double floor,
                           const std::vector<double>& areas, const std::vector<uint8_t>& wide,
                           const std::vector<double>& fractions, std::vector<double>& firstShares)
    : Layer_(layer), Wide_(wide), FirstShares_(firstShares), Floor_(floor), Held_(layer.Count(), 0)
{
    const uint32_t n = layer.Count();
    if (!(floor > 0.0) || measures.Ratios.size() != n)
        return;
    Active_ = true;
    StartAreas_ = areas;
    StartTotal_ = MeasurableTotal(StartAreas_, wide);
    const auto measurable = [&](uint32_t i) { return IsPositiveFinite(StartAreas_[i]) && wide[i] == 0; };
    if (firstShares.empty()) {
        firstShares.assign(n, 0.0);
        for (uint32_t i = 0; i < n; ++i)
            if (measurable(i))
                firstShares[i] = std::min(StartAreas_[i] / StartTotal_, fractions[i]);
    }
    for (uint32_t i = 0; i < n; ++i)
        if (measures.Ratios[i] > 1.0 && firstShares[i] > 0.0 && measurable(i))
            Growers_.push_back(i);
}

bool CShrinkFloor::FindBelowFloor(const std::vector<double>& areas)
{
    if (!Watching())
        return false;
    const double total = MeasurableTotal(areas, Wide_);
    if (!(total > 0.0))
        return false;
    bool found = false;
    for (const uint32_t i : Growers_) {
        if (Held_[i] != 0)
            continue;
        const double share = areas[i] / total;
        // A polygon the try turned over or emptied has fallen below any floor.
        const bool lost =
            !IsPositiveFinite(areas[i]) || (share < StartAreas_[i] / StartTotal_ && share < Floor_ * FirstShares_[i]);
        if (!lost)
            continue;
        Held_[i] = 1;
        Found_.push_back(i);
        found = true;
    }
    return found;
}

void CShrinkFloor::HoldFound(CGridDisplacement& grid, const CQuadTree& tree)
{
    for (const uint32_t i : Found_)
        for (const auto& ring : Layer_.Polygon(i).Rings()) {
            const int32_t n = ring->PointCount();
            for (int32_t k = 0; k < n; ++k) {
                const CPoint2D a = ring->Point(k);
                const CPoint2D b = ring->Point(k + 1 < n ? k + 1 : 0);
                grid.HoldStill(tree, std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y));
            }
        }
    Found_.clear();
}

} // namespace tessaro
