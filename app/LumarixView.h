#pragma once

#include "app/DisplayFlags.h"
#include "engine/RoundFrame.h"

#include <QPointF>
#include <QWidget>

#include <memory>

class QPainter;
class QPrinter;

namespace tessaro {

class CLumarixDoc;
class CNetworkNode;

// The document's view, drawn with QPainter: the polygons, the quadtree, the chains, the point
// layers, origin, destination and the best route, with the display flags of the Display Setup
// dialog. While a cartogram runs it shows each round's frame as it arrives. It zooms by click
// about the clicked point and picks origin and destination with the mouse.
class CLumarixView : public QWidget {
    Q_OBJECT
public:
    enum class Mode { None, ZoomIn, ZoomOut, SelectOrigin, SelectDestination, SelectCenter };

    explicit CLumarixView(CLumarixDoc& document, QWidget* parent = nullptr);

    CLumarixDoc& Document() const { return Document_; }

    // Redraws from the document (after a change of the model).
    void Refresh();
    // Shows a running cartogram's round instead of the document's polygons and quadtree.
    void ShowFrame(std::shared_ptr<const CRoundFrame> frame);
    // Back to the document once the run has ended.
    void EndFrames();
    bool ShowsFrame() const { return Frame_ != nullptr; }
    const CRoundFrame* Frame() const { return Frame_.get(); }

    const CDisplayFlags& Flags() const { return Flags_; }
    void SetFlags(const CDisplayFlags& flags);
    // Set Parameters: the Display Setup dialog on the flags, then a redraw.
    void EditDisplayParameters();

    // Toggles a mode: turning one on turns the others off; the selection modes mark the nodes.
    void ToggleMode(Mode mode);
    Mode CurrentMode() const { return Mode_; }
    void FullExtent();
    double Zoom() const { return Zoom_; }

    // The picture as an image for the clipboard: filled polygons, or outlines with vertex dots.
    void CopyPicture(bool asLines);
    void Print(QPrinter& printer);

signals:
    // Origin or destination was picked in this view.
    void RouteEndPicked();
    void ModeChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Mapping {
        double Scale = 1.0;
        QPointF Centre;
        QPointF WidgetCentre;
        QPointF ToWidget(double x, double y) const;
        QPointF ToWorld(const QPointF& point) const;
    };
    struct Style {
        bool FilledPolygons = false;
        bool VertexDots = false;
    };

    CExtent DrawnExtent() const;
    Mapping MakeMapping(const QSizeF& size) const;
    void Draw(QPainter& painter, const QSizeF& size, const Style& style) const;
    CNetworkNode* NodeAt(const QPointF& point) const;

    CLumarixDoc& Document_;
    // The document's polygons and quadtree as last drawn, or the running cartogram's round.
    CRoundFrame Snapshot_;
    std::shared_ptr<const CRoundFrame> Frame_;
    CDisplayFlags Flags_;
    Mode Mode_ = Mode::None;
    double Zoom_ = 1.0;
    std::optional<QPointF> Centre_;
};

} // namespace tessaro
