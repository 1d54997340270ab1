#include "network/NetworkChain.h"

#include "platform/UserInterface.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>

namespace tessaro {

namespace {

// Shared by every network of the process; pre-incremented, so the first chain ID is 2.
std::atomic<int32_t> ChainIDCounter{1};

// A fresh end node of a shapefile arc: placed (which numbers it) and named after its ID.
std::unique_ptr<CNetworkNode> MakeEndNode(double x, double y)
{
    auto node = std::make_unique<CNetworkNode>();
    node->SetXY(x, y);
    node->SetName("Node_ID_" + std::to_string(node->ID()));
    return node;
}

} // namespace

bool CNetworkChain::SetPoints(int32_t count, const double* points)
{
    if (count < 2 || points == nullptr) {
        ShowMessage(TooFewPointsText, MessageKind::Error);
        return false;
    }
    PointCount_ = count;
    Points_.assign(points, points + 2 * static_cast<size_t>(count));
    const size_t last = 2 * static_cast<size_t>(count - 1);
    // Separate statements: the From node must take its ID before the To node.
    auto from = MakeEndNode(Points_[0], Points_[1]);
    auto to = MakeEndNode(Points_[last], Points_[last + 1]);
    SetFreshEnds(std::move(from), std::move(to));
    return true;
}

void CNetworkChain::SetFreshEnds(std::unique_ptr<CNetworkNode> from, std::unique_ptr<CNetworkNode> to)
{
    FreshFrom_ = std::move(from);
    FreshTo_ = std::move(to);
    From_ = FreshFrom_.get();
    To_ = FreshTo_.get();
    TakeNextID();
}

void CNetworkChain::SetBoundingBox(const double box[4])
{
    MinX_ = box[0];
    MinY_ = box[1];
    MaxX_ = box[2];
    MaxY_ = box[3];
}

CNetworkNode* CNetworkChain::OtherEnd(const CNetworkNode* node) const
{
    if (node == From_) {
        return To_;
    }
    if (node == To_) {
        return From_;
    }
    return nullptr;
}

void CNetworkChain::ComputeLength(bool keep)
{
    if (keep) {
        return;
    }
    double length = 0.0;
    for (size_t i = 2; i + 1 < Points_.size(); i += 2) {
        length += std::hypot(Points_[i] - Points_[i - 2], Points_[i + 1] - Points_[i - 1]);
    }
    Attribute_.SetWeightedLength(length);
}

void CNetworkChain::MakeStraight()
{
    if (From_ == nullptr || To_ == nullptr) {
        return;
    }
    if (PointCount_ > 2) {
        // A real polyline keeps its shape; only its ends follow the (possibly moved) nodes.
        const size_t last = Points_.size() - 2;
        Points_[0] = From_->X();
        Points_[1] = From_->Y();
        Points_[last] = To_->X();
        Points_[last + 1] = To_->Y();
        return;
    }
    PointCount_ = 2;
    Points_ = {From_->X(), From_->Y(), To_->X(), To_->Y()};
    MinX_ = std::min(From_->X(), To_->X());
    MinY_ = std::min(From_->Y(), To_->Y());
    MaxX_ = std::max(From_->X(), To_->X());
    MaxY_ = std::max(From_->Y(), To_->Y());
}

void CNetworkChain::TakeNextID()
{
    ID_ = ++ChainIDCounter;
}

} // namespace tessaro
