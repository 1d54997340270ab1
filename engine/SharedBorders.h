#pragma once

#include <cstdint>

namespace tessaro {

class CPolygonLayer;
class CVertexUseTable;

// Gives every border the same vertices on both sides: vertices within `tolerance` of each other
// become one (the smallest by coordinates), so a border drawn twice with rounding differences is
// drawn once; and wherever a vertex of one ring lies within `tolerance` of an edge of another
// ring (a T-junction: the neighbour's border passes through it without a vertex there), the
// vertex is inserted into that edge. An edge of one ring is then an edge of every ring along it,
// so a border can be cut and thinned alike from both sides. Rings of fewer than four points are
// left alone. Returns the number of points moved or inserted.
int64_t ShareBorderVertices(CPolygonLayer& layer, double tolerance);

// Removes vertices that bend their ring by less than `relativeTolerance` times the square root
// of the area of the smallest polygon holding them (their distance from the chord of their two
// neighbours), without changing how the rings meet:
// - a vertex goes only when every ring holding it has the same two neighbours around it (one
//   border of two polygons, or a coast), it starts no ring, no ring holding it is short, and it
//   does not lie on the layer's box (which therefore stays as it is);
// - the triangle it cuts off holds no other vertex and no other edge crosses its chord, so no
//   ring comes to cross another or itself;
// - of the vertices whose triangles' boxes touch, one goes per pass, in the order of their
//   coordinates (so a dense border loses every third or fourth bend per pass).
// Every decision rests on coordinates alone, so both rings of a border decide alike. Returns the
// number of vertices removed.
int64_t SimplifySharedBorders(CPolygonLayer& layer, double relativeTolerance);
// The same, with the border graph's table kept by the caller from pass to pass.
int64_t SimplifySharedBorders(CPolygonLayer& layer, double relativeTolerance, CVertexUseTable& uses);

} // namespace tessaro
