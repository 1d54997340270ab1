#pragma once

#include "network/NetworkFacility.h"

#include <memory>
#include <string>
#include <vector>

namespace tessaro {

// One point layer: a name and its owned facilities in reading order.
class CFacilityObjectList {
public:
    virtual ~CFacilityObjectList() = default;

    // Appends; a null facility is refused with "A invalid pointer!".
    bool AddFacility(std::unique_ptr<CNetworkFacility> facility);

    const std::vector<std::unique_ptr<CNetworkFacility>>& Facilities() const { return Facilities_; }
    size_t FacilityCount() const { return Facilities_.size(); }

    std::string Name;

private:
    std::vector<std::unique_ptr<CNetworkFacility>> Facilities_;
};

} // namespace tessaro
