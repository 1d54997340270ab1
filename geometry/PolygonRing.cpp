#include "geometry/PolygonRing.h"

#include "geometry/BoostRing.h"
#include "geometry/Extent.h"
#include "geometry/GeometryPrimitives.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <limits>
#include <new>
#include <queue>
#include <stdexcept>
#include <utility>

#include <boost/geometry/algorithms/intersection.hpp>
#include <boost/geometry/core/exception.hpp>

namespace tessaro {

namespace {

namespace bg = boost::geometry;

// Point counts are 32-bit throughout the engine and the flat vertex buffer.
constexpr int64_t MaxPointCount = std::numeric_limits<int32_t>::max();

// Cell grids beyond this many cells are refused: no force-ring cut needs them, and a wild
// box would otherwise exhaust memory one small ring at a time.
constexpr double MaxGridCells = 16777216.0; // 2^24

// The densify operations leave the ring as it was when memory runs out and carry on.
void ReportAllocationFailure(const std::exception& failure)
{
    std::cerr << "bad memory alloction " << failure.what() << '\n';
}

// Runs one densify step. When memory runs out, or the step would pass the 32-bit point count,
// the ring stays as it was, the failure is reported and the result is false.
template <typename Step>
bool DensifyGuarded(Step step)
{
    try {
        step();
        return true;
    } catch (const std::bad_alloc& failure) {
        ReportAllocationFailure(failure);
    } catch (const std::length_error& failure) {
        ReportAllocationFailure(failure);
    }
    return false;
}

void ThrowIfTooManyPoints(double count)
{
    if (count > static_cast<double>(MaxPointCount))
        throw std::length_error("ring point count exceeds the 32-bit limit");
}

// Number of equal pieces an edge is cut into for the spacing d: 1 when the edge is not
// longer than d (or has no finite length). Kept in double so that a tiny d cannot overflow.
double EdgePieces(const double* from, const double* to, double d)
{
    const double dx = to[0] - from[0];
    const double dy = to[1] - from[1];
    const double squared = dx * dx + dy * dy;
    if (!(squared > d * d) || !std::isfinite(squared))
        return 1.0;
    return std::floor(std::sqrt(squared) / d) + 1.0;
}

void AppendPoint(std::vector<double>& out, double x, double y)
{
    out.push_back(x);
    out.push_back(y);
}

// One pass of the grid-line densification. `axis` is the coordinate the lines are constant
// in (0: vertical lines x = lines[j], 1: horizontal lines y = lines[j]); a line only counts
// between spanLo and spanHi on the other axis, where the grid ends. Only the inner lines
// 1 .. n-2 are used, and a crossing within GeomEpsilon of an edge's end point is no crossing.
std::vector<double> SplitAtGridLines(const std::vector<double>& points, const double* lines, int32_t n, double spacing,
                                     double spanLo, double spanHi, int axis)
{
    const int other = 1 - axis;
    const size_t count = points.size() / 2;
    std::vector<double> out;
    out.reserve(2 * (4 * count + 16));
    std::vector<std::pair<double, double>> crossings; // (line position, other coordinate)

    if (count > 0)
        AppendPoint(out, points[0], points[1]);
    for (size_t i = 0; i + 1 < count; ++i) {
        const double* p = &points[2 * i];
        const double* q = &points[2 * i + 2];
        const double lo = std::fmin(p[axis], q[axis]);
        const double hi = std::fmax(p[axis], q[axis]);
        crossings.clear();

        const double first = std::floor((lo - lines[0]) / spacing) + 1.0;
        if (!std::isnan(first)) {
            const auto start = static_cast<int32_t>(std::clamp(first, 1.0, static_cast<double>(n - 1)));
            for (int32_t j = start; j < n - 1 && hi - lines[j] >= GeomEpsilon; ++j) {
                if (lines[j] - lo < GeomEpsilon)
                    continue;
                const double t = (lines[j] - p[axis]) / (q[axis] - p[axis]);
                const double across = p[other] + t * (q[other] - p[other]);
                if (!(across >= spanLo && across <= spanHi))
                    continue;
                crossings.emplace_back(lines[j], across);
            }
        }
        // Crossings were found in ascending line order; the new vertices follow the edge.
        if (p[axis] > q[axis])
            std::reverse(crossings.begin(), crossings.end());
        for (const auto& [along, across] : crossings) {
            if (axis == 0) {
                AppendPoint(out, along, across);
            } else {
                AppendPoint(out, across, along);
            }
        }
        AppendPoint(out, q[0], q[1]);
    }
    ThrowIfTooManyPoints(static_cast<double>(out.size() / 2));
    return out;
}

bool IsUsableSpacing(double spacing)
{
    return spacing > 0.0 && std::isfinite(spacing);
}

// Distance of vertex k from the chord (first, last): to the line through the end vertices, or
// to their midpoint when they are closer than GeomEpsilon (a closed ring's first chord).
class CChordDistance {
public:
    CChordDistance(const double* points, int32_t first, int32_t last) : Points_(points)
    {
        const CPoint2D a{points[2 * first], points[2 * first + 1]};
        const CPoint2D b{points[2 * last], points[2 * last + 1]};
        Ax_ = a.X;
        Ay_ = a.Y;
        Ex_ = b.X - a.X;
        Ey_ = b.Y - a.Y;
        Length_ = PointDistance(a, b);
        MidX_ = 0.5 * (a.X + b.X);
        MidY_ = 0.5 * (a.Y + b.Y);
    }

