#pragma once

#include "engine/QuadTree.h"
#include "geometry/Extent.h"

#include <vector>

namespace tessaro {

class CPolygonLayer;
struct CartoParams;

// What preparation fixes for a whole cartogram run: the boxes, the quadtree depths, the grid
// lines the densification cuts at, the zero tolerance and the exaggeration mode.
struct CartogramSetup {
    CExtent InitialBox;     // the layer's extent before the first round; every round fits back into it
    CTreeRect ExtendedBox;  // the initial box grown by 4 % each way: the quadtree's box
    int Depth = 3;          // TreeDepth, or chosen from the layer when below 2 (3 ... 12)
    int MinDepth = 3;       // MinTreeDepth, at most Depth
    bool Adaptive = false;  // 2 <= MinDepth < Depth: each polygon's vertices get their own depth
    double DensifyStep = 0.0;
    double ExtSide = 0.0;   // the longer side of the extended box
    double ZeroTolerance = 0.0;
    int GridCount = 8;      // 2^Depth cells each way
    std::vector<double> Xs; // grid lines, GridCount + 1 each way
    std::vector<double> Ys;
    bool AutoExaggeration = false;  // a rate at or below 0.1 lets the run balance the rates
    double RadiusCorrection = -1.0; // whole part of the parameter
};

// The setup of a run over `layer`, whose extent before the first round is `initialBox`.
CartogramSetup MakeCartogramSetup(const CPolygonLayer& layer, const CExtent& initialBox, const CartoParams& params);

// Depth from the ratio of the map to its smallest polygon box, within 3 ... 12.
int AutomaticDepth(const CPolygonLayer& layer, double width, double height);

// 10^(e - 11) for the box's largest coordinate magnitude 10^e: the tolerance of near-duplicate
// vertices when the parameter asks for an automatic one.
double AutomaticZeroTolerance(const CTreeRect& box);

} // namespace tessaro
