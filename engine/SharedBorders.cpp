#include "engine/SharedBorders.h"

#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tessaro {
namespace {

// Rings at or below this many points keep all of them.
constexpr int32_t MinPointsToSimplify = 8;
constexpr int MaxGridSide = 4096;

double Cross(double ax, double ay, double bx, double by)
{
    return ax * by - ay * bx;
}

// Which side of the line a -> b the point p is on: +1 left, -1 right, 0 on it.
int Side(const CPoint2D& a, const CPoint2D& b, const CPoint2D& p)
{
    const double cross = Cross(b.X - a.X, b.Y - a.Y, p.X - a.X, p.Y - a.Y);
    return cross > 0.0 ? 1 : cross < 0.0 ? -1 : 0;
}

bool Same(const CPoint2D& a, const CPoint2D& b)
{
    return a.X == b.X && a.Y == b.Y;
}

bool Finite(const CPoint2D& p)
{
    return std::isfinite(p.X) && std::isfinite(p.Y);
}

// Inside the triangle or on its border.
bool InClosedTriangle(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& p)
{
    const int s1 = Side(a, b, p), s2 = Side(b, c, p), s3 = Side(c, a, p);
    return !((s1 > 0 || s2 > 0 || s3 > 0) && (s1 < 0 || s2 < 0 || s3 < 0));
}

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
    const int sa = Side(p, q, a), sb = Side(p, q, b), sp = Side(a, b, p), sq = Side(a, b, q);
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

// An edge of a ring: the ring's place in the layer and the index of its first point.
struct CEdgeRef {
    uint32_t Polygon;
    int32_t Ring;
    int32_t Index;
};

// The edges of a layer's rings in a uniform grid of cells, for queries by box.
class CEdgeGrid {
public:
    CEdgeGrid(const CPolygonLayer& layer, double margin) : Layer_(layer), Margin_(margin)
    {
        Box_ = layer.BoundingBox();
        for (uint32_t i = 0; i < layer.Count(); ++i) {
            const CSimplePolygon& polygon = layer.Polygon(i);
            for (int32_t r = 0; r < polygon.RingCount(); ++r)
                for (int32_t k = 0; k + 1 < polygon.Ring(r).PointCount(); ++k)
                    Edges.push_back({i, r, k});
        }
        const double side = std::max(Box_.Width(), Box_.Height());
        Side_ = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(Edges.size()))), 1, MaxGridSide);
        CellSize_ = side > 0.0 && std::isfinite(side) ? side / Side_ : 1.0;
        Cells_.resize(static_cast<size_t>(Side_) * static_cast<size_t>(Side_));
        Stamps_.assign(Edges.size(), 0);
        for (uint32_t e = 0; e < Edges.size(); ++e) {
            const CPoint2D a = Start(e), b = End(e);
            if (!Finite(a) || !Finite(b))
                continue;
            ForCells(std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y),
                     [&](size_t cell) { Cells_[cell].push_back(e); });
        }
    }

    CPoint2D Start(uint32_t e) const { return Layer_.Polygon(Edges[e].Polygon).Ring(Edges[e].Ring).Point(Edges[e].Index); }
    CPoint2D End(uint32_t e) const
    {
        return Layer_.Polygon(Edges[e].Polygon).Ring(Edges[e].Ring).Point(Edges[e].Index + 1);
    }

    // Rings of fewer than four points are left alone by every border pass.
    bool OnShortRing(uint32_t e) const { return Layer_.Polygon(Edges[e].Polygon).Ring(Edges[e].Ring).PointCount() < 4; }
    // The vertex that starts edge e, when a border pass works on it: on a ring of four points or
    // more, with finite coordinates.
    std::optional<CPoint2D> WorkableStart(uint32_t e) const
    {
        if (OnShortRing(e))
            return std::nullopt;
        const CPoint2D v = Start(e);
        return Finite(v) ? std::optional<CPoint2D>(v) : std::nullopt;
    }

    // Calls visit(cell index) for every cell the box, widened by the margin, overlaps.
    template <typename Visit> void ForCells(double minX, double minY, double maxX, double maxY, Visit&& visit) const
    {
        for (int y = Cell(minY - Margin_, Box_.MinY); y <= Cell(maxY + Margin_, Box_.MinY); ++y)
            for (int x = Cell(minX - Margin_, Box_.MinX); x <= Cell(maxX + Margin_, Box_.MinX); ++x)
                visit(static_cast<size_t>(y) * static_cast<size_t>(Side_) + static_cast<size_t>(x));
    }

    // Calls visit(edge) once for every edge listed in the cells the box overlaps.
    template <typename Visit> void ForEdges(double minX, double minY, double maxX, double maxY, Visit&& visit)
    {
        ++Stamp_;
        ForCells(minX, minY, maxX, maxY, [&](size_t cell) {
            for (const uint32_t e : Cells_[cell]) {
                if (Stamps_[e] == Stamp_)
                    continue;
                Stamps_[e] = Stamp_;
                visit(e);
            }
        });
    }

    size_t CellCount() const { return Cells_.size(); }
    const CExtent& Box() const { return Box_; }
    int Side() const { return Side_; }
    double CellSize() const { return CellSize_; }

    std::vector<CEdgeRef> Edges;

