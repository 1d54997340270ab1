#pragma once

namespace tessaro {

// Has the C library hand large blocks (1 MiB and more) straight back to the system when they are
// freed. A cartogram run frees and takes again arrays of tens of megabytes every round (the tree's
// grid, the flow's grids, the border table); glibc otherwise raises its own threshold after the
// first such free and serves them from heaps that keep what they once held, about a fifth more
// peak memory on a map of a million points. A threshold the user set in MALLOC_MMAP_THRESHOLD_
// stands. Called once, first thing in main.
void ReturnLargeBlocksToSystem();

} // namespace tessaro
