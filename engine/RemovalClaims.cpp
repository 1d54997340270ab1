#include "engine/RemovalClaims.h"

#include "geometry/GeometryPrimitives.h"

#include <algorithm>

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

} // namespace

bool TriangleIsClear(CEdgeGrid& grid, const CPoint2D& p, const CPoint2D& x, const CPoint2D& q, const CExtent& box)
{
    bool clear = true;
    grid.ForEdges(box.MinX, box.MinY, box.MaxX, box.MaxY, [&](uint32_t e) {
        if (!clear)
            return;
        const CPoint2D a = grid.Start(e), b = grid.End(e);
        const bool own = (SamePoint(a, x) && (SamePoint(b, p) || SamePoint(b, q))) ||
                         (SamePoint(b, x) && (SamePoint(a, p) || SamePoint(a, q)));
        if (own)
            return;
        for (const CPoint2D& end : {a, b})
            if (!SamePoint(end, p) && !SamePoint(end, q) && PointInClosedTriangle(p, x, q, end))
                clear = false;
        if (clear && MeetsChord(a, b, p, q))
            clear = false;
    });
    return clear;
}

} // namespace tessaro
