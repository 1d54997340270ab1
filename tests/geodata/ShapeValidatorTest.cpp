#include "geodata/ShapeValidator.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tessaro {
namespace {

using Ring = std::vector<double>; // flat x0, y0, x1, y1, ...
using test::MakePolygon;
using test::SquarePoints;

struct RingCase {
    const char* Name;
    std::vector<Ring> Rings;
    std::vector<std::pair<ShapeFindingKind, int32_t>> Expected; // kind and ring, in order
};

TEST(ShapeValidator, RingAndPolygonFaultsAreFoundOnTheRightRing)
{
    using K = ShapeFindingKind;
    const std::vector<RingCase> cases = {
        {"clockwise square", {SquarePoints(0, 0, 1)}, {}},
        {"square with a hole inside", {SquarePoints(0, 0, 4), SquarePoints(1, 1, 2, false)}, {}},
        {"two separate outer rings", {SquarePoints(0, 0, 1), SquarePoints(5, 5, 1)}, {}},
        // Far from the origin the shoelace sums lose digits; the square still has area 1.
        {"small square far away", {SquarePoints(1.0e7, 1.0e7, 1)}, {}},
        {"bow-tie with equal loops", {{0, 0, 0, 1, 1, 0, 1, 1, 0, 0}}, {{K::SelfIntersection, 0}}},
        // Edges cross at (4/3, 2/3); the larger loop runs clockwise, so it reads as an outer ring.
        {"bow-tie with unequal loops", {{0, 0, 0, 2, 2, 0, 2, 1, 0, 0}}, {{K::SelfIntersection, 0}}},
        {"spike", {{0, 0, 0, 1, 1, 1, 1, 2, 1, 1, 1, 0, 0, 0}}, {{K::SelfIntersection, 0}}},
        {"counter-clockwise only", {SquarePoints(0, 0, 1, false)}, {{K::WrongOrientation, 0}}},
        {"hole outside its shell", {SquarePoints(0, 0, 1), SquarePoints(3, 3, 1, false)}, {{K::HoleOutsideShell, 1}}},
        {"hole across its shell", {SquarePoints(0, 0, 2), SquarePoints(1, 1, 2, false)}, {{K::SelfIntersection, 1}}},
        {"outer rings overlapping", {SquarePoints(0, 0, 2), SquarePoints(1, 1, 2)}, {{K::SelfIntersection, -1}}},
        {"three points", {SquarePoints(0, 0, 1), {0, 0, 1, 1, 0, 0}}, {{K::TooFewPoints, 1}}},
        {"one point, refused by the ring", {SquarePoints(0, 0, 1), {5, 5}}, {{K::TooFewPoints, 1}}},
        {"open ring", {{0, 0, 0, 1, 1, 1, 1, 0}}, {{K::NotClosed, 0}}},
        {"points on one line", {{0, 0, 1, 1, 2, 2, 0, 0}}, {{K::ZeroArea, 0}}},
        {"no rings", {}, {{K::NoRings, -1}}},
        // Finite points whose area, or whose box, is beyond a double: the cartogram could not
        // measure them, so neither passes as sound nor as a ring of no area.
        {"area beyond a double", {{1e300, 0, 1e300, 1e300, 2e300, 0, 1e300, 0}}, {{K::InvalidCoordinate, 0}}},
        {"box beyond a double", {{-1.5e308, 0, -1.5e308, 1, 1.5e308, 0, -1.5e308, 0}}, {{K::InvalidCoordinate, 0}}},
        {"centroid beyond a double",
         {{1e300, 0, 1e300, 1, 1.0000000001e300, 0, 1e300, 0}},
         {{K::InvalidCoordinate, 0}}},
        // The ring's own sums hold, but its area times its place does not.
        {"record centroid beyond a double",
         {{1e160, 0, 1e160, 1e10, 1e160 + 1e145, 0, 1e160, 0}},
         {{K::InvalidCoordinate, -1}}},
    };
    CScopedRecordingUserInterface ui; // the one-point ring complains
    const CShapeValidator validator;
    for (const RingCase& c : cases) {
        const std::vector<CShapeFinding> findings = validator.CheckRecord(*MakePolygon(c.Rings), 4);
        ASSERT_EQ(findings.size(), c.Expected.size()) << c.Name << (findings.empty() ? "" : ": " + findings[0].Text);
        for (size_t i = 0; i < findings.size(); ++i) {
            EXPECT_EQ(findings[i].Kind, c.Expected[i].first) << c.Name << ": " << findings[i].Text;
            EXPECT_EQ(findings[i].Ring, c.Expected[i].second) << c.Name;
            EXPECT_EQ(findings[i].Record, 4) << c.Name;
            EXPECT_FALSE(findings[i].Text.empty()) << c.Name;
        }
    }
}

TEST(ShapeValidator, OverlapsNeedSharedInteriorAndComeOncePerPair)
{
    CPolygonLayer layer;
    layer.Add(MakePolygon({SquarePoints(0, 0, 2)}));     // 0
    layer.Add(MakePolygon({SquarePoints(2, 0, 2)}));     // 1: shares an edge with 0
    layer.Add(MakePolygon({SquarePoints(4, 2, 2)}));     // 2: shares a corner with 1
    layer.Add(MakePolygon({SquarePoints(1, 1, 2)}));     // 3: overlaps 0 and 1
    layer.Add(MakePolygon({SquarePoints(4.5, 2.5, 1)})); // 4: inside 2
    layer.Add(MakePolygon({SquarePoints(9, 9, 1), SquarePoints(4, 2, 2)})); // 5: its second part repeats 2

    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const CShapeFinding& f : CShapeValidator(true).Check(layer.Polygons())) {
        EXPECT_EQ(f.Kind, ShapeFindingKind::Overlap) << f.Text;
        EXPECT_EQ(f.Ring, -1);
        pairs.emplace_back(f.Record, f.OtherRecord);
    }
    EXPECT_EQ(pairs, (std::vector<std::pair<int32_t, int32_t>>{{0, 3}, {1, 3}, {2, 4}, {2, 5}, {4, 5}}));
    EXPECT_TRUE(CShapeValidator(false).Check(layer.Polygons()).empty());

