#include "engine/GridDisplacement.h"
#include "engine/QuadTree.h"
#include "engine/QuadTreeTransformer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tessaro {
namespace {

// 1 + b t + c t^2 falls to the ratio first at the returned t, or stays above it up to the limit.
TEST(FoldGuard, FirstDropIsTheFirstCrossingOfTheRatio)
{
    struct Case {
        double B, C, Limit, Expected;
    } cases[] = {
        {-1.0, 0.0, 1.0, 0.5},        // linear shrink: 1 - t = 0.5
        {-1.0, 0.0, 0.25, 0.25},      // not reached before the limit
        {1.0, 0.0, 1.0, 1.0},         // growing
        {0.0, -0.5, 2.0, 1.0},        // 1 - 0.5 t^2 = 0.5 at t = 1
        {-3.0, 2.0, 10.0, (3.0 - std::sqrt(5.0)) / 4.0}, // 2t^2 - 3t + 0.5 = 0
        {-0.5, 1.0, 10.0, 10.0},      // dips to 15/16, never to 0.5
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(CGridDisplacement::FirstDrop(c.B, c.C, 0.5, c.Limit), c.Expected, 1e-15)
            << "b " << c.B << ", c " << c.C;
    }
}

// A tree with leaves of depth 2 to 5 over the unit square: finer near one corner, so sides of
// coarse leaves carry hanging vertices.
void BuildGradedTree(CQuadTree& tree)
{
    std::vector<double> points;
    for (int k = 0; k < 40; ++k) {
        const double t = k / 40.0;
        points.insert(points.end(), {0.05 + 0.2 * t * t, 0.07 + 0.15 * t});
    }
    CTreeRect rect{0.0, 1.0, 1.0, 0.0};
    ASSERT_TRUE(tree.BuildForPoints(rect, 5, static_cast<int>(points.size() / 2), points.data()));
    tree.DuplicateMap(true);
}

// A rough displacement: any field, however it bends the grid, must come out unfolded.
std::vector<double> RoughDisplacement(const CQuadTree& tree, unsigned seed, double size)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> push(-size, size);
    std::vector<double> d(2 * static_cast<size_t>(tree.NextVertexId));
    for (double& value : d)
        value = push(random);
    return d;
}

// Twice the signed area of every triangle the transformation uses, on map 1.
std::vector<double> TriangleAreas(const CQuadTree& tree)
{
    std::vector<const CQuadTreeNode*> leaves;
    tree.Leaves(leaves);
    std::vector<double> areas;
    for (const CQuadTreeNode* leaf : leaves) {
        std::array<CPoint2D, 4> c{};
        if (!tree.NodeCorners(leaf, c, DisplacedMap) || leaf->SplitCorner < 0)
            continue;
        for (int t = 0; t < 2; ++t) {
            const auto k = SplitTriangleCorners(leaf->SplitCorner, t);
            const CPoint2D& a = c[k[0]];
            const CPoint2D& b = c[k[1]];
            const CPoint2D& e = c[k[2]];
            areas.push_back((b.X - a.X) * (e.Y - a.Y) - (b.Y - a.Y) * (e.X - a.X));
        }
    }
    return areas;
}

// Every triangle keeps at least half its area at every step up to the guarded one, for both
// guards; the signed areas of a leaf's triangles have one sign on the undeformed grid.
TEST(FoldGuard, NoTriangleFallsBelowHalfItsAreaOnTheWayToTheGuardedStep)
{
    for (const FoldGuardKind kind : {FoldGuardKind::Global, FoldGuardKind::Local}) {
        for (unsigned seed : {1u, 2u, 3u}) {
            CQuadTree tree;
            BuildGradedTree(tree);
            CGridDisplacement grid(RoughDisplacement(tree, seed, 0.3));
            grid.ApplyHangingContinuity(tree);
            grid.FixSplits(tree, 1.0);
            grid.StoreDisplaced(tree, 0.0);
            const std::vector<double> before = TriangleAreas(tree);
            const double step = grid.Guard(tree, 1.0, kind, 0.5);
            EXPECT_GT(step, 0.0);
            for (const double t : {0.25, 0.5, 0.75, 1.0}) {
                grid.StoreDisplaced(tree, t);
                const std::vector<double> after = TriangleAreas(tree);
                ASSERT_EQ(after.size(), before.size());
                for (size_t k = 0; k < after.size(); ++k)
                    ASSERT_GE(after[k] / before[k], 0.5 - 1e-9)
                        << "guard " << static_cast<int>(kind) << ", seed " << seed << ", t " << t << ", triangle " << k;
            }
        }
    }
}

