#include "engine/QuadTree.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

namespace tessaro {

namespace {

constexpr int BuildSearchLevels = 2;

enum ChildSlot { BottomLeftChild = 0, TopLeftChild = 1, TopRightChild = 2, BottomRightChild = 3 };

// Where the same-depth neighbour of a child lies: a sibling, or a child of the parent's own
// neighbour on that side; indexed by child slot and side (left, right, top, bottom).
struct CNeighbourRule {
    bool Across;
    int Slot;
};

// clang-format off
constexpr CNeighbourRule NeighbourRules[4][4] = {
    //  left                        right                        top                          bottom
    {{true, BottomRightChild},  {false, BottomRightChild}, {false, TopLeftChild},     {true, TopLeftChild}},     // bottom-left
    {{true, TopRightChild},     {false, TopRightChild},    {true, BottomLeftChild},   {false, BottomLeftChild}}, // top-left
    {{false, TopLeftChild},     {true, TopLeftChild},      {true, BottomRightChild},  {false, BottomRightChild}}, // top-right
    {{false, BottomLeftChild},  {true, BottomLeftChild},   {false, TopRightChild},    {true, TopRightChild}},    // bottom-right
};
// clang-format on

// 0 .. 3 for the side letters l, r, t, b in either case; -1 for any other letter.
int SideIndex(char direction)
{
    switch (std::tolower(static_cast<unsigned char>(direction))) {
    case 'l':
        return 0;
    case 'r':
        return 1;
    case 't':
        return 2;
    case 'b':
        return 3;
    default:
        return -1;
    }
}

// The child `slot` of the parent's neighbour in `direction`, when that neighbour is split.
CQuadTreeNode* ChildAcross(const CQuadTreeNode* parent, char direction, int slot)
{
    CQuadTreeNode* across = CQuadTree::Neighbour(parent, direction);
    if (across == nullptr || across->IsLeaf())
        return nullptr;
    return across->Children[static_cast<size_t>(slot)].get();
}

} // namespace

void CVertexMap::Set(int id, const CPoint2D& position)
{
    if (id < 0)
        return;
    const auto slot = static_cast<size_t>(id);
    if (slot >= Present.size()) {
        // Ids grow one by one during a build; doubling keeps the appends amortised.
        const size_t size = std::max(slot + 1, Present.size() * 2);
        Points.resize(size);
        Present.resize(size, 0);
    }
    if (Present[slot] == 0) {
        Present[slot] = 1;
        ++Count;
    }
    Points[slot] = position;
}

void CVertexMap::Clear()
{
    Points.clear();
    Present.clear();
    Count = 0;
}

CQuadTree::CQuadTree()
{
    Tree = this;
    VertexMaps.resize(1);
}

void CQuadTree::Clear()
{
    for (auto& child : Children)
        child.reset();
    VertexMaps.resize(1);
    VertexMaps[0].Clear();
    BottomLeft = TopLeft = TopRight = BottomRight = -1;
    Depth = 0;
    NextVertexId = 0;
    CurrentMap = 0;
}

namespace {

// Points every node below `node` at its tree; its children at it as their parent.
void Adopt(CQuadTreeNode& node, CQuadTree* tree)
{
    node.Tree = tree;
    for (auto& child : node.Children) {
        if (!child)
            continue;
        child->Parent = &node;
        Adopt(*child, tree);
    }
}

} // namespace

void CQuadTree::Swap(CQuadTree& other)
{
    std::swap(Depth, other.Depth);
    std::swap(BottomLeft, other.BottomLeft);
    std::swap(TopLeft, other.TopLeft);
    std::swap(TopRight, other.TopRight);
    std::swap(BottomRight, other.BottomRight);
    std::swap(SplitCorner, other.SplitCorner);
    std::swap(Children, other.Children);
    std::swap(NextVertexId, other.NextVertexId);
    std::swap(VertexMaps, other.VertexMaps);
    std::swap(CurrentMap, other.CurrentMap);
    Adopt(*this, this);
    Adopt(other, &other);
}

void CQuadTree::MakeSquare(CTreeRect& rect)
{
    const double width = rect.Right - rect.Left;
    const double height = rect.Top - rect.Bottom;
    const double side = std::max(std::abs(width), std::abs(height));
    // Keep the rectangle's orientation: only its shorter extent grows.
    if (std::abs(width) < side) {
        const double centre = (rect.Left + rect.Right) / 2.0;
        const double half = std::copysign(side / 2.0, width);
        rect.Left = centre - half;
        rect.Right = centre + half;
    } else if (std::abs(height) < side) {
        const double centre = (rect.Top + rect.Bottom) / 2.0;
        const double half = std::copysign(side / 2.0, height);
        rect.Top = centre + half;
        rect.Bottom = centre - half;
    }
}

void CQuadTree::SetRootRect(const CTreeRect& rect)
{
    CVertexMap* map = Map(CurrentMap);
    const auto newCorner = [&](double x, double y) {
        const int id = NextVertexId++;
        if (map != nullptr)
            map->Set(id, {x, y});
        return id;
    };
    BottomLeft = newCorner(rect.Left, rect.Bottom);
    TopLeft = newCorner(rect.Left, rect.Top);
    TopRight = newCorner(rect.Right, rect.Top);
    BottomRight = newCorner(rect.Right, rect.Bottom);
}

bool CQuadTree::BuildForPoints(CTreeRect& rect, int maxDepth, int n, const double* points)
{
    return Build(rect, maxDepth, n, points, nullptr);
}

bool CQuadTree::BuildForPointsAdaptive(CTreeRect& rect, int maxDepth, int n, const double* points, const int* depths)
{
    if (depths == nullptr)
        return false;
    return Build(rect, maxDepth, n, points, depths);
}

bool CQuadTree::Build(CTreeRect& rect, int maxDepth, int n, const double* points, const int* depths)
{
    if (rect.Right - rect.Left == 0.0 || rect.Top - rect.Bottom == 0.0 || maxDepth < 1)
        return false;
    if (n > 0 && points == nullptr)
        return false;
    for (auto& child : Children)
        child.reset();
    Depth = 0;
    MakeSquare(rect);
    SetRootRect(rect);

    CQuadTreeNode* cursor = nullptr;
    for (int i = 0; i < n; ++i) {
        const double x = points[2 * i];
        const double y = points[2 * i + 1];
        const int target = depths != nullptr ? std::min(maxDepth, depths[i]) : maxDepth;
        CQuadTreeNode* leaf = LocateBuiltLeaf(cursor, x, y);
        while (leaf != nullptr && leaf->Depth < target) {
            if (!Split(leaf))
                return false;
            leaf = BuiltLeafBelow(leaf, x, y);
        }
        if (leaf != nullptr)
            cursor = leaf;
    }
    return true;
}

int CQuadTree::TakeVertexId(const CQuadTreeNode* sharer, bool useTopRight, const CPoint2D& position)
{
    if (sharer != nullptr)
        return useTopRight ? sharer->TopRight : sharer->BottomLeft;
    const int id = NextVertexId++;
    VertexMaps[static_cast<size_t>(CurrentMap)].Set(id, position);
    return id;
}

bool CQuadTree::Split(CQuadTreeNode* node)
{
    const CVertexMap* map = Map(CurrentMap);
    const CPoint2D* tl = map != nullptr ? map->Find(node->TopLeft) : nullptr;
    const CPoint2D* br = map != nullptr ? map->Find(node->BottomRight) : nullptr;
    if (tl == nullptr || br == nullptr)
        return false;
    const CPoint2D topLeft = *tl; // the map may grow below
    const CPoint2D bottomRight = *br;
    const double xm = (topLeft.X + bottomRight.X) / 2.0;
    const double ym = (topLeft.Y + bottomRight.Y) / 2.0;

    // Children first: the neighbour search below walks through them.
    for (auto& child : node->Children) {
        child = std::make_unique<CQuadTreeNode>();
        child->Depth = node->Depth + 1;
        child->Parent = node;
        child->Tree = this;
    }
    CQuadTreeNode& bl = *node->Children[BottomLeftChild];
    CQuadTreeNode& tlChild = *node->Children[TopLeftChild];
    CQuadTreeNode& tr = *node->Children[TopRightChild];
    CQuadTreeNode& brChild = *node->Children[BottomRightChild];

    // Midpoints shared with an already split neighbour of the same depth keep its ids, so the
    // deformed grid stays connected across the common side.
    const int left = TakeVertexId(Neighbour(&bl, 'l'), true, {topLeft.X, ym});
    const int bottom = TakeVertexId(Neighbour(&bl, 'b'), true, {xm, bottomRight.Y});
    const int top = TakeVertexId(Neighbour(&tr, 't'), false, {xm, topLeft.Y});
    const int right = TakeVertexId(Neighbour(&tr, 'r'), false, {bottomRight.X, ym});
    const int centre = TakeVertexId(nullptr, false, {xm, ym});

    const auto setCorners = [](CQuadTreeNode& child, int cbl, int ctl, int ctr, int cbr) {
        child.BottomLeft = cbl;
        child.TopLeft = ctl;
        child.TopRight = ctr;
        child.BottomRight = cbr;
    };
    setCorners(bl, node->BottomLeft, left, centre, bottom);
    setCorners(tlChild, left, node->TopLeft, top, centre);
    setCorners(tr, centre, top, node->TopRight, right);
    setCorners(brChild, bottom, centre, right, node->BottomRight);
    return true;
}

int CQuadTree::DuplicateMap(bool copy)
{
    VertexMaps.push_back(copy ? VertexMaps[0] : CVertexMap{});
    return static_cast<int>(VertexMaps.size()) - 1;
}

const CVertexMap* CQuadTree::Map(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= VertexMaps.size())
        return nullptr;
    return &VertexMaps[static_cast<size_t>(index)];
}

