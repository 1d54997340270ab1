#pragma once

#include "engine/RoundLoop.h"

namespace tessaro {

// The cartogram's round loop as specified: each round measures every polygon's radius ratio and
// densifies it, builds force rings and their circle samples, displaces the grid vertices of a
// quadtree over all vertices through the force field, moves every vertex by the quadtree's
// piecewise-affine map, and fits the layer back into its initial box. It stops after
// max(2, MaxSteps) transformation rounds, when the weighted mean error falls below TargetError
// (0.001), or (StopWhenErrorRises) when every error measure rose.
class CSteppedLoop final : public CRoundLoop {
public:
    using CRoundLoop::CRoundLoop;
    CartogramSolution Solve(CCartogramRoundSink* sink, CCartogramFeedback* feedback) override;

private:
    // Round `round` up to its measures and force rings. Nullopt when the areas give no measures
    // (`refusal` says why) or after a cancel (`refusal` stays empty).
    std::optional<RoundMeasures> Measure(int round, const CFeedback* feedback, std::string& refusal);
    // The stop rules; when none fires, this round's measures become the previous ones.
    bool ShouldStop(int round, const RoundMeasures& measures);
    // Moves every vertex through the quadtree transformation of this round's force field and
    // fits the layer back into the initial box. False after a cancel.
    bool Transform(const RoundMeasures& measures, const CFeedback* feedback);
    // Builds the quadtree and moves its grid vertices through the field; map 1 holds the moved
    // grid. Returns the moved grid vertices.
    std::vector<double> DisplaceGrid(double rc, const CFeedback* feedback);

    std::vector<double> Errors_;
    double PreviousQuadratic_ = 1.0;
    double PreviousSimple_ = 1.0;
    double PreviousWeighted_ = 1.0;
};

} // namespace tessaro
