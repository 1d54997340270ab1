#include "graphio/FlightsFileTranslator.h"

#include "graphio/NamedNetwork.h"
#include "graphio/TextLines.h"
#include "network/Network.h"

#include <array>
#include <cmath>
#include <optional>

namespace tessaro {
namespace {

// Shorter lines cannot hold a flight; they are skipped.
constexpr size_t ShortestFlightLine = 20;
// The flight count follows the fifth comma.
constexpr size_t CommasBeforeCount = 5;
// 340 flights weigh the square root of this.
constexpr double FlightScaleSquare = 50.49436848545301;
constexpr double FlightScaleCount = 340.0;

std::string CityName(std::string_view field)
{
    return std::string(TrimBlanks(WithoutQuotes(field)));
}

} // namespace

double CFlightsFileTranslator::FlightWeight(double flights)
{
    return flights * std::sqrt(FlightScaleSquare) / FlightScaleCount;
}

bool CFlightsFileTranslator::ReadFlights(const std::string& path)
{
    Damaged_.Clear();
    const bool read = ReadGuarded(path, [&] {
        CTextLines lines;
        if (!LoadLines(path, lines))
            return false;
        ReadLines(lines, HeaderLine::Skip, Damaged_, [this](std::string_view line) { return ReadFlightLine(line); });
        return true;
    });
    return read && FinishFlightNetwork();
}

std::string_view CFlightsFileTranslator::ReadFlightLine(std::string_view line)
{
    if (line.size() < ShortestFlightLine)
        return {};
    std::array<size_t, CommasBeforeCount> commas{};
    size_t found = 0;
    for (size_t at = line.find(','); at != std::string_view::npos && found < commas.size(); at = line.find(',', at + 1))
        commas[found++] = at;
    if (found < commas.size())
        return "fewer than five commas";
    const std::string from = CityName(line.substr(0, commas[0]));
    const std::string to = CityName(line.substr(commas[0] + 1, commas[1] - commas[0] - 1));
    if (from.empty() || to.empty())
        return {};
    // The count ends at a further comma, as the C conversion stopped there.
    const std::string_view countField = line.substr(commas[4] + 1);
    const std::optional<double> flights = WholeCDouble(countField.substr(0, countField.find(',')));
    if (!flights)
        return "a flight count that is not a number";
    if (*flights < 0.0)
        return "a negative flight count";
    // A weight beyond a double would make every route through it unreachable, and the graph
    // files would carry "inf".
    const double weight = FlightWeight(*flights);
    if (!std::isfinite(weight))
        return "a flight count too large to weigh";
    AddFlight(from, to, weight);
    return {};
}

bool CFlightsFileTranslator::AddFlight(std::string_view from, std::string_view to, double weight)
{
    if (Network_ == nullptr)
        return false;
    return AddNamedChain(*Network_, std::string(from), std::string(to), weight) != nullptr;
}

bool CFlightsFileTranslator::FinishFlightNetwork()
{
    if (Network_ == nullptr)
        return false;
    // Merging is a no-op outside key mode 2: flights between the same cities stay separate.
    const bool merged = FinishNamedNetwork("The number of cities is: ", ParallelChains::Merged);
    Network_->ComputeExtentFromNodes();
    return merged;
}

} // namespace tessaro
