#include "engine/ExactImage.h"
#include "engine/BorderGraph.h"
#include "engine/KeptPoints.h"
#include "engine/QuadTree.h"
#include "engine/QuadTreeTransformer.h"
#include "engine/SharedBorders.h"
#include "geometry/PolygonLayer.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

namespace tessaro {
namespace {

using test::MakePolygon;

std::vector<CPoint2D> PointsOf(const CPolygonRing& ring)
{
    std::vector<CPoint2D> points;
    for (int32_t i = 0; i < ring.PointCount(); ++i)
        points.push_back(ring.Point(i));
    return points;
}

std::set<std::pair<double, double>> PointSet(const CPolygonRing& ring)
{
    std::set<std::pair<double, double>> points;
    for (int32_t i = 0; i < ring.PointCount(); ++i)
        points.emplace(ring.Point(i).X, ring.Point(i).Y);
    return points;
}

// Two rectangles 4 high sharing a border at x = 1 drawn with `segments` segments, every other
// vertex `bend` to the right: the left from x = 0, the right to x = `rightEdge`.
CPolygonLayer WavyPair(int segments, double bend, double rightEdge)
{
    std::vector<double> border;
    for (int k = 0; k <= segments; ++k)
        border.insert(border.end(), {1.0 + ((k % 2 == 1) ? bend : 0.0), 4.0 - 4.0 * k / segments});
    std::vector<double> left{0, 0, 0, 4};
    left.insert(left.end(), border.begin(), border.end());
    left.insert(left.end(), {0, 0});
    std::vector<double> right{1, 4, rightEdge, 4, rightEdge, 0, 1, 0};
    for (int k = segments - 1; k >= 1; --k)
        right.insert(right.end(), {border[2 * static_cast<size_t>(k)], border[2 * static_cast<size_t>(k) + 1]});
    right.insert(right.end(), {1, 4});
    CPolygonLayer layer;
    layer.Add(MakePolygon({left}));
    layer.Add(MakePolygon({right}));
    return layer;
}

// The layer of one-ring polygons turned by `angle` (radians) about the origin and then moved by
// (dx, dy): borders that ran along the axes run aslant, far from the origin.
CPolygonLayer Turned(const CPolygonLayer& layer, double angle, double dx, double dy)
{
    CPolygonLayer turned;
    for (uint32_t p = 0; p < layer.Count(); ++p) {
        std::vector<double> ring;
        for (const CPoint2D& v : PointsOf(layer.Polygon(p).Ring(0)))
            ring.insert(ring.end(), {v.X * std::cos(angle) - v.Y * std::sin(angle) + dx,
                                     v.X * std::sin(angle) + v.Y * std::cos(angle) + dy});
        turned.Add(MakePolygon({ring}));
    }
    return turned;
}

// Crossing-number test against a ring.
bool Inside(const CPolygonRing& ring, const CPoint2D& p)
{
    bool inside = false;
    for (int32_t i = 0; i + 1 < ring.PointCount(); ++i) {
        const CPoint2D a = ring.Point(i), b = ring.Point(i + 1);
        if ((a.Y > p.Y) != (b.Y > p.Y) && a.X + (p.Y - a.Y) * (b.X - a.X) / (b.Y - a.Y) > p.X)
            inside = !inside;
    }
    return inside;
}

// Which triangle of which leaf holds p, on the undeformed map: the leaf's address and 0 or 1.
std::pair<const CQuadTreeNode*, int> TriangleOf(CQuadTree& tree, const CPoint2D& p)
{
    const CQuadTreeNode* leaf = tree.LocateLeaf(nullptr, p.X, p.Y, 3);
    std::array<CPoint2D, 4> c{};
    tree.NodeCorners(leaf, c, UndeformedMap);
    const auto k = SplitTriangleCorners(leaf->SplitCorner, 0);
    const CPoint2D& from = c[k[0]];
    const CPoint2D& to = c[k[2]];
    const double side = (to.X - from.X) * (p.Y - from.Y) - (to.Y - from.Y) * (p.X - from.X);
    return {leaf, side > 0.0 ? 0 : side < 0.0 ? 1 : -1};
}

// Two polygons sharing a long slanted border over a tree of mixed depths.
struct CTwoPolygons {
    CPolygonLayer Layer;
    CQuadTree Tree;
    CTwoPolygons()
    {
        // Left and right of the border (0.1, 0.05) - (0.93, 0.97), both clockwise.
        Layer.Add(MakePolygon({{0.02, 0.02, 0.02, 0.98, 0.93, 0.97, 0.1, 0.05, 0.02, 0.02}}));
        Layer.Add(MakePolygon({{0.1, 0.05, 0.93, 0.97, 0.98, 0.98, 0.98, 0.02, 0.1, 0.05}}));
        // Fine leaves near the bottom left, coarse elsewhere; every leaf cut from corner 1.
        std::vector<double> points{0.1, 0.1, 0.12, 0.11, 0.2, 0.3, 0.9, 0.9};
        CTreeRect rect{0.0, 1.0, 1.0, 0.0};
        const int depths[] = {6, 6, 4, 2};
        Tree.BuildForPointsAdaptive(rect, 6, 4, points.data(), depths);
        std::vector<CQuadTreeNode*> leaves;
        Tree.Leaves(leaves);
        for (CQuadTreeNode* leaf : leaves)
            leaf->SplitCorner = 1;
    }
};

// After the cut every edge lies in one triangle, so the piecewise-affine map moves it straight;
// the border gets the same points in both rings though they run along it in opposite ways.
TEST(ExactImage, EveryEdgeEndsInOneTriangleAndABorderIsCutAlikeFromBothSides)
{
    CTwoPolygons map;
    const int64_t inserted = InsertLeafCrossings(map.Layer, map.Tree);
    EXPECT_GT(inserted, 20);
    for (uint32_t i = 0; i < 2; ++i) {
        const std::vector<CPoint2D> points = PointsOf(map.Layer.Polygon(i).Ring(0));
        for (size_t k = 0; k + 1 < points.size(); ++k) {
            // The middle of each edge is inside a triangle that holds both of its ends.
            const CPoint2D mid{(points[k].X + points[k + 1].X) / 2, (points[k].Y + points[k + 1].Y) / 2};
            const auto [leaf, triangle] = TriangleOf(map.Tree, mid);
            std::array<CPoint2D, 4> c{};
            map.Tree.NodeCorners(leaf, c, UndeformedMap);
            for (const CPoint2D& end : {points[k], points[k + 1]}) {
                const double slack = 1e-12;
                EXPECT_TRUE(end.X >= c[0].X - slack && end.X <= c[2].X + slack && end.Y >= c[0].Y - slack &&
                            end.Y <= c[2].Y + slack)
                    << "polygon " << i << ", edge " << k << " leaves its leaf";
                const auto k0 = SplitTriangleCorners(leaf->SplitCorner, 0);
                const double side =
                    (c[k0[2]].X - c[k0[0]].X) * (end.Y - c[k0[0]].Y) - (c[k0[2]].Y - c[k0[0]].Y) * (end.X - c[k0[0]].X);
                EXPECT_TRUE(triangle == 0 ? side >= -slack : side <= slack)
                    << "polygon " << i << ", edge " << k << " crosses its leaf's diagonal";
            }
        }
    }
    // The shared border: the points of each ring on the line between its two ends.
    const auto onBorder = [](const CPolygonRing& ring) {
        std::set<std::pair<double, double>> points;
        for (const auto& [x, y] : PointSet(ring))
            if (std::fabs((0.93 - 0.1) * (y - 0.05) - (0.97 - 0.05) * (x - 0.1)) < 1e-12)
                points.emplace(x, y);
        return points;
    };
    EXPECT_EQ(onBorder(map.Layer.Polygon(0).Ring(0)), onBorder(map.Layer.Polygon(1).Ring(0)));
    EXPECT_GT(onBorder(map.Layer.Polygon(0).Ring(0)).size(), 10u);
}

// A T-junction (a vertex of one ring on the edge of another) becomes a shared vertex.
TEST(SharedBorders, AVertexOnANeighboursEdgeIsGivenToTheNeighbour)
{
    CPolygonLayer layer;
    layer.Add(MakePolygon({{0, 0, 0, 2, 1, 2, 1, 1, 1, 0, 0, 0}})); // has (1, 1) on the border x = 1
    layer.Add(MakePolygon({{1, 0, 1, 2, 2, 2, 2, 0, 1, 0}}));       // runs (1, 2) - (1, 0) straight
    layer.Add(MakePolygon({{2, 0, 2, 2, 3, 2, 3, 0, 2, 0}}));       // shares a whole edge: nothing to do
    EXPECT_EQ(ShareBorderVertices(layer, 1e-9), 1);
    const std::vector<CPoint2D> right = PointsOf(layer.Polygon(1).Ring(0));
    ASSERT_EQ(right.size(), 6u);
    // (1, 0) (1, 1) (1, 2) (2, 2) (2, 0) (1, 0): in its place along the edge.
    EXPECT_EQ(right[1].X, 1.0);
    EXPECT_EQ(right[1].Y, 1.0);
    EXPECT_EQ(layer.Polygon(1).TotalPointCount(), 6);
    EXPECT_EQ(ShareBorderVertices(layer, 1e-9), 0);
}

// Where a border meets the coast, a ring may run a short loop out of the junction and pass back
// by the junction within the tolerance (a country's corner in a world map). The neighbour holds
// the junction too, but the ring already has it: a second copy on the passing edge would make the
// ring touch itself, and the ring stays as it was.
TEST(SharedBorders, AJunctionIsNotInsertedIntoARingThatHoldsItAndPassesByIt)
{
    const double e = 1e-8; // how far the passing edge runs beside the junction (0, 0)
    // (-4, -3) - (0, 0) - (-2, 1.2) - (-1, 3) - (1, -3) - ...: the edge from (-1, 3) passes by (0, 0).
    const std::vector<double> ring{-4, -3, 0, 0, -2, 1.2, -1 + e, 3, 1 + e, -3, 1, -6, -4, -6, -4, -3};
    CPolygonLayer layer;
    layer.Add(MakePolygon({ring}));
    layer.Add(MakePolygon({{-4, -3, -4, 1.2, -2, 1.2, 0, 0, -4, -3}})); // the neighbour: the border and the junction
    ShareBorderVertices(layer, 1e-6);
    const std::vector<CPoint2D> points = PointsOf(layer.Polygon(0).Ring(0));
    EXPECT_EQ(points.size(), ring.size() / 2);
    std::set<std::pair<double, double>> distinct;
    for (size_t k = 0; k + 1 < points.size(); ++k)
        EXPECT_TRUE(distinct.insert({points[k].X, points[k].Y}).second)
            << "the ring passes twice through (" << points[k].X << ", " << points[k].Y << ")";
    EXPECT_EQ(layer.Polygon(1).TotalPointCount(), 5);
}

// The closed ring of an open ring's coordinates, started at coordinate `start` (x of a point).
std::vector<double> ClosedFrom(const std::vector<double>& open, size_t start)
{
    std::vector<double> ring(open.begin() + static_cast<std::ptrdiff_t>(start), open.end());
    ring.insert(ring.end(), open.begin(), open.begin() + static_cast<std::ptrdiff_t>(start));
    ring.insert(ring.end(), {ring[0], ring[1]});
    return ring;
}

// Snapping is not transitive: a point near two others that are not near each other goes to the
// smaller one, and a narrow wedge between them then runs out to a point and straight back. The
// hair is cut wherever the ring starts (an Alaska coast in a world map had one at its start).
TEST(SharedBorders, ASpikeLeftBySnappingIsCutWhereverTheRingStarts)
{
    // (1.5, 0.6) - (0, 0) - ... - (0.8, 0.5) - (1.5, 0.6): within 1 of each other are (0.8, 0.5)
    // and both ends of the wedge, whose ends are 1.5 apart.
    const std::vector<double> open{1.5, 0.6, 0, 0, 0, -10, 10, -10, 10, 10, 0.8, 0.5};
    for (size_t start = 0; start < open.size(); start += 4) {
        CPolygonLayer layer;
        layer.Add(MakePolygon({ClosedFrom(open, start)}));
        EXPECT_GT(ShareBorderVertices(layer, 1.0), 0);
        const std::vector<CPoint2D> points = PointsOf(layer.Polygon(0).Ring(0));
        ASSERT_EQ(points.size(), 5u) << "starting at point " << start / 2;
        for (size_t k = 0; k + 1 < points.size(); ++k) {
            const CPoint2D& before = points[k == 0 ? points.size() - 2 : k - 1];
            const CPoint2D& after = points[k + 1];
            EXPECT_FALSE(before.X == after.X && before.Y == after.Y)
                << "a spike at point " << k << ", starting at point " << start / 2;
        }
        // What is left is the quadrilateral under the line y = x from (0, 0) to (10, 10).
        double area = 0.0;
        ASSERT_TRUE(layer.Polygon(0).Ring(0).AreaAndCentroid(nullptr, &area));
        EXPECT_DOUBLE_EQ(std::fabs(area), 150.0);
    }
}

// A ring that runs out along a line and part of the way back (a hair of no width, as a county
// boundary made valid still had) is opened or made to cross itself by the next round, whichever
// way rounding goes. The hair's tip is cut before the first round, wherever the ring starts, and
// the area stays as it was.
TEST(SharedBorders, AHairOfNoWidthIsCutWhereverTheRingStarts)
{
    // Clockwise: the 4 x 4 square and a 2 x 2 square below its left half; from (4, 0) the ring
    // runs to the tip (1, 0) and back to (2, 0) before it turns down.
    const std::vector<double> open{0, 0, 0, 4, 4, 4, 4, 0, 1, 0, 2, 0, 2, -2, 0, -2};
    for (size_t start = 0; start < open.size(); start += 2) {
        CPolygonLayer layer;
        layer.Add(MakePolygon({ClosedFrom(open, start)}));
        ShareBorderVertices(layer, 1e-9);
        const std::set<std::pair<double, double>> points = PointSet(layer.Polygon(0).Ring(0));
        EXPECT_FALSE(points.contains({1.0, 0.0})) << "starting at point " << start / 2;
        EXPECT_EQ(layer.Polygon(0).Ring(0).PointCount(), 8) << "starting at point " << start / 2;
        double area = 0.0;
        ASSERT_TRUE(layer.Polygon(0).Ring(0).AreaAndCentroid(nullptr, &area));
        EXPECT_DOUBLE_EQ(std::fabs(area), 20.0);
    }
}

// Simplification removes the slight bends of a shared border from both rings alike, keeps the
// corners, and never swings a border across another ring's vertex.
TEST(SharedBorders, SimplifyingKeepsBordersSharedAndStepsAroundOtherRings)
{
    // Two rectangles sharing a wavy border near x = 1 (every other vertex 0.0001 to the right),
    // and a tiny square tucked into one bend, between its chord and its vertex.
    CPolygonLayer layer = WavyPair(40, 0.0001, 4.0);
    const double x0 = 1.00006, y0 = 2.9;
    layer.Add(MakePolygon({{x0, y0, x0, y0 + 0.00001, x0 + 0.00001, y0 + 0.00001, x0 + 0.00001, y0, x0, y0}}));
    for (const CPoint2D& corner : PointsOf(layer.Polygon(2).Ring(0)))
        ASSERT_TRUE(Inside(layer.Polygon(0).Ring(0), corner));

    // The border's points, as each ring holds them.
    const auto borderPoints = [](const CPolygonRing& ring) {
        std::set<std::pair<double, double>> points;
        for (const auto& [x, y] : PointSet(ring))
            if (x > 0.5 && x < 1.5 && y > 0.05 && y < 3.95)
                points.insert({x, y});
        return points;
    };
    // Bends of 0.0001 against a tolerance of 0.001 times the root area (about 2): all may go,
    // a few per pass, and always from both rings.
    int64_t total = 0;
    for (int pass = 0; pass < 100; ++pass) {
        const int64_t removed = SimplifySharedBorders(layer, 0.001);
        ASSERT_EQ(borderPoints(layer.Polygon(0).Ring(0)), borderPoints(layer.Polygon(1).Ring(0))) << "pass " << pass;
        if (removed == 0)
            break;
        total += removed;
    }
    EXPECT_GT(total, 60);
    // The tiny square's corners stay on the side of the border they started on.
    for (const CPoint2D& corner : PointsOf(layer.Polygon(2).Ring(0)))
        EXPECT_TRUE(Inside(layer.Polygon(0).Ring(0), corner)) << corner.X << ", " << corner.Y;
    for (const std::pair<double, double>& corner : {std::pair{1.0, 4.0}, std::pair{1.0, 0.0}})
        EXPECT_TRUE(PointSet(layer.Polygon(1).Ring(0)).contains(corner));
    EXPECT_EQ(layer.Polygon(2).Ring(0).PointCount(), 5);
    EXPECT_LT(layer.Polygon(0).Ring(0).PointCount(), 12);
}

// A border's bends are judged against the smaller of its two polygons: a bend that is slight
// for a large neighbour may be the whole shape of a small one. Two rectangles 4 high share a
// border at x = 1 with bends of 0.01: the left is 1 wide (tolerance 0.01 * sqrt(4) = 0.02),
// the right 3 wide (0.035) or 0.05 wide (0.0045, below the bends).
TEST(SharedBorders, ABorderIsThinnedByTheSmallerOfItsPolygonsTolerances)
{
    CPolygonLayer large = WavyPair(40, 0.01, 4.0);
    EXPECT_GT(SimplifySharedBorders(large, 0.01), 0);
    CPolygonLayer small = WavyPair(40, 0.01, 1.05);
    const int32_t before = small.Polygon(1).Ring(0).PointCount();
    EXPECT_EQ(SimplifySharedBorders(small, 0.01), 0);
    EXPECT_EQ(small.Polygon(1).Ring(0).PointCount(), before);
}

// Whether segments a-b and c-d cross at a point inside both.
bool CrossProperly(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& d)
{
    const auto side = [](const CPoint2D& p, const CPoint2D& q, const CPoint2D& r) {
        const double cross = (q.X - p.X) * (r.Y - p.Y) - (q.Y - p.Y) * (r.X - p.X);
        return (cross > 0.0) - (cross < 0.0);
    };
    return side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0;
}

// One thinning pass over a wavy pair with islets tucked into its bends (polygons 2 on): many
// points go, no two edges come to cross, every islet stays inside the left polygon and the two
// sides of the border keep the same points.
void ThinAndCheckIslets(CPolygonLayer& layer)
{
    EXPECT_GT(SimplifySharedBorders(layer, 0.001), 500);
    std::vector<std::pair<CPoint2D, CPoint2D>> edges;
    for (uint32_t p = 0; p < layer.Count(); ++p) {
        const std::vector<CPoint2D> points = PointsOf(layer.Polygon(p).Ring(0));
        for (size_t k = 0; k + 1 < points.size(); ++k)
            edges.emplace_back(points[k], points[k + 1]);
    }
    for (size_t e = 0; e < edges.size(); ++e)
        for (size_t f = e + 1; f < edges.size(); ++f)
            ASSERT_FALSE(CrossProperly(edges[e].first, edges[e].second, edges[f].first, edges[f].second))
                << "edges " << e << " and " << f;
    for (uint32_t p = 2; p < layer.Count(); ++p)
        for (const CPoint2D& corner : PointsOf(layer.Polygon(p).Ring(0)))
            EXPECT_TRUE(Inside(layer.Polygon(0).Ring(0), corner)) << "islet " << p;
    EXPECT_EQ(PointSet(layer.Polygon(0).Ring(0)).size() - 2, PointSet(layer.Polygon(1).Ring(0)).size() - 2);
}

// The exact images cut a border at every leaf it crosses, each round; one pass must thin such a
// dense border to the few points its bends need, or the vertex count of a long run grows without
// bound. The stretches of one pass are checked against the rings as they were and go together:
// with islets tucked into many bends, none may come to cross a chord or change sides.
TEST(SharedBorders, OnePassThinsADenseBorderAndStepsAroundEveryIslet)
{
    constexpr int Segments = 400;
    CPolygonLayer plain = WavyPair(Segments, 0.0001, 4.0);
    const int32_t before = plain.Polygon(0).Ring(0).PointCount();
    const int64_t removed = SimplifySharedBorders(plain, 0.001);
    const int32_t left = plain.Polygon(0).Ring(0).PointCount();
    EXPECT_LE(left, 12);                     // corners, the border's ends and a few cuts of long stretches
    EXPECT_EQ(removed, 2 * (before - left)); // the same points from both rings

    CPolygonLayer upright = WavyPair(Segments, 0.0001, 4.0);
    // An islet in every 23rd bend, between the bend's vertex and the chord of its neighbours.
    for (int k = 1; k < Segments; k += 46) {
        const double x0 = 1.00006, y0 = 4.0 - 4.0 * k / Segments - 0.000005;
        upright.Add(MakePolygon({{x0, y0, x0, y0 + 0.00001, x0 + 0.00001, y0 + 0.00001, x0 + 0.00001, y0, x0, y0}}));
    }
    // Upright, and aslant far from the origin, where the chords run along neither axis.
    for (const double angle : {0.0, 0.5}) {
        SCOPED_TRACE(angle);
        CPolygonLayer layer = Turned(upright, angle, 6e5 * angle, -4e5 * angle);
        ThinAndCheckIslets(layer);
    }
}

// Points that move with the map (airports) must stay on their side of a border however it is
// thinned: a bend holding one stays, the rest of the border is thinned as before.
TEST(SharedBorders, ABendHoldingAKeptPointStays)
{
    constexpr int Segments = 400;
    std::vector<double> xy;
    for (int k = 1; k < Segments; k += 46)
        xy.insert(xy.end(), {1.000065, 4.0 - 4.0 * k / Segments});
    for (const bool keep : {false, true}) {
        CPolygonLayer layer = WavyPair(Segments, 0.0001, 4.0);
        const CKeptPoints kept(xy);
        CVertexUseTable uses;
        EXPECT_GT(SimplifySharedBorders(layer, 0.001, uses, 2, keep ? &kept : nullptr), 500);
        int inside = 0;
        for (size_t k = 0; k + 1 < xy.size(); k += 2)
            inside += Inside(layer.Polygon(0).Ring(0), CPoint2D{xy[k], xy[k + 1]}) ? 1 : 0;
        EXPECT_EQ(inside == static_cast<int>(xy.size() / 2), keep) << (keep ? "kept" : "not kept");
    }
}

// A sliver between two junctions is bounded by two chains that may each become the chord of the
// junctions; each passes its check against the other as it was, but only one may go in a pass,
// or the sliver is left as one edge laid on another, with no area.
TEST(SharedBorders, TheTwoSidesOfASliverNeverCollapseOntoOneChord)
{
    std::vector<double> lower, upper; // from (0, 0) to (10, 0), 1e-4 below and above the axis
    for (int k = 1; k < 10; ++k) {
        lower.insert(lower.end(), {double(k), -1e-4 * (k % 2 == 1 ? 1.0 : 0.5)});
        upper.insert(upper.end(), {double(10 - k), 1e-4 * (k % 2 == 1 ? 1.0 : 0.5)});
    }
    std::vector<double> sliver{0, 0};
    sliver.insert(sliver.end(), lower.begin(), lower.end());
    sliver.insert(sliver.end(), {10, 0});
    sliver.insert(sliver.end(), upper.begin(), upper.end());
    sliver.insert(sliver.end(), {0, 0});
    std::vector<double> above{0, 5, 10, 5, 10, 0}; // clockwise: the upper chain back to (0, 0)
    above.insert(above.end(), upper.begin(), upper.end());
    above.insert(above.end(), {0, 0, 0, 5});
    std::vector<double> below{0, -5, 0, 0};
    below.insert(below.end(), lower.begin(), lower.end());
    below.insert(below.end(), {10, 0, 10, -5, 0, -5});
    CPolygonLayer layer;
    layer.Add(MakePolygon({sliver}));
    layer.Add(MakePolygon({above}));
    layer.Add(MakePolygon({below}));

    for (int pass = 0; pass < 10 && SimplifySharedBorders(layer, 0.01) > 0; ++pass) {
        double area = 0.0;
        ASSERT_TRUE(layer.Polygon(0).Ring(0).AreaAndCentroid(nullptr, &area));
        EXPECT_GT(std::fabs(area), 1e-4) << "pass " << pass; // 1.5e-3 at first
    }
    // One side went whole, the other kept a bend.
    EXPECT_LT(layer.Polygon(0).Ring(0).PointCount(), 8);
    EXPECT_GE(layer.Polygon(0).Ring(0).PointCount(), 4);
}

// An n x n map of unit cells whose borders zigzag by up to 0.08 (a fixed pseudo-random amount
// per vertex), eight segments a side: many chains and polygons to share among threads.
CPolygonLayer WavyGrid(int n)
{
    const auto wobble = [](int a, int b, int k, int axis) {
        const uint32_t h = static_cast<uint32_t>(a * 73856093) ^ static_cast<uint32_t>(b * 19349663) ^
                           static_cast<uint32_t>(k * 83492791) ^ static_cast<uint32_t>(axis * 2654435761u);
        return k == 0 || k == 8 ? 0.0
                                : 0.08 * (static_cast<double>((h * 2246822519u) >> 8) / double(1u << 24) * 2.0 - 1.0);
    };
    // The vertical border at x = i from (i, j) up, and the horizontal one at y = j from (i, j) right.
    const auto up = [&](int i, int j, int k) { return std::pair{i + wobble(i, j, k, 0), j + k / 8.0}; };
    const auto right = [&](int i, int j, int k) { return std::pair{i + k / 8.0, j + wobble(i, j, k, 1)}; };
    CPolygonLayer layer;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            std::vector<double> ring;
            const auto add = [&ring](std::pair<double, double> p) { ring.insert(ring.end(), {p.first, p.second}); };
            for (int k = 0; k < 8; ++k)
                add(up(i, j, k));
            for (int k = 0; k < 8; ++k)
                add(right(i, j + 1, k));
            for (int k = 8; k > 0; --k)
                add(up(i + 1, j, k));
            for (int k = 8; k >= 0; --k)
                add(right(i, j, k));
            layer.Add(MakePolygon({ring}));
        }
    }
    return layer;
}

