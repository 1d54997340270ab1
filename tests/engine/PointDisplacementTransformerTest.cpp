#include "engine/PointDisplacementTransformer.h"

#include "geometry/SimplePolygon.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

namespace tessaro {
namespace {

constexpr double NoCorrection = -1.0;
constexpr double OnePlusEpsilon = 1.05;
using PDT = CPointDisplacementTransformer;

// Control vectors from circles about given centres, pushed out by `factor` times their radius.
struct CControlSet {
    std::vector<double> Sources, Targets, Centres;
    void Add(double sx, double sy, double tx, double ty, double cx, double cy)
    {
        Sources.insert(Sources.end(), {sx, sy});
        Targets.insert(Targets.end(), {tx, ty});
        Centres.insert(Centres.end(), {cx, cy});
    }
    void AddCircle(double cx, double cy, double radius, double factor, int points)
    {
        for (int k = 0; k < points; ++k) {
            const double angle = 2.0 * std::numbers::pi * k / points;
            const double x = cx + radius * std::cos(angle), y = cy + radius * std::sin(angle);
            Add(x, y, cx + (x - cx) * factor, cy + (y - cy) * factor, cx, cy);
        }
    }
    int32_t Count() const { return static_cast<int32_t>(Sources.size() / 2); }
    void LoadInto(PDT& transformer, double rc = NoCorrection) const
    {
        ASSERT_EQ(transformer.SetControlVectors(Count(), Sources.data(), Targets.data()), 1);
        ASSERT_EQ(transformer.SetCentres(Count(), Centres.data()), 1);
        ASSERT_TRUE(transformer.Precompute(rc));
    }
};

// One vector from the origin to (tx, ty), sampled from a circle about (-1, 0).
CControlSet SingleVector(double tx, double ty)
{
    CControlSet set;
    set.Add(0.0, 0.0, tx, ty, -1.0, 0.0);
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

bool SameForce(const CPointForce& a, const CPointForce& b) { return a.Dx == b.Dx && a.Dy == b.Dy && a.Measure == b.Measure; }

TEST(PointDisplacementKernel, SingleVectorEndPointAndElasticityDivisorOfBothTypes)
{
    // At the end point (1, 0): D = exp(-1) * L along x, Jxx = -exp(-1), every other entry 0.
    PDT transformer;
    SingleVector(1.0, 0.0).LoadInto(transformer);
    const CPointForce force = transformer.EvaluatePoint(1.0, 0.0, ForceDecay::Exponential, ElasticityMeasure::Jacobian);
    EXPECT_DOUBLE_EQ(force.Dx, std::exp(-1.0));
    EXPECT_EQ(force.Dy, 0.0);
    const double in[2] = {1.0, 0.0};
    double out[2] = {};
    ASSERT_EQ(transformer.DisplaceAll(1, in, out, ForceDecay::Exponential, OnePlusEpsilon, NoCorrection, ElasticityMeasure::Jacobian), 1);
    EXPECT_DOUBLE_EQ(transformer.ElasticityDivisor, OnePlusEpsilon);
    EXPECT_DOUBLE_EQ(out[0], 1.0 + std::exp(-1.0) / OnePlusEpsilon);
    transformer.DisplaceAll(1, in, out, ForceDecay::Exponential, OnePlusEpsilon, NoCorrection, ElasticityMeasure::Gradient);
    EXPECT_DOUBLE_EQ(transformer.ElasticityDivisor, std::exp(-1.0) * OnePlusEpsilon);
}

TEST(PointDisplacementKernel, MeasuresAndDivisorsOfTheFoldingStep)
{
    // Jacobian: no field, singular (1 + lambda * trace = 0), double root, two roots, negative
    // determinant, rotation (no real root), expansion (only negative roots).
    const std::array<double, 5> jacobian[] = {{0, 0, 0, 0, 1.0},  {-4, 0, 0, 0, 0.25}, {-2, -2, 0, 0, 0.5},
                                              {-1, -3, 0, 0, 1.0 / 3.0}, {1, -2, 0, 0, 0.5},  {0, 0, 1, -1, 1.0},
                                              {2, 3, 0, 0, 1.0}};
    for (const auto& c : jacobian)
        EXPECT_DOUBLE_EQ(PDT::JacobianMeasure(c[0], c[1], c[2], c[3]), c[4]) << c[0] << " " << c[1] << " " << c[2];
    EXPECT_DOUBLE_EQ(PDT::GradientMeasure(-3.0, -4.0), -5.0);
    EXPECT_DOUBLE_EQ(PDT::GradientMeasure(-3.0, 2.0), -3.0);
    EXPECT_DOUBLE_EQ(PDT::GradientMeasure(1.0, 2.0), 1.0);
    EXPECT_DOUBLE_EQ(PDT::DivisorFromMinimum(0.5, 1.05, ElasticityMeasure::Jacobian), 2.1);
    EXPECT_DOUBLE_EQ(PDT::DivisorFromMinimum(0.3, 1.05, ElasticityMeasure::Gradient), 1.0);
}

TEST(PointDisplacementKernel, VectorsReachBelowTheirCutOffOnly)
{
    // Length 2: the exponential kernel reaches below 40 units, the directional one below 32.
    PDT transformer;
    SingleVector(2.0, 0.0).LoadInto(transformer);
    const struct {
        double X, Y;
        ForceDecay Force;
        bool Moved;
    } cases[] = {{39.9, 0.0, ForceDecay::Exponential, true},   {40.0, 0.0, ForceDecay::Exponential, false},
                 {0.0, -40.0, ForceDecay::Exponential, false}, {31.9, 0.0, ForceDecay::Directional, true},
                 {32.0, 0.0, ForceDecay::Directional, false},  {-50.0, 0.0, ForceDecay::Directional, false}};
    for (const auto& c : cases) {
        const CPointForce force = transformer.EvaluatePoint(c.X, c.Y, c.Force, ElasticityMeasure::Gradient);
        EXPECT_EQ(force.Dx != 0.0 || force.Dy != 0.0, c.Moved) << c.X << ", " << c.Y << " force " << static_cast<int>(c.Force);
    }
}

// Zero-length vectors add nothing; the directional kernel skips only the circle centred on the
// point (the circles before and after it still count, in order); the correction radius damps
// the forces inside its circle.
TEST(PointDisplacementKernel, WhatAddsNothingAndWhatIsDamped)
{
    CControlSet withZeros = SingleVector(1.0, 0.0);
    withZeros.Add(0.5, 0.5, 0.5, 0.5, 0.0, 0.0);
    withZeros.Add(3.0, 3.0, 3.0, 3.0, 0.0, 0.0);
    PDT zeros, alone;
    withZeros.LoadInto(zeros);
    SingleVector(1.0, 0.0).LoadInto(alone);
    for (ForceDecay force : {ForceDecay::Exponential, ForceDecay::Directional})
        EXPECT_TRUE(SameForce(zeros.EvaluatePoint(0.7, 0.2, force, ElasticityMeasure::Jacobian),
                              alone.EvaluatePoint(0.7, 0.2, force, ElasticityMeasure::Jacobian)));

    CControlSet others, mixed;
    for (CControlSet* set : {&others, &mixed})
        set->AddCircle(7.0, 5.0, 1.5, 1.6, 16);
    mixed.AddCircle(5.0, 5.0, 1.0, 1.4, 16);
    for (CControlSet* set : {&others, &mixed})
        set->AddCircle(4.0, 3.5, 1.0, 0.7, 16);
    PDT a, b;
    mixed.LoadInto(a);
    others.LoadInto(b);
    const CPointForce fb = b.EvaluatePoint(5.0, 5.0, ForceDecay::Directional, ElasticityMeasure::Gradient);
    EXPECT_NE(fb.Dx, 0.0);
    EXPECT_TRUE(SameForce(a.EvaluatePoint(5.0, 5.0, ForceDecay::Directional, ElasticityMeasure::Gradient), fb));

    CControlSet circle;
    circle.AddCircle(0.0, 0.0, 2.0, 1.5, 16);
    PDT plain, corrected;
    circle.LoadInto(plain, NoCorrection);
    circle.LoadInto(corrected, 4.0);
    const CPointForce full = plain.EvaluatePoint(1.0, 0.3, ForceDecay::Exponential, ElasticityMeasure::Jacobian);
    const CPointForce damped = corrected.EvaluatePoint(1.0, 0.3, ForceDecay::Exponential, ElasticityMeasure::Jacobian);
    EXPECT_LT(std::hypot(damped.Dx, damped.Dy), std::hypot(full.Dx, full.Dy));
}

TEST(PointDisplacementKernel, DirectionalKernelNeverReversesTheField)
{
    CControlSet set;
    set.AddCircle(10.0, 10.0, 3.0, 2.0, 16);
    set.AddCircle(18.0, 12.0, 2.0, 0.5, 16);
    PDT transformer;
    set.LoadInto(transformer);
    const std::vector<double> in = GridPoints(20, 1.3);
    const auto n = static_cast<int32_t>(in.size() / 2);
    std::vector<double> jacobian(in.size()), gradient(in.size());
    ASSERT_EQ(transformer.DisplaceAll(n, in.data(), jacobian.data(), ForceDecay::Directional, OnePlusEpsilon, NoCorrection, ElasticityMeasure::Jacobian), 1);
    EXPECT_GT(transformer.ElasticityDivisor, 0.0);
    transformer.DisplaceAll(n, in.data(), gradient.data(), ForceDecay::Directional, OnePlusEpsilon, NoCorrection, ElasticityMeasure::Gradient);
    EXPECT_EQ(jacobian, gradient);
    for (size_t j = 0; j < in.size(); j += 2) {
        const CPointForce raw = transformer.EvaluatePoint(in[j], in[j + 1], ForceDecay::Directional, ElasticityMeasure::Jacobian);
        EXPECT_GE((jacobian[j] - in[j]) * raw.Dx + (jacobian[j + 1] - in[j + 1]) * raw.Dy, 0.0) << "point " << j / 2;
    }
}

TEST(PointDisplacementKernel, RefusesMissingOrInconsistentInput)
{
    PDT t;
    const double p[4] = {0.0, 0.0, 1.0, 1.0};
    double out[2] = {};
    EXPECT_EQ(t.DisplaceAll(1, p, out, ForceDecay::Exponential, OnePlusEpsilon, NoCorrection, ElasticityMeasure::Jacobian), 0); // no records
    SingleVector(1.0, 0.0).LoadInto(t);
    EXPECT_EQ(t.SetCentres(2, p), 0);
    EXPECT_EQ(t.DisplaceAll(1, p, out, ForceDecay::Exponential, OnePlusEpsilon, 3.0, ElasticityMeasure::Jacobian), 0) << "records lack this rc";
    EXPECT_EQ(DisplaceAllParallel(t, 1, p, out, 4, static_cast<ForceDecay>(7), OnePlusEpsilon, NoCorrection, ElasticityMeasure::Jacobian), 0);
    // New vectors of another count drop the old centres: the directional kernel needs fresh ones.
    ASSERT_EQ(t.SetControlVectors(2, p, p), 1);
    ASSERT_TRUE(t.Precompute(NoCorrection));
    EXPECT_EQ(t.DisplaceAll(1, p, out, ForceDecay::Directional, OnePlusEpsilon, NoCorrection, ElasticityMeasure::Jacobian), 0);
    EXPECT_EQ(t.DisplaceAll(1, p, out, ForceDecay::Exponential, OnePlusEpsilon, NoCorrection, ElasticityMeasure::Jacobian), 1);
}

TEST(PointDisplacementFit, KeepAspectCentresTheShortAxisAndWithoutItEachAxisFills)
{
    const struct {
        CExtent From, To, Expected;
    } cases[] = {
        {{0, 0, 2, 1}, {0, 0, 4, 4}, {0, 1, 4, 3}}, // wide data: centred vertically
        {{0, 0, 1, 2}, {0, 0, 4, 4}, {1, 0, 3, 4}}, // tall data: centred horizontally
        {{10, 10, 12, 11}, {-4, -2, 4, 2}, {-4, -2, 4, 2}},
    };
    for (const auto& c : cases) {
        const CExtent& f = c.From;
        const double points[] = {f.MinX, f.MinY, f.MinX, f.MaxY, f.MaxX, f.MaxY, f.MaxX, f.MinY, f.MinX, f.MinY};
        CSimplePolygon polygon;
        polygon.AddRing(std::make_unique<CPolygonRing>());
        polygon.Ring(0).SetPoints(5, points, true);
        ASSERT_EQ(PDT::FitPolygonToBox(polygon, c.From, c.To, true), 1);
        const CPolygonRing& fitted = polygon.Ring(0);
        EXPECT_EQ((CExtent{fitted.MinX(), fitted.MinY(), fitted.MaxX(), fitted.MaxY()}), c.Expected);
        EXPECT_EQ((CExtent{polygon.MinX(), polygon.MinY(), polygon.MaxX(), polygon.MaxY()}), c.Expected);
    }
    const double in[4] = {0.0, 0.0, 2.0, 1.0};
    double out[4] = {};
    ASSERT_EQ(PDT::FitPointsToBox(2, in, out, {0, 0, 2, 1}, {1, 1, 5, 9}, false), 1);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{1.0, 1.0, 5.0, 9.0}));
    EXPECT_EQ(PDT::FitPointsToBox(2, in, out, {0, 0, 0, 1}, {1, 1, 5, 9}, false), 0);
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

CControlSet RandomCircles(int circles, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> position(0.0, 100.0), radius(0.5, 6.0), factor(0.6, 1.8);
    CControlSet set;
    for (int c = 0; c < circles; ++c)
        set.AddCircle(position(random), position(random), radius(random), factor(random), 16);
    return set;
}

// The point that folds most is put last, into the last worker's share, so that every worker's
// smallest measure must reach the divisor.
TEST(PointDisplacementParallel, AnyThreadCountGivesTheSameBitsAlsoInPlace)
{
    PDT transformer;
    RandomCircles(60, 7).LoadInto(transformer);
    const std::pair<ForceDecay, ElasticityMeasure> kinds[] = {{ForceDecay::Exponential, ElasticityMeasure::Jacobian},
                                                 {ForceDecay::Exponential, ElasticityMeasure::Gradient},
                                                 {ForceDecay::Directional, ElasticityMeasure::Jacobian}};
    for (const auto& [force, elasticity] : kinds) {
        std::vector<double> in = GridPoints(55, 100.0 / 54);
        const auto n = static_cast<int32_t>(in.size() / 2);
        size_t most = 0;
        for (size_t j = 0; j < in.size(); j += 2)
            if (transformer.EvaluatePoint(in[j], in[j + 1], force, elasticity).Measure <
                transformer.EvaluatePoint(in[most], in[most + 1], force, elasticity).Measure)
                most = j;
        std::swap_ranges(in.begin() + static_cast<long>(most), in.begin() + static_cast<long>(most) + 2, in.end() - 2);
        std::vector<double> single(in.size());
        ASSERT_EQ(transformer.DisplaceAll(n, in.data(), single.data(), force, OnePlusEpsilon, NoCorrection, elasticity), 1);
        const double divisor = transformer.ElasticityDivisor;
        for (int32_t threads : {0, 2, 3, 8}) {
            std::vector<double> parallel = in; // displaced in place
            ASSERT_EQ(DisplaceAllParallel(transformer, n, parallel.data(), parallel.data(), threads, force, OnePlusEpsilon,
                                          NoCorrection, elasticity),
                      1);
            EXPECT_TRUE(SameBits(single, parallel)) << "force " << static_cast<int>(force) << " threads " << threads;
            EXPECT_EQ(std::memcmp(&divisor, &transformer.ElasticityDivisor, sizeof divisor), 0);
        }
        // Fewer points than workers.
        std::vector<double> few(in.end() - 6, in.end()), fewSingle(6);
        transformer.DisplaceAll(3, few.data(), fewSingle.data(), force, OnePlusEpsilon, NoCorrection, elasticity);
        ASSERT_EQ(DisplaceAllParallel(transformer, 3, few.data(), few.data(), 8, force, OnePlusEpsilon, NoCorrection, elasticity), 1);
        EXPECT_TRUE(SameBits(fewSingle, few));
    }
}

} // namespace
} // namespace tessaro
