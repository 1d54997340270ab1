#pragma once

#include "engine/CartoParams.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessaro {

class CQuadTree;
struct CQuadTreeNode;


// The force field's raw displacement D of every grid vertex of a round's quadtree, indexed by
// vertex id, and the displacement E the round applies: map 1 = map 0 + t * E for a try at t
// in (0, 1].
//
// Two rules keep the piecewise-affine map that the displaced grid defines one to one:
// - continuity: a grid vertex in the middle of a side of a coarser leaf (a hanging vertex)
//   moves by the mean of that side's ends, so it stays on the side's image and the map has no
//   crack there;
// - the fold guard: E is held back so that every triangle the transformation will use keeps at
//   least a given share of its area all the way from t = 0 to t = 1. With continuity, the map
//   then keeps its orientation at every try, and polygons moved through it cannot fold over
//   themselves or their neighbours.
class CGridDisplacement {
public:
    // D as the field gave it: two doubles per vertex id, ids 0 ... n-1 all present in map 0. E
    // starts as D. The guard looks at its triangles on up to `threads` workers, with the same
    // outcome on any number.
    explicit CGridDisplacement(std::vector<double> displacement, int threads = 1);

    const std::vector<double>& Raw() const { return D_; }
    const std::vector<double>& Effective() const { return E_; }

    // Finds the hanging vertices (coarse levels first, so a vertex hanging on a side whose ends
    // hang themselves follows their final values) and moves each by the mean of its side's ends;
    // E becomes the settled D.
    void ApplyHangingContinuity(const CQuadTree& tree);

    // Fixes each leaf's diagonal (its SplitCorner) to the one the transformation chooses on its
    // corners moved by step * D. The guard then works on the triangles of these diagonals.
    void FixSplits(CQuadTree& tree, double step);

    // Holds every corner of the leaves that meet the box (undeformed coordinates) still at every
    // later Guard: the map is the identity on those leaves, so what lies in them keeps its area.
    // A hanging corner is held through the ends of its side. Call after FixSplits.
    void HoldStill(const CQuadTree& tree, double minX, double minY, double maxX, double maxY);

    // The vertices held still so far, all let go: the next Guard moves every vertex. Handing them
    // back to RestoreHolds holds them again.
    struct CHolds {
        std::vector<double> Held;
        bool Any = false;
    };
    CHolds TakeHolds();
    void RestoreHolds(CHolds holds);
    bool HoldsAny() const { return HoldsAny_; }

    // Sets E = step * D, held back by the guard so that no triangle falls below minAreaRatio of
    // its area anywhere on the way from 0 to E. Returns the step of the whole grid: `step` itself
    // for the local guard and no guard, the largest allowed one for the global guard. With
    // vertices held still, the global guard works as the local one, so that the triangles next
    // to them do not hold the whole grid back.
    double Guard(const CQuadTree& tree, double step, FoldGuardKind kind, double minAreaRatio);

    // Map 1 of the tree := map 0 + t * E.
    void StoreDisplaced(CQuadTree& tree, double t) const;

    // The smallest t in (0, limit] where 1 + b t + c t^2 falls to `ratio` (< 1); `limit` when
    // it stays above.
    static double FirstDrop(double b, double c, double ratio, double limit);

private:
    // A hanging vertex and the ends of the side it hangs on, in the order continuity settles them.
    struct CHanging {
        size_t Middle;
        size_t First;
        size_t Second;
    };
    // One triangle of a leaf as the transformation will cut it: its corner ids and its twice
    // signed undeformed area.
    struct CTriangle {
        std::array<size_t, 3> Ids;
        double Area;
    };

    // A triangle the guard holds back: its place in Triangles_ and the t at which it falls to
    // the ratio.
    struct CShortfall {
        size_t Triangle;
        double Drop;
    };

    void Settle(std::vector<double>& displacement) const;
    // The triangles that fall to the ratio under E, in order: all of them, or, with `moved`,
    // only those with a corner marked in it (per id).
    std::vector<CShortfall> Shortfalls(double minAreaRatio, const std::vector<uint8_t>* moved) const;
    // E := factors times step * D, vertex by vertex, continuity not settled.
    void ScaleEffective(const std::vector<double>& factors, double step);
    // E := factors times step * D, continuity settled; marks in `moved` the ids whose E changed.
    void ApplyFactors(const std::vector<double>& factors, double step, std::vector<uint8_t>& moved);
    static void AppendHangingSides(const CQuadTree& tree, const CQuadTreeNode& node, size_t count,
                                   std::vector<CHanging>& found);
    int SplitCornerAt(const CQuadTreeNode& leaf, double step) const;
    void AppendTriangles(const CQuadTreeNode& leaf, std::vector<CTriangle>& triangles) const;
    // The smallest t in (0, 1] at which the triangle falls to the ratio under E; 1 when none.
    double Drop(const CTriangle& triangle, double minAreaRatio) const;
    // Scales E by the largest factor that keeps every triangle at the ratio; returns the factor.
    double CapAll(double minAreaRatio);
    void HoldBack(size_t id, double drop, const std::vector<double>& factors, std::vector<double>& lowered) const;
    void HoldCorner(int id);
    bool Corner(int id, double& x, double& y) const;

    std::vector<double> D_;
    std::vector<double> E_;
    std::vector<CHanging> Hanging_;
    std::vector<int> HangingIndex_; // per id: its entry in Hanging_, or -1
    std::vector<double> Positions_; // the undeformed grid, per id
    std::vector<CTriangle> Triangles_; // of the diagonals fixed last
    std::vector<double> Held_;         // per id: 0 for a vertex held still, else 1
    bool HoldsAny_ = false;
    int Threads_ = 1;
};

} // namespace tessaro
