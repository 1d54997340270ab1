#pragma once

#include "geometry/Point2D.h"
#include "geometry/PolygonRing.h"
#include "platform/Feedback.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessaro {

// Largest number of grid cells one ring may be cut into; a long hair-thin ring would otherwise
// ask for millions of cells.
inline constexpr double MaxForceRingCells = 16384.0;

// How a round turns its rings into force rings.
struct CForceRingOptions {
    double TotalArea = 0.0;  // T, the layer's area
    int32_t Depth = 0;       // the run's quadtree depth
    int32_t Threads = 1;     // workers of BuildForceRingsParallel; below 2 it builds in the calling thread
    bool Clear = true;       // empty the output list first
    // A ring that one roughly square cell would cover stays whole (the threaded builder's rule).
    bool CompactRule = false;
    bool CarrySourceValue = false; // a force ring also carries its source ring's slot 1 in slot 2
    const CFeedback* Feedback = nullptr; // a cancel stops after the ring in hand, leaving the list short
};

// Turns one polygon ring (its ratio in Values slot 0) into force rings appended to output:
// the ring thinned to 33 vertices, kept whole when its share of the total area T is below
// 4 / 4^depth, otherwise cut into square cells of about its own area. Every force ring carries
// the ratio in Values slots 0 and 1. Returns the number of rings appended.
int32_t BuildForceRing(const CPolygonRing& input, const CForceRingOptions& options, RingList& output);

// All input rings in order, in the calling thread, without the compactness rule; returns the
// size of output.
int32_t BuildForceRings(const RingList& input, RingList& output, const CForceRingOptions& options);

// Threads < 2: BuildForceRings. Otherwise min(Threads, ring count) workers on contiguous chunks,
// their lists appended in worker order, with the compactness rule. Returns the size of output.
int32_t BuildForceRingsParallel(const RingList& input, RingList& output, const CForceRingOptions& options);

// Appends the circle samples of a force ring to sources and its centroid once per sample to
// centres: m points on the circle of the ring's area about its centroid, and 8 square points
// at rectangleFactor times the radius when that is positive. A counter-clockwise or zero-area
// ring has none. Returns the number of samples; centroid receives the centre when there are any.
int32_t AppendCircleSamples(const CPolygonRing& ring, int32_t m, double rectangleFactor, std::vector<double>& sources,
                            std::vector<double>& centres, CPoint2D* centroid);

// Targets c + (p - c) * factor for the samples sources[2*first ...] of one ring.
void AppendCircleTargets(const std::vector<double>& sources, size_t first, const CPoint2D& centre, double factor,
                         std::vector<double>& targets);

// What the target factor of a round depends on besides the ring's ratio.
struct CTargetFactorSettings {
    double MaxRatio = -1.0;  // largest polygon ratio of the round
    double MinRatio = 10.0;  // smallest polygon ratio of the round
    double MaxRadiusRatioAllowed = 10.0;
    double MinRadiusRatioAllowed = 0.01;
    double EnlargeRate = 6.0;
    double ShrinkRate = 9.0;
    double AreaFactor = 1.0;  // a = T / A0, or 1 with absolute sizes
};

// Pulls ratios beyond the allowed range back in on a log scale.
double CompressRatio(double ratio, const CTargetFactorSettings& settings);

// Auto mode: both rates become the larger one, except that with fewer growers than shrinkers
// the enlarge rate is scaled by growers / shrinkers.
void BalanceExaggerationRates(int32_t growers, int32_t shrinkers, double& enlargeRate, double& shrinkRate);

// F = (1 + k) * rho of the compressed ratio; a negative F mirrors the samples through the centre.
double TargetFactor(double ratio, const CTargetFactorSettings& settings);

// F = exp(clamp(2 ln rho, -ln 2, ln 2)): the circle's area ratio rho^2 asked for at once, but
// never more than a doubling or a halving, whatever rho; 1 for a ratio that is not a positive
// number.
double BoundedTargetFactor(double ratio);

} // namespace tessaro
