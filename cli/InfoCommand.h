#pragma once

#include <iosfwd>
#include <string>

namespace tessaro {

struct InfoOptions {
    std::string Path;
    // Read as the cartogram reads its input: polygons wanted, other types only on a Yes.
    bool AsPolygonInput = false;
};

// Exit statuses of the info command.
enum InfoExit : int {
    InfoComplete = 0,    // every record was read
    InfoIncomplete = 1,  // the header was accepted but not every record was read
    InfoUnreadable = 2,  // the file could not be opened, or its header was refused
};

// Reads a shapefile the way the program opens one and writes a summary of it to `out`:
// shape type, record count, header extent and what the network received. The reader's own
// messages and questions go through the installed user interface.
int RunInfoCommand(const InfoOptions& options, std::ostream& out);

} // namespace tessaro
