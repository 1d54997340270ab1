#pragma once

#include "geometry/PolygonRing.h"

#include <string>

namespace tessaro {

// A polygon: its rings (outer rings and holes in file order), a label and a bounding box.
// Polygon operations walk the rings in order and stop at the first ring that fails.
class CSimplePolygon {
public:
    CSimplePolygon() = default;
    virtual ~CSimplePolygon() = default;
    CSimplePolygon(const CSimplePolygon&) = delete;
    CSimplePolygon& operator=(const CSimplePolygon&) = delete;

    const RingList& Rings() const { return Rings_; }
    int32_t RingCount() const { return static_cast<int32_t>(Rings_.size()); }
    CPolygonRing& Ring(int32_t i) { return *Rings_[static_cast<size_t>(i)]; }
    const CPolygonRing& Ring(int32_t i) const { return *Rings_[static_cast<size_t>(i)]; }
    int32_t TotalPointCount() const { return TotalPointCount_; }
    double MinX() const { return MinX_; }
    double MinY() const { return MinY_; }
    double MaxX() const { return MaxX_; }
    double MaxY() const { return MaxY_; }

    std::string Label;

    // Appends a ring, adds its point count and widens the box by the ring's box.
    void AddRing(std::unique_ptr<CPolygonRing> ring);

    // Area as the negated sum of the rings' signed areas (positive for a clockwise outer ring,
    // holes subtracted) and the signed-area-weighted mean of the ring centroids. Both outputs
    // are required. Rings of zero area carry no weight; when the total area is zero there is
    // no centroid: the area is written, the centroid left untouched and the result is false.
    bool AreaAndCentroid(CPoint2D* centroid, double* area) const;

    bool DensifyByDistance(double d);
    bool DensifyAtGridLines(const double* xs, const double* ys, int32_t n);
    bool RemoveNearDuplicates(double tolerance);

    // Writes every ring's points, ring after ring, into the buffer (2 * TotalPointCount doubles).
    bool CopyPointsTo(double* buffer) const;

    // Gives each ring, in order, its next PointCount points from the buffer (ring boxes are
    // recomputed); recomputes the polygon box when `updateBox` is set.
    bool SetPointsFrom(const double* buffer, bool updateBox);

    // Replaces the points of ring `ring` with n points (2n doubles) and recounts the polygon's
    // points; the polygon box is left as it was. False, the ring unchanged, as SetPoints refuses.
    bool SetRingPoints(int32_t ring, int32_t n, const double* points);

    // Union of the ring boxes.
    void UpdateBoundingBox();

private:
    void RecountPoints();

    RingList Rings_;
    int32_t TotalPointCount_ = 0;
    double MinX_ = 1.7e308;
    double MinY_ = 1.7e308;
    double MaxX_ = -1.7e308;
    double MaxY_ = -1.7e308;
};

} // namespace tessaro
