#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

// The cartogram parameter block. Every document owns one, created with the defaults; the
// parameter dialog edits it and may load or save it as a ".cartoparam" text file, and a run
// reads it without changing it.
struct CartoParams {
    int32_t MaxSteps;
    int32_t ExportEvery;
    int32_t TreeDepth;
    int32_t ForceType;    // 0 exponential decay, 1 with directional decay
    double EpsilonFactor; // the dialog shows this minus 1.0
    int32_t CirclePoints;
    double EnlargeRate;
    double ShrinkRate;
    double MaxRadiusRatio;
    double MinRadiusRatio;
    double RadiusCorrection;
    int32_t ThreadCount;
    int32_t ElasticityType; // 0 Jacobian, 1 gradient
    bool StopWhenErrorRises;
    bool RelativeSizes;
    double RectangleFactor;
    int32_t DensificationType; // 0 minimum distance, 1 quadtree leaf, 2 both
    double MinVertexDistanceScale;
    bool SquareFullTree;
    int32_t MinTreeDepth;
    double OptimalNodeSize;
    int32_t LocalSearchDepth;
    double ZeroTolerance;

    CartoParams() { SetDefaults(); }

    // The defaults; ThreadCount is the processor count, at least 1.
    void SetDefaults();

    // Reads a parameter file into the block in place. Fields a line does not supply keep
    // their values; `incompleteLines`, when given, receives the numbers (from 1) of the value
    // lines that did not supply all of theirs. False, with the block unchanged, when the file
    // cannot be opened.
    bool LoadParamFile(const std::string& path, std::vector<int>* incompleteLines = nullptr);
    // Writes the block as a parameter file, replacing an existing one only once the new one
    // is complete. False when the file cannot be created (nothing shown) or written (the
    // file error is shown).
    bool SaveParamFile(const std::string& path) const;
    // A sentence naming the first value a run cannot work with (a thread count outside
    // 1 ... 1024, a tree depth beyond 16, which would ask for billions of cells, a circle of
    // no points, a number that is not finite); empty when every value can be used.
    std::string LimitProblem() const;

    // The exact text SaveParamFile writes.
    std::string FormatParamFile() const;

    bool operator==(const CartoParams&) const = default;
};

} // namespace tessaro
