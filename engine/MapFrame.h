#pragma once

#include "geometry/Extent.h"
#include "geometry/Point2D.h"

namespace tessaro {

class CPolygonLayer;
class CQuadTree;

// The coordinates the convergence loop works in: the map moved next to the origin when it lies
// farther from it than its own size, and, when its longer side is below 1 unit or above 2^24,
// scaled by a power of two so that it is from 2^22 to 2^23 units. The loop's tolerances hold for
// maps from a few units to a continent in metres, which need neither; in the frame a map of any
// size and any place is measured and moved alike, and no coordinate carries more digits of
// offset than of shape.
// The scale is a power of two and the offset a multiple of a power of two no finer than the
// map's coordinates, so the map goes into the frame and back unchanged to the bit; points moved
// in the frame come back to within the rounding of the map's coordinates.
class CMapFrame {
public:
    explicit CMapFrame(const CExtent& box);

    // The frame changes nothing: the map is used as it stands.
    bool IsIdentity() const { return Scale_ == 1.0 && OffsetX_ == 0.0 && OffsetY_ == 0.0; }
    double Scale() const { return Scale_; }

    CPoint2D ToFrame(const CPoint2D& point) const
    {
        return {(point.X - OffsetX_) * Scale_, (point.Y - OffsetY_) * Scale_};
    }
    CPoint2D FromFrame(const CPoint2D& point) const
    {
        return {point.X / Scale_ + OffsetX_, point.Y / Scale_ + OffsetY_};
    }
    CExtent ToFrame(const CExtent& box) const;
    CExtent FromFrame(const CExtent& box) const;
    // Every vertex of the layer (the ring and polygon boxes made anew), or every grid vertex of
    // every map of the tree.
    void ToFrame(CPolygonLayer& layer) const;
    void FromFrame(CPolygonLayer& layer) const;
    void ToFrame(CQuadTree& tree) const;
    void FromFrame(CQuadTree& tree) const;

private:
    double Scale_ = 1.0;
    double OffsetX_ = 0.0;
    double OffsetY_ = 0.0;
};

} // namespace tessaro
