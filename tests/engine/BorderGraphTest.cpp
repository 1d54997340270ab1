#include "engine/BorderGraph.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tessaro
