#pragma once

#include <string>

namespace tessaro {

// Whether the projection file (".prj", well-known text) at `path` gives a geographic
// coordinate system: longitudes and latitudes in degrees, in which areas are not areas on the
// ground. True for a text that starts with GEOGCS (the ESRI and WKT1 form) or GEOGCRS (WKT2),
// or with a WKT2 geodetic CRS on an ellipsoidal coordinate system (CS[ellipsoidal, ...]). False for a projected
// system, and for a file that is missing, unreadable or not well-known text: no warning is
// better than a wrong one.
bool IsGeographicProjection(const std::string& path);

} // namespace tessaro
