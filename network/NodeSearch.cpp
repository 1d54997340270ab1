#include "network/NodeSearch.h"

#include "network/Network.h"
#include "platform/TextCase.h"

#include <algorithm>

namespace tessaro {

namespace {

// Bytes of the UTF-8 character that `lead` starts (1 for ASCII and for stray bytes).
std::size_t CharacterLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead < 0xF8) {
        return 4;
    }
    if (lead >= 0xE0 && lead < 0xF0) {
        return 3;
    }
    if (lead >= 0xC0 && lead < 0xE0) {
        return 2;
    }
    return 1;
}

// `upperFilter` is non-empty and upper-cased.
bool NameMatches(const std::string& upperName, const std::string& upperFilter)
{
    const std::size_t first = std::min(CharacterLength(static_cast<unsigned char>(upperFilter[0])), upperFilter.size());
    return upperName.compare(0, first, upperFilter, 0, first) == 0 &&
           upperName.find(upperFilter) != std::string::npos;
}

} // namespace

std::string UpperCaseName(const std::string& name) { return UpperCaseAscii(name); }

std::vector<CNetworkNode*> FindNodesByName(CNetwork& network, const std::string& filter)
{
    std::vector<CNetworkNode*> matches;
    if (filter.empty()) {
        return matches;
    }
    const std::string upperFilter = UpperCaseName(filter);
    for (const auto& entry : network.Nodes()) {
        if (matches.size() == CNodeSearch::MaxMatches) {
            break;
        }
        if (entry && NameMatches(UpperCaseName(entry->Name()), upperFilter)) {
            matches.push_back(entry);
        }
    }
    return matches;
}

std::string NodeSearchResultText(const CNetworkNode& node)
{
    return node.Name() + " (0x" + std::to_string(node.ID()) + ")";
}

CNodeSearch::CNodeSearch(CNetwork& network)
    : Network_(network)
{
}

bool CNodeSearch::Search(const std::string& filter)
{
    if (filter.empty()) {
        return false;
    }
    Matches_ = FindNodesByName(Network_, filter);
    Entries_.clear();
    for (const CNetworkNode* node : Matches_) {
        Entries_.push_back(UpperCaseName(node->Name()));
    }
    Selected_ = nullptr;
    ResultText_.clear();
    return true;
}

bool CNodeSearch::Select(std::size_t index)
{
    if (index >= Matches_.size()) {
        return false;
    }
    Selected_ = Matches_[index];
    ResultText_ = NodeSearchResultText(*Selected_);
    return true;
}

} // namespace tessaro
