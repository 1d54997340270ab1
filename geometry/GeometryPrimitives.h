#pragma once

#include "geometry/Point2D.h"

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

// Crossing-number test with a ray towards +x; points on the edges are not reliably inside.
bool PointInTriangle(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& p);

// True when p lies on edge ab, ac or bc.
bool PointOnTriangleEdge(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& p);

} // namespace tessaro
