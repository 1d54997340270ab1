#include "engine/BorderGraph.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tessaro {
namespace {

// Points of a lattice with an offset, so their bits differ in both coordinates.
CPointKey LatticeKey(size_t k)
{
    return {0.37 * static_cast<double>(k % 613) - 50.0, 1.9 * static_cast<double>(k / 613) + 0.25};
}

void FillLattice(CVertexUseTable& table, size_t count)
{
    for (size_t k = 0; k < count; ++k) {
        CVertexUse& use = table[LatticeKey(k)];
        ++use.Uses;
        use.Tolerance = static_cast<double>(k);
    }
}

// The table's slots are not a power of two, so probes wrap around at an arbitrary end: every
// entry must still be found, once, with its own data, however far the table grew past what it
// was sized for.
TEST(VertexUseTable, FindsEveryEntryOnceAfterGrowingPastItsExpectedCount)
{
    CVertexUseTable table(100);
    const size_t count = 20000;
    FillLattice(table, count);
    FillLattice(table, count); // the same keys again: no new entries
    ASSERT_EQ(table.Count(), count);
    EXPECT_LE(static_cast<double>(table.Count()), 0.7 * static_cast<double>(table.SlotCount()));
    for (size_t k = 0; k < count; ++k) {
        const CVertexUse* use = table.Find(LatticeKey(k));
        ASSERT_NE(use, nullptr) << k;
        EXPECT_EQ(use->Uses, 2) << k;
        EXPECT_EQ(use->Tolerance, static_cast<double>(k)) << k;
    }
    EXPECT_EQ(table.Find({1e9, 1e9}), nullptr);
    size_t visited = 0;
    table.ForEach([&visited](const CPointKey&, CVertexUse& use) { visited += use.Uses == 2 ? 1 : 0; });
    EXPECT_EQ(visited, count);
}

TEST(VertexUseTable, NegativeZeroIsTheZeroItEquals)
{
    CVertexUseTable table;
    ++table[{0.0, 5.0}].Uses;
    ++table[{-0.0, 5.0}].Uses;
    ++table[{3.0, -0.0}].Uses;
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
    FillLattice(table, 50000);
    EXPECT_EQ(table.Count(), 50000u);
    EXPECT_NE(table.Find(LatticeKey(49999)), nullptr);
}

} // namespace
} // namespace tessaro
