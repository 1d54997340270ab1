#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

// How the commands that read a map choose their reader: a .shp goes through the program's own
// shapefile reader (but for polygons with heights or measures), any other input through
// GDAL/OGR. The other files of a shapefile set (.dbf, .shx, .prj, .cpg) name the shapefile only
// through its .shp.
bool EndsWithShp(const std::string& path);
bool IsShapefileMember(const std::string& path);

// A .shp whose header gives polygons with heights (PolygonZ) or measures (PolygonM). The program's
// own reader takes the flat kinds only; GDAL/OGR reads these, leaving the heights and measures out.
inline constexpr uint32_t PolygonZType = 15;
inline constexpr uint32_t PolygonMType = 25;
bool HoldsPolygonsWithHeightsOrMeasures(const std::string& path);

// The input is read through OGR: neither a .shp nor another file of a shapefile set, or a .shp of
// polygons with heights or measures.
bool ReadsThroughOgr(const std::string& path);

// The checks before a map is read: --layer (`layer` not empty) is refused for a shapefile, since
// it names a layer of a source read through OGR, and such a source must exist, as a file or a
// folder (the shapefile reader names a missing file itself). GDAL's sources that are not paths
// (virtual paths, connection strings, inline GeoJSON) are refused by name. False after a message.
bool CheckMapInput(const std::string& input, const std::string& layer);

} // namespace tessaro
