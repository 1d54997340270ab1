#include "geometry/GeometryPrimitives.h"
#include "geometry/PolygonRing.h"
#include "geometry/SimplePolygon.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/PolygonFixtures.h"

#include <boost/geometry/algorithms/area.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <boost/geometry/strategies/cartesian/area.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace tessaro {
namespace {

using Flat = std::vector<double>; // x0, y0, x1, y1, ...
constexpr double Pi = std::numbers::pi;
const Flat UnitSquareCw = {0, 0, 0, 1, 1, 1, 1, 0, 0, 0};

using test::MakePolygon;
using test::MakeRing;

Flat PointsOf(const CPolygonRing& ring) { return {ring.Points(), ring.Points() + 2 * ring.PointCount()}; }

void ExpectSamePoints(const Flat& actual, const Flat& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-12) << "vertex " << i / 2;
}

double SignedArea(const CPolygonRing& ring)
{
    double area = 0.0;
    ring.AreaAndCentroid(nullptr, &area);
    return area;
}

// Area by Boost.Geometry, an oracle independent of our shoelace sums (clockwise: positive).
double BoostArea(const Flat& flat)
{
    boost::geometry::model::polygon<boost::geometry::model::d2::point_xy<double>> polygon;
    for (size_t i = 0; i < flat.size(); i += 2)
        polygon.outer().emplace_back(flat[i], flat[i + 1]);
    return boost::geometry::area(polygon);
}

// --- Primitives ---

// The force step relies on the degenerate 1.0 (cosine and sine at once) and (1, 1).
TEST(GeometryPrimitivesTest, DirectionsOfTinyAndRegularVectors)
{
    const struct {
        double Dx, Dy, Length, Cos, Sin;
    } cases[] = {{0.0, 0.0, 1.0, 1.0, 1.0},  {5e-10, -5e-10, 1.0, 1.0, 1.0}, {3.0, 4.0, 0.0, 1.0, 1.0},
                 {3.0, 4.0, 5e-10, 1.0, 1.0}, {-3.0, 4.0, 5.0, -0.6, 0.8},    {-3.0, 4.0, 10.0, -0.3, 0.4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Dx << ", " << c.Dy << ", " << c.Length);
        EXPECT_DOUBLE_EQ(DirectionCos(c.Dx, c.Dy, c.Length), c.Cos); // a given length is trusted
        EXPECT_DOUBLE_EQ(DirectionSin(c.Dx, c.Dy, c.Length), c.Sin);
        const CPoint2D unit = UnitVector(c.Dx, c.Dy, c.Length);
        EXPECT_DOUBLE_EQ(unit.X, c.Cos);
        EXPECT_DOUBLE_EQ(unit.Y, c.Sin);
    }
    EXPECT_EQ(DirectionCos(0.0, 0.0), 1.0);
    EXPECT_EQ(DirectionSin(5e-10, 0.0), 1.0);
    EXPECT_DOUBLE_EQ(DirectionCos(-3.0, 4.0), -0.6);
    EXPECT_DOUBLE_EQ(DirectionSin(-3.0, 4.0), 0.8);
    EXPECT_DOUBLE_EQ(PointDistance({1.0, 1.0}, {4.0, 5.0}), 5.0);
    EXPECT_DOUBLE_EQ(CosAngle({2.0, 0.0}, {1.0, 1.0}), std::numbers::sqrt2 / 2.0);
    EXPECT_EQ(CosAngle({0.0, 0.0}, {-1.0, 0.0}), 1.0);
    EXPECT_EQ(CosAngle({1.0, 0.0}, {-1.0, 0.0}, 1.0, 0.0), 1.0);
}

