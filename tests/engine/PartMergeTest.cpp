#include "engine/PartMerge.h"
#include "geometry/PolygonLayer.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessaro {
namespace {

using test::MakePolygon;
using test::SquarePoints;

double AreaOf(const CSimplePolygon& polygon)
{
    CPoint2D centroid;
    double area = 0.0;
    polygon.AreaAndCentroid(&centroid, &area);
    return area;
}

int OuterRings(const CSimplePolygon& polygon)
{
    int count = 0;
    for (const auto& ring : polygon.Rings())
        count += ring->SignedArea() < 0.0 ? 1 : 0;
    return count;
}

// Parts of one record along each other within rounding are joined; parts apart or meeting at a
// corner, and different records along each other, are left exactly as they were.
TEST(PartMerge, JoinsOnlyPartsOfOneRecordThatShareABorder)
{
    CPolygonLayer layer;
    // 0: three squares in a row, the last two a hair off the shared lines.
    layer.Add(MakePolygon({SquarePoints(0, 0, 1), SquarePoints(1 + 1e-12, 0, 1), SquarePoints(2, 1e-12, 1)}));
    // 1: two squares apart, 2: two squares meeting at a corner.
    layer.Add(MakePolygon({SquarePoints(10, 0, 1), SquarePoints(11.5, 0, 1)}));
    layer.Add(MakePolygon({SquarePoints(20, 0, 1), SquarePoints(21, 1, 1)}));
    // 3 and 4: one square each, along each other: a border between records.
    layer.Add(MakePolygon({SquarePoints(30, 0, 1)}));
    layer.Add(MakePolygon({SquarePoints(31, 0, 1)}));
    layer.Polygon(0).Label = "row";

    EXPECT_EQ(MergePartsSharingBorders(layer, 1e-9), std::vector<uint32_t>{0});
    const CSimplePolygon& row = layer.Polygon(0);
    EXPECT_EQ(row.RingCount(), 1);
    EXPECT_NEAR(AreaOf(row), 3.0, 1e-9);
    EXPECT_EQ(row.Label, "row");
    EXPECT_NEAR(row.MaxX(), 3.0, 1e-9);
    for (uint32_t i = 1; i < layer.Count(); ++i)
        EXPECT_EQ(OuterRings(layer.Polygon(i)), i <= 2 ? 2 : 1) << "polygon " << i;
}

// Four bars of one record that close around a square: one outer ring and the hole they enclose,
// beside an island of the same record that stays a part of its own.
TEST(PartMerge, KeepsTheHoleTheJoinedPartsEnclose)
{
    CPolygonLayer layer;
    layer.Add(MakePolygon({{0, 0, 0, 3, 1, 3, 1, 0, 0, 0}, // west bar
                           {2, 0, 2, 3, 3, 3, 3, 0, 2, 0}, // east bar
                           {1, 0, 1, 1, 2, 1, 2, 0, 1, 0}, // south
                           {1, 2, 1, 3, 2, 3, 2, 2, 1, 2}, // north
                           SquarePoints(5, 5, 1)}));       // an island
    EXPECT_EQ(MergePartsSharingBorders(layer, 1e-9), std::vector<uint32_t>{0});
    const CSimplePolygon& frame = layer.Polygon(0);
    EXPECT_EQ(frame.RingCount(), 3);
    EXPECT_EQ(OuterRings(frame), 2);
    EXPECT_NEAR(AreaOf(frame), 9.0 - 1.0 + 1.0, 1e-9);
}

} // namespace
} // namespace tessaro
