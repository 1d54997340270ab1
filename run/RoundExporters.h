#pragma once

#include "run/RoundExport.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CInputFiles;
class CMapProjection;
class CNetwork;
class CNetworkEmfWriter;
class COgrRoundWriter;
class CRunFileNames;
class CShpFileTranslator;

// One part of a round's export set. The parts are chosen once, when the run is prepared, so the
// export of a round only calls each in turn.
class CRoundExporter {
public:
    virtual ~CRoundExporter() = default;
    // Writes the part for round `round`, the run's layer standing as the round left it; adds the
    // files written and the failures to `into`. Failures are reported to the user as they occur.
    virtual void Export(int round, RoundExportResult& into) = 0;
};

// What the exporters write from. All references outlive the exporters.
struct RoundExportSources {
    const CRunFileNames& Names;
    CNetwork& Network;               // holds the run's layer
    CShpFileTranslator& Translator;  // writes the network's polygons as a shapefile
    CNetworkEmfWriter& Pictures;     // draws the network's polygons and quadtree
    const CInputFiles& Inputs;       // which no output may land on
    bool WithSvg = false;
    // For an input read through OGR: its coordinate system for the exported shapefiles.
    std::optional<std::string> OgrProjection;
    // The writer of the layer with its attributes in an export format; null for the shapefile set.
    COgrRoundWriter* Writer = nullptr;
    // With a reprojection: the system the run is made in, which the exported layers leave.
    const CMapProjection* Projection = nullptr;
};

// The exporters of a run, in the order they write: the pictures (with the shapefile set when it
// goes out in the run's own coordinate system), then the layer in the input's coordinate system
// or through OGR, as the run asks.
std::vector<std::unique_ptr<CRoundExporter>> MakeRoundExporters(const RoundExportSources& sources);

} // namespace tessaro
