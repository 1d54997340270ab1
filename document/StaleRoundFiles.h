#pragma once

#include <string>
#include <vector>

namespace tessaro {

class CCartogramJob;

// The round files of earlier runs that lie beside a finished run's outputs: files in its output
// folder named as a round of the same stem would be ("usa_5.shp", "usa_5.shx", "usa_5.dbf",
// "usa_5.prj", "usa_5_qt.emf", "usa_5_py.svg", ...) that this run did not write, in name order.
// A shorter run into the folder of a longer one leaves the longer run's last rounds there, to be
// taken for this run's. The input and its companions are never among them.
std::vector<std::string> FindStaleRoundFiles(const CCartogramJob& job);

// Removes the files; returns those that could not be removed.
std::vector<std::string> RemoveFiles(const std::vector<std::string>& files);

} // namespace tessaro
