#pragma once

#include "engine/CartoParams.h"
#include "engine/RunMeasures.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// What a run did, for the front ends to report.
struct CartogramRunSummary {
    enum class Outcome {
        Completed, // a stop rule ended the run
        Stopped,   // the progress observer asked to stop
        Cancelled, // the file chooser was cancelled
        Refused,   // preparation failed; the reason was shown
        Unreadable, // the shapefile could not be read whole; the reader said why
    };
    Outcome Result = Outcome::Refused;
    int RoundsTransformed = 0;
    // The measures of round 0 and of the last measurement (the final line's, or the last
    // round's when the observer stopped the run).
    std::optional<RoundMeasures> FirstMeasures;
    std::optional<RoundMeasures> LastMeasures;
    int LastRound = -1;
    // No table or no matching numeric field: every polygon was given the same share.
    bool EqualShares = false;
    std::string SizeFieldRead; // the table's name of the field that gave the sizes
    std::vector<size_t> ZeroSizeRecords; // records (from 1) given the stand-in for size 0
    std::string InformationFile;
    std::vector<std::string> WrittenFiles; // exports, in the order written
    int ExportFailures = 0;
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
    // An SVG twin beside every exported picture.
    bool WithSvg = false;
    // Filled by Run.
    CartogramRunSummary Summary;

    // Runs the cartogram. False only when the user cancels the file chooser; true otherwise,
    // also when the run was refused with a message (information file, derived names, polygon
    // count against the table's record count, size values, degenerate areas); `Summary` tells
    // which. A shapefile that cannot be opened or read throws CFileError from the loader.
    bool Run(CNetwork& network, CQuadTree& tree, CShpFileTranslator& translator, const CartoParams& params);

private:
    // False when the shapefile was not read whole (refused header, damaged record, declined
    // question): a cartogram of part of a map would pair sizes with the wrong polygons.
    bool LoadPolygons(CNetwork& network, CShpFileTranslator& translator);
    // One share per polygon: the size field's, or equal shares without a table or field.
    // Nullopt when the column was refused.
    std::optional<std::vector<double>> ReadShares(uint32_t n);
};

} // namespace tessaro