private:
    int Cell(double v, double origin) const
    {
        const double cell = std::floor((v - origin) / CellSize_);
        if (!(cell > 0.0))
            return 0;
        return cell >= Side_ - 1 ? Side_ - 1 : static_cast<int>(cell);
    }

    const CPolygonLayer& Layer_;
    double Margin_;
    CExtent Box_;
    int Side_ = 1;
    double CellSize_ = 1.0;
    std::vector<std::vector<uint32_t>> Cells_;
    std::vector<uint32_t> Stamps_;
    uint32_t Stamp_ = 0;
};

// A vertex position as a hash key: its exact bits.
struct CPointKey {
    double X, Y;
    bool operator==(const CPointKey& other) const { return X == other.X && Y == other.Y; }
    CPoint2D Point() const { return {X, Y}; }
};

struct CPointKeyHash {
    size_t operator()(const CPointKey& key) const
    {
        // +0.0 turns a negative zero into the zero it equals, so equal keys hash alike.
        const double kx = key.X + 0.0, ky = key.Y + 0.0;
        uint64_t x = 0, y = 0;
        std::memcpy(&x, &kx, sizeof x);
        std::memcpy(&y, &ky, sizeof y);
        return static_cast<size_t>(x * 0x9E3779B97F4A7C15ULL ^ (y + 0x632BE59BD9B4E019ULL + (x << 6) + (x >> 2)));
    }
};

bool KeyLess(const CPointKey& a, const CPointKey& b)
{
    return a.X < b.X || (a.X == b.X && a.Y < b.Y);
}

// What the rings say about one vertex position.
struct CVertexUse {
    CPointKey Low{};  // the smaller neighbour
    CPointKey High{}; // the larger neighbour
    int Uses = 0;
    bool Keep = false;      // starts a ring, has differing neighbours, sits in a short ring, ...
    double Tolerance = 0.0; // the smallest of its polygons' tolerances
    bool Removed = false;
};

// The vertex uses of a layer in one open-addressing table (linear probing): a node-based map
// would cost an allocation and a cache miss for each of a million vertices, every round.
class CVertexUseTable {
public:
    explicit CVertexUseTable(size_t expected) { Resize(expected); }

    CVertexUse& operator[](const CPointKey& key)
    {
        if (2 * (Count_ + 1) > Keys_.size())
            Resize(2 * (Count_ + 1));
        size_t slot = Slot(key);
        while (Filled_[slot] != 0) {
            if (Keys_[slot] == key)
                return Uses_[slot];
            slot = (slot + 1) & Mask_;
        }
        Filled_[slot] = 1;
        Keys_[slot] = key;
        ++Count_;
        return Uses_[slot];
    }

