#include "app/LumarixView.h"

#include "app/SetDispParamDlg.h"
#include "document/LumarixDoc.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessaro {
namespace {

QColor Rgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b)); }

// Share of the view the extent fills at full extent.
constexpr double FullExtentFill = 0.94;
// A click picks the nearest node within this many pixels.
constexpr double PickRadius = 5.0;
// Zoom by click, as the network view does.
constexpr double ClickZoomIn = 1.2;
constexpr double ClickZoomOut = 0.8;

bool Usable(const CExtent& extent)
{
    return std::isfinite(extent.Width()) && std::isfinite(extent.Height()) && extent.Width() >= 0.0 &&
           extent.Height() >= 0.0 && (extent.Width() > 0.0 || extent.Height() > 0.0);
}

} // namespace

QPointF CLumarixView::Mapping::ToWidget(double x, double y) const
{
    return {WidgetCentre.x() + (x - Centre.x()) * Scale, WidgetCentre.y() - (y - Centre.y()) * Scale};
}

QPointF CLumarixView::Mapping::ToWorld(const QPointF& point) const
{
    return {Centre.x() + (point.x() - WidgetCentre.x()) / Scale, Centre.y() - (point.y() - WidgetCentre.y()) / Scale};
}

CLumarixView::CLumarixView(CLumarixDoc& document, QWidget* parent) : QWidget(parent), Document_(document)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
    Refresh();
}

void CLumarixView::Refresh()
{
    Snapshot_.CopyGeometry(Document_.Network().PolygonLayer(), Document_.QuadTree(), Document_.QuadTree().CurrentMap);
    update();
}

void CLumarixView::ShowFrame(std::shared_ptr<const CRoundFrame> frame)
{
    Frame_ = std::move(frame);
    repaint();
}

void CLumarixView::EndFrames()
{
    Frame_.reset();
    Refresh();
}

void CLumarixView::SetFlags(const CDisplayFlags& flags)
{
    Flags_ = flags;
    update();
}

void CLumarixView::EditDisplayParameters()
{
    CSetDispParamDlg dialog(this);
    dialog.SetDisplayFlags(Flags_);
    if (dialog.exec() == QDialog::Accepted)
        Flags_ = dialog.DisplayFlags();
    update();
}

void CLumarixView::ToggleMode(Mode mode)
{
    Mode_ = Mode_ == mode ? Mode::None : mode;
    Flags_.ShowNodeMarkers =
        Mode_ == Mode::SelectOrigin || Mode_ == Mode::SelectDestination || Mode_ == Mode::SelectCenter;
    setCursor(Mode_ == Mode::None ? Qt::ArrowCursor : Qt::CrossCursor);
    emit ModeChanged();
    update();
}

void CLumarixView::FullExtent()
{
    Zoom_ = 1.0;
    Centre_.reset();
    update();
}

CExtent CLumarixView::DrawnExtent() const
{
    if (Frame_)
        return Frame_->Extent;
    CExtent extent = Document_.Network().Extent();
    if (!Usable(extent))
        extent = Snapshot_.Extent;
    return extent;
}

CLumarixView::Mapping CLumarixView::MakeMapping(const QSizeF& size) const
{
    Mapping mapping;
    mapping.WidgetCentre = QPointF(size.width() / 2.0, size.height() / 2.0);
    const CExtent extent = DrawnExtent();
    if (!Usable(extent))
        return mapping;
    const double width = std::max(extent.Width(), std::numeric_limits<double>::min());
    const double height = std::max(extent.Height(), std::numeric_limits<double>::min());
    // A degenerate axis takes the other axis's scale.
    double scale = std::min(extent.Width() > 0 ? size.width() / width : std::numeric_limits<double>::max(),
                            extent.Height() > 0 ? size.height() / height : std::numeric_limits<double>::max());
    mapping.Scale = FullExtentFill * scale * Zoom_;
    mapping.Centre = Centre_.value_or(QPointF((extent.MinX + extent.MaxX) / 2.0, (extent.MinY + extent.MaxY) / 2.0));
    return mapping;
}

