#include "cli/RouteCommand.h"

#include "document/LumarixDoc.h"
#include "platform/HighResolutionTime.h"
#include "platform/NumberText.h"
#include "geodata/SizeField.h"
#include "network/NodeSearch.h"
#include "platform/UserInterface.h"

#include <cmath>
#include <limits>
#include <ostream>

namespace tessaro {
namespace {

void Fail(const std::string& text) { ShowMessage(text, MessageKind::Error); }

CNetworkNode* NodeNamed(const CNetwork& network, const std::string& name)
{
    const std::string wanted = UpperCaseName(name);
    for (const auto& node : network.Nodes())
        if (UpperCaseName(node->Name()) == wanted)
            return node.get();
    std::string similar;
    for (const CNetworkNode* match : FindNodesByName(network, name))
        similar += (similar.empty() ? "" : ", ") + match->Name();
    Fail("No node is named \"" + name + "\"" + (similar.empty() ? "." : "; similar names: " + similar + "."));
    return nullptr;
}

CNetworkNode* NodeNearest(const CNetwork& network, const std::pair<double, double>& point)
{
    CNetworkNode* nearest = nullptr;
    double best = std::numeric_limits<double>::infinity();
    for (const auto& node : network.Nodes()) {
        const double distance = std::hypot(node->X() - point.first, node->Y() - point.second);
        if (distance < best) {
            best = distance;
            nearest = node.get();
        }
    }
    if (nearest == nullptr)
        Fail("The network has no node to start or end a route at.");
    return nearest;
}

CNetworkNode* FindEnd(const CNetwork& network, const std::string& name,
                      const std::optional<std::pair<double, double>>& point)
{
    return point ? NodeNearest(network, *point) : NodeNamed(network, name);
}

// "length" gives the Euclidean lengths; another word names a field of the table beside the
// input; nothing keeps the weights the reader gave (the lengths for a shapefile, whose chains
// are read without weights).
bool SetWeights(CLumarixDoc& document, const RouteOptions& options)
{
    if (options.Weights.empty() || options.Weights == "length") {
        if (!options.Weights.empty() || document.Network().KeyMode() == KeyByCoordinates)
            document.UseChainLengths();
        return true;
    }
    return document.UseChainWeightsFromTable(TablePathFor(options.Input), options.Weights);
}

std::string NodeText(const CNetworkNode& node)
{
    const std::string place = "(" + FormatFixed(node.X(), 4) + ", " + FormatFixed(node.Y(), 4) + ")";
    return node.Name().empty() ? place : node.Name() + " " + place;
}

} // namespace

int RunRouteCommand(const RouteOptions& options, std::ostream& out)
{
    CLumarixDoc document;
    if (!document.OnOpenDocument(options.Input))
        return 2;
    // A route through part of a file's network is no answer for the file; the reader has
    // already said what it left out.
    if (!document.LastReadWasWhole())
        return 1;
    if (!SetWeights(document, options))
        return 1;
    CNetworkNode* origin = FindEnd(document.Network(), options.From, options.FromPoint);
    CNetworkNode* destination = FindEnd(document.Network(), options.To, options.ToPoint);
    if (origin == nullptr || destination == nullptr)
        return 1;
    document.SetOriginNode(origin);
    document.SetDestinationNode(destination);
    document.InitializeBestRoute();

    CHighResolutionTime timer;
    timer.Start();
    document.BestRoute().Solve(options.Mode, options.InitCircle);
    timer.Stop();

    const CRoute route = document.BestRoute().Route();
    if (route.Nodes.empty())
        return 1;
    for (size_t i = 0; i < route.Nodes.size(); ++i)
        out << i + 1 << ". " << NodeText(*route.Nodes[i]) << '\n';
    out << "Cost: " << FormatFixed(route.Cost, 6) << '\n';
    out << "Candidate list maximum: " << document.BestRoute().MaxCandidates() << '\n';
    out << timer.FormatElapsed("Search time: ", "L", 3) << '\n';
    return 0;
}

} // namespace tessaro
