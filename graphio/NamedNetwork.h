#pragma once

#include <string>

namespace tessaro {

class CNetwork;
class CNetworkChain;

// Appends a chain of weight `weight` between two fresh nodes that carry only a name; the
// topology pass later merges equal names into one node. The chain takes the next chain ID.
// Returns the chain, owned by the network, or null when the network refused it and said why.
CNetworkChain* AddNamedChain(CNetwork& network, std::string from, std::string to, double weight);

// The first steps of finishing a text network: the extent (-100, -100)-(100, 100) is united
// with the network's, the topology pass runs, and two messages follow: `countPrefix` with the
// node count, and the pass's time in milliseconds. Returns that time (-1 without a clock).
double BuildNamedTopology(CNetwork& network, const std::string& countPrefix);

// The radius of the circle that text networks are laid out on.
constexpr double NamedNetworkRadius = 100.0;

} // namespace tessaro