void CLumarixView::Draw(QPainter& painter, const QSizeF& size, const Style& style) const
{
    painter.fillRect(QRectF(QPointF(0, 0), size), style.FilledPolygons || style.VertexDots ? Qt::white : Qt::black);
    if (!Usable(DrawnExtent()))
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const Mapping map = MakeMapping(size);
    const CNetwork& network = Document_.Network();
    const CRoundFrame& shown = Frame_ ? *Frame_ : Snapshot_;
    const auto pen = [&painter](const QColor& colour, double width) {
        QPen p(colour, width);
        p.setCosmetic(true);
        painter.setPen(p);
    };
    const auto dot = [&painter, &map](double x, double y, double size, const QColor& colour) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(map.ToWidget(x, y), size / 2.0, size / 2.0);
        painter.setBrush(Qt::NoBrush);
    };

    // Layers listed first in the drawing order stay on top where they overlap, so they are
    // painted last.
    if (Flags_.ShowBoundary) {
        const CExtent& e = network.Extent();
        pen(Rgb(1, 0, 0), 1.0);
        painter.drawPolygon(QPolygonF({map.ToWidget(e.MinX, e.MinY), map.ToWidget(e.MaxX, e.MinY),
                                       map.ToWidget(e.MaxX, e.MaxY), map.ToWidget(e.MinX, e.MaxY)}));
    }
    pen(Rgb(1, 1, 0), 1.0);
    for (const auto& chain : network.Chains()) {
        QPolygonF line;
        for (int32_t i = 0; i < chain->PointCount(); ++i)
            line.append(map.ToWidget(chain->Points()[2 * i], chain->Points()[2 * i + 1]));
        painter.drawPolyline(line);
    }
    const CShortestPath& route = Document_.BestRoute();
    if (CNetworkNode* node = route.Destination(); node != nullptr && !Frame_) {
        pen(Rgb(1, 0, 1), 1.2);
        // Walk Previous from the destination; the walk ends at the origin or where no link is.
        for (size_t guard = 0; node != nullptr && node != route.Origin() && guard <= network.NodeCount(); ++guard) {
            CNetworkNode* previous = node->Attribute().Previous;
            if (previous == nullptr)
                break;
            painter.drawLine(map.ToWidget(node->X(), node->Y()), map.ToWidget(previous->X(), previous->Y()));
            node = previous;
        }
    }
    if (Flags_.ShowQuadtree || Flags_.ShowQuadtreeNodes) {
        for (const auto& cell : shown.Cells) {
            const QPointF c0 = map.ToWidget(cell[0].X, cell[0].Y), c1 = map.ToWidget(cell[1].X, cell[1].Y),
                          c2 = map.ToWidget(cell[2].X, cell[2].Y), c3 = map.ToWidget(cell[3].X, cell[3].Y);
            if (Flags_.ShowQuadtree) {
                pen(style.FilledPolygons || style.VertexDots ? QColor(180, 180, 180) : Rgb(0.2, 0.2, 0.2), 1.0);
                painter.drawPolygon(QPolygonF({c0, c3, c2, c1}));
                if (Flags_.ShowTreeDiagonal) {
                    pen(Rgb(0.3, 0.5, 0.3), 1.0);
                    painter.drawLine(c0, c2);
                    painter.drawLine(c1, c3);
                }
            }
            if (Flags_.ShowQuadtreeNodes) {
                pen(Rgb(0.5, 0.5, 0.5), 1.0);
                for (const QPointF& corner : {c0, c1, c2, c3})
                    painter.drawPoint(corner);
            }
        }
    }
    if (Flags_.ShowPolygons) {
        const QColor outline = style.FilledPolygons || style.VertexDots ? QColor(255, 0, 0) : Rgb(0.4, 0.8, 0.8);
        for (const CRoundFrame::PolygonRings& polygon : shown.Polygons) {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const std::vector<double>& ring : polygon) {
                QPolygonF outlinePoints;
                for (size_t i = 0; i + 1 < ring.size(); i += 2)
                    outlinePoints.append(map.ToWidget(ring[i], ring[i + 1]));
                path.addPolygon(outlinePoints);
                path.closeSubpath();
            }
            pen(outline, 1.0);
            painter.setBrush(style.FilledPolygons ? QBrush(QColor(192, 192, 192)) : QBrush(Qt::NoBrush));
            painter.drawPath(path);
            painter.setBrush(Qt::NoBrush);
            if (Flags_.ShowPolygonVertices || style.VertexDots)
                for (const std::vector<double>& ring : polygon)
                    for (size_t i = 0; i + 3 < ring.size(); i += 2)
                        dot(ring[i], ring[i + 1], 3.0, style.VertexDots ? QColor(0, 0, 255) : Rgb(0.4, 0.8, 0.8));
        }
    }
    if (Flags_.ShowPointFeatures)
        for (const auto& layer : network.Facilities())
            for (const auto& facility : layer->Facilities())
                dot(facility->X, facility->Y, 3.5, Rgb(0, 0, 1));
    if (Flags_.ShowNodeMarkers) {
        for (const auto& node : network.Nodes()) {
            const uint32_t flags = node->Attribute().Flags;
            const QColor colour = (flags & CNetworkNodeAttribute::FinishedFlag) != 0  ? Rgb(0, 1, 0)
                                  : (flags & CNetworkNodeAttribute::ReachedFlag) != 0 ? Rgb(1, 0, 0)
                                                                                       : Rgb(0, 1, 1);
            dot(node->X(), node->Y(), 2.5, colour);
        }
    }
    for (const CNetworkNode* end : {route.Origin(), route.Destination()})
        if (end != nullptr)
            dot(end->X(), end->Y(), 6.0, Rgb(1, 0, 0));
}

