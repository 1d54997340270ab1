#include "cli/RouteCommand.h"

#include "document/LumarixDoc.h"
#include "platform/HighResolutionTime.h"
#include "platform/NumberText.h"
#include "platform/UserInterface.h"

#include <ostream>

namespace tessaro {
namespace {

CNetworkNode* FindEnd(CLumarixDoc& document, const std::string& name,
                      const std::optional<std::pair<double, double>>& point)
{
    return point ? document.FindNodeNearest(point->first, point->second) : document.FindNodeNamed(name);
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
    if (!document.LastReadWasWhole()) {
        ShowMessage("No route is searched: " + options.Input + " was not read whole.", MessageKind::Error);
        return 1;
    }
    if (!document.ChooseRouteWeights(options.Weights))
        return 1;
    CNetworkNode* origin = FindEnd(document, options.From, options.FromPoint);
    CNetworkNode* destination = FindEnd(document, options.To, options.ToPoint);
    if (origin == nullptr || destination == nullptr)
        return 1;
    document.SetOriginNode(origin);
    document.SetDestinationNode(destination);
    document.InitializeBestRoute();

    CHighResolutionTime timer;
    timer.Start();
    document.SolveBestRoute(options.Mode, options.InitCircle);
    timer.Stop();

    const CRoute route = document.BestRoute().Route();
    if (route.Nodes.empty()) {
        ShowMessage("No route leads from " + NodeText(*origin) + " to " + NodeText(*destination) +
                        ": the destination cannot be reached from the origin at a finite cost.",
                    MessageKind::Error);
        return 1;
    }
    for (size_t i = 0; i < route.Nodes.size(); ++i)
        out << i + 1 << ". " << NodeText(*route.Nodes[i]) << '\n';
    out << "Cost: " << FormatFixed(route.Cost, 6) << '\n';
    out << "Candidate list maximum: " << document.BestRoute().MaxCandidates() << '\n';
    out << timer.FormatElapsed("Search time: ", "L", 3) << '\n';
    return 0;
}

} // namespace tessaro
