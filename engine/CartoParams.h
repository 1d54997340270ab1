#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

// How the push of a control vector decays with the distance from its start. The numbers are the
// parameter file's; a file may hold others, which a run refuses to evaluate.
enum class ForceDecay : int32_t {
    Exponential = 0,
    Directional = 1, // exponential, and weaker across the vector's direction
    // Exponential over a fixed range: KernelRange times the radius of the vector's circle,
    // whatever the vector's length, so a small correction still reaches the polygon's border.
    FixedRange = 2,
};

// How the elasticity divisor measures the deformation: from the full Jacobian of the field or
// from its diagonal (the gradient).
enum class ElasticityMeasure : int32_t {
    Jacobian = 0,
    Gradient = 1,
};

// Where ring edges get extra vertices before a round; any other number acts as QuadtreeLeaf.
enum class Densification : int32_t {
    MinimumDistance = 0, // every edge cut to the densification step
    QuadtreeLeaf = 1,    // a vertex wherever an edge crosses a grid line of the finest cells
    Both = 2,
    // The convergence loop only: a vertex wherever an edge crosses a side or the diagonal of the
    // round's leaves, so that every edge lies in one triangle of the map and its image is exact.
    // The loop acts as QuadtreeLeaf for it.
    ExactImage = 3,
};

// How the grid moves from round to round. The density flow is a choice of the convergence loop
// alone: the stepped loop always pushes with its force field, whatever density_flow holds.
enum class GridMotion {
    SteppedForces,    // the stepped loop's rounds
    ConvergingForces, // the convergence loop, pushed by the force field
    ConvergingFlow,   // the convergence loop, carried by the density-equalising flow
};

// How the step of the grid's displacement is held back so that the map does not fold; the
// numbers are the parameter file's.
enum class FoldGuardKind : int32_t {
    None = 0,   // the step as asked
    Global = 1, // one step for the whole grid: the largest that every triangle allows
    Local = 2,  // each grid vertex its own step, lowered only around the triangles that need it
};

// The cartogram parameter block. Every document owns one, created with the defaults; the
// parameter dialog edits it and may load or save it as a ".cartoparam" text file (opened by
// the run's ParamFile), and a run reads its own copy without changing it.
// A line of a parameter file that was not wholly taken: a value line short of its values
// (no reason given), or a "name = value" line with why it was not taken.
struct ParamLineRefusal {
    int Line = 0;       // from 1
    std::string Reason; // "line 8 (x = 1) names no parameter (...)"; empty for a value line
};

struct CartoParams {
    int32_t MaxSteps;
    int32_t ExportEvery;
    int32_t TreeDepth;
    ForceDecay ForceType;
    double EpsilonFactor; // the dialog shows this minus 1.0
    int32_t CirclePoints;
    double EnlargeRate;
    double ShrinkRate;
    double MaxRadiusRatio;
    double MinRadiusRatio;
    double RadiusCorrection;
    int32_t ThreadCount;
    ElasticityMeasure ElasticityType;
    bool StopWhenErrorRises;
    bool RelativeSizes;
    double RectangleFactor;
    Densification DensificationType;
    double MinVertexDistanceScale;
    bool SquareFullTree;
    int32_t MinTreeDepth;
    double OptimalNodeSize;
    int32_t LocalSearchDepth;
    double ZeroTolerance;

    // The convergence loop and its pieces. A parameter file holds them after its notes, one
    // "name = value" line each, and only those that differ from their defaults, so a file of
    // the settings above alone reads as it always has. Only the convergence loop reads them,
    // but for TargetError, which ends the other loop too.
    bool Converge;      // converge: the convergence loop instead of the stepped one
    double TargetError; // target_error: stop once the weighted mean error is below it
    double KernelRange; // kernel_range: decay length of the fixed-range force in circle radii
    // keep_best: the round of the lowest weighted mean error is the result; of the rounds below
    // the target, the one of the lowest largest error when LargestError is on.
    bool KeepBest;
    bool KeepValid;           // keep_valid: keep-best passes over a round with a ring invalid that was valid at first
    int32_t StepRetries;      // step_retries: halvings of a step that did not lower the error; 0 keeps every step
    bool HangingContinuity;   // hanging_continuity: midpoints of coarse sides follow their ends
    FoldGuardKind FoldGuard;  // fold_guard: how triangles are kept from losing more than their share of area
    bool BoundedTarget;       // bounded_target: area targets within half and twice the current area
    double SimplifyTolerance; // simplify_tolerance: bends below it (times the smaller root area of ring and polygon) go
    // shrink_floor: a polygon that must grow may not fall below this share of its first area
    // in a round; where a try would take it there, its leaves stand still. 0 off.
    double ShrinkFloor;
    // largest_error: once the weighted mean error is below the target, the rounds go on while a
    // polygon of at least 0.01 % of the total is further than this from its desired area
    // (|actual / desired - 1|), which a small weighted mean can hide, and that error still
    // falls; the flow's grid is made finer for a polygon too small for it. 0 off.
    double LargestError;
    // density_flow: the grid moves with a density-equalising flow instead of the force field.
    bool DensityFlow;
    // flow_grid: the flow's cells along the longer side of its grid; 0 chooses them from the map
    // (about three across a polygon of the median area, 128 to 1024).
    int32_t FlowGrid;

    CartoParams() { SetDefaults(); }

    // The defaults; ThreadCount is the processor count, at least 1.
    void SetDefaults();

    // The loop and the grid's motion that Converge and DensityFlow select together.
    GridMotion Motion() const
    {
        if (!Converge)
            return GridMotion::SteppedForces;
        return DensityFlow ? GridMotion::ConvergingFlow : GridMotion::ConvergingForces;
    }

    // The convergence mode over the current block: the convergence loop with the fixed-range
    // force, exact images and an adaptive quadtree, up to 100 rounds, exporting only the result.
    void SetConvergence();

    // Reads the text of a parameter file into the block in place. Fields a line does not
    // supply keep their values. Returns, in file order, the value lines that did not supply
    // all of theirs and the named lines it could not take.
    std::vector<ParamLineRefusal> ParseParamText(const std::string& text);
    // A sentence naming the first value a run cannot work with (a thread count above 1024, a
    // tree depth beyond 16, which would ask for billions of cells, a circle of no points, a
    // number that is not finite); empty when every value can be used. A thread count of 1 or
    // less runs single-threaded and a minimum tree depth above the depth counts as the depth,
    // so neither is refused.
    std::string LimitProblem() const;

    // The exact text of a parameter file holding this block.
    std::string FormatParamFile() const;

    bool operator==(const CartoParams&) const = default;
};

} // namespace tessaro