void CLumarixView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Draw(painter, QSizeF(size()), Style{});
}

CNetworkNode* CLumarixView::NodeAt(const QPointF& point) const
{
    const Mapping map = MakeMapping(QSizeF(size()));
    CNetworkNode* nearest = nullptr;
    double best = PickRadius * PickRadius;
    for (const auto& node : Document_.Network().Nodes()) {
        const QPointF at = map.ToWidget(node->X(), node->Y());
        const double dx = at.x() - point.x(), dy = at.y() - point.y();
        if (dx * dx + dy * dy <= best) {
            best = dx * dx + dy * dy;
            nearest = node;
        }
    }
    return nearest;
}

void CLumarixView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !Usable(DrawnExtent()))
        return;
    const Mapping map = MakeMapping(QSizeF(size()));
    const QPointF world = map.ToWorld(event->position());
    switch (Mode_) {
    case Mode::ZoomIn:
    case Mode::ZoomOut: {
        // The clicked point stays under the cursor.
        const double factor = Mode_ == Mode::ZoomIn ? ClickZoomIn : ClickZoomOut;
        Zoom_ *= factor;
        const QPointF centre = map.Centre;
        Centre_ = world + (centre - world) / factor;
        update();
        break;
    }
    case Mode::SelectOrigin:
    case Mode::SelectDestination: {
        CNetworkNode* node = NodeAt(event->position());
        if (node == nullptr)
            break;
        if (Mode_ == Mode::SelectOrigin)
            Document_.SetOriginNode(node);
        else
            Document_.SetDestinationNode(node);
        emit RouteEndPicked();
        update();
        break;
    }
    case Mode::SelectCenter:
    case Mode::None:
        break;
    }
}

void CLumarixView::CopyPicture(bool asLines)
{
    QImage image(size().isEmpty() ? QSize(640, 480) : size(), QImage::Format_ARGB32);
    QPainter painter(&image);
    Style style;
    style.FilledPolygons = !asLines;
    style.VertexDots = asLines;
    Draw(painter, QSizeF(image.size()), style);
    painter.end();
    QApplication::clipboard()->setImage(image);
}

void CLumarixView::Print(QPrinter& printer)
{
    QPainter painter(&printer);
    if (!painter.isActive())
        return;
    // Filled polygons on white paper, fitted into the printable area.
    Draw(painter, QSizeF(painter.viewport().size()), Style{true, false});
}

} // namespace tessaro
