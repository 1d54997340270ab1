#pragma once

#include "geometry/Point2D.h"
#include "platform/Feedback.h"

#include <array>
#include <mutex>

namespace tessaro {

class CQuadTree;

// How vertices are carried from one map of the tree to another.
struct CTransformOptions {
    int FromMap = 0;       // the undeformed grid
    int ToMap = 1;         // the displaced grid
    bool UseCache = true;  // keep each leaf's affine maps for the rest of the call
    int SearchLevels = 3;  // nodes tried from the last vertex's leaf up before searching from the root
    int Threads = 2;       // workers of TransformVerticesParallel, at least 2
    const CFeedback* Feedback = nullptr; // a cancel leaves the rest of the output untransformed
    // Each leaf is cut along the diagonal its SplitCorner names (where set) instead of one
    // chosen on its displaced corners.
    bool FixedSplits = false;
    // Every worker keeps its own leaf maps instead of sharing one cache under the lock: a leaf
    // two workers meet is computed twice, but no worker waits. Same bits either way.
    bool PrivateCaches = false;
};

// The corner a leaf's diagonal starts from: the first non-acute corner of its displaced
// quadrilateral (one exists in every convex quadrilateral), so neither triangle folds over
// when the cell is sheared; 3 when none of the first three is.
int ChooseSplitCorner(const std::array<CPoint2D, 4>& displaced);

// Corner indices (0 bottom-left, 1 top-left, 2 top-right, 3 bottom-right) of the first
// triangle (k+2, k-1, k) or the second (k+2, k+1, k) of a leaf cut from corner k.
std::array<size_t, 3> SplitTriangleCorners(int k, int triangle);

// Moves map vertices with the deformed quadtree: each leaf is cut along one diagonal into two
// triangles, and a vertex follows the affine map that carries its triangle's undeformed corners
// (one vertex map of the tree) onto their displaced positions (another). The affine maps are
// cached per leaf for one call, so each costs one 3 x 3 inverse and one product per round.
class CQuadTreeTransformer {
public:
    explicit CQuadTreeTransformer(CQuadTree* treeRoot) : TreeRoot(treeRoot) {}

    CQuadTree* TreeRoot;
    // Guards the leaf cache that the workers of TransformVerticesParallel share.
    std::mutex CacheLock;

    // Transforms n flat points from `in` into `out`, which must hold a copy of `in` beforehand:
    // a vertex outside the root or in no triangle keeps the position found there. False when
    // n < 1, an array or map is missing, or a leaf lacks a corner in either map (later vertices
    // are then left as they are). The tree's CurrentMap is set to the undeformed map for the
    // call and restored on every way out. Threads is not read.
    bool TransformVertices(const double* in, int n, double* out, const CTransformOptions& options);

    // The same on max(Threads, 2) workers, each on its own contiguous chunk with its own cursor
    // leaf, sharing one leaf cache under CacheLock. Gives the same bits for any thread count.
    bool TransformVerticesParallel(const double* in, int n, double* out, const CTransformOptions& options);

private:
    bool Transform(const double* in, int n, double* out, const CTransformOptions& options, int workers);
};

} // namespace tessaro
