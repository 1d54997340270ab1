#include "engine/RoundFrame.h"

#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"

namespace tessaro {

void CRoundFrame::CopyGeometry(const CPolygonLayer& layer, const CQuadTree& tree, int displacedMap)
{
    Polygons.clear();
    Polygons.reserve(layer.Count());
    for (const auto& polygon : layer.Polygons()) {
        PolygonRings& rings = Polygons.emplace_back();
        rings.reserve(polygon->Rings().size());
        for (const auto& ring : polygon->Rings())
            rings.emplace_back(ring->Points(), ring->Points() + 2 * static_cast<size_t>(ring->PointCount()));
    }
    Extent = layer.BoundingBox();

    std::vector<const CQuadTreeNode*> leaves;
    tree.Leaves(leaves);
    Cells.clear();
    Cells.reserve(leaves.size());
    std::array<CPoint2D, 4> corners;
    for (const CQuadTreeNode* leaf : leaves)
        if (tree.NodeCorners(leaf, corners, displacedMap))
            Cells.push_back(corners);
}

} // namespace tessaro
