#pragma once

#include "app/GLDrawNetwork.h"
#include "app/InnerOpenGL.h"
#include "document/PolygonMeasures.h"
#include "engine/RoundFrame.h"

#include <QCursor>
#include <QPoint>
#include <QSize>
#include <QWidget>

#include <memory>

class QKeyEvent;
class QMouseEvent;
class QOpenGLWidget;
class QPrinter;
class QRubberBand;
class QScrollBar;
class QWheelEvent;

namespace tessaro {

class CLumarixDoc;
class CMapLegend;
class CNetworkNode;
class CViewSurface;

// The document's network view: a scrollable canvas in logical units of 0.1 mm (y upward, so the
// map lies at or below the canvas top) into which the drawn extent is fitted, shown through an
// OpenGL client area. It zooms by click (x1.2, x0.8 about the click) and by rubber band, shows
// the full extent, picks origin, destination and service centre with the mouse, reads the
// cursor's world position out to the status bar, and copies and prints the picture. While a
// cartogram runs it shows each round's frame as it arrives.
//
// Beside the modes it navigates as map programs do: the wheel zooms about the cursor (Shift+wheel
// and a sideways wheel scroll), a drag with the middle button, or with the left one when no mode
// is on, pans, the arrow keys scroll by a tenth of the client, + and - zoom about the centre and
// Home shows the full extent. A view made on a document holding a map shows it whole.
//
// Each view has a map style of its own (the classic scene by default): its polygons may be
// filled in one colour, by their values or by their relative errors, with a legend over the
// client's bottom-left corner, and the copies and prints follow the screen. A polygon can be
// highlighted and brought to the centre; in the Identify mode a click names the polygon under it.
class CLumarixView : public QWidget {
    Q_OBJECT
public:
    enum class Mode { None, ZoomIn, ZoomOut, SelectOrigin, SelectDestination, SelectCenter, Identify };

    // The canvas after the view's first update.
    static constexpr QSize InitialCanvas{3000, 1800};
    // Logical units (0.1 mm) in an inch.
    static constexpr double UnitsPerInch = 254.0;
    static constexpr const char* InvalidPointMessage = "The selected point is invalidate!\n选择的点为无效节点！";

    explicit CLumarixView(CLumarixDoc& document, QWidget* parent = nullptr);
    ~CLumarixView() override;

    CLumarixDoc& Document() const { return Document_; }

    // Redraws from the document (after a change of the model).
    void Refresh();
    // Shows a running cartogram's round instead of the document's polygons and quadtree.
    void ShowFrame(std::shared_ptr<const CRoundFrame> frame);
    // Back to the document once the run has ended.
    void EndFrames();
    bool ShowsFrame() const { return Frame_ != nullptr; }

    const CDisplayFlags& Flags() const { return Drawer_.Flags; }
    void SetFlags(const CDisplayFlags& flags);
    // Set Parameters: the Display Setup dialog on the seven flags it shows, then a redraw.
    void EditDisplayParameters();

    const MapStyle& Style() const { return Drawer_.Style; }
    // A new style, then a redraw.
    void SetStyle(const MapStyle& style);
    // Map Style: the style dialog, then a redraw.
    void EditMapStyle();
    // The measures of the document's polygons, in layer order, that a fill by value or error
    // shows (after a completed run). While a run shows its rounds, each round's own show.
    void SetPolygonMeasures(PolygonMeasures measures);
    // The fills and the legend drawn now.
    const MapColoring& Coloring() const { return Drawer_.Coloring; }
    const CMapLegend* Legend() const { return Legend_; }

    // Outlines a polygon of the drawn layer thick, in a contrasting colour, on top of the map
    // on the screen and in copies; -1 for none.
    void HighlightPolygon(int polygon);
    int HighlightedPolygon() const { return Drawer_.Highlight; }
    // Scrolls so that the centre of the polygon's box comes to the client's centre (as near as
    // the canvas allows), the zoom unchanged.
    void CenterOnPolygon(int polygon);
    // The polygon of the drawn layer under a device point of the client; -1 for none.
    int PolygonAt(QPointF device);

    // Toggles a mode: turning one on turns the others off; the selection modes mark the nodes
    // while they are on.
    void ToggleMode(Mode mode);
    Mode CurrentMode() const { return Mode_; }
    // The canvas becomes the client area and the view scrolls to its origin.
    void FullExtent();
    // Zooms by `factor` about a device point of the client, which keeps the map point shown
    // there; the canvas stays within its limits and shrinks to no less than an eighth of the
    // client.
    void ZoomAbout(QPointF device, double factor);

