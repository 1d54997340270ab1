#pragma once

#include "geometry/Point2D.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tessaro {

class CPolygonLayer;

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

inline bool KeyLess(const CPointKey& a, const CPointKey& b)
{
    return a.X < b.X || (a.X == b.X && a.Y < b.Y);
}

// What the rings say about one vertex position. Forty bytes: a large map's table holds millions.
struct CVertexUse {
    CPointKey Low{};            // the smaller neighbour
    CPointKey High{};           // the larger neighbour
    uint32_t ToleranceRing = 0; // the table's ring (CVertexUseTable::AddRing) of the smallest tolerance
    uint8_t Uses = 0;           // rings holding it, counted as far as 255: only "more than two" matters
    bool Keep = false;          // starts a ring, has differing neighbours, sits in a short ring, ...
    bool Removed = false;
    bool Chained = false; // already in a chain of the border graph

    // One more ring holds it; the count so far.
    int AddUse()
    {
        if (Uses < UINT8_MAX)
            ++Uses;
        return Uses;
    }
};
static_assert(sizeof(CVertexUse) <= 40, "a vertex use fits in forty bytes");

// The vertex uses of a layer in one open-addressing table (linear probing): a node-based map
// would cost an allocation and a cache miss for each of a million vertices, every round. Kept
// from round to round and cleared, its memory is not handed back and faulted in again each time.
// On a large map the table is the largest allocation of a round, so it is sized closely: its
// slots number the entries expected over a load of 0.6, not rounded up to a power of two, and the
// entries expected per ring vertex are those of the last layer it held (most vertices lie on a
// border of two rings, so about half), not a fixed guess. Tolerances are kept once per ring.
class CVertexUseTable {
public:
    explicit CVertexUseTable(size_t expected = 0) { Rehash(SlotsFor(expected)); }

    // Empties the table for a layer of `vertices` ring vertices, sized by what the last layer gave.
    void ClearForVertices(size_t vertices)
    {
        if (LastVertices_ > 0 && Count_ > 0)
            EntriesPerVertex_ = static_cast<double>(Count_) / static_cast<double>(LastVertices_);
        LastVertices_ = vertices;
        Clear(static_cast<size_t>(std::ceil(EntriesPerVertex_ * ExpectedMargin * static_cast<double>(vertices))));
    }

    // Empties the table, keeping its slots when they hold `expected` entries without growing.
    void Clear(size_t expected)
    {
        Tolerances_.clear();
        if (Keys_.size() < SlotsFor(expected)) {
            // Nothing to move: the old slots go before the new ones are taken, so that the two
            // are never held at once.
            Keys_ = {};
            Uses_ = {};
            Filled_ = {};
            Rehash(SlotsFor(expected));
            return;
        }
        std::fill(Filled_.begin(), Filled_.end(), uint8_t{0});
        Count_ = 0;
    }

    CVertexUse& operator[](const CPointKey& key) { return Uses_[Insert(key)]; }

    // The slot holding `key`, added when new. Slots stay until the table takes new ones (Rehashes).
    size_t Insert(const CPointKey& key)
    {
        if (static_cast<double>(Count_ + 1) > MaxLoad * static_cast<double>(Keys_.size()))
            Rehash(SlotsFor(Count_ + 1, GrownLoad));
        size_t slot = Slot(key);
        while (Filled_[slot] != 0) {
            if (Keys_[slot] == key)
                return slot;
            slot = Next(slot);
        }
        Filled_[slot] = 1;
        Keys_[slot] = key;
        Uses_[slot] = CVertexUse{};
        ++Count_;
        return slot;
    }
    CVertexUse& AtSlot(size_t slot) { return Uses_[slot]; }
    const CVertexUse& AtSlot(size_t slot) const { return Uses_[slot]; }

    // Asks the memory for the slot `key` hashes to, ahead of its Insert: a large map's table is
    // far beyond the caches and its slots are read in no order, so each insert would otherwise
    // wait for two or three cache misses in turn.
    void Prefetch(const CPointKey& key) const
    {
        const size_t slot = Slot(key);
        __builtin_prefetch(&Filled_[slot]);
        __builtin_prefetch(&Keys_[slot]);
        __builtin_prefetch(&Uses_[slot], 1);
    }
    void PrefetchSlot(size_t slot) const { __builtin_prefetch(&Uses_[slot], 1); }
    // How many ring points ahead a walk over the rings asks for the slot it will need: enough for
    // the points between to cover a cache miss.
    static constexpr int32_t PrefetchAhead = 8;
    // How often the table has taken new slots, moving its entries.
    size_t Rehashes() const { return Rehashes_; }

