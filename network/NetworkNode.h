#pragma once

#include "network/NetworkNodeAttribute.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

class CNetworkChain;

// A node of the network: planar coordinates, a name and the chains attached to it. The node
// does not own its chains; the network owns nodes and chains alike.
class CNetworkNode {
public:
    CNetworkNode() = default;
    virtual ~CNetworkNode() = default;
    CNetworkNode(const CNetworkNode&) = delete;
    CNetworkNode& operator=(const CNetworkNode&) = delete;

    uint32_t ID() const { return ID_; }
    // Refuses 0, which means "no ID".
    bool SetID(uint32_t id);

    double X() const { return X_; }
    double Y() const { return Y_; }
    // Stores the coordinates and takes the next ID from the process-wide node counter, so
    // every placement renumbers the node.
    void SetXY(double x, double y);
    bool GetXY(double* x, double* y) const;

    const std::string& Name() const { return Attribute_.Name; }
    void SetName(std::string name) { Attribute_.Name = std::move(name); }
    CCoAuthorNetworkNodeAttribute& Attribute() { return Attribute_; }
    const CCoAuthorNetworkNodeAttribute& Attribute() const { return Attribute_; }

    uint32_t ChainCount() const { return static_cast<uint32_t>(Chains_.size()); }
    // Appends the chain unless it is already attached; key mode 1 skips that test.
    bool AddChain(CNetworkChain* chain, uint32_t keyMode);
    // The i-th attached chain; null for an index outside the attached chains.
    CNetworkChain* GetChain(int32_t i) const;
    // Detaches the chain with that ID; false when none is attached.
    bool RemoveChainByID(int32_t id);

private:
    uint32_t ID_ = 0;
    std::vector<CNetworkChain*> Chains_;
    double X_ = 0.0;
    double Y_ = 0.0;
    CCoAuthorNetworkNodeAttribute Attribute_;
};

} // namespace tessaro