    double operator()(int32_t k) const
    {
        const double x = Points_[2 * k];
        const double y = Points_[2 * k + 1];
        if (Length_ < GeomEpsilon)
            return PointDistance({MidX_, MidY_}, {x, y});
        return std::fabs(Ex_ * (y - Ay_) - Ey_ * (x - Ax_)) / Length_;
    }

private:
    const double* Points_;
    double Ax_, Ay_, Ex_, Ey_, Length_, MidX_, MidY_;
};

struct CChordSplit {
    double Deviation;
    int32_t First;
    int32_t Last;
    int32_t Candidate;
};

// Largest deviation first; of equal deviations the lower vertex index goes first.
struct CSplitOrder {
    bool operator()(const CChordSplit& a, const CChordSplit& b) const
    {
        if (a.Deviation != b.Deviation)
            return a.Deviation < b.Deviation;
        return a.Candidate > b.Candidate;
    }
};

// The interior vertex of (first, last) farthest from the chord; the lowest index wins ties.
CChordSplit FarthestFromChord(const double* points, int32_t first, int32_t last)
{
    const CChordDistance distance(points, first, last);
    CChordSplit best{distance(first + 1), first, last, first + 1};
    for (int32_t k = first + 2; k < last; ++k) {
        const double d = distance(k);
        if (d > best.Deviation) {
            best.Deviation = d;
            best.Candidate = k;
        }
    }
    return best;
}

// Douglas-Peucker refinement driven by a priority queue: starting from the first and last
// vertex, keep the vertex of largest deviation until `cap` vertices are kept or no vertex
// deviates by more than `tolerance`. Returns the kept vertices in stored order.
std::vector<double> ThinByDeviation(const double* points, int32_t count, int32_t cap, double tolerance)
{
    std::vector<char> keep(static_cast<size_t>(count), 0);
    keep.front() = 1;
    keep.back() = 1;
    int32_t kept = 2;

    // A closed ring's first chord has coinciding ends, so the seed is the vertex farthest
    // from the first vertex rather than from a line.
    const CPoint2D start{points[0], points[1]};
    CChordSplit seed{-1.0, 0, count - 1, 1};
    for (int32_t k = 1; k < count - 1; ++k) {
        const double d = PointDistance(start, {points[2 * k], points[2 * k + 1]});
        if (d > seed.Deviation) {
            seed.Deviation = d;
            seed.Candidate = k;
        }
    }

    std::priority_queue<CChordSplit, std::vector<CChordSplit>, CSplitOrder> queue;
    queue.push(seed);
    while (kept < cap && !queue.empty()) {
        const CChordSplit split = queue.top();
        queue.pop();
        keep[static_cast<size_t>(split.Candidate)] = 1;
        ++kept;
        for (const auto& [first, last] :
             {std::pair{split.First, split.Candidate}, std::pair{split.Candidate, split.Last}}) {
            if (last - first < 2)
                continue;
            const CChordSplit next = FarthestFromChord(points, first, last);
            if (next.Deviation > tolerance)
                queue.push(next);
        }
    }

    std::vector<double> out;
    out.reserve(2 * static_cast<size_t>(kept));
    for (int32_t k = 0; k < count; ++k) {
        if (keep[static_cast<size_t>(k)])
            AppendPoint(out, points[2 * k], points[2 * k + 1]);
    }
    return out;
}

std::vector<BoostPolygon> Intersect(const BoostPolygon& a, const BoostPolygon& b)
{
    std::vector<BoostPolygon> pieces;
    bg::intersection(a, b, pieces);
    return pieces;
}

} // namespace

bool CPolygonRing::AreaAndCentroid(CPoint2D* centroid, double* area) const
{
    if (centroid == nullptr && area == nullptr)
        return false;

    // The sums are taken relative to the first vertex: the same area and centroid, without the
    // cancellation that large map coordinates cause in the plain shoelace products.
    const double originX = PointCount_ > 0 ? Points_[0] : 0.0;
    const double originY = PointCount_ > 0 ? Points_[1] : 0.0;
    double sumC = 0.0;
    double sumX = 0.0;
    double sumY = 0.0;
    for (int32_t i = 0; i < PointCount_; ++i) {
        const int32_t j = (i + 1 == PointCount_) ? 0 : i + 1;
        const double xi = Points_[2 * i] - originX;
        const double yi = Points_[2 * i + 1] - originY;
        const double xj = Points_[2 * j] - originX;
        const double yj = Points_[2 * j + 1] - originY;
        const double c = xi * yj - xj * yi;
        sumC += c;
        sumX += (xi + xj) * c;
        sumY += (yi + yj) * c;
    }
    if (area != nullptr)
        *area = 0.5 * sumC;
    if (centroid == nullptr)
        return true;

    // A ring of zero area has no centroid.
    if (sumC == 0.0)
        return false;
    const double cx = sumX / (3.0 * sumC) + originX;
    const double cy = sumY / (3.0 * sumC) + originY;
    if (!std::isfinite(cx) || !std::isfinite(cy))
        return false;
    *centroid = {cx, cy};
    return true;
}

double CPolygonRing::SignedArea() const
{
    double area = 0.0;
    AreaAndCentroid(nullptr, &area);
    return area;
}

double CPolygonRing::Perimeter() const
{
    double perimeter = 0.0;
    for (int32_t i = 0; i + 1 < PointCount_; ++i)
        perimeter += PointDistance(Point(i), Point(i + 1));
    return perimeter;
}

void CPolygonRing::UpdateBoundingBox()
{
    CExtent box;
    for (int32_t i = 0; i < PointCount_; ++i)
        box.Include(Points_[2 * i], Points_[2 * i + 1]);
    MinX_ = box.MinX;
    MinY_ = box.MinY;
    MaxX_ = box.MaxX;
    MaxY_ = box.MaxY;
}

void CPolygonRing::AssignPoints(std::vector<double> points, bool updateBox)
{
    PointCount_ = static_cast<int32_t>(points.size() / 2);
    Points_ = std::move(points);
    if (updateBox)
        UpdateBoundingBox();
}

bool CPolygonRing::SetPoints(int32_t n, const double* points, bool updateBox)
{
    if (n < 2) {
        ShowMessage(TooFewPointsText, MessageKind::Error);
        return false;
    }
    if (points == nullptr)
        return false;

    if (n == PointCount_) {
        // Same count: reuse the storage (the caller may be handing our own points back).
        if (points != Points_.data())
            std::copy(points, points + 2 * static_cast<size_t>(n), Points_.begin());
        if (updateBox)
            UpdateBoundingBox();
        return true;
    }
    AssignPoints(std::vector<double>(points, points + 2 * static_cast<size_t>(n)), updateBox);
    return true;
}

bool CPolygonRing::CopyFrom(const CPolygonRing& other)
{
    if (&other == this)
        return false;
    PointCount_ = other.PointCount_;
    Points_ = other.Points_;
    MinX_ = other.MinX_;
    MinY_ = other.MinY_;
    MaxX_ = other.MaxX_;
    MaxY_ = other.MaxY_;
    // Appended, not replaced: the force step keeps what it already attached to the copy.
    Values_.insert(Values_.end(), other.Values_.begin(), other.Values_.end());
    return true;
}

bool CPolygonRing::DensifyByDistance(double d)
{
    // Only a positive, finite spacing can split an edge.
    if (!(d > 0.0) || !std::isfinite(d))
        return true;
    if (PointCount_ < 2)
        return true;

    return DensifyGuarded([&] {
        // Count first, so that the new buffer is allocated once and a count beyond 32 bits is
        // refused before anything is written.
        int64_t total = PointCount_;
        for (int32_t i = 0; i + 1 < PointCount_; ++i) {
            const double pieces = EdgePieces(&Points_[2 * i], &Points_[2 * i + 2], d);
            ThrowIfTooManyPoints(pieces);
            total += static_cast<int64_t>(pieces) - 1;
            ThrowIfTooManyPoints(static_cast<double>(total));
        }
        if (total == PointCount_)
            return;

        std::vector<double> out;
        out.reserve(2 * static_cast<size_t>(total));
        AppendPoint(out, Points_[0], Points_[1]);
        for (int32_t i = 0; i + 1 < PointCount_; ++i) {
            const double* p = &Points_[2 * i];
            const double* q = &Points_[2 * i + 2];
            const auto pieces = static_cast<int32_t>(EdgePieces(p, q, d));
            for (int32_t k = 1; k < pieces; ++k) {
                const double t = static_cast<double>(k) / pieces;
                AppendPoint(out, p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1]));
            }
            AppendPoint(out, q[0], q[1]);
        }
        AssignPoints(std::move(out), false);
    });
}

