#include "geometry/PolygonLayer.h"

namespace tessaro {

CExtent CPolygonLayer::BoundingBox() const
{
    CExtent box;
    for (const auto& polygon : Polygons_)
        box.Unite(CExtent{polygon->MinX(), polygon->MinY(), polygon->MaxX(), polygon->MaxY()});
    return box;
}

CPolygonLayer CPolygonLayer::Copy() const
{
    CPolygonLayer copy;
    for (const auto& polygon : Polygons_) {
        auto twin = std::make_unique<CSimplePolygon>();
        twin->Label = polygon->Label;
        for (const auto& ring : polygon->Rings()) {
            auto ringCopy = std::make_unique<CPolygonRing>();
            ringCopy->CopyFrom(*ring);
            ringCopy->Values().clear();
            twin->AddRing(std::move(ringCopy));
        }
        copy.Add(std::move(twin));
    }
    return copy;
}

} // namespace tessaro
