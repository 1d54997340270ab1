#pragma once

#include "network/NetworkChainAttribute.h"
#include "network/NetworkNode.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tessaro {

// An edge of the network: a polyline from node From to node To with a traversal cost.
//
// A loader makes a chain with two fresh end nodes of its own (SetPoints or SetFreshEnds).
// The chain owns those until the network's topology pass takes them over: the pass either
// moves a fresh node into the node list or merges it into an equal node already there.
class CNetworkChain {
public:
    CNetworkChain() = default;
    virtual ~CNetworkChain() = default;
    CNetworkChain(const CNetworkChain&) = delete;
    CNetworkChain& operator=(const CNetworkChain&) = delete;

    int32_t ID() const { return ID_; }
    CNetworkNode* From() const { return From_; }
    CNetworkNode* To() const { return To_; }
    void SetFrom(CNetworkNode* node) { From_ = node; }
    void SetTo(CNetworkNode* node) { To_ = node; }

    CCoAuthorNetworkChainAttribute& Attribute() { return Attribute_; }
    const CCoAuthorNetworkChainAttribute& Attribute() const { return Attribute_; }

    double MinX() const { return MinX_; }
    double MinY() const { return MinY_; }
    double MaxX() const { return MaxX_; }
    double MaxY() const { return MaxY_; }
    int32_t PointCount() const { return PointCount_; }
    const double* Points() const { return Points_.data(); }

    // What a chain given fewer than two points says.
    static constexpr const char* TooFewPointsText = "Errors! The arc just have not more than two points!";
    // Copies `count` points (2 * count doubles), makes two fresh end nodes placed at the first
    // and last point and named "Node_ID_<id>", and takes the next chain ID. Fewer than two
    // points are refused with TooFewPointsText.
    bool SetPoints(int32_t count, const double* points);
    // Gives the chain two fresh end nodes made by a loader (named nodes of the translators)
    // and the next chain ID.
    void SetFreshEnds(std::unique_ptr<CNetworkNode> from, std::unique_ptr<CNetworkNode> to);
    // Box as (min x, min y, max x, max y).
    void SetBoundingBox(const double box[4]);

    // To when `node` is From, From when it is To, else null.
    CNetworkNode* OtherEnd(const CNetworkNode* node) const;
    // Unless `keep`, the weight becomes the polyline's Euclidean length.
    void ComputeLength(bool keep);
    // Moves the end points onto the end nodes; a chain of two points or fewer becomes exactly
    // the straight segment From-To with its box.
    void MakeStraight();

    // The topology pass: whether the chain still owns fresh end nodes, and handing them over.
    bool HasFreshEnds() const { return FreshFrom_ != nullptr || FreshTo_ != nullptr; }
    std::unique_ptr<CNetworkNode> ReleaseFreshFrom() { return std::move(FreshFrom_); }
    std::unique_ptr<CNetworkNode> ReleaseFreshTo() { return std::move(FreshTo_); }

private:
    void TakeNextID();

    int32_t ID_ = -1;
    CNetworkNode* From_ = nullptr;
    CNetworkNode* To_ = nullptr;
    std::unique_ptr<CNetworkNode> FreshFrom_;
    std::unique_ptr<CNetworkNode> FreshTo_;
    CCoAuthorNetworkChainAttribute Attribute_;
    double MinX_ = 0.0;
    double MinY_ = 0.0;
    double MaxX_ = 0.0;
    double MaxY_ = 0.0;
    int32_t PointCount_ = 0;
    std::vector<double> Points_;
};

} // namespace tessaro
