#pragma once

#include "engine/QuadTree.h"
#include "network/Network.h"
#include "tests/support/PolygonFixtures.h"

#include <QColor>
#include <QImage>
#include <QPointF>

#include <cmath>
#include <cstdlib>

// The small scene the drawer and view tests look at, in world units inside the extent
// (0, 0)-(100, 50): a road of three straight chains A(10, 5) - B(90, 5) - C(90, 45) - D(50, 45),
// a square polygon (20, 20)-(35, 35), and a uniform quadtree of 4 x 4 cells of side 25 over
// (-10, -10)-(90, 90), none of whose lines lies on the extent's edges.
namespace tessaro::test {

inline void BuildProbeNetwork(CNetwork& network)
{
    network.SetKeyMode(KeyByCoordinates);
    const double road[][4] = {{10, 5, 90, 5}, {90, 5, 90, 45}, {90, 45, 50, 45}};
    for (const auto& ends : road) {
        auto chain = std::make_unique<CNetworkChain>();
        chain->SetPoints(2, ends);
        network.AddChain(std::move(chain));
    }
    network.BuildTopology();
    network.ComputeChainLengths();
    network.AddPolygon(MakePolygon({SquarePoints(20, 20, 15)}));
    network.SetExtent(CExtent{0, 0, 100, 50}, true);
}

inline CNetworkNode* NodeAt(CNetwork& network, double x, double y)
{
    for (CNetworkNode* node : network.Nodes())
        if (node->X() == x && node->Y() == y)
            return node;
    return nullptr;
}

inline void BuildProbeQuadTree(CQuadTree& tree)
{
    std::vector<double> centres;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            centres.insert(centres.end(), {2.5 + 25.0 * i, 2.5 + 25.0 * j});
    CTreeRect root{-10, 90, 90, -10};
    tree.BuildForPoints(root, 2, 16, centres.data());
}

// Where the fixed camera shows a device point (x, y) of [-1, 1]^2 in a w x h picture: the
// frustum's near plane 0.02 seen from 0.023 shrinks it about the centre.
inline QPointF ScreenPixel(double x, double y, int w, int h)
{
    constexpr double Shrink = 0.02 / 0.023;
    return {(Shrink * x + 1.0) / 2.0 * w, (1.0 - Shrink * y) / 2.0 * h};
}

// Whether a pixel within one of `at` has the colour, each channel within 2 of it (the 8-bit
// rounding of the drawer's fractions).
inline bool ColourNear(const QImage& image, QPointF at, QColor colour)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p(int(std::floor(at.x())) + dx, int(std::floor(at.y())) + dy);
            if (!image.rect().contains(p))
                continue;
            const QColor c = image.pixelColor(p);
            if (std::abs(c.red() - colour.red()) <= 2 && std::abs(c.green() - colour.green()) <= 2 &&
                std::abs(c.blue() - colour.blue()) <= 2)
                return true;
        }
    return false;
}

} // namespace tessaro::test
