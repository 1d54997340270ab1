#pragma once

#include "cli/MapOutputs.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

struct CartogramOptions {
    std::string Input; // a .shp (the program's own reader) or any vector source GDAL/OGR opens
    std::string Layer; // the layer of an OGR source that holds several
    std::string Format; // "gpkg", "geojson" or "shapefile" through OGR; empty: the shapefile set
    std::vector<std::string> Also; // FILE or FILE:LAYER of the layers moved with the map
    std::string Project; // "EPSG:n": the projected system the run is made in; empty: the input's
    std::string Field;
    std::string ParamsPath;
    std::vector<std::string> Settings; // "name=value" over the parameter file, before the options below
    std::optional<int> Steps;
    std::optional<int> ExportEvery;
    std::optional<int> Threads;
    std::optional<int> Depth;
    std::string OutputFolder;
    bool WithSvg = false;
    bool EqualShares = false;       // equal shares when no numeric field matches Field
    std::string Missing = "refuse"; // missing sizes: "refuse" the run or make them "small"
    bool Clean = false;             // remove the round files of an earlier run left beside
    bool Converge = false;             // the convergence mode's parameter set over the file's
    std::optional<double> TargetError; // stop below this weighted mean error
    std::optional<int> MaxRounds;      // rounds at most, as Steps
    MapOutputOptions Map;              // the styled picture and the web page of the result
};

enum CartogramExit {
    CartogramDone = 0,
    CartogramFailed = 1,        // refused, declined or an export failed, with the reason on standard error
    CartogramUnreadable = 2,    // the input or the parameter file cannot be read
    CartogramInterrupted = 130, // stopped by SIGINT (128 + 2, as shells report it)
};

// Runs a cartogram: one progress line per round on `progress`, the summary on `out`. A SIGINT
// during the run cancels it at the next check: the files written so far stay complete and the
// summary says where it stopped. Round files of an earlier run with the same names that this
// run did not write are named in a warning, and removed with Clean.
int RunCartogramCommand(const CartogramOptions& options, std::ostream& out, std::ostream& progress);

} // namespace tessaro
