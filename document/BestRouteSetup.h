#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CLumarixDoc;
class CNetwork;
class CNetworkNode;
class CShortestPath;

// The texts and table steps of the best-route setup, free of any window, so both front ends and
// the tests share them.

// Where an end of the route lies: "X: <x>\nY: <y>" with four decimals, or "尚未设置" (not set yet)
// for no node.
std::string RouteEndText(const CNetworkNode* node);

// "Shortest Distance:<cost>" with four decimals: the destination's distance after a search
// (1.7e307 when it was not reached). Nothing without a destination, which has no distance to show.
std::optional<std::string> ShortestDistanceText(const CShortestPath& engine);

// "The sum of nodes is: <n>".
std::string NodeCountText(const CNetwork& network);

// The field names of an attribute table whose records pair one to one with the document's
// chains, in table order. Nothing, after a message, when the table cannot be opened or its
// record count differs from the chain count ("文件不匹配，请重新选择正确的文件！").
std::optional<std::vector<std::string>> ChainWeightFields(const CLumarixDoc& document, const std::string& tablePath);

} // namespace tessaro
