#include "network/ShortestPath.h"

#include "platform/HighResolutionTime.h"
#include "network/Network.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>

namespace tessaro {

namespace {

constexpr const char* InvalidPointerText = "A Invalid Pointer!";
constexpr const char* UnknownEndsText = "The start point and destination are still unknown!";
constexpr const char* NotConnectedText = "The network is not connected together!\n网络不连通，无法到达目的地！";

// Beyond this many rings around the origin the regional cone (2π / 2^k) is narrower than
// any direction worth following, and 2^k would no longer fit the old 32-bit arithmetic.
constexpr double MaxRings = 31.0;

// Larger than every reachable distance, so the first reached node always wins the scan.
constexpr double ScanStart = 1.7e308;

bool Finished(const CNetworkNode& node)
{
    return (node.Attribute().Flags & CNetworkNodeAttribute::FinishedFlag) != 0;
}

bool Reached(const CNetworkNode& node)
{
    return (node.Attribute().Flags & CNetworkNodeAttribute::ReachedFlag) != 0;
}

void MarkFinished(CNetworkNode& node)
{
    node.Attribute().Flags |= CNetworkNodeAttribute::FinishedFlag;
}

} // namespace

CShortestPath::CShortestPath(CNetwork& network)
    : Network_(network)
{
}

void CShortestPath::Initialize()
{
    bool originListed = false;
    bool destinationListed = false;
    for (const auto& entry : Network_.Nodes()) {
        if (!entry) {
            continue;
        }
        entry->Attribute().ResetAttribute();
        originListed = originListed || entry == Origin_;
        destinationListed = destinationListed || entry == Destination_;
    }
    // A node that left the network (a reload destroys them all) must not be touched again.
    if (!originListed) {
        Origin_ = nullptr;
    }
    if (!destinationListed) {
        Destination_ = nullptr;
    }
    Current_ = nullptr;
    Candidates_.clear();
    SetOrigin(Origin_);
    SetDestination(Destination_);
}

bool CShortestPath::SetOrigin(CNetworkNode* node)
{
    if (node == nullptr) {
        ShowMessage(InvalidPointerText, MessageKind::Error);
        return false;
    }
    Origin_ = node;
    Current_ = node;
    node->Attribute().Distance = 0.0;
    MarkFinished(*node);
    return true;
}

bool CShortestPath::SetDestination(CNetworkNode* node)
{
    if (node == nullptr) {
        ShowMessage(InvalidPointerText, MessageKind::Error);
        return false;
    }
    Destination_ = node;
    return true;
}

bool CShortestPath::InNetwork(const CNetworkNode* node) const
{
    if (node == nullptr) {
        return false;
    }
    const auto& nodes = Network_.Nodes();
    return std::any_of(nodes.begin(), nodes.end(), [node](const auto& entry) { return entry == node; });
}

void CShortestPath::Solve(int mode, double initCircle)
{
    MaxCandidates_ = 0;
    if (!InNetwork(Origin_) || !InNetwork(Destination_)) {
        ShowMessage(UnknownEndsText, MessageKind::Warning);
        return;
    }
    // Without a positive ring width there is no cone to restrict: search the whole list.
    if (mode == ModeRegional && !(initCircle > 0.0)) {
        mode = ModeCandidates;
    }
    const bool known = mode == ModeScan || mode == ModeCandidates || mode == ModeRegional;

    CHighResolutionTime timer;
    timer.Start();
    while (known && Current_ != nullptr && !Finished(*Destination_)) {
        Relax(mode, initCircle);
        if (mode == ModeScan) {
            SelectByScan();
        } else {
            SelectFromCandidates();
        }
    }
    timer.Stop();

    ShowMessage("The max num of candidate node list is " + std::to_string(MaxCandidates_) + ".\n" +
                    timer.FormatElapsedRounded("The time for finding shortest path is: ", "L"),
                MessageKind::Information);
    if (!Finished(*Destination_)) {
        ShowMessage(NotConnectedText, MessageKind::Warning);
    }
}

void CShortestPath::Relax(int mode, double initCircle)
{
    CNetworkNode& current = *Current_;
    const double base = current.Attribute().Distance;
    const auto chainCount = static_cast<int32_t>(std::min<uint32_t>(current.ChainCount(), INT32_MAX));
    for (int32_t i = 0; i < chainCount; ++i) {
        const CNetworkChain* chain = current.GetChain(i);
        CNetworkNode* other = chain != nullptr ? chain->OtherEnd(&current) : nullptr;
        if (other == nullptr || Finished(*other)) {
            continue;
        }
        CNetworkNodeAttribute& record = other->Attribute();
        record.Flags |= CNetworkNodeAttribute::ReachedFlag;
        const double distance = base + chain->Attribute().GetWeightedLength();
        if (record.Distance > distance) {
            record.Distance = distance;
            record.Previous = &current;
        }
        // A node outside the cone keeps its better distance but does not wait to be expanded.
        if (mode == ModeScan || (mode == ModeRegional && !InCone(*other, initCircle))) {
            continue;
        }
        InsertCandidate(other);
    }
}

bool CShortestPath::InCone(const CNetworkNode& node, double initCircle) const
{
    // The destination lies on the cone's axis (angle 0), which every cone contains.
    if (&node == Destination_) {
        return true;
    }
    const double nodeX = node.X() - Origin_->X();
    const double nodeY = node.Y() - Origin_->Y();
    const double axisX = Destination_->X() - Origin_->X();
    const double axisY = Destination_->Y() - Origin_->Y();
    const double rings = std::hypot(nodeX, nodeY) / initCircle;
    if (!(rings < MaxRings)) {
        return false;
    }
    // Ring k (k = 0 is the first circle) admits directions within 2π / 2^k of the axis: all of
    // them in the first circle and the next ring, ±90° in the third ring, ±45° in the fourth.
    const int ring = static_cast<int>(rings);
    // atan2 of the cross and dot products stays exact near 0 and gives 0 for a node on the
    // origin, where arccos of a normalised dot product would lose precision or divide by 0.
    const double angle = std::atan2(std::abs(nodeX * axisY - nodeY * axisX), nodeX * axisX + nodeY * axisY);
    return angle <= std::ldexp(2.0 * std::numbers::pi, -ring);
}

void CShortestPath::InsertCandidate(CNetworkNode* node)
{
    const double distance = node->Attribute().Distance;
    auto place = Candidates_.begin();
    for (; place != Candidates_.end() && (*place)->Attribute().Distance <= distance; ++place) {
        if (*place == node) {
            return; // already waiting no later than its place
        }
    }
    Candidates_.insert(place, node);
}

void CShortestPath::SelectByScan()
{
    CNetworkNode* nearest = nullptr;
    double nearestDistance = ScanStart;
    for (const auto& entry : Network_.Nodes()) {
        if (!entry || Finished(*entry) || !Reached(*entry)) {
            continue;
        }
        // Strictly less: the earlier node in list order wins a tie.
        if (entry->Attribute().Distance < nearestDistance) {
            nearest = entry;
            nearestDistance = entry->Attribute().Distance;
        }
    }
    if (nearest != nullptr) {
        MarkFinished(*nearest);
    }
    Current_ = nearest;
}

void CShortestPath::SelectFromCandidates()
{
    if (Candidates_.empty()) {
        Current_ = nullptr;
        return;
    }
    const auto length = static_cast<int32_t>(std::min<size_t>(Candidates_.size(), INT32_MAX));
    MaxCandidates_ = std::max(MaxCandidates_, length);
    // A stale second entry of a node already finished is expanded again; that changes nothing,
    // since its neighbours already hold distances at least as good.
    Current_ = Candidates_.front();
    Candidates_.pop_front();
    MarkFinished(*Current_);
}

CRoute CShortestPath::Route() const
{
    if (!InNetwork(Destination_) || Origin_ == nullptr || !Finished(*Destination_)) {
        return {};
    }
    CRoute route;
    // A route visits every node at most once; a longer walk means records of another search.
    const size_t longest = static_cast<size_t>(Network_.NodeCount()) + 1;
    for (CNetworkNode* node = Destination_; node != nullptr && route.Nodes.size() < longest;
         node = node->Attribute().Previous) {
        route.Nodes.push_back(node);
        if (node == Origin_) {
            std::reverse(route.Nodes.begin(), route.Nodes.end());
            route.Cost = Destination_->Attribute().Distance;
            return route;
        }
    }
    return {};
}

} // namespace tessaro