bool CPolygonRing::DensifyAtGridLines(const double* xs, const double* ys, int32_t n)
{
    if (xs == nullptr || ys == nullptr || n < 3 || PointCount_ < 2)
        return true;
    const double spacingX = (xs[n - 1] - xs[0]) / (n - 1);
    const double spacingY = (ys[n - 1] - ys[0]) / (n - 1);
    const bool splitX = IsUsableSpacing(spacingX);
    const bool splitY = IsUsableSpacing(spacingY);
    if (!splitX && !splitY)
        return true;

    return DensifyGuarded([&] {
        std::vector<double> points = Points_;
        // Vertical lines first, then horizontal lines over the result; each line only spans the
        // grid's extent on the other axis.
        if (splitX)
            points = SplitAtGridLines(points, xs, n, spacingX, ys[0], ys[n - 1], 0);
        if (splitY)
            points = SplitAtGridLines(points, ys, n, spacingY, xs[0], xs[n - 1], 1);
        // Inserted vertices lie on existing edges, so the box stays as it is.
        AssignPoints(std::move(points), false);
    });
}

bool CPolygonRing::RemoveNearDuplicates(double tolerance)
{
    if (PointCount_ < 2)
        return true;

    // Every vertex is compared with the last vertex kept, which is the predecessor it has once
    // the vertices between them are gone. The first pass only counts.
    const auto near = [&](int32_t a, int32_t b) {
        return std::fabs(Points_[2 * a] - Points_[2 * b]) < tolerance &&
               std::fabs(Points_[2 * a + 1] - Points_[2 * b + 1]) < tolerance;
    };
    int32_t kept = 1;
    for (int32_t i = 1, last = 0; i < PointCount_; ++i) {
        if (!near(i, last)) {
            last = i;
            ++kept;
        }
    }
    // A ring needs 4 points with its closing point. One that would keep fewer is smaller than
    // the tolerance as a whole, not a ring with a few doubled points: it stays as it was, or it
    // would vanish from the map and leave a ring of one point in the shapefile.
    if (kept == PointCount_ || kept < 4)
        return true;

    kept = 1;
    for (int32_t i = 1; i < PointCount_; ++i) {
        if (near(i, kept - 1))
            continue;
        Points_[2 * kept] = Points_[2 * i];
        Points_[2 * kept + 1] = Points_[2 * i + 1];
        ++kept;
    }
    Points_.resize(2 * static_cast<size_t>(kept));
    Points_.shrink_to_fit();
    PointCount_ = kept;
    // The closing vertex may have been the one removed; the ring must stay closed.
    Points_[2 * (kept - 1)] = Points_[0];
    Points_[2 * (kept - 1) + 1] = Points_[1];
    return true;
}

