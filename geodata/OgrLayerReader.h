#pragma once

#include "geodata/RecordNames.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CNetwork;

// A feature of the source that is not part of the polygon layer, and why.
struct LeftOutFeature {
    size_t Feature = 0; // its place in the layer's reading order, from 0
    std::string Why;    // "an empty geometry", "no geometry", "a Point geometry" ...
};

// What the reader found in the chosen layer of a vector source.
struct OgrPolygonSource {
    std::string LayerName;
    std::string GeometryType; // the layer's declared type: "Polygon", "Multi Polygon", "Unknown (any)" ...
    size_t FeatureCount = 0;
    // The feature (from 0, in reading order) each polygon added to the network came from.
    std::vector<size_t> PolygonFeatures;
    std::vector<LeftOutFeature> LeftOut;
    // Features (from 0) with a hole outside its shell, whose rings were sorted into the separate
    // parts they are.
    std::vector<size_t> Regrouped;
    std::string CrsWkt;      // the layer's coordinate system as WKT; empty without one
    std::string CrsEsriWkt;  // the same in the form of a shapefile's .prj
    bool Geographic = false; // the coordinate system is in degrees
    std::vector<std::string> NumericFields; // integer and real fields, in the layer's order
    std::string SizeFieldName;              // the field that matched the size field; empty for none
    std::vector<std::optional<double>> Sizes; // its value per polygon; nullopt when null or unset
    // The features' names from the layer's name field, chosen as a table's (FindNameField): one
    // per feature read, in reading order; nullopt without a name field.
    std::optional<RecordNames> Names;
};

// One layer of a vector source as a chooser lists it.
struct OgrLayerSummary {
    std::string Name;
    std::string GeometryType;               // "Polygon", "Multi Polygon", "Point", "Unknown (any)" ...
    long long FeatureCount = -1;            // -1 when the source cannot tell without reading
    std::vector<std::string> NumericFields; // integer and real fields, in the layer's order
};

// "feature 4 (a Point geometry), feature 9 (an empty geometry)" for the features the reader left
// out, a long list cut short; empty when none was.
std::string LeftOutFeatureList(const OgrPolygonSource& source);
// "feature 1 (Alabama), feature 9 (Florida)" for the features whose rings were sorted into parts.
std::string RegroupedFeatureList(const OgrPolygonSource& source);

// Reads the polygons of one layer of any vector source GDAL/OGR opens (GeoPackage, GeoJSON,
// FlatGeobuf, ...) into a network, one polygon per polygon or multipolygon feature, in the
// layer's feature order. Curved polygons are read as their linear approximation. Rings are
// turned so that outer rings run clockwise and holes anticlockwise, as in a shapefile, because
// the cartogram's areas are signed by that rule. Features with no geometry, an empty one or
// one of another type are left out and listed. The size field is matched as in a shapefile's
// table (SizeFieldNameMatches, numeric fields only).
class COgrLayerReader {
public:
    // Reads layer `layerName` of `path`, or its only layer when `layerName` is empty. False,
    // with Problem() saying why, when the source cannot be opened, holds no such layer, holds
    // several layers and none was named, or a feature cannot be read; the network may then
    // hold part of the layer.
    bool Read(const std::string& path, const std::string& layerName, const std::string& sizeField, CNetwork& network);
    // Reads the layer's name, type, coordinate system and fields as Read does, but no feature.
    bool ReadFields(const std::string& path, const std::string& layerName);

    const OgrPolygonSource& Source() const { return Source_; }
    const std::string& Problem() const { return Problem_; }

    // The layers of a vector source, in its order; nullopt when it cannot be opened.
    static std::optional<std::vector<std::string>> LayerNames(const std::string& path);
    // The layers of a vector source with their geometry type, feature count and numeric
    // fields; nullopt when it cannot be opened.
    static std::optional<std::vector<OgrLayerSummary>> Describe(const std::string& path);

private:
    // Read, or ReadFields when `network` is null.
    bool Load(const std::string& path, const std::string& layerName, const std::string& sizeField, CNetwork* network);

    OgrPolygonSource Source_;
    std::string Problem_;
};

} // namespace tessaro
