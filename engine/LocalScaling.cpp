#include "engine/LocalScaling.h"

#include "geometry/Extent.h"
#include "geometry/SimplePolygon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace tessaro {

namespace {

// Buckets along a side of the index that finds the discs over a point: about one disc a bucket.
constexpr size_t MaxBucketsAcross = 256;

// Halvings of the bracket when the factor of the discs is solved for.
constexpr int FactorBisections = 16;

// The area of `ring` once its points have moved by `before` (or not, when null) and by every disc
// of `discs`, evaluated where the points stood.
double MovedRingArea(const CPolygonRing& ring, const double* before, const std::vector<CLocalScaling::Disc>& discs)
{
    const int32_t n = ring.PointCount();
    if (n < 3)
        return 0.0;
    const auto moved = [&](int32_t i) {
        const CPoint2D p = ring.Point(i);
        CPoint2D sum{0.0, 0.0};
        if (before != nullptr)
            sum = {before[2 * i], before[2 * i + 1]};
        for (const CLocalScaling::Disc& disc : discs) {
            const CPoint2D move = CLocalScaling::DisplacementBy(disc, p.X, p.Y);
            sum.X += move.X;
            sum.Y += move.Y;
        }
        return CPoint2D{p.X + sum.X, p.Y + sum.Y};
    };
    const CPoint2D origin = moved(0);
    double twice = 0.0;
    CPoint2D previous{0.0, 0.0};
    for (int32_t i = 1; i <= n; ++i) {
        const CPoint2D p = moved(i % n);
        const CPoint2D q{p.X - origin.X, p.Y - origin.Y};
        twice += previous.X * q.Y - q.X * previous.Y;
        previous = q;
    }
    return 0.5 * twice;
}

// The polygon's area (clockwise outer rings count positive) with its points moved by `before`
// (ring after ring, or null) and by `discs`.
double MovedArea(const CSimplePolygon& polygon, const double* before, const std::vector<CLocalScaling::Disc>& discs)
{
    double area = 0.0;
    for (const auto& ring : polygon.Rings()) {
        area -= MovedRingArea(*ring, before, discs);
        if (before != nullptr)
            before += 2 * static_cast<size_t>(ring->PointCount());
    }
    return area;
}

// The polygon's own area, as MovedArea measures it with nothing moved.
double PlainArea(const CSimplePolygon& polygon)
{
    CPoint2D centroid;
    double area = 0.0;
    polygon.AreaAndCentroid(&centroid, &area);
    return area;
}

// A uniform grid of buckets over the discs' outer boxes, about one disc a bucket, so that each
// point visits only the discs near it.
class CDiscIndex {
public:
    explicit CDiscIndex(const std::vector<CLocalScaling::Disc>& discs)
    {
        for (const CLocalScaling::Disc& disc : discs)
            Box_.Unite(OuterBox(disc));
        Across_ = std::clamp<size_t>(static_cast<size_t>(std::ceil(std::sqrt(discs.size()))), 1, MaxBucketsAcross);
        Side_ = std::max(Box_.Width(), Box_.Height()) / static_cast<double>(Across_);
        if (!(Side_ > 0.0) || !std::isfinite(Side_))
            return;
        Buckets_.resize(Across_ * Across_);
        for (size_t d = 0; d < discs.size(); ++d) {
            const CExtent box = OuterBox(discs[d]);
            for (size_t by = Bucket(box.MinY, Box_.MinY); by <= Bucket(box.MaxY, Box_.MinY); ++by)
                for (size_t bx = Bucket(box.MinX, Box_.MinX); bx <= Bucket(box.MaxX, Box_.MinX); ++bx)
                    Buckets_[by * Across_ + bx].push_back(static_cast<uint32_t>(d));
        }
    }

    // The discs whose outer box may hold (x, y).
    const std::vector<uint32_t>& Near(double x, double y) const
    {
        static const std::vector<uint32_t> none;
        if (Buckets_.empty() || x < Box_.MinX || x > Box_.MaxX || y < Box_.MinY || y > Box_.MaxY)
            return none;
        return Buckets_[Bucket(y, Box_.MinY) * Across_ + Bucket(x, Box_.MinX)];
    }

private:
    static CExtent OuterBox(const CLocalScaling::Disc& disc)
    {
        const double b = CLocalScaling::OuterRadius * disc.Inner;
        return {disc.Centre.X - b, disc.Centre.Y - b, disc.Centre.X + b, disc.Centre.Y + b};
    }
    size_t Bucket(double v, double low) const
    {
        const double k = std::floor((v - low) / Side_);
        return static_cast<size_t>(std::clamp(k, 0.0, static_cast<double>(Across_ - 1)));
    }

