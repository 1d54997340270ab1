#pragma once

#include "network/NetworkNode.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

namespace tessaro {

// The lookup structure beside the network's node list. For a new node it answers, in
// logarithmic time, what a plain scan from the head of the list would do: merge the node into
// the first equal node met, or insert it before the first node whose key is greater, or append.
// It never decides anything a scan would not, so it changes speed and nothing else.
//
// The answers rely on the order that such insertions leave in the list:
// - mode 0: nodes whose X is a number are sorted by X (ties in arrival order), and no two of
//   them with numeric X and Y share both coordinates;
// - modes 1 and 2: names strictly ascending;
// - mode 3 and unknown modes: nodes whose X is a number are sorted by X; names may repeat.
// A NaN X is never greater than anything, so its node stays wherever it was appended and never
// stops a scan; those nodes stay out of the ordered maps. A list that breaks the rules (the key
// mode changed after loading, nodes moved) is served by the plain scan itself.
class CNodeIndex {
public:
    using NodeList = std::list<std::unique_ptr<CNetworkNode>>;
    using Position = NodeList::iterator;

    // What a scan from the head does with a new node: merge it into `Equal`, or, when that is
    // null, insert it before `Before` (the end of the list to append).
    struct Placement {
        CNetworkNode* Equal = nullptr;
        Position Before;
    };

    // Serves exactly this list, which must outlive the index. All changes of the list go
    // through Insert and Erase.
    explicit CNodeIndex(NodeList& nodes);
    ~CNodeIndex();
    CNodeIndex(const CNodeIndex&) = delete;
    CNodeIndex& operator=(const CNodeIndex&) = delete;

    // Makes the index serve the key mode; rebuilds it from the list when the mode changed,
    // after Invalidate, or when the list size disagrees with the index.
    void Prepare(uint32_t keyMode);
    // The keys of listed nodes may have changed: the next Prepare rebuilds.
    void Invalidate() { Stale_ = true; }
    // The list was emptied by its owner.
    void Clear();

    // Valid after Prepare.
    Placement Locate(const CNetworkNode& node) const;
    Position Insert(Position before, std::unique_ptr<CNetworkNode> node);
    // Takes a listed node out of the list and destroys it; false for a node not in the list.
    bool Erase(const CNetworkNode* node);

    // The node of a list entry; a null entry is an invalid list.
    static CNetworkNode& Require(const std::unique_ptr<CNetworkNode>& entry);

private:
    enum class EScheme { Coordinates, Names, NamesOrderedByX, Linear };

    using XOrder = std::multimap<double, Position>;
    using NameOrder = std::map<std::string, Position>;
    using Coordinates = std::pair<double, double>;

    struct CoordinatesHash {
        size_t operator()(const Coordinates& key) const noexcept;
    };

    // Mode 3: every listed node of one name; the first of ByX is the earliest of them in the
    // list unless some have a NaN X.
    struct NameGroup {
        XOrder ByX;
        uint32_t NaNCount = 0;
    };

    // Where one listed node is recorded, so that it can be taken out again whatever its keys
    // have become since.
    struct Entry {
        Position Where;
        bool Ordered = false;
        XOrder::iterator InOrder;
        bool Named = false;
        NameOrder::iterator InNames;
        bool Placed = false;
        Coordinates InCoordinates;
        NameGroup* Group = nullptr;
        XOrder::iterator InGroup;
    };

    void Rebuild();
    void ClearMaps();
    // False when the node, taken in list order, breaks the order the scheme relies on.
    bool FitsOrder(const CNetworkNode& node) const;
    void Record(Position where);

    Placement LocateByCoordinates(const CNetworkNode& node) const;
    Placement LocateByName(const CNetworkNode& node) const;
    Placement LocateByNameOrderedByX(const CNetworkNode& node) const;
    Placement PlainScan(const CNetworkNode& node) const;
    // Insert before the first node with numeric X greater than x (append when none).
    Placement BeforeGreaterX(double x) const;
    Placement MergeInto(Position where) const { return {where->get(), where}; }

    NodeList& List_;
    uint32_t KeyMode_ = 0;
    EScheme Scheme_ = EScheme::Linear;
    bool Stale_ = true;
    std::unordered_map<const CNetworkNode*, Entry> Entries_;
    XOrder OrderByX_;
    NameOrder ByName_;
    std::unordered_map<Coordinates, Position, CoordinatesHash> ByCoordinates_;
    std::unordered_map<std::string, NameGroup> Groups_;
};

} // namespace tessaro