    // Ring faults come by record, then the overlaps; an invalid ring keeps out of the comparison.
    layer.Add(MakePolygon({{0, 0, 0, 2, 2, 0, 2, 2, 0, 0}})); // 6: a bow-tie over 0
    const std::vector<CShapeFinding> all = CShapeValidator(true).Check(layer.Polygons());
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0].Record, 6);
    EXPECT_EQ(all[0].Kind, ShapeFindingKind::SelfIntersection);
    EXPECT_EQ(all[1].Kind, ShapeFindingKind::Overlap);
}

// Many records checked on three threads give the findings one thread gives, in the same order:
// ring faults by record, then every overlapping pair once, ordered by its records.
TEST(ShapeValidator, ThreadsFindWhatOneThreadFindsInTheSameOrder)
{
    CPolygonLayer layer;
    for (int k = 0; k < 120; ++k) {
        const double x = 3.0 * (k % 12), y = 3.0 * (k / 12);
        if (k % 17 == 5)
            layer.Add(MakePolygon({{x, y, x, y + 2, x + 2, y, x + 2, y + 2, x, y}})); // a bow-tie
        else if (k % 13 == 7)
            layer.Add(MakePolygon({SquarePoints(x - 2, y, 3)})); // reaches over its left neighbour
        else
            layer.Add(MakePolygon({SquarePoints(x, y, 2)}));
    }
    const auto described = [&layer](int threads) {
        std::vector<std::tuple<int32_t, int32_t, int32_t, ShapeFindingKind, std::string>> out;
        for (const CShapeFinding& f : CShapeValidator(true, threads).Check(layer.Polygons()))
            out.emplace_back(f.Record, f.OtherRecord, f.Ring, f.Kind, f.Text);
        return out;
    };
    const auto one = described(1);
    size_t bowTies = 0, overlaps = 0;
    for (const auto& finding : one) {
        bowTies += std::get<3>(finding) == ShapeFindingKind::SelfIntersection ? 1 : 0;
        overlaps += std::get<3>(finding) == ShapeFindingKind::Overlap ? 1 : 0;
    }
    EXPECT_EQ(bowTies, 7u);  // k = 5, 22, ..., 107
    EXPECT_GE(overlaps, 5u); // the wide squares not at a row's start nor beside a bow-tie
    EXPECT_EQ(described(3), one);
}

} // namespace
} // namespace tessaro
