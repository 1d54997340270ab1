#pragma once

#include "render/MapScene.h"

#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

class QPainter;
class QPaintDevice;

namespace tessaro {

// A label that fits inside its polygon: the polygon's index and the text's box on the page.
struct PlacedLabel {
    size_t Polygon = 0;
    QString Text;
    QRectF Box;
};

// A scene laid out as a published map on a page whose width is fixed and whose height follows
// the map's aspect: margins, an optional title band, the map, and a legend column beside it when
// the fill has a legend. The page is measured in points (1/72 inch); a picture of any
// resolution draws it scaled onto its device. Polygons are filled by the even-odd rule of all
// their rings, so holes stay open.
class CMapPicture {
public:
    // The page's width in points: 8 inches, the width of a printed page's text.
    static constexpr double PageWidth = 576.0;

    // `input` draws the map as the run started (the scene's Input, when it has one) in place of
    // the result. The scene must outlive the picture.
    explicit CMapPicture(const MapScene& scene, bool input = false);

    QSizeF PageSize() const { return {PageWidth, PageHeight_}; }
    const std::string& Title() const { return Scene_.Title; }
    // Draws the page into `target` (device coordinates) of the painter's device.
    void Draw(QPainter& painter, const QRectF& target) const;
    // The labels whose text box, at the label size, lies wholly inside their polygon on the
    // page, as fonts measure on `device`; a label that fits nowhere is left out.
    std::vector<PlacedLabel> PlaceLabels(const QPaintDevice& device) const;

    // The rectangles of the page's parts, in points.
    const QRectF& MapRect() const { return MapRect_; }
    const QRectF& LegendRect() const { return LegendRect_; }
    // Polygon `i`'s outline on the page, in points.
    const QPainterPath& PolygonPath(size_t i) const { return Paths_[i]; }

private:
    void Layout();
    void BuildPaths();
    void DrawTitle(QPainter& painter) const;
    void DrawPolygons(QPainter& painter) const;
    void DrawLabels(QPainter& painter) const;
    void DrawLegend(QPainter& painter) const;
    void DrawLegendSwatches(QPainter& painter, double top) const;
    void DrawLegendRamp(QPainter& painter, double top) const;
    void DrawLegendSwatch(QPainter& painter, const ColorLegendEntry& entry, double top) const;

    const MapScene& Scene_;
    const CPolygonLayer* Layer_ = nullptr;
    double PageHeight_ = 0.0;
    QRectF TitleRect_;
    QRectF MapRect_;
    QRectF LegendRect_;
    std::vector<QPainterPath> Paths_;
};

} // namespace tessaro
