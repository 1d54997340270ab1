#include "app/GLDrawNetwork.h"

#include "app/PolygonTessellator.h"
#include "engine/QuadTree.h"
#include "engine/RoundFrame.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/PictureCanvas.h"
#include "geometry/PolygonHit.h"
#include "geometry/ShapeLayer.h"
#include "network/Network.h"
#include "network/ShortestPath.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

struct Rgba {
    double R, G, B, A;
};

constexpr Rgba Red{1.0, 0.0, 0.0, 1.0};
constexpr Rgba Green{0.0, 1.0, 0.0, 1.0};
constexpr Rgba Blue{0.0, 0.0, 1.0, 1.0};
constexpr Rgba Cyan{0.0, 1.0, 1.0, 1.0};
constexpr Rgba Teal{0.4, 0.8, 0.8, 1.0};
constexpr Rgba DarkGrey{0.2, 0.2, 0.2, 1.0};
constexpr Rgba GreenGrey{0.3, 0.5, 0.3, 1.0};
constexpr Rgba Grey{0.5, 0.5, 0.5, 1.0};
constexpr Rgba Magenta{1.0, 0.0, 1.0, 1.0};
constexpr Rgba Yellow{1.0, 1.0, 0.0, 1.0};
constexpr Rgba Orange{0.85, 0.35, 0.0, 1.0};

constexpr double RouteEndSize = 6.0;
constexpr double NodeMarkerSize = 2.5;
constexpr double PointFeatureSize = 3.5;
constexpr double VertexSize = 2.5;
constexpr double QuadtreeNodeSize = 1.0;
constexpr double PickNodeSize = 1.5;
constexpr double RouteWidth = 1.2;
constexpr double CompanionPointSize = 4.0;
constexpr double CompanionLineWidth = 1.5;

// Pens and brushes of the vector picture; widths in 0.01 mm.
constexpr CPictureColor PictureBlack{0, 0, 0};
constexpr CPictureColor PictureRed{255, 0, 0};
constexpr CPictureColor PictureBlue{0, 0, 255};
constexpr CPictureColor PictureCyan{0, 255, 255};
constexpr CPictureColor PictureOrange{217, 89, 0};
constexpr CPictureColor PictureCellGrey{180, 180, 180};
constexpr CPictureColor PictureVertexPen{0, 10, 0};
constexpr CPictureColor LightGreyBrush{192, 192, 192};
constexpr CPictureColor DarkGreyBrush{64, 64, 64};
constexpr std::int32_t WidePen = 10;
constexpr std::int32_t VertexPenWidth = 2;
constexpr double QuadtreeVertexRadius = 80.0;
constexpr std::int32_t RouteEndHalfSide = 10;
constexpr std::int32_t CompanionDotRadius = 40;

// The legend of a picture, in 0.01 mm: its distance from the page's bottom-left corner, the
// padding inside its panel, the height of a line, of the title's and the entries' characters,
// and the size of a colour swatch. An average character of Arial is 0.56 of its height wide.
constexpr std::int32_t LegendMargin = 300;
constexpr std::int32_t LegendPadding = 200;
constexpr std::int32_t LegendLine = 420;
constexpr std::int32_t LegendTitleHeight = 300;
constexpr std::int32_t LegendTextHeight = 260;
constexpr std::int32_t SwatchWidth = 450;
constexpr std::int32_t SwatchHeight = 300;
constexpr double AverageCharWidth = 0.56;
constexpr CPictureColor PictureWhite{255, 255, 255};
constexpr CPictureColor LegendFrame{96, 96, 96};

void Color(const Rgba& c)
{
    glColor4d(c.R, c.G, c.B, c.A);
}

void Color(const CPictureColor& c)
{
    glColor4d(c.Red / 255.0, c.Green / 255.0, c.Blue / 255.0, 1.0);
}

// The width of a text in the picture, from its count of characters (not of UTF-8 bytes).
double TextWidth(const std::string& text, std::int32_t height)
{
    const auto characters = std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
    return static_cast<double>(characters) * AverageCharWidth * height;
}

} // namespace

CExtent CGLDrawNetwork::DrawnExtent() const
{
    if (Frame != nullptr)
        return Frame->Extent;
    return Network != nullptr ? Network->Extent() : CExtent::Empty();
}

