#pragma once

#include <memory>

class OGRLinearRing;

namespace tessaro {

class CPolygonRing;

// One of our rings from an OGR ring, turned to run clockwise (`outer`) or anticlockwise (a
// hole) by its signed area: a ring that crosses itself is turned by the area the cartogram
// measures, not by the turn at one vertex, which may lie in a lobe that runs the other way.
std::unique_ptr<CPolygonRing> RingFromOgr(const OGRLinearRing& source, bool outer);

} // namespace tessaro
