#pragma once

#include "engine/FlowGains.h"
#include "engine/RoundLoop.h"

#include <memory>

namespace tessaro {

class CDensityFlow;
class CGridDisplacement;
class CVertexUseTable;
struct LeftOutPolygon;

// The convergence loop, which aims at small errors on real maps without ever folding the map:
// - the grid's raw displacement D comes from the density-equalising flow (DensityFlow: each
//   polygon's desired over current area, at a power learned from how far the flow moved it the
//   round before (CFlowGains), on a grid of cells, the sea at the mean, every grid
//   vertex carried with the flow until the density is even; the leaves under the vertices are
//   at most four flow cells wide), or else from the force field evaluated through bins (each
//   grid vertex visits only vectors in reach);
// - D is made continuous at hanging vertices (HangingContinuity), and the grid moves by s * D,
//   the step s capped so that no triangle of the map loses more than half its area (a fifth
//   left with the flow) over the step (FoldGuard), which with continuity keeps the map one to one;
// - with ExactImage densification every edge is cut where it crosses a leaf side or diagonal,
//   so the moved rings are the exact image of the rings, and nearly straight bends are removed
//   again each round without tearing shared borders apart;
// - the step is searched by CStepSearch: a try that does not lower the weighted mean error (below
//   the target, while the largest error is still to meet: the sum of the errors beyond it) is
//   undone and retried at half the step, at most StepRetries times; the force field also tries
//   half of a step that lowered it;
// - above the target, a whole step that lowers the weighted mean error by less than 15 %
//   makes the flow's grid finer, as far as the map's ring points pay for the cells;
// - below TargetError the rounds go on while a polygon of a visible share is further than
//   LargestError from its desired area and that error still falls; such a polygon that covers
//   too few of the flow's cells is scaled in place on top of the flow (CLocalScaling), and the
//   flow's grid is made finer where one cannot be, when the largest error stalls, or when no try
//   lowers it any more; on the finest grid, a stall has every polygon beyond it scaled in place;
// - a polygon that must grow is held by the shrink floor (CShrinkFloor);
// - with KeepBest the round of the lowest weighted mean error is the result (below the target,
//   the one of the lowest largest error), and with KeepValid
//   only among the rounds where no ring is invalid (crossing or touching itself, or with a
//   spike) that was valid at the start;
// - polygons of no measurable area move with the map but are left out of the measures and the
//   field; a polygon with a ring spanning more than half the map's width counts in the measures
//   but the field does not push it. Each is named once.
class CConvergenceLoop final : public CRoundLoop {
public:
    CConvergenceLoop(CPolygonLayer& layer, CQuadTree& tree, const CartoParams& params, std::vector<double> fractions,
                     const CExtent& initialBox);
    ~CConvergenceLoop() override;
    // Wide rings are long edges of their own, pushed like any other ring.
    void PushWideRings() { WidePolygon_.assign(N_, 0); }

    CartogramSolution Solve(CCartogramRoundSink* sink, CCartogramFeedback* feedback) override;

private:
    // The rules of a round, top-down: measure, keep the best, stop or transform, report.
    std::optional<RoundMeasures> Measure(int round, const CFeedback* feedback, std::string& refusal);
    bool Stops(int round, const RoundMeasures& measures);
    void FinishCancelled(CartogramSolution& solution, CCartogramRoundSink* sink);
    void Finish(int round, std::optional<RoundMeasures>& measures, CartogramSolution& solution,
                CCartogramRoundSink* sink);
    bool Transform(const RoundMeasures& measures, const CFeedback* feedback);

    // Measuring. Which polygons the current areas leave out, and the measures over the rest:
    // functions of the map that change nothing; a round's measurement then records who is out.
    bool Measurable(uint32_t polygon) const;
    bool Pushed(uint32_t polygon) const;
    std::vector<double> FieldRatios(std::vector<double> ratios) const;
    std::vector<uint8_t> Excluded() const;
    std::vector<double> KeptPoints() const;
    MeasureResult MeasureWithout(const std::vector<uint8_t>& excluded) const;
    void RecordLeftOut(std::vector<uint8_t> excluded);
    std::optional<RoundMeasures> MeasuresNow();
    double TryErrorNow(bool chasing);
    double ExcessError(const RoundMeasures& measures) const;
    bool BeyondLargestError(const RoundMeasures& measures) const;
    bool ChasingLargestError(const RoundMeasures& measures) const;
    bool TargetReached(int round, const RoundMeasures& measures);
    double LargestRelativeError(const RoundMeasures& measures) const;
    bool Beyond(const PolygonFit& fit) const;
    bool Unresolved(const PolygonFit& fit, double cell) const;
    bool ScalableInPlace(uint32_t polygon);
    bool StartScalingAllBeyond();
    double UnresolvedRefinement(const RoundMeasures& measures);
    double FinestFlowCells() const;
    bool RefineFlowGrid(double factor);
    void RefineForCrawl(int round, const RoundMeasures& measures);
    void RecordRefinement(int round, double largest);