TEST(GeometryPrimitivesTest, TurnAngleIsCounterClockwiseWithinOneTurn)
{
    const CPoint2D o{10.0, -2.0};
    const struct {
        CPoint2D A, B;
        double Expected;
    } cases[] = {
        {{11.0, -2.0}, {10.0, -1.0}, Pi / 2},     // x axis to y axis
        {{10.0, -1.0}, {11.0, -2.0}, 3 * Pi / 2}, // clockwise quarter is three counter-clockwise
        {{9.0, -3.0}, {11.0, -1.0}, Pi},          // across the x axis, both directions below/above
        {{10.0, -3.0}, {11.0, -2.0}, Pi / 2},     // from straight down to +x
        {{12.0, -2.0}, {13.0, -2.0}, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(TurnAngle(o, c.A, c.B), c.Expected, 1e-12) << c.Expected;
    // A direction a hair below +x has an angle that rounds to 2*pi; it must still stay in range.
    const double turn = TurnAngle({0.0, 0.0}, {1.0, 0.0}, {1.0, -1e-17});
    EXPECT_GE(turn, 0.0);
    EXPECT_LT(turn, 2 * Pi);
}

TEST(GeometryPrimitivesTest, PointInAndOnTriangle)
{
    const CPoint2D a{0.0, 0.0}, b{4.0, 0.0}, c{0.0, 4.0};
    enum { Out, In, Edge }; // points on an edge are not reliably inside
    const struct {
        CPoint2D P;
        int Where;
    } cases[] = {
        {{1.0, 1.0}, In},   {{0.1, 3.8}, In},   {{3.0, 3.0}, Out},  {{-1.0, 1.0}, Out}, {{1.0, 5.0}, Out},
        {{0.0, 5.0}, Out},  {{5.0, -1.0}, Out}, {{1.0, 3.001}, Out}, // on an edge's line past its end, near one
        {{2.5, 0.0}, Edge}, {{0.0, 1.5}, Edge}, {{1.0, 3.0}, Edge}, {{4.0, 0.0}, Edge}, // horizontal, vertical, slanted
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(testing::Message() << t.P.X << ", " << t.P.Y);
        EXPECT_EQ(PointOnTriangleEdge(a, b, c, t.P), t.Where == Edge);
        if (t.Where != Edge) {
            EXPECT_EQ(PointInTriangle(a, b, c, t.P), t.Where == In);
            EXPECT_EQ(PointInTriangle(c, a, b, t.P), t.Where == In);
        }
    }
}

// --- Rings ---

TEST(PolygonRingTest, AreaAndCentroidFollowOrientationAndNeedAnArea)
{
    // A clockwise unit square, and a counter-clockwise triangle far from the origin: positive area,
    // centroid the vertex mean.
    const double x = 6.4e6, y = 2.1e6;
    const std::pair<Flat, std::array<double, 3>> cases[] = {{UnitSquareCw, {-1.0, 0.5, 0.5}},
                                                           {{x, y, x + 3, y, x, y + 3, x, y}, {4.5, x + 1.0, y + 1.0}}};
    CPoint2D centroid;
    double area = 0.0;
    for (const auto& [points, expected] : cases) {
        EXPECT_TRUE(MakeRing(points)->AreaAndCentroid(&centroid, &area));
        EXPECT_NEAR(area, expected[0], 1e-9);
        EXPECT_NEAR(centroid.X, expected[1], 1e-9);
        EXPECT_NEAR(centroid.Y, expected[2], 1e-9);
    }

    // A ring without area writes its area but leaves the centroid alone.
    centroid = {7.0, 8.0};
    area = 99.0;
    EXPECT_FALSE(MakeRing({0, 0, 1, 1, 2, 2, 0, 0})->AreaAndCentroid(&centroid, &area));
    EXPECT_EQ(area, 0.0);
    EXPECT_TRUE(centroid.X == 7.0 && centroid.Y == 8.0);
    EXPECT_FALSE(CPolygonRing().AreaAndCentroid(&centroid, &area));
}

TEST(PolygonRingTest, SetPointsRefusesShortArcsAndCopyFromAppendsValues)
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
    EXPECT_TRUE(ring->MinX() == 2.0 && ring->MaxY() == 3.0);
    EXPECT_DOUBLE_EQ(ring->Perimeter(), 4.0);

    ring->Values() = {2.0, 3.0};
    CPolygonRing copy;
    copy.Values() = {1.0};
    EXPECT_TRUE(copy.CopyFrom(*ring));
    EXPECT_EQ(copy.Values(), (std::vector<double>{1.0, 2.0, 3.0}));
    ExpectSamePoints(PointsOf(copy), PointsOf(*ring));
    EXPECT_EQ(copy.MaxY(), 3.0);
    EXPECT_FALSE(copy.CopyFrom(copy));
    EXPECT_EQ(copy.Values().size(), 3u);
}

TEST(PolygonRingTest, DensifyByDistanceSplitsLongEdgesEvenlyAndIgnoresDegenerateSpacing)
{
    // Edge of length 1 with d = 0.3: four pieces. Edge of length exactly 0.3 stays whole.
    auto ring = MakeRing({0, 0, 0, 1, 0.3, 1, 0, 0});
    EXPECT_TRUE(ring->DensifyByDistance(0.3));
    ASSERT_EQ(ring->PointCount(), 4 + 3 + 0 + 3);
    ExpectSamePoints(Flat(ring->Points(), ring->Points() + 12), {0, 0, 0, 0.25, 0, 0.5, 0, 0.75, 0, 1, 0.3, 1});
    // The closing edge (length ~1.044) is cut into four as well, ending on the first vertex.
    for (int32_t i = 5; i + 1 < ring->PointCount(); ++i)
        EXPECT_NEAR(PointDistance(ring->Point(i), ring->Point(i + 1)), std::hypot(0.3, 1.0) / 4, 1e-12);
    EXPECT_EQ(ring->MaxX(), 0.3);

    for (double d : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        auto square = MakeRing(UnitSquareCw);
        EXPECT_TRUE(square->DensifyByDistance(d));
        EXPECT_EQ(square->PointCount(), 5) << d;
    }
}

TEST(PolygonRingTest, DensifyAtGridLinesPutsEveryEdgeInOneCellWithinTheGrid)
{
    const double lines[] = {0, 1, 2, 3, 4};
    // A clockwise ring whose vertices sit on the lines x = 2 and x = 3 (no crossing there) and
    // whose edges otherwise cross inner lines. Vertical lines are done first, then horizontal
    // ones, and the new vertices follow each edge's direction.
    auto ring = MakeRing({2, 0.5, 0.5, 2, 2, 3.5, 3, 2.5, 3.5, 2, 2, 0.5});
    const double areaBefore = SignedArea(*ring);
    EXPECT_TRUE(ring->DensifyAtGridLines(lines, lines, 5));
    ExpectSamePoints(PointsOf(*ring), {2,   0.5, 1.5, 1, 1,   1.5, 0.5, 2, 1,   2.5, 1.5, 3, 2,
                                       3.5, 2.5, 3,   3, 2.5, 3.5, 2,   3, 1.5, 2.5, 1,   2, 0.5});
    EXPECT_NEAR(SignedArea(*ring), areaBefore, 1e-12);
    EXPECT_EQ(ring->MinX(), 0.5);

    // Several crossings on one edge: ordered along the edge whichever way it runs.
    auto strip = MakeRing({0.5, 0.5, 0.5, 0.7, 3.5, 0.7, 3.5, 0.5, 0.5, 0.5});
    EXPECT_TRUE(strip->DensifyAtGridLines(lines, lines, 5));
    ExpectSamePoints(PointsOf(*strip), {0.5, 0.5, 0.5, 0.7, 1,   0.7, 2,   0.7, 3,   0.7, 3.5,
                                        0.7, 3.5, 0.5, 3,   0.5, 2,   0.5, 1,   0.5, 0.5, 0.5});

    // Nothing to split: an edge above the grid, a grid of two lines or of no width, and a vertex a
    // rounding error off a line.
    const double flat[] = {0, 0, 0, 0, 0};
    const double x = 1 - 1e-12;
    const struct {
        Flat Points;
        const double* Lines;
        int32_t N;
    } unsplit[] = {{{0.5, 5, 3.5, 5, 0.5, 5}, lines, 5},
                   {{0.5, 0.5, 0.5, 3.5, 3.5, 3.5, 3.5, 0.5, 0.5, 0.5}, lines, 2},
                   {{0.5, 0.5, 0.5, 3.5, 3.5, 3.5, 3.5, 0.5, 0.5, 0.5}, flat, 5},
                   {{x, 0.5, x, 0.7, 1.5, 0.7, 1.5, 0.5, x, 0.5}, lines, 5}};
    for (const auto& c : unsplit) {
        auto same = MakeRing(c.Points);
        EXPECT_TRUE(same->DensifyAtGridLines(c.Lines, c.Lines, c.N));
        EXPECT_EQ(PointsOf(*same), c.Points);
    }
}

// Near duplicates go only while what is left is still a ring: a ring that would keep fewer than
// 4 points, its closing point included, keeps every point it had, however small it is against
// the tolerance (a square 0.00025 wide under 0.001, about 100 m in degrees). A near duplicate
// closing vertex goes and closure returns; a second pass finds nothing more.
TEST(PolygonRingTest, RemoveNearDuplicatesKeepsARingClosedAndNeverLeavesLess)
{
    const double s = 0.00025;
    const struct {
        Flat Points;
        double Tolerance;
        Flat Expected;
    } cases[] = {
        {{0, 0, 0, 1, 0, 1 + 1e-6, 1, 1, 1, 0, 1e-6, 0, 0, 0}, 1e-5, UnitSquareCw},
        {{0, 0, 0, s, s, s, s, 0, 0, 0}, 0.001, {0, 0, 0, s, s, s, s, 0, 0, 0}},
        {{0, 0, 0, 1, 1e-6, 1, 1, 0, 0, 0}, 1e-5, {0, 0, 0, 1, 1, 0, 0, 0}}, // a triangle is still a ring
        {{0, 0, 0, 1, 1e-6, 1, 2e-6, 1, 0, 0}, 1e-5, {0, 0, 0, 1, 1e-6, 1, 2e-6, 1, 0, 0}},
        {{0, 0, 1e-6, 0, 0, 0}, 1e-5, {0, 0, 1e-6, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        auto ring = MakeRing(c.Points);
        for (int pass = 0; pass < 2; ++pass) {
            EXPECT_TRUE(ring->RemoveNearDuplicates(c.Tolerance));
            EXPECT_EQ(PointsOf(*ring), c.Expected) << "pass " << pass;
        }
    }
}

TEST(PolygonRingTest, SimplifyToCountCapsTheCountKeepingTheEndsAndCornersFirst)
{
    Flat circle; // clockwise, radius 10, 400 vertices
    for (int k = 0; k <= 400; ++k)
        circle.insert(circle.end(), {10 * std::cos(-2 * Pi * (k % 400) / 400), 10 * std::sin(-2 * Pi * (k % 400) / 400)});
    auto ring = MakeRing(circle);
    ring->Values() = {1.5};
    EXPECT_TRUE(ring->SimplifyToCount(33, 0.0, false));
    ASSERT_EQ(ring->PointCount(), 33);
    EXPECT_TRUE(ring->Point(0).X == 10.0 && ring->Point(32).X == 10.0);
    EXPECT_LT(SignedArea(*ring), -0.95 * Pi * 100); // still a circle, still clockwise
    ASSERT_EQ(ring->Values().size(), 2u);
    EXPECT_DOUBLE_EQ(ring->Values()[1], ring->Perimeter() / 32);
    EXPECT_LE(ring->MaxX(), 10.0);
    EXPECT_GT(ring->MinX(), -10.0 - 1e-12);

    // A square with 3 collinear points on every side: five vertices are exactly its corners.
    // Below 4 there is no cap: only the collinear vertices (deviation 0) are dropped.
    for (int32_t count : {5, 3}) {
        auto square = MakeRing(UnitSquareCw);
        square->DensifyByDistance(0.3);
        ASSERT_EQ(square->PointCount(), 17);
        EXPECT_TRUE(square->SimplifyToCount(count, 0.0, false));
        ExpectSamePoints(PointsOf(*square), UnitSquareCw);
    }
    auto plain = MakeRing(UnitSquareCw); // every sub-chord has a single interior vertex
    EXPECT_TRUE(plain->SimplifyToCount(3, 0.0, false));
    ExpectSamePoints(PointsOf(*plain), UnitSquareCw);

    // A ring already small enough is kept; densifying uses perimeter / (maxCount - 1) = 0.5,
    // and an edge of exactly two spacings is cut into floor(2) + 1 = 3 pieces.
    EXPECT_TRUE(plain->SimplifyToCount(9, 0.0, true));
    EXPECT_DOUBLE_EQ(plain->Values().back(), 0.5);
    EXPECT_EQ(plain->PointCount(), 5 + 4 * 2);
}

TEST(PolygonRingTest, MakeGridCellsCoversTheBoxColumnByColumn)
{
    RingList cells;
    cells.push_back(MakeRing(UnitSquareCw));
    // 4 wide, 1 high, 2 on the short side: cells of 0.5, 8 columns by 2 rows, appended.
    EXPECT_EQ(MakeRing({0, 0, 0, 1, 4, 1, 4, 0, 0, 0})->MakeGridCells(2, cells, false), 16);
    ASSERT_EQ(cells.size(), 17u);
    ExpectSamePoints(PointsOf(*cells[1]), {0, 1, 0.5, 1, 0.5, 0.5, 0, 0.5, 0, 1});
    ExpectSamePoints(PointsOf(*cells[2]), {0, 0.5, 0.5, 0.5, 0.5, 0, 0, 0, 0, 0.5});
    ExpectSamePoints(PointsOf(*cells[3]), {0.5, 1, 1, 1, 1, 0.5, 0.5, 0.5, 0.5, 1});
    EXPECT_EQ(cells[16]->MaxX(), 4.0);
    EXPECT_DOUBLE_EQ(SignedArea(*cells[16]), -0.25);

    // A tall box gets k columns; clearing destroys what the list held.
    EXPECT_EQ(MakeRing({0, 0, 0, 2.5, 1, 2.5, 1, 0, 0, 0})->MakeGridCells(1, cells, true), 3);
    EXPECT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[2]->MinY(), -0.5); // the last row reaches below the box

    // Degenerate grids: no cells, no height, 1e12 columns, 25 million cells, an infinite box.
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<Flat, int32_t> refused[] = {{UnitSquareCw, 0},
                                                {{0, 0, 5, 0, 0, 0}, 2},
                                                {{0, 0, 0, 1, 1e12, 1, 0, 0}, 1},
                                                {UnitSquareCw, 5000},
                                                {{0, 0, 0, 1, inf, 1, 0, 0}, 1}};
    for (const auto& [points, k] : refused) {
        EXPECT_EQ(MakeRing(points)->MakeGridCells(k, cells, true), 0) << k;
        EXPECT_TRUE(cells.empty());
    }
}

// Pieces of a ring clipped to a grid add up to the ring; each piece keeps the ring's orientation.
TEST(PolygonRingTest, ClipToCellsPiecesAddUpToTheRing)
{
    const Flat notched = {0, 0, 0, 3, 1.3, 3, 1.3, 1, 1.7, 1, 1.7, 3, 3, 3, 3.2, 0, 0, 0};
    const Flat lShape = {0, 0, 0, 2, 0.7, 2, 0.7, 0.7, 2, 0.7, 2, 0, 0, 0};
    for (const Flat& shape : {notched, lShape}) {
        for (bool hole : {false, true}) {
            Flat points(shape);
            if (hole) // reversed pairwise: the same ring counter-clockwise
                for (size_t i = 0, j = points.size() - 2; i < j; i += 2, j -= 2)
                    std::swap_ranges(points.begin() + i, points.begin() + i + 2, points.begin() + j);
            auto ring = MakeRing(points);
            RingList cells, pieces;
            ASSERT_GT(ring->MakeGridCells(3, cells, true), 0);
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
            EXPECT_NEAR(total, hole ? BoostArea(shape) : -BoostArea(shape), 1e-9);
        }
    }
}

// --- Polygons: a clockwise 2x2 square at the origin and a counter-clockwise 1x1 hole in its top
// right quarter ---

const Flat Outer = {0, 0, 0, 2, 2, 2, 2, 0, 0, 0};
const Flat Hole = {1, 1, 2, 1, 2, 2, 1, 2, 1, 1};

TEST(SimplePolygonTest, AreaSubtractsHolesAndWeighsCentroidsBySignedAreaAndNeedsAnArea)
{
    // A ring without area (collinear) must not disturb the centroid.
    CPoint2D centroid;
    double area = 0.0;
    ASSERT_TRUE(MakePolygon({Outer, Hole, {5, 5, 6, 6, 7, 7, 5, 5}})->AreaAndCentroid(&centroid, &area));
    EXPECT_DOUBLE_EQ(area, 3.0);
    // (4 * (1, 1) - 1 * (1.5, 1.5)) / 3: the L-shaped remainder leans to the bottom left.
    EXPECT_DOUBLE_EQ(centroid.X, 2.5 / 3.0);
    EXPECT_DOUBLE_EQ(centroid.Y, 2.5 / 3.0);

    // A square with a hole of the same size cancels out.
    centroid = {-3.0, -4.0};
    area = 12.0;
    EXPECT_FALSE(MakePolygon({{1, 1, 1, 2, 2, 2, 2, 1, 1, 1}, Hole})->AreaAndCentroid(&centroid, &area));
    EXPECT_EQ(area, 0.0);
    EXPECT_TRUE(centroid.X == -3.0 && centroid.Y == -4.0);
    EXPECT_FALSE(CSimplePolygon().AreaAndCentroid(&centroid, &area));
}

TEST(SimplePolygonTest, RingOperationsKeepCountAndBoxInStepAndStopAtTheFirstFailingRing)
{
    auto polygon = MakePolygon({Hole, Outer});
    EXPECT_EQ(polygon->TotalPointCount(), 10);
    EXPECT_EQ(polygon->MaxY(), 2.0);
    // Hole edges (1) are cut in 2, outer edges (2) in 3.
    EXPECT_TRUE(polygon->DensifyByDistance(0.75));
    EXPECT_EQ(polygon->TotalPointCount(), 9 + 13);
    // The hole's vertices are 0.5 apart and fall back to its corners; the outer ring's are 2/3 apart.
    EXPECT_TRUE(polygon->RemoveNearDuplicates(0.6));
    EXPECT_EQ(polygon->Ring(0).PointCount(), 5);
    EXPECT_EQ(polygon->TotalPointCount(), 5 + 13);

    // A ring that runs out of memory is left as it was, and the rings after it are not touched.
    auto failing = MakePolygon({{0, 0, 0, 1e-8, 1e-8, 1e-8, 0, 0}, Outer, Hole}); // 1e4 pieces, then 2e12
    testing::internal::CaptureStderr();
    EXPECT_FALSE(failing->DensifyByDistance(1e-12));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("bad memory alloction"), std::string::npos);
    EXPECT_GT(failing->Ring(0).PointCount(), 20000);
    ExpectSamePoints(PointsOf(failing->Ring(1)), Outer);
    EXPECT_EQ(failing->TotalPointCount(), failing->Ring(0).PointCount() + 10);
}

TEST(SimplePolygonTest, FlatBufferRoundTripMovesEveryRing)
{
    auto polygon = MakePolygon({Outer, Hole});
    Flat buffer(2 * static_cast<size_t>(polygon->TotalPointCount()));
    ASSERT_TRUE(polygon->CopyPointsTo(buffer.data()));
    EXPECT_EQ(buffer[10], 1.0); // the hole follows the outer ring's 5 points
    for (size_t i = 0; i < buffer.size(); i += 2)
        buffer[i] += 10.0;

    ASSERT_TRUE(polygon->SetPointsFrom(buffer.data(), false));
    EXPECT_EQ(polygon->Ring(1).MinX(), 11.0); // ring boxes always follow
    EXPECT_EQ(polygon->MinX(), 0.0);          // the polygon box only when asked
    ASSERT_TRUE(polygon->SetPointsFrom(buffer.data(), true));
    EXPECT_TRUE(polygon->MinX() == 10.0 && polygon->MaxX() == 12.0);
}

} // namespace
} // namespace tessaro
