#include "engine/PointDisplacementTransformer.h"

#include "geometry/GeometryPrimitives.h"
#include "engine/ParallelWorkers.h"
#include "geometry/SimplePolygon.h"

#include <algorithm>
#include <cmath>

namespace tessaro {

namespace {

constexpr double ZeroVectorInverse = 1e300;
constexpr double InitialWorkerMinimum = 1e38;
// Points between two looks at the cancel flag.
constexpr size_t CancelCheckInterval = 64;
bool IsKnownForceType(ForceDecay forceType)
{
    return forceType == ForceDecay::Exponential || forceType == ForceDecay::Directional ||
           forceType == ForceDecay::FixedRange;
}

// Every index 0 .. count-1, for the full evaluation.
struct CAllIndices {
    size_t Count;
    struct Iterator {
        size_t I;
        size_t operator*() const { return I; }
        Iterator& operator++()
        {
            ++I;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return I != other.I; }
    };
    Iterator begin() const { return {0}; }
    Iterator end() const { return {Count}; }
};

// p + D / N for every point; in and out may alias because D sits in its own buffer.
void ApplyDisplacements(int32_t n, const double* in, const std::vector<double>& displacements, double divisor,
                        double* out)
{
    for (size_t k = 0; k < 2 * static_cast<size_t>(n); ++k)
        out[k] = in[k] + displacements[k] / divisor;
}

void FitOnePoint(double x, double y, const CExtent& from, const CExtent& to, bool keepAspect, double* out)
{
    const double sx = to.Width() / from.Width();
    const double sy = to.Height() / from.Height();
    if (!keepAspect) {
        out[0] = (x - from.MinX) * sx + to.MinX;
        out[1] = (y - from.MinY) * sy + to.MinY;
    } else if (sy >= sx) {
        // Width decides; the data is centred vertically in the to box.
        out[0] = (x - from.MinX) * sx + to.MinX;
        out[1] = (y - from.MinY) * sx + (to.MinY + to.MaxY) / 2.0 - from.Height() * sx / 2.0;
    } else {
        out[0] = (x - from.MinX) * sy + (to.MinX + to.MaxX) / 2.0 - from.Width() * sy / 2.0;
        out[1] = (y - from.MinY) * sy + to.MinY;
    }
}

bool HasArea(const CExtent& box)
{
    return box.Width() > 0.0 && box.Height() > 0.0 && std::isfinite(box.Width()) && std::isfinite(box.Height());
}

} // namespace

int CPointDisplacementTransformer::SetControlVectors(int32_t n, const double* sources, const double* targets)
{
    if (n < 1 || sources == nullptr || targets == nullptr)
        return 0;
    ControlCount = n;
    // One list without the other means the pair was torn apart; refuse to patch it up.
    if (Sources.empty() != Targets.empty())
        return 0;
    const auto size = 2 * static_cast<size_t>(n);
    // Centres of another set of vectors would pair with the wrong circles.
    if (Sources.size() != size)
        Centres.clear();
    Sources.assign(sources, sources + size);
    Targets.assign(targets, targets + size);
    return 1;
}

int CPointDisplacementTransformer::SetCentres(int32_t n, const double* centres)
{
    if (n < 1 || centres == nullptr || n != ControlCount)
        return 0;
    Centres.assign(centres, centres + 2 * static_cast<size_t>(n));
    return 1;
}

bool CPointDisplacementTransformer::Precompute(double rc)
{
    const auto count = static_cast<size_t>(ControlCount);
    if (ControlCount < 1 || Sources.size() < 2 * count || Targets.size() < 2 * count)
        return false;
    const double q = SignedSquare(rc);
    const bool withCentres = Centres.size() == 2 * count;
    // The correction radius is measured from the circle centres.
    if (q > 0.0 && !withCentres)
        return false;
    ControlRecords.assign(count, CControlRecord{});
    const bool withRanges = withCentres && KernelRange > 0.0;
    for (size_t i = 0; i < count; ++i) {
        CControlRecord& record = ControlRecords[i];
        const double dx = Targets[2 * i] - Sources[2 * i];
        const double dy = Targets[2 * i + 1] - Sources[2 * i + 1];
        record.LengthSquared = dx * dx + dy * dy;
        record.Length = std::sqrt(record.LengthSquared);
        record.InverseLength = record.Length < GeomEpsilon ? ZeroVectorInverse : 1.0 / record.Length;
        const CPoint2D u = UnitVector(dx, dy, record.Length);
        record.UnitX = u.X;
        record.UnitY = u.Y;
        if (q > 0.0) {
            const double cx = Sources[2 * i] - Centres[2 * i];
            const double cy = Sources[2 * i + 1] - Centres[2 * i + 1];
            record.CentreDistanceSquared = cx * cx + cy * cy;
            // A source on its own centre has no finite stretch and is left uncorrected.
            if (q > record.CentreDistanceSquared && record.CentreDistanceSquared > 0.0)
                record.Stretch = q / record.CentreDistanceSquared;
        }
        if (withRanges) {
            const double sigma = std::hypot(Sources[2 * i] - Centres[2 * i], Sources[2 * i + 1] - Centres[2 * i + 1]);
            const double range = KernelRange * sigma;
            record.InverseRange = range >= GeomEpsilon ? 1.0 / range : 0.0;
        }
    }
    PrecomputedQ_ = q;
    return true;
}

double CPointDisplacementTransformer::SignedSquare(double rc)
{
    return rc >= 0.0 ? rc * rc : -rc * rc;
}

bool CPointDisplacementTransformer::CanEvaluate(ForceDecay forceType, double rc) const
{
    const auto count = static_cast<size_t>(ControlCount);
    if (!IsKnownForceType(forceType) || ControlCount < 1)
        return false;
    if (Sources.size() < 2 * count || Targets.size() < 2 * count || ControlRecords.size() < count)
        return false;
    // The directional and fixed-range forces are measured from the circle centres.
    if (forceType != ForceDecay::Exponential)
        return Centres.size() == 2 * count;
    // The records' correction slots were filled for one Rc; another would read them wrongly.
    return SignedSquare(rc) == PrecomputedQ_;
}

double CPointDisplacementTransformer::Reach(size_t i, ForceDecay forceType) const
{
    const CControlRecord& record = ControlRecords[i];
    if (record.Length < GeomEpsilon)
        return 0.0;
    switch (forceType) {
    case ForceDecay::Exponential:
        // The correction radius only stretches distances, so it never lengthens the reach.
        return std::sqrt(ExponentialCutoff2) * record.Length;
    case ForceDecay::Directional:
        return std::sqrt(DirectionalCutoff2) * record.Length;
    case ForceDecay::FixedRange:
        return record.InverseRange > 0.0 ? std::sqrt(FixedRangeCutoff2) / record.InverseRange : 0.0;
    }
    return 0.0;
}

CPointForce CPointDisplacementTransformer::EvaluatePoint(double x, double y, ForceDecay forceType,
                                                         ElasticityMeasure elasticityType) const
{
    const CAllIndices all{static_cast<size_t>(ControlCount)};
    if (forceType == ForceDecay::Directional)
        return DirectionalKernel(x, y, all);
    if (forceType == ForceDecay::FixedRange)
        return FixedRangeKernel(x, y, EffectiveElasticityType(forceType, elasticityType), true, all);
    return ExponentialKernel(x, y, EffectiveElasticityType(forceType, elasticityType), all);
}

CPointForce CPointDisplacementTransformer::EvaluatePoint(double x, double y, ForceDecay forceType,
                                                         ElasticityMeasure elasticityType,
                                                         std::span<const int32_t> candidates, bool withMeasure) const
{
    if (forceType == ForceDecay::Directional)
        return DirectionalKernel(x, y, candidates);
    if (forceType == ForceDecay::FixedRange)
        return FixedRangeKernel(x, y, EffectiveElasticityType(forceType, elasticityType), withMeasure, candidates);
    return ExponentialKernel(x, y, EffectiveElasticityType(forceType, elasticityType), candidates);
}

template <typename Indices>
CPointForce CPointDisplacementTransformer::FixedRangeKernel(double x, double y, ElasticityMeasure effectiveType,
                                                            bool withMeasure, const Indices& indices) const
{
    CPointForce force;
    double jxx = 0.0, jyy = 0.0, jxy = 0.0, jyx = 0.0;
    const bool fullJacobian = effectiveType == ElasticityMeasure::Jacobian;
    for (const auto index : indices) {
        const auto i = static_cast<size_t>(index);
        const CControlRecord& record = ControlRecords[i];
        const double length = record.Length;
        const double inverseRange = record.InverseRange;
        if (length < GeomEpsilon || inverseRange == 0.0)
            continue;
        const double ex = x - Sources[2 * i];
        const double ey = y - Sources[2 * i + 1];
        const double d2 = ex * ex + ey * ey;
        if (!(d2 * inverseRange * inverseRange < FixedRangeCutoff2))
            continue;
        const double d = std::sqrt(d2);
        const double w = std::exp(-d * inverseRange);
        force.Dx += length * w * record.UnitX;
        force.Dy += length * w * record.UnitY;
        if (!withMeasure)
            continue;
        // The push falls off over l, not over L: its derivative carries L / l.
        const CPoint2D v = UnitVector(ex, ey, d);
        const double lw = length * inverseRange * w;
        jxx -= lw * record.UnitX * v.X;
        jyy -= lw * record.UnitY * v.Y;
        if (fullJacobian) {
            jxy -= lw * record.UnitX * v.Y;
            jyx -= lw * record.UnitY * v.X;
        }
    }
    if (withMeasure)
        force.Measure = fullJacobian ? JacobianMeasure(jxx, jyy, jxy, jyx) : GradientMeasure(jxx, jyy);
    return force;
}

template <typename Indices>
CPointForce CPointDisplacementTransformer::ExponentialKernel(double x, double y, ElasticityMeasure effectiveType,
                                                             const Indices& indices) const
{
    CPointForce force;
    double jxx = 0.0, jyy = 0.0, jxy = 0.0, jyx = 0.0;
    const bool fullJacobian = effectiveType == ElasticityMeasure::Jacobian;
    const double q = PrecomputedQ_;
    for (const auto index : indices) {
        const auto i = static_cast<size_t>(index);
        const CControlRecord& record = ControlRecords[i];
        const double length = record.Length;
        if (length < GeomEpsilon)
            continue;
        const double ex = x - Sources[2 * i];
        const double ey = y - Sources[2 * i + 1];
        double d2 = ex * ex + ey * ey;
        double mu = 1.0;
        if (q > 0.0 && q > record.CentreDistanceSquared && record.Stretch > 0.0) {
            // Inside the correction radius distances are stretched, which damps the inner forces.
            d2 *= record.Stretch;
            mu = std::sqrt(record.Stretch);
        }
        if (!(d2 < ExponentialCutoff2 * record.LengthSquared))
            continue;
        const double d = std::sqrt(d2);
        const double w = std::exp(-d * record.InverseLength);
        force.Dx += length * w * record.UnitX;
        force.Dy += length * w * record.UnitY;
        const CPoint2D v = UnitVector(mu * ex, mu * ey, d);
        const double mw = mu * w;
        jxx -= mw * record.UnitX * v.X;
        jyy -= mw * record.UnitY * v.Y;
        if (fullJacobian) {
            jxy -= mw * record.UnitX * v.Y;
            jyx -= mw * record.UnitY * v.X;
        }
    }
    force.Measure = fullJacobian ? JacobianMeasure(jxx, jyy, jxy, jyx) : GradientMeasure(jxx, jyy);
    return force;
}

template <typename Indices>
CPointForce CPointDisplacementTransformer::DirectionalKernel(double x, double y, const Indices& indices) const
{
    CPointForce force;
    double jxx = 0.0, jyy = 0.0;
    for (const auto index : indices) {
        const auto i = static_cast<size_t>(index);
        const CControlRecord& record = ControlRecords[i];
        const double length = record.Length;
        if (length < GeomEpsilon)
            continue;
        const double ex = x - Sources[2 * i];
        const double ey = y - Sources[2 * i + 1];
        const double d2 = ex * ex + ey * ey;
        if (!(d2 < DirectionalCutoff2 * record.LengthSquared))
            continue;
        const CPoint2D fromCentre{x - Centres[2 * i], y - Centres[2 * i + 1]};
        const double rho = std::sqrt(fromCentre.X * fromCentre.X + fromCentre.Y * fromCentre.Y);
        // At the circle's centre the angle is undefined: this vector adds nothing, and the sums
        // gathered from the vectors before it are kept.
        if (rho < GeomEpsilon)
            continue;
        const CPoint2D sourceFromCentre{Sources[2 * i] - Centres[2 * i], Sources[2 * i + 1] - Centres[2 * i + 1]};
        const double sigma = std::sqrt(sourceFromCentre.X * sourceFromCentre.X + sourceFromCentre.Y * sourceFromCentre.Y);
        const double d = std::sqrt(d2);
        const double w = std::exp(-d * record.InverseLength);
        const double cosPhi = CosAngle(sourceFromCentre, fromCentre, sigma, rho);
        force.Dx += length * w * cosPhi * record.UnitX;
        force.Dy += length * w * cosPhi * record.UnitY;
        const double dCosX =
            (DirectionCos(sourceFromCentre.X, sourceFromCentre.Y, sigma) - DirectionCos(fromCentre.X, fromCentre.Y, rho) * cosPhi) / rho;
        const double dCosY =
            (DirectionSin(sourceFromCentre.X, sourceFromCentre.Y, sigma) - DirectionSin(fromCentre.X, fromCentre.Y, rho) * cosPhi) / rho;
        const double vx = DirectionCos(ex, ey, d);
        const double vy = DirectionSin(ex, ey, d);
        jxx += w * record.UnitX * (length * dCosX - vx * cosPhi);
        jyy += w * record.UnitY * (length * dCosY - vy * cosPhi);
    }
    force.Measure = GradientMeasure(jxx, jyy);
    return force;
}

double CPointDisplacementTransformer::JacobianMeasure(double jxx, double jyy, double jxy, double jyx)
{
    const double trace = jxx + jyy;
    const double det = jxx * jyy - jxy * jyx;
    if (std::fabs(det) < GeomEpsilon)
        return trace < 0.0 ? std::min(1.0, -1.0 / trace) : 1.0;
    const double discriminant = trace * trace - 4.0 * det;
    if (discriminant < 0.0)
        return 1.0;
    const double lambda = (-trace - std::sqrt(discriminant)) / (2.0 * det);
    return lambda <= 0.0 ? 1.0 : lambda;
}

double CPointDisplacementTransformer::GradientMeasure(double jxx, double jyy)
{
    if (jxx < 0.0 && jyy < 0.0)
        return -std::sqrt(jxx * jxx + jyy * jyy);
    return std::min(jxx, jyy);
}

ElasticityMeasure CPointDisplacementTransformer::EffectiveElasticityType(ForceDecay forceType, ElasticityMeasure elasticityType)
{
    // The directional measure is of the gradient form and may be negative; the Jacobian rule
    // would divide by it and turn the whole field round, so the gradient rule applies instead.
    if (forceType == ForceDecay::Directional)
        return ElasticityMeasure::Gradient;
    return elasticityType == ElasticityMeasure::Jacobian ? ElasticityMeasure::Jacobian : ElasticityMeasure::Gradient;
}

double CPointDisplacementTransformer::DivisorFromMinimum(double lambdaMin, double onePlusEpsilon,
                                                         ElasticityMeasure effectiveType)
{
    if (effectiveType == ElasticityMeasure::Jacobian)
        return onePlusEpsilon / lambdaMin;
    return lambdaMin < 0.0 ? -lambdaMin * onePlusEpsilon : 1.0;
}

double ComputeDisplacements(const CPointDisplacementTransformer& transformer, size_t begin, size_t count,
                            const double* in, double* displacements, ForceDecay forceType, ElasticityMeasure elasticityType,
                            const CFeedback* feedback)
{
    double minimum = InitialWorkerMinimum;
    for (size_t j = begin; j < begin + count; ++j) {
        // Each point costs a pass over every control vector, so a check per few points is free.
        if ((j - begin) % CancelCheckInterval == 0 && Cancelled(feedback))
            break;
        const CPointForce force = transformer.EvaluatePoint(in[2 * j], in[2 * j + 1], forceType, elasticityType);
        displacements[2 * j] = force.Dx;
        displacements[2 * j + 1] = force.Dy;
        minimum = std::min(minimum, force.Measure);
    }
    return minimum;
}

int CPointDisplacementTransformer::DisplaceAll(int32_t n, const double* in, double* out, ForceDecay forceType,
                                               double onePlusEpsilon, double rc, ElasticityMeasure elasticityType,
                                               const CFeedback* feedback)
{
    LoggedMaxDisplacement = 0.0;
    if (n < 0 || in == nullptr || out == nullptr || !CanEvaluate(forceType, rc))
        return 0;
    std::vector<double> displacements(2 * static_cast<size_t>(n));
    const double minimum =
        ComputeDisplacements(*this, 0, static_cast<size_t>(n), in, displacements.data(), forceType, elasticityType,
                             feedback);
    const double lambda = std::min(1.0, minimum);
    ElasticityDivisor = DivisorFromMinimum(lambda, onePlusEpsilon, EffectiveElasticityType(forceType, elasticityType));
    ApplyDisplacements(n, in, displacements, ElasticityDivisor, out);
    return 1;
}

int DisplaceAllParallel(CPointDisplacementTransformer& transformer, int32_t n, const double* in, double* out,
                        int32_t threads, ForceDecay forceType, double onePlusEpsilon, double rc, ElasticityMeasure elasticityType,
                        const CFeedback* feedback)
{
    transformer.LoggedMaxDisplacement = 0.0;
    if (n < 0 || in == nullptr || out == nullptr || !transformer.CanEvaluate(forceType, rc))
        return 0;
    const size_t workers = static_cast<size_t>(std::max(threads, 2));
    const std::vector<CWorkChunk> chunks = SplitIntoChunks(static_cast<size_t>(n), workers);
    std::vector<double> displacements(2 * static_cast<size_t>(n));
    std::vector<double> minima(workers, InitialWorkerMinimum);
    const CPointDisplacementTransformer& shared = transformer;
    RunWorkers(workers, [&](size_t w) {
        minima[w] = ComputeDisplacements(shared, chunks[w].Begin, chunks[w].Count, in, displacements.data(),
                                         forceType, elasticityType, feedback);
    });
    // min is exact, so combining the workers' minima in any grouping gives DisplaceAll's value.
    double lambda = 1.0;
    for (const double minimum : minima)
        lambda = std::min(lambda, minimum);
    transformer.ElasticityDivisor = CPointDisplacementTransformer::DivisorFromMinimum(
        lambda, onePlusEpsilon, CPointDisplacementTransformer::EffectiveElasticityType(forceType, elasticityType));
    ApplyDisplacements(n, in, displacements, transformer.ElasticityDivisor, out);
    return 1;
}

int CPointDisplacementTransformer::FitPointsToBox(int32_t n, const double* in, double* out, const CExtent& fromBox,
                                                  const CExtent& toBox, bool keepAspect)
{
    if (n < 1 || in == nullptr || out == nullptr || !HasArea(fromBox))
        return 0;
    for (size_t j = 0; j < static_cast<size_t>(n); ++j)
        FitOnePoint(in[2 * j], in[2 * j + 1], fromBox, toBox, keepAspect, &out[2 * j]);
    return 1;
}

int CPointDisplacementTransformer::FitPolygonToBox(CSimplePolygon& polygon, const CExtent& fromBox,
                                                   const CExtent& toBox, bool keepAspect)
{
    if (!HasArea(fromBox))
        return 0;
    std::vector<double> moved;
    for (int32_t r = 0; r < polygon.RingCount(); ++r) {
        CPolygonRing& ring = polygon.Ring(r);
        const int32_t count = ring.PointCount();
        if (count < 2)
            continue;
        moved.resize(2 * static_cast<size_t>(count));
        FitPointsToBox(count, ring.Points(), moved.data(), fromBox, toBox, keepAspect);
        ring.SetPoints(count, moved.data(), true);
    }
    polygon.UpdateBoundingBox();
    return 1;
}

} // namespace tessaro
