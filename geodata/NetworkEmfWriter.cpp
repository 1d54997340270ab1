#include "geodata/NetworkEmfWriter.h"

#include "engine/QuadTree.h"
#include "geodata/EmfCanvas.h"
#include "geodata/SvgCanvas.h"
#include "network/Network.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileError.h"

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace tessaro {
namespace {

constexpr CPictureColor Black{0, 0, 0};
constexpr CPictureColor CellGrey{180, 180, 180};
constexpr CPictureColor DarkGrey{64, 64, 64};
constexpr std::int32_t CellPenWidth = 10;
constexpr std::int32_t VertexPenWidth = 2;
constexpr std::int32_t PolygonPenWidth = 10;
constexpr double VertexRadius = 20.0;

bool Usable(double length) { return std::isfinite(length) && length > 0.0; }

} // namespace

CPictureMapping CPictureMapping::Make(const CExtent& extent, std::int32_t pageWidth, std::int32_t pageHeight,
                                      double margin)
{
    CPictureMapping m;
    const double w = pageWidth;
    const double h = pageHeight;
    const bool finite = std::isfinite(extent.MinX) && std::isfinite(extent.MinY) && std::isfinite(extent.MaxX) &&
                        std::isfinite(extent.MaxY);
    const bool empty = !finite || extent.MinX > extent.MaxX || extent.MinY > extent.MaxY;
    // The empty extent draws around the origin.
    const double minX = empty ? 0.0 : extent.MinX;
    const double maxY = empty ? 0.0 : extent.MaxY;
    const double dx = empty ? 0.0 : extent.MaxX - extent.MinX;
    const double dy = empty ? 0.0 : extent.MaxY - extent.MinY;

    double scale = 1.0;
    if (Usable(dx) && Usable(dy))
        scale = (1.0 - margin) * std::min(w / dx, h / dy);
    else if (Usable(dx))
        scale = (1.0 - margin) * w / dx;
    else if (Usable(dy))
        scale = (1.0 - margin) * h / dy;
    const double usedX = Usable(dx) ? dx : 0.0;
    const double usedY = Usable(dy) ? dy : 0.0;

    m.Scale = scale;
    m.MinX = minX;
    m.MaxY = maxY;
    m.OffsetX = (w - usedX * scale) / 2.0;
    m.OffsetY = (h - usedY * scale) / 2.0;
    return m;
}

std::int32_t CPictureMapping::Truncate(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double low = std::numeric_limits<std::int32_t>::min();
    constexpr double high = std::numeric_limits<std::int32_t>::max();
    if (value <= low)
        return std::numeric_limits<std::int32_t>::min();
    if (value >= high)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value); // truncation toward zero
}

CPicturePoint CPictureMapping::Map(double x, double y) const { return {Truncate(X(x)), Truncate(Y(y))}; }

void CNetworkEmfWriter::SetPageSize(std::int32_t width, std::int32_t height)
{
    if (width >= 1 && height >= 1) {
        PageWidth = width;
        PageHeight = height;
    }
}

bool CNetworkEmfWriter::EditSettings()
{
    CPictureFlags flags;
    flags.ShowBoundary = ShowBoundary;
    flags.ShowPointFeatures = ShowPointFeatures;
    flags.ShowPolygons = ShowPolygons;
    flags.ShowQuadtree = ShowQuadtree;
    flags.ShowQuadtreeNodes = ShowQuadtreeNodes;
    if (!EditPictureFlags(flags))
        return false;
    ShowBoundary = flags.ShowBoundary;
    ShowPointFeatures = flags.ShowPointFeatures;
    ShowPolygons = flags.ShowPolygons;
    ShowQuadtree = flags.ShowQuadtree;
    ShowQuadtreeNodes = flags.ShowQuadtreeNodes;
    return true;
}

int CNetworkEmfWriter::DrawnMap() const { return QuadtreeMap >= 0 ? QuadtreeMap : Quadtree->CurrentMap; }

CPictureMapping CNetworkEmfWriter::Mapping(double margin) const
{
    return CPictureMapping::Make(Network->Extent(), PageWidth, PageHeight, margin);
}

