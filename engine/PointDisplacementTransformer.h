#pragma once

#include "engine/CartoParams.h"
#include "geometry/Extent.h"
#include "platform/Feedback.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessaro {

class CSimplePolygon;

// What Precompute keeps of one control vector s -> t with circle centre c (eight doubles; a
// slot not filled stays 0).
struct CControlRecord {
    double LengthSquared = 0.0;         // L^2, L = |t - s|
    double Length = 0.0;                // L
    double InverseLength = 0.0;         // 1 / L, or 1e300 for a vector shorter than GeomEpsilon
    double UnitX = 0.0;                 // the direction of t - s
    double UnitY = 0.0;
    double CentreDistanceSquared = 0.0; // |s - c|^2, only with a positive correction radius
    double Stretch = 0.0;               // Rc^2 / |s - c|^2, only where Rc^2 exceeds it
    // 1 / l for the fixed-range force, l = KernelRange * |s - c|; 0 when s sits on its centre
    // (such a vector has no circle to take its range from and pushes nothing).
    double InverseRange = 0.0;
};

// Squared reaches of the kernels in units of the squared decay length: 20 L for the exponential
// force, 16 L for the directional one, 5 l for the fixed-range one (its weight there is e^-5,
// under 1 %; a wider reach costs the square of its width and changed no result we measured).
// Beyond them a vector adds nothing, which lets a field evaluation skip it.
inline constexpr double ExponentialCutoff2 = 400.0;
inline constexpr double DirectionalCutoff2 = 256.0;
inline constexpr double FixedRangeCutoff2 = 25.0;

// Displacement and elasticity measure of the force field at one point.
struct CPointForce {
    double Dx = 0.0;
    double Dy = 0.0;
    double Measure = 1.0;
};

// Holds the control vectors of a round and evaluates the force field they make: every vector
// pushes the plane along itself, damped exponentially with the distance from its start, and the
// whole field is divided by an elasticity divisor so that the deformed mesh does not fold.
class CPointDisplacementTransformer {
public:

    std::vector<double> Sources;  // s_i, flat x, y
    std::vector<double> Targets;  // t_i
    std::vector<double> Centres;  // c_i, centre of the circle that vector i samples
    int32_t ControlCount = 0;
    double ElasticityDivisor = 1.0;
    int32_t KernelVariant = 2;
    double LoggedMaxDisplacement = 0.0;
    // The fixed-range force's decay length in circle radii; read by Precompute.
    double KernelRange = 2.0;
    std::vector<CControlRecord> ControlRecords; // one per control vector

    // Returns 1, or 0 for n < 1, a missing array, or when exactly one of the two lists exists.
    int SetControlVectors(int32_t n, const double* sources, const double* targets);
    // Requires n = ControlCount.
    int SetCentres(int32_t n, const double* centres);
    // Rebuilds ControlRecords for the correction radius rc; DisplaceAll must be given the same rc.
    bool Precompute(double rc);

    // Moves the n points (in and out may be the same buffer). Returns 1, or 0 when an array or
    // the records are missing, the force type is unknown, or rc differs from Precompute's. After
    // a cancel through `feedback` the points are moved by a partial field: the caller drops them.
    int DisplaceAll(int32_t n, const double* in, double* out, ForceDecay forceType, double onePlusEpsilon, double rc,
                    ElasticityMeasure elasticityType, const CFeedback* feedback = nullptr);

    // The field at one point; the one kernel both the sequential and the threaded forms use.
    // Call only after CanEvaluate has accepted the arguments.
    CPointForce EvaluatePoint(double x, double y, ForceDecay forceType, ElasticityMeasure elasticityType) const;
    // The same over the vectors `candidates` only, in ascending order: when they hold every
    // vector that reaches the point, the sums are those of the full evaluation, bit for bit.
    // Without `withMeasure` the elasticity measure is left at 1 and its sums are not gathered.
    CPointForce EvaluatePoint(double x, double y, ForceDecay forceType, ElasticityMeasure elasticityType,
                              std::span<const int32_t> candidates, bool withMeasure = true) const;
    bool CanEvaluate(ForceDecay forceType, double rc) const;
    // How far vector i reaches under the force type: beyond this distance from its source it
    // adds nothing (0 for a vector that adds nothing anywhere).
    double Reach(size_t i, ForceDecay forceType) const;

    // Rc^2 with the sign of Rc.
    static double SignedSquare(double rc);
    // Largest step along the field before p -> p + lambda * D(p) folds; from the full Jacobian.
    static double JacobianMeasure(double jxx, double jyy, double jxy, double jyx);
    static double GradientMeasure(double jxx, double jyy);
    // The elasticity type actually applied: the directional kernel only has the gradient form.
    static ElasticityMeasure EffectiveElasticityType(ForceDecay forceType, ElasticityMeasure elasticityType);
    // N from the smallest measure (already capped at 1).
    static double DivisorFromMinimum(double lambdaMin, double onePlusEpsilon, ElasticityMeasure effectiveType);

    // Maps points from one box to another; with keepAspect one scale serves both axes and the
    // short axis is centred. Returns 0 for missing arrays, n < 1 or a from box without area.
    static int FitPointsToBox(int32_t n, const double* in, double* out, const CExtent& fromBox,
                              const CExtent& toBox, bool keepAspect);
    static int FitPolygonToBox(CSimplePolygon& polygon, const CExtent& fromBox, const CExtent& toBox,
                               bool keepAspect);

private:
    template <typename Indices>
    CPointForce ExponentialKernel(double x, double y, ElasticityMeasure effectiveType, const Indices& indices) const;
    template <typename Indices> CPointForce DirectionalKernel(double x, double y, const Indices& indices) const;
    template <typename Indices>
    CPointForce FixedRangeKernel(double x, double y, ElasticityMeasure effectiveType, bool withMeasure,
                                 const Indices& indices) const;

    double PrecomputedQ_ = 0.0;
};

// Raw displacements of points [begin, begin + count) into displacements (same indexing as in);
// returns the smallest measure, starting from 1e38. Stops early after a cancel.
double ComputeDisplacements(const CPointDisplacementTransformer& transformer, size_t begin, size_t count,
                            const double* in, double* displacements, ForceDecay forceType, ElasticityMeasure elasticityType,
                            const CFeedback* feedback = nullptr);

// DisplaceAll with max(threads, 2) workers; the same bits as DisplaceAll.
int DisplaceAllParallel(CPointDisplacementTransformer& transformer, int32_t n, const double* in, double* out,
                        int32_t threads, ForceDecay forceType, double onePlusEpsilon, double rc, ElasticityMeasure elasticityType,
                        const CFeedback* feedback = nullptr);

} // namespace tessaro
