#pragma once

namespace tessaro {

// A point of the plane, in map units. Stored by value in point arrays and vertex maps.
struct CPoint2D {
    double X = 0.0;
    double Y = 0.0;
};

} // namespace tessaro
