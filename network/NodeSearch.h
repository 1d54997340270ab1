#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tessaro {

class CNetwork;
class CNetworkNode;

// Finding a node by name, as the node search dialog does, without the dialog: the filter and
// the names are compared upper-cased; a node matches when its name begins with the filter's
// first character and contains the whole filter. Matches come in node-list order, at most
// MaxMatches of them.
class CNodeSearch {
public:
    static constexpr std::size_t MaxMatches = 12;

    // Searches `network`, which must outlive the search.
    explicit CNodeSearch(CNetwork& network);

    // An empty filter changes nothing and returns false. Otherwise the previous matches, the
    // selection and the result text are cleared and the list is filled anew.
    bool Search(const std::string& filter);
    // The list entries: the upper-cased names of the matches, in order.
    const std::vector<std::string>& Entries() const { return Entries_; }
    const std::vector<CNetworkNode*>& Matches() const { return Matches_; }

    // Picks the i-th match and shows it in the result text; false outside the list.
    bool Select(std::size_t index);
    CNetworkNode* Selected() const { return Selected_; }
    const std::string& ResultText() const { return ResultText_; }

private:
    CNetwork& Network_;
    std::vector<std::string> Entries_;
    std::vector<CNetworkNode*> Matches_;
    CNetworkNode* Selected_ = nullptr;
    std::string ResultText_;
};

// ASCII letters upper-cased; other bytes (UTF-8 included) unchanged, whatever the locale.
std::string UpperCaseName(const std::string& name);
// The matches of `filter` in node-list order, at most CNodeSearch::MaxMatches.
std::vector<CNetworkNode*> FindNodesByName(CNetwork& network, const std::string& filter);
// "NAME (0xID)": the node's name and its ID, which tells nodes of the same name apart.
std::string NodeSearchResultText(const CNetworkNode& node);

} // namespace tessaro