bool CPolygonRing::SimplifyToCount(int32_t maxCount, double tolerance, bool densify)
{
    // Below 4 the count cannot be a cap (a closed ring needs 4 vertices to have an area);
    // the refinement then only drops vertices within the tolerance.
    const int32_t cap = maxCount >= 4 ? std::min(PointCount_, maxCount) : PointCount_;
    if (PointCount_ > maxCount && PointCount_ > 2) {
        AssignPoints(ThinByDeviation(Points_.data(), PointCount_, cap, tolerance), true);
    }

    // The spacing follows the requested count, not the one reached: the force step wants
    // rings of comparable vertex density. With fewer than 2 vertices asked for there is none.
    const double spacing = maxCount >= 2 ? Perimeter() / (static_cast<double>(maxCount) - 1.0) : 0.0;
    Values_.push_back(spacing);
    return densify ? DensifyByDistance(spacing) : true;
}

int32_t CPolygonRing::MakeGridCells(int32_t k, RingList& output, bool clear) const
{
    if (clear)
        output.clear();
    if (k < 1)
        return 0;

    const double width = MaxX_ - MinX_;
    const double height = MaxY_ - MinY_;
    if (!(width > 0.0) || !(height > 0.0) || !std::isfinite(width) || !std::isfinite(height))
        return 0;

    // k cells on the shorter side; the longer side takes as many as it needs to be covered.
    const bool tall = height > width;
    const double side = (tall ? width : height) / k;
    if (!(side > 0.0))
        return 0;
    const double along = std::ceil((tall ? height : width) / side);
    if (!(along * k <= MaxGridCells))
        return 0;
    const auto columns = tall ? k : static_cast<int32_t>(along);
    const auto rows = tall ? static_cast<int32_t>(along) : k;

    output.reserve(output.size() + static_cast<size_t>(columns) * static_cast<size_t>(rows));
    for (int32_t c = 0; c < columns; ++c) {
        const double x0 = MinX_ + c * side;
        const double x1 = MinX_ + (c + 1) * side;
        for (int32_t r = 0; r < rows; ++r) {
            const double top = MaxY_ - r * side;
            const double bottom = MaxY_ - (r + 1) * side;
            // Clockwise from the top left corner, closed.
            const double cell[10] = {x0, top, x1, top, x1, bottom, x0, bottom, x0, top};
            auto ring = std::make_unique<CPolygonRing>();
            ring->AssignPoints(std::vector<double>(cell, cell + 10), true);
            output.push_back(std::move(ring));
        }
    }
    return columns * rows;
}

