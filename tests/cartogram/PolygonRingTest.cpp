#include "cartogram/PolygonRing.h"

#include "cartogram/GeometryPrimitives.h"
#include "platform/RecordingUserInterface.h"

#include <boost/geometry/algorithms/area.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <boost/geometry/strategies/cartesian/area.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace tessaro {
namespace {

std::unique_ptr<CPolygonRing> MakeRing(const std::vector<CPoint2D>& points)
{
    std::vector<double> flat;
    for (const CPoint2D& p : points) {
        flat.push_back(p.X);
        flat.push_back(p.Y);
    }
    auto ring = std::make_unique<CPolygonRing>();
    EXPECT_TRUE(ring->SetPoints(static_cast<int32_t>(points.size()), flat.data(), true));
    return ring;
}

std::vector<CPoint2D> PointsOf(const CPolygonRing& ring)
{
    std::vector<CPoint2D> points;
    for (int32_t i = 0; i < ring.PointCount(); ++i)
        points.push_back(ring.Point(i));
    return points;
}

void ExpectSamePoints(const std::vector<CPoint2D>& actual, const std::vector<CPoint2D>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].X, expected[i].X, 1e-12) << "vertex " << i;
        EXPECT_NEAR(actual[i].Y, expected[i].Y, 1e-12) << "vertex " << i;
    }
}

double SignedArea(const CPolygonRing& ring)
{
    double area = 0.0;
    ring.AreaAndCentroid(nullptr, &area);
    return area;
}

// Area by Boost.Geometry, an oracle independent of our shoelace sums (clockwise: positive).
double BoostArea(const CPolygonRing& ring)
{
    boost::geometry::model::polygon<boost::geometry::model::d2::point_xy<double>> polygon;
    for (const CPoint2D& p : PointsOf(ring))
        polygon.outer().emplace_back(p.X, p.Y);
    return boost::geometry::area(polygon);
}

const std::vector<CPoint2D> UnitSquareCw = {{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}};

TEST(PolygonRingTest, AreaAndCentroidFollowOrientation)
{
    CPoint2D centroid;
    double area = 0.0;
    EXPECT_TRUE(MakeRing(UnitSquareCw)->AreaAndCentroid(&centroid, &area));
    EXPECT_DOUBLE_EQ(area, -1.0);
    EXPECT_DOUBLE_EQ(centroid.X, 0.5);
    EXPECT_DOUBLE_EQ(centroid.Y, 0.5);

    // Counter-clockwise triangle far from the origin: positive area, centroid the vertex mean.
    const double x = 6.4e6, y = 2.1e6;
    EXPECT_TRUE(MakeRing({{x, y}, {x + 3, y}, {x, y + 3}, {x, y}})->AreaAndCentroid(&centroid, &area));
    EXPECT_NEAR(area, 4.5, 1e-9);
    EXPECT_NEAR(centroid.X, x + 1.0, 1e-9);
    EXPECT_NEAR(centroid.Y, y + 1.0, 1e-9);

    EXPECT_FALSE(MakeRing(UnitSquareCw)->AreaAndCentroid(nullptr, nullptr));
}

TEST(PolygonRingTest, ZeroAreaRingWritesAreaButNoCentroid)
{
    const auto flat = MakeRing({{0, 0}, {1, 1}, {2, 2}, {0, 0}});
    CPoint2D centroid{7.0, 8.0};
    double area = 99.0;
    EXPECT_FALSE(flat->AreaAndCentroid(&centroid, &area));
    EXPECT_EQ(area, 0.0);
    EXPECT_EQ(centroid.X, 7.0);
    EXPECT_EQ(centroid.Y, 8.0);
    EXPECT_FALSE(CPolygonRing().AreaAndCentroid(&centroid, &area));
}

TEST(PolygonRingTest, SetPointsRefusesShortArcsAndKeepsTheRing)
{
    CScopedRecordingUserInterface ui;
    auto ring = MakeRing(UnitSquareCw);
    const double one[] = {5.0, 5.0};
    EXPECT_FALSE(ring->SetPoints(1, one, true));
    EXPECT_EQ(ui->Messages(), std::vector<std::string>{"Errors! The arc just has no more than two points!"});
    ExpectSamePoints(PointsOf(*ring), UnitSquareCw);

    // The box follows the points only when asked to.
    const double moved[] = {2, 2, 2, 3, 3, 3, 3, 2, 2, 2};
    EXPECT_TRUE(ring->SetPoints(5, moved, false));
    EXPECT_EQ(ring->MaxX(), 1.0);
    EXPECT_TRUE(ring->SetPoints(5, moved, true));
    EXPECT_EQ(ring->MinX(), 2.0);
    EXPECT_EQ(ring->MaxY(), 3.0);
    EXPECT_DOUBLE_EQ(ring->Perimeter(), 4.0);
}

