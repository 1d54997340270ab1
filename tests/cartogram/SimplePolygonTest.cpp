#include "cartogram/SimplePolygon.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessaro {
namespace {

std::unique_ptr<CPolygonRing> MakeRing(std::vector<double> flat)
{
    auto ring = std::make_unique<CPolygonRing>();
    EXPECT_TRUE(ring->SetPoints(static_cast<int32_t>(flat.size() / 2), flat.data(), true));
    return ring;
}

// Clockwise 2x2 square at the origin and a counter-clockwise 1x1 hole in its top right quarter.
std::unique_ptr<CPolygonRing> Outer()
{
    return MakeRing({0, 0, 0, 2, 2, 2, 2, 0, 0, 0});
}
std::unique_ptr<CPolygonRing> Hole()
{
    return MakeRing({1, 1, 2, 1, 2, 2, 1, 2, 1, 1});
}

TEST(SimplePolygonTest, AreaSubtractsHolesAndWeighsCentroidsBySignedArea)
{
    CSimplePolygon polygon;
    polygon.AddRing(Outer());
    polygon.AddRing(Hole());
    // A ring without area (collinear) must not disturb the centroid.
    polygon.AddRing(MakeRing({5, 5, 6, 6, 7, 7, 5, 5}));
    CPoint2D centroid;
    double area = 0.0;
    ASSERT_TRUE(polygon.AreaAndCentroid(&centroid, &area));
    EXPECT_DOUBLE_EQ(area, 3.0);
    // (4 * (1, 1) - 1 * (1.5, 1.5)) / 3: the L-shaped remainder leans to the bottom left.
    EXPECT_DOUBLE_EQ(centroid.X, 2.5 / 3.0);
    EXPECT_DOUBLE_EQ(centroid.Y, 2.5 / 3.0);
    EXPECT_FALSE(polygon.AreaAndCentroid(&centroid, nullptr));
    EXPECT_FALSE(polygon.AreaAndCentroid(nullptr, &area));
}

TEST(SimplePolygonTest, ZeroTotalAreaGivesNoCentroid)
{
    // A square with a hole of the same size cancels out.
    CSimplePolygon polygon;
    polygon.AddRing(MakeRing({1, 1, 1, 2, 2, 2, 2, 1, 1, 1}));
    polygon.AddRing(Hole());
    CPoint2D centroid{-3.0, -4.0};
    double area = 12.0;
    EXPECT_FALSE(polygon.AreaAndCentroid(&centroid, &area));
    EXPECT_EQ(area, 0.0);
    EXPECT_EQ(centroid.X, -3.0);
    EXPECT_EQ(centroid.Y, -4.0);
    EXPECT_FALSE(CSimplePolygon().AreaAndCentroid(&centroid, &area));
}

TEST(SimplePolygonTest, RingOperationsKeepCountAndBoxInStep)
{
    CSimplePolygon polygon;
    polygon.AddRing(Hole());
    polygon.AddRing(Outer());
    EXPECT_EQ(polygon.TotalPointCount(), 10);
    EXPECT_EQ(polygon.MinX(), 0.0);
    EXPECT_EQ(polygon.MaxY(), 2.0);

    // Hole edges (1) are cut in 2, outer edges (2) in 3.
    EXPECT_TRUE(polygon.DensifyByDistance(0.75));
    EXPECT_EQ(polygon.Ring(0).PointCount(), 9);
    EXPECT_EQ(polygon.Ring(1).PointCount(), 13);
    EXPECT_EQ(polygon.TotalPointCount(), 22);

    // The hole's vertices are 0.5 apart and fall back to its corners; the outer ring's are 2/3 apart.
    EXPECT_TRUE(polygon.RemoveNearDuplicates(0.6));
    EXPECT_EQ(polygon.Ring(0).PointCount(), 5);
    EXPECT_EQ(polygon.TotalPointCount(), 5 + 13);
}

TEST(SimplePolygonTest, DensifyStopsAtTheFirstFailingRingAndRecounts)
{
    CSimplePolygon polygon;
    polygon.AddRing(MakeRing({0, 0, 0, 1e-8, 1e-8, 1e-8, 0, 0})); // 1e4 pieces an edge
    polygon.AddRing(Outer());                                     // 2e12 pieces: refused
    polygon.AddRing(Hole());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(polygon.DensifyByDistance(1e-12));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("bad memory alloction"), std::string::npos);
    EXPECT_GT(polygon.Ring(0).PointCount(), 20000);
    EXPECT_EQ(polygon.Ring(1).PointCount(), 5);
    EXPECT_EQ(polygon.TotalPointCount(), polygon.Ring(0).PointCount() + 10);
}

TEST(SimplePolygonTest, FlatBufferRoundTripMovesEveryRing)
{
    CSimplePolygon polygon;
    polygon.AddRing(Outer());
    polygon.AddRing(Hole());
    std::vector<double> buffer(2 * static_cast<size_t>(polygon.TotalPointCount()));
    ASSERT_TRUE(polygon.CopyPointsTo(buffer.data()));
    EXPECT_EQ(buffer[10], 1.0); // the hole follows the outer ring's 5 points
    for (size_t i = 0; i < buffer.size(); i += 2)
        buffer[i] += 10.0;

    ASSERT_TRUE(polygon.SetPointsFrom(buffer.data(), false));
    EXPECT_EQ(polygon.Ring(1).MinX(), 11.0); // ring boxes always follow
    EXPECT_EQ(polygon.MinX(), 0.0);          // the polygon box only when asked
    ASSERT_TRUE(polygon.SetPointsFrom(buffer.data(), true));
    EXPECT_EQ(polygon.MinX(), 10.0);
    EXPECT_EQ(polygon.MaxX(), 12.0);
    EXPECT_FALSE(polygon.CopyPointsTo(nullptr));
    EXPECT_FALSE(polygon.SetPointsFrom(nullptr, true));
}

} // namespace
} // namespace tessaro
