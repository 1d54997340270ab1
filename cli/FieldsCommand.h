#pragma once

#include <iosfwd>
#include <string>

namespace tessaro {

// Lists the size fields of the table beside a shapefile, one per line, in the order the
// field list of the cartogram command shows them. Exit status 0 with fields, 1 when the table
// has no numeric field, 2 when there is no table to open. Any other source than a .shp is read
// through OGR: the size fields of its layer `layer` (the only one when empty), exit status 2 when
// it does not give the layer.
int RunFieldsCommand(const std::string& path, const std::string& layer, std::ostream& out);

} // namespace tessaro