    const CVertexUse* Find(const CPointKey& key) const
    {
        for (size_t slot = Slot(key); Filled_[slot] != 0; slot = (slot + 1) & Mask_)
            if (Keys_[slot] == key)
                return &Uses_[slot];
        return nullptr;
    }

    template <typename Visit> void ForEach(Visit&& visit)
    {
        for (size_t slot = 0; slot < Keys_.size(); ++slot)
            if (Filled_[slot] != 0)
                visit(Keys_[slot], Uses_[slot]);
    }

private:
    size_t Slot(const CPointKey& key) const
    {
        // +0.0 turns a negative zero into the zero it equals.
        const double x = key.X + 0.0, y = key.Y + 0.0;
        uint64_t bx = 0, by = 0;
        std::memcpy(&bx, &x, sizeof bx);
        std::memcpy(&by, &y, sizeof by);
        uint64_t h = bx * 0x9E3779B97F4A7C15ULL ^ by;
        h ^= h >> 32;
        h *= 0xD6E8FEB86659FD93ULL;
        h ^= h >> 32;
        return static_cast<size_t>(h) & Mask_;
    }

    // At least twice `expected` slots, a power of two; the entries move along.
    void Resize(size_t expected)
    {
        size_t size = 16;
        while (size < 2 * expected)
            size <<= 1;
        std::vector<CPointKey> keys(size);
        std::vector<CVertexUse> uses(size);
        std::vector<uint8_t> filled(size, 0);
        keys.swap(Keys_);
        uses.swap(Uses_);
        filled.swap(Filled_);
        Mask_ = size - 1;
        Count_ = 0;
        for (size_t slot = 0; slot < keys.size(); ++slot)
            if (filled[slot] != 0)
                (*this)[keys[slot]] = uses[slot];
    }

    std::vector<CPointKey> Keys_;
    std::vector<CVertexUse> Uses_;
    std::vector<uint8_t> Filled_;
    size_t Mask_ = 0;
    size_t Count_ = 0;
};

CPointKey KeyAt(const double* points, int32_t i)
{
    return {points[2 * i], points[2 * i + 1]};
}

double DistanceToChord(const CPointKey& v, const CPointKey& p, const CPointKey& q)
{
    const double dx = q.X - p.X, dy = q.Y - p.Y;
    const double length = std::hypot(dx, dy);
    if (length == 0.0)
        return std::hypot(v.X - p.X, v.Y - p.Y);
    return std::fabs(Cross(dx, dy, v.X - p.X, v.Y - p.Y)) / length;
}

// Rewrites every ring without the points `drop` accepts (never a ring's first or last point).
template <typename Drop> int64_t RemovePoints(CPolygonLayer& layer, Drop&& drop)
{
    int64_t removed = 0;
    std::vector<double> kept;
    for (auto* polygon : layer.Polygons()) {
        bool changed = false;
        for (int32_t r = 0; r < polygon->RingCount(); ++r) {
            const CPolygonRing& ring = polygon->Ring(r);
            const int32_t n = ring.PointCount();
            const double* points = ring.Points();
            kept.clear();
            for (int32_t i = 0; i < n; ++i) {
                if (i > 0 && i < n - 1 && drop(KeyAt(points, i))) {
                    ++removed;
                    continue;
                }
                kept.push_back(points[2 * i]);
                kept.push_back(points[2 * i + 1]);
            }
            if (static_cast<int32_t>(kept.size() / 2) != n) {
                polygon->SetRingPoints(r, static_cast<int32_t>(kept.size() / 2), kept.data());
                changed = true;
            }
        }
        if (changed)
            polygon->UpdateBoundingBox();
    }
    return removed;
}

