#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class OGRLayer;
class OGRSpatialReference;

namespace tessaro {

class CCompanionLayer;
class CPolygonLayer;
class CRunFileNames;

// The formats the rounds can be exported in through GDAL/OGR, with the input's attributes.
enum class OgrExportFormat { GeoPackage, GeoJson, Shapefile };

// Writes each exported round's deformed layer through OGR with every attribute of the input's
// features, the input's coordinate system and three added fields per feature: the desired
// share, the share of the total area the polygon has in that round, and its relative error
// |d − a| / (d + a) (the run's measure e_i). Features of the input without a polygon of the run
// are written as they were read, with the added fields null. A GeoPackage holds one layer per
// exported round (stem_r) in one file, stem_cartogram.gpkg; GeoJSON and shapefile write one
// file (set) per round, stem_r.geojson and stem_r.shp with .shx, .dbf, .prj and .cpg. The
// layers moved with the map go the same way under the round's name with a suffix of their own
// (a layer of the same GeoPackage, or files of their own). Every file is written under a
// temporary name and renamed into place once complete; the GeoPackage is built in a working
// copy and copied into place after every layer.
class COgrRoundWriter {
public:
    ~COgrRoundWriter();
    COgrRoundWriter(const COgrRoundWriter&) = delete;
    COgrRoundWriter& operator=(const COgrRoundWriter&) = delete;

    // Reads the attributes and coordinate system of layer `layer` (empty: the only one) of
    // `source`. `polygonFeatures` gives the feature (from 0) of each polygon of the run; empty
    // means polygon i is feature i. `desiredShares` holds one share per polygon. Null, with
    // `problem` saying why, when the source cannot be read or does not pair with the polygons.
    static std::unique_ptr<COgrRoundWriter> Open(OgrExportFormat format, const std::string& source,
                                                 const std::string& layer, std::vector<size_t> polygonFeatures,
                                                 std::vector<double> desiredShares, std::string& problem);

    // A writer of companion layers only (no input of its own).
    static std::unique_ptr<COgrRoundWriter> ForCompanions(OgrExportFormat format);

    // The files the export of `rounds` writes, the map's (with an input) and those of the
    // companions named by `suffixes`, for the check against the inputs.
    std::vector<std::string> Targets(const CRunFileNames& names, const std::vector<int>& rounds,
                                     const std::vector<std::string>& suffixes = {}) const;

    // Writes round `round` of `layer`; false after a message saying why. `written` receives
    // the files written. The area shares are measured on `layer`; the geometries written are
    // `geometries` when given (the same polygons in the input's coordinate system, for a run
    // made in another one), else `layer`'s. `crs` (EPSG:n or WKT), when given, is the layer's
    // coordinate system instead of the input's: the run's own, for a layer that stays in it.
    bool WriteRound(const CRunFileNames& names, int round, const CPolygonLayer& layer,
                    std::vector<std::string>& written, const CPolygonLayer* geometries = nullptr,
                    const std::string& crs = {});

    // Writes a companion layer as it stands after round `round`, named as the round's map
    // with `suffix` added (stem_r_airports.shp, layer stem_r_airports of the GeoPackage); `crs`
    // as for WriteRound.
    bool WriteCompanion(const CRunFileNames& names, int round, const CCompanionLayer& companion,
                        const std::string& suffix, std::vector<std::string>& written, const std::string& crs = {});

    // The names of the three added fields, as written (made unique against the input's).
    static constexpr const char* DesiredShareField = "DES_SHARE";
    static constexpr const char* AreaShareField = "AREA_SHARE";
    static constexpr const char* ErrorField = "REL_ERROR";

private:
    struct Source;
    explicit COgrRoundWriter(OgrExportFormat format, std::unique_ptr<Source> source);

    // `made` from `crs` (EPSG:n or WKT) unless it is empty; false after a message when GDAL cannot read it.
    static bool MakeCrs(const std::string& crs, int round, OGRSpatialReference& made);

    // Fills a new layer; false with the reason in the string.
    using LayerFiller = std::function<bool(OGRLayer&, std::string&)>;
    bool WriteLayer(const CRunFileNames& names, int round, const std::string& suffix,
                    const OGRSpatialReference* crs, int geometryType, const LayerFiller& fill,
                    std::vector<std::string>& written);
    bool WritePackageLayer(const CRunFileNames& names, int round, const std::string& suffix,
                           const OGRSpatialReference* crs, int geometryType, const LayerFiller& fill,
                           std::vector<std::string>& written);
    bool WriteFileLayer(const CRunFileNames& names, int round, const std::string& suffix,
                        const OGRSpatialReference* crs, int geometryType, const LayerFiller& fill,
                        std::vector<std::string>& written);

    OgrExportFormat Format_;
    std::unique_ptr<Source> Source_;
    // The GeoPackage being built, round after round, before each copy to its name, and
    // whether it was listed among the files written.
    std::string PackageWork_;
    bool PackageListed_ = false;
};

} // namespace tessaro
