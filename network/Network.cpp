#include "network/Network.h"

#include "network/NodeIndex.h"
#include "platform/UserInterface.h"

#include <cmath>
#include <functional>
#include <new>
#include <numbers>
#include <unordered_map>
#include <utility>

namespace tessaro {

namespace {

constexpr const char* InvalidPointerText = "A invalid pointer!";
constexpr const char* InvalidDataPointerText = "A Invalid Pointer!\n无效数据指针！";

// Appends under the "memory failure is reported, not thrown" rule of the add operations.
template <typename Container, typename Item>
bool AppendReported(Container& container, Item item)
{
    try {
        container.push_back(std::move(item));
    } catch (const std::bad_alloc& error) {
        ShowMessage(error.what(), MessageKind::Error);
        return false;
    }
    return true;
}

struct EndsHash {
    size_t operator()(const std::pair<const CNetworkNode*, const CNetworkNode*>& ends) const noexcept
    {
        const size_t h = std::hash<const CNetworkNode*>{}(ends.first);
        return h ^ (std::hash<const CNetworkNode*>{}(ends.second) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
    }
};

} // namespace

CNetwork::CNetwork()
    : Index_(std::make_unique<CNodeIndex>(Nodes_))
{
}

CNetwork::~CNetwork()
{
    Clear();
}

bool CNetwork::NodesEqual(const CNetworkNode& a, const CNetworkNode& b, bool byName)
{
    if (byName) {
        return a.Name() == b.Name();
    }
    return a.X() == b.X() && a.Y() == b.Y();
}

bool CNetwork::AddChain(std::unique_ptr<CNetworkChain> chain)
{
    if (!chain) {
        ShowMessage(InvalidPointerText, MessageKind::Error);
        return false;
    }
    CNetworkChain* added = chain.get();
    if (!AppendReported(Chains_, std::move(chain))) {
        return false;
    }
    try {
        ChainPositions_.emplace(added, std::prev(Chains_.end()));
    } catch (const std::bad_alloc& error) {
        Chains_.pop_back();
        ShowMessage(error.what(), MessageKind::Error);
        return false;
    }
    ++ChainCount_;
    return true;
}

bool CNetwork::AddFacilityList(std::unique_ptr<CFacilityObjectList> list)
{
    if (!list) {
        ShowMessage(InvalidDataPointerText, MessageKind::Error);
        return false;
    }
    return AppendReported(FacilityLists_, std::move(list));
}

bool CNetwork::AddPolygon(std::unique_ptr<CSimplePolygon> polygon)
{
    if (!polygon) {
        ShowMessage(InvalidDataPointerText, MessageKind::Error);
        return false;
    }
    const CSimplePolygon& added = *polygon;
    try {
        PolygonLayer_.Add(std::move(polygon));
    } catch (const std::bad_alloc& error) {
        ShowMessage(error.what(), MessageKind::Error);
        return false;
    }
    ExtendExtentByPolygon(added);
    return true;
}

bool CNetwork::BuildTopology()
{
    bool prepared = false;
    for (auto& chain : Chains_) {
        if (!chain->HasFreshEnds()) {
            continue;
        }
        if (!prepared) {
            // Listed nodes may have been renamed or moved since the last pass.
            Index_->Invalidate();
            prepared = true;
        }
        ConnectChain(*chain);
    }
    return true;
}

void CNetwork::ConnectChain(CNetworkChain& chain)
{
    std::unique_ptr<CNetworkNode> from = chain.ReleaseFreshFrom();
    std::unique_ptr<CNetworkNode> to = chain.ReleaseFreshTo();
    if (from && to && NodesEqual(*from, *to, ByName())) {
        // A chain back to its start is a loop on one node, attached once; `to` goes.
        chain.SetFrom(from.get());
        chain.SetTo(from.get());
        from->AddChain(&chain, KeyMode_);
        InsertNode(std::move(from), true);
        return;
    }
    if (from) {
        from->AddChain(&chain, KeyMode_);
    }
    if (to) {
        to->AddChain(&chain, KeyMode_);
    }
    if (from) {
        InsertNode(std::move(from), false);
    }
    if (to) {
        InsertNode(std::move(to), false);
    }
}

bool CNetwork::InsertNode(std::unique_ptr<CNetworkNode> node, bool loop)
{
    if (!node) {
        return false;
    }
    Index_->Prepare(KeyMode_);
    const CNodeIndex::Placement placement = Index_->Locate(*node);
    if (placement.Equal != nullptr) {
        MergeNodeInto(*placement.Equal, *node, loop);
        return true;
    }
    Index_->Insert(placement.Before, std::move(node));
    ++NodeCount_;
    FollowIndexStep();
    return true;
}

void CNetwork::MergeNodeInto(CNetworkNode& survivor, CNetworkNode& node, bool loop)
{
    CNetworkChain* chain = node.GetChain(0);
    if (chain == nullptr) {
        return;
    }
    survivor.AddChain(chain, KeyMode_);
    if (loop) {
        chain->SetFrom(&survivor);
        chain->SetTo(&survivor);
        return;
    }
    if (chain->From() == &node) {
        chain->SetFrom(&survivor);
    }
    if (chain->To() == &node) {
        chain->SetTo(&survivor);
    }
}

void CNetwork::FollowIndexStep()
{
    // Informational only: the step of the old square-root index, which grew by one whenever
    // the node count reached the next square.
    const uint64_t next = uint64_t{IndexStep_} + 1;
    if (NodeCount_ == next * next) {
        ++IndexStep_;
    }
}

bool CNetwork::RemoveChain(CNetworkChain* chain)
{
    if (chain == nullptr) {
        return false;
    }
    auto position = ChainPositions_.find(chain);
    if (position == ChainPositions_.end() || chain->From() == nullptr || chain->To() == nullptr) {
        return false;
    }
    CNetworkNode* from = chain->From();
    CNetworkNode* to = chain->To();
    from->RemoveChainByID(chain->ID());
    if (to != from) {
        to->RemoveChainByID(chain->ID());
    }
    // A loop's one node must be dropped once only.
    DropIfUnattached(from);
    if (to != from) {
        DropIfUnattached(to);
    }
    Chains_.erase(position->second);
    ChainPositions_.erase(position);
    --ChainCount_;
    return true;
}

void CNetwork::DropIfUnattached(CNetworkNode* node)
{
    // Fresh ends still belong to their chain, so only listed nodes are erased here.
    if (node->ChainCount() == 0 && Index_->Erase(node)) {
        --NodeCount_;
    }
}

void CNetwork::ComputeChainLengths()
{
    // Named networks carry costs from their files, not lengths.
    const bool keep = KeyMode_ == KeyByName || KeyMode_ == KeyByNameMergeParallel;
    for (auto& chain : Chains_) {
        chain->ComputeLength(keep);
    }
}

void CNetwork::SetChainWeights(const std::vector<double>& values)
{
    auto value = values.begin();
    for (auto chain = Chains_.begin(); chain != Chains_.end() && value != values.end(); ++chain, ++value) {
        (*chain)->Attribute().SetWeightedLength(*value);
    }
}

bool CNetwork::MergeParallelChains()
{
    // Only citation networks merge; in the other modes no pair counts as parallel.
    if (KeyMode_ != KeyByNameMergeParallel) {
        return true;
    }
    // Of every group of parallel chains at a node, the one attached last survives. Both ends
    // of a removed chain keep the survivor, so no node leaves the list during the walk.
    using Ends = std::pair<const CNetworkNode*, const CNetworkNode*>;
    std::unordered_map<Ends, CNetworkChain*, EndsHash> survivors;
    std::vector<CNetworkChain*> doomed;
    for (const auto& entry : Nodes_) {
        if (!entry) {
            return false;
        }
        survivors.clear();
        doomed.clear();
        for (int32_t i = static_cast<int32_t>(entry->ChainCount()) - 1; i >= 0; --i) {
            CNetworkChain* chain = entry->GetChain(i);
            if (chain == nullptr) {
                ShowMessage("Error in generating weighted length!", MessageKind::Error);
                return false;
            }
            auto [survivor, first] = survivors.try_emplace(Ends{chain->From(), chain->To()}, chain);
            if (!first) {
                // The survivor keeps its own weight; how duplicates should add to it was
                // never settled, so it is written back unchanged.
                CNetworkChain& kept = *survivor->second;
                kept.Attribute().SetWeightedLength(kept.Attribute().GetWeightedLength());
                doomed.push_back(chain);
            }
        }
        for (CNetworkChain* chain : doomed) {
            RemoveChain(chain);
        }
    }
    return true;
}

void CNetwork::PlaceNodesOnCircle(double radius)
{
    if (NodeCount_ == 0) {
        return;
    }
    const double step = 2.0 * std::numbers::pi / NodeCount_;
    uint32_t k = 0;
    for (const auto& entry : Nodes_) {
        if (!entry) {
            continue;
        }
        entry->SetXY(radius * std::sin(step * k), radius * std::cos(step * k));
        ++k;
    }
    // The list keeps its order, which no longer follows the new X values.
    Index_->Invalidate();
}

void CNetwork::MakeStraightChains()
{
    for (auto& chain : Chains_) {
        chain->MakeStraight();
    }
}

void CNetwork::ResetExtent()
{
    Extent_ = CExtent::Empty();
}

void CNetwork::SetExtent(const CExtent& box, bool replace)
{
    const bool neverSet = Extent_.MinX == 0.0 && Extent_.MaxX == 0.0;
    if (neverSet || replace) {
        Extent_ = box;
    } else {
        Extent_.Unite(box);
    }
}

void CNetwork::ExtendExtentByPolygon(const CSimplePolygon& polygon)
{
    Extent_.Unite(CExtent{polygon.MinX(), polygon.MinY(), polygon.MaxX(), polygon.MaxY()});
}

void CNetwork::ComputeExtentFromNodes()
{
    Extent_ = CExtent::Empty();
    for (const auto& entry : Nodes_) {
        const CNetworkNode& node = CNodeIndex::Require(entry);
        Extent_.Include(node.X(), node.Y());
    }
}

void CNetwork::ClearFacilities()
{
    FacilityLists_.clear();
}

void CNetwork::ClearPolygons()
{
    PolygonLayer_.Clear();
}

CPolygonLayer CNetwork::TakePolygonLayer()
{
    CPolygonLayer taken = std::move(PolygonLayer_);
    PolygonLayer_.Clear();
    return taken;
}

void CNetwork::SetPolygonLayer(CPolygonLayer layer)
{
    PolygonLayer_ = std::move(layer);
}

void CNetwork::Reset()
{
    ChainPositions_.clear();
    Chains_.clear();
    Nodes_.clear();
    Index_->Clear();
    NodeCount_ = 0;
    ChainCount_ = 0;
    IndexStep_ = DefaultIndexStep;
}

void CNetwork::Clear()
{
    Reset();
    ClearFacilities();
    ClearPolygons();
}

} // namespace tessaro
