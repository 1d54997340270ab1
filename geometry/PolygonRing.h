#pragma once

#include "geometry/Point2D.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tessaro {

class CPolygonRing;
using RingList = std::vector<std::unique_ptr<CPolygonRing>>;

// The slots of a ring's Values that the cartogram steps read and write.
struct RingValueSlot {
    // A layer ring: its polygon's radius ratio, written each round.
    static constexpr size_t Ratio = 0;
    // A force ring: the ratio its circle samples are scaled by (a copy of slot 0).
    static constexpr size_t SampleRatio = 1;
    // A force ring, on request: its source ring's slot 1.
    static constexpr size_t SourceValue = 2;
};

// A closed ring of vertices stored flat (x0, y0, x1, y1, ...), the closing vertex repeating
// the first. Outer rings run clockwise (negative signed area), holes counter-clockwise.
//
// `Values` is a small positional record that the cartogram steps attach to a ring: slot 0
// holds the owning polygon's radius ratio; a force ring holds the ratio in slots 0 and 1.
class CPolygonRing {
public:
    CPolygonRing() = default;
    virtual ~CPolygonRing() = default;
    CPolygonRing(const CPolygonRing&) = delete;
    CPolygonRing& operator=(const CPolygonRing&) = delete;

    int32_t PointCount() const { return PointCount_; }
    const double* Points() const { return Points_.data(); }
    CPoint2D Point(int32_t i) const { return {Points_[2 * i], Points_[2 * i + 1]}; }
    double MinX() const { return MinX_; }
    double MinY() const { return MinY_; }
    double MaxX() const { return MaxX_; }
    double MaxY() const { return MaxY_; }
    std::vector<double>& Values() { return Values_; }
    const std::vector<double>& Values() const { return Values_; }

    // Signed area (negative for a clockwise ring) and centroid by the shoelace sums. Either
    // output may be null; with both null the call returns false. A ring of zero area has no
    // centroid: the call then writes the area, leaves the centroid untouched and returns false.
    bool AreaAndCentroid(CPoint2D* centroid, double* area) const;
    // The signed area alone: negative for a clockwise (outer) ring.
    double SignedArea() const;

    // Sum of the edge lengths between consecutive stored vertices; 0 below two vertices.
    double Perimeter() const;

    // Recomputes the box from the vertices (the empty box when there are none).
    void UpdateBoundingBox();

    // What a ring given fewer than two points says.
    static constexpr const char* TooFewPointsText = "Errors! The arc just has no more than two points!";
    // Copies n points (2n doubles). Fewer than two points are refused with TooFewPointsText
    // and leave the ring unchanged.
    bool SetPoints(int32_t n, const double* points, bool updateBox);

    // Deep copy of the points and box of another ring; its Values are appended to ours.
    // Copying a ring onto itself does nothing and returns false.
    bool CopyFrom(const CPolygonRing& other);

    // Splits every edge longer than d into floor(L / d) + 1 equal pieces. The box is kept.
    // Returns false only when memory runs out (the ring is then left as it was).
    bool DensifyByDistance(double d);

    // Inserts a vertex wherever an edge crosses one of the inner grid lines xs[1..n-2] or
    // ys[1..n-2] (equally spaced), so that every edge lies within one finest grid cell.
    bool DensifyAtGridLines(const double* xs, const double* ys, int32_t n);

    // Removes every vertex that lies within `tolerance` (in x and in y) of its predecessor and
    // keeps the ring closed. A ring that would be left with fewer than 4 points keeps all it
    // had, so a ring smaller than the tolerance is never reduced below a ring. The box is kept.
    // Always true.
    bool RemoveNearDuplicates(double tolerance);

    // Thins the ring to at most maxCount vertices (when maxCount >= 4) by a Douglas-Peucker
    // refinement, largest deviation first; then appends the spacing Perimeter / (maxCount - 1)
    // to Values and, when `densify` is set, densifies the ring to that spacing.
    bool SimplifyToCount(int32_t maxCount, double tolerance, bool densify);

    // Square cells covering the ring's box, k on the box's shorter side, column by column from
    // MinX and top to bottom within a column. Returns the number of cells made.
    int32_t MakeGridCells(int32_t k, RingList& output, bool clear) const;

    // Intersects the ring with every cell in order and appends the outer ring of every piece.
    // Returns the number of rings appended.
    int32_t ClipToCells(const RingList& cells, RingList& output) const;

private:
    void AssignPoints(std::vector<double> points, bool updateBox);

    int32_t PointCount_ = 0;
    std::vector<double> Points_;
    double MinX_ = 1.7e308;
    double MinY_ = 1.7e308;
    double MaxX_ = -1.7e308;
    double MaxY_ = -1.7e308;
    std::vector<double> Values_;
};

} // namespace tessaro
