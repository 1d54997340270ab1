#include "network/NetworkNode.h"

#include "network/NetworkChain.h"

#include <algorithm>
#include <atomic>

namespace tessaro {

namespace {

// Shared by every network of the process; pre-incremented, so the first ID handed out is 2.
std::atomic<uint32_t> NodeIDCounter{1};

} // namespace

bool CNetworkNode::SetID(uint32_t id)
{
    if (id == 0) {
        return false;
    }
    ID_ = id;
    return true;
}

void CNetworkNode::SetXY(double x, double y)
{
    X_ = x;
    Y_ = y;
    ID_ = ++NodeIDCounter;
}

bool CNetworkNode::GetXY(double* x, double* y) const
{
    if (x == nullptr || y == nullptr) {
        return false;
    }
    *x = X_;
    *y = Y_;
    return true;
}

bool CNetworkNode::AddChain(CNetworkChain* chain, uint32_t keyMode)
{
    if (chain == nullptr) {
        return false;
    }
    // Bibliography networks (mode 1) never offer a chain twice, so they skip the search.
    if (keyMode != 1 && std::find(Chains_.begin(), Chains_.end(), chain) != Chains_.end()) {
        return false;
    }
    Chains_.push_back(chain);
    return true;
}

CNetworkChain* CNetworkNode::GetChain(int32_t i) const
{
    if (i < 0 || static_cast<size_t>(i) >= Chains_.size()) {
        return nullptr;
    }
    return Chains_[static_cast<size_t>(i)];
}

bool CNetworkNode::RemoveChainByID(int32_t id)
{
    auto it = std::find_if(Chains_.begin(), Chains_.end(),
                           [id](const CNetworkChain* chain) { return chain->ID() == id; });
    if (it == Chains_.end()) {
        return false;
    }
    Chains_.erase(it);
    return true;
}

} // namespace tessaro
