#pragma once

#include <string>

namespace tessaro {

// The cost of traversing a chain in every path analysis.
class CNetworkChainAttribute {
public:
    virtual ~CNetworkChainAttribute() = default;
    virtual void SetWeightedLength(double length) { WeightedLength = length; }
    virtual double GetWeightedLength() const { return WeightedLength; }

protected:
    double WeightedLength = 0.0;
};

// The chain record of named networks: the cost plus three labels set and compared together
// (for a co-author chain: year, book title and journal of the paper).
class CCoAuthorNetworkChainAttribute : public CNetworkChainAttribute {
public:
    void SetLabels(std::string first, std::string second, std::string third)
    {
        First = std::move(first);
        Second = std::move(second);
        Third = std::move(third);
    }
    bool SameLabels(const CCoAuthorNetworkChainAttribute& other) const
    {
        return First == other.First && Second == other.Second && Third == other.Third;
    }

    std::string First;
    std::string Second;
    std::string Third;
};

} // namespace tessaro
