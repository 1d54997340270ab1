#include "engine/QuadTreeTransformer.h"

#include "geometry/GeometryPrimitives.h"
#include "engine/ParallelWorkers.h"
#include "engine/QuadTree.h"
#include "engine/TransformMatrix.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace tessaro {

namespace {

constexpr double RightAngle = 1.5707963267948966;

// What the cache keeps per leaf. A matrix, once stored, is never replaced or changed until the
// cache goes, so a pointer to it read under the lock stays valid and may be used without it.
struct CLeafRecord {
    std::array<std::unique_ptr<const CTransformMatrix>, 2> TriangleMaps; // first, second
    int SplitCorner = -1;
};

using CLeafCache = std::unordered_map<const CQuadTreeNode*, CLeafRecord>;

// Everything a pass over a range of vertices reads; shared by all workers of one call.
struct CPass {
    CQuadTree& Tree;
    int UndeformedMap;
    int DisplacedMap;
    bool UseCache;
    int SearchLevels;
    CLeafCache& Cache;
    std::mutex& CacheLock;
    const CFeedback* Feedback;
    bool FixedSplits;
    bool PrivateCaches;
};

// The leaves a worker keeps its views of, each in the slot its address hashes to; a leaf met
// again after its slot went to another is loaded anew, with the same bits. A map's ring
// vertices, cut at every leaf side they cross, change leaf at almost every vertex: a view per
// leaf met would cost an allocation and a hash lookup each, and hold hundreds of thousands.
constexpr int LeafViewBits = 10;
constexpr size_t LeafViewSlots = size_t{1} << LeafViewBits;

size_t LeafViewSlot(const CQuadTreeNode* leaf)
{
    const auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(leaf));
    return static_cast<size_t>(((address >> 4) * 0x9E3779B97F4A7C15ULL) >> (64 - LeafViewBits));
}

// Vertices between two looks at the cancel flag.
constexpr size_t CancelCheckInterval = 4096;

// A worker's view of one leaf: its corners in both maps, its split corner and the cached
// matrices the worker has seen. Consecutive vertices of a ring mostly share a leaf, and this
// spares them the corner lookups and the lock.
struct CLeafView {
    const CQuadTreeNode* Leaf = nullptr;
    std::array<CPoint2D, 4> Undeformed{};
    std::array<CPoint2D, 4> Displaced{};
    int SplitCorner = -1;
    CLeafRecord* Record = nullptr;
    std::array<const CTransformMatrix*, 2> TriangleMaps{};
    // With private caches: the worker's own maps, six coefficients each, and whether computed.
    std::array<std::array<double, 6>, 2> OwnMaps{};
    std::array<bool, 2> HasOwnMap{};
};

constexpr size_t Corner(int k)
{
    return static_cast<size_t>(((k % 4) + 4) % 4);
}

std::array<size_t, 3> TriangleCorners(int k, int triangle)
{
    return SplitTriangleCorners(k, triangle);
}

// 0 or 1 for the triangle that holds p, -1 for neither. Interiors are tested before edges so
// that a vertex on the diagonal goes to whichever triangle the crossing test gives it.
int ChooseTriangle(const std::array<CPoint2D, 4>& corners, int k, const CPoint2D& p)
{
    const auto first = TriangleCorners(k, 0);
    const auto second = TriangleCorners(k, 1);
    const auto& c = corners;
    if (PointInTriangle(c[first[0]], c[first[1]], c[first[2]], p))
        return 0;
    if (PointInTriangle(c[second[0]], c[second[1]], c[second[2]], p))
        return 1;
    if (PointOnTriangleEdge(c[first[0]], c[first[1]], c[first[2]], p))
        return 0;
    if (PointOnTriangleEdge(c[second[0]], c[second[1]], c[second[2]], p))
        return 1;
    return -1;
}

// A worker's working matrices, reused from triangle to triangle so the arithmetic allocates nothing.
struct CTriangleScratch {
    CTransformMatrix Undeformed;
    CTransformMatrix Displaced;
    CTransformMatrix Inverse;
    CTransformMatrix Map;
};

