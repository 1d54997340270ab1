#pragma once

#include "geometry/Point2D.h"

#include <vector>

namespace tessaro {

class CPolygonRing;

// Two rings as one vertex list each, of equal length, so that a drawing can move every vertex
// of the first straight to its partner in the second.
struct RingKeyframes {
    std::vector<CPoint2D> From;
    std::vector<CPoint2D> To;
};

// Pairs the vertices of ring `from` with those of ring `to` by the fraction of the perimeter
// walked from each ring's first vertex: the stops of both rings are merged, a stop of one ring
// meeting the other at the point that lies at the same fraction of its perimeter. `From` holds
// every vertex of `from` exactly, in order, plus points on its edges; `To` the same of `to`.
// The closing vertex is not repeated. A ring of no length takes its stops at even fractions.
// Cost O(n + m). Rings of fewer than two vertices give empty keyframes.
RingKeyframes MatchRingsByArcLength(const CPolygonRing& from, const CPolygonRing& to);

} // namespace tessaro
