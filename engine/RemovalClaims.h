#pragma once

#include "engine/EdgeGrid.h"

#include <cstdint>
#include <vector>

namespace tessaro {

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

    // Room for `expected` numbers without growing (each growth allocates anew and rehashes).
    void Reserve(size_t expected)
    {
        size_t size = 64;
        while (size < 2 * expected)
            size <<= 1;
        if (size > Slots_.size())
            Rehash(size);
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

    void Grow() { Rehash(std::max<size_t>(64, 2 * Slots_.size())); }

    void Rehash(size_t size)
    {
        std::vector<uint64_t> old(size, Empty);
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
    // `claims`: about how many boxes will be claimed.
    CRemovalClaims(const CEdgeGrid& grid, size_t claims)
        : Grid_(grid), Claimed_(grid.CellCount(), 0), Touched_(grid.CellCount(), 0),
          FineSide_(static_cast<int64_t>(grid.Side()) * FineCellsPerCell), FineSize_(grid.CellSize() / FineCellsPerCell)
    {
        Fine_.Reserve(claims * FineCellsPerClaim);
    }

    bool Free(double minX, double minY, double maxX, double maxY) const
    {
        bool free = true;
        const bool small = IsSmall(minX, minY, maxX, maxY);
        Grid_.ForCells(minX, minY, maxX, maxY,
                       [&](size_t cell) { free = free && Claimed_[cell] == 0 && (small || Touched_[cell] == 0); });
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
    // Fine cells a claim takes, about, on the maps measured (seven or eight); more only grows the set.
    static constexpr size_t FineCellsPerClaim = 8;

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

// The safety check of removing vertex x between its neighbours p and q, against the edge grid
// of the rings as they are: the triangle p x q holds no vertex of another edge (on its border
// included) and no other edge meets its chord p q, so no ring comes to cross another or itself.
// The box is the triangle's.
bool TriangleIsClear(CEdgeGrid& grid, const CPoint2D& p, const CPoint2D& x, const CPoint2D& q, const CExtent& box);

} // namespace tessaro
