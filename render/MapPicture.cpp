#include "render/MapPicture.h"

#include "render/LabelSpots.h"
#include "render/PictureColorQt.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace tessaro {
namespace {

// The page's parts, in points.
constexpr double Margin = 24.0;
constexpr double TitleSize = 16.0;
constexpr double TitleBand = 32.0;
constexpr double LegendWidth = 150.0;
constexpr double LegendGap = 16.0;
constexpr double LegendTextSize = 8.0;
constexpr double LegendTitleHeight = 30.0;
constexpr double SwatchWidth = 18.0;
constexpr double SwatchHeight = 11.0;
constexpr double LegendLine = 15.0;
constexpr double RampHeight = 120.0;
// Between a swatch or the bar and its text.
constexpr double TickGap = 7.0;
constexpr double LabelSize = 6.5;
// A screen pixel (1/96 inch) in points: a style's outline width is given in screen pixels.
constexpr double PointsPerScreenPixel = 0.75;
// Lines scanned across a polygon for a label's place.
constexpr int LabelLines = 15;
// A label keeps this share of its height clear of its polygon's outline.
constexpr double LabelClearance = 0.15;

// A font `points` tall on the page of a painter on `device`: Qt sizes a font by the device's
// dots per inch, and the page's unit is the point whatever the device.
QFont FontOfSize(double points, const QPaintDevice& device, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points * 72.0 / device.logicalDpiY());
    font.setBold(bold);
    return font;
}

// Dark text on a light background, light on a dark one.
QColor TextColorOn(const CPictureColor& background)
{
    const double luminance = 0.299 * background.Red + 0.587 * background.Green + 0.114 * background.Blue;
    return luminance > 128.0 ? QColor(34, 34, 34) : QColor(238, 238, 238);
}

// The legend reads as a continuous bar for a ramp (values or errors) and as swatches for classes.
bool LegendIsRamp(const MapStyle& style)
{
    return style.Fill == MapStyle::FillMode::ByError ||
           (style.Fill == MapStyle::FillMode::ByValue && style.ValueClasses == 0);
}

bool IsNoDataEntry(const ColorLegendEntry& entry)
{
    return entry.Color == CColorScale::NoData && entry.Label == "no value";
}

} // namespace

CMapPicture::CMapPicture(const MapScene& scene, bool input)
    : Scene_(scene), Layer_(input && scene.Input != nullptr ? scene.Input : scene.Result)
{
    Layout();
    BuildPaths();
}

void CMapPicture::Layout()
{
    const bool legend = !Scene_.Coloring.Legend.empty();
    const double titleBand = Scene_.Title.empty() ? 0.0 : TitleBand;
    const double mapWidth = PageWidth - 2.0 * Margin - (legend ? LegendWidth + LegendGap : 0.0);
    CExtent extent;
    if (Layer_ != nullptr)
        extent = Layer_->BoundingBox();
    const double w = extent.MaxX - extent.MinX;
    const double h = extent.MaxY - extent.MinY;
    // A map without area (none, a point, a line) gets a square page.
    const double aspect = w > 0.0 && h > 0.0 ? h / w : 1.0;
    const double mapHeight = mapWidth * aspect;
    const size_t entries = Scene_.Coloring.Legend.size();
    const double legendHeight =
        legend ? LegendTitleHeight + (LegendIsRamp(Scene_.Style) ? RampHeight + LegendLine : entries * LegendLine)
               : 0.0;
    TitleRect_ = QRectF(Margin, Margin, PageWidth - 2.0 * Margin, titleBand);
    MapRect_ = QRectF(Margin, Margin + titleBand, mapWidth, mapHeight);
    LegendRect_ = legend ? QRectF(MapRect_.right() + LegendGap, MapRect_.top(), LegendWidth, legendHeight) : QRectF();
    PageHeight_ = Margin + titleBand + std::max(mapHeight, legendHeight) + Margin;
}

