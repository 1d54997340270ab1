#include "network/NetworkFacility.h"

#include <cstdlib>

namespace tessaro {

// Dark random colours (at most 0.6 per channel) stay visible on the white view background.
CNetworkFacility::CNetworkFacility(double x, double y)
    : X(x)
    , Y(y)
    , Color{0.6f * std::rand() / RAND_MAX, 0.6f * std::rand() / RAND_MAX, 0.6f * std::rand() / RAND_MAX}
{
}

} // namespace tessaro
