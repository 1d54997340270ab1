#pragma once

#include "engine/CartoParams.h"
#include "engine/CartogramSetup.h"
#include "engine/PointDisplacementTransformer.h"
#include "engine/QuadTreeTransformer.h"
#include "engine/RunMeasures.h"
#include "geometry/Point2D.h"
#include "geometry/PolygonRing.h"
#include "platform/HighResolutionTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CCartogramFeedback;
class CDensityFlow;
class CGridDisplacement;
class CPolygonLayer;
class CQuadTree;

// Transformation rounds of a run at most: max(2, MaxSteps).
int CartogramStepCount(int maxSteps);

// The time column of a round, e.g. "0.1234 Second".
std::string RoundTimeText(const CHighResolutionTime& timer);

// A round the solver has finished: its measures (taken before its transformation), the force
// field's elasticity divisor and largest logged displacement, and its time column.
struct SolverRound {
    int Round = 0;
    const RoundMeasures& Measures;
    double Elasticity = 1.0;
    double MaxDisplacement = 0.0;
    std::string ElapsedText;
    // The convergence loop's step factor s of the accepted try and how many tries were undone
    // before it; Retries is -1 in the stepped loop, which has neither.
    double Step = 1.0;
    int Retries = -1;
};

// The measurement at which a stop rule fired, with the rates and depths the run ended with.
struct SolverStop {
    int Round = 0;
    const RoundMeasures& Measures;
    double EnlargeRate = 0.0;
    double ShrinkRate = 0.0;
    int Depth = 0;
    int MinDepth = 0;
    // The convergence loop with keep-best: the round whose measurement was lowest, whose layer
    // the result is and whose measures these are; -1 otherwise.
    int KeptRound = -1;
};

// Where the solver reports its rounds as it goes; the run writes its log and exports here.
class CCartogramRoundSink {
public:
    virtual ~CCartogramRoundSink() = default;
    // Round `round` is transformed and its timer still runs (round 0's log header goes here).
    virtual void OnTransformed(int /*round*/) {}
    // Round `round` is complete: the layer and map 1 of the quadtree show its result.
    virtual void OnRoundDone(const SolverRound& /*round*/) {}
    // The convergence loop has stopped at round `round` and the layer and quadtree hold its
    // result (the kept round's, with keep-best): the run exports it under that round's number.
    // Comes before OnStopped.
    virtual void OnResult(int /*round*/) {}
    // A stop rule fired; no transformation follows this measurement.
    virtual void OnStopped(const SolverStop& /*stop*/) {}
};

// A polygon the convergence loop moves with the map but leaves out of the measures and the
// force field, and why.
struct LeftOutPolygon {
    enum class Reason {
        Degenerate, // its area is zero, negative or not a number
        WideRing,   // a ring spans more than half the map's width (an unsplit antimeridian ring)
    };
    uint32_t Polygon = 0; // from 0, in layer order
    Reason Why = Reason::Degenerate;
};

// How a solve ended.
struct CartogramSolution {
    enum class Outcome {
        Completed, // a stop rule ended the rounds
        Cancelled, // the feedback asked to stop; the last finished round stands
        Refused,   // a measurement could not be taken; Refusal says why
    };
    Outcome Result = Outcome::Completed;
    std::string Refusal;
    int RoundsTransformed = 0;
    // The last round measured (Completed, Refused) or finished (Cancelled); -1 for none.
    int LastRound = -1;
    std::optional<RoundMeasures> FirstMeasures; // round 0's
    std::optional<RoundMeasures> LastMeasures;  // LastRound's (the kept round's with keep-best)
    // The convergence loop with keep-best: the round the result is taken from; -1 otherwise.
    int KeptRound = -1;
    // Polygons the convergence loop left out, in layer order, each named once.
    std::vector<LeftOutPolygon> LeftOut;
};

