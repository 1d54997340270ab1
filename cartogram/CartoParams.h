#pragma once

#include <cstdint>
#include <string>

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
    // their values. False, with the block unchanged, when the file cannot be opened.
    bool LoadParamFile(const std::string& path);
    // Writes the block as a parameter file, replacing an existing one only once the new one
    // is complete. False when the file cannot be created (nothing shown) or written (the
    // file error is shown).
    bool SaveParamFile(const std::string& path) const;
    // The exact text SaveParamFile writes.
    std::string FormatParamFile() const;

    bool operator==(const CartoParams&) const = default;
};

} // namespace tessaro