// A point to insert into an edge, at parameter T along it.
struct CInsertion {
    double T;
    CPoint2D Point;
};

// A set of fine-cell numbers in one open-addressing table: a pass claims hundreds of thousands
// of cells, and a node-based set would allocate each.
class CCellSet {
public:
    bool Contains(uint64_t key) const
    {
        if (Count_ == 0)
            return false;
        for (size_t slot = Slot(key); Slots_[slot] != Empty; slot = (slot + 1) & Mask_)
            if (Slots_[slot] == key)
                return true;
        return false;
    }

    void Insert(uint64_t key)
    {
        if (2 * (Count_ + 1) > Slots_.size())
            Grow();
        size_t slot = Slot(key);
        for (; Slots_[slot] != Empty; slot = (slot + 1) & Mask_)
            if (Slots_[slot] == key)
                return;
        Slots_[slot] = key;
        ++Count_;
    }

private:
    // No cell number reaches it: cells are counted in a square grid's rows.
    static constexpr uint64_t Empty = ~uint64_t{0};

    size_t Slot(uint64_t key) const
    {
        uint64_t h = key * 0x9E3779B97F4A7C15ULL;
        h ^= h >> 29;
        return static_cast<size_t>(h) & Mask_;
    }

    void Grow()
    {
        std::vector<uint64_t> old(std::max<size_t>(64, 2 * Slots_.size()), Empty);
        old.swap(Slots_);
        Mask_ = Slots_.size() - 1;
        Count_ = 0;
        for (const uint64_t key : old)
            if (key != Empty)
                Insert(key);
    }

    std::vector<uint64_t> Slots_;
    size_t Mask_ = 0;
    size_t Count_ = 0;
};

// The boxes of the triangles that one simplification pass has already cut off, so that no two
// removals of a pass have touching boxes: each removal was checked against the rings as they
// were, and only a removal nearby could make that check stale. A small box is recorded in a grid
// FineCellsPerCell times finer than the edge grid, a large one in the edge grid's own cells,
// which also know whether a fine cell inside them is taken. Boxes that touch share a cell of
// whichever grid the smaller of them uses, so the test is conservative, and a dense border of
// short edges loses every third or fourth bend per pass instead of one per edge-grid cell.
class CRemovalClaims {
public:
    explicit CRemovalClaims(const CEdgeGrid& grid)
        : Grid_(grid), Claimed_(grid.CellCount(), 0), Touched_(grid.CellCount(), 0),
          FineSide_(static_cast<int64_t>(grid.Side()) * FineCellsPerCell),
          FineSize_(grid.CellSize() / FineCellsPerCell)
    {
    }

    bool Free(double minX, double minY, double maxX, double maxY) const
    {
        bool free = true;
        const bool small = IsSmall(minX, minY, maxX, maxY);
        Grid_.ForCells(minX, minY, maxX, maxY, [&](size_t cell) {
            free = free && Claimed_[cell] == 0 && (small || Touched_[cell] == 0);
        });
        if (free && small)
            ForFineCells(minX, minY, maxX, maxY, [&](uint64_t key) { free = free && !Fine_.Contains(key); });
        return free;
    }

    void Claim(double minX, double minY, double maxX, double maxY)
    {
        if (!IsSmall(minX, minY, maxX, maxY)) {
            Grid_.ForCells(minX, minY, maxX, maxY, [&](size_t cell) { Claimed_[cell] = 1; });
            return;
        }
        Grid_.ForCells(minX, minY, maxX, maxY, [&](size_t cell) { Touched_[cell] = 1; });
        ForFineCells(minX, minY, maxX, maxY, [&](uint64_t key) { Fine_.Insert(key); });
    }

private:
    static constexpr int FineCellsPerCell = 16;
    static constexpr int64_t MaxFineCells = 64;

