#pragma once

#include "network/Network.h"

#include <memory>
#include <string>
#include <utility>

namespace tessaro::test {

// A fresh end node as the translators make them, placed as well so that mode 0 and 3 see keys.
inline std::unique_ptr<CNetworkNode> MakeNode(const std::string& name, double x = 0.0, double y = 0.0)
{
    auto node = std::make_unique<CNetworkNode>();
    node->SetXY(x, y);
    node->SetName(name);
    return node;
}

inline std::unique_ptr<CNetworkChain> MakeChain(std::unique_ptr<CNetworkNode> from, std::unique_ptr<CNetworkNode> to)
{
    auto chain = std::make_unique<CNetworkChain>();
    chain->SetFreshEnds(std::move(from), std::move(to));
    return chain;
}

// Adds a chain between two named places and returns it (owned by the network).
inline CNetworkChain* AddNamedChain(CNetwork& network, const std::string& from, const std::string& to,
                                    double fromX = 0.0, double toX = 0.0)
{
    auto chain = MakeChain(MakeNode(from, fromX), MakeNode(to, toX));
    CNetworkChain* added = chain.get();
    network.AddChain(std::move(chain));
    return added;
}

} // namespace tessaro::test
