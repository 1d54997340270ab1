#include "engine/LocalScaling.h"

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
    const double area = MovedArea(polygon, nullptr, {});
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
    const double area = MovedArea(polygon, nullptr, {});
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
    // A uniform index over the discs' outer boxes, so that each point visits the discs near it.
    double minX = Discs_.front().Centre.X, maxX = minX, minY = Discs_.front().Centre.Y, maxY = minY;
    for (const Disc& disc : Discs_) {
        const double b = OuterRadius * disc.Inner;
        minX = std::min(minX, disc.Centre.X - b);
        maxX = std::max(maxX, disc.Centre.X + b);
        minY = std::min(minY, disc.Centre.Y - b);
        maxY = std::max(maxY, disc.Centre.Y + b);
    }
    const size_t across =
        std::clamp<size_t>(static_cast<size_t>(std::ceil(std::sqrt(Discs_.size()))), 1, MaxBucketsAcross);
    const double width = std::max(maxX - minX, maxY - minY);
    if (!(width > 0.0) || !std::isfinite(width))
        return;
    const double bucket = width / static_cast<double>(across);
    const auto bucketOf = [&](double v, double lo) {
        const double k = std::floor((v - lo) / bucket);
        return static_cast<size_t>(std::clamp(k, 0.0, static_cast<double>(across - 1)));
    };
    std::vector<std::vector<uint32_t>> buckets(across * across);
    for (size_t d = 0; d < Discs_.size(); ++d) {
        const Disc& disc = Discs_[d];
        const double b = OuterRadius * disc.Inner;
        for (size_t by = bucketOf(disc.Centre.Y - b, minY); by <= bucketOf(disc.Centre.Y + b, minY); ++by)
            for (size_t bx = bucketOf(disc.Centre.X - b, minX); bx <= bucketOf(disc.Centre.X + b, minX); ++bx)
                buckets[by * across + bx].push_back(static_cast<uint32_t>(d));
    }
    for (size_t k = 0; k + 1 < points.size(); k += 2) {
        const double x = points[k];
        const double y = points[k + 1];
        if (x < minX || x > maxX || y < minY || y > maxY)
            continue;
        for (const uint32_t d : buckets[bucketOf(y, minY) * across + bucketOf(x, minX)]) {
            const CPoint2D move = DisplacementBy(Discs_[d], x, y);
            raw[k] += move.X;
            raw[k + 1] += move.Y;
        }
    }
}

} // namespace tessaro
