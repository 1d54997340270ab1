#include "engine/KeptPoints.h"

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

// Buckets along a side at most: a few points per bucket on average, never a huge table.
constexpr int MaxSide = 1024;

} // namespace

CKeptPoints::CKeptPoints(const std::vector<double>& xy)
{
    std::vector<CPoint2D> points;
    points.reserve(xy.size() / 2);
    for (size_t k = 0; k + 1 < xy.size(); k += 2)
        if (std::isfinite(xy[k]) && std::isfinite(xy[k + 1])) {
            points.push_back({xy[k], xy[k + 1]});
            Box_.Include(xy[k], xy[k + 1]);
        }
    if (points.empty())
        return;
    Side_ = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(points.size()))), 1, MaxSide);
    const double side = std::max(Box_.Width(), Box_.Height());
    Cell_ = side > 0.0 && std::isfinite(side) ? side / Side_ : 1.0;
    // Counted per bucket, the starts summed up, then filled.
    Start_.assign(static_cast<size_t>(Side_) * static_cast<size_t>(Side_) + 1, 0);
    for (const CPoint2D& p : points)
        ++Start_[Bucket(Column(p.X), Row(p.Y)) + 1];
    for (size_t b = 1; b < Start_.size(); ++b)
        Start_[b] += Start_[b - 1];
    Points_.resize(points.size());
    std::vector<size_t> next(Start_.begin(), Start_.end() - 1);
    for (const CPoint2D& p : points)
        Points_[next[Bucket(Column(p.X), Row(p.Y))]++] = p;
}

int CKeptPoints::Column(double x) const
{
    return static_cast<int>(std::clamp(std::floor((x - Box_.MinX) / Cell_), 0.0, static_cast<double>(Side_ - 1)));
}

int CKeptPoints::Row(double y) const
{
    return static_cast<int>(std::clamp(std::floor((y - Box_.MinY) / Cell_), 0.0, static_cast<double>(Side_ - 1)));
}

bool CKeptPoints::Any(const CExtent& box, const std::function<bool(const CPoint2D&)>& test) const
{
    if (Points_.empty() || box.MaxX < Box_.MinX || box.MinX > Box_.MaxX || box.MaxY < Box_.MinY || box.MinY > Box_.MaxY)
        return false;
    for (int row = Row(box.MinY); row <= Row(box.MaxY); ++row)
        for (int column = Column(box.MinX); column <= Column(box.MaxX); ++column) {
            const size_t b = Bucket(column, row);
            for (size_t k = Start_[b]; k < Start_[b + 1]; ++k) {
                const CPoint2D& p = Points_[k];
                if (p.X >= box.MinX && p.X <= box.MaxX && p.Y >= box.MinY && p.Y <= box.MaxY && test(p))
                    return true;
            }
        }
    return false;
}

} // namespace tessaro
