#include "engine/SteppedLoop.h"

#include "engine/CartogramFeedback.h"
#include "engine/CartogramSolver.h"
#include "engine/ParallelWorkers.h"
#include "engine/QuadTree.h"

namespace tessaro {

CartogramSolution CSteppedLoop::Solve(CCartogramRoundSink* sink, CCartogramFeedback* feedback)
{
    CartogramSolution solution;
    for (int r = 0;; ++r) {
        if (Cancelled(feedback)) {
            solution.Result = CartogramSolution::Outcome::Cancelled;
            return solution;
        }
        std::optional<RoundMeasures> measures = Measure(r, feedback, solution.Refusal);
        if (!measures) {
            solution.Result =
                solution.Refusal.empty() ? CartogramSolution::Outcome::Cancelled : CartogramSolution::Outcome::Refused;
            if (solution.Result == CartogramSolution::Outcome::Refused) {
                solution.LastRound = r;
                solution.RefusedPolygon = RefusedPolygon_;
                solution.RefusedFor = RefusedFor_;
            }
            return solution;
        }
        if (r == 0)
            solution.FirstMeasures = measures;
        if (ShouldStop(r, *measures)) {
            if (sink != nullptr)
                sink->OnStopped({r, *measures, EnlargeRate_, ShrinkRate_, Setup_.Depth, Setup_.MinDepth});
            solution.LastRound = r;
            solution.LastMeasures = std::move(measures);
            solution.Result = CartogramSolution::Outcome::Completed;
            return solution;
        }
        if (!Transform(*measures, feedback)) {
            solution.Result = CartogramSolution::Outcome::Cancelled;
            return solution;
        }
        ReportRound(r, *measures, sink, feedback);
        solution.RoundsTransformed = r + 1;
        solution.LastRound = r;
        solution.LastMeasures = std::move(measures);
    }
}

std::optional<RoundMeasures> CSteppedLoop::Measure(int round, const CFeedback* feedback, std::string& refusal)
{
    StartMeasuring();
    MeasureAndDensify(round, true, [](uint32_t) { return true; });
    MeasureResult measured = ComputeRoundMeasures(Areas_, Fractions_, Total_);
    if (!measured.Ok()) {
        refusal = DescribeRefusal(measured);
        return std::nullopt;
    }
    Errors_.push_back(measured.Measures.Error);
    UpdateRingRatios(round, measured.Measures.Ratios);
    if (!BuildForceRings(Setup_.Depth, feedback))
        return std::nullopt;
    return std::move(measured.Measures);
}

bool CSteppedLoop::ShouldStop(int round, const RoundMeasures& measures)
{
    const bool allRose = Params_.StopWhenErrorRises && round >= 2 && measures.Error >= Errors_[Errors_.size() - 2] &&
                         measures.MeanQuadraticError >= PreviousQuadratic_ &&
                         measures.SimpleMeanError >= PreviousSimple_ && measures.WeightedMeanError >= PreviousWeighted_;
    if (allRose || round == Steps_ || measures.WeightedMeanError < Params_.TargetError)
        return true;
    PreviousQuadratic_ = measures.MeanQuadraticError;
    PreviousSimple_ = measures.SimpleMeanError;
    PreviousWeighted_ = measures.WeightedMeanError;
    return false;
}

bool CSteppedLoop::Transform(const RoundMeasures& measures, const CFeedback* feedback)
{
    CopyVertices(Setup_.MinDepth);
    BuildSamples(measures, false);
    const double rc = PrepareField(measures);
    Displacement_.LoggedMaxDisplacement = 0.0;
    std::vector<double> moved = DisplaceGrid(rc, feedback);
    if (Cancelled(feedback))
        return false;
    return MoveVertices(moved, false, feedback);
}

std::vector<double> CSteppedLoop::DisplaceGrid(double rc, const CFeedback* feedback)
{
    BuildTree();
    const auto gridPoints = static_cast<int32_t>(Grid_.size() / 2);
    std::vector<double> moved = Grid_;
    if (Params_.ThreadCount <= 1)
        Displacement_.DisplaceAll(gridPoints, Grid_.data(), moved.data(), Params_.ForceType, Params_.EpsilonFactor, rc,
                                  Params_.ElasticityType, feedback);
    else
        DisplaceAllParallel(Displacement_, gridPoints, Grid_.data(), moved.data(), Params_.ThreadCount,
                            Params_.ForceType, Params_.EpsilonFactor, rc, Params_.ElasticityType, feedback);
    Tree_.StorePoints(moved, DisplacedMap, UndeformedMap);
    return moved;
}

} // namespace tessaro
