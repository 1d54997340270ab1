#include "engine/BorderStretch.h"

#include "geometry/GeometryPrimitives.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessaro {
namespace {

// Whether v lies on segment p-q strictly between its ends (v on the line through them).
bool StrictlyWithin(const CPoint2D& p, const CPoint2D& q, const CPoint2D& v)
{
    const double along = (v.X - p.X) * (q.X - p.X) + (v.Y - p.Y) * (q.Y - p.Y);
    const double length2 = (q.X - p.X) * (q.X - p.X) + (q.Y - p.Y) * (q.Y - p.Y);
    return along > 0.0 && along < length2;
}

// Whether segment a-b meets segment p-q anywhere but at p or q themselves.
bool MeetsChord(const CPoint2D& a, const CPoint2D& b, const CPoint2D& p, const CPoint2D& q)
{
    const int sa = SideOfLine(p, q, a), sb = SideOfLine(p, q, b), sp = SideOfLine(a, b, p), sq = SideOfLine(a, b, q);
    if (sa * sb < 0 && sp * sq < 0)
        return true; // a proper crossing
    if (sa == 0 && sb == 0) {
        // Along the chord's line: any overlap beyond a single end point counts.
        const auto along = [&](const CPoint2D& v) { return (v.X - p.X) * (q.X - p.X) + (v.Y - p.Y) * (q.Y - p.Y); };
        const double lo = std::min(along(a), along(b)), hi = std::max(along(a), along(b));
        return hi > 0.0 && lo < along(q);
    }
    // An end of a-b on the chord between p and q.
    return (sa == 0 && StrictlyWithin(p, q, a)) || (sb == 0 && StrictlyWithin(p, q, b));
}

// Whether v lies on segment a-b, ends included.
bool OnSegment(const CPoint2D& a, const CPoint2D& b, const CPoint2D& v)
{
    return SideOfLine(a, b, v) == 0 && v.X >= std::min(a.X, b.X) && v.X <= std::max(a.X, b.X) &&
           v.Y >= std::min(a.Y, b.Y) && v.Y <= std::max(a.Y, b.Y);
}

// Inside the ring the stretch closes with its chord, or on it when `onBorder` says so; a stretch
// that crosses its chord makes several regions, and the crossing number finds each.
bool InClosedRegion(const CPointKey* points, size_t count, const CPoint2D& v, bool onBorder = true)
{
    bool inside = false;
    for (size_t k = 0; k < count; ++k) {
        const CPoint2D a = points[k].Point(), b = points[(k + 1) % count].Point();
        if (OnSegment(a, b, v))
            return onBorder;
        if (EdgeCrossesRay(a, b, v))
            inside = !inside;
    }
    return inside;
}

// The rectangle along the chord p-q that holds every point of the stretch, and so the region
// between the stretch and its chord: from the least to the greatest reach along the chord, and
// from the farthest point on one side to the farthest on the other, a hair wider for rounding.
class CCorridor {
public:
    // False when the stretch's ends coincide.
    bool Make(const CPointKey* points, size_t count)
    {
        P_ = points[0].Point();
        const CPoint2D q = points[count - 1].Point();
        const double length = std::hypot(q.X - P_.X, q.Y - P_.Y);
        if (!(length > 0.0) || !std::isfinite(length))
            return false;
        Ux_ = (q.X - P_.X) / length;
        Uy_ = (q.Y - P_.Y) / length;
        AlongMin_ = 0.0, AlongMax_ = length, AcrossMin_ = 0.0, AcrossMax_ = 0.0;
        double reach = length;
        for (size_t k = 0; k < count; ++k) {
            const CPoint2D v = points[k].Point();
            const double along = Along(v), across = Across(v);
            AlongMin_ = std::min(AlongMin_, along);
            AlongMax_ = std::max(AlongMax_, along);
            AcrossMin_ = std::min(AcrossMin_, across);
            AcrossMax_ = std::max(AcrossMax_, across);
            reach = std::max({reach, std::fabs(v.X), std::fabs(v.Y)});
        }
        const double pad = 1e-12 * reach;
        AlongMin_ -= pad;
        AlongMax_ += pad;
        AcrossMin_ -= pad;
        AcrossMax_ += pad;
        return true;
    }

