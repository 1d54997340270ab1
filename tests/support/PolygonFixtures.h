#pragma once

#include "geometry/SimplePolygon.h"

#include <memory>
#include <numeric>
#include <vector>

namespace tessaro::test {

// A ring of the flat points x0, y0, x1, y1, ..., its box computed.
inline std::unique_ptr<CPolygonRing> MakeRing(const std::vector<double>& flat)
{
    auto ring = std::make_unique<CPolygonRing>();
    ring->SetPoints(static_cast<int32_t>(flat.size() / 2), flat.data(), true);
    return ring;
}

// A polygon of these rings, in order.
inline std::unique_ptr<CSimplePolygon> MakePolygon(const std::vector<std::vector<double>>& rings)
{
    auto polygon = std::make_unique<CSimplePolygon>();
    for (const std::vector<double>& ring : rings)
        polygon->AddRing(MakeRing(ring));
    return polygon;
}

// The closed square from (left, bottom) with the given side, clockwise as an outer ring or
// counter-clockwise as a hole.
inline std::vector<double> SquarePoints(double left, double bottom, double side, bool clockwise = true)
{
    const double r = left + side, t = bottom + side;
    if (clockwise)
        return {left, bottom, left, t, r, t, r, bottom, left, bottom};
    return {left, bottom, r, bottom, r, t, left, t, left, bottom};
}

// Sizes as shares of their total.
inline std::vector<double> Shares(std::vector<double> sizes)
{
    const double total = std::accumulate(sizes.begin(), sizes.end(), 0.0);
    for (double& size : sizes)
        size /= total;
    return sizes;
}

} // namespace tessaro::test
