// Which polygon lies under a point: concave rings, holes, polygons of several parts, overlaps,
// and the same answers from a layer and from a frame's flat rings.
#include "geometry/PolygonHit.h"

#include "geometry/PolygonLayer.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

namespace tessaro::test {
namespace {

// A U open to the top, (0, 0)-(30, 30) less its notch (10, 10)-(20, 30); a square (40, 0)-(60, 20)
// with the hole (45, 5)-(55, 15); a polygon of two squares (70, 0)-(80, 10) and (70, 20)-(80, 30);
// a square (100, 0)-(120, 20) and one over its right half (110, 0)-(130, 20).
CPolygonLayer ProbeLayer()
{
    CPolygonLayer layer;
    layer.Add(MakePolygon({{0, 0, 0, 30, 10, 30, 10, 10, 20, 10, 20, 30, 30, 30, 30, 0, 0, 0}}));
    layer.Add(MakePolygon({SquarePoints(40, 0, 20), SquarePoints(45, 5, 10, false)}));
    layer.Add(MakePolygon({SquarePoints(70, 0, 10), SquarePoints(70, 20, 10)}));
    layer.Add(MakePolygon({SquarePoints(100, 0, 20)}));
    layer.Add(MakePolygon({SquarePoints(110, 0, 20)}));
    return layer;
}

std::vector<std::vector<std::vector<double>>> FlatRings(const CPolygonLayer& layer)
{
    std::vector<std::vector<std::vector<double>>> polygons;
    for (const CSimplePolygon* polygon : layer.Polygons()) {
        auto& rings = polygons.emplace_back();
        for (const auto& ring : polygon->Rings())
            rings.emplace_back(ring->Points(), ring->Points() + 2 * ring->PointCount());
    }
    return polygons;
}

struct Probe {
    CPoint2D At;
    std::int32_t Polygon;
    const char* Where;
};

const Probe Probes[] = {
    {{5, 25}, 0, "the U's left arm"},
    {{25, 25}, 0, "the U's right arm"},
    {{15, 5}, 0, "the U's bottom, below the notch"},
    {{15, 25}, -1, "the U's notch, inside its box"},
    {{42, 18}, 1, "the square around the hole"},
    {{50, 10}, -1, "the hole"},
    {{75, 5}, 2, "the first part of two"},
    {{75, 25}, 2, "the second part of two"},
    {{75, 15}, -1, "between the parts"},
    {{105, 10}, 3, "the left square alone"},
    {{115, 10}, 3, "where two squares overlap: the first"},
    {{125, 10}, 4, "the right square alone"},
    {{-5, 10}, -1, "left of the map"},
    {{50, 40}, -1, "above the map"},
};

TEST(PolygonHitTest, EvenOddOverRingsFindsThePolygonUnderThePoint)
{
    const CPolygonLayer layer = ProbeLayer();
    const auto flat = FlatRings(layer);
    for (const Probe& probe : Probes) {
        EXPECT_EQ(PolygonAt(layer, probe.At), probe.Polygon) << probe.Where;
        EXPECT_EQ(PolygonAt(flat, probe.At), probe.Polygon) << probe.Where << ", flat rings";
    }
}

TEST(PolygonHitTest, ARingNeedNotRepeatItsFirstVertex)
{
    const std::vector<double> closed = {0, 0, 0, 30, 10, 30, 10, 10, 20, 10, 20, 30, 30, 30, 30, 0, 0, 0};
    const std::vector<double> open(closed.begin(), closed.end() - 2);
    for (const CPoint2D p : {CPoint2D{5, 25}, CPoint2D{15, 25}, CPoint2D{15, 5}, CPoint2D{35, 5}})
        EXPECT_EQ(RingHoldsOddly(closed.data(), 9, p), RingHoldsOddly(open.data(), 8, p)) << p.X << ", " << p.Y;
    EXPECT_TRUE(RingHoldsOddly(open.data(), 8, {15, 5}));
    EXPECT_FALSE(RingHoldsOddly(open.data(), 8, {15, 25}));
}

} // namespace
} // namespace tessaro::test