    int64_t FineCell(double v, double origin) const
    {
        const double cell = std::floor((v - origin) / FineSize_);
        if (!(cell > 0.0))
            return 0;
        return cell >= static_cast<double>(FineSide_ - 1) ? FineSide_ - 1 : static_cast<int64_t>(cell);
    }

    bool IsSmall(double minX, double minY, double maxX, double maxY) const
    {
        if (!(FineSize_ > 0.0))
            return false;
        const int64_t columns = FineCell(maxX, Grid_.Box().MinX) - FineCell(minX, Grid_.Box().MinX) + 1;
        const int64_t rows = FineCell(maxY, Grid_.Box().MinY) - FineCell(minY, Grid_.Box().MinY) + 1;
        return columns * rows <= MaxFineCells;
    }

    template <typename Visit> void ForFineCells(double minX, double minY, double maxX, double maxY, Visit&& visit) const
    {
        for (int64_t y = FineCell(minY, Grid_.Box().MinY); y <= FineCell(maxY, Grid_.Box().MinY); ++y)
            for (int64_t x = FineCell(minX, Grid_.Box().MinX); x <= FineCell(maxX, Grid_.Box().MinX); ++x)
                visit(static_cast<uint64_t>(y * FineSide_ + x));
    }

    const CEdgeGrid& Grid_;
    std::vector<uint8_t> Claimed_;
    std::vector<uint8_t> Touched_;
    CCellSet Fine_;
    int64_t FineSide_;
    double FineSize_;
};

} // namespace

namespace {

// Moves every vertex onto the smallest (by coordinates) of the vertices of rings of four points
// or more within `tolerance` of it, so borders drawn twice with rounding differences share their
// vertices exactly; points of a ring that come to coincide are merged. Returns the vertices moved.
int64_t SnapVertices(CPolygonLayer& layer, double tolerance)
{
    std::unordered_map<CPointKey, CPointKey, CPointKeyHash> targets;
    {
        CEdgeGrid grid(layer, tolerance);
        for (uint32_t e = 0; e < grid.Edges.size(); ++e) {
            const std::optional<CPoint2D> start = grid.WorkableStart(e);
            if (!start)
                continue;
            const CPoint2D v = *start;
            CPointKey target{v.X, v.Y};
            grid.ForEdges(v.X, v.Y, v.X, v.Y, [&](uint32_t k) {
                if (grid.OnShortRing(k))
                    return;
                const CPoint2D w = grid.Start(k);
                if (std::fabs(w.X - v.X) <= tolerance && std::fabs(w.Y - v.Y) <= tolerance && KeyLess({w.X, w.Y}, target))
                    target = {w.X, w.Y};
            });
            if (!(target == CPointKey{v.X, v.Y}))
                targets[{v.X, v.Y}] = target;
        }
    }
    if (targets.empty())
        return 0;
    int64_t moved = 0;
    std::vector<double> points;
    for (auto* polygon : layer.Polygons()) {
        bool changed = false;
        for (int32_t r = 0; r < polygon->RingCount(); ++r) {
            const CPolygonRing& ring = polygon->Ring(r);
            if (ring.PointCount() < 4)
                continue;
            points.clear();
            bool ringChanged = false;
            for (int32_t i = 0; i < ring.PointCount(); ++i) {
                CPointKey key = KeyAt(ring.Points(), i);
                if (const auto found = targets.find(key); found != targets.end()) {
                    key = found->second;
                    ringChanged = true;
                    ++moved;
                }
                const size_t n = points.size();
                if (n >= 2 && points[n - 2] == key.X && points[n - 1] == key.Y)
                    continue; // merged with the point before
                points.push_back(key.X);
                points.push_back(key.Y);
            }
            // A ring the merging leaves without area keeps its points as they were.
            if (ringChanged && points.size() >= 8) {
                polygon->SetRingPoints(r, static_cast<int32_t>(points.size() / 2), points.data());
                changed = true;
            }
        }
        if (changed)
            polygon->UpdateBoundingBox();
    }
    return moved;
}

} // namespace

