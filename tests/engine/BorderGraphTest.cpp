#include "engine/BorderGraph.h"
#include "geometry/PolygonLayer.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace tessaro {
namespace {

// Points of a lattice with an offset, so their bits differ in both coordinates.
CPointKey LatticeKey(size_t k)
{
    return {0.37 * static_cast<double>(k % 613) - 50.0, 1.9 * static_cast<double>(k / 613) + 0.25};
}

// Adds a use of each of `count` lattice points, the ring number k on the k-th; `after` sees the
// table after each.
void FillLattice(CVertexUseTable& table, size_t count, const std::function<void(size_t)>& after = {})
{
    for (size_t k = 0; k < count; ++k) {
        CVertexUse& use = table[LatticeKey(k)];
        use.AddUse();
        use.ToleranceRing = static_cast<uint32_t>(k);
        if (after)
            after(k);
    }
}

// Fills the table with `count` lattice points, and checks it holds each of them once.
void FillAndExpectEvery(CVertexUseTable& table, size_t count)
{
    FillLattice(table, count);
    EXPECT_EQ(table.Count(), count);
    EXPECT_NE(table.Find(LatticeKey(0)), nullptr);
    EXPECT_NE(table.Find(LatticeKey(count - 1)), nullptr);
}

// The table's slots are not a power of two, so probes wrap around at an arbitrary end: every
// entry must still be found, once, with its own data, however far the table grew past what it
// was sized for. Each growth moves every entry, so the table grows by a good part each time.
TEST(VertexUseTable, FindsEveryEntryOnceAfterGrowingPastItsExpectedCount)
{
    CVertexUseTable table(100);
    const size_t count = 20000;
    size_t slots = table.SlotCount();
    FillLattice(table, count, [&](size_t k) {
        if (table.SlotCount() != slots) {
            EXPECT_GE(static_cast<double>(table.SlotCount()), 1.4 * static_cast<double>(slots)) << k;
            slots = table.SlotCount();
        }
    });
    FillLattice(table, count); // the same keys again: no new entries
    ASSERT_EQ(table.Count(), count);
    EXPECT_LE(static_cast<double>(table.Count()), 0.7 * static_cast<double>(table.SlotCount()));
    for (size_t k = 0; k < count; ++k) {
        const CVertexUse* use = table.Find(LatticeKey(k));
        ASSERT_NE(use, nullptr) << k;
        EXPECT_EQ(use->Uses, 2) << k;
        EXPECT_EQ(use->ToleranceRing, static_cast<uint32_t>(k)) << k;
    }
    EXPECT_EQ(table.Find({1e9, 1e9}), nullptr);
    size_t visited = 0;
    table.ForEach([&visited](const CPointKey&, CVertexUse& use) { visited += use.Uses == 2 ? 1 : 0; });
    EXPECT_EQ(visited, count);
}

TEST(VertexUseTable, NegativeZeroIsTheZeroItEquals)
{
    CVertexUseTable table;
    table[{0.0, 5.0}].AddUse();
    table[{-0.0, 5.0}].AddUse();
    table[{3.0, -0.0}].AddUse();
    ASSERT_NE(table.Find({-0.0, 5.0}), nullptr);
    EXPECT_EQ(table.Find({-0.0, 5.0})->Uses, 2);
    ASSERT_NE(table.Find({3.0, 0.0}), nullptr);
    EXPECT_EQ(table.Count(), 2u);
}

// A table emptied for as many entries keeps its slots and forgets its entries; one emptied for
// more than its slots hold takes slots for them at once, not by growing while it fills.
TEST(VertexUseTable, ClearForgetsEntriesAndSizesForWhatComes)
{
    CVertexUseTable table(1000);
    FillLattice(table, 1000);
    const size_t slots = table.SlotCount();
    table.Clear(1000);
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.SlotCount(), slots);
    EXPECT_EQ(table.Find(LatticeKey(7)), nullptr);
    table.Clear(50000);
    EXPECT_GE(static_cast<double>(table.SlotCount()) * 0.7, 50000.0);
    // Sized for what was asked, not rounded up to a power of two (65,536 or 131,072).
    EXPECT_LT(table.SlotCount(), size_t{110000});
    FillAndExpectEvery(table, 50000);
}

// Cleared for a layer, the table takes its slots from the entries the last layer had per vertex:
// a layer like the last fills it without growing, and without twice the slots it needs.
TEST(VertexUseTable, SizedByTheEntriesTheLastLayerHadPerVertex)
{
    CVertexUseTable table;
    table.ClearForVertices(400);
    FillLattice(table, 200); // half as many positions as ring vertices, as on a map of borders
    table.ClearForVertices(40000);
    const size_t slots = table.SlotCount();
    FillLattice(table, 20000);
    EXPECT_EQ(table.SlotCount(), slots);
    EXPECT_LT(static_cast<double>(slots), 2.0 * 20000.0);
    // A layer with a larger share of lone vertices makes the table grow, and keeps every entry.
    table.ClearForVertices(40000);
    FillAndExpectEvery(table, 40000);
}

