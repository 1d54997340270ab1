#include "network/NodeIndex.h"

#include "network/Network.h"

#include <cmath>
#include <functional>
#include <stdexcept>

namespace tessaro {

namespace {

bool OrdersByName(uint32_t keyMode)
{
    return keyMode == KeyByName || keyMode == KeyByNameMergeParallel;
}

// The scan's "greater" test: a positive byte comparison of names, or a strictly greater X
// (never true with a NaN on either side).
bool KeyGreater(const CNetworkNode& listed, const CNetworkNode& node, uint32_t keyMode)
{
    if (OrdersByName(keyMode)) {
        return listed.Name().compare(node.Name()) > 0;
    }
    return listed.X() > node.X();
}

} // namespace

CNodeIndex::CNodeIndex(NodeList& nodes)
    : List_(nodes)
{
}

CNodeIndex::~CNodeIndex() = default;

size_t CNodeIndex::CoordinatesHash::operator()(const Coordinates& key) const noexcept
{
    // -0.0 and 0.0 are equal keys, so they must hash alike.
    const double x = key.first == 0.0 ? 0.0 : key.first;
    const double y = key.second == 0.0 ? 0.0 : key.second;
    const size_t hx = std::hash<double>{}(x);
    return hx ^ (std::hash<double>{}(y) + 0x9e3779b97f4a7c15ULL + (hx << 6) + (hx >> 2));
}

CNetworkNode& CNodeIndex::Require(const std::unique_ptr<CNetworkNode>& entry)
{
    if (!entry) {
        throw std::invalid_argument("The node list holds a null node.");
    }
    return *entry;
}

void CNodeIndex::Prepare(uint32_t keyMode)
{
    if (Stale_ || keyMode != KeyMode_ || Entries_.size() != List_.size()) {
        KeyMode_ = keyMode;
        Rebuild();
    }
}

void CNodeIndex::Clear()
{
    ClearMaps();
    Entries_.clear();
    Stale_ = true;
}

void CNodeIndex::ClearMaps()
{
    OrderByX_.clear();
    ByName_.clear();
    ByCoordinates_.clear();
    Groups_.clear();
}

void CNodeIndex::Rebuild()
{
    Clear();
    Stale_ = false;
    if (KeyMode_ == KeyByCoordinates) {
        Scheme_ = EScheme::Coordinates;
    } else if (OrdersByName(KeyMode_)) {
        Scheme_ = EScheme::Names;
    } else {
        Scheme_ = EScheme::NamesOrderedByX;
    }
    for (auto it = List_.begin(); it != List_.end(); ++it) {
        if (!FitsOrder(Require(*it))) {
            // Not an order our insertions make: answer by scanning until the next reset.
            Clear();
            Stale_ = false;
            Scheme_ = EScheme::Linear;
            for (auto all = List_.begin(); all != List_.end(); ++all) {
                Record(all);
            }
            return;
        }
        Record(it);
    }
}

bool CNodeIndex::FitsOrder(const CNetworkNode& node) const
{
    const double x = node.X();
    const bool numericX = !std::isnan(x);
    switch (Scheme_) {
    case EScheme::Coordinates:
        if (numericX && !std::isnan(node.Y()) && ByCoordinates_.count({x, node.Y()}) != 0) {
            return false;
        }
        return !numericX || OrderByX_.empty() || OrderByX_.rbegin()->first <= x;
    case EScheme::Names:
        return ByName_.empty() || ByName_.rbegin()->first.compare(node.Name()) < 0;
    case EScheme::NamesOrderedByX:
        return !numericX || OrderByX_.empty() || OrderByX_.rbegin()->first <= x;
    case EScheme::Linear:
        break;
    }
    return true;
}

void CNodeIndex::Record(Position where)
{
    const CNetworkNode& node = **where;
    Entry entry;
    entry.Where = where;
    const double x = node.X();
    const bool numericX = !std::isnan(x);
    // Multimap insertion goes after equal keys, which keeps ties in list order.
    switch (Scheme_) {
    case EScheme::Coordinates:
        if (numericX) {
            entry.Ordered = true;
            entry.InOrder = OrderByX_.insert({x, where});
            if (!std::isnan(node.Y())) {
                entry.Placed = true;
                entry.InCoordinates = {x, node.Y()};
                ByCoordinates_.emplace(entry.InCoordinates, where);
            }
        }
        break;
    case EScheme::Names:
        entry.Named = true;
        entry.InNames = ByName_.emplace(node.Name(), where).first;
        break;
    case EScheme::NamesOrderedByX:
        entry.Group = &Groups_[node.Name()];
        if (numericX) {
            entry.Ordered = true;
            entry.InOrder = OrderByX_.insert({x, where});
            entry.InGroup = entry.Group->ByX.insert({x, where});
        } else {
            ++entry.Group->NaNCount;
        }
        break;
    case EScheme::Linear:
        break;
    }
    Entries_.emplace(&node, entry);
}

CNodeIndex::Placement CNodeIndex::Locate(const CNetworkNode& node) const
{
    switch (Scheme_) {
    case EScheme::Coordinates:
        return LocateByCoordinates(node);
    case EScheme::Names:
        return LocateByName(node);
    case EScheme::NamesOrderedByX:
        return LocateByNameOrderedByX(node);
    case EScheme::Linear:
        break;
    }
    return PlainScan(node);
}

CNodeIndex::Placement CNodeIndex::LocateByCoordinates(const CNetworkNode& node) const
{
    // An equal node has the same X, so it lies before any greater X: a scan always meets it.
    if (!std::isnan(node.X()) && !std::isnan(node.Y())) {
        auto equal = ByCoordinates_.find({node.X(), node.Y()});
        if (equal != ByCoordinates_.end()) {
            return MergeInto(equal->second);
        }
    }
    return BeforeGreaterX(node.X());
}

CNodeIndex::Placement CNodeIndex::LocateByName(const CNetworkNode& node) const
{
    auto first = ByName_.lower_bound(node.Name());
    if (first == ByName_.end()) {
        return {nullptr, List_.end()};
    }
    if (first->first == node.Name()) {
        return MergeInto(first->second);
    }
    return {nullptr, first->second};
}

CNodeIndex::Placement CNodeIndex::LocateByNameOrderedByX(const CNetworkNode& node) const
{
    // A scan tests each node for equality before it tests for a greater X, so it merges with
    // the earliest node of the same name if that lies before, or is, the first greater X. A
    // namesake further on is never reached and the name is listed twice.
    auto group = Groups_.find(node.Name());
    if (group == Groups_.end()) {
        return BeforeGreaterX(node.X());
    }
    if (group->second.NaNCount != 0) {
        // Where a NaN node sits among the others depends on history; rare, so scan.
        return PlainScan(node);
    }
    const XOrder& namesakes = group->second.ByX;
    if (namesakes.empty()) {
        return BeforeGreaterX(node.X());
    }
    auto earliest = namesakes.begin();
    if (std::isnan(node.X()) || earliest->first <= node.X()) {
        return MergeInto(earliest->second);
    }
    const Placement insertion = BeforeGreaterX(node.X());
    return earliest->second == insertion.Before ? MergeInto(earliest->second) : insertion;
}

CNodeIndex::Placement CNodeIndex::BeforeGreaterX(double x) const
{
    if (std::isnan(x)) {
        return {nullptr, List_.end()};
    }
    auto greater = OrderByX_.upper_bound(x);
    return {nullptr, greater == OrderByX_.end() ? List_.end() : greater->second};
}

CNodeIndex::Placement CNodeIndex::PlainScan(const CNetworkNode& node) const
{
    const bool byName = KeyMode_ != KeyByCoordinates;
    for (auto it = List_.begin(); it != List_.end(); ++it) {
        const CNetworkNode& listed = Require(*it);
        if (CNetwork::NodesEqual(listed, node, byName)) {
            return MergeInto(it);
        }
        if (KeyGreater(listed, node, KeyMode_)) {
            return {nullptr, it};
        }
    }
    return {nullptr, List_.end()};
}

CNodeIndex::Position CNodeIndex::Insert(Position before, std::unique_ptr<CNetworkNode> node)
{
    Require(node);
    auto where = List_.insert(before, std::move(node));
    try {
        Record(where);
    } catch (...) {
        List_.erase(where);
        Stale_ = true;
        throw;
    }
    return where;
}

bool CNodeIndex::Erase(const CNetworkNode* node)
{
    auto found = Entries_.find(node);
    if (found == Entries_.end()) {
        return false;
    }
    // Stored iterators, not the node's present keys, which may have changed since.
    Entry& entry = found->second;
    if (entry.Ordered) {
        OrderByX_.erase(entry.InOrder);
    }
    if (entry.Named) {
        ByName_.erase(entry.InNames);
    }
    if (entry.Placed) {
        ByCoordinates_.erase(entry.InCoordinates);
    }
    if (entry.Group != nullptr) {
        if (entry.Ordered) {
            entry.Group->ByX.erase(entry.InGroup);
        } else {
            --entry.Group->NaNCount;
        }
    }
    List_.erase(entry.Where);
    Entries_.erase(found);
    return true;
}

} // namespace tessaro