    bool Holds(const CPoint2D& v) const
    {
        const double along = Along(v), across = Across(v);
        return along >= AlongMin_ && along <= AlongMax_ && across >= AcrossMin_ && across <= AcrossMax_;
    }

    // Whether segment a-b lies wholly beyond one side of the rectangle: it then neither meets the
    // chord nor ends in the region.
    bool Misses(const CPoint2D& a, const CPoint2D& b) const
    {
        const double alongA = Along(a), alongB = Along(b), acrossA = Across(a), acrossB = Across(b);
        return (alongA < AlongMin_ && alongB < AlongMin_) || (alongA > AlongMax_ && alongB > AlongMax_) ||
               (acrossA < AcrossMin_ && acrossB < AcrossMin_) || (acrossA > AcrossMax_ && acrossB > AcrossMax_);
    }

private:
    double Along(const CPoint2D& v) const { return (v.X - P_.X) * Ux_ + (v.Y - P_.Y) * Uy_; }
    double Across(const CPoint2D& v) const { return (v.Y - P_.Y) * Ux_ - (v.X - P_.X) * Uy_; }

    CPoint2D P_{};
    double Ux_ = 1.0, Uy_ = 0.0;
    double AlongMin_ = 0.0, AlongMax_ = 0.0, AcrossMin_ = 0.0, AcrossMax_ = 0.0;
};

} // namespace

bool StretchIsClear(const CEdgeGrid& grid, CEdgeStamps& stamps, const CPointKey* points, size_t count,
                    std::vector<CPointKey>& inner)
{
    if (count < 3)
        return false;
    CExtent box;
    for (size_t k = 0; k < count; ++k)
        box.Include(points[k].X, points[k].Y);
    inner.assign(points + 1, points + count - 1);
    std::sort(inner.begin(), inner.end(), KeyLess);
    const auto isInner = [&inner](const CPoint2D& v) {
        return std::binary_search(inner.begin(), inner.end(), CPointKey{v.X, v.Y}, KeyLess);
    };
    const CPoint2D p = points[0].Point(), q = points[count - 1].Point();
    CCorridor corridor;
    const bool thin = corridor.Make(points, count);
    bool clear = true;
    const auto check = [&](uint32_t e) {
        if (!clear)
            return;
        const CPoint2D a = grid.Start(e), b = grid.End(e);
        if (thin && corridor.Misses(a, b))
            return;
        if (isInner(a) || isInner(b))
            return; // one of the stretch's own edges, in either ring holding it
        if (MeetsChord(a, b, p, q)) {
            clear = false;
            return;
        }
        for (const CPoint2D& end : {a, b})
            if (!SamePoint(end, p) && !SamePoint(end, q) && end.X >= box.MinX && end.X <= box.MaxX &&
                end.Y >= box.MinY && end.Y <= box.MaxY && (!thin || corridor.Holds(end)) &&
                InClosedRegion(points, count, end))
                clear = false;
    };
    grid.ForEdges(box.MinX, box.MinY, box.MaxX, box.MaxY, stamps, check);
    return clear;
}

bool StretchKeepsPointsSides(const CKeptPoints& kept, const CPointKey* points, size_t count)
{
    CExtent box;
    for (size_t k = 0; k < count; ++k)
        box.Include(points[k].X, points[k].Y);
    // A point on the border itself lies on no side of it; holding such bends would keep every
    // vertex of a river drawn along a border.
    return !kept.Any(box, [&](const CPoint2D& v) { return InClosedRegion(points, count, v, false); });
}

} // namespace tessaro
