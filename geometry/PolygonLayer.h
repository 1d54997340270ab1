#pragma once

#include "geometry/Extent.h"
#include "geometry/SimplePolygon.h"
#include "platform/PointerView.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tessaro {

// The polygons of one map, in record order, owned by the layer. The cartogram deforms a layer
// in place; a document's network holds one, and a run works on a layer of its own.
class CPolygonLayer {
public:
    using PolygonList = std::vector<std::unique_ptr<CSimplePolygon>>;
    // The polygons as pointers: changeable only through a changeable layer.
    using PolygonRange = CPointerView<PolygonList, CSimplePolygon>;
    using ConstPolygonRange = CPointerView<const PolygonList, const CSimplePolygon>;

    CPolygonLayer() = default;
    CPolygonLayer(CPolygonLayer&&) noexcept = default;
    CPolygonLayer& operator=(CPolygonLayer&&) noexcept = default;

    uint32_t Count() const { return static_cast<uint32_t>(Polygons_.size()); }
    bool Empty() const { return Polygons_.empty(); }
    ConstPolygonRange Polygons() const { return ConstPolygonRange(Polygons_); }
    PolygonRange Polygons() { return PolygonRange(Polygons_); }
    CSimplePolygon& Polygon(uint32_t i) { return *Polygons_[i]; }
    const CSimplePolygon& Polygon(uint32_t i) const { return *Polygons_[i]; }

    void Add(std::unique_ptr<CSimplePolygon> polygon) { Polygons_.push_back(std::move(polygon)); }
    void Replace(uint32_t i, std::unique_ptr<CSimplePolygon> polygon) { Polygons_[i] = std::move(polygon); }
    void Clear() { Polygons_.clear(); }

    // The union of the polygons' boxes; the empty extent for no polygons.
    CExtent BoundingBox() const;
    // A deep copy of the rings, labels and boxes (the rings' attached values are not copied).
    CPolygonLayer Copy() const;

private:
    PolygonList Polygons_;
};

} // namespace tessaro
