#pragma once

#include "engine/BorderGraph.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tessaro {

class CKeptPoints;
class CPolygonLayer;
class CPolygonRing;
class CVertexUseTable;

// Vertex positions and where each moves to.
using CVertexMoves = std::unordered_map<CPointKey, CPointKey, CPointKeyHash>;

// Appends the ring's points to `points` (x, y pairs) with every vertex in `moves` moved where it
// says; a point that comes to coincide with the one before it is merged. Returns the number of
// vertices moved (0: the points are the ring's own).
int64_t AppendMovedPoints(const CPolygonRing& ring, const CVertexMoves& moves, std::vector<double>& points);

// Vertices of different rings closer than this share of the map's larger side are one vertex to
// the convergence mode, which snaps them together before its first round.
inline constexpr double BorderSnapTolerance = 1e-9;

// Gives every border the same vertices on both sides: vertices within `tolerance` of each other
// become one (the smallest by coordinates), so a border drawn twice with rounding differences is
// drawn once; and wherever a vertex of one ring lies within `tolerance` of an edge of another
// ring (a T-junction: the neighbour's border passes through it without a vertex there), the
// vertex is inserted into that edge. An edge of one ring is then an edge of every ring along it,
// so a border can be cut and thinned alike from both sides. Hairs of no width (a ring turning
// straight back within `tolerance`) are cut. Rings of fewer than four points are left alone.
// Returns the number of points moved or inserted.
int64_t ShareBorderVertices(CPolygonLayer& layer, double tolerance);

// Removes vertices that bend their ring by less than `relativeTolerance` times the square root
// of the area of the smallest ring or polygon holding them (their distance from the chord that
// replaces them), without changing how the rings meet:
// - a vertex goes only when every ring holding it has the same two neighbours around it (one
//   border of two polygons, or a coast), it starts no ring, no ring holding it is short, and it
//   does not lie on the layer's box (which therefore stays as it is);
// - the runs of such vertices between two that stay are thinned as Douglas and Peucker thin a
//   line, one chord for a stretch whose points all lie within their tolerances of it;
// - a stretch goes only when the region between it and its chord holds no other vertex and no
//   other edge meets the chord, so no ring comes to cross another or itself.
// Every decision rests on coordinates alone, so both rings of a border decide alike, and one pass
// thins a dense border to the few points its bends need. Returns the number of vertices removed
// (from every ring holding them).
int64_t SimplifySharedBorders(CPolygonLayer& layer, double relativeTolerance);
// The same, with the border graph's table kept by the caller from pass to pass, and the chains
// checked on up to `threads` threads (with the same outcome on any number); with `kept`, no
// stretch goes whose region holds one of its points, so each stays on its side of every border.
int64_t SimplifySharedBorders(CPolygonLayer& layer, double relativeTolerance, CVertexUseTable& uses, int threads,
                              const CKeptPoints* kept = nullptr);

} // namespace tessaro
