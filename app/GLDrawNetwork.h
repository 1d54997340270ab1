#pragma once

#include "app/DisplayFlags.h"
#include "geometry/Extent.h"
#include "geometry/Point2D.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tessaro {

class CNetwork;
class CNetworkChain;
class CNetworkNode;
class CPictureCanvas;
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
    // the first fragment at equal depth): origin and destination, service centre, the
    // companion layers moved with the last cartogram, node
    // markers, point features, polygons and their vertices, quadtree cells, diagonals and
    // vertices, the best route, the chains, the boundary.
    void DrawScene() const;
    // Every node as a point under its position in the node list as its selection name.
    void DrawPickNodes() const;

    // The scene as a vector picture on a begun canvas of `width` x `height` (0.01 mm), the
    // extent fitted into it less `margin` and centred: the chains (default pen), the best
    // route, the polygons filled light grey or `hollow` (with a dot of `vertexDotRadius` on
    // every vertex when that is positive), the quadtree cells and vertices, and squares on the
    // origin and the destination, the companion layers over everything.
    void RenderPicture(CPictureCanvas& canvas, std::int32_t width, std::int32_t height, double margin,
                       std::int32_t vertexDotRadius, bool hollow) const;

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

private:
    using Cell = std::array<CPoint2D, 4>; // bottom-left, top-left, top-right, bottom-right

    void Vertex(double x, double y) const;
    std::vector<Cell> Cells() const;
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
    void RenderCompanions(CPictureCanvas& canvas, const CPictureMapping& map) const;
};

} // namespace tessaro