void CMapPicture::BuildPaths()
{
    if (Layer_ == nullptr)
        return;
    const CExtent extent = Layer_->BoundingBox();
    const double w = extent.MaxX - extent.MinX;
    const double scale = w > 0.0 ? MapRect_.width() / w : 1.0;
    // Map y grows northwards, the page's downwards.
    const auto toPage = [&](double x, double y) {
        return QPointF(MapRect_.left() + (x - extent.MinX) * scale, MapRect_.top() + (extent.MaxY - y) * scale);
    };
    Paths_.reserve(Layer_->Count());
    for (const CSimplePolygon* polygon : Layer_->Polygons()) {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        for (const auto& ring : polygon->Rings()) {
            const double* p = ring->Points();
            const int32_t n = ring->PointCount();
            if (n < 3)
                continue;
            QPolygonF points;
            points.reserve(n);
            for (int32_t i = 0; i < n; ++i)
                points.append(toPage(p[2 * i], p[2 * i + 1]));
            path.addPolygon(points);
            path.closeSubpath();
        }
        Paths_.push_back(std::move(path));
    }
}

void CMapPicture::Draw(QPainter& painter, const QRectF& target) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / PageWidth, target.height() / PageHeight_);
    painter.fillRect(QRectF(0.0, 0.0, PageWidth, PageHeight_), ToQColor(Scene_.Style.Background));
    DrawTitle(painter);
    DrawPolygons(painter);
    DrawLabels(painter);
    DrawLegend(painter);
    painter.restore();
}

void CMapPicture::DrawTitle(QPainter& painter) const
{
    if (Scene_.Title.empty())
        return;
    painter.setFont(FontOfSize(TitleSize, *painter.device(), true));
    painter.setPen(TextColorOn(Scene_.Style.Background));
    painter.drawText(TitleRect_, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(Scene_.Title));
}

void CMapPicture::DrawPolygons(QPainter& painter) const
{
    const std::vector<CPictureColor>& fills = Scene_.Coloring.Fills;
    QPen outline(ToQColor(Scene_.Style.OutlineColor), Scene_.Style.OutlineWidth * PointsPerScreenPixel);
    outline.setJoinStyle(Qt::RoundJoin);
    const bool hollow = fills.size() != Paths_.size();
    painter.setPen(Scene_.Style.OutlineWidth > 0.0 ? outline : QPen(Qt::NoPen));
    painter.setBrush(Qt::NoBrush);
    for (size_t i = 0; i < Paths_.size(); ++i) {
        if (!hollow)
            painter.setBrush(ToQColor(fills[i]));
        painter.drawPath(Paths_[i]);
    }
}

std::vector<PlacedLabel> CMapPicture::PlaceLabels(const QPaintDevice& device) const
{
    std::vector<PlacedLabel> placed;
    if (Scene_.Labels.size() != Paths_.size())
        return placed;
    const QFontMetricsF metrics(FontOfSize(LabelSize, device), &device);
    for (size_t i = 0; i < Paths_.size(); ++i) {
        const QString text = QString::fromStdString(Scene_.Labels[i]).simplified();
        if (text.isEmpty())
            continue;
        const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
        const double clear = size.height() * LabelClearance;
        const QSizeF needed = size + QSizeF(2.0 * clear, 2.0 * clear);
        if (needed.width() > Paths_[i].boundingRect().width() || needed.height() > Paths_[i].boundingRect().height())
            continue;
        for (const QPointF& spot : LabelSpots(Paths_[i], LabelLines)) {
            QRectF box(QPointF(), needed);
            box.moveCenter(spot);
            if (Paths_[i].contains(box)) {
                placed.push_back({i, text, box.adjusted(clear, clear, -clear, -clear)});
                break;
            }
        }
    }
    return placed;
}

