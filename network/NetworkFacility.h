#pragma once

namespace tessaro {

// A point feature of a point layer, with a display colour drawn at random when it is made.
class CNetworkFacility {
public:
    CNetworkFacility(double x, double y);
    virtual ~CNetworkFacility() = default;

    double X;
    double Y;
    // Red, green and blue, each in [0, 0.6].
    float Color[3];
};

} // namespace tessaro
