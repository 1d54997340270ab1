#pragma once

#include "geometry/Point2D.h"

#include <cmath>

namespace tessaro {

// The one zero tolerance of the cartogram engine.
inline constexpr double GeomEpsilon = 1e-9;

// Euclidean distance between two points.
double PointDistance(const CPoint2D& a, const CPoint2D& b);

// Direction cosine and sine of the vector (dx, dy). A vector whose components are both below
// GeomEpsilon in magnitude gives 1.0 for each: the force step relies on this degenerate value.
double DirectionCos(double dx, double dy);
double DirectionSin(double dx, double dy);
// The same with a known length; also 1.0 when the length is below GeomEpsilon.
double DirectionCos(double dx, double dy, double length);
double DirectionSin(double dx, double dy, double length);

// (dx / length, dy / length); (1, 1) when the vector is tiny or the length below GeomEpsilon.
CPoint2D UnitVector(double dx, double dy, double length);

// Cosine of the angle between u and v; 1.0 when either length is below GeomEpsilon.
double CosAngle(const CPoint2D& u, const CPoint2D& v);
double CosAngle(const CPoint2D& u, const CPoint2D& v, double lengthU, double lengthV);

// Counter-clockwise angle from a - o to b - o, in [0, 2*pi).
double TurnAngle(const CPoint2D& o, const CPoint2D& a, const CPoint2D& b);

// The z component of the cross product of (ax, ay) and (bx, by): twice the signed area of the
// triangle they span, positive when the second turns left from the first.
inline double CrossProduct(double ax, double ay, double bx, double by)
{
    return ax * by - ay * bx;
}

// Which side of the line a -> b the point p is on: +1 left, -1 right, 0 on it (exactly).
inline int SideOfLine(const CPoint2D& a, const CPoint2D& b, const CPoint2D& p)
{
    const double cross = CrossProduct(b.X - a.X, b.Y - a.Y, p.X - a.X, p.Y - a.Y);
    return cross > 0.0 ? 1 : cross < 0.0 ? -1 : 0;
}

// The same coordinates, bit for bit but for the sign of zero.
inline bool SamePoint(const CPoint2D& a, const CPoint2D& b)
{
    return a.X == b.X && a.Y == b.Y;
}

inline bool IsFinitePoint(const CPoint2D& p)
{
    return std::isfinite(p.X) && std::isfinite(p.Y);
}

// Inside the triangle or on its border, whichever way it turns, by exact side tests: what a
// safety check that must never miss a point on the border needs.
bool PointInClosedTriangle(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& p);

// Whether the edge (a, b) crosses the horizontal ray from p towards +x: one step of a
// crossing-number test, an end exactly at p's height counted on the upper side.
bool EdgeCrossesRay(const CPoint2D& a, const CPoint2D& b, const CPoint2D& p);

// Crossing-number test with a ray towards +x; points on the edges are not reliably inside.
bool PointInTriangle(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& p);

// True when p lies on edge ab, ac or bc.
bool PointOnTriangleEdge(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& p);

} // namespace tessaro
