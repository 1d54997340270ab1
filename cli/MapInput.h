#pragma once

#include <string>

namespace tessaro {

// How the commands that read a map choose their reader: a .shp goes through the program's own
// shapefile reader, any other input through GDAL/OGR. The other files of a shapefile set
// (.dbf, .shx, .prj, .cpg) name the shapefile only through its .shp.
bool EndsWithShp(const std::string& path);
bool IsShapefileMember(const std::string& path);

// The input is read through OGR: neither a .shp nor another file of a shapefile set.
bool ReadsThroughOgr(const std::string& path);

// The checks before a map is read: --layer (`layer` not empty) is refused for a shapefile, since
// it names a layer of a source read through OGR, and such a source must exist, as a file or a
// folder (the shapefile reader names a missing file itself). GDAL's sources that are not paths
// (virtual paths, connection strings, inline GeoJSON) are refused by name. False after a message.
bool CheckMapInput(const std::string& input, const std::string& layer);

} // namespace tessaro
