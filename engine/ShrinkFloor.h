#pragma once

#include "engine/RunMeasures.h"

#include <cstdint>
#include <vector>

namespace tessaro {

class CGridDisplacement;
class CPolygonLayer;
class CQuadTree;

// The sum of the areas of the polygons that can be measured: a positive finite area and no
// ring wider than half the map (`wide`).
double MeasurableTotal(const std::vector<double>& areas, const std::vector<uint8_t>& wide);

// One round's shrink floor in the convergence loop. The fold guard bounds each triangle's loss
// per round only, so a small polygon between large growing ones would be squeezed a little every
// round, down to a sliver. A polygon that must grow and that a try takes below `floor` times the
// smaller of its first and its desired share (and below its share as the round started) has the
// quadtree leaves under its rings' edges held still, and the try is made again: with every leaf
// its boundary passes through unmoved, its area is what it was. Leaves under the edges rather
// than under its box, as a squeezed polygon is often a long bent strip whose box holds many times
// its area, and holding that would freeze its neighbours too. Shares are taken over the
// measurable total: the fit-back scales every area alike, so shares show what a try did to a
// polygon against the rest.
class CShrinkFloor {
public:
    // The floor of a round that starts with `areas` (the measurable ones as `wide` says) and whose
    // measures name the polygons that must grow. Inactive when `floor` is not above 0 or the
    // measures do not cover the layer. `firstShares`, empty before the first round, is filled
    // there with each polygon's smaller of its share of the map and its desired share (`fractions`).
    CShrinkFloor(const CPolygonLayer& layer, const RoundMeasures& measures, double floor,
                 const std::vector<double>& areas, const std::vector<uint8_t>& wide,
                 const std::vector<double>& fractions, std::vector<double>& firstShares);

    // Whether any polygon can fall below its floor this round: the floor is active and some
    // polygon must grow.
    bool Watching() const { return Active_ && !Growers_.empty(); }
    // After a try, with the layer's `areas` measured: notes every polygon the try took below its
    // floor. True when it found any.
    bool FindBelowFloor(const std::vector<double>& areas);
    // With the layer back where the round started (the tree's own positions): holds still the
    // leaves under the edges of the polygons FindBelowFloor noted since the last call.
    void HoldFound(CGridDisplacement& grid, const CQuadTree& tree);

private:
    const CPolygonLayer& Layer_;
    const std::vector<uint8_t>& Wide_;
    const std::vector<double>& FirstShares_;
    double Floor_ = 0.0;
    bool Active_ = false;
    std::vector<double> StartAreas_;
    double StartTotal_ = 0.0;
    std::vector<uint32_t> Growers_;
    std::vector<uint32_t> Found_;
    std::vector<uint8_t> Held_;
};

} // namespace tessaro
