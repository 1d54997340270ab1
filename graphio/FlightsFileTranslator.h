#pragma once

#include "graphio/DamagedLines.h"
#include "graphio/TextTranslator.h"

#include <string>
#include <string_view>

namespace tessaro {

// Builds a city network from a comma-separated flight table with a header line: origin,
// destination, three more fields and the number of flights, e.g.
// "ABE,ATL,Allentown,Atlanta,PA-GA,853". Every line is one chain from origin to destination
// whose weight is the number of flights scaled by sqrt(50.49436848545301) / 340, so 340 flights
// weigh sqrt(50.49436848545301), about 7.1059. Chains between the same cities are kept apart.
// The network is expected in key mode 3 (names, ordered by X); the document sets the mode.
class CFlightsFileTranslator : public CTextTranslator {
public:
    using CTextTranslator::CTextTranslator;

    // Reads the table and finishes the network. False after a message when the file cannot be
    // opened or read (the network is left as it was) or memory runs out; otherwise the result
    // of FinishFlightNetwork. Blank lines, lines under 20 characters and lines with an empty
    // city are skipped as the format has it. Damaged lines are skipped too and listed in
    // DamagedLines: fewer than five commas, a flight count that is not one number, that is
    // negative or whose weight is beyond a double, and lines that are not text (TextDamage).
    bool ReadFlights(const std::string& path);
    // The damaged lines of the last ReadFlights; empty before the first.
    const CDamagedLines& DamagedLines() const { return Damaged_; }

    // The weight of a line's flight count.
    static double FlightWeight(double flights);
    // One chain of `weight` from a node named `from` to a node named `to`.
    bool AddFlight(std::string_view from, std::string_view to, double weight);
    // Topology, nodes on a circle of radius 100, chains straight, extent from the nodes.
    bool FinishFlightNetwork();

private:
    // Adds the flight of one line. Returns why the line is damaged, empty when it was read or
    // skipped as the format has it.
    std::string_view ReadFlightLine(std::string_view line);

    CDamagedLines Damaged_;
};

} // namespace tessaro