int64_t ShareBorderVertices(CPolygonLayer& layer, double tolerance)
{
    if (!(tolerance > 0.0))
        return 0;
    const int64_t snapped = SnapVertices(layer, tolerance);
    CEdgeGrid grid(layer, tolerance);
    std::vector<std::vector<CInsertion>> insertions(grid.Edges.size());
    bool any = false;
    for (uint32_t e = 0; e < grid.Edges.size(); ++e) {
        const std::optional<CPoint2D> start = grid.WorkableStart(e);
        if (!start)
            continue;
        const CPoint2D v = *start;
        const CEdgeRef& own = grid.Edges[e];
        // The edges of other rings that pass within the tolerance of the vertex.
        grid.ForEdges(v.X, v.Y, v.X, v.Y, [&](uint32_t k) {
            const CEdgeRef& other = grid.Edges[k];
            if ((other.Polygon == own.Polygon && other.Ring == own.Ring) || grid.OnShortRing(k))
                return;
            const CPoint2D a = grid.Start(k), b = grid.End(k);
            if (Same(v, a) || Same(v, b))
                return;
            const double dx = b.X - a.X, dy = b.Y - a.Y;
            const double length2 = dx * dx + dy * dy;
            if (length2 == 0.0)
                return;
            const double t = ((v.X - a.X) * dx + (v.Y - a.Y) * dy) / length2;
            if (t > 0.0 && t < 1.0 && std::fabs(Cross(dx, dy, v.X - a.X, v.Y - a.Y)) / std::sqrt(length2) <= tolerance) {
                insertions[k].push_back({t, v});
                any = true;
            }
        });
    }
    if (!any)
        return snapped;
    int64_t inserted = snapped;
    std::vector<double> points;
    size_t edge = 0;
    for (uint32_t i = 0; i < layer.Count(); ++i) {
        CSimplePolygon& polygon = layer.Polygon(i);
        bool changed = false;
        for (int32_t r = 0; r < polygon.RingCount(); ++r) {
            const CPolygonRing& ring = polygon.Ring(r);
            const int32_t n = ring.PointCount();
            // The grid lists every ring's edges in layer order.
            const size_t first = edge;
            edge += static_cast<size_t>(std::max(0, n - 1));
            if (std::all_of(insertions.begin() + static_cast<std::ptrdiff_t>(first),
                            insertions.begin() + static_cast<std::ptrdiff_t>(edge),
                            [](const std::vector<CInsertion>& list) { return list.empty(); }))
                continue;
            points.clear();
            for (int32_t k = 0; k + 1 < n; ++k) {
                points.push_back(ring.Points()[2 * k]);
                points.push_back(ring.Points()[2 * k + 1]);
                std::vector<CInsertion>& list = insertions[first + static_cast<size_t>(k)];
                std::sort(list.begin(), list.end(), [](const CInsertion& x, const CInsertion& y) { return x.T < y.T; });
                for (size_t m = 0; m < list.size(); ++m) {
                    if (m > 0 && Same(list[m].Point, list[m - 1].Point))
                        continue;
                    points.push_back(list[m].Point.X);
                    points.push_back(list[m].Point.Y);
                    ++inserted;
                }
            }
            points.push_back(ring.Points()[2 * (n - 1)]);
            points.push_back(ring.Points()[2 * (n - 1) + 1]);
            polygon.SetRingPoints(r, static_cast<int32_t>(points.size() / 2), points.data());
            changed = true;
        }
        if (changed)
            polygon.UpdateBoundingBox();
    }
    return inserted;
}

