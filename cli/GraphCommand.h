#pragma once

#include <iosfwd>
#include <string>

namespace tessaro {

struct GraphOptions {
    std::string Input;
    std::string PajekPath;
    std::string GraphvizPath;
};

// Opens any file the document opens (.shp, .txt, .csv, .flt) and writes its network as a Pajek
// and/or Graphviz file. Exit status 0 when every file asked for was written; 1 when one was
// not, or when the input was not read whole (nothing is written then); 2 when the input cannot
// be opened.
int RunGraphCommand(const GraphOptions& options, std::ostream& out);

} // namespace tessaro
