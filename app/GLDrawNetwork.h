#pragma once

#include "app/DisplayFlags.h"
#include "document/MapColoring.h"
#include "document/MapStyle.h"
#include "geometry/Extent.h"
#include "geometry/Point2D.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tessaro {

class CNetwork;
class CNetworkChain;
class CNetworkNode;
struct CPictureMapping;
class CQuadTree;
class CShortestPath;
struct CRoundFrame;
struct CShapeLayer;

// Draws the network view's scene: with OpenGL into the current context (DrawScene,
// DrawPickNodes), or as a vector picture through a picture canvas (RenderPicture). It needs no
// window: the view sets the borrowed pointers, the scale and the canvas window before every
// frame, and a test may draw into an off-screen context.
//
// World to device: canvas x = (X - MinX) * Scale and canvas y = (Y - MaxY) * Scale (0.1 mm,
// y upward, so the map lies at or below 0), then the canvas window from ScrollX, ScrollY of
// ClientWidth by ClientHeight (negative, canvas y grows upward) becomes [-1, 1]^2.
class CGLDrawNetwork {
public:
    struct DevicePoint {
        double X = 0.0;
        double Y = 0.0;
    };

    virtual ~CGLDrawNetwork() = default;

    // The extent the scene is fitted to: the live round's while one is shown, else the
    // network's.
    CExtent DrawnExtent() const;
    DevicePoint ToDevice(double x, double y) const;

    // The layers, each where its flag asks for it, first drawn on top (the depth test keeps
    // the first fragment at equal depth): the highlighted polygon's outline, origin and
    // destination, service centre, the companion layers moved with the last cartogram, node
    // markers, point features, polygons and their vertices, quadtree cells, diagonals and
    // vertices, the best route, the chains, the boundary, and under everything the polygons'
    // fills of the style. The background is the caller's (BeginFrame).
    void DrawScene() const;
    // Every node as a point under its position in the node list as its selection name.
    void DrawPickNodes() const;

    // The scene as a vector picture on a begun canvas of `width` x `height` (0.01 mm), the
    // extent fitted into it less `margin` and centred: the chains (default pen), the best
    // route, the polygons filled light grey or `hollow` (with a dot of `vertexDotRadius` on
    // every vertex when that is positive), the quadtree cells and vertices, and squares on the
    // origin and the destination, the companion layers over everything.
    //
    // A style other than the classic one draws as the screen does: its background over the
    // page, the polygons filled as the coloring says (unless `hollow`) and outlined in its
    // colour and width, the quadtree as it says, and the legend at the page's bottom-left. The
    // highlighted polygon's outline goes on top in either case.
    void RenderPicture(CPictureCanvas& canvas, std::int32_t width, std::int32_t height, double margin,
                       std::int32_t vertexDotRadius, bool hollow) const;

    // The number of polygons of the drawn layer: the running round's, else the network's.
    std::int32_t PolygonCount() const;
    // The centre of a polygon's box in world units; none for a polygon that is not there.
    std::optional<CPoint2D> PolygonCentre(std::int32_t polygon) const;
    // The polygon of the drawn layer under a world point (even-odd over its rings); -1 for none.
    std::int32_t PolygonAt(const CPoint2D& world) const;

    // The colour of the highlighted polygon's outline, and its width in pixels.
    static constexpr CPictureColor HighlightColor{0, 255, 0};
    static constexpr double HighlightWidth = 3.0;

    // Borrowed, refreshed by the view before every frame; null skips its layers.
    const CNetwork* Network = nullptr;
    const CShortestPath* Route = nullptr;
    const CNetworkNode* ServiceCenter = nullptr;
    const CQuadTree* QuadTree = nullptr;
    // A running cartogram's round: its polygons and cells replace the network's polygons and
    // the quadtree.
    const CRoundFrame* Frame = nullptr;
    // Layers moved with the map by the last cartogram, drawn over it unless a running round is
    // shown (they follow the result, not the rounds).
    const std::vector<CShapeLayer>* Companions = nullptr;

    double Scale = 1.0;
    double ScrollX = 0.0;
    double ScrollY = 0.0;
    double ClientWidth = 1.0;
    double ClientHeight = -1.0;
    CDisplayFlags Flags;

    // How the polygons, the background and the quadtree are drawn.
    MapStyle Style;
    // The fill of each polygon of the drawn layer and the legend, made from the style; fills
    // that do not match the drawn layer's polygons are not drawn.
    MapColoring Coloring;
    // A polygon of the drawn layer outlined thick on top of everything; -1 for none.
    std::int32_t Highlight = -1;
    // A screen pixel in picture units (0.01 mm), for the style's widths in a picture.
    double PicturePixel = 2540.0 / 96.0;

private:
    using Cell = std::array<CPoint2D, 4>; // bottom-left, top-left, top-right, bottom-right
    struct RingPoints {
        const double* XY;
        std::int32_t Count;
    };

    void Vertex(double x, double y) const;
    std::vector<Cell> Cells() const;
    std::vector<RingPoints> RingsOf(std::int32_t polygon) const;
    bool ShowsFills() const;
    bool ShowsQuadtree() const;
    template <class Visit> void ForEachRing(Visit visit) const;
    template <class Visit> void ForEachRouteChain(Visit visit) const;

    void DrawRouteEnds() const;
    void DrawCompanions() const;
    const std::vector<CShapeLayer>* ShownCompanions() const;
    void DrawNodeMarkers() const;
    void DrawPointFeatures() const;
    void DrawPolygons() const;
    void DrawQuadtree() const;
    void DrawRoute() const;
    void DrawChains() const;
    void DrawBoundary() const;
    void DrawFills() const;
    void DrawHighlight() const;
    void RenderClassicPolygons(CPictureCanvas& canvas, const CPictureMapping& map, bool hollow) const;
    void RenderStyledPolygons(CPictureCanvas& canvas, const CPictureMapping& map, bool hollow) const;
    void RenderVertexDots(CPictureCanvas& canvas, const CPictureMapping& map, std::int32_t radius) const;
    void RenderQuadtree(CPictureCanvas& canvas, const CPictureMapping& map) const;
    void RenderRouteEnds(CPictureCanvas& canvas, const CPictureMapping& map) const;
    void RenderHighlight(CPictureCanvas& canvas, const CPictureMapping& map) const;
    void RenderLegend(CPictureCanvas& canvas, std::int32_t height) const;
    std::vector<std::vector<CPicturePoint>> PictureRings(std::int32_t polygon, const CPictureMapping& map) const;
    void RenderCompanions(CPictureCanvas& canvas, const CPictureMapping& map) const;
};

} // namespace tessaro