int64_t SimplifySharedBorders(CPolygonLayer& layer, double relativeTolerance)
{
    if (!(relativeTolerance > 0.0))
        return 0;
    // What every ring says about each of its vertices.
    size_t vertices = 0;
    for (const auto* polygon : layer.Polygons())
        vertices += static_cast<size_t>(std::max(0, polygon->TotalPointCount()));
    // Most vertices lie on a border of two rings: about half as many positions as ring points.
    CVertexUseTable uses(vertices / 2);
    // The vertices that make the layer's box stay, so the box does not shrink.
    const CExtent box = layer.BoundingBox();
    const auto onBox = [&box](const CPointKey& key) {
        return key.X == box.MinX || key.X == box.MaxX || key.Y == box.MinY || key.Y == box.MaxY;
    };
    for (const auto* polygon : layer.Polygons()) {
        CPoint2D centroid;
        double area = 0.0;
        polygon->AreaAndCentroid(&centroid, &area);
        const double tolerance = relativeTolerance * std::sqrt(std::fabs(area));
        for (int32_t r = 0; r < polygon->RingCount(); ++r) {
            const CPolygonRing& ring = polygon->Ring(r);
            const int32_t n = ring.PointCount();
            const double* points = ring.Points();
            for (int32_t i = 0; i < n; ++i) {
                CVertexUse& use = uses[KeyAt(points, i)];
                use.Tolerance = ++use.Uses == 1 ? tolerance : std::min(use.Tolerance, tolerance);
                // Ring ends, short rings and vertices used more than twice stay.
                if (i == 0 || i == n - 1 || n <= MinPointsToSimplify || use.Uses > 2 || !(tolerance > 0.0) ||
                    onBox(KeyAt(points, i))) {
                    use.Keep = true;
                    continue;
                }
                CPointKey low = KeyAt(points, i - 1), high = KeyAt(points, i + 1);
                if (KeyLess(high, low))
                    std::swap(low, high);
                if (use.Uses == 1) {
                    use.Low = low;
                    use.High = high;
                } else if (!(use.Low == low) || !(use.High == high)) {
                    use.Keep = true;
                }
            }
        }
    }
    std::vector<CPointKey> candidates;
    uses.ForEach([&candidates](const CPointKey& key, const CVertexUse& use) {
        if (!use.Keep && !(key == use.Low) && !(key == use.High) && DistanceToChord(key, use.Low, use.High) <= use.Tolerance)
            candidates.push_back(key);
    });
    if (candidates.empty())
        return 0;
    std::sort(candidates.begin(), candidates.end(), KeyLess);

    CEdgeGrid grid(layer, 0.0);
    CRemovalClaims claims(grid);
    for (const CPointKey& key : candidates) {
        CVertexUse& use = uses[key];
        const CPoint2D p = use.Low.Point(), x = key.Point(), q = use.High.Point();
        const double minX = std::min({p.X, x.X, q.X}), minY = std::min({p.Y, x.Y, q.Y});
        const double maxX = std::max({p.X, x.X, q.X}), maxY = std::max({p.Y, x.Y, q.Y});
        if (!claims.Free(minX, minY, maxX, maxY))
            continue;
        // The triangle x cuts off must hold no other vertex, and no other edge may cross its chord.
        bool clear = true;
        grid.ForEdges(minX, minY, maxX, maxY, [&](uint32_t e) {
            if (!clear)
                return;
            const CPoint2D a = grid.Start(e), b = grid.End(e);
            const bool own = (Same(a, x) && (Same(b, p) || Same(b, q))) || (Same(b, x) && (Same(a, p) || Same(a, q)));
            if (own)
                return;
            for (const CPoint2D& end : {a, b})
                if (!Same(end, p) && !Same(end, q) && InClosedTriangle(p, x, q, end))
                    clear = false;
            if (clear && MeetsChord(a, b, p, q))
                clear = false;
        });
        if (!clear)
            continue;
        use.Removed = true;
        claims.Claim(minX, minY, maxX, maxY);
    }
    return RemovePoints(layer, [&uses](const CPointKey& key) {
        const CVertexUse* use = uses.Find(key);
        return use != nullptr && use->Removed;
    });
}

} // namespace tessaro
