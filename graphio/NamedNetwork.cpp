#include "graphio/NamedNetwork.h"

#include "platform/HighResolutionTime.h"
#include "network/Network.h"
#include "platform/UserInterface.h"

#include <memory>
#include <utility>

namespace tessaro {

CNetworkChain* AddNamedChain(CNetwork& network, std::string from, std::string to, double weight)
{
    auto fromNode = std::make_unique<CNetworkNode>();
    fromNode->SetName(std::move(from));
    auto toNode = std::make_unique<CNetworkNode>();
    toNode->SetName(std::move(to));
    auto chain = std::make_unique<CNetworkChain>();
    chain->Attribute().SetWeightedLength(weight);
    chain->SetFreshEnds(std::move(fromNode), std::move(toNode));
    CNetworkChain* added = chain.get();
    return network.AddChain(std::move(chain)) ? added : nullptr;
}

double BuildNamedTopology(CNetwork& network, const std::string& countPrefix)
{
    network.SetExtent(CExtent{-NamedNetworkRadius, -NamedNetworkRadius, NamedNetworkRadius, NamedNetworkRadius}, false);
    CHighResolutionTime timer;
    timer.Start();
    network.BuildTopology();
    // Stopped before the messages: a modal box would otherwise add the user's reading time.
    timer.Stop();
    ShowMessage(countPrefix + std::to_string(network.NodeCount()), MessageKind::Information);
    ShowMessage(timer.FormatElapsedRounded("The time for adding nodes is: ", "L"), MessageKind::Information);
    return timer.Elapsed("L");
}

} // namespace tessaro
