#include "engine/MapFrame.h"

#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tessaro {
namespace {

// A map whose longer side is from 2^MinSideExponent to 2^(MaxSideExponent + 1) keeps its size:
// the loop's tolerances were set on such maps, from a few units to a continent in metres. Any
// other is scaled so that its longer side is from 2^FrameSideExponent up to twice that.
constexpr int MinSideExponent = 0;
constexpr int MaxSideExponent = 23;
constexpr int FrameSideExponent = 22;
// An offset is a multiple of the power of two at or below side / 2^OffsetGrainExponent.
constexpr int OffsetGrainExponent = 4;

// The offset along one axis: none when the map reaches within its own size of the origin;
// otherwise its centre rounded to a grain that is a multiple of every coordinate's last digit,
// so that x − offset is exact.
double AxisOffset(double low, double high)
{
    const double side = high - low;
    const double centre = low + side / 2.0;
    if (!(std::fabs(centre) > side) || !std::isfinite(centre) || !(side > 0.0))
        return 0.0;
    const double largest = std::max(std::fabs(low), std::fabs(high));
    const double lastDigit = largest * std::numeric_limits<double>::epsilon();
    const double grain = std::max(std::exp2(std::floor(std::log2(side)) - OffsetGrainExponent),
                                  std::exp2(std::ceil(std::log2(lastDigit))));
    return std::round(centre / grain) * grain;
}

template <typename Move> void MoveLayer(CPolygonLayer& layer, Move&& move)
{
    std::vector<double> xy;
    for (uint32_t p = 0; p < layer.Count(); ++p) {
        CSimplePolygon& polygon = layer.Polygon(p);
        xy.resize(2 * static_cast<size_t>(std::max(polygon.TotalPointCount(), 0)));
        if (xy.empty() || !polygon.CopyPointsTo(xy.data()))
            continue;
        for (size_t k = 0; k + 1 < xy.size(); k += 2) {
            const CPoint2D moved = move(CPoint2D{xy[k], xy[k + 1]});
            xy[k] = moved.X;
            xy[k + 1] = moved.Y;
        }
        polygon.SetPointsFrom(xy.data(), true);
    }
}

template <typename Move> void MoveTree(CQuadTree& tree, Move&& move)
{
    for (CVertexMap& map : tree.VertexMaps)
        map.MovePoints(move);
}

} // namespace

CMapFrame::CMapFrame(const CExtent& box)
{
    const double side = std::max(box.Width(), box.Height());
    if (!(side > 0.0) || !std::isfinite(side))
        return;
    const int exponent = static_cast<int>(std::floor(std::log2(side)));
    if (exponent < MinSideExponent || exponent > MaxSideExponent)
        Scale_ = std::exp2(FrameSideExponent - exponent);
    OffsetX_ = AxisOffset(box.MinX, box.MaxX);
    OffsetY_ = AxisOffset(box.MinY, box.MaxY);
}

CExtent CMapFrame::ToFrame(const CExtent& box) const
{
    const CPoint2D low = ToFrame(CPoint2D{box.MinX, box.MinY});
    const CPoint2D high = ToFrame(CPoint2D{box.MaxX, box.MaxY});
    return CExtent{low.X, low.Y, high.X, high.Y};
}

CExtent CMapFrame::FromFrame(const CExtent& box) const
{
    const CPoint2D low = FromFrame(CPoint2D{box.MinX, box.MinY});
    const CPoint2D high = FromFrame(CPoint2D{box.MaxX, box.MaxY});
    return CExtent{low.X, low.Y, high.X, high.Y};
}

void CMapFrame::ToFrame(CPolygonLayer& layer) const
{
    MoveLayer(layer, [this](const CPoint2D& p) { return ToFrame(p); });
}

void CMapFrame::FromFrame(CPolygonLayer& layer) const
{
    MoveLayer(layer, [this](const CPoint2D& p) { return FromFrame(p); });
}

void CMapFrame::ToFrame(CQuadTree& tree) const
{
    MoveTree(tree, [this](const CPoint2D& p) { return ToFrame(p); });
}

void CMapFrame::FromFrame(CQuadTree& tree) const
{
    MoveTree(tree, [this](const CPoint2D& p) { return FromFrame(p); });
}

} // namespace tessaro
