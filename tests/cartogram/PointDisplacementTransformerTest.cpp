#include "cartogram/PointDisplacementTransformer.h"

#include "cartogram/SimplePolygon.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

namespace tessaro {
namespace {

constexpr double NoCorrection = -1.0;
constexpr double OnePlusEpsilon = 1.05;

// Control vectors from circles about random centres, pushed out by `factor` times their radius.
struct CControlSet {
    std::vector<double> Sources, Targets, Centres;
    void AddCircle(double cx, double cy, double radius, double factor, int points)
    {
        for (int k = 0; k < points; ++k) {
            const double angle = 2.0 * std::numbers::pi * k / points;
            const double x = cx + radius * std::cos(angle);
            const double y = cy + radius * std::sin(angle);
            Sources.insert(Sources.end(), {x, y});
            Targets.insert(Targets.end(), {cx + (x - cx) * factor, cy + (y - cy) * factor});
            Centres.insert(Centres.end(), {cx, cy});
        }
    }
    int32_t Count() const { return static_cast<int32_t>(Sources.size() / 2); }
    void LoadInto(CPointDisplacementTransformer& transformer, double rc = NoCorrection) const
    {
        ASSERT_EQ(transformer.SetControlVectors(Count(), Sources.data(), Targets.data()), 1);
        ASSERT_EQ(transformer.SetCentres(Count(), Centres.data()), 1);
        ASSERT_TRUE(transformer.Precompute(rc));
    }
};

CControlSet SingleVector(double tx, double ty)
{
    CControlSet set;
    set.Sources = {0.0, 0.0};
    set.Targets = {tx, ty};
    set.Centres = {-1.0, 0.0};
    return set;
}

CControlSet RandomCircles(int circles, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> position(0.0, 100.0);
    std::uniform_real_distribution<double> radius(0.5, 6.0);
    std::uniform_real_distribution<double> factor(0.6, 1.8);
    CControlSet set;
    for (int c = 0; c < circles; ++c)
        set.AddCircle(position(random), position(random), radius(random), factor(random), 16);
    return set;
}

std::vector<double> GridPoints(int side, double spacing)
{
    std::vector<double> points;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            points.insert(points.end(), {i * spacing, j * spacing});
    return points;
}

TEST(PointDisplacementKernel, SingleVectorMovesItsEndByExpMinusOneLengths)
{
    CPointDisplacementTransformer transformer;
    SingleVector(1.0, 0.0).LoadInto(transformer);
    const CPointForce force = transformer.EvaluatePoint(1.0, 0.0, ForceExponentialDecay, ElasticityJacobian);
    EXPECT_DOUBLE_EQ(force.Dx, std::exp(-1.0));
    EXPECT_EQ(force.Dy, 0.0);

    // Scaled by the divisor (1 + Epsilon) / 1 on the way out.
    const double in[2] = {1.0, 0.0};
    double out[2] = {};
    ASSERT_EQ(transformer.DisplaceAll(1, in, out, ForceExponentialDecay, OnePlusEpsilon, NoCorrection, ElasticityJacobian), 1);
    EXPECT_DOUBLE_EQ(transformer.ElasticityDivisor, OnePlusEpsilon);
    EXPECT_DOUBLE_EQ(out[0], 1.0 + std::exp(-1.0) / OnePlusEpsilon);
}

TEST(PointDisplacementKernel, VectorsReachBelowTheirCutOffOnly)
{
    // Length 2: the exponential kernel reaches below 40 units, the directional one below 32.
    CPointDisplacementTransformer transformer;
    SingleVector(2.0, 0.0).LoadInto(transformer);
    struct Case {
        double X, Y;
        int32_t Force;
        bool Moved;
    };
    const Case cases[] = {
        {39.9, 0.0, ForceExponentialDecay, true},   {40.0, 0.0, ForceExponentialDecay, false},
        {0.0, -40.0, ForceExponentialDecay, false}, {31.9, 0.0, ForceDirectionalDecay, true},
        {32.0, 0.0, ForceDirectionalDecay, false},  {-50.0, 0.0, ForceDirectionalDecay, false},
    };
    for (const Case& c : cases) {
        const CPointForce force = transformer.EvaluatePoint(c.X, c.Y, c.Force, ElasticityGradient);
        EXPECT_EQ(force.Dx != 0.0 || force.Dy != 0.0, c.Moved) << c.X << ", " << c.Y << " force " << c.Force;
    }
}

TEST(PointDisplacementKernel, ZeroLengthVectorsContributeNothing)
{
    CControlSet set = SingleVector(1.0, 0.0);
    set.Sources.insert(set.Sources.end(), {0.5, 0.5, 3.0, 3.0});
    set.Targets.insert(set.Targets.end(), {0.5, 0.5, 3.0, 3.0});
    set.Centres.insert(set.Centres.end(), {0.0, 0.0, 0.0, 0.0});
    CPointDisplacementTransformer withZeros;
    set.LoadInto(withZeros);
    EXPECT_EQ(withZeros.ControlRecords[CPointDisplacementTransformer::RecordSize + 2], 1e300);

    CPointDisplacementTransformer alone;
    SingleVector(1.0, 0.0).LoadInto(alone);
    for (int32_t force : {ForceExponentialDecay, ForceDirectionalDecay}) {
        const CPointForce a = withZeros.EvaluatePoint(0.7, 0.2, force, ElasticityJacobian);
        const CPointForce b = alone.EvaluatePoint(0.7, 0.2, force, ElasticityJacobian);
        EXPECT_EQ(a.Dx, b.Dx);
        EXPECT_EQ(a.Dy, b.Dy);
        EXPECT_EQ(a.Measure, b.Measure);
    }
}

TEST(PointDisplacementKernel, JacobianMeasureIsTheFirstFoldingStep)
{
    struct Case {
        double Jxx, Jyy, Jxy, Jyx, Lambda;
    };
    const Case cases[] = {
        {0.0, 0.0, 0.0, 0.0, 1.0},     // no field: never folds
        {-4.0, 0.0, 0.0, 0.0, 0.25},   // singular: 1 + lambda * trace = 0
        {-2.0, -2.0, 0.0, 0.0, 0.5},   // double root
        {-1.0, -3.0, 0.0, 0.0, 1.0 / 3.0},
        {1.0, -2.0, 0.0, 0.0, 0.5},    // negative determinant
        {0.0, 0.0, 1.0, -1.0, 1.0},    // rotation: no real root
        {2.0, 3.0, 0.0, 0.0, 1.0},     // expansion: only negative roots
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(CPointDisplacementTransformer::JacobianMeasure(c.Jxx, c.Jyy, c.Jxy, c.Jyx), c.Lambda)
            << c.Jxx << " " << c.Jyy << " " << c.Jxy << " " << c.Jyx;
}

TEST(PointDisplacementKernel, GradientMeasureAndDivisors)
{
    EXPECT_DOUBLE_EQ(CPointDisplacementTransformer::GradientMeasure(-3.0, -4.0), -5.0);
    EXPECT_DOUBLE_EQ(CPointDisplacementTransformer::GradientMeasure(-3.0, 2.0), -3.0);
    EXPECT_DOUBLE_EQ(CPointDisplacementTransformer::GradientMeasure(1.0, 2.0), 1.0);
    EXPECT_DOUBLE_EQ(CPointDisplacementTransformer::DivisorFromMinimum(0.5, 1.05, ElasticityJacobian), 2.1);
    EXPECT_DOUBLE_EQ(CPointDisplacementTransformer::DivisorFromMinimum(-0.5, 1.05, ElasticityGradient), 0.525);
    EXPECT_DOUBLE_EQ(CPointDisplacementTransformer::DivisorFromMinimum(0.3, 1.05, ElasticityGradient), 1.0);
}

TEST(PointDisplacementKernel, ElasticityDivisorOfBothTypes)
{
    // At (1, 0): Jxx = -exp(-1), every other entry 0.
    CPointDisplacementTransformer transformer;
    SingleVector(1.0, 0.0).LoadInto(transformer);
    const double in[2] = {1.0, 0.0};
    double out[2] = {};
    transformer.DisplaceAll(1, in, out, ForceExponentialDecay, OnePlusEpsilon, NoCorrection, ElasticityJacobian);
    EXPECT_DOUBLE_EQ(transformer.ElasticityDivisor, OnePlusEpsilon);
    transformer.DisplaceAll(1, in, out, ForceExponentialDecay, OnePlusEpsilon, NoCorrection, ElasticityGradient);
    EXPECT_DOUBLE_EQ(transformer.ElasticityDivisor, std::exp(-1.0) * OnePlusEpsilon);
}

TEST(PointDisplacementKernel, DirectionalKernelNeverReversesTheField)
{
    CControlSet set;
    set.AddCircle(10.0, 10.0, 3.0, 2.0, 16);
    set.AddCircle(18.0, 12.0, 2.0, 0.5, 16);
    CPointDisplacementTransformer transformer;
    set.LoadInto(transformer);
    const std::vector<double> in = GridPoints(20, 1.3);
    const auto n = static_cast<int32_t>(in.size() / 2);
    std::vector<double> jacobian(in.size()), gradient(in.size());
    ASSERT_EQ(transformer.DisplaceAll(n, in.data(), jacobian.data(), ForceDirectionalDecay, OnePlusEpsilon, NoCorrection, ElasticityJacobian), 1);
    EXPECT_GT(transformer.ElasticityDivisor, 0.0);
    transformer.DisplaceAll(n, in.data(), gradient.data(), ForceDirectionalDecay, OnePlusEpsilon, NoCorrection, ElasticityGradient);
    EXPECT_EQ(jacobian, gradient);
    for (int32_t j = 0; j < n; ++j) {
        const CPointForce raw = transformer.EvaluatePoint(in[2 * j], in[2 * j + 1], ForceDirectionalDecay, ElasticityJacobian);
        const double moved = (jacobian[2 * j] - in[2 * j]) * raw.Dx + (jacobian[2 * j + 1] - in[2 * j + 1]) * raw.Dy;
        EXPECT_GE(moved, 0.0) << "point " << j;
    }
}

TEST(PointDisplacementKernel, DirectionalKernelSkipsOnlyTheCircleCentredOnThePoint)
{
    // The circle about (5, 5) adds nothing at its own centre; the vectors before and after it
    // still count, in the same order, so the result is the other circle's alone.
    CControlSet other;
    other.AddCircle(7.0, 5.0, 1.5, 1.6, 16);
    CControlSet mixed;
    mixed.Sources.assign(other.Sources.begin(), other.Sources.begin() + 16);
    mixed.Targets.assign(other.Targets.begin(), other.Targets.begin() + 16);
    mixed.Centres.assign(other.Centres.begin(), other.Centres.begin() + 16);
    mixed.AddCircle(5.0, 5.0, 1.0, 1.4, 16);
    mixed.Sources.insert(mixed.Sources.end(), other.Sources.begin() + 16, other.Sources.end());
    mixed.Targets.insert(mixed.Targets.end(), other.Targets.begin() + 16, other.Targets.end());
    mixed.Centres.insert(mixed.Centres.end(), other.Centres.begin() + 16, other.Centres.end());

    CPointDisplacementTransformer a, b;
    mixed.LoadInto(a);
    other.LoadInto(b);
    const CPointForce fa = a.EvaluatePoint(5.0, 5.0, ForceDirectionalDecay, ElasticityGradient);
    const CPointForce fb = b.EvaluatePoint(5.0, 5.0, ForceDirectionalDecay, ElasticityGradient);
    EXPECT_NE(fb.Dx, 0.0);
    EXPECT_EQ(fa.Dx, fb.Dx);
    EXPECT_EQ(fa.Dy, fb.Dy);
    EXPECT_EQ(fa.Measure, fb.Measure);
}

TEST(PointDisplacementKernel, RadiusCorrectionDampsForcesInsideTheCircle)
{
    CControlSet set;
    set.AddCircle(0.0, 0.0, 2.0, 1.5, 16);
    CPointDisplacementTransformer plain, corrected;
    set.LoadInto(plain, NoCorrection);
    set.LoadInto(corrected, 4.0);
    const double x = 1.0, y = 0.3;
    const double plainPush = std::hypot(plain.EvaluatePoint(x, y, ForceExponentialDecay, ElasticityJacobian).Dx,
                                        plain.EvaluatePoint(x, y, ForceExponentialDecay, ElasticityJacobian).Dy);
    const CPointForce damped = corrected.EvaluatePoint(x, y, ForceExponentialDecay, ElasticityJacobian);
    EXPECT_LT(std::hypot(damped.Dx, damped.Dy), plainPush);
}

TEST(PointDisplacementKernel, RefusesMissingOrInconsistentInput)
{
    CPointDisplacementTransformer transformer;
    const double points[2] = {0.0, 0.0};
    double out[2] = {};
    EXPECT_EQ(transformer.SetControlVectors(0, points, points), 0);
    EXPECT_EQ(transformer.SetControlVectors(1, points, nullptr), 0);
    EXPECT_FALSE(transformer.Precompute(NoCorrection));
    EXPECT_EQ(transformer.DisplaceAll(1, points, out, ForceExponentialDecay, OnePlusEpsilon, NoCorrection, 0), 0);

    SingleVector(1.0, 0.0).LoadInto(transformer);
    EXPECT_EQ(transformer.SetCentres(2, points), 0);
    EXPECT_EQ(transformer.DisplaceAll(1, points, out, 7, OnePlusEpsilon, NoCorrection, 0), 0);
    // Records made without correction cannot serve a correction radius.
    EXPECT_EQ(transformer.DisplaceAll(1, points, out, ForceExponentialDecay, OnePlusEpsilon, 3.0, 0), 0);
    EXPECT_EQ(DisplaceAllParallel(transformer, 1, points, out, 4, 7, OnePlusEpsilon, NoCorrection, 0), 0);
    // New vectors of another count drop the old centres: the directional kernel needs fresh ones.
    const double two[4] = {0.0, 0.0, 1.0, 1.0};
    ASSERT_EQ(transformer.SetControlVectors(2, two, two), 1);
    ASSERT_TRUE(transformer.Precompute(NoCorrection));
    EXPECT_EQ(transformer.DisplaceAll(1, points, out, ForceDirectionalDecay, OnePlusEpsilon, NoCorrection, 0), 0);
    EXPECT_EQ(transformer.DisplaceAll(1, points, out, ForceExponentialDecay, OnePlusEpsilon, NoCorrection, 0), 1);
}

std::unique_ptr<CPolygonRing> Ring(std::vector<double> points)
{
    auto ring = std::make_unique<CPolygonRing>();
    ring->SetPoints(static_cast<int32_t>(points.size() / 2), points.data(), true);
    return ring;
}

TEST(PointDisplacementFit, KeepAspectCentresTheShortAxis)
{
    struct Case {
        CExtent From, To;
        CExtent Expected;
    };
    const Case cases[] = {
        {{0, 0, 2, 1}, {0, 0, 4, 4}, {0, 1, 4, 3}},    // wide data: centred vertically
        {{0, 0, 1, 2}, {0, 0, 4, 4}, {1, 0, 3, 4}},    // tall data: centred horizontally
        {{10, 10, 12, 11}, {-4, -2, 4, 2}, {-4, -2, 4, 2}},
    };
    for (const Case& c : cases) {
        CSimplePolygon polygon;
        polygon.AddRing(Ring({c.From.MinX, c.From.MinY, c.From.MinX, c.From.MaxY, c.From.MaxX, c.From.MaxY,
                              c.From.MaxX, c.From.MinY, c.From.MinX, c.From.MinY}));
        ASSERT_EQ(CPointDisplacementTransformer::FitPolygonToBox(polygon, c.From, c.To, true), 1);
        const CPolygonRing& ring = polygon.Ring(0);
        EXPECT_DOUBLE_EQ(ring.MinX(), c.Expected.MinX);
        EXPECT_DOUBLE_EQ(ring.MinY(), c.Expected.MinY);
        EXPECT_DOUBLE_EQ(ring.MaxX(), c.Expected.MaxX);
        EXPECT_DOUBLE_EQ(ring.MaxY(), c.Expected.MaxY);
        EXPECT_DOUBLE_EQ(polygon.MaxY(), c.Expected.MaxY);
    }
}

TEST(PointDisplacementFit, WithoutAspectEachAxisFillsTheBox)
{
    const double in[4] = {0.0, 0.0, 2.0, 1.0};
    double out[4] = {};
    ASSERT_EQ(CPointDisplacementTransformer::FitPointsToBox(2, in, out, {0, 0, 2, 1}, {1, 1, 5, 9}, false), 1);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{1.0, 1.0, 5.0, 9.0}));
    EXPECT_EQ(CPointDisplacementTransformer::FitPointsToBox(2, in, out, {0, 0, 0, 1}, {1, 1, 5, 9}, false), 0);
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(PointDisplacementParallel, AnyThreadCountGivesTheSameBits)
{
    const CControlSet set = RandomCircles(60, 7);
    CPointDisplacementTransformer transformer;
    set.LoadInto(transformer);
    const std::vector<double> in = GridPoints(55, 100.0 / 54);
    const auto n = static_cast<int32_t>(in.size() / 2);
    const std::pair<int32_t, int32_t> kinds[] = {{ForceExponentialDecay, ElasticityJacobian},
                                                 {ForceExponentialDecay, ElasticityGradient},
                                                 {ForceDirectionalDecay, ElasticityJacobian}};
    for (const auto& [force, elasticity] : kinds) {
        std::vector<double> single(in.size());
        ASSERT_EQ(transformer.DisplaceAll(n, in.data(), single.data(), force, OnePlusEpsilon, NoCorrection, elasticity), 1);
        const double divisor = transformer.ElasticityDivisor;
        for (int32_t threads : {0, 2, 3, 8}) {
            std::vector<double> parallel(in.size());
            ASSERT_EQ(DisplaceAllParallel(transformer, n, in.data(), parallel.data(), threads, force, OnePlusEpsilon, NoCorrection, elasticity), 1);
            EXPECT_TRUE(SameBits(single, parallel)) << "force " << force << " threads " << threads;
            EXPECT_EQ(std::memcmp(&divisor, &transformer.ElasticityDivisor, sizeof divisor), 0);
        }
    }
}

TEST(PointDisplacementParallel, FewerPointsThanWorkersAndInPlaceBuffers)
{
    const CControlSet set = RandomCircles(4, 3);
    CPointDisplacementTransformer transformer;
    set.LoadInto(transformer);
    const std::vector<double> in = {10.0, 20.0, 30.0, 40.0, 50.0, 60.0, 70.0, 80.0, 90.0, 15.0};
    std::vector<double> single(in.size());
    transformer.DisplaceAll(5, in.data(), single.data(), ForceExponentialDecay, OnePlusEpsilon, NoCorrection, ElasticityJacobian);
    std::vector<double> inPlace = in;
    ASSERT_EQ(DisplaceAllParallel(transformer, 5, inPlace.data(), inPlace.data(), 8, ForceExponentialDecay, OnePlusEpsilon, NoCorrection, ElasticityJacobian), 1);
    EXPECT_TRUE(SameBits(single, inPlace));
}

} // namespace
} // namespace tessaro