CGLDrawNetwork::DevicePoint CGLDrawNetwork::ToDevice(double x, double y) const
{
    const CExtent extent = DrawnExtent();
    const double canvasX = (x - extent.MinX) * Scale;
    const double canvasY = (y - extent.MaxY) * Scale;
    return {2.0 * (canvasX - ScrollX) / ClientWidth - 1.0, 1.0 - 2.0 * (canvasY - ScrollY) / ClientHeight};
}

void CGLDrawNetwork::Vertex(double x, double y) const
{
    const DevicePoint p = ToDevice(x, y);
    glVertex3d(p.X, p.Y, 0.0);
}

std::vector<CGLDrawNetwork::Cell> CGLDrawNetwork::Cells() const
{
    if (Frame != nullptr)
        return Frame->Cells;
    std::vector<Cell> cells;
    if (QuadTree == nullptr)
        return cells;
    std::vector<const CQuadTreeNode*> leaves;
    QuadTree->Leaves(leaves);
    cells.reserve(leaves.size());
    Cell corners;
    for (const CQuadTreeNode* leaf : leaves)
        if (QuadTree->NodeCorners(leaf, corners, QuadTree->CurrentMap))
            cells.push_back(corners);
    return cells;
}

std::int32_t CGLDrawNetwork::PolygonCount() const
{
    if (Frame != nullptr)
        return static_cast<std::int32_t>(Frame->Polygons.size());
    return Network != nullptr ? static_cast<std::int32_t>(Network->PolygonCount()) : 0;
}

std::vector<CGLDrawNetwork::RingPoints> CGLDrawNetwork::RingsOf(std::int32_t polygon) const
{
    std::vector<RingPoints> rings;
    if (polygon < 0 || polygon >= PolygonCount())
        return rings;
    if (Frame != nullptr) {
        for (const std::vector<double>& ring : Frame->Polygons[static_cast<size_t>(polygon)])
            rings.push_back({ring.data(), static_cast<std::int32_t>(ring.size() / 2)});
        return rings;
    }
    for (const auto& ring : Network->Polygon(static_cast<std::uint32_t>(polygon)).Rings())
        rings.push_back({ring->Points(), ring->PointCount()});
    return rings;
}

std::optional<CPoint2D> CGLDrawNetwork::PolygonCentre(std::int32_t polygon) const
{
    CExtent box = CExtent::Empty();
    for (const RingPoints& ring : RingsOf(polygon))
        for (std::int32_t i = 0; i < ring.Count; ++i)
            box.Include(ring.XY[2 * i], ring.XY[2 * i + 1]);
    if (box.MinX > box.MaxX)
        return std::nullopt;
    return CPoint2D{(box.MinX + box.MaxX) / 2.0, (box.MinY + box.MaxY) / 2.0};
}

std::int32_t CGLDrawNetwork::PolygonAt(const CPoint2D& world) const
{
    if (Frame != nullptr)
        return tessaro::PolygonAt(Frame->Polygons, world);
    return Network != nullptr ? tessaro::PolygonAt(Network->PolygonLayer(), world) : -1;
}

bool CGLDrawNetwork::ShowsFills() const
{
    return Flags.ShowPolygons && Coloring.Fills.size() == static_cast<size_t>(PolygonCount()) && Coloring.Filled();
}

bool CGLDrawNetwork::ShowsQuadtree() const
{
    return Style.ShowQuadtree && (Flags.ShowQuadtree || Flags.ShowQuadtreeNodes);
}

// Calls visit(points, point count) for every ring, polygon by polygon, ring by ring.
template <class Visit> void CGLDrawNetwork::ForEachRing(Visit visit) const
{
    if (Frame != nullptr) {
        for (const CRoundFrame::PolygonRings& polygon : Frame->Polygons)
            for (const std::vector<double>& ring : polygon)
                visit(ring.data(), static_cast<std::int32_t>(ring.size() / 2));
        return;
    }
    if (Network == nullptr)
        return;
    for (const auto& polygon : Network->Polygons())
        for (const auto& ring : polygon->Rings())
            visit(ring->Points(), ring->PointCount());
}

