#pragma once

#include "geometry/Extent.h"
#include "geometry/Point2D.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace tessaro {

// Points that must stay on their side of every border the map's simplification redraws: the
// vertices of layers that move with the map (airports that must stay in their states), indexed
// by a grid of square buckets so that the points near a stretch of border are found at once.
class CKeptPoints {
public:
    CKeptPoints() = default;
    // `xy` holds x, y pairs; pairs that are not finite are left out.
    explicit CKeptPoints(const std::vector<double>& xy);

    bool Empty() const { return Points_.empty(); }
    // Whether `test` holds for any point within `box` (edges included).
    bool Any(const CExtent& box, const std::function<bool(const CPoint2D&)>& test) const;

private:
    size_t Bucket(int column, int row) const
    {
        return static_cast<size_t>(row) * static_cast<size_t>(Side_) + static_cast<size_t>(column);
    }
    int Column(double x) const;
    int Row(double y) const;

    std::vector<CPoint2D> Points_; // in bucket order
    std::vector<size_t> Start_;    // bucket b holds Points_[Start_[b] .. Start_[b + 1])
    CExtent Box_;
    int Side_ = 0;
    double Cell_ = 1.0;
};

} // namespace tessaro
