#include "geodata/OgrRing.h"

#include "geometry/PolygonRing.h"

#include <ogr_geometry.h>

#include <utility>
#include <vector>

namespace tessaro {

std::unique_ptr<CPolygonRing> RingFromOgr(const OGRLinearRing& source, bool outer)
{
    const int n = source.getNumPoints();
    std::vector<double> xy(2 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        xy[2 * static_cast<size_t>(i)] = source.getX(i);
        xy[2 * static_cast<size_t>(i) + 1] = source.getY(i);
    }
    auto ring = std::make_unique<CPolygonRing>();
    ring->SetPoints(n, xy.data(), true);
    double area = 0.0;
    ring->AreaAndCentroid(nullptr, &area);
    if ((area < 0.0) != outer) {
        for (size_t i = 0, j = static_cast<size_t>(n) - 1; i < j; ++i, --j) {
            std::swap(xy[2 * i], xy[2 * j]);
            std::swap(xy[2 * i + 1], xy[2 * j + 1]);
        }
        ring->SetPoints(n, xy.data(), true);
    }
    return ring;
}

} // namespace tessaro