// The cartogram's round loop. Given a polygon layer, the desired share of each polygon and a
// quadtree, it deforms the layer in place round after round: measure each polygon's radius
// ratio and densify it, build force rings and their circle samples, displace the grid vertices
// of a quadtree over all vertices through the force field, move every vertex by the quadtree's
// piecewise-affine map, and fit the layer back into its initial box. It stops after
// max(2, MaxSteps) transformation rounds, when the weighted mean error falls below TargetError
// (0.001), or (StopWhenErrorRises) when every error measure rose. It opens no file, shows no
// message and knows no document: it reports through the sink and the feedback and returns how
// it ended. The heavy steps fan out to ThreadCount workers with the same bits for any count.
//
// With Converge set, the rounds follow the convergence loop instead, which aims at small errors
// on real maps without ever folding the map:
// - the grid's raw displacement D comes from the density-equalising flow (DensityFlow: each
//   polygon's desired over current area on a grid of cells, the sea at the mean, every grid
//   vertex carried with the flow until the density is even; the leaves under the vertices are
//   at most four flow cells wide), or else from the force field evaluated through bins (each
//   grid vertex visits only vectors in reach);
// - D is made continuous at hanging vertices (HangingContinuity), and the grid moves by s * D,
//   the step s capped so that no triangle of the map loses more than half its area (a fifth
//   left with the flow) over the step (FoldGuard), which with continuity keeps the map one to one;
// - with ExactImage densification every edge is cut where it crosses a leaf side or diagonal,
//   so the moved rings are the exact image of the rings, and nearly straight bends are removed
//   again each round without tearing shared borders apart;
// - a try that does not lower the weighted mean error is undone and retried at half the step,
//   at most StepRetries times (the last try stands); the force field also tries half of a step
//   that lowered it; s grows by half after a round whose first try was taken, and lives for the
//   run;
// - below TargetError the rounds go on, LargestErrorRounds at most, while a polygon of a visible
//   share is further than LargestError from its desired area;
// - a polygon that must grow and that a try would take below ShrinkFloor of the smaller of its
//   first and its desired share has the leaves under it held still, and the try is made again:
//   the fold guard bounds each triangle's loss per round only, so without the floor a small
//   polygon between large growing ones is squeezed a little every round, down to a sliver;
// - with KeepBest the round of the lowest weighted mean error is the result, and with KeepValid
//   only among the rounds where no ring is invalid (crossing or touching itself, or with a
//   spike) that was valid at the start;
// - polygons of no measurable area, or with a ring spanning more than half the map's width,
//   move with the map but are left out of the measures and the field.
class CCartogramSolver {
public:
    // `fractions` holds one share per polygon of `layer`; `initialBox` is the layer's extent
    // before the first round. The layer and the tree are borrowed for the solver's life.
    CCartogramSolver(CPolygonLayer& layer, CQuadTree& tree, const CartoParams& params, std::vector<double> fractions,
                     const CExtent& initialBox);
    ~CCartogramSolver();
    CCartogramSolver(const CCartogramSolver&) = delete;
    CCartogramSolver& operator=(const CCartogramSolver&) = delete;

    // Runs the rounds. Without feedback it runs to a stop rule; with one it checks for a cancel
    // between the steps of every round and inside the parallel steps, and hands a frame to it
    // after every finished round. A cancelled round leaves the layer half done: the caller
    // keeps the outputs of the rounds before it, not the layer.
    CartogramSolution Solve(CCartogramRoundSink* sink = nullptr, CCartogramFeedback* feedback = nullptr);

    const CartogramSetup& Setup() const { return Setup_; }
    // The layer's extent: the initial box before the first round, then after each fit-back.
    const CExtent& LayerExtent() const { return LayerExtent_; }

private:
    CartogramSolution SolveConverging(CCartogramRoundSink* sink, CCartogramFeedback* feedback);
    std::optional<RoundMeasures> Measure(int round, const CFeedback* feedback, std::string& refusal);
    MeasureResult MeasureAreas();
    void MarkLeftOut();
    bool Measurable(uint32_t polygon) const;
    bool TargetReached(int round, const RoundMeasures& measures);
    double LargestRelativeError(const RoundMeasures& measures) const;
    void KeepIfBest(int round, const RoundMeasures& measures);
    void RestoreBest();
    bool GainedInvalidRing() const;
    bool TransformConverging(const RoundMeasures& measures, const CFeedback* feedback);
    // The convergence loop moves the grid with the density flow, not the force field.
    bool MovesWithFlow() const { return Params_.Converge && Params_.DensityFlow; }
    bool FlowDisplacement(const RoundMeasures& measures, std::vector<double>& raw, const CFeedback* feedback);
    int FlowCells();
    int FlowMinDepth();
    double WeightedErrorNow();
    double MeasurableTotal(const std::vector<double>& areas) const;
    void RestoreVertices(const CExtent& extent);
    void BuildTree();
    bool ShouldStop(int round, const RoundMeasures& measures);
    bool Transform(const RoundMeasures& measures, const CFeedback* feedback);
    void MeasureAndDensify(int round);
    void Densify(CSimplePolygon& polygon) const;
    void UpdateRingRatios(int round, const RoundMeasures& measures);
    void CopyVertices();
    void BuildSamples(const RoundMeasures& measures);
    std::vector<double> DisplaceGrid(double rc, const CFeedback* feedback);
    void TransformVertices(const CFeedback* feedback);
    // Output := Input moved through the tree's displaced map, then fitted back into the box;
    // false when cancelled on the way.
    bool MoveVertices(std::vector<double>& moved, const CFeedback* feedback);
    CExtent WriteBack();
    void FitBack(const CExtent& currentBox, std::vector<double>& moved);
    void ReportRound(int round, const RoundMeasures& measures, CCartogramRoundSink* sink, CCartogramFeedback* feedback);

