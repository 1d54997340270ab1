#pragma once

#include "geometry/Extent.h"
#include "geometry/GeometryPrimitives.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace tessaro {

// The marks by which one query of a CEdgeGrid visits each edge once; a thread querying a grid
// others query too brings its own.
struct CEdgeStamps {
    std::vector<uint32_t> Of; // per edge: the query that last visited it
    uint32_t Now = 0;
};

// An edge of a ring: the ring's place in the layer and the index of its first point.
struct CEdgeRef {
    uint32_t Polygon;
    int32_t Ring;
    int32_t Index;
};

// The edges of a layer's rings in a uniform grid of cells, for queries by box.
class CEdgeGrid {
public:
    // Cells along a side at most.
    static constexpr int MaxSide = 4096;

    CEdgeGrid(const CPolygonLayer& layer, double margin) : Layer_(layer), Margin_(margin)
    {
        Box_ = layer.BoundingBox();
        size_t count = 0;
        for (const auto* polygon : layer.Polygons())
            for (int32_t r = 0; r < polygon->RingCount(); ++r)
                count += static_cast<size_t>(std::max(0, polygon->Ring(r).PointCount() - 1));
        Edges.reserve(count);
        EdgePoints_.reserve(count);
        for (uint32_t i = 0; i < layer.Count(); ++i) {
            const CSimplePolygon& polygon = layer.Polygon(i);
            for (int32_t r = 0; r < polygon.RingCount(); ++r)
                for (int32_t k = 0; k + 1 < polygon.Ring(r).PointCount(); ++k) {
                    Edges.push_back({i, r, k});
                    EdgePoints_.push_back(polygon.Ring(r).Points() + 2 * static_cast<size_t>(k));
                }
        }
        const double side = std::max(Box_.Width(), Box_.Height());
        Side_ = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(Edges.size()))), 1, MaxSide);
        CellSize_ = side > 0.0 && std::isfinite(side) ? side / Side_ : 1.0;
        // The cells' lists in one array: counted, their starts summed up, then filled.
        CellStart_.assign(static_cast<size_t>(Side_) * static_cast<size_t>(Side_) + 1, 0);
        ForEachEdgeCell([&](uint32_t, size_t cell) { ++CellStart_[cell + 1]; });
        for (size_t cell = 1; cell < CellStart_.size(); ++cell)
            CellStart_[cell] += CellStart_[cell - 1];
        CellEdges_.resize(CellStart_.back());
        std::vector<size_t> next(CellStart_.begin(), CellStart_.end() - 1);
        ForEachEdgeCell([&](uint32_t e, size_t cell) { CellEdges_[next[cell]++] = e; });
    }

    CPoint2D Start(uint32_t e) const { return {EdgePoints_[e][0], EdgePoints_[e][1]}; }
    CPoint2D End(uint32_t e) const { return {EdgePoints_[e][2], EdgePoints_[e][3]}; }

    // Rings of fewer than four points are left alone by every border pass.
    bool OnShortRing(uint32_t e) const { return Layer_.Polygon(Edges[e].Polygon).Ring(Edges[e].Ring).PointCount() < 4; }
    // The vertex that starts edge e, when a border pass works on it: on a ring of four points or
    // more, with finite coordinates.
    std::optional<CPoint2D> WorkableStart(uint32_t e) const
    {
        if (OnShortRing(e))
            return std::nullopt;
        const CPoint2D v = Start(e);
        return IsFinitePoint(v) ? std::optional<CPoint2D>(v) : std::nullopt;
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
        ForEdges(minX, minY, maxX, maxY, Stamps_, visit);
    }
    // The same with the caller's marks: queries with marks of their own may run at once.
    template <typename Visit>
    void ForEdges(double minX, double minY, double maxX, double maxY, CEdgeStamps& stamps, Visit&& visit) const
    {
        const uint32_t now = NextStamp(stamps);
        ForCells(minX, minY, maxX, maxY, [&](size_t cell) { VisitCell(cell, stamps, now, visit); });
    }

    size_t CellCount() const { return CellStart_.size() - 1; }
    const CExtent& Box() const { return Box_; }
    int Side() const { return Side_; }
    double CellSize() const { return CellSize_; }

    std::vector<CEdgeRef> Edges;

private:
    // Calls visit(edge, cell) for every cell an edge with finite ends overlaps.
    template <typename Visit> void ForEachEdgeCell(Visit&& visit) const
    {
        for (uint32_t e = 0; e < Edges.size(); ++e) {
            const CPoint2D a = Start(e), b = End(e);
            if (!IsFinitePoint(a) || !IsFinitePoint(b))
                continue;
            ForCells(std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y),
                     [&](size_t cell) { visit(e, cell); });
        }
    }

    // The mark of a new query, the marks cleared when they are new or run out.
    uint32_t NextStamp(CEdgeStamps& stamps) const
    {
        if (stamps.Of.size() != Edges.size() || stamps.Now == UINT32_MAX) {
            stamps.Of.assign(Edges.size(), 0);
            stamps.Now = 0;
        }
        return ++stamps.Now;
    }

    // Calls visit(edge) for each edge of the cell that query `now` has not visited yet.
    template <typename Visit> void VisitCell(size_t cell, CEdgeStamps& stamps, uint32_t now, Visit&& visit) const
    {
        for (size_t k = CellStart_[cell]; k < CellStart_[cell + 1]; ++k) {
            const uint32_t e = CellEdges_[k];
            if (stamps.Of[e] == now)
                continue;
            stamps.Of[e] = now;
            visit(e);
        }
    }

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
    // Per edge, its first point's coordinates in its ring, the second's following: a query reads
    // an edge's ends without walking from the layer to the ring. The layer's points must not move
    // while the grid is in use.
    std::vector<const double*> EdgePoints_;
    std::vector<size_t> CellStart_; // cell c's edges are CellEdges_[CellStart_[c], CellStart_[c + 1])
    std::vector<uint32_t> CellEdges_;
    CEdgeStamps Stamps_;
};

} // namespace tessaro