TEST(PolygonRingTest, CopyFromAppendsValuesAndRefusesItself)
{
    auto source = MakeRing(UnitSquareCw);
    source->Values() = {2.0, 3.0};
    CPolygonRing copy;
    copy.Values() = {1.0};
    EXPECT_TRUE(copy.CopyFrom(*source));
    EXPECT_EQ(copy.Values(), (std::vector<double>{1.0, 2.0, 3.0}));
    ExpectSamePoints(PointsOf(copy), UnitSquareCw);
    EXPECT_EQ(copy.MaxY(), 1.0);
    EXPECT_FALSE(copy.CopyFrom(copy));
    EXPECT_EQ(copy.Values().size(), 3u);
}

TEST(PolygonRingTest, DensifyByDistanceSplitsLongEdgesEvenly)
{
    // Edge of length 1 with d = 0.3: four pieces. Edge of length exactly 0.3 stays whole.
    auto ring = MakeRing({{0, 0}, {0, 1}, {0.3, 1}, {0, 0}});
    EXPECT_TRUE(ring->DensifyByDistance(0.3));
    const auto points = PointsOf(*ring);
    ASSERT_EQ(points.size(), 4u + 3u + 0u + 3u);
    ExpectSamePoints({points.begin(), points.begin() + 6}, {{0, 0}, {0, 0.25}, {0, 0.5}, {0, 0.75}, {0, 1}, {0.3, 1}});
    // The closing edge (length ~1.044) is cut into four as well, ending on the first vertex.
    for (size_t i = 5; i + 1 < points.size(); ++i) {
        EXPECT_NEAR(PointDistance(points[i], points[i + 1]), std::hypot(0.3, 1.0) / 4, 1e-12);
    }
    EXPECT_EQ(ring->MaxX(), 0.3);
}

TEST(PolygonRingTest, DensifyByDistanceIgnoresDegenerateSpacingAndRefusesOverflow)
{
    for (double d : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        auto ring = MakeRing(UnitSquareCw);
        EXPECT_TRUE(ring->DensifyByDistance(d));
        EXPECT_EQ(ring->PointCount(), 5);
    }
    // 1e-12 on unit edges asks for 4e12 points: treated as running out of memory.
    auto ring = MakeRing(UnitSquareCw);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ring->DensifyByDistance(1e-12));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("bad memory alloction"), std::string::npos);
    ExpectSamePoints(PointsOf(*ring), UnitSquareCw);
}

TEST(PolygonRingTest, DensifyAtGridLinesPutsEveryEdgeInOneCell)
{
    const double lines[] = {0, 1, 2, 3, 4};
    // A clockwise ring whose vertices sit on the lines x = 2 and x = 3 (no crossing there) and
    // whose edges otherwise cross inner lines. Vertical lines are done first, then horizontal
    // ones, and the new vertices follow each edge's direction.
    auto ring = MakeRing({{2, 0.5}, {0.5, 2}, {2, 3.5}, {3, 2.5}, {3.5, 2}, {2, 0.5}});
    const double areaBefore = SignedArea(*ring);
    EXPECT_TRUE(ring->DensifyAtGridLines(lines, lines, 5));
    ExpectSamePoints(PointsOf(*ring), {{2, 0.5},
                                       {1.5, 1},
                                       {1, 1.5},
                                       {0.5, 2},
                                       {1, 2.5},
                                       {1.5, 3},
                                       {2, 3.5},
                                       {2.5, 3},
                                       {3, 2.5},
                                       {3.5, 2},
                                       {3, 1.5},
                                       {2.5, 1},
                                       {2, 0.5}});
    EXPECT_NEAR(SignedArea(*ring), areaBefore, 1e-12);
    EXPECT_EQ(ring->MinX(), 0.5);

    // Several crossings on one edge: ordered along the edge whichever way it runs.
    auto strip = MakeRing({{0.5, 0.5}, {0.5, 0.7}, {3.5, 0.7}, {3.5, 0.5}, {0.5, 0.5}});
    EXPECT_TRUE(strip->DensifyAtGridLines(lines, lines, 5));
    ExpectSamePoints(PointsOf(*strip), {{0.5, 0.5},
                                        {0.5, 0.7},
                                        {1, 0.7},
                                        {2, 0.7},
                                        {3, 0.7},
                                        {3.5, 0.7},
                                        {3.5, 0.5},
                                        {3, 0.5},
                                        {2, 0.5},
                                        {1, 0.5},
                                        {0.5, 0.5}});
}

