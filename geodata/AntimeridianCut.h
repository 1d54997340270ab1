#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class OGRCoordinateTransformation;

namespace tessaro {

class CPolygonLayer;
class CPolygonRing;
class CSimplePolygon;

// Rings that cross the antimeridian of the map's projection (180° from its central meridian:
// ±180° for most world maps, 30° W for one centred on 150° E), found and cut in geographic
// coordinates. A ring whose edge runs from one side of it to the other (a step of more than 180°
// of longitude) and, in the map's coordinates, jumps across the map where its short way round
// would not, was projected across it without a cut. Such a polygon is cut there into the parts it
// is on each side, projected back into the map's system. A long edge that stays on one side
// (Antarctica's southern border in a world map, a wide rectangle) is a real one and is left as it
// is, and so is an edge across ±180° in a projection that runs on across it (a polar map).
class CAntimeridianCut {
public:
    ~CAntimeridianCut();
    CAntimeridianCut(const CAntimeridianCut&) = delete;
    CAntimeridianCut& operator=(const CAntimeridianCut&) = delete;

    // For a map in the coordinate system `mapCrs` (WKT or the text of a .prj); null when it has
    // none or none that turns into longitude and latitude, `problem` then saying why.
    static std::unique_ptr<CAntimeridianCut> Open(const std::string& mapCrs, std::string& problem);

    // Cuts every polygon of `layer` with a ring crossing the antimeridian; returns their indices.
    // A polygon that cannot be cut (a point without longitude, a cut GDAL cannot make) is left
    // as it was and listed in `uncut`.
    std::vector<uint32_t> Cut(CPolygonLayer& layer, std::vector<uint32_t>& uncut) const;

    // Where the map's antimeridian lies, for messages: "180° of longitude", or "30° W, 180° from
    // the projection's central meridian" for a map centred elsewhere.
    std::string AntimeridianText() const;

private:
    struct Transformations;
    explicit CAntimeridianCut(std::unique_ptr<Transformations> transformations);
    // The polygon of rings given in continuous longitude and latitude, cut at ±180° and moved
    // back into the map's system; null when GDAL cannot make the cut.
    std::unique_ptr<CSimplePolygon> CutPolygon(const std::vector<std::vector<double>>& rings) const;
    // Whether the ring's edge that ends at point `end`, given with the ring in continuous
    // longitude and latitude (`lonLat`, as the cut reads it), is torn across the map: its short
    // way round, followed in the map's coordinates, jumps somewhere by more than half the edge's
    // length. True when that cannot be told, and always for a map in degrees, cut at ±180° itself.
    bool TornAcrossMap(const CPolygonRing& ring, const std::vector<double>& lonLat, int32_t end) const;
    // Longitude and latitude into the map's system, made on first use; null when GDAL has none.
    OGRCoordinateTransformation* FromDegrees() const;

    std::unique_ptr<Transformations> Transformations_;
};

} // namespace tessaro
