#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessaro {

class CPolygonLayer;
class CSimplePolygon;

// The reprojection of one run: the map's coordinate system (the input's) and a projected one
// the cartogram is made in, named by its EPSG code. Coordinates go forward into the projected
// system before the run and back into the map's after it, both through GDAL/OGR's coordinate
// transformation with x the easting or longitude and y the northing or latitude, as shapefiles
// and GeoJSON store them, whatever axis order the authority gives the system.
class CMapProjection {
public:
    ~CMapProjection();
    CMapProjection(const CMapProjection&) = delete;
    CMapProjection& operator=(const CMapProjection&) = delete;

    // `mapCrs` is the map's coordinate system as text OGR reads (WKT of any kind, the contents
    // of a .prj); `target` is "EPSG:n". Null, with `problem` saying why, when the map has no
    // coordinate system, either cannot be understood, the target is not a projected system
    // (areas in square degrees are no areas on the ground) or no transformation joins them.
    static std::unique_ptr<CMapProjection> Open(const std::string& mapCrs, const std::string& target,
                                                std::string& problem);

    // The target as given ("EPSG:5070") and its name ("NAD83 / Conus Albers").
    const std::string& Target() const { return Target_; }
    const std::string& TargetName() const { return TargetName_; }
    // The target as a shapefile's .prj holds it (ESRI WKT): for a layer that stays in it.
    const std::string& TargetPrj() const { return TargetPrj_; }
    // Whether the target is an equal-area projection (Albers, Lambert azimuthal, cylindrical
    // equal-area, Equal Earth, ...): areas on the map are areas on the ground wherever it reaches.
    bool KeepsAreas() const { return KeepsAreas_; }

    // Moves flat x, y pairs into the projected system (Forward) or back into the map's (Back).
    // False, with the buffer unchanged, when a point cannot be moved (outside the projection's
    // domain, or not finite); `failedPoint` then holds its index in pairs.
    bool Forward(std::vector<double>& xy, size_t* failedPoint = nullptr) const;
    bool Back(std::vector<double>& xy, size_t* failedPoint = nullptr) const;
    // Every ring of every polygon, with the ring and polygon boxes made anew. False, with
    // `problem` naming the point and the polygon (both from 1), when a point cannot be moved; the layer is then
    // unchanged.
    bool Forward(CPolygonLayer& layer, std::string& problem) const;
    bool Back(CPolygonLayer& layer, std::string& problem) const;

    // The polygons (from 0) of `back`, the projected layer `projected` moved back into the
    // map's system, that do not come forward again onto `projected` to within a millionth of its
    // size: points the cartogram pushed beyond what the projection covers come back elsewhere.
    // Longitudes past +-180 degrees (see PastAntimeridian) are not compared.
    std::vector<uint32_t> NotRoundTripping(const CPolygonLayer& projected, const CPolygonLayer& back) const;
    // The polygons (from 0) of `back`, in a map kept in degrees, with points past +-180 degrees of
    // longitude: the cartogram pushed them over the projected map's edge, and Back keeps each
    // ring's longitudes continuous there rather than turning the ring inside out across the map.
    std::vector<uint32_t> PastAntimeridian(const CPolygonLayer& back) const;

    // A warning when part of `layer` (in the map's system) lies more than a degree outside the
    // area the target system is made for, where it may distort areas; empty when all of it lies
    // inside or the target states no area. `outsidePolygons`, when given, receives the polygons
    // (from 0, in order) with a point found outside (the points of a large map are sampled).
    std::string AreaOfUseWarning(const CPolygonLayer& layer, std::vector<uint32_t>* outsidePolygons = nullptr) const;

private:
    struct Transformations;
    struct AreaOfUse;
    CMapProjection(std::string target, std::string targetName, std::string targetPrj,
                   std::unique_ptr<Transformations> transformations, std::unique_ptr<AreaOfUse> area);
    bool MoveLayer(CPolygonLayer& layer, bool forward, std::string& problem) const;
    void KeepRingsWhole(const CSimplePolygon& projected, std::vector<double>& xy, double shortEdge) const;
    void SideOfAntimeridian(const std::vector<double>& from, std::vector<double>& xy) const;
    // Whether x, in the map's system, is a longitude past +-(180 - slack) degrees.
    bool PastTurn(double x, double slack) const;

    std::string Target_;
    std::string TargetName_;
    std::string TargetPrj_;
    bool KeepsAreas_ = false;
    std::unique_ptr<Transformations> Transformations_;
    std::unique_ptr<AreaOfUse> Area_;
};

} // namespace tessaro