// Calls visit(chain) for every chain of the best route: from the destination along the
// Previous links until the origin has been handled, each chain that joins a node to its
// Previous node in either direction. A chain of links that never reaches the origin ends where
// a node has no Previous; a cycle ends after as many steps as there are nodes.
template <class Visit> void CGLDrawNetwork::ForEachRouteChain(Visit visit) const
{
    if (Route == nullptr || Network == nullptr)
        return;
    const CNetworkNode* node = Route->Destination();
    for (std::uint32_t step = 0; node != nullptr && step <= Network->NodeCount(); ++step) {
        const CNetworkNode* previous = node->Attribute().Previous;
        if (previous != nullptr) {
            for (std::uint32_t i = 0; i < node->ChainCount(); ++i) {
                const CNetworkChain* chain = node->GetChain(static_cast<std::int32_t>(i));
                if (chain != nullptr && ((chain->From() == node && chain->To() == previous) ||
                                         (chain->To() == node && chain->From() == previous)))
                    visit(*chain);
            }
        }
        if (node == Route->Origin())
            break;
        node = previous;
    }
}

void CGLDrawNetwork::DrawScene() const
{
    DrawHighlight();
    DrawRouteEnds();
    DrawCompanions();
    if (Flags.ShowNodeMarkers)
        DrawNodeMarkers();
    if (Flags.ShowPointFeatures)
        DrawPointFeatures();
    if (Flags.ShowPolygons)
        DrawPolygons();
    if (ShowsQuadtree())
        DrawQuadtree();
    DrawRoute();
    DrawChains();
    if (Flags.ShowBoundary)
        DrawBoundary();
    if (ShowsFills())
        DrawFills();
}

void CGLDrawNetwork::DrawHighlight() const
{
    const std::vector<RingPoints> rings = RingsOf(Highlight);
    if (rings.empty())
        return;
    glLineWidth(static_cast<GLfloat>(HighlightWidth));
    Color(HighlightColor);
    for (const RingPoints& ring : rings) {
        glBegin(GL_LINE_STRIP);
        for (std::int32_t i = 0; i < ring.Count; ++i)
            Vertex(ring.XY[2 * i], ring.XY[2 * i + 1]);
        glEnd();
    }
    glLineWidth(1.0f);
}

