#pragma once

#include <iosfwd>
#include <string>

namespace tessaro {

struct CheckOptions {
    std::string Path;
    bool Overlaps = false;
    std::string Layer; // the layer of a source read through OGR that holds several
};

// Exit statuses of the check command.
enum CheckExit : int {
    CheckClean = 0,      // every record was read and nothing was found
    CheckFindings = 1,   // every record was read and at least one finding was listed
    CheckUnreadable = 2, // the file could not be opened, is no polygon shapefile, does not give the
                         // layer, or a damaged record stopped the reading (the records before it
                         // are still checked)
};

// Pre-flight check of a polygon shapefile before a cartogram: reads the .shp the way the
// program does and lists what would trouble a cartogram, one line per finding on `out`:
//
//   Record 12 (Texas), ring 2: self-intersection: The ring crosses or touches itself.
//   Record 3 (Iowa), record 7 (Ohio): overlap: The interiors of the two records overlap.
//
// Records and rings count from 1 in file order, as GIS programs number features; the name in
// parentheses comes from the table's name field (NAME, or a text field whose name contains
// NAME) and is left out without one. A summary line ends the listing. Messages (unreadable
// file, refused type, the reader's own complaints) go through the installed user interface.
// Any other source than a .shp is read through OGR as the cartogram reads it, its features
// being the records (CheckPolygonLayer).
int RunCheckCommand(const CheckOptions& options, std::ostream& out);

} // namespace tessaro
