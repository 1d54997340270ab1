#include "geometry/GeometryPrimitives.h"

#include <cmath>
#include <numbers>

namespace tessaro {

namespace {

constexpr double TwoPi = 2.0 * std::numbers::pi;

bool IsTinyVector(double dx, double dy)
{
    return std::fabs(dx) < GeomEpsilon && std::fabs(dy) < GeomEpsilon;
}

// Angle of the direction (dx, dy) from +x, counter-clockwise, in [0, 2*pi). The cosine is
// clamped because rounding can push it a hair past 1 and acos would give NaN; a tiny vector
// has the degenerate cosine 1 and so the angle 0.
double DirectionAngle(double dx, double dy)
{
    double cosine = DirectionCos(dx, dy);
    if (cosine > 1.0)
        cosine = 1.0;
    if (cosine < -1.0)
        cosine = -1.0;
    double angle = std::acos(cosine);
    if (dy < 0.0 && angle > 0.0)
        angle = TwoPi - angle;
    // 2*pi minus a tiny acos rounds to 2*pi itself, which is the same direction as 0.
    if (angle >= TwoPi)
        angle = 0.0;
    return angle;
}

// Perpendicular distance from p to the line through a and b, which must be distinct.
double DistanceToLine(const CPoint2D& a, const CPoint2D& b, const CPoint2D& p)
{
    const double ex = b.X - a.X;
    const double ey = b.Y - a.Y;
    const double cross = ex * (p.Y - a.Y) - ey * (p.X - a.X);
    return std::fabs(cross) / std::sqrt(ex * ex + ey * ey);
}

bool PointOnSegment(const CPoint2D& a, const CPoint2D& b, const CPoint2D& p)
{
    const double minY = std::fmin(a.Y, b.Y);
    const double maxY = std::fmax(a.Y, b.Y);
    if (std::fabs(b.X - a.X) < GeomEpsilon) {
        // A vertical segment: p must share its x and lie within its y range.
        return std::fabs(p.X - a.X) < GeomEpsilon && p.Y >= minY - GeomEpsilon && p.Y <= maxY + GeomEpsilon;
    }
    const double minX = std::fmin(a.X, b.X);
    const double maxX = std::fmax(a.X, b.X);
    // The box test carries the tolerance too, so that points on a horizontal segment whose y
    // differs by rounding only are not lost.
    if (p.X < minX - GeomEpsilon || p.X > maxX + GeomEpsilon || p.Y < minY - GeomEpsilon || p.Y > maxY + GeomEpsilon) {
        return false;
    }
    return DistanceToLine(a, b, p) < GeomEpsilon;
}

} // namespace

bool EdgeCrossesRay(const CPoint2D& a, const CPoint2D& b, const CPoint2D& p)
{
    if ((a.Y > p.Y) == (b.Y > p.Y))
        return false;
    const double crossingX = a.X + (p.Y - a.Y) * (b.X - a.X) / (b.Y - a.Y);
    return crossingX > p.X;
}

double PointDistance(const CPoint2D& a, const CPoint2D& b)
{
    const double dx = b.X - a.X;
    const double dy = b.Y - a.Y;
    return std::sqrt(dx * dx + dy * dy);
}

double DirectionCos(double dx, double dy)
{
    if (IsTinyVector(dx, dy))
        return 1.0;
    return dx / std::sqrt(dx * dx + dy * dy);
}

double DirectionSin(double dx, double dy)
{
    if (IsTinyVector(dx, dy))
        return 1.0;
    return dy / std::sqrt(dx * dx + dy * dy);
}

double DirectionCos(double dx, double dy, double length)
{
    if (IsTinyVector(dx, dy) || length < GeomEpsilon)
        return 1.0;
    return dx / length;
}

double DirectionSin(double dx, double dy, double length)
{
    if (IsTinyVector(dx, dy) || length < GeomEpsilon)
        return 1.0;
    return dy / length;
}

CPoint2D UnitVector(double dx, double dy, double length)
{
    if (IsTinyVector(dx, dy) || length < GeomEpsilon)
        return {1.0, 1.0};
    return {dx / length, dy / length};
}

double CosAngle(const CPoint2D& u, const CPoint2D& v)
{
    return CosAngle(u, v, std::sqrt(u.X * u.X + u.Y * u.Y), std::sqrt(v.X * v.X + v.Y * v.Y));
}

double CosAngle(const CPoint2D& u, const CPoint2D& v, double lengthU, double lengthV)
{
    if (lengthU < GeomEpsilon || lengthV < GeomEpsilon)
        return 1.0;
    return (u.X * v.X + u.Y * v.Y) / (lengthU * lengthV);
}

double TurnAngle(const CPoint2D& o, const CPoint2D& a, const CPoint2D& b)
{
    const double angleA = DirectionAngle(a.X - o.X, a.Y - o.Y);
    const double angleB = DirectionAngle(b.X - o.X, b.Y - o.Y);
    double turn = angleB - angleA;
    if (turn < 0.0)
        turn += TwoPi;
    if (turn >= TwoPi)
        turn -= TwoPi;
    return turn;
}

bool PointInTriangle(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& p)
{
    int crossings = 0;
    if (EdgeCrossesRay(a, b, p))
        ++crossings;
    if (EdgeCrossesRay(b, c, p))
        ++crossings;
    if (EdgeCrossesRay(c, a, p))
        ++crossings;
    return crossings % 2 == 1;
}

bool PointInClosedTriangle(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& p)
{
    const int s1 = SideOfLine(a, b, p), s2 = SideOfLine(b, c, p), s3 = SideOfLine(c, a, p);
    return !((s1 > 0 || s2 > 0 || s3 > 0) && (s1 < 0 || s2 < 0 || s3 < 0));
}

bool PointOnTriangleEdge(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& p)
{
    return PointOnSegment(a, b, p) || PointOnSegment(a, c, p) || PointOnSegment(b, c, p);
}

} // namespace tessaro
