#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

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
// file (set) per round, stem_r.geojson and stem_r.shp with .shx, .dbf, .prj and .cpg. Every
// file is written under a temporary name and renamed into place once complete.
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

    // The files the export of `rounds` writes (for the check against the inputs).
    std::vector<std::string> Targets(const CRunFileNames& names, const std::vector<int>& rounds) const;

    // Writes round `round` of `layer`; false after a message saying why. `written` receives
    // the files written.
    bool WriteRound(const CRunFileNames& names, int round, const CPolygonLayer& layer,
                    std::vector<std::string>& written);

    // The names of the three added fields, as written (made unique against the input's).
    static constexpr const char* DesiredShareField = "DES_SHARE";
    static constexpr const char* AreaShareField = "AREA_SHARE";
    static constexpr const char* ErrorField = "REL_ERROR";

private:
    struct Source;
    explicit COgrRoundWriter(OgrExportFormat format, std::unique_ptr<Source> source);

    bool WritePackageRound(const CRunFileNames& names, int round, const CPolygonLayer& layer,
                           std::vector<std::string>& written);
    bool WriteFileRound(const CRunFileNames& names, int round, const CPolygonLayer& layer,
                        std::vector<std::string>& written);

    OgrExportFormat Format_;
    std::unique_ptr<Source> Source_;
    // The GeoPackage being built, round after round, before each copy to its name.
    std::string PackageWork_;
};

} // namespace tessaro