void CNetworkEmfWriter::Draw(CPictureCanvas& canvas, const CPictureMapping& mapping) const
{
    // 1. Chains with the default pen, segment by segment; the ends come from the end nodes.
    canvas.SetPen(0, Black);
    canvas.SetBrush(std::nullopt);
    for (const auto& chain : Network->Chains()) {
        const std::int32_t n = chain->PointCount();
        const double* points = chain->Points();
        if (n < 2 || points == nullptr)
            continue;
        auto point = [&](std::int32_t i) {
            if (i == 0 && chain->From())
                return mapping.Map(chain->From()->X(), chain->From()->Y());
            if (i == n - 1 && chain->To())
                return mapping.Map(chain->To()->X(), chain->To()->Y());
            return mapping.Map(points[2 * i], points[2 * i + 1]);
        };
        CPicturePoint current = point(0);
        for (std::int32_t i = 0; i + 1 < n; ++i) {
            const CPicturePoint next = point(i + 1);
            canvas.MoveTo(current);
            canvas.LineTo(next);
            current = next;
        }
    }

    // 2. Quadtree cells: bottom-left, bottom-right, top-right, top-left, closed.
    if (Quadtree && ShowQuadtree) {
        canvas.SetPen(CellPenWidth, CellGrey);
        canvas.SetBrush(std::nullopt);
        std::vector<const CQuadTreeNode*> leaves;
        Quadtree->Leaves(leaves);
        std::vector<CPoint2D> corners;
        for (const CQuadTreeNode* leaf : leaves) {
            if (Quadtree->NodeCorners(leaf, corners, DrawnMap()) != 4)
                continue;
            // Corner order is bottom-left, top-left, top-right, bottom-right.
            const CPoint2D& bl = corners[0];
            const CPoint2D& tl = corners[1];
            const CPoint2D& tr = corners[2];
            const CPoint2D& br = corners[3];
            canvas.Polygon({mapping.Map(bl.X, bl.Y), mapping.Map(br.X, br.Y), mapping.Map(tr.X, tr.Y),
                            mapping.Map(tl.X, tl.Y)});
        }
    }

    // 3. Quadtree vertices as small circles, boxes taken from the unrounded centre.
    if (Quadtree && ShowQuadtreeNodes) {
        canvas.SetPen(VertexPenWidth, Black);
        canvas.SetBrush(DarkGrey);
        std::vector<double> xy;
        if (Quadtree->CollectPoints(xy, DrawnMap()) > 0) {
            for (size_t k = 0; k + 1 < xy.size(); k += 2) {
                const double x = mapping.X(xy[k]);
                const double y = mapping.Y(xy[k + 1]);
                canvas.Ellipse(CPictureMapping::Truncate(x - VertexRadius), CPictureMapping::Truncate(y - VertexRadius),
                               CPictureMapping::Truncate(x + VertexRadius), CPictureMapping::Truncate(y + VertexRadius));
            }
        }
    }

    // 4. Polygons: every ring as its own closed, hollow outline.
    if (ShowPolygons) {
        canvas.SetPen(PolygonPenWidth, Black);
        canvas.SetBrush(std::nullopt);
        std::vector<CPicturePoint> outline;
        for (const auto& polygon : Network->Polygons()) {
            for (const auto& ring : polygon->Rings()) {
                outline.clear();
                const double* p = ring->Points();
                for (std::int32_t i = 0; i < ring->PointCount(); ++i)
                    outline.push_back(mapping.Map(p[2 * i], p[2 * i + 1]));
                if (!outline.empty())
                    canvas.Polygon(outline);
            }
        }
    }
}

int CNetworkEmfWriter::WritePicture(const std::string& path, double margin, bool withoutDialog, PictureFormat format)
{
    const char* error = format == PictureFormat::Svg ? SvgErrorMessage : EmfErrorMessage;
    if (!withoutDialog && !EditSettings())
        return -1;

    std::unique_ptr<CPictureCanvas> canvas;
    if (format == PictureFormat::Svg)
        canvas = std::make_unique<CSvgCanvas>();
    else
        canvas = std::make_unique<CEmfCanvas>();
    canvas->Begin(PageWidth, PageHeight, Description);
    Draw(*canvas, Mapping(margin));
    const std::optional<std::string> bytes = canvas->Finish();

    if (!bytes) {
        ShowMessage(std::string(error) + "\n" + path +
                        ": the picture could not be built (beyond the 4 GB an EMF file holds, or out of memory).",
                    MessageKind::Error);
        return -1;
    }
    CAtomicFileWriter file;
    if (!file.Open(path) || !file.Write(*bytes) || !file.Commit()) {
        ShowMessage(std::string(error) + "\n" + FileReasonLine(path, file.LastError()), MessageKind::Error);
        return -1;
    }
    return 1;
}

} // namespace tessaro
