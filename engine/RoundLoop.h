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
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CCartogramFeedback;
class CCartogramRoundSink;
class CFeedback;
class CMapFrame;
class CPolygonLayer;
class CQuadTree;
class CSimplePolygon;
struct CartogramSolution;

// What every round does to the map, whichever loop runs the rounds: measure and densify the
// polygons, copy their vertices into one buffer, build the force rings and their circle samples,
// build the quadtree over the vertices, move its grid, move every vertex by the tree's
// piecewise-affine map and fit the layer back into its initial box, then report the round. The
// stepped loop and the convergence loop are built on these pieces and decide the rest: what a
// round measures, how the grid moves and when the rounds stop.
class CRoundLoop {
public:
    // `fractions` holds one share per polygon of `layer`; `initialBox` is the layer's extent
    // before the first round. The layer and the tree are borrowed for the loop's life.
    CRoundLoop(CPolygonLayer& layer, CQuadTree& tree, const CartoParams& params, std::vector<double> fractions,
               const CExtent& initialBox);
    virtual ~CRoundLoop();
    CRoundLoop(const CRoundLoop&) = delete;
    CRoundLoop& operator=(const CRoundLoop&) = delete;

    // Runs the rounds to a stop rule or a cancel (see CCartogramSolver::Solve).
    virtual CartogramSolution Solve(CCartogramRoundSink* sink, CCartogramFeedback* feedback) = 0;

    const CartogramSetup& Setup() const { return Setup_; }
    const CExtent& LayerExtent() const { return LayerExtent_; }
    // The frame the layer was moved into before the loop was made; the sink and the feedback
    // see the layer and the tree back in the caller's coordinates. Null: none.
    void SetFrame(const CMapFrame* frame) { Frame_ = frame; }

protected:
    // While it lives, the layer and the tree stand in the caller's coordinates.
    class CCallerCoordinates {
    public:
        explicit CCallerCoordinates(CRoundLoop& loop);
        ~CCallerCoordinates();
        CCallerCoordinates(const CCallerCoordinates&) = delete;
        CCallerCoordinates& operator=(const CCallerCoordinates&) = delete;

    private:
        CRoundLoop& Loop_;
    };

    // The start of a round's measurement: the round's timer runs from here.
    void StartMeasuring();
    // The text of a measurement's refusal; the polygon it names, when it names one, is kept in
    // RefusedPolygon_ for the solution.
    std::string DescribeRefusal(const MeasureResult& measured);
    // Every polygon's area and centroid, the total of those `counts` admits (each round with
    // relative sizes, else in round 0), and, with `densify`, the polygon densified and rid of
    // near-duplicate points; counts the vertices.
    void MeasureAndDensify(int round, bool densify, const std::function<bool(uint32_t)>& counts);
    // Every polygon's area and centroid into Areas_ and Centroids_, on the run's threads.
    void MeasurePolygons();
    // Every ring carries its polygon's ratio as the first of its values; round 0 also builds the
    // all-rings list.
    void UpdateRingRatios(int round, const std::vector<double>& ratios);
    // The force rings of the round, cut as a uniform tree of `depth` cuts them. False after a cancel.
    bool BuildForceRings(int depth, const CFeedback* feedback);
    // Fills the input buffer (and, in adaptive mode, the vertex depths, none below `minDepth` nor,
    // for polygon i's vertices, below polygonDepths[i] when given).
    void CopyVertices(int minDepth, const std::vector<int>& polygonDepths = {});
    // Circle samples of every force ring and their targets, scaled by the ring's exaggerated
    // ratio, or bounded to a doubling or halving of the area with `boundedTarget`.
    void BuildSamples(const RoundMeasures& measures, bool boundedTarget);
    // The force field's control vectors for the round's samples; returns the radius correction.
    double PrepareField(const RoundMeasures& measures);
    // Builds the quadtree over the vertices of the input buffer, with map 1 a copy of map 0, and
    // collects its grid vertices.
    void BuildTree();
    // Output := Input moved through the tree's displaced map (`fixedSplits`: along each leaf's
    // stored diagonal), then fitted back into the box with the moved grid; false when cancelled.
    bool MoveVertices(std::vector<double>& moved, bool fixedSplits, const CFeedback* feedback);
    // Hands the finished round to the sink and the feedback.
    void ReportRound(int round, const RoundMeasures& measures, CCartogramRoundSink* sink, CCartogramFeedback* feedback);

    CPolygonLayer& Layer_;
    CQuadTree& Tree_;
    const CMapFrame* Frame_ = nullptr;
    const CartoParams Params_;
    const CartogramSetup Setup_;
    const std::vector<double> Fractions_;
    const uint32_t N_;
    const int Steps_;

    std::vector<CPoint2D> Centroids_;
    std::vector<double> Areas_;
    double Total_ = 0.0;
    double InitialTotal_ = 0.0;
    double EnlargeRate_;
    double ShrinkRate_;
    CExtent LayerExtent_;

    int64_t VertexCount_ = 0;
    RingList ForceRings_;
    std::vector<double> Sources_;
    std::vector<double> Input_;
    std::vector<double> Output_;
    std::vector<double> Grid_;

    CPointDisplacementTransformer Displacement_;
    // The step factor of the round's accepted try and how many tries were undone before it, as
    // the round reports them; -1 retries in the stepped loop, which has neither.
    double LastStep_ = 1.0;
    int LastRetries_ = -1;
    int LastFlowCells_ = 0;   // the density flow's cells along the longer side in the last round; 0 without it
    int RefusedPolygon_ = -1; // the polygon the last refusal named; -1 for none
    MeasureStatus RefusedFor_ = MeasureStatus::Ok; // what the last refusal failed on

private:
    void Densify(CSimplePolygon& polygon) const;
    void TransformVertices(bool fixedSplits, const CFeedback* feedback);
    CExtent WriteBack();
    void FitBack(const CExtent& currentBox, std::vector<double>& moved);

    // The all-rings list: the layer's own rings, lent to the force-ring builder (which takes a
    // ring list) and never destroyed through it.
    struct BorrowedRings {
        RingList List;
        BorrowedRings() = default;
        BorrowedRings(const BorrowedRings&) = delete;
        BorrowedRings& operator=(const BorrowedRings&) = delete;
        ~BorrowedRings();
    };

    int64_t PreviousVertexCount_ = -1;
    BorrowedRings AllRings_;
    std::vector<double> Targets_;
    std::vector<double> Centres_;
    std::vector<int> VertexDepths_;
    CHighResolutionTime Timer_;
    CQuadTreeTransformer VertexTransformer_;
};

} // namespace tessaro
