#include "engine/FollowerTransformer.h"

#include "engine/QuadTree.h"
#include "engine/QuadTreeTransformer.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tessaro {

bool CFollowerTransformer::Move(CQuadTree& tree, std::vector<double>& points, bool fixedSplits)
{
    if (points.empty())
        return true;
    std::array<CPoint2D, 4> corners;
    if (tree.Map(DisplacedMap) == nullptr || !tree.NodeCorners(&tree, corners, UndeformedMap))
        return false;
    double left = corners[0].X;
    double right = corners[0].X;
    double bottom = corners[0].Y;
    double top = corners[0].Y;
    for (const CPoint2D& corner : corners) {
        left = std::min(left, corner.X);
        right = std::max(right, corner.X);
        bottom = std::min(bottom, corner.Y);
        top = std::max(top, corner.Y);
    }
    // The right and top edges belong to no leaf: a point clamped onto them is set just inside.
    const double innerRight = std::nextafter(right, left);
    const double innerTop = std::nextafter(top, bottom);
    std::vector<double> clamped(points.size());
    for (size_t k = 0; k < points.size(); k += 2) {
        clamped[k] = std::clamp(points[k], left, innerRight);
        clamped[k + 1] = std::clamp(points[k + 1], bottom, innerTop);
    }
    std::vector<double> moved = clamped;
    CTransformOptions options;
    options.FromMap = UndeformedMap;
    options.ToMap = DisplacedMap;
    options.FixedSplits = fixedSplits;
    CQuadTreeTransformer transformer(&tree);
    if (!transformer.TransformVertices(clamped.data(), static_cast<int>(points.size() / 2), moved.data(), options))
        return false;
    // Inside the box the clamped point is the point itself; outside, the point keeps its offset
    // from the edge and takes the edge's displacement.
    for (size_t k = 0; k < points.size(); ++k)
        points[k] += moved[k] - clamped[k];
    return true;
}

} // namespace tessaro