// M = P_B * P_A^-1 carries each undeformed corner of the triangle onto its displaced corner.
bool TriangleMap(const CLeafView& view, int triangle, CTriangleScratch& scratch)
{
    const auto idx = TriangleCorners(view.SplitCorner, triangle);
    const auto& a = view.Undeformed;
    const auto& b = view.Displaced;
    scratch.Undeformed.SetFromPoints(a[idx[0]], a[idx[1]], a[idx[2]]);
    scratch.Displaced.SetFromPoints(b[idx[0]], b[idx[1]], b[idx[2]]);
    return scratch.Undeformed.Inverse3(scratch.Inverse) &&
           CTransformMatrix::Multiply(scratch.Displaced, scratch.Inverse, scratch.Map);
}

// The cache lock is held only for a lookup or a pointer store, far shorter than a sleep and
// wake-up, so a waiting worker spins a little before it blocks.
std::unique_lock<std::mutex> LockCache(std::mutex& cacheLock)
{
    constexpr int SpinAttempts = 100;
    for (int attempt = 0; attempt < SpinAttempts; ++attempt)
        if (cacheLock.try_lock())
            return std::unique_lock<std::mutex>(cacheLock, std::adopt_lock);
    return std::unique_lock<std::mutex>(cacheLock);
}

// Reads the leaf's corners and, with the cache, its record; false when a corner is missing.
bool LoadLeaf(const CPass& pass, const CQuadTreeNode* leaf, CLeafView& view)
{
    view = CLeafView{};
    if (!pass.Tree.NodeCorners(leaf, view.Undeformed, pass.UndeformedMap) ||
        !pass.Tree.NodeCorners(leaf, view.Displaced, pass.DisplacedMap))
        return false;
    view.Leaf = leaf;
    // Every worker would choose the same corner; choosing it before locking keeps the lock short.
    const int splitCorner =
        pass.FixedSplits && leaf->SplitCorner >= 0 ? leaf->SplitCorner : ChooseSplitCorner(view.Displaced);
    if (!pass.UseCache || pass.PrivateCaches) {
        view.SplitCorner = splitCorner;
        return true;
    }
    const auto lock = LockCache(pass.CacheLock);
    CLeafRecord& record = pass.Cache[leaf];
    if (record.SplitCorner < 0)
        record.SplitCorner = splitCorner;
    view.SplitCorner = record.SplitCorner;
    view.Record = &record;
    view.TriangleMaps = {record.TriangleMaps[0].get(), record.TriangleMaps[1].get()};
    return true;
}

// Stores a copy of a freshly computed map unless another worker got there first; either way
// the view then points at the stored one, which has the same bits.
void PublishMap(const CPass& pass, CLeafView& view, int triangle, const CTransformMatrix& map)
{
    auto copy = std::make_unique<const CTransformMatrix>(map); // allocated outside the lock
    const auto lock = LockCache(pass.CacheLock);
    auto& stored = view.Record->TriangleMaps[static_cast<size_t>(triangle)];
    if (!stored)
        stored = std::move(copy);
    view.TriangleMaps[static_cast<size_t>(triangle)] = stored.get();
}

