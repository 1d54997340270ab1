#pragma once

#include "geometry/ShapeLayer.h"

#include <memory>
#include <string>
#include <vector>

class OGRFeature;
class OGRSpatialReference;

namespace tessaro {

// A layer drawn with the map (points, lines or polygons read through GDAL/OGR) whose vertices
// the run moves round by round with the map's transformation, never feeding them back into it.
// The features stay in memory with every attribute; the vertices are handed out and taken back
// as one flat x, y buffer in a fixed order.
class CCompanionLayer {
public:
    ~CCompanionLayer();
    CCompanionLayer(const CCompanionLayer&) = delete;
    CCompanionLayer& operator=(const CCompanionLayer&) = delete;

    // Reads layer `layer` (empty: the only one) of `path`. Null, with `problem` saying why,
    // when it cannot be opened or read whole or holds no such layer.
    static std::unique_ptr<CCompanionLayer> Open(const std::string& path, const std::string& layer,
                                                 std::string& problem);

    const std::string& Path() const { return Path_; }
    const std::string& LayerName() const { return LayerName_; }
    // The layer's coordinate system; null without one.
    const OGRSpatialReference* Crs() const;
    const std::vector<std::unique_ptr<OGRFeature>>& Features() const { return Features_; }
    // The type the layer declares (OGRwkbGeometryType).
    int GeometryType() const { return GeometryType_; }

    // Whether the layer's coordinate system is the one `definition` gives (WKT of either kind);
    // true when either is unknown, since nothing can be compared then.
    bool SameCrsAs(const std::string& definition) const;

    // Every vertex of every geometry, in feature order.
    std::vector<double> Vertices() const;
    // The geometry as it stands, for drawing.
    CShapeLayer Shapes() const;
    // Puts the buffer Vertices() gave, moved, back into the geometries.
    void SetVertices(const std::vector<double>& vertices);

private:
    CCompanionLayer() = default;

    std::string Path_;
    std::string LayerName_;
    struct CrsReleaser {
        void operator()(OGRSpatialReference* crs) const;
    };
    std::unique_ptr<OGRSpatialReference, CrsReleaser> Crs_;
    std::vector<std::unique_ptr<OGRFeature>> Features_;
    int GeometryType_ = 0;
};

} // namespace tessaro
