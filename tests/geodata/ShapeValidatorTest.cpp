#include "geodata/ShapeValidator.h"

#include "platform/RecordingUserInterface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaro {
namespace {

using Ring = std::vector<double>; // flat x0, y0, x1, y1, ...

std::unique_ptr<CSimplePolygon> MakePolygon(const std::vector<Ring>& rings)
{
    auto polygon = std::make_unique<CSimplePolygon>();
    for (const Ring& points : rings) {
        auto ring = std::make_unique<CPolygonRing>();
        ring->SetPoints(static_cast<int32_t>(points.size() / 2), points.data(), true);
        polygon->AddRing(std::move(ring));
    }
    return polygon;
}

// A closed clockwise square, or a counter-clockwise one for a hole.
Ring Square(double left, double bottom, double side, bool clockwise = true)
{
    const double r = left + side;
    const double t = bottom + side;
    if (clockwise)
        return {left, bottom, left, t, r, t, r, bottom, left, bottom};
    return {left, bottom, r, bottom, r, t, left, t, left, bottom};
}

struct RingCase {
    const char* Name;
    std::vector<Ring> Rings;
    std::vector<std::pair<ShapeFindingKind, int32_t>> Expected; // kind and ring, in order
};

TEST(ShapeValidator, RingAndPolygonFaultsAreFoundOnTheRightRing)
{
    using K = ShapeFindingKind;
    const std::vector<RingCase> cases = {
        {"clockwise square", {Square(0, 0, 1)}, {}},
        {"square with a hole inside", {Square(0, 0, 4), Square(1, 1, 2, false)}, {}},
        {"two separate outer rings", {Square(0, 0, 1), Square(5, 5, 1)}, {}},
        // Far from the origin the shoelace sums lose digits; the square still has area 1.
        {"small square far away", {Square(1.0e7, 1.0e7, 1)}, {}},
        {"bow-tie with equal loops", {{0, 0, 0, 1, 1, 0, 1, 1, 0, 0}}, {{K::SelfIntersection, 0}}},
        // Edges cross at (4/3, 2/3); the larger loop runs clockwise, so it reads as an outer ring.
        {"bow-tie with unequal loops", {{0, 0, 0, 2, 2, 0, 2, 1, 0, 0}}, {{K::SelfIntersection, 0}}},
        {"spike", {{0, 0, 0, 1, 1, 1, 1, 2, 1, 1, 1, 0, 0, 0}}, {{K::SelfIntersection, 0}}},
        {"counter-clockwise only", {Square(0, 0, 1, false)}, {{K::WrongOrientation, 0}}},
        {"hole outside its shell", {Square(0, 0, 1), Square(3, 3, 1, false)}, {{K::HoleOutsideShell, 1}}},
        {"hole across its shell", {Square(0, 0, 2), Square(1, 1, 2, false)}, {{K::SelfIntersection, 1}}},
        {"outer rings overlapping", {Square(0, 0, 2), Square(1, 1, 2)}, {{K::SelfIntersection, -1}}},
        {"three points", {Square(0, 0, 1), {0, 0, 1, 1, 0, 0}}, {{K::TooFewPoints, 1}}},
        {"one point, refused by the ring", {Square(0, 0, 1), {5, 5}}, {{K::TooFewPoints, 1}}},
        {"open ring", {{0, 0, 0, 1, 1, 1, 1, 0}}, {{K::NotClosed, 0}}},
        {"points on one line", {{0, 0, 1, 1, 2, 2, 0, 0}}, {{K::ZeroArea, 0}}},
        {"no rings", {}, {{K::NoRings, -1}}},
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
    CShapeValidator::PolygonList layer;
    layer.push_back(MakePolygon({Square(0, 0, 2)}));     // 0
    layer.push_back(MakePolygon({Square(2, 0, 2)}));     // 1: shares an edge with 0
    layer.push_back(MakePolygon({Square(4, 2, 2)}));     // 2: shares a corner with 1
    layer.push_back(MakePolygon({Square(1, 1, 2)}));     // 3: overlaps 0 and 1
    layer.push_back(MakePolygon({Square(4.5, 2.5, 1)})); // 4: inside 2
    layer.push_back(MakePolygon({Square(9, 9, 1), Square(4, 2, 2)})); // 5: its second part repeats 2

    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const CShapeFinding& f : CShapeValidator(true).Check(layer)) {
        EXPECT_EQ(f.Kind, ShapeFindingKind::Overlap) << f.Text;
        EXPECT_EQ(f.Ring, -1);
        pairs.emplace_back(f.Record, f.OtherRecord);
    }
    EXPECT_EQ(pairs, (std::vector<std::pair<int32_t, int32_t>>{{0, 3}, {1, 3}, {2, 4}, {2, 5}, {4, 5}}));
    EXPECT_TRUE(CShapeValidator(false).Check(layer).empty());

    // Ring faults come by record, then the overlaps; an invalid ring keeps out of the comparison.
    layer.push_back(MakePolygon({{0, 0, 0, 2, 2, 0, 2, 2, 0, 0}})); // 6: a bow-tie over 0
    const std::vector<CShapeFinding> all = CShapeValidator(true).Check(layer);
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0].Record, 6);
    EXPECT_EQ(all[0].Kind, ShapeFindingKind::SelfIntersection);
    EXPECT_EQ(all[1].Kind, ShapeFindingKind::Overlap);
}

} // namespace
} // namespace tessaro
