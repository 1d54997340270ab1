#pragma once

#include "engine/CartoParams.h"
#include "engine/CartogramSetup.h"
#include "engine/MapFrame.h"
#include "engine/RunMeasures.h"
#include "platform/HighResolutionTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CCartogramFeedback;
class CPolygonLayer;
class CQuadTree;
class CRoundLoop;

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
    // The density flow's cells along the longer side of its grid in this round; 0 when the flow
    // does not move the map.
    int FlowCells = 0;
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
    // The convergence loop has stopped and the layer and quadtree hold its result: the map
    // measured at round `round` (the kept round, with keep-best), which the run exports under
    // that number. Comes before OnStopped.
    virtual void OnResult(int /*round*/) {}
    // A stop rule fired; no transformation follows this measurement.
    virtual void OnStopped(const SolverStop& /*stop*/) {}
    // Appends x, y pairs (the caller's coordinates) that must stay on their side of every border
    // as the map is redrawn between rounds: the vertices of layers that move with the map.
    virtual void AppendKeptPoints(std::vector<double>& /*xy*/) const {}
};

// A polygon the convergence loop moves with the map without pushing it as its size asks, and why:
// one without area is left out of the measures too, one with a wide ring counts in them.
struct LeftOutPolygon {
    enum class Reason {
        Degenerate, // its area is zero, negative or not a number
        WideRing,   // a ring spans more than half the map's width (an unsplit antimeridian ring); measured
    };
    uint32_t Polygon = 0; // from 0, in layer order
    Reason Why = Reason::Degenerate;
};

// How a solve ended.
struct CartogramSolution {
    enum class Outcome {
        Completed, // a stop rule ended the rounds
        Cancelled, // the feedback asked to stop; the last finished round stands, or with
                   // keep-best the convergence loop's best round so far, exported as the result
        Refused,   // a measurement could not be taken; Refusal says why
    };
    Outcome Result = Outcome::Completed;
    std::string Refusal;
    int RefusedPolygon = -1; // the polygon (from 0) the refusal names; -1 when it names none
    MeasureStatus RefusedFor = MeasureStatus::Ok; // the measurement that failed, for a refusal
    int RoundsTransformed = 0;
    // The last round measured (Completed, Refused) or finished (Cancelled); -1 for none.
    // With keep-best, the kept round, also after a cancel: the result is the map measured there.
    int LastRound = -1;
    std::optional<RoundMeasures> FirstMeasures; // round 0's
    std::optional<RoundMeasures> LastMeasures;  // LastRound's (the kept round's with keep-best)
    // The convergence loop with keep-best: the round the result is taken from; -1 otherwise.
    int KeptRound = -1;
    // Polygons the convergence loop left out, in layer order, each named once.
    std::vector<LeftOutPolygon> LeftOut;
    // Rounds keep-best would have taken but passed over, because a ring valid at first was
    // invalid in them.
    int PassedOverInvalid = 0;
    // The polygons whose rings turned invalid in those rounds, in layer order.
    std::vector<uint32_t> TurnedInvalid;
    // Small loops the convergence loop cut where a round laid a ring's edges across each other.
    int LoopsCut = 0;
    // The largest loop cut, as a share of its ring's area: the ring gives up no more than that to
    // stay valid.
    static constexpr double MaxLoopShare = 1e-4;
};

// The cartogram's round loop. Given a polygon layer, the desired share of each polygon and a
// quadtree, it deforms the layer in place round after round, by the specified stepped loop
// (CSteppedLoop) or, with Converge set, by the convergence loop (CConvergenceLoop). It opens no
// file, shows no message and knows no document: it reports through the sink and the feedback and
// returns how it ended. The heavy steps fan out to ThreadCount workers with the same bits for any
// count.
class CCartogramSolver {
public:
    // `fractions` holds one share per polygon of `layer`; `initialBox` is the layer's extent
    // before the first round. The layer and the tree are borrowed for the solver's life. The
    // convergence loop moves them into its frame (CMapFrame) until Solve returns; the sink and the
    // feedback always see them in the caller's coordinates.
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

    // The caller has found in geographic coordinates that no ring crosses the antimeridian: a
    // ring wider than half the map is a long edge of its own, and the convergence loop pushes it
    // towards its size like any other instead of guessing it is a ring projected without a cut.
    void PushWideRings();

    // What preparation decided, in the loop's own coordinates (the convergence loop's frame).
    const CartogramSetup& Setup() const;
    // The layer's extent: the initial box before the first round, then after each fit-back.
    CExtent LayerExtent() const;

private:
    // Moves the layer and the tree back from the convergence loop's frame, once.
    void LeaveFrame();

    CPolygonLayer& Layer_;
    CQuadTree& Tree_;
    std::optional<CMapFrame> Frame_;
    bool Left_ = false;
    std::unique_ptr<CRoundLoop> Loop_;
};

} // namespace tessaro
