#pragma once

#include "geometry/Extent.h"
#include "geometry/PolygonLayer.h"
#include "geometry/SimplePolygon.h"
#include "network/FacilityObjectList.h"
#include "network/NetworkChain.h"
#include "network/NetworkNode.h"

#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

namespace tessaro {

class CNodeIndex;

// How nodes are told apart and ordered in the node list.
enum NetworkKeyMode : uint32_t {
    KeyByCoordinates = 0,      // X and Y exactly equal; ordered by X, ties in arrival order
    KeyByName = 1,             // names equal; ordered by name (byte comparison)
    KeyByNameMergeParallel = 2, // as 1, and parallel chains are merged
    KeyByNameOrderByX = 3,     // names equal; ordered by X, ties in arrival order
};

// One document's graph: nodes kept sorted by the key mode, chains in loading order, point
// layers and a polygon layer, and the extent. The network owns all of them.
class CNetwork {
public:
    using NodeList = std::list<std::unique_ptr<CNetworkNode>>;
    using ChainList = std::list<std::unique_ptr<CNetworkChain>>;
    using FacilityLists = std::vector<std::unique_ptr<CFacilityObjectList>>;
    using PolygonList = CPolygonLayer::PolygonList;
    // The elements as pointers: changeable only through a changeable network.
    using NodeRange = CPointerView<NodeList, CNetworkNode>;
    using ConstNodeRange = CPointerView<const NodeList, const CNetworkNode>;
    using ChainRange = CPointerView<ChainList, CNetworkChain>;
    using ConstChainRange = CPointerView<const ChainList, const CNetworkChain>;
    using FacilityRange = CPointerView<FacilityLists, CFacilityObjectList>;
    using ConstFacilityRange = CPointerView<const FacilityLists, const CFacilityObjectList>;

    // Index step copied into every new or reset network.
    static constexpr uint32_t DefaultIndexStep = 10;

    CNetwork();
    virtual ~CNetwork();
    CNetwork(const CNetwork&) = delete;
    CNetwork& operator=(const CNetwork&) = delete;

    uint32_t IndexStep() const { return IndexStep_; }
    NetworkKeyMode KeyMode() const { return KeyMode_; }
    void SetKeyMode(NetworkKeyMode mode) { KeyMode_ = mode; }

    uint32_t NodeCount() const { return NodeCount_; }
    uint32_t ChainCount() const { return ChainCount_; }
    uint32_t FacilityListCount() const { return static_cast<uint32_t>(FacilityLists_.size()); }
    uint32_t PolygonCount() const { return PolygonLayer_.Count(); }

    ConstNodeRange Nodes() const { return ConstNodeRange(Nodes_); }
    NodeRange Nodes() { return NodeRange(Nodes_); }
    ConstChainRange Chains() const { return ConstChainRange(Chains_); }
    ChainRange Chains() { return ChainRange(Chains_); }
    ConstFacilityRange Facilities() const { return ConstFacilityRange(FacilityLists_); }
    FacilityRange Facilities() { return FacilityRange(FacilityLists_); }
    CPolygonLayer::ConstPolygonRange Polygons() const { return PolygonLayer_.Polygons(); }
    CPolygonLayer::PolygonRange Polygons() { return PolygonLayer_.Polygons(); }
    CSimplePolygon& Polygon(uint32_t i) { return PolygonLayer_.Polygon(i); }
    const CSimplePolygon& Polygon(uint32_t i) const { return PolygonLayer_.Polygon(i); }
    const CPolygonLayer& PolygonLayer() const { return PolygonLayer_; }
    CPolygonLayer& PolygonLayer() { return PolygonLayer_; }

    const CExtent& Extent() const { return Extent_; }

    // Appends to the chain list; null is refused with "A invalid pointer!".
    bool AddChain(std::unique_ptr<CNetworkChain> chain);
    // Null is refused with "A Invalid Pointer!\n无效数据指针！".
    bool AddFacilityList(std::unique_ptr<CFacilityObjectList> list);
    // Appends and widens the extent by the polygon's box; null refused as for facility lists.
    bool AddPolygon(std::unique_ptr<CSimplePolygon> polygon);

    // Merges the fresh end nodes of every chain into the node list by key. Chains whose ends
    // already belong to the node list are left alone. Returns true.
    bool BuildTopology();
    // Inserts a fresh node (attached to exactly one chain) into the sorted node list, or merges
    // it into the first equal node that a scan from the head of the list meets.
    bool InsertNode(std::unique_ptr<CNetworkNode> node, bool loop);
    // Removes and destroys a chain; an end node left without chains leaves the node list.
    bool RemoveChain(CNetworkChain* chain);

    void ComputeChainLengths();
    // Gives the i-th chain of the chain list the weight values[i], for as many as both have.
    void SetChainWeights(const std::vector<double>& values);
    bool MergeParallelChains();
    void PlaceNodesOnCircle(double radius);
    void MakeStraightChains();

    void ResetExtent();
    // Copies the box when the extent was never set (MinX and MaxX both 0) or `replace` is
    // set; otherwise unites the two.
    void SetExtent(const CExtent& box, bool replace);
    void ExtendExtentByPolygon(const CSimplePolygon& polygon);
    void ComputeExtentFromNodes();

    void ClearFacilities();
    void ClearPolygons();
    // Hands the polygon layer over, leaving this network without polygons; the extent stays.
    CPolygonLayer TakePolygonLayer();
    // Replaces the polygon layer; the extent is the caller's to set.
    void SetPolygonLayer(CPolygonLayer layer);
    // Before a reload: nodes, chains and the index go; facilities and polygons stay.
    void Reset();
    // Everything goes.
    void Clear();

    static bool NodesEqual(const CNetworkNode& a, const CNetworkNode& b, bool byName);

private:
    bool ByName() const { return KeyMode_ != KeyByCoordinates; }
    void ConnectChain(CNetworkChain& chain);
    void MergeNodeInto(CNetworkNode& survivor, CNetworkNode& node, bool loop);
    void DropIfUnattached(CNetworkNode* node);
    void FollowIndexStep();

    uint32_t IndexStep_ = DefaultIndexStep;
    NetworkKeyMode KeyMode_ = KeyByName;
    uint32_t NodeCount_ = 0;
    uint32_t ChainCount_ = 0;
    NodeList Nodes_;
    ChainList Chains_;
    // Finds a chain's place in the chain list without walking it (RemoveChain).
    std::unordered_map<const CNetworkChain*, ChainList::iterator> ChainPositions_;
    FacilityLists FacilityLists_;
    std::unique_ptr<CNodeIndex> Index_;
    CExtent Extent_ = CExtent::Zero();
    CPolygonLayer PolygonLayer_;
};

} // namespace tessaro