    // Keep-best.
    bool Improves(const RoundMeasures& a, const RoundMeasures& b) const;
    void KeepIfBest(int round, const RoundMeasures& measures);
    void RestoreBest();
    std::vector<uint32_t> GainedInvalidRings() const;
    bool NewlyInvalid(const std::vector<uint8_t>& invalid, size_t k) const;
    bool AnyNewlyInvalid(const std::vector<uint8_t>& invalid) const;
    void CutRoundLoops();

    // Moving the grid.
    bool MovesWithFlow() const { return Params_.Motion() == GridMotion::ConvergingFlow; }
    bool RawDisplacement(double rc, std::vector<double>& raw, double& lambda, const CFeedback* feedback);
    // The polygons a round scales in place, with the area factors they need, and the least tree
    // depth under every polygon's vertices (empty when none is scaled).
    struct LocalCorrection {
        std::vector<uint32_t> Polygons;
        std::vector<double> Factors;
        std::vector<int> Depths;
    };
    LocalCorrection LocalCorrections(const RoundMeasures& measures, double cell);
    bool RasterizeFlow(const RoundMeasures& measures);
    bool FlowDisplacement(const LocalCorrection& local, std::vector<double>& raw, const CFeedback* feedback);
    bool ScaledFlowDisplacement(const LocalCorrection& local, std::vector<double>& raw, const CFeedback* feedback);
    int FlowCells();
    int FlowMinDepth();
    int LeafDepthFor(double width) const;
    bool SearchStep(CGridDisplacement& grid, const RoundMeasures& measures, const CFeedback* feedback);
    void RestoreVertices(const CExtent& extent);

    std::vector<uint8_t> WidePolygon_; // a ring spans more than half the map's width
    std::vector<uint8_t> LeftOut_;     // left out of this round's measures
    std::vector<LeftOutPolygon> LeftOutReported_;
    int PassedOverInvalid_ = 0; // rounds keep-best passed over for a ring that turned invalid
    std::vector<uint32_t> TurnedInvalid_; // the polygons of those rings, in layer order
    int LoopsCut_ = 0;          // small loops cut where a step laid a ring's edges across each other
    std::vector<uint8_t> Reported_;
    double Step_ = 1.0; // s, for the run
    // The tree of the layer being transformed, kept for keep-best until the next measurement
    // shows whether that layer stays the best.
    std::unique_ptr<CQuadTree> PreviousTree_;
    std::unique_ptr<CDensityFlow> Flow_;          // the density flow's grid and transforms, kept between rounds
    CFlowGains Gains_;                            // the power each polygon's density is asked at
    std::unique_ptr<CVertexUseTable> BorderUses_; // the border simplification's table, kept likewise
    int FlowCells_ = 0;
    // Below the target: the largest error when it last fell by a tenth, and that round.
    double LargestAtFall_ = 0.0;
    int LargestFellAt_ = -1;
    bool ScaleAllBeyond_ = false; // every polygon beyond the largest error is scaled in place
    int RefinedAt_ = -1; // the round that last made the flow's grid finer
    double LastWeighted_ = 0.0; // the last round's weighted mean error, above the target
    // Per polygon of the measured map, whether it can be scaled in place: Undecided until asked.
    static constexpr uint8_t Undecided = 2;
    std::vector<uint8_t> Scalable_;
    // The sink of the run being solved: it names the points each round's simplification keeps.
    const CCartogramRoundSink* Sink_ = nullptr;
    struct BestRound {
        int Round = -1;
        std::optional<RoundMeasures> Measures;
        std::vector<std::vector<double>> Rings; // every ring's points, in layer order
        std::unique_ptr<CQuadTree> Tree;        // its tree, once the working tree moved on
        bool TreeIsCurrent = false;             // its tree is still the working one
        CExtent Extent;
    };
    BestRound Best_;
    std::vector<uint8_t> InitialInvalid_; // per ring of the first round, with KeepValid
    std::vector<uint8_t> RoundInvalid_;   // per ring of the map being measured, when checked before
    std::vector<double> FirstShares_;     // for the shrink floor, from round 0
};

} // namespace tessaro