// Tolerances are kept once per ring and found through a vertex's ring number, until the table is
// cleared. Use counts stop at 255 rather than wrapping round to a vertex that no ring holds.
TEST(VertexUseTable, TolerancePerRingAndCountsThatDoNotWrap)
{
    CVertexUseTable table;
    table.ClearForVertices(10);
    const uint32_t wide = table.AddRing(2.5), narrow = table.AddRing(0.5);
    CVertexUse& use = table[{1.0, 1.0}];
    use.ToleranceRing = narrow;
    EXPECT_EQ(table.Tolerance(use), 0.5);
    use.ToleranceRing = wide;
    EXPECT_EQ(table.Tolerance(use), 2.5);
    for (int k = 0; k < 300; ++k)
        use.AddUse();
    EXPECT_EQ(use.Uses, 255);
    table.ClearForVertices(10); // a cleared table forgets its rings
    EXPECT_EQ(table.Tolerance(CVertexUse{}), 0.0);
}

// An m x m grid of unit cells, each side cut into `segments` edges, clockwise from its lower left
// corner; with `apart`, each cell moved by a gap so that no two share a point. A point's
// coordinates come from integers alike on both sides of a border, so their bits agree.
CPolygonLayer CutCells(int m, int segments, bool apart)
{
    CPolygonLayer layer;
    const double gap = apart ? 0.5 : 0.0;
    for (int row = 0; row < m; ++row)
        for (int col = 0; col < m; ++col) {
            std::vector<double> ring;
            const auto add = [&](int i, int j) {
                ring.push_back(static_cast<double>(i) / segments + col * gap);
                ring.push_back(static_cast<double>(j) / segments + row * gap);
            };
            const int x0 = col * segments, y0 = row * segments, x1 = x0 + segments, y1 = y0 + segments;
            for (int k = 0; k < segments; ++k) // up the left side, along the top, down, back
                add(x0, y0 + k);
            for (int k = 0; k < segments; ++k)
                add(x0 + k, y1);
            for (int k = 0; k < segments; ++k)
                add(x1, y1 - k);
            for (int k = 0; k <= segments; ++k)
                add(x1 - k, y0);
            layer.Add(test::MakePolygon({ring}));
        }
    return layer;
}

// Each border between two cells is one chain, taken by the first of its rings: the grid's outer
// sides lie on the layer's box and stay, and so do the corners, which more than two rings hold.
TEST(BorderChains, EachSharedBorderIsOneChainFromItsSmallerEnd)
{
    const int m = 4, segments = 5;
    const CPolygonLayer layer = CutCells(m, segments, false);
    CVertexUseTable table;
    std::vector<uint32_t> slots;
    CollectVertexUses(layer, 1e-3, table, slots);
    const CBorderChains chains = CollectBorderChains(layer, table, slots);
    ASSERT_EQ(chains.Count(), static_cast<size_t>(2 * m * (m - 1)));
    std::vector<std::pair<double, double>> inner;
    for (size_t c = 0; c < chains.Count(); ++c) {
        const size_t first = chains.Starts[c], last = chains.Starts[c + 1] - 1;
        ASSERT_EQ(last - first, static_cast<size_t>(segments)) << c;
        EXPECT_TRUE(KeyLess(chains.Points[first], chains.Points[last])) << c;
        for (size_t k = first + 1; k < last; ++k)
            inner.emplace_back(chains.Points[k].X, chains.Points[k].Y);
    }
    std::sort(inner.begin(), inner.end());
    EXPECT_EQ(std::adjacent_find(inner.begin(), inner.end()), inner.end()) << "a point in two chains";
}

// The slots kept for the chains stay right when the table grows while it fills: a table sized by
// a map of shared borders then filled with as many lone cells, which need twice the entries.
TEST(BorderChains, TheSameChainsWhenTheTableGrowsWhileItFills)
{
    CVertexUseTable table;
    std::vector<uint32_t> slots;
    CollectVertexUses(CutCells(30, 6, false), 1e-3, table, slots);
    const CPolygonLayer apart = CutCells(30, 6, true);
    const size_t rehashes = table.Rehashes();
    CollectVertexUses(apart, 1e-3, table, slots);
    ASSERT_GT(table.Rehashes(), rehashes) << "the table was to grow";
    const CBorderChains grown = CollectBorderChains(apart, table, slots);
    CollectVertexUses(apart, 1e-3, table, slots); // sized by the last layer, from its clear on
    const size_t settled = table.Rehashes();
    CollectVertexUses(apart, 1e-3, table, slots);
    ASSERT_EQ(table.Rehashes(), settled) << "sized alike again, the table was not to grow";
    const CBorderChains again = CollectBorderChains(apart, table, slots);
    ASSERT_GE(grown.Count(), 900u); // each cell at least one chain
    EXPECT_EQ(grown.Starts, again.Starts);
    EXPECT_EQ(grown.Tolerances, again.Tolerances);
    ASSERT_EQ(grown.Points.size(), again.Points.size());
    for (size_t k = 0; k < grown.Points.size(); ++k)
        EXPECT_TRUE(grown.Points[k] == again.Points[k]) << k;
}

} // namespace
} // namespace tessaro
