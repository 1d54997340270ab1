#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <utility>

namespace tessaro {

struct RouteOptions {
    std::string Input;
    std::string From; // a node name
    std::string To;
    std::optional<std::pair<double, double>> FromPoint; // the node nearest this point
    std::optional<std::pair<double, double>> ToPoint;
    std::string Weights; // "length", a field of the table beside a line shapefile, or empty
    int Mode = 2;
    double InitCircle = 0.0;
};

// Opens the input, finds the two nodes, searches the best route and prints it node by node
// with its cost, the candidate-list maximum and the search time. Exit status 0 with a route,
// 1 when the input was not read whole, a node is not found, the weights cannot be set or the
// destination is not reached, 2 when the input cannot be opened.
int RunRouteCommand(const RouteOptions& options, std::ostream& out);

} // namespace tessaro
