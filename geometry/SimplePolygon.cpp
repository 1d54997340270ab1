#include "geometry/SimplePolygon.h"

#include "geometry/Extent.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessaro {

namespace {

CExtent RingBox(const CPolygonRing& ring)
{
    return {ring.MinX(), ring.MinY(), ring.MaxX(), ring.MaxY()};
}

} // namespace

void CSimplePolygon::AddRing(std::unique_ptr<CPolygonRing> ring)
{
    if (!ring)
        return;
    CExtent box{MinX_, MinY_, MaxX_, MaxY_};
    box.Unite(RingBox(*ring));
    MinX_ = box.MinX;
    MinY_ = box.MinY;
    MaxX_ = box.MaxX;
    MaxY_ = box.MaxY;
    const int64_t total = int64_t{TotalPointCount_} + ring->PointCount();
    TotalPointCount_ = static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
    Rings_.push_back(std::move(ring));
}

bool CSimplePolygon::AreaAndCentroid(CPoint2D* centroid, double* area) const
{
    if (centroid == nullptr || area == nullptr)
        return false;

    double sumArea = 0.0;
    double sumX = 0.0;
    double sumY = 0.0;
    for (const auto& ring : Rings_) {
        CPoint2D ringCentroid;
        double ringArea = 0.0;
        if (!ring->AreaAndCentroid(&ringCentroid, &ringArea)) {
            // A ring without area has no centroid and no weight; anything else is a failure.
            if (ringArea == 0.0)
                continue;
            return false;
        }
        sumArea += ringArea;
        sumX += ringArea * ringCentroid.X;
        sumY += ringArea * ringCentroid.Y;
    }

    // Clockwise outer rings have negative signed areas: the polygon's area is their negation,
    // and counter-clockwise holes subtract themselves.
    if (sumArea == 0.0) {
        *area = 0.0;
        return false;
    }
    *area = -sumArea;
    const double cx = sumX / sumArea;
    const double cy = sumY / sumArea;
    if (!std::isfinite(cx) || !std::isfinite(cy))
        return false;
    *centroid = {cx, cy};
    return true;
}

bool CSimplePolygon::DensifyByDistance(double d)
{
    bool ok = std::all_of(Rings_.begin(), Rings_.end(), [d](const auto& ring) { return ring->DensifyByDistance(d); });
    RecountPoints();
    return ok;
}

bool CSimplePolygon::DensifyAtGridLines(const double* xs, const double* ys, int32_t n)
{
    bool ok = std::all_of(Rings_.begin(), Rings_.end(),
                          [&](const auto& ring) { return ring->DensifyAtGridLines(xs, ys, n); });
    RecountPoints();
    return ok;
}

bool CSimplePolygon::RemoveNearDuplicates(double tolerance)
{
    bool ok = std::all_of(Rings_.begin(), Rings_.end(),
                          [tolerance](const auto& ring) { return ring->RemoveNearDuplicates(tolerance); });
    RecountPoints();
    return ok;
}

bool CSimplePolygon::CopyPointsTo(double* buffer) const
{
    if (buffer == nullptr)
        return false;
    for (const auto& ring : Rings_) {
        const size_t values = 2 * static_cast<size_t>(ring->PointCount());
        buffer = std::copy(ring->Points(), ring->Points() + values, buffer);
    }
    return true;
}

bool CSimplePolygon::SetPointsFrom(const double* buffer, bool updateBox)
{
    if (buffer == nullptr)
        return false;
    for (const auto& ring : Rings_) {
        const int32_t count = ring->PointCount();
        // A ring of fewer than two vertices cannot take points; its slots are passed over so
        // that the rings after it still read their own points.
        if (count >= 2 && !ring->SetPoints(count, buffer, true))
            return false;
        buffer += 2 * static_cast<size_t>(count);
    }
    if (updateBox)
        UpdateBoundingBox();
    return true;
}

bool CSimplePolygon::SetRingPoints(int32_t ring, int32_t n, const double* points)
{
    if (ring < 0 || ring >= RingCount() || !Rings_[static_cast<size_t>(ring)]->SetPoints(n, points, true))
        return false;
    RecountPoints();
    return true;
}

void CSimplePolygon::UpdateBoundingBox()
{
    CExtent box;
    for (const auto& ring : Rings_)
        box.Unite(RingBox(*ring));
    MinX_ = box.MinX;
    MinY_ = box.MinY;
    MaxX_ = box.MaxX;
    MaxY_ = box.MaxY;
}

void CSimplePolygon::RecountPoints()
{
    int64_t total = 0;
    for (const auto& ring : Rings_)
        total += ring->PointCount();
    // The flat vertex buffer is indexed by 32-bit counts; a larger polygon cannot be stored.
    TotalPointCount_ = static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
}

} // namespace tessaro
