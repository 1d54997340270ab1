#pragma once

#include "geometry/Point2D.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tessaro {

class CQuadTree;

// One cell of the quadtree. Corner positions live in the tree's vertex maps, keyed by the ids
// held here, so neighbouring cells that share a corner id move together when the grid deforms.
struct CQuadTreeNode {
    int Depth = 0;
    int BottomLeft = -1;
    int TopLeft = -1;
    int TopRight = -1;
    int BottomRight = -1;
    // Bottom-left, top-left, top-right, bottom-right quadrant.
    std::array<std::unique_ptr<CQuadTreeNode>, 4> Children;
    CQuadTreeNode* Parent = nullptr;
    CQuadTree* Tree = nullptr;
    // For a leaf, the corner its diagonal starts from when the round fixed it beforehand (the
    // fold guard does); -1 lets the transformation choose on the displaced corners.
    int SplitCorner = -1;

    // A node is a leaf when any child is missing. Inline: every point located in the tree asks
    // it at each level.
    bool IsLeaf() const { return !Children[0] || !Children[1] || !Children[2] || !Children[3]; }
};

// The grid vertices of one map: id -> position. Ids are handed out densely from 0, so a vector
// indexed by id with a presence flag is both the fastest lookup and a stable iteration order
// (ascending id), which CollectPoints and StorePoints rely on to pair their points.
class CVertexMap {
public:
    const CPoint2D* Find(int id) const
    {
        if (id < 0 || static_cast<size_t>(id) >= Present.size() || Present[static_cast<size_t>(id)] == 0)
            return nullptr;
        return &Points[static_cast<size_t>(id)];
    }
    void Set(int id, const CPoint2D& position);
    size_t Size() const { return Count; }
    void Clear();

    // Calls visit(id, position) for every entry, ids ascending.
    template <typename Visit> void ForEach(Visit&& visit) const
    {
        for (size_t id = 0; id < Present.size(); ++id)
            if (Present[id] != 0)
                visit(static_cast<int>(id), Points[id]);
    }

    // Replaces every position p by move(p).
    template <typename Move> void MovePoints(Move&& move)
    {
        for (size_t id = 0; id < Present.size(); ++id)
            if (Present[id] != 0)
                Points[id] = move(Points[id]);
    }

private:
    std::vector<CPoint2D> Points;
    std::vector<std::uint8_t> Present;
    size_t Count = 0;
};

// The tree's two vertex maps during a round: the grid as built, and the grid moved by the force
// field (DuplicateMap makes it).
inline constexpr int UndeformedMap = 0;
inline constexpr int DisplacedMap = 1;

// A rectangle as the build takes it: left x, top y, right x, bottom y.
struct CTreeRect {
    double Left = 0.0;
    double Top = 0.0;
    double Right = 0.0;
    double Bottom = 0.0;
};

// The quadtree laid over the map each round: the root node itself plus the tree-wide vertex
// maps. Map 0 holds the undeformed grid, map 1 (after DuplicateMap) the displaced one; the
// CurrentMap decides where corners are read and written while building and locating.
// Refinement follows the points only, so empty parts of the map stay coarse.
class CQuadTree : public CQuadTreeNode {
public:
    int NextVertexId = 0;
    std::vector<CVertexMap> VertexMaps;
    int CurrentMap = 0;

    CQuadTree();
    CQuadTree(const CQuadTree&) = delete;
    CQuadTree& operator=(const CQuadTree&) = delete;

    // Drops every node below the root and every map but an emptied map 0.
    void Clear();

    // Exchanges everything with another tree: nodes, vertex maps, ids and CurrentMap.
    void Swap(CQuadTree& other);

    // Widens the shorter extent of the rectangle symmetrically about its centre to make a square.
    static void MakeSquare(CTreeRect& rect);
    // Hands out the root's four corner ids and stores their positions in the current map.
    void SetRootRect(const CTreeRect& rect);

    // Rebuilds the nodes so that every point lies in a leaf of depth maxDepth; squares `rect`
    // in place. False for a degenerate rectangle, maxDepth < 1 or a corner missing from the
    // current map. Points outside the root are skipped.
    bool BuildForPoints(CTreeRect& rect, int maxDepth, int n, const double* points);
    // The same with point i refined to min(maxDepth, depths[i]).
    bool BuildForPointsAdaptive(CTreeRect& rect, int maxDepth, int n, const double* points, const int* depths);