// The local guard holds back only around the fold: far from it the grid takes the whole step.
TEST(FoldGuard, TheLocalGuardLeavesTheGridAwayFromTheFoldAlone)
{
    CQuadTree tree;
    BuildGradedTree(tree);
    // Everything moves right by 0.01; one vertex in the fine corner jumps far enough to fold.
    std::vector<double> d(2 * static_cast<size_t>(tree.NextVertexId), 0.0);
    for (size_t k = 0; k < d.size(); k += 2)
        d[k] = 0.01;
    int folding = -1;
    tree.VertexMaps[UndeformedMap].ForEach([&](int id, const CPoint2D& p) {
        if (folding < 0 && p.X > 0.1 && p.X < 0.2 && p.Y > 0.1 && p.Y < 0.2)
            folding = id;
    });
    ASSERT_GE(folding, 0);
    d[2 * static_cast<size_t>(folding)] = 0.5;
    CGridDisplacement local(d);
    local.ApplyHangingContinuity(tree);
    local.FixSplits(tree, 1.0);
    EXPECT_EQ(local.Guard(tree, 1.0, FoldGuardKind::Local, 0.5), 1.0);
    EXPECT_LT(local.Effective()[2 * static_cast<size_t>(folding)], 0.5);
    // The far corner (1, 1) keeps its push.
    EXPECT_EQ(local.Effective()[2 * static_cast<size_t>(tree.TopRight)], 0.01);
    CGridDisplacement global(d);
    global.ApplyHangingContinuity(tree);
    global.FixSplits(tree, 1.0);
    EXPECT_LT(global.Guard(tree, 1.0, FoldGuardKind::Global, 0.5), 1.0);
    EXPECT_LT(global.Effective()[2 * static_cast<size_t>(tree.TopRight)], 0.01);
}

// Leaves held still keep every corner where it was, whatever the field and the guard: the map
// is the identity on them. The guard still keeps every triangle at half its area, and a push
// against the held leaves holds back only the grid around them, not the far side of the map.
TEST(FoldGuard, HeldLeavesStayStillAndHoldBackOnlyTheirSurroundings)
{
    struct Case {
        FoldGuardKind Kind;
        unsigned Seed;
    } cases[] = {{FoldGuardKind::Global, 1}, {FoldGuardKind::Global, 2}, {FoldGuardKind::Local, 1},
                 {FoldGuardKind::Local, 2}, {FoldGuardKind::None, 3}};
    // A box in the fine corner, where leaves of several depths meet.
    const double minX = 0.09, minY = 0.1, maxX = 0.16, maxY = 0.15;
    for (const Case& c : cases) {
        CQuadTree tree;
        BuildGradedTree(tree);
        // A push right, against the held leaves, strong enough to fold the leaves beside them,
        // plus a rough part.
        std::vector<double> d = RoughDisplacement(tree, c.Seed, c.Kind == FoldGuardKind::None ? 0.005 : 0.02);
        for (size_t k = 0; k < d.size(); k += 2)
            d[k] += c.Kind == FoldGuardKind::None ? 0.005 : 0.05;
        CGridDisplacement grid(d);
        grid.ApplyHangingContinuity(tree);
        grid.FixSplits(tree, 1.0);
        grid.StoreDisplaced(tree, 0.0);
        const std::vector<double> before = TriangleAreas(tree);
        grid.HoldStill(tree, minX, minY, maxX, maxY);
        const double step = grid.Guard(tree, 1.0, c.Kind, 0.5);
        grid.StoreDisplaced(tree, 1.0);
        const std::string name = "guard " + std::to_string(static_cast<int>(c.Kind)) + ", seed " + std::to_string(c.Seed);

        std::vector<const CQuadTreeNode*> leaves;
        tree.Leaves(leaves);
        int held = 0;
        for (const CQuadTreeNode* leaf : leaves) {
            std::array<CPoint2D, 4> from{}, to{};
            ASSERT_TRUE(tree.NodeCorners(leaf, from, UndeformedMap));
            ASSERT_TRUE(tree.NodeCorners(leaf, to, DisplacedMap));
            double x0 = 1.0, y0 = 1.0, x1 = 0.0, y1 = 0.0;
            for (const CPoint2D& p : from) {
                x0 = std::min(x0, p.X), y0 = std::min(y0, p.Y), x1 = std::max(x1, p.X), y1 = std::max(y1, p.Y);
            }
            if (x1 < minX || x0 > maxX || y1 < minY || y0 > maxY)
                continue;
            ++held;
            for (size_t k = 0; k < 4; ++k) {
                EXPECT_EQ(to[k].X, from[k].X) << name;
                EXPECT_EQ(to[k].Y, from[k].Y) << name;
            }
        }
        EXPECT_GT(held, 4) << name;
        if (c.Kind == FoldGuardKind::None)
            continue;
        const std::vector<double> after = TriangleAreas(tree);
        ASSERT_EQ(after.size(), before.size());
        for (size_t k = 0; k < after.size(); ++k)
            ASSERT_GE(after[k] / before[k], 0.5 - 1e-9) << name << ", triangle " << k;
        // The far corner (1, 1) keeps its whole push.
        EXPECT_EQ(step, 1.0) << name;
        EXPECT_EQ(grid.Effective()[2 * static_cast<size_t>(tree.TopRight)], d[2 * static_cast<size_t>(tree.TopRight)])
            << name;
    }
}