TEST(PolygonRingTest, DensifyAtGridLinesNeedsAGridAndStopsAtItsEdge)
{
    const double lines[] = {0, 1, 2, 3, 4};
    const double flat[] = {0, 0, 0, 0, 0};
    // The horizontal edge at y = 5 lies above the grid's vertical lines and is not split.
    auto ring = MakeRing({{0.5, 5}, {3.5, 5}, {0.5, 5}});
    EXPECT_TRUE(ring->DensifyAtGridLines(lines, lines, 5));
    EXPECT_EQ(ring->PointCount(), 3);
    auto square = MakeRing({{0.5, 0.5}, {0.5, 3.5}, {3.5, 3.5}, {3.5, 0.5}, {0.5, 0.5}});
    EXPECT_TRUE(square->DensifyAtGridLines(lines, lines, 2));
    EXPECT_TRUE(square->DensifyAtGridLines(flat, flat, 5));
    EXPECT_EQ(square->PointCount(), 5);
    // A vertex a rounding error off a line does not make that line a crossing.
    const double x = 1 - 1e-12;
    auto nearLine = MakeRing({{x, 0.5}, {x, 0.7}, {1.5, 0.7}, {1.5, 0.5}, {x, 0.5}});
    EXPECT_TRUE(nearLine->DensifyAtGridLines(lines, lines, 5));
    EXPECT_EQ(nearLine->PointCount(), 5);
}

TEST(PolygonRingTest, RemoveNearDuplicatesKeepsTheRingClosed)
{
    // The closing vertex is a near duplicate of its predecessor: it goes, and closure returns.
    auto ring = MakeRing({{0, 0}, {0, 1}, {0, 1 + 1e-6}, {1, 1}, {1, 0}, {1e-6, 0}, {0, 0}});
    EXPECT_TRUE(ring->RemoveNearDuplicates(1e-5));
    ExpectSamePoints(PointsOf(*ring), UnitSquareCw);
    // Nothing within the tolerance: nothing changes.
    EXPECT_TRUE(ring->RemoveNearDuplicates(1e-5));
    EXPECT_EQ(ring->PointCount(), 5);
}

std::vector<CPoint2D> Circle(int count, double radius)
{
    std::vector<CPoint2D> points;
    for (int k = 0; k < count; ++k) {
        const double a = -2 * std::numbers::pi * k / count; // clockwise
        points.push_back({radius * std::cos(a), radius * std::sin(a)});
    }
    points.push_back(points.front());
    return points;
}

TEST(PolygonRingTest, SimplifyToCountCapsTheCountAndKeepsTheEnds)
{
    auto ring = MakeRing(Circle(400, 10.0));
    ring->Values() = {1.5};
    EXPECT_TRUE(ring->SimplifyToCount(33, 0.0, false));
    const auto points = PointsOf(*ring);
    ASSERT_EQ(points.size(), 33u);
    EXPECT_EQ(points.front().X, 10.0);
    EXPECT_EQ(points.back().X, 10.0);
    EXPECT_LT(SignedArea(*ring), -0.95 * std::numbers::pi * 100); // still a circle, still clockwise
    ASSERT_EQ(ring->Values().size(), 2u);
    EXPECT_DOUBLE_EQ(ring->Values()[1], ring->Perimeter() / 32);
    EXPECT_LE(ring->MaxX(), 10.0);
    EXPECT_GT(ring->MinX(), -10.0 - 1e-12);
}

TEST(PolygonRingTest, SimplifyToCountKeepsTheCornersFirst)
{
    // A square with 3 collinear points on every side: five vertices are exactly its corners.
    auto square = MakeRing(UnitSquareCw);
    square->DensifyByDistance(0.3);
    ASSERT_EQ(square->PointCount(), 17);
    EXPECT_TRUE(square->SimplifyToCount(5, 0.0, false));
    ExpectSamePoints(PointsOf(*square), UnitSquareCw);

    // Below 4 there is no cap: only the collinear vertices (deviation 0) are dropped.
    square->DensifyByDistance(0.3);
    EXPECT_TRUE(square->SimplifyToCount(3, 0.0, false));
    ExpectSamePoints(PointsOf(*square), UnitSquareCw);
    auto plain = MakeRing(UnitSquareCw); // every sub-chord has a single interior vertex
    EXPECT_TRUE(plain->SimplifyToCount(3, 0.0, false));
    ExpectSamePoints(PointsOf(*plain), UnitSquareCw);

    // A ring already small enough is kept; densifying uses perimeter / (maxCount - 1) = 0.5,
    // and an edge of exactly two spacings is cut into floor(2) + 1 = 3 pieces.
    EXPECT_TRUE(square->SimplifyToCount(9, 0.0, true));
    EXPECT_DOUBLE_EQ(square->Values().back(), 0.5);
    EXPECT_EQ(square->PointCount(), 5 + 4 * 2);
}

