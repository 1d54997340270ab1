#pragma once

#include <iosfwd>
#include <string>

namespace tessaro {

struct InfoOptions {
    std::string Path;
    // Read as the cartogram reads its input: polygons wanted, other types only on a Yes.
    bool AsPolygonInput = false;
    std::string Layer; // the layer of a source read through OGR that holds several
};

// Exit statuses of the info command.
enum InfoExit : int {
    InfoComplete = 0,    // every record was read
    InfoIncomplete = 1,  // the header was accepted but not every record was read
    InfoUnreadable = 2,  // the file could not be opened, its header was refused, or it does not
                         // give the layer
};

// Reads a shapefile the way the program opens one and writes a summary of it to `out`:
// shape type, record count, header extent and what the network received. The reader's own
// messages and questions go through the installed user interface. Any other source than a .shp
// is read through OGR as the cartogram reads it (SummariseLayer): its layer, geometry type,
// features, the extent and counts of its polygons and the features left out.
int RunInfoCommand(const InfoOptions& options, std::ostream& out);

} // namespace tessaro