CVertexMap* CQuadTree::Map(int index)
{
    return const_cast<CVertexMap*>(std::as_const(*this).Map(index));
}

int CQuadTree::CollectPoints(std::vector<double>& out, int i, int j) const
{
    const CVertexMap* source = Map(i);
    if (source == nullptr)
        return -1;
    const CVertexMap* order = (j == i || Map(j) == nullptr) ? source : Map(j);
    const size_t start = out.size();
    bool complete = true;
    order->ForEach([&](int id, const CPoint2D&) {
        const CPoint2D* position = source->Find(id);
        if (position == nullptr) {
            complete = false;
            return;
        }
        out.push_back(position->X);
        out.push_back(position->Y);
    });
    if (!complete) {
        out.resize(start);
        return -1;
    }
    return static_cast<int>((out.size() - start) / 2);
}

int CQuadTree::StorePoints(const std::vector<double>& points, int i, int j)
{
    CVertexMap* target = Map(i);
    if (target == nullptr)
        return -1;
    const CVertexMap* order = (j == i || Map(j) == nullptr) ? target : Map(j);
    if (points.size() < 2 * order->Size())
        return -1;
    std::vector<int> ids;
    ids.reserve(order->Size());
    order->ForEach([&](int id, const CPoint2D&) { ids.push_back(id); });
    for (size_t k = 0; k < ids.size(); ++k)
        target->Set(ids[k], {points[2 * k], points[2 * k + 1]});
    return static_cast<int>(ids.size());
}