    CVertexUse* Find(const CPointKey& key)
    {
        return const_cast<CVertexUse*>(static_cast<const CVertexUseTable&>(*this).Find(key));
    }
    const CVertexUse* Find(const CPointKey& key) const
    {
        for (size_t slot = Slot(key); Filled_[slot] != 0; slot = Next(slot))
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

    // A ring's tolerance, for its vertices' ToleranceRing; and the tolerance a vertex has.
    uint32_t AddRing(double tolerance)
    {
        Tolerances_.push_back(tolerance);
        return static_cast<uint32_t>(Tolerances_.size() - 1);
    }
    double Tolerance(const CVertexUse& use) const
    {
        return use.ToleranceRing < Tolerances_.size() ? Tolerances_[use.ToleranceRing] : 0.0;
    }

    size_t Count() const { return Count_; }
    size_t SlotCount() const { return Keys_.size(); }

private:
    // The load the table is sized for, the fuller one at which it grows (probes run long), and
    // the load it grows to: far enough below that a table filling past its guess grows a few
    // times, not at every sixth more entries, each time moving all it holds.
    static constexpr double TargetLoad = 0.6;
    static constexpr double MaxLoad = 0.7;
    static constexpr double GrownLoad = 0.5;
    // Before a layer has been seen: most vertices on a border of two rings, coasts and outer
    // borders adding more. After: the last layer's share, and a tenth more for a layer that differs.
    static constexpr double FirstEntriesPerVertex = 0.625;
    static constexpr double ExpectedMargin = 1.1;

    static size_t SlotsFor(size_t expected, double load = TargetLoad)
    {
        return std::max<size_t>(16, static_cast<size_t>(std::ceil(static_cast<double>(expected) / load)));
    }

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
        // The hash's high bits scaled to the slot count: a multiply rather than a division.
        __extension__ using Wide = unsigned __int128;
        return static_cast<size_t>((static_cast<Wide>(h) * Keys_.size()) >> 64);
    }

    size_t Next(size_t slot) const { return slot + 1 == Keys_.size() ? 0 : slot + 1; }

    // `size` slots; the entries move along.
    void Rehash(size_t size)
    {
        std::vector<CPointKey> keys(size);
        std::vector<CVertexUse> uses(size);
        std::vector<uint8_t> filled(size, 0);
        ++Rehashes_;
        keys.swap(Keys_);
        uses.swap(Uses_);
        filled.swap(Filled_);
        Count_ = 0;
        for (size_t slot = 0; slot < keys.size(); ++slot)
            if (filled[slot] != 0)
                (*this)[keys[slot]] = uses[slot];
    }

    std::vector<CPointKey> Keys_;
    std::vector<CVertexUse> Uses_;
    std::vector<uint8_t> Filled_;
    size_t Count_ = 0;
    size_t Rehashes_ = 0;
    std::vector<double> Tolerances_;
    double EntriesPerVertex_ = FirstEntriesPerVertex;
    size_t LastVertices_ = 0;
};

inline CPointKey KeyAt(const double* points, int32_t i)
{
    return {points[2 * i], points[2 * i + 1]};
}

// The border graph of a simplification pass: for every vertex position, what the rings holding
// it say (its two neighbours, how many rings use it, whether it must stay, the smallest of its
// rings' tolerances: `relativeTolerance` times the root of the area of the ring or of its
// polygon, whichever is smaller, so an islet keeps its shape beside a large mainland). A vertex
// stays when a ring starts or ends there, a ring holding it is short, rings disagree on its
// neighbours, more than two rings use it, or it lies on the layer's box.
// Fills `uses`, emptied first, and `slots` with the table's slot of every ring vertex, ring after
// ring in the layer's order.
void CollectVertexUses(const CPolygonLayer& layer, double relativeTolerance, CVertexUseTable& uses,
                       std::vector<uint32_t>& slots);

// The runs of vertices that may go, each with the two vertices that stay around it: a border
// between two junctions, a coast, or a ring around from the vertex that starts it. Every point is
// in one chain at most, and a chain runs from the smaller of its ends (by coordinates).
struct CBorderChains {
    std::vector<CPointKey> Points;  // the chains' points, one chain after another
    std::vector<double> Tolerances; // each point's tolerance
    std::vector<uint32_t> Slots;    // each point's slot in the vertex-use table
    std::vector<size_t> Starts;     // where each chain starts, and one past the last
    size_t Count() const { return Starts.empty() ? 0 : Starts.size() - 1; }
};

// The chains of the graph in `uses` and `slots`, as CollectVertexUses left them for `layer`, in
// the order their first ring comes in the layer.
CBorderChains CollectBorderChains(const CPolygonLayer& layer, CVertexUseTable& uses,
                                  const std::vector<uint32_t>& slots);

} // namespace tessaro
