#include "engine/CartogramSetup.h"

#include "engine/CartoParams.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

void SetDepths(const CPolygonLayer& layer, const CartoParams& params, CartogramSetup& setup)
{
    const double width = setup.InitialBox.MaxX - setup.InitialBox.MinX;
    const double height = setup.InitialBox.MaxY - setup.InitialBox.MinY;
    setup.Depth = params.TreeDepth < 2 ? AutomaticDepth(layer, width, height) : params.TreeDepth;
    setup.MinDepth = params.MinTreeDepth;
    if (setup.MinDepth > setup.Depth)
        setup.MinDepth = setup.Depth;
    else if (setup.MinDepth < setup.Depth)
        setup.Adaptive = setup.MinDepth >= 2;
}

// Grid lines of the squared extended box, one per cell edge of a full tree of the run's depth.
void SetGridLines(CartogramSetup& setup)
{
    CTreeRect squared = setup.ExtendedBox;
    CQuadTree::MakeSquare(squared);
    setup.GridCount = 1 << setup.Depth;
    const double cell = (squared.Right - squared.Left) / setup.GridCount;
    setup.Xs.resize(static_cast<size_t>(setup.GridCount) + 1);
    setup.Ys.resize(static_cast<size_t>(setup.GridCount) + 1);
    for (int k = 0; k <= setup.GridCount; ++k) {
        setup.Xs[static_cast<size_t>(k)] = squared.Left + k * cell;
        setup.Ys[static_cast<size_t>(k)] = squared.Bottom + k * cell;
    }
}

} // namespace

// Boxes of zero width or height say nothing about the needed resolution and are skipped.
int AutomaticDepth(const CPolygonLayer& layer, double width, double height)
{
    double minW = 1e308;
    double minH = 1e308;
    bool usable = false;
    for (const auto& polygon : layer.Polygons()) {
        const double w = polygon->MaxX() - polygon->MinX();
        const double h = polygon->MaxY() - polygon->MinY();
        if (!(w > 0.0) || !(h > 0.0))
            continue;
        usable = true;
        minW = std::min(minW, w);
        minH = std::min(minH, h);
    }
    if (!usable)
        return 3;
    const double d = std::min(width / minW, height / minH);
    const double q = std::floor(1.4427 * std::log(d)) - 1.0;
    if (!std::isfinite(q) || q < 3.0)
        return 3;
    return q > 12.0 ? 12 : static_cast<int>(q);
}

double AutomaticZeroTolerance(const CTreeRect& box)
{
    const double m = std::max({std::fabs(box.Left), std::fabs(box.Top), std::fabs(box.Right), std::fabs(box.Bottom)});
    if (!(m > 0.0) || !std::isfinite(m))
        return 1e-11;
    const double e = std::trunc(std::log10(m));
    return std::pow(10.0, e - 11.0);
}

CartogramSetup MakeCartogramSetup(const CPolygonLayer& layer, const CExtent& initialBox, const CartoParams& params)
{
    CartogramSetup setup;
    setup.AutoExaggeration = params.ShrinkRate <= 0.1 || params.EnlargeRate <= 0.1;
    setup.InitialBox = initialBox;
    const double width = setup.InitialBox.MaxX - setup.InitialBox.MinX;
    const double height = setup.InitialBox.MaxY - setup.InitialBox.MinY;
    SetDepths(layer, params, setup);
    setup.DensifyStep = std::max(width, height) / std::ldexp(1.0, setup.Depth + 2);
    setup.ExtendedBox = CTreeRect{setup.InitialBox.MinX - 0.04 * width, setup.InitialBox.MaxY + 0.04 * height,
                                  setup.InitialBox.MaxX + 0.04 * width, setup.InitialBox.MinY - 0.04 * height};
    const CTreeRect& box = setup.ExtendedBox;
    setup.ExtSide = std::max(std::fabs(box.Right - box.Left), std::fabs(box.Top - box.Bottom));
    SetGridLines(setup);
    setup.ZeroTolerance = params.ZeroTolerance > 0.0 ? params.ZeroTolerance : AutomaticZeroTolerance(box);
    setup.RadiusCorrection = std::trunc(params.RadiusCorrection);
    return setup;
}

} // namespace tessaro