// Every ring's coordinates, x and y after each other.
std::vector<std::vector<double>> AllRings(const CPolygonLayer& layer)
{
    std::vector<std::vector<double>> rings;
    for (uint32_t i = 0; i < layer.Count(); ++i) {
        for (int32_t r = 0; r < layer.Polygon(i).RingCount(); ++r) {
            const CPolygonRing& ring = layer.Polygon(i).Ring(r);
            rings.emplace_back(ring.Points(), ring.Points() + 2 * ring.PointCount());
        }
    }
    return rings;
}

// The leaf crossings and the thinning share the polygons and the chains out among threads: any
// number of them gives the same rings, point for point.
TEST(SharedBorders, ThreeThreadsCutAndThinAMapAsOneDoes)
{
    CPolygonLayer one = WavyGrid(24);
    CPolygonLayer three = WavyGrid(24);
    std::vector<double> vertices;
    for (const auto& ring : AllRings(one))
        vertices.insert(vertices.end(), ring.begin(), ring.end());
    CQuadTree tree;
    CTreeRect rect{0.0, 24.0, 24.0, 0.0};
    ASSERT_TRUE(tree.BuildForPoints(rect, 6, static_cast<int>(vertices.size() / 2), vertices.data()));

    const int64_t inserted = InsertLeafCrossings(one, tree, 1);
    EXPECT_GT(inserted, 1000);
    EXPECT_EQ(InsertLeafCrossings(three, tree, 3), inserted);
    ASSERT_TRUE(AllRings(three) == AllRings(one));

    CVertexUseTable usesOne, usesThree;
    const int64_t removed = SimplifySharedBorders(one, 0.05, usesOne, 1);
    EXPECT_GT(removed, inserted);
    EXPECT_EQ(SimplifySharedBorders(three, 0.05, usesThree, 3), removed);
    EXPECT_TRUE(AllRings(three) == AllRings(one));
}

} // namespace
} // namespace tessaro
