#include "geometry/PolygonLayer.h"

namespace tessaro {

CExtent CPolygonLayer::BoundingBox() const
{
    CExtent box;
    for (const auto& polygon : Polygons_)
        box.Unite(CExtent{polygon->MinX(), polygon->MinY(), polygon->MaxX(), polygon->MaxY()});
    return box;
}

} // namespace tessaro