    // Appends a new map, a copy of map 0 when `copy` is set; returns its index.
    int DuplicateMap(bool copy);
    // The map with that index, or null.
    const CVertexMap* Map(int index) const;
    CVertexMap* Map(int index);

    // Appends map i's positions (as x, y) in the iteration order of map j, or of map i itself
    // when j is negative, out of range or equal to i. Returns the number of points, -1 when
    // a map is missing or map i lacks a key of map j.
    int CollectPoints(std::vector<double>& out, int i, int j = -1) const;
    // Sets map i's entry for every key of map j (or map i) to the next point of the buffer.
    // Returns the number of points stored, -1 when a map is missing or the buffer is short.
    int StorePoints(const std::vector<double>& points, int i, int j = -1);

    // Containment on the current map: left and bottom edges belong to the node, right and top
    // edges do not. A corner missing from the map does not exclude the point.
    bool Contains(const CQuadTreeNode* node, double x, double y) const;
    // The leaf below `node` that holds the point, or null when `node` does not hold it.
    CQuadTreeNode* FindLeaf(CQuadTreeNode* node, double x, double y) const;
    // Finds the leaf for a point starting near `cursor`: the cursor and its ancestors are tried
    // (searchLevels nodes in all) before falling back to the root. Null outside the root.
    CQuadTreeNode* LocateLeaf(CQuadTreeNode* cursor, double x, double y, int searchLevels);

    // Slot of the node in its parent's Children; -1 for the root.
    static int ChildIndex(const CQuadTreeNode* node);
    // The node of the same depth across the side 'l', 'r', 't' or 'b' (either case), or null.
    static CQuadTreeNode* Neighbour(const CQuadTreeNode* node, char direction);

    // Positions of the node's corners, in corner order, that map `mapIndex` holds; returns how
    // many were found (4 for a well-formed node).
    int NodeCorners(const CQuadTreeNode* node, std::vector<CPoint2D>& out, int mapIndex) const;
    int NodeCorners(const CQuadTreeNode* node, std::vector<double>& out, int mapIndex) const;
    // Fixed-size form for hot loops; false unless all four corners are present.
    bool NodeCorners(const CQuadTreeNode* node, std::array<CPoint2D, 4>& out, int mapIndex) const;

    // Every leaf, breadth-first with children in child order.
    void Leaves(std::vector<const CQuadTreeNode*>& out) const;
    void Leaves(std::vector<CQuadTreeNode*>& out);

private:
    bool Build(CTreeRect& rect, int maxDepth, int n, const double* points, const int* depths);
    int TakeVertexId(const CQuadTreeNode* sharer, bool useTopRight, const CPoint2D& position);
    bool Split(CQuadTreeNode* node);
    // The leaf below `node`, which holds the point, that holds it; null only on a grid whose
    // children do not tile their parent.
    CQuadTreeNode* LeafBelow(CQuadTreeNode* node, double x, double y) const;
    // The same on the grid as the build lays it, each child a quarter of its parent: the child is
    // the quadrant of the parent's centre the point lies in, one lookup a level.
    CQuadTreeNode* BuiltLeafBelow(CQuadTreeNode* node, double x, double y) const;
    // LocateLeaf on the grid as the build lays it.
    CQuadTreeNode* LocateBuiltLeaf(CQuadTreeNode* cursor, double x, double y);
    // The first of `cursor` and its ancestors, at most `levels` of them, that holds the point; null
    // when none does.
    CQuadTreeNode* HoldingAncestor(CQuadTreeNode* cursor, double x, double y, int levels) const;
};

// Sets a tree's CurrentMap for a scope and restores it on every way out; a null tree is left
// alone.
class CCurrentMapScope {
public:
    CCurrentMapScope(CQuadTree* tree, int map) : Tree_(tree), Saved_(tree != nullptr ? tree->CurrentMap : 0)
    {
        if (Tree_ != nullptr)
            Tree_->CurrentMap = map;
    }
    ~CCurrentMapScope()
    {
        if (Tree_ != nullptr)
            Tree_->CurrentMap = Saved_;
    }
    CCurrentMapScope(const CCurrentMapScope&) = delete;
    CCurrentMapScope& operator=(const CCurrentMapScope&) = delete;

private:
    CQuadTree* Tree_;
    int Saved_;
};

} // namespace tessaro