namespace {

// Containment on `map` (null: every corner missing), as CQuadTree::Contains has it.
bool ContainsOn(const CVertexMap* map, const CQuadTreeNode* node, double x, double y)
{
    if (map == nullptr)
        return true;
    if (const CPoint2D* bl = map->Find(node->BottomLeft); bl != nullptr && !(bl->X <= x && bl->Y <= y))
        return false;
    if (const CPoint2D* tr = map->Find(node->TopRight); tr != nullptr && !(x < tr->X && y < tr->Y))
        return false;
    return true;
}

} // namespace

bool CQuadTree::Contains(const CQuadTreeNode* node, double x, double y) const
{
    return ContainsOn(Map(CurrentMap), node, x, y);
}

CQuadTreeNode* CQuadTree::FindLeaf(CQuadTreeNode* node, double x, double y) const
{
    if (node == nullptr || !Contains(node, x, y))
        return nullptr;
    return LeafBelow(node, x, y);
}

CQuadTreeNode* CQuadTree::LeafBelow(CQuadTreeNode* node, double x, double y) const
{
    const CVertexMap* map = Map(CurrentMap);
    while (!node->IsLeaf()) {
        CQuadTreeNode* next = nullptr;
        for (const auto& child : node->Children) {
            if (ContainsOn(map, child.get(), x, y)) {
                next = child.get();
                break;
            }
        }
        if (next == nullptr)
            return nullptr; // only on a grid whose children do not tile their parent
        node = next;
    }
    return node;
}

// A point on a centre line belongs to the quadrant above or to the right of it, as the children's
// half-open boxes have it.
CQuadTreeNode* CQuadTree::BuiltLeafBelow(CQuadTreeNode* node, double x, double y) const
{
    const CVertexMap* map = Map(CurrentMap);
    while (!node->IsLeaf()) {
        const CPoint2D* centre = map != nullptr ? map->Find(node->Children[BottomLeftChild]->TopRight) : nullptr;
        if (centre == nullptr)
            return LeafBelow(node, x, y);
        const bool right = !(x < centre->X), top = !(y < centre->Y);
        node = node->Children[right ? (top ? TopRightChild : BottomRightChild) : (top ? TopLeftChild : BottomLeftChild)]
                   .get();
    }
    return node;
}

