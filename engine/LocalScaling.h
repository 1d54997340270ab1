#pragma once

#include "geometry/Point2D.h"

#include <vector>

namespace tessaro {

class CSimplePolygon;

// A correction for polygons too small for the density flow's cells, which blur them into their
// neighbours: each outer ring of such a polygon is scaled about its centroid uniformly inside the
// disc of its own area (radius a), and the annulus out to 2a takes the change up, its points moved
// radially so that the area within each radius changes by an amount falling linearly in r² to
// nothing at 2a; nothing beyond moves. The disc's factor is chosen so that the polygon, whose
// parts outside the disc grow less, changes its area by the factor asked for, on top of any
// motion it is given first. The radial map stays one to one for disc factors below 4; they are
// held within [3/4, 4/3], for the neighbours' sake.
class CLocalScaling {
public:
    // Scales `polygon` by the area `factor` through a disc for each outer ring (clockwise, of
    // negative signed area), its points first moved by `before` (x, y pairs, ring after ring,
    // or null); returns the smallest disc radius (0 when none was added).
    double Add(const CSimplePolygon& polygon, double factor, const double* before = nullptr);
    // How much of its area the polygon changes by per unit of the discs' factor, near 1 for a
    // compact polygon; a crescent, whose centroid lies outside it, gets little or less than none.
    static double Response(const CSimplePolygon& polygon);

    // Adds the displacement of every disc to `raw` for the points (x, y pairs) of `points`;
    // overlapping discs add up, which is close to their composition for factors near 1.
    void Displace(const std::vector<double>& points, std::vector<double>& raw) const;

    static constexpr double MinFactor = 0.75;
    static constexpr double MaxFactor = 1.0 / MinFactor;
    static constexpr double OuterRadius = 2.0; // the annulus's outer radius, in inner radii

    struct Disc {
        CPoint2D Centre;
        double Inner = 0.0;  // a
        double Factor = 1.0; // the area factor inside a
    };
    // One disc's move of the point (x, y).
    static CPoint2D DisplacementBy(const Disc& disc, double x, double y);
    // A disc of factor 1 for each outer ring of `polygon`: of the ring's area, about its centroid.
    static std::vector<Disc> DiscsOf(const CSimplePolygon& polygon);

private:
    std::vector<Disc> Discs_;
};

} // namespace tessaro
