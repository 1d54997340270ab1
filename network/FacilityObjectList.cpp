#include "network/FacilityObjectList.h"

#include "platform/UserInterface.h"

#include <new>

namespace tessaro {

bool CFacilityObjectList::AddFacility(std::unique_ptr<CNetworkFacility> facility)
{
    if (!facility) {
        ShowMessage("A invalid pointer!", MessageKind::Error);
        return false;
    }
    try {
        Facilities_.push_back(std::move(facility));
    } catch (const std::bad_alloc& error) {
        ShowMessage(error.what(), MessageKind::Error);
        return false;
    }
    return true;
}

} // namespace tessaro
