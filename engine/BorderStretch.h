#pragma once

#include "engine/BorderGraph.h"
#include "engine/EdgeGrid.h"
#include "engine/KeptPoints.h"

#include <cstddef>
#include <vector>

namespace tessaro {

// The safety check of replacing a stretch of a border, points[0] ... points[count - 1], by its
// chord, against the edge grid of the rings as they are: no vertex of any other edge lies in the
// region between the stretch and its chord (nor on its border), and no other edge meets the chord
// but at its ends. The stretch's own edges are those that touch its inner points, which no other
// ring holds. Checks that pass may be applied together, as long as no stretch's ends go: two
// chords that crossed, or a region that came to hold another's points, would each have failed
// its own check.
// `stamps` are the caller's marks for the grid's queries, `inner` room for the stretch's inner
// points: threads with their own may check stretches on one grid at once.
bool StretchIsClear(const CEdgeGrid& grid, CEdgeStamps& stamps, const CPointKey* points, size_t count,
                    std::vector<CPointKey>& inner);

// Whether no kept point lies inside the region between the stretch points[0] ... points[count - 1]
// and its chord: replacing the stretch then leaves every kept point that is not on the border on
// the side of it that it was on.
bool StretchKeepsPointsSides(const CKeptPoints& kept, const CPointKey* points, size_t count);

} // namespace tessaro