void CGLDrawNetwork::DrawFills() const
{
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    CPolygonTessellator tessellator;
    std::vector<std::vector<CPolygonTessellator::Vertex>> rings;
    for (std::int32_t polygon = 0; polygon < PolygonCount(); ++polygon) {
        rings.clear();
        for (const RingPoints& ring : RingsOf(polygon)) {
            auto& device = rings.emplace_back();
            device.reserve(static_cast<size_t>(ring.Count));
            for (std::int32_t i = 0; i < ring.Count; ++i) {
                const DevicePoint p = ToDevice(ring.XY[2 * i], ring.XY[2 * i + 1]);
                device.push_back({p.X, p.Y, 0.0});
            }
        }
        Color(Coloring.Fills[static_cast<size_t>(polygon)]);
        tessellator.Fill(rings);
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
}

void CGLDrawNetwork::DrawRouteEnds() const
{
    glPointSize(static_cast<GLfloat>(RouteEndSize));
    glBegin(GL_POINTS);
    Color(Red);
    if (Route != nullptr) {
        for (const CNetworkNode* end : {Route->Origin(), Route->Destination()})
            if (end != nullptr)
                Vertex(end->X(), end->Y());
    }
    Color(Blue);
    if (ServiceCenter != nullptr)
        Vertex(ServiceCenter->X(), ServiceCenter->Y());
    glEnd();
}

const std::vector<CShapeLayer>* CGLDrawNetwork::ShownCompanions() const
{
    return Frame == nullptr ? Companions : nullptr;
}

void CGLDrawNetwork::DrawCompanions() const
{
    const std::vector<CShapeLayer>* layers = ShownCompanions();
    if (layers == nullptr)
        return;
    Color(Orange);
    glLineWidth(static_cast<GLfloat>(CompanionLineWidth));
    const auto strip = [this](GLenum mode, const std::vector<CPoint2D>& points) {
        glBegin(mode);
        for (const CPoint2D& p : points)
            Vertex(p.X, p.Y);
        glEnd();
    };
    for (const CShapeLayer& layer : *layers) {
        for (const auto& ring : layer.Rings)
            strip(GL_LINE_LOOP, ring);
        for (const auto& line : layer.Lines)
            strip(GL_LINE_STRIP, line);
        glPointSize(static_cast<GLfloat>(CompanionPointSize));
        strip(GL_POINTS, layer.Points);
    }
    glLineWidth(1.0f);
}

void CGLDrawNetwork::DrawNodeMarkers() const
{
    if (Network == nullptr)
        return;
    glPointSize(static_cast<GLfloat>(NodeMarkerSize));
    glBegin(GL_POINTS);
    for (const CNetworkNode* node : Network->Nodes()) {
        const std::uint32_t flags = node->Attribute().Flags;
        if ((flags & CNetworkNodeAttribute::FinishedFlag) != 0)
            Color(Green);
        else if ((flags & CNetworkNodeAttribute::ReachedFlag) != 0)
            Color(Red);
        else
            Color(Cyan);
        Vertex(node->X(), node->Y());
    }
    glEnd();
}

void CGLDrawNetwork::DrawPointFeatures() const
{
    if (Network == nullptr)
        return;
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glPointSize(static_cast<GLfloat>(PointFeatureSize));
    Color(Blue);
    for (const CFacilityObjectList* layer : Network->Facilities()) {
        glBegin(GL_POINTS);
        for (const auto& facility : layer->Facilities())
            Vertex(facility->X, facility->Y);
        glEnd();
    }
    glDisable(GL_BLEND);
    glDisable(GL_POINT_SMOOTH);
}

void CGLDrawNetwork::DrawPolygons() const
{
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    if (Style.IsClassic()) {
        glLineWidth(1.0f);
        Color(Teal);
    } else {
        glLineWidth(static_cast<GLfloat>(Style.OutlineWidth));
        Color(Style.OutlineColor);
    }
    ForEachRing([this](const double* xy, std::int32_t count) {
        glBegin(GL_LINE_STRIP);
        for (std::int32_t i = 0; i < count; ++i)
            Vertex(xy[2 * i], xy[2 * i + 1]);
        glEnd();
    });
    glLineWidth(1.0f);
    if (!Flags.ShowPolygonVertices)
        return;
    glPointSize(static_cast<GLfloat>(VertexSize));
    Color(Cyan);
    glBegin(GL_POINTS);
    ForEachRing([this](const double* xy, std::int32_t count) {
        for (std::int32_t i = 0; i < count; ++i)
            Vertex(xy[2 * i], xy[2 * i + 1]);
    });
    glEnd();
}

void CGLDrawNetwork::DrawQuadtree() const
{
    glLineWidth(1.0f);
    glPointSize(static_cast<GLfloat>(QuadtreeNodeSize));
    for (const Cell& c : Cells()) {
        // c0 bottom-left, c1 top-left, c2 top-right, c3 bottom-right.
        if (Flags.ShowQuadtree) {
            Color(DarkGrey);
            glBegin(GL_LINE_STRIP);
            for (const int k : {0, 3, 2, 1, 0})
                Vertex(c[k].X, c[k].Y);
            glEnd();
        }
        if (Flags.ShowTreeDiagonal) {
            Color(GreenGrey);
            glBegin(GL_LINES);
            for (const int k : {0, 2, 1, 3})
                Vertex(c[k].X, c[k].Y);
            glEnd();
        }
        if (Flags.ShowQuadtreeNodes) {
            Color(Grey);
            glBegin(GL_POINTS);
            for (const int k : {0, 3, 2, 1, 0})
                Vertex(c[k].X, c[k].Y);
            glEnd();
        }
    }
}

void CGLDrawNetwork::DrawRoute() const
{
    glLineWidth(static_cast<GLfloat>(RouteWidth));
    Color(Magenta);
    ForEachRouteChain([this](const CNetworkChain& chain) {
        glBegin(GL_LINE_STRIP);
        for (std::int32_t i = 0; i < chain.PointCount(); ++i)
            Vertex(chain.Points()[2 * i], chain.Points()[2 * i + 1]);
        glEnd();
    });
}

void CGLDrawNetwork::DrawChains() const
{
    if (Network == nullptr)
        return;
    glLineWidth(1.0f);
    Color(Yellow);
    for (const CNetworkChain* chain : Network->Chains()) {
        const double* xy = chain->Points();
        glBegin(GL_LINE_STRIP);
        for (std::int32_t i = 0; i < chain->PointCount(); ++i)
            Vertex(xy[2 * i], xy[2 * i + 1]);
        glEnd();
    }
}

void CGLDrawNetwork::DrawBoundary() const
{
    if (Network == nullptr)
        return;
    const CExtent& e = Network->Extent();
    glLineWidth(1.0f);
    Color(Red);
    glBegin(GL_LINE_LOOP);
    Vertex(e.MinX, e.MinY);
    Vertex(e.MaxX, e.MinY);
    Vertex(e.MaxX, e.MaxY);
    Vertex(e.MinX, e.MaxY);
    glEnd();
}

void CGLDrawNetwork::DrawPickNodes() const
{
    if (Network == nullptr)
        return;
    glPointSize(static_cast<GLfloat>(PickNodeSize));
    Color(Cyan);
    GLuint name = 0;
    for (const CNetworkNode* node : Network->Nodes()) {
        glLoadName(name++);
        glBegin(GL_POINTS);
        Vertex(node->X(), node->Y());
        glEnd();
    }
}

void CGLDrawNetwork::RenderPicture(CPictureCanvas& canvas, std::int32_t width, std::int32_t height, double margin,
                                   std::int32_t vertexDotRadius, bool hollow) const
{
    if (Network == nullptr)
        return;
    const CPictureMapping map = CPictureMapping::Make(DrawnExtent(), width, height, margin);
    const bool classic = Style.IsClassic();
    if (!classic) {
        canvas.SetPen(0, Style.Background);
        canvas.SetBrush(Style.Background);
        canvas.Polygon({{0, 0}, {width, 0}, {width, -height}, {0, -height}});
    }
    const auto segments = [&canvas, &map](const CNetworkChain& chain, bool endsFromNodes) {
        const std::int32_t n = chain.PointCount();
        const double* xy = chain.Points();
        const auto point = [&](std::int32_t i) {
            if (endsFromNodes && i == 0 && chain.From() != nullptr)
                return map.Map(chain.From()->X(), chain.From()->Y());
            if (endsFromNodes && i == n - 1 && chain.To() != nullptr)
                return map.Map(chain.To()->X(), chain.To()->Y());
            return map.Map(xy[2 * i], xy[2 * i + 1]);
        };
        for (std::int32_t i = 0; i + 1 < n; ++i) {
            canvas.MoveTo(point(i));
            canvas.LineTo(point(i + 1));
        }
    };

    canvas.SetPen(0, PictureBlack);
    canvas.SetBrush(std::nullopt);
    for (const CNetworkChain* chain : Network->Chains())
        segments(*chain, true);

    canvas.SetPen(WidePen, PictureRed);
    ForEachRouteChain([&segments](const CNetworkChain& chain) { segments(chain, false); });

    if (Flags.ShowPolygons) {
        if (classic)
            RenderClassicPolygons(canvas, map, hollow);
        else
            RenderStyledPolygons(canvas, map, hollow);
        if (vertexDotRadius > 0)
            RenderVertexDots(canvas, map, vertexDotRadius);
    }
    if (Style.ShowQuadtree)
        RenderQuadtree(canvas, map);
    RenderCompanions(canvas, map);
    RenderRouteEnds(canvas, map);
    RenderHighlight(canvas, map);
    if (!classic && !hollow && ShowsFills() && !Coloring.Legend.empty())
        RenderLegend(canvas, height);
}

void CGLDrawNetwork::RenderClassicPolygons(CPictureCanvas& canvas, const CPictureMapping& map, bool hollow) const
{
    canvas.SetPen(WidePen, PictureRed);
    canvas.SetBrush(hollow ? std::nullopt : std::optional<CPictureColor>(LightGreyBrush));
    std::vector<CPicturePoint> outline;
    ForEachRing([&](const double* xy, std::int32_t count) {
        outline.clear();
        for (std::int32_t i = 0; i < count; ++i)
            outline.push_back(map.Map(xy[2 * i], xy[2 * i + 1]));
        if (!outline.empty())
            canvas.Polygon(outline);
    });
}

std::vector<std::vector<CPicturePoint>> CGLDrawNetwork::PictureRings(std::int32_t polygon,
                                                                     const CPictureMapping& map) const
{
    std::vector<std::vector<CPicturePoint>> rings;
    for (const RingPoints& ring : RingsOf(polygon)) {
        auto& points = rings.emplace_back();
        for (std::int32_t i = 0; i < ring.Count; ++i)
            points.push_back(map.Map(ring.XY[2 * i], ring.XY[2 * i + 1]));
    }
    return rings;
}

// Every fill first and the outlines over them, so that no neighbour's fill covers half an
// outline. A fill is edged in its own colour, which closes the hairline seams a reader's
// anti-aliasing leaves between neighbours.
void CGLDrawNetwork::RenderStyledPolygons(CPictureCanvas& canvas, const CPictureMapping& map, bool hollow) const
{
    if (!hollow && ShowsFills()) {
        std::optional<CPictureColor> current;
        for (std::int32_t polygon = 0; polygon < PolygonCount(); ++polygon) {
            const CPictureColor fill = Coloring.Fills[static_cast<size_t>(polygon)];
            if (fill != current) {
                canvas.SetPen(0, fill);
                canvas.SetBrush(fill);
                current = fill;
            }
            canvas.PolyPolygon(PictureRings(polygon, map));
        }
    }
    canvas.SetPen(CPictureMapping::Truncate(Style.OutlineWidth * PicturePixel), Style.OutlineColor);
    canvas.SetBrush(std::nullopt);
    for (std::int32_t polygon = 0; polygon < PolygonCount(); ++polygon)
        canvas.PolyPolygon(PictureRings(polygon, map));
}

void CGLDrawNetwork::RenderVertexDots(CPictureCanvas& canvas, const CPictureMapping& map, std::int32_t radius) const
{
    canvas.SetPen(WidePen, PictureBlue);
    const std::int32_t r = radius;
    ForEachRing([&](const double* xy, std::int32_t count) {
        // The closing vertex repeats the first.
        for (std::int32_t i = 0; i + 1 < count; ++i) {
            const CPicturePoint p = map.Map(xy[2 * i], xy[2 * i + 1]);
            canvas.Ellipse(p.X - r, p.Y + r, p.X + r, p.Y - r);
        }
    });
}

void CGLDrawNetwork::RenderQuadtree(CPictureCanvas& canvas, const CPictureMapping& map) const
{
    const std::vector<Cell> cells = Flags.ShowQuadtree || Flags.ShowQuadtreeNodes ? Cells() : std::vector<Cell>{};
    if (Flags.ShowQuadtree) {
        canvas.SetPen(WidePen, PictureCellGrey);
        canvas.SetBrush(std::nullopt);
        for (const Cell& c : cells)
            canvas.Polygon(
                {map.Map(c[0].X, c[0].Y), map.Map(c[3].X, c[3].Y), map.Map(c[2].X, c[2].Y), map.Map(c[1].X, c[1].Y)});
    }
    if (Flags.ShowQuadtreeNodes) {
        canvas.SetPen(VertexPenWidth, PictureVertexPen);
        canvas.SetBrush(DarkGreyBrush);
        std::vector<double> xy;
        if (Frame == nullptr && QuadTree != nullptr)
            QuadTree->CollectPoints(xy, QuadTree->CurrentMap);
        else
            for (const Cell& c : cells)
                for (const CPoint2D& corner : c)
                    xy.insert(xy.end(), {corner.X, corner.Y});
        for (size_t k = 0; k + 1 < xy.size(); k += 2) {
            const double x = map.X(xy[k]);
            const double y = map.Y(xy[k + 1]);
            canvas.Ellipse(CPictureMapping::Truncate(x - QuadtreeVertexRadius),
                           CPictureMapping::Truncate(y + QuadtreeVertexRadius),
                           CPictureMapping::Truncate(x + QuadtreeVertexRadius),
                           CPictureMapping::Truncate(y - QuadtreeVertexRadius));
        }
    }
}

void CGLDrawNetwork::RenderRouteEnds(CPictureCanvas& canvas, const CPictureMapping& map) const
{
    if (Route == nullptr)
        return;
    const auto square = [&canvas, &map](const CNetworkNode& node, CPictureColor color) {
        const CPicturePoint p = map.Map(node.X(), node.Y());
        const std::int32_t h = RouteEndHalfSide;
        canvas.SetPen(0, color);
        canvas.SetBrush(color);
        canvas.Polygon({{p.X - h, p.Y - h}, {p.X + h, p.Y - h}, {p.X + h, p.Y + h}, {p.X - h, p.Y + h}});
    };
    if (Route->Origin() != nullptr) {
        square(*Route->Origin(), PictureBlue);
        if (Route->Destination() != nullptr)
            square(*Route->Destination(), PictureCyan);
    }
}

void CGLDrawNetwork::RenderHighlight(CPictureCanvas& canvas, const CPictureMapping& map) const
{
    if (RingsOf(Highlight).empty())
        return;
    canvas.SetPen(CPictureMapping::Truncate(HighlightWidth * PicturePixel), HighlightColor);
    canvas.SetBrush(std::nullopt);
    canvas.PolyPolygon(PictureRings(Highlight, map));
}

// A white panel at the page's bottom-left: the title, then a swatch and a label per entry.
void CGLDrawNetwork::RenderLegend(CPictureCanvas& canvas, std::int32_t height) const
{
    double textWidth = TextWidth(Coloring.LegendTitle, LegendTitleHeight);
    for (const ColorLegendEntry& entry : Coloring.Legend)
        textWidth = std::max(textWidth, SwatchWidth + LegendPadding / 2 + TextWidth(entry.Label, LegendTextHeight));
    const auto lines = static_cast<std::int32_t>(Coloring.Legend.size()) + 1;
    const std::int32_t panelWidth = CPictureMapping::Truncate(textWidth) + 2 * LegendPadding;
    const std::int32_t panelHeight = lines * LegendLine + 2 * LegendPadding;
    const std::int32_t left = LegendMargin;
    const std::int32_t bottom = -height + LegendMargin;
    const std::int32_t top = bottom + panelHeight;
    canvas.SetPen(0, LegendFrame);
    canvas.SetBrush(PictureWhite);
    canvas.Polygon({{left, bottom}, {left + panelWidth, bottom}, {left + panelWidth, top}, {left, top}});

    const std::int32_t x = left + LegendPadding;
    std::int32_t baseline = top - LegendPadding - LegendTitleHeight;
    canvas.Text({x, baseline}, Coloring.LegendTitle, LegendTitleHeight, PictureBlack);
    for (const ColorLegendEntry& entry : Coloring.Legend) {
        baseline -= LegendLine;
        const std::int32_t swatchBottom = baseline - LegendTextHeight / 8;
        canvas.SetPen(0, LegendFrame);
        canvas.SetBrush(entry.Color);
        canvas.Polygon({{x, swatchBottom},
                        {x + SwatchWidth, swatchBottom},
                        {x + SwatchWidth, swatchBottom + SwatchHeight},
                        {x, swatchBottom + SwatchHeight}});
        canvas.Text({x + SwatchWidth + LegendPadding / 2, baseline}, entry.Label, LegendTextHeight, PictureBlack);
    }
}

void CGLDrawNetwork::RenderCompanions(CPictureCanvas& canvas, const CPictureMapping& map) const
{
    const std::vector<CShapeLayer>* layers = ShownCompanions();
    if (layers == nullptr)
        return;
    canvas.SetPen(WidePen, PictureOrange);
    canvas.SetBrush(std::nullopt);
    std::vector<CPicturePoint> outline;
    const auto mapped = [&](const std::vector<CPoint2D>& points) {
        outline.clear();
        for (const CPoint2D& p : points)
            outline.push_back(map.Map(p.X, p.Y));
        return outline;
    };
    for (const CShapeLayer& layer : *layers) {
        for (const auto& ring : layer.Rings)
            canvas.Polygon(mapped(ring));
        for (const auto& line : layer.Lines) {
            mapped(line);
            for (size_t i = 0; i + 1 < outline.size(); ++i) {
                canvas.MoveTo(outline[i]);
                canvas.LineTo(outline[i + 1]);
            }
        }
    }
    canvas.SetBrush(PictureOrange);
    const std::int32_t r = CompanionDotRadius;
    for (const CShapeLayer& layer : *layers)
        for (const CPoint2D& point : layer.Points) {
            const CPicturePoint p = map.Map(point.X, point.Y);
            canvas.Ellipse(p.X - r, p.Y + r, p.X + r, p.Y - r);
        }
}

} // namespace tessaro