    // The all-rings list: the layer's own rings, lent to the force-ring builder (which takes a
    // ring list) and never destroyed through it.
    struct BorrowedRings {
        RingList List;
        BorrowedRings() = default;
        BorrowedRings(const BorrowedRings&) = delete;
        BorrowedRings& operator=(const BorrowedRings&) = delete;
        ~BorrowedRings();
    };

    CPolygonLayer& Layer_;
    CQuadTree& Tree_;
    const CartoParams Params_;
    const CartogramSetup Setup_;
    const std::vector<double> Fractions_;
    const uint32_t N_;
    const int Steps_;

    std::vector<CPoint2D> Centroids_;
    std::vector<double> Areas_;
    double Total_ = 0.0;
    double InitialTotal_ = 0.0;
    std::vector<double> Errors_;
    double PreviousQuadratic_ = 1.0;
    double PreviousSimple_ = 1.0;
    double PreviousWeighted_ = 1.0;
    double EnlargeRate_;
    double ShrinkRate_;
    CExtent LayerExtent_;

    int64_t VertexCount_ = 0;
    int64_t PreviousVertexCount_ = -1;
    BorrowedRings AllRings_;
    RingList ForceRings_;
    std::vector<double> Sources_;
    std::vector<double> Targets_;
    std::vector<double> Centres_;
    std::vector<double> Input_;
    std::vector<double> Output_;
    std::vector<int> VertexDepths_;
    std::vector<double> Grid_;

    CHighResolutionTime Timer_;
    CPointDisplacementTransformer Displacement_;
    CQuadTreeTransformer VertexTransformer_;

    // The convergence loop's state.
    std::vector<uint8_t> WidePolygon_; // a ring spans more than half the map's width
    std::vector<uint8_t> LeftOut_;     // left out of this round's measures
    std::vector<LeftOutPolygon> LeftOutReported_;
    std::vector<uint8_t> Reported_;
    double Step_ = 1.0;     // s, for the run
    double LastStep_ = 1.0; // the step of the round's accepted try
    int LastRetries_ = -1;
    // The tree of the layer being transformed, kept for keep-best until the next measurement
    // shows whether that layer stays the best.
    std::unique_ptr<CQuadTree> PreviousTree_;
    std::unique_ptr<CDensityFlow> Flow_; // the density flow's grid and transforms, kept between rounds
    int FlowCells_ = 0;
    int FirstBelowTarget_ = -1; // the first round whose weighted mean error was below the target
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

    // Each polygon's share of the measurable area at round 0, for the shrink floor.
    std::vector<double> FirstShares_;
    // One round's shrink floor: the polygons that must grow, their areas and boxes as the round
    // starts, and those whose leaves the round holds still.
    class CShrinkFloor {
    public:
        CShrinkFloor(CCartogramSolver& solver, const RoundMeasures& measures);
        bool HoldBelowFloor(CGridDisplacement& grid, const CQuadTree& tree);

    private:
        CCartogramSolver& Solver_;
        bool Active_ = false;
        std::vector<double> StartAreas_;
        double StartTotal_ = 0.0;
        std::vector<uint32_t> Growers_;
        std::vector<CExtent> Boxes_;
        std::vector<uint8_t> Held_;
    };
};

} // namespace tessaro
