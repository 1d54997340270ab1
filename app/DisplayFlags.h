#pragma once

namespace tessaro {

// What a view draws. The Display Setup dialog edits all but the node markers, which the
// selection modes switch on while they are active.
struct CDisplayFlags {
    bool ShowNodeMarkers = false;
    bool ShowPointFeatures = false;
    bool ShowPolygons = true;
    bool ShowPolygonVertices = false;
    bool ShowBoundary = true;
    bool ShowQuadtree = true;
    bool ShowQuadtreeNodes = false;
    bool ShowTreeDiagonal = false;

    bool operator==(const CDisplayFlags&) const = default;
};

} // namespace tessaro
