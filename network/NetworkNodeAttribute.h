#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

class CNetworkNode;

// The per-node working record of the path analyses.
class CNetworkNodeAttribute {
public:
    // Distance of a node not yet reached.
    static constexpr double Unreached = 1.7e307;
    static constexpr uint32_t FinishedFlag = 1u << 0;
    static constexpr uint32_t ReachedFlag = 1u << 1;

    virtual ~CNetworkNodeAttribute() = default;

    void ResetAttribute()
    {
        Distance = Unreached;
        Previous = nullptr;
        Flags = 0;
    }

    double Distance = Unreached;
    // The node from which the best known path arrives; not owned.
    CNetworkNode* Previous = nullptr;
    uint32_t Flags = 0;
};

// The node record of named networks (authors, cities): the path record plus a name.
class CCoAuthorNetworkNodeAttribute : public CNetworkNodeAttribute {
public:
    std::string Name;
};

} // namespace tessaro