    CExtent Box_;
    size_t Across_ = 1;
    double Side_ = 0.0;
    std::vector<std::vector<uint32_t>> Buckets_;
};

} // namespace

std::vector<CLocalScaling::Disc> CLocalScaling::DiscsOf(const CSimplePolygon& polygon)
{
    std::vector<Disc> discs;
    for (const auto& ring : polygon.Rings()) {
        CPoint2D centre;
        double signedArea = 0.0;
        if (!ring->AreaAndCentroid(&centre, &signedArea) || !(signedArea < 0.0))
            continue;
        const double inner = std::sqrt(-signedArea / std::numbers::pi);
        if (inner > 0.0 && std::isfinite(inner))
            discs.push_back({centre, inner, 1.0});
    }
    return discs;
}

double CLocalScaling::Response(const CSimplePolygon& polygon)
{
    std::vector<Disc> discs = DiscsOf(polygon);
    const double area = PlainArea(polygon);
    if (discs.empty() || !(area > 0.0) || !std::isfinite(area))
        return 0.0;
    const auto areaAt = [&](double k) {
        for (Disc& disc : discs)
            disc.Factor = k;
        return MovedArea(polygon, nullptr, discs);
    };
    const double response = (areaAt(MaxFactor) - areaAt(MinFactor)) / ((MaxFactor - MinFactor) * area);
    return std::isfinite(response) ? response : 0.0;
}

double CLocalScaling::Add(const CSimplePolygon& polygon, double factor, const double* before)
{
    std::vector<Disc> discs = DiscsOf(polygon);
    const double area = PlainArea(polygon);
    if (discs.empty() || !std::isfinite(factor) || !(factor > 0.0) || !(area > 0.0) || !std::isfinite(area))
        return 0.0;
    // The discs cover the polygon only in part: the factor inside them that gives the polygon
    // `factor` of its area, by bisection (the moved area grows with it), within the bounds.
    const auto areaAt = [&](double k) {
        for (Disc& disc : discs)
            disc.Factor = k;
        return MovedArea(polygon, before, discs);
    };
    if (!(areaAt(MinFactor) < areaAt(MaxFactor)))
        return 0.0;
    double low = MinFactor;
    double high = MaxFactor;
    for (int i = 0; i < FactorBisections; ++i) {
        const double middle = 0.5 * (low + high);
        (areaAt(middle) < factor * area ? low : high) = middle;
    }
    const double solved = 0.5 * (low + high);
    double smallest = discs.front().Inner;
    for (Disc& disc : discs) {
        disc.Factor = solved;
        smallest = std::min(smallest, disc.Inner);
    }
    Discs_.insert(Discs_.end(), discs.begin(), discs.end());
    return smallest;
}

CPoint2D CLocalScaling::DisplacementBy(const Disc& disc, double x, double y)
{
    const double dx = x - disc.Centre.X;
    const double dy = y - disc.Centre.Y;
    const double r2 = dx * dx + dy * dy;
    const double a2 = disc.Inner * disc.Inner;
    const double b2 = OuterRadius * OuterRadius * a2;
    if (!(r2 < b2))
        return {0.0, 0.0};
    double scale = std::sqrt(disc.Factor);
    if (r2 > a2) {
        const double moved2 = r2 + (disc.Factor - 1.0) * a2 * (b2 - r2) / (b2 - a2);
        scale = std::sqrt(moved2 / r2);
    }
    return {(scale - 1.0) * dx, (scale - 1.0) * dy};
}

void CLocalScaling::Displace(const std::vector<double>& points, std::vector<double>& raw) const
{
    if (Discs_.empty() || raw.size() < points.size())
        return;
    const CDiscIndex index(Discs_);
    for (size_t k = 0; k + 1 < points.size(); k += 2)
        for (const uint32_t d : index.Near(points[k], points[k + 1])) {
            const CPoint2D move = DisplacementBy(Discs_[d], points[k], points[k + 1]);
            raw[k] += move.X;
            raw[k + 1] += move.Y;
        }
}

} // namespace tessaro
