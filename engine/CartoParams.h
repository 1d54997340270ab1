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
};

// The cartogram parameter block. Every document owns one, created with the defaults; the
// parameter dialog edits it and may load or save it as a ".cartoparam" text file (opened by
// the run's ParamFile), and a run reads its own copy without changing it.
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

    CartoParams() { SetDefaults(); }

    // The defaults; ThreadCount is the processor count, at least 1.
    void SetDefaults();

    // Reads the text of a parameter file into the block in place. Fields a line does not
    // supply keep their values. Returns the numbers (from 1) of the value lines that did not
    // supply all of theirs.
    std::vector<int> ParseParamText(const std::string& text);
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