TEST(PolygonRingTest, MakeGridCellsCoversTheBoxColumnByColumn)
{
    RingList cells;
    cells.push_back(MakeRing(UnitSquareCw));
    auto wide = MakeRing({{0, 0}, {0, 1}, {4, 1}, {4, 0}, {0, 0}});
    // 4 wide, 1 high, 2 on the short side: cells of 0.5, 8 columns by 2 rows, appended.
    EXPECT_EQ(wide->MakeGridCells(2, cells, false), 16);
    ASSERT_EQ(cells.size(), 17u);
    ExpectSamePoints(PointsOf(*cells[1]), {{0, 1}, {0.5, 1}, {0.5, 0.5}, {0, 0.5}, {0, 1}});
    ExpectSamePoints(PointsOf(*cells[2]), {{0, 0.5}, {0.5, 0.5}, {0.5, 0}, {0, 0}, {0, 0.5}});
    ExpectSamePoints(PointsOf(*cells[3]), {{0.5, 1}, {1, 1}, {1, 0.5}, {0.5, 0.5}, {0.5, 1}});
    EXPECT_EQ(cells[16]->MaxX(), 4.0);
    EXPECT_DOUBLE_EQ(SignedArea(*cells[16]), -0.25);

    // A tall box gets k columns; clearing destroys what the list held.
    auto tall = MakeRing({{0, 0}, {0, 2.5}, {1, 2.5}, {1, 0}, {0, 0}});
    EXPECT_EQ(tall->MakeGridCells(1, cells, true), 3);
    EXPECT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[2]->MinY(), -0.5); // the last row reaches below the box
}

TEST(PolygonRingTest, MakeGridCellsRefusesDegenerateGrids)
{
    const struct {
        std::vector<CPoint2D> Points;
        int32_t K;
    } cases[] = {
        {UnitSquareCw, 0},
        {{{0, 0}, {5, 0}, {0, 0}}, 2},            // no height
        {{{0, 0}, {0, 1}, {1e12, 1}, {0, 0}}, 1}, // 1e12 columns
        {UnitSquareCw, 5000},                     // 25 million cells
        {{{0, 0}, {0, 1}, {std::numeric_limits<double>::infinity(), 1}, {0, 0}}, 1},
    };
    for (const auto& c : cases) {
        RingList cells;
        EXPECT_EQ(MakeRing(c.Points)->MakeGridCells(c.K, cells, true), 0);
        EXPECT_TRUE(cells.empty());
    }
}

// Pieces of a ring clipped to a grid add up to the ring; each piece keeps the ring's orientation.
TEST(PolygonRingTest, ClipToCellsPiecesAddUpToTheRing)
{
    const std::vector<CPoint2D> notched = {{0, 0},   {0, 3}, {1.3, 3}, {1.3, 1}, {1.7, 1},
                                           {1.7, 3}, {3, 3}, {3.2, 0}, {0, 0}};
    const std::vector<CPoint2D> lShape = {{0, 0}, {0, 2}, {0.7, 2}, {0.7, 0.7}, {2, 0.7}, {2, 0}, {0, 0}};
    for (const auto& shape : {notched, lShape}) {
        for (bool hole : {false, true}) {
            std::vector<CPoint2D> points(shape);
            if (hole)
                std::reverse(points.begin(), points.end());
            auto ring = MakeRing(points);
            RingList cells;
            ASSERT_GT(ring->MakeGridCells(3, cells, true), 0);
            RingList pieces;
            const int32_t count = ring->ClipToCells(cells, pieces);
            ASSERT_EQ(count, static_cast<int32_t>(pieces.size()));
            ASSERT_GE(count, 4);
            double total = 0.0;
            for (const auto& piece : pieces) {
                const double area = SignedArea(*piece);
                EXPECT_EQ(area > 0.0, hole);
                total += area;
                EXPECT_GE(piece->MinX(), ring->MinX() - 1e-12);
                EXPECT_LE(piece->MaxY(), ring->MaxY() + 1e-12);
            }
            // Boost gives the clockwise shape a positive area; ours is negative for it.
            const double shapeArea = BoostArea(*MakeRing(shape));
            const double expected = hole ? shapeArea : -shapeArea;
            EXPECT_NEAR(total, expected, 1e-9);
        }
    }
}

} // namespace
} // namespace tessaro