    QSize CanvasSize() const { return Canvas_; }
    // The logical point at the client's top-left corner: the scroll bars' position and the
    // slack beyond it.
    QPoint ScrollPosition() const;
    // World units to logical units.
    double Scale() const { return Scale_; }
    // The client area: the OpenGL surface the scene is drawn on and the mouse works on.
    QOpenGLWidget* Surface() const;
    // The logical point shown at a device point of the client area, the camera's shrink about
    // the client's centre undone.
    QPoint ToLogical(QPointF device) const;

    // Copy (filled polygons) and Copy as Lines (outlines with vertex dots): the picture of the
    // client area as SVG, as EMF (under its own and LibreOffice's names) and as an image.
    void CopyPicture(bool asLines);
    // The same picture, fitted to the printer's page.
    void Print(QPrinter& printer);

public slots:
    // Full Extent at the next frame, when the client has its size: on opening, after a run.
    void FitToWindow();

signals:
    // Origin, destination or service centre was picked in this view.
    void RouteEndPicked();
    void ModeChanged();
    // "X:..., Y:...  Cursor X:..., Y:..." for the status bar.
    void CursorText(const QString& text);
    // A click in the Identify mode: the polygon of the drawn layer under it (-1 for none), which
    // the view highlights, and where the click was on the screen.
    void PolygonIdentified(int polygon, QPoint globalPos);

private:
    friend class CViewSurface;

    // Called by the surface.
    void InitializeGL();
    void ResizeGL();
    void PaintGL();
    void MousePress(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseRelease(QMouseEvent* event);
    void Wheel(QWheelEvent* event);
    // True when the key is one the view navigates by.
    bool KeyPress(const QKeyEvent* event);

    void PrepareDrawer();
    // The fills and the legend anew, from the style and the measures of the drawn layer.
    void UpdateColoring();
    void Identify(QPointF device, QPoint global);
    // The world point shown at a device point of the client.
    CPoint2D WorldAt(QPointF device);
    void FitCanvas();
    void UpdateScrollRanges();
    // The scroll bars to the logical point, within their range; the slack is cleared, as the
    // click and band zooms and Full Extent have it.
    void ScrollTo(QPointF logical);
    // The client's top-left corner exactly at the logical point: the bars go as far as their
    // range lets them and the slack takes the rest, so a map smaller than the client, or one at
    // its edge, still keeps the point under the cursor when zoomed about it, panned or centred.
    void ScrollExactlyTo(QPointF logical);
    // The scroll bars' position alone, in logical units, and with the slack.
    QPointF BarPosition() const;
    QPointF Origin() const { return BarPosition() + Slack_; }
    void ResetCanvasToClient();
    // The vector from the client's top-left to what a device point shows, in logical units.
    QPointF ClientOffset(QPointF device) const;
    QPointF CanvasAt(QPointF device) const;
    double ZoomWithinLimits(double factor) const;
    void ScrollByWheel(QScrollBar* bar, int angle);
    bool ScrollByKey(int key);
    void StartPan(Qt::MouseButton button, QPointF device);
    void PanTo(QPointF device);
    void EndPan();
    void ZoomByClick(QPoint device);
    void ZoomByBand();
    void SetCanvas(double width, double height);
    void PickNode(QPoint device);
    CNetworkNode* NodeByName(std::uint32_t name) const;
    QSize ClientPixels() const;
    double UnitsPerPixelX() const;
    double UnitsPerPixelY() const;

    CLumarixDoc& Document_;
    std::shared_ptr<const CRoundFrame> Frame_;
    CInnerOpenGL GL_;
    CGLDrawNetwork Drawer_;
    CViewSurface* Surface_;
    QScrollBar* HorizontalBar_;
    QScrollBar* VerticalBar_;
    QRubberBand* Band_;
    CMapLegend* Legend_;
    PolygonMeasures DocumentMeasures_;
    PolygonMeasures FrameMeasures_;

    QSize Canvas_ = InitialCanvas;
    double Scale_ = 1.0;
    Mode Mode_ = Mode::None;
    bool ContextReady_ = false;
    bool Drawing_ = false;
    bool Dragging_ = false;
    bool RectangleDrawn_ = false;
    bool FitPending_ = false;
    // A fit asked for by FitToWindow holds until the view is zoomed, panned or scrolled: until
    // then a client of another size (the window laid out, resized) is fitted again.
    bool FitHeld_ = false;
    QSize FittedClient_;
    Qt::MouseButton PanButton_ = Qt::NoButton;
    QPointF PanStart_;
    QPointF PanStartOrigin_;
    // How far the client's corner lies beyond the scroll bars' position, in logical units.
    QPointF Slack_;
    QCursor CursorBeforePan_;
    QPoint DragStart_{-1, -1};
    QPoint DragCurrent_{-1, -1};
};

} // namespace tessaro