CQuadTreeNode* CQuadTree::HoldingAncestor(CQuadTreeNode* cursor, double x, double y, int levels) const
{
    CQuadTreeNode* node = cursor;
    for (int tried = 0; node != nullptr && tried < levels; ++tried, node = node->Parent)
        if (Contains(node, x, y))
            return node;
    return nullptr;
}

CQuadTreeNode* CQuadTree::LocateBuiltLeaf(CQuadTreeNode* cursor, double x, double y)
{
    if (CQuadTreeNode* node = HoldingAncestor(cursor, x, y, BuildSearchLevels))
        return BuiltLeafBelow(node, x, y);
    return Contains(this, x, y) ? BuiltLeafBelow(this, x, y) : nullptr;
}

CQuadTreeNode* CQuadTree::LocateLeaf(CQuadTreeNode* cursor, double x, double y, int searchLevels)
{
    if (CQuadTreeNode* node = HoldingAncestor(cursor, x, y, searchLevels))
        return LeafBelow(node, x, y);
    return FindLeaf(this, x, y);
}

int CQuadTree::ChildIndex(const CQuadTreeNode* node)
{
    if (node == nullptr || node->Parent == nullptr)
        return -1;
    const auto& siblings = node->Parent->Children;
    for (size_t slot = 0; slot < siblings.size(); ++slot)
        if (siblings[slot].get() == node)
            return static_cast<int>(slot);
    return -1;
}

CQuadTreeNode* CQuadTree::Neighbour(const CQuadTreeNode* node, char direction)
{
    const int slot = ChildIndex(node);
    const int side = SideIndex(direction);
    if (slot < 0 || side < 0)
        return nullptr;
    const CNeighbourRule rule = NeighbourRules[slot][side];
    if (!rule.Across)
        return node->Parent->Children[static_cast<size_t>(rule.Slot)].get();
    return ChildAcross(node->Parent, direction, rule.Slot);
}

int CQuadTree::NodeCorners(const CQuadTreeNode* node, std::vector<CPoint2D>& out, int mapIndex) const
{
    out.clear();
    const CVertexMap* map = Map(mapIndex);
    if (map == nullptr || node == nullptr)
        return 0;
    for (int id : {node->BottomLeft, node->TopLeft, node->TopRight, node->BottomRight})
        if (const CPoint2D* position = map->Find(id))
            out.push_back(*position);
    return static_cast<int>(out.size());
}

int CQuadTree::NodeCorners(const CQuadTreeNode* node, std::vector<double>& out, int mapIndex) const
{
    std::vector<CPoint2D> corners;
    const int found = NodeCorners(node, corners, mapIndex);
    out.clear();
    for (const CPoint2D& corner : corners) {
        out.push_back(corner.X);
        out.push_back(corner.Y);
    }
    return found;
}

bool CQuadTree::NodeCorners(const CQuadTreeNode* node, std::array<CPoint2D, 4>& out, int mapIndex) const
{
    const CVertexMap* map = Map(mapIndex);
    if (map == nullptr || node == nullptr)
        return false;
    const std::array<int, 4> ids{node->BottomLeft, node->TopLeft, node->TopRight, node->BottomRight};
    for (size_t k = 0; k < ids.size(); ++k) {
        const CPoint2D* position = map->Find(ids[k]);
        if (position == nullptr)
            return false;
        out[k] = *position;
    }
    return true;
}

void CQuadTree::Leaves(std::vector<CQuadTreeNode*>& out)
{
    std::vector<CQuadTreeNode*> queue{this};
    for (size_t next = 0; next < queue.size(); ++next) {
        CQuadTreeNode* node = queue[next];
        if (node->IsLeaf()) {
            out.push_back(node);
            continue;
        }
        for (const auto& child : node->Children)
            queue.push_back(child.get());
    }
}

void CQuadTree::Leaves(std::vector<const CQuadTreeNode*>& out) const
{
    std::vector<const CQuadTreeNode*> queue{this};
    for (size_t next = 0; next < queue.size(); ++next) {
        const CQuadTreeNode* node = queue[next];
        if (node->IsLeaf()) {
            out.push_back(node);
            continue;
        }
        for (const auto& child : node->Children)
            queue.push_back(child.get());
    }
}

} // namespace tessaro