void CMapPicture::DrawLabels(QPainter& painter) const
{
    const std::vector<PlacedLabel> labels = PlaceLabels(*painter.device());
    if (labels.empty())
        return;
    painter.setFont(FontOfSize(LabelSize, *painter.device()));
    for (const PlacedLabel& label : labels) {
        const std::vector<CPictureColor>& fills = Scene_.Coloring.Fills;
        painter.setPen(TextColorOn(fills.size() == Paths_.size() ? fills[label.Polygon] : Scene_.Style.Background));
        painter.drawText(label.Box, Qt::AlignCenter, label.Text);
    }
}

void CMapPicture::DrawLegend(QPainter& painter) const
{
    if (LegendRect_.isEmpty())
        return;
    painter.setPen(TextColorOn(Scene_.Style.Background));
    painter.setFont(FontOfSize(LegendTextSize + 1.0, *painter.device(), true));
    const QRectF title(LegendRect_.left(), LegendRect_.top(), LegendRect_.width(), LegendTitleHeight);
    painter.drawText(title, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QString::fromStdString(Scene_.Coloring.LegendTitle));
    painter.setFont(FontOfSize(LegendTextSize, *painter.device()));
    const double top = LegendRect_.top() + LegendTitleHeight;
    if (LegendIsRamp(Scene_.Style))
        DrawLegendRamp(painter, top);
    else
        DrawLegendSwatches(painter, top);
}

void CMapPicture::DrawLegendSwatches(QPainter& painter, double top) const
{
    for (const ColorLegendEntry& entry : Scene_.Coloring.Legend) {
        DrawLegendSwatch(painter, entry, top);
        top += LegendLine;
    }
}

void CMapPicture::DrawLegendSwatch(QPainter& painter, const ColorLegendEntry& entry, double top) const
{
    const QRectF swatch(LegendRect_.left(), top + (LegendLine - SwatchHeight) / 2.0, SwatchWidth, SwatchHeight);
    const QColor text = TextColorOn(Scene_.Style.Background);
    painter.setPen(QPen(text, 0.5));
    painter.setBrush(ToQColor(entry.Color));
    painter.drawRect(swatch);
    painter.drawText(QRectF(swatch.right() + TickGap, top, LegendRect_.width() - SwatchWidth - TickGap, LegendLine),
                     Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(entry.Label));
}

// The ramp's entries are evenly spaced stops, the first at the top: the bar runs through their
// colours, and each stop's value is a tick beside it. A "no value" swatch follows the bar.
void CMapPicture::DrawLegendRamp(QPainter& painter, double top) const
{
    std::vector<ColorLegendEntry> stops = Scene_.Coloring.Legend;
    const bool noData = !stops.empty() && IsNoDataEntry(stops.back());
    if (noData)
        stops.pop_back();
    const QRectF bar(LegendRect_.left(), top + 4.0, SwatchWidth, RampHeight - 8.0);
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    const size_t n = stops.size();
    for (size_t k = 0; k < n; ++k)
        gradient.setColorAt(n > 1 ? static_cast<double>(k) / static_cast<double>(n - 1) : 0.0,
                            ToQColor(stops[k].Color));
    painter.setPen(QPen(TextColorOn(Scene_.Style.Background), 0.5));
    painter.setBrush(gradient);
    painter.drawRect(bar);
    for (size_t k = 0; k < n; ++k) {
        const double y =
            n > 1 ? bar.top() + bar.height() * static_cast<double>(k) / static_cast<double>(n - 1) : bar.center().y();
        painter.drawLine(QPointF(bar.right(), y), QPointF(bar.right() + 4.0, y));
        painter.drawText(QRectF(bar.right() + TickGap, y - LegendLine / 2.0,
                                LegendRect_.width() - SwatchWidth - TickGap, LegendLine),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(stops[k].Label));
    }
    if (noData)
        DrawLegendSwatch(painter, Scene_.Coloring.Legend.back(), top + RampHeight);
}

} // namespace tessaro