int32_t CPolygonRing::ClipToCells(const RingList& cells, RingList& output) const
{
    // A ring without area has no pieces, and Boost would only be handed a degenerate polygon.
    const double area = SignedArea();
    if (PointCount_ < 4 || area == 0.0 || !std::isfinite(area))
        return 0;

    // A counter-clockwise ring is clipped reversed and its pieces reversed back, so that the
    // pieces of a hole are still holes.
    const bool reversed = area > 0.0;
    const BoostPolygon subject = ToBoostPolygon(*this, reversed);

    int32_t appended = 0;
    for (const auto& cell : cells) {
        if (!cell || cell->PointCount() < 4)
            continue;
        const BoostPolygon clip = ToBoostPolygon(*cell, cell->SignedArea() > 0.0);
        std::vector<BoostPolygon> pieces;
        try {
            pieces = Intersect(subject, clip);
        } catch (const bg::exception&) {
            // Boost refuses input it finds invalid (a self-touching ring); that cell gives no piece.
            continue;
        }
        for (const BoostPolygon& piece : pieces) {
            const auto& outer = piece.outer();
            if (outer.size() < 2)
                continue;
            std::vector<double> flat;
            flat.reserve(2 * outer.size());
            for (size_t i = 0; i < outer.size(); ++i) {
                const BoostPoint& p = outer[reversed ? outer.size() - 1 - i : i];
                AppendPoint(flat, p.x(), p.y());
            }
            auto ring = std::make_unique<CPolygonRing>();
            ring->AssignPoints(std::move(flat), true);
            output.push_back(std::move(ring));
            ++appended;
        }
    }
    return appended;
}

} // namespace tessaro