// A fine grid (leaves a 256th wide on the left half, a 64th on the right, so hanging vertices
// along the middle; some 70,000 triangles, enough for several workers) under a field that folds
// many of its triangles: the local guard needs several passes, comes out the same bits on any
// number of threads, and leaves no triangle below the ratio (a later pass that passed over a
// triangle whose corners moved, hanging ones included, would leave one folding).
TEST(FoldGuard, TheLocalGuardOfAFineGridIsTheSameOnAnyThreadCount)
{
    CQuadTree tree;
    std::vector<double> points;
    for (int i = 0; i < 256; ++i)
        for (int j = 0; j < 256; ++j)
            if (i < 128 || (i % 4 == 0 && j % 4 == 0))
                points.insert(points.end(), {(i + 0.5) / 256.0, (j + 0.5) / 256.0});
    CTreeRect rect{0.0, 1.0, 1.0, 0.0};
    ASSERT_TRUE(tree.BuildForPoints(rect, 8, static_cast<int>(points.size() / 2), points.data()));
    tree.DuplicateMap(true);
    const std::vector<double> d = RoughDisplacement(tree, 6, 0.8 / 256.0);
    std::vector<double> effective[2];
    std::vector<int> diagonals[2];
    const int threads[2] = {1, 3};
    for (size_t k = 0; k < 2; ++k) {
        CGridDisplacement grid(d, threads[k]);
        grid.ApplyHangingContinuity(tree);
        for (const int split : {0, 2}) { // the diagonals are chosen afresh, whatever a leaf had
            std::vector<CQuadTreeNode*> leaves;
            tree.Leaves(leaves);
            for (CQuadTreeNode* leaf : leaves)
                leaf->SplitCorner = split;
            grid.FixSplits(tree, 1.0);
        }
        std::vector<const CQuadTreeNode*> leaves;
        std::as_const(tree).Leaves(leaves);
        for (const CQuadTreeNode* leaf : leaves)
            diagonals[k].push_back(leaf->SplitCorner);
        grid.StoreDisplaced(tree, 0.0);
        const std::vector<double> before = TriangleAreas(tree);
        ASSERT_GT(before.size(), 60000u);
        EXPECT_EQ(grid.Guard(tree, 1.0, FoldGuardKind::Local, 0.5), 1.0);
        effective[k] = grid.Effective();
        for (const double t : {0.5, 1.0}) {
            grid.StoreDisplaced(tree, t);
            const std::vector<double> after = TriangleAreas(tree);
            for (size_t i = 0; i < after.size(); ++i)
                ASSERT_GE(after[i] / before[i], 0.5 - 1e-9) << threads[k] << " threads, t " << t << ", triangle " << i;
        }
    }
    EXPECT_EQ(diagonals[1], diagonals[0]);
    EXPECT_EQ(effective[1], effective[0]);
    size_t heldBack = 0;
    for (size_t i = 0; i < d.size(); ++i)
        heldBack += effective[0][i] != d[i] ? 1 : 0;
    EXPECT_GT(heldBack, d.size() / 20);
}

