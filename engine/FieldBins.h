#pragma once

#include "engine/CartoParams.h"
#include "geometry/Extent.h"
#include "platform/Feedback.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace tessaro {

class CPointDisplacementTransformer;

// The control vectors of a round sorted into a uniform grid of square bins by their reach, so
// that evaluating the field at a point visits only the vectors whose reach (the distance beyond
// which their kernel adds nothing) covers the point's bin. Each bin lists its vectors in
// ascending order, the order of the full evaluation; since every vector that reaches a point is
// listed in the point's bin, the binned sums are the full sums bit for bit.
//
// The bin side is the finest power-of-two division of the box for which the lists stay within
// a memory budget of a few dozen entries per vector; a vector whose reach spans the whole box
// is listed in every bin. Points outside the box fall into the nearest border bin.
class CFieldBins {
public:
    // Bins the vectors of `transformer` (Precompute done) for `forceType` over `box`.
    void Build(const CPointDisplacementTransformer& transformer, ForceDecay forceType, const CExtent& box);

    // The vectors that may reach (x, y), ascending.
    std::span<const int32_t> Candidates(double x, double y) const;

    int Side() const { return Side_; }
    size_t EntryCount() const { return Entries_.size(); }

private:
    int BinIndex(double coordinate, double origin) const;
    // The first and last bins a reach square about `centre` covers along one axis.
    std::pair<int, int> SpanOf(double centre, double reach, double origin, double side) const;
    // The list entries the vectors would take at the current division.
    size_t EntriesAt(const CPointDisplacementTransformer& transformer, const std::vector<double>& reaches,
                     double side) const;
    // The finest division whose lists stay within the budget: sets Side_ and BinSize_.
    void ChooseDivision(const CPointDisplacementTransformer& transformer, const std::vector<double>& reaches,
                        double side);
    // Lists every vector in the bins it reaches, ascending: a counting pass, then the filling.
    void FillLists(const CPointDisplacementTransformer& transformer, const std::vector<double>& reaches, double side);

    CExtent Box_;
    int Side_ = 0;          // bins per side
    double BinSize_ = 1.0;  // side of a bin
    std::vector<uint32_t> Offsets_; // Side^2 + 1 offsets into Entries_
    std::vector<int32_t> Entries_;
};

// The raw field D (not divided by any divisor) at points [0, n) of `in` into `displacements`,
// through the bins, on max(threads, 1) workers; returns the smallest elasticity measure when
// `withMeasure`, else 1. Identical for any thread count. A cancel stops the workers early.
double EvaluateFieldBinned(const CPointDisplacementTransformer& transformer, const CFieldBins& bins, size_t n,
                           const double* in, double* displacements, ForceDecay forceType,
                           ElasticityMeasure elasticityType, bool withMeasure, int threads,
                           const CFeedback* feedback = nullptr);

} // namespace tessaro