// Transforms vertices [begin, begin + count) with a cursor leaf of its own. The worker keeps its
// own view of every leaf it has met, so a leaf it comes back to costs no lock; only a leaf new
// to it, or a matrix new to it, goes to the shared cache.
bool TransformRange(const CPass& shared, const double* in, double* out, size_t begin, size_t count)
{
    // A copy on this worker's stack: the shared one sits next to the cache map, whose size
    // field the other workers write, and reading it per vertex would bounce that cache line.
    const CPass pass = shared;
    CQuadTreeNode* cursor = nullptr;
    std::vector<CLeafView> views(LeafViewSlots);
    CLeafView* view = nullptr;
    CTriangleScratch scratch;
    for (size_t i = begin; i < begin + count; ++i) {
        if ((i - begin) % CancelCheckInterval == 0 && Cancelled(pass.Feedback))
            return true; // the caller drops the partial result
        const CPoint2D p{in[2 * i], in[2 * i + 1]};
        CQuadTreeNode* leaf = pass.Tree.LocateLeaf(cursor, p.X, p.Y, pass.SearchLevels);
        if (leaf == nullptr)
            continue; // outside the root
        cursor = leaf;
        if (view == nullptr || view->Leaf != leaf) {
            view = &views[LeafViewSlot(leaf)];
            if (view->Leaf != leaf && !LoadLeaf(pass, leaf, *view))
                return false;
        }
        if (!pass.UseCache && !(pass.FixedSplits && leaf->SplitCorner >= 0))
            view->SplitCorner = ChooseSplitCorner(view->Displaced);
        const int triangle = ChooseTriangle(view->Undeformed, view->SplitCorner, p);
        if (triangle < 0)
            continue;
        if (pass.PrivateCaches) {
            const auto t = static_cast<size_t>(triangle);
            if (!view->HasOwnMap[t]) {
                if (!TriangleMap(*view, triangle, scratch))
                    continue;
                const CTransformMatrix& m = scratch.Map;
                view->OwnMaps[t] = {m.At(0, 0), m.At(0, 1), m.At(0, 2), m.At(1, 0), m.At(1, 1), m.At(1, 2)};
                view->HasOwnMap[t] = true;
            }
            // The arithmetic of CTransformMatrix::Apply, so both caches give the same bits.
            const std::array<double, 6>& m = view->OwnMaps[t];
            out[2 * i] = m[0] * p.X + m[1] * p.Y + m[2];
            out[2 * i + 1] = m[3] * p.X + m[4] * p.Y + m[5];
            continue;
        }
        const CTransformMatrix* map = view->TriangleMaps[static_cast<size_t>(triangle)];
        if (map == nullptr) {
            if (!TriangleMap(*view, triangle, scratch))
                continue; // collinear corners: cannot occur on square cells
            map = &scratch.Map;
            if (pass.UseCache)
                PublishMap(pass, *view, triangle, scratch.Map);
        }
        const CPoint2D image = map->Apply(p);
        out[2 * i] = image.X;
        out[2 * i + 1] = image.Y;
    }
    return true;
}

} // namespace

int ChooseSplitCorner(const std::array<CPoint2D, 4>& displaced)
{
    for (int k = 0; k < 3; ++k)
        if (TurnAngle(displaced[Corner(k)], displaced[Corner(k - 1)], displaced[Corner(k + 1)]) >= RightAngle)
            return k;
    return 3;
}

std::array<size_t, 3> SplitTriangleCorners(int k, int triangle)
{
    return {Corner(k + 2), triangle == 0 ? Corner(k - 1) : Corner(k + 1), Corner(k)};
}

bool CQuadTreeTransformer::TransformVertices(const double* in, int n, double* out, const CTransformOptions& options)
{
    return Transform(in, n, out, options, 1);
}

bool CQuadTreeTransformer::TransformVerticesParallel(const double* in, int n, double* out,
                                                     const CTransformOptions& options)
{
    return Transform(in, n, out, options, std::max(options.Threads, 2));
}

bool CQuadTreeTransformer::Transform(const double* in, int n, double* out, const CTransformOptions& options,
                                     int workers)
{
    const int undeformedMap = options.FromMap;
    const int displacedMap = options.ToMap;
    if (n < 1 || in == nullptr || out == nullptr || TreeRoot == nullptr)
        return false;
    if (TreeRoot->Map(undeformedMap) == nullptr || TreeRoot->Map(displacedMap) == nullptr)
        return false;
    CCurrentMapScope scope(TreeRoot, undeformedMap);
    CLeafCache cache;
    const CPass pass{*TreeRoot, undeformedMap,    displacedMap,        options.UseCache,
                     options.SearchLevels, cache,     CacheLock,           options.Feedback,
                     options.FixedSplits,  options.PrivateCaches};
    const auto count = static_cast<size_t>(n);
    if (workers < 2)
        return TransformRange(pass, in, out, 0, count);

    const std::vector<CWorkChunk> chunks = SplitIntoChunks(count, static_cast<size_t>(workers));
    std::vector<std::uint8_t> handled(chunks.size(), 1);
    RunWorkers(chunks.size(),
               [&](size_t w) { handled[w] = TransformRange(pass, in, out, chunks[w].Begin, chunks[w].Count) ? 1 : 0; });
    return std::all_of(handled.begin(), handled.end(), [](std::uint8_t ok) { return ok != 0; });
}

} // namespace tessaro