// With continuity the deformed grid has no cracks: a hanging vertex stays on the image of the
// side it hangs on, so the points of that side map alike from both leaves.
TEST(HangingContinuity, PointsOnACoarseSideMapAlikeFromBothSides)
{
    for (const bool continuity : {true, false}) {
        CQuadTree tree;
        BuildGradedTree(tree);
        CGridDisplacement grid(RoughDisplacement(tree, 5, 0.02));
        if (continuity)
            grid.ApplyHangingContinuity(tree);
        grid.FixSplits(tree, 1.0);
        grid.StoreDisplaced(tree, 1.0);
        // Points just left and right of x = 0.5 (a side of coarse leaves on the right, of finer
        // ones on the left near the bottom) must land next to each other.
        CQuadTreeTransformer transformer(&tree);
        std::vector<double> in, out;
        for (int k = 1; k < 64; ++k)
            in.insert(in.end(), {0.25 - 1e-12, k / 64.0, 0.25, k / 64.0});
        out = in;
        CTransformOptions options;
        options.FixedSplits = true;
        ASSERT_TRUE(transformer.TransformVertices(in.data(), static_cast<int>(in.size() / 2), out.data(), options));
        double gap = 0.0;
        for (size_t k = 0; k + 3 < out.size(); k += 4)
            gap = std::max(gap, std::hypot(out[k + 2] - out[k], out[k + 3] - out[k + 1]));
        if (continuity)
            EXPECT_LT(gap, 1e-9);
        else
            EXPECT_GT(gap, 1e-4) << "the rough field opens a crack where continuity is off";
    }
}

// Leaves held still while the whole map slides far (half its side, against leaves a
// sixty-fourth wide) leave the grid around them no room: the guarded step collapses. Letting the
// holds go gives the slide back; handing them back holds the same leaves again.
TEST(FoldGuard, HoldsLetGoAndHandedBackInAMapThatSlides)
{
    CQuadTree tree;
    std::vector<double> points;
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j)
            points.insert(points.end(), {(i + 0.5) / 64.0, (j + 0.5) / 64.0});
    CTreeRect rect{0.0, 1.0, 1.0, 0.0};
    ASSERT_TRUE(tree.BuildForPoints(rect, 6, static_cast<int>(points.size() / 2), points.data()));
    tree.DuplicateMap(true);
    std::vector<double> d = RoughDisplacement(tree, 4, 0.001);
    for (size_t k = 0; k < d.size(); k += 2)
        d[k] += 0.5;
    CGridDisplacement grid(d);
    grid.ApplyHangingContinuity(tree);
    grid.FixSplits(tree, 1.0);
    const double free = grid.Guard(tree, 1.0, FoldGuardKind::Global, 0.2);
    EXPECT_GT(free, 0.9);
    grid.HoldStill(tree, 0.45, 0.45, 0.55, 0.55);
    ASSERT_TRUE(grid.HoldsAny());
    const double held = grid.Guard(tree, 1.0, FoldGuardKind::Global, 0.2);
    EXPECT_LT(held, 0.5 * free);
    const std::vector<double> heldEffective = grid.Effective();

    CGridDisplacement::CHolds holds = grid.TakeHolds();
    EXPECT_FALSE(grid.HoldsAny());
    EXPECT_EQ(grid.Guard(tree, 1.0, FoldGuardKind::Global, 0.2), free);
    grid.RestoreHolds(std::move(holds));
    EXPECT_TRUE(grid.HoldsAny());
    EXPECT_EQ(grid.Guard(tree, 1.0, FoldGuardKind::Global, 0.2), held);
    EXPECT_EQ(grid.Effective(), heldEffective);
}

} // namespace
} // namespace tessaro
