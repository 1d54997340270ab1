#pragma once

#include "cartogram/CartoParams.h"
#include "cartogram/RunMeasures.h"

#include <functional>
#include <string>

namespace tessaro {

class CNetwork;
class CQuadTree;
class CShpFileTranslator;

// What the progress observer of a run is told after every round line.
struct RoundProgress {
    int Round = 0;
    RoundMeasures Measures;
    std::string ElapsedText; // the time column of the round line
};

// One cartogram run: loads the polygon shapefile into the network, then deforms the polygons
// round after round until their areas follow the size field, logging every round to the run
// information file and exporting the scheduled rounds.
class CCartogramJob {
public:
    // Returns false to stop the run after the current round (nothing more is written).
    using ProgressObserver = std::function<bool(const RoundProgress&)>;

    double EpsilonFactor = 1.01;
    std::string ShapefilePath;
    std::string SizeField;
    // When set, the information file and the exports go there instead of beside the input.
    std::string OutputFolder;
    // Optional; without one the run goes on until a stop rule fires.
    ProgressObserver Progress;

    // Runs the cartogram. False only when the user cancels the file chooser; true otherwise,
    // also when the run was refused with a message (information file, derived names, polygon
    // count against the table's record count, degenerate areas). A shapefile that cannot be
    // opened or read throws CFileError from the loader.
    bool Run(CNetwork& network, CQuadTree& tree, CShpFileTranslator& translator, const CartoParams& params);
};

} // namespace tessaro
