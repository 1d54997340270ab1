#pragma once

#include <cstdint>
#include <vector>

namespace tessaro {

class CPolygonLayer;
class CPolygonRing;

// Whether a ring crosses or touches itself, runs out and straight back (a spike), or has no
// area, as a check of the written file would find it.
bool RingIsInvalid(const CPolygonRing& ring);

// Per ring of the layer, in layer order (the rings of the first polygon, then of the next): 1 for
// an invalid ring. The rings are checked on up to `threads` threads.
std::vector<uint8_t> FindInvalidRings(const CPolygonLayer& layer, int threads);

// Cuts the small loops a map's round can leave where two sides of a ring run closer than its
// straight edges can follow (the tip of a needle squeezed between neighbours, whose sides come to
// cross): for every ring flagged in `invalid` and not in `leaveAlone`, each proper crossing of two of its edges whose
// smaller loop holds at most `maxLoopShare` of the ring's area has that loop's vertices moved to
// the crossing point, in every ring that holds them, so the borders of the neighbours stay shared
// and nothing opens or overlaps. The ring keeps its larger part, less the loop.
//
// A pass whose moves would leave a ring invalid that was valid before it, or too short to be a
// ring, is taken back whole. `invalid` (per ring in layer order) is brought up to date for the
// rings the cuts touched. Returns the number of loops cut.
int CutSmallLoops(CPolygonLayer& layer, std::vector<uint8_t>& invalid, const std::vector<uint8_t>& leaveAlone,
                  double maxLoopShare);

} // namespace tessaro
