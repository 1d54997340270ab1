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
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CCartogramFeedback;
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
};

// The measurement at which a stop rule fired, with the rates and depths the run ended with.
struct SolverStop {
    int Round = 0;
    const RoundMeasures& Measures;
    double EnlargeRate = 0.0;
    double ShrinkRate = 0.0;
    int Depth = 0;
    int MinDepth = 0;
};

// Where the solver reports its rounds as it goes; the run writes its log and exports here.
class CCartogramRoundSink {
public:
    virtual ~CCartogramRoundSink() = default;
    // Round `round` is transformed and its timer still runs (round 0's log header goes here).
    virtual void OnTransformed(int /*round*/) {}
    // Round `round` is complete: the layer and map 1 of the quadtree show its result.
    virtual void OnRoundDone(const SolverRound& /*round*/) {}
    // A stop rule fired; no transformation follows this measurement.
    virtual void OnStopped(const SolverStop& /*stop*/) {}
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
    std::optional<RoundMeasures> LastMeasures;  // LastRound's
};

// The cartogram's round loop. Given a polygon layer, the desired share of each polygon and a
// quadtree, it deforms the layer in place round after round: measure each polygon's radius
// ratio and densify it, build force rings and their circle samples, displace the grid vertices
// of a quadtree over all vertices through the force field, move every vertex by the quadtree's
// piecewise-affine map, and fit the layer back into its initial box. It stops after
// max(2, MaxSteps) transformation rounds, when the weighted mean error falls below 0.001, or
// (StopWhenErrorRises) when every error measure rose. It opens no file, shows no message and
// knows no document: it reports through the sink and the feedback and returns how it ended.
// The heavy steps fan out to ThreadCount workers with the same bits for any count.
class CCartogramSolver {
public:
    // `fractions` holds one share per polygon of `layer`; `initialBox` is the layer's extent
    // before the first round. The layer and the tree are borrowed for the solver's life.
    CCartogramSolver(CPolygonLayer& layer, CQuadTree& tree, const CartoParams& params, std::vector<double> fractions,
                     const CExtent& initialBox);

    // Runs the rounds. Without feedback it runs to a stop rule; with one it checks for a cancel
    // between the steps of every round and inside the parallel steps, and hands a frame to it
    // after every finished round. A cancelled round leaves the layer half done: the caller
    // keeps the outputs of the rounds before it, not the layer.
    CartogramSolution Solve(CCartogramRoundSink* sink = nullptr, CCartogramFeedback* feedback = nullptr);

    const CartogramSetup& Setup() const { return Setup_; }
    // The layer's extent: the initial box before the first round, then after each fit-back.
    const CExtent& LayerExtent() const { return LayerExtent_; }

private:
    std::optional<RoundMeasures> Measure(int round, const CFeedback* feedback, std::string& refusal);
    bool ShouldStop(int round, const RoundMeasures& measures);
    bool Transform(const RoundMeasures& measures, const CFeedback* feedback);
    void MeasureAndDensify(int round);
    void Densify(CSimplePolygon& polygon) const;
    void UpdateRingRatios(int round, const RoundMeasures& measures);
    void CopyVertices();
    void BuildSamples(const RoundMeasures& measures);
    std::vector<double> DisplaceGrid(double rc, const CFeedback* feedback);
    void TransformVertices(const CFeedback* feedback);
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
};

} // namespace tessaro
