#pragma once

#include "run/RunFileNames.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CNetworkEmfWriter;
class CShpFileTranslator;

// What one round's export left on disk.
struct RoundExportResult {
    std::vector<std::string> Written; // every file written, in order
    int Failures = 0;                 // shapefile, pictures and copies that could not be written
};

// Writes the export set of round `round`, in this order: the network's polygons as a shapefile,
// the quadtree picture (cells only), the polygon picture and the combined picture (each with
// an SVG twin beside it when `withSvg`), and the copies of the input's attribute table and
// projection file, each when the input has one. The pictures draw the displaced map of the
// writer's quadtree. A file that cannot be written is reported by its writer; the export goes
// on with the next one. For an input read through OGR (`ogrProjection` set) there is no table
// or projection file to copy: the projection file is written from that text (ESRI WKT) unless
// it is empty. Without `shapefileSet` only the pictures are written (the layer goes out through
// OGR instead).
RoundExportResult ExportRound(const CRunFileNames& names, int round, CShpFileTranslator& shapefiles,
                              CNetworkEmfWriter& pictures, bool withSvg,
                              const std::optional<std::string>& ogrProjection = std::nullopt,
                              bool shapefileSet = true);

// The shapefile set of round `round` alone: the network's polygons as a shapefile and the
// copies (or, for an input read through OGR, the projection file) as ExportRound writes them.
// For a run made in another coordinate system, whose pictures stay in that system while the
// shapefile goes out in the input's.
RoundExportResult ExportShapefileSet(const CRunFileNames& names, int round, CShpFileTranslator& shapefiles,
                                     const std::optional<std::string>& ogrProjection = std::nullopt);

// The shapefile set of round `round` in a coordinate system other than the input's (a run's
// layer that cannot be taken back into the input's): the shapefile, the copy of the input's
// table when it has one, and `projection` (ESRI WKT) as the projection file unless it is empty.
RoundExportResult ExportShapefileSetIn(const CRunFileNames& names, int round, CShpFileTranslator& shapefiles,
                                       const std::string& projection);

// Copies a file through a temporary beside the target, replacing an older copy only when the
// new one is complete. False when the source cannot be read or the copy written; `problem`,
// when given, then says which file and why.
bool CopyFileWhole(const std::string& source, const std::string& target, std::string* problem = nullptr);

} // namespace tessaro
