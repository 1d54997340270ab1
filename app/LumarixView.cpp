#include "app/LumarixView.h"

#include "app/Icons.h"
#include "app/MapLegend.h"
#include "app/MapStyleDlg.h"
#include "app/SetDispParamDlg.h"
#include "document/LumarixDoc.h"
#include "geodata/EmfCanvas.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/SvgCanvas.h"
#include "platform/UserInterface.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QPainter>
#include <QPrinter>
#include <QRubberBand>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tessaro {

// The client area: an OpenGL surface that hands its context events, mouse and key input to the
// view. A click gives it the keyboard.
class CViewSurface : public QOpenGLWidget {
public:
    explicit CViewSurface(CLumarixView& view) : View_(view)
    {
        setFormat(CInnerOpenGL::PixelFormat());
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setMinimumSize(160, 120);
    }

protected:
    void initializeGL() override { View_.InitializeGL(); }
    void resizeGL(int, int) override { View_.ResizeGL(); }
    void paintGL() override { View_.PaintGL(); }
    void mousePressEvent(QMouseEvent* event) override { View_.MousePress(event); }
    void mouseMoveEvent(QMouseEvent* event) override { View_.MouseMove(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { View_.MouseRelease(event); }
    void wheelEvent(QWheelEvent* event) override { View_.Wheel(event); }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!View_.KeyPress(event))
            QOpenGLWidget::keyPressEvent(event);
    }

private:
    CLumarixView& View_;
};

namespace {

// Zoom by click and the clamp of the rubber-band factor.
constexpr double ClickZoomIn = 1.2;
constexpr double ClickZoomOut = 0.8;
constexpr double ClickScrollShare = 0.2;
constexpr double MinBandFactor = 0.125;
constexpr double MaxBandFactor = 6.0;
// A wheel notch (120 eighths of a degree) and the + and - keys zoom by this factor.
constexpr double WheelZoom = 1.2;
constexpr double WheelNotch = 120.0;
// The canvas never shrinks below one unit nor grows past 10 km, which keeps every pixel count of
// the scroll bars inside an int.
constexpr double MaxCanvas = 1.0e8;
// The MIME names of the copied picture: what Inkscape and LibreOffice take.
constexpr const char* SvgMime = "image/svg+xml";
constexpr const char* EmfMime = "image/x-emf";
constexpr const char* LibreOfficeEmfMime = "application/x-openoffice-emf;windows_formatname=\"Image EMF\"";

// Truncation toward zero, as the canvas arithmetic is defined, kept inside the canvas limit.
int Truncate(double value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -MaxCanvas, MaxCanvas));
}

// Whether the canvas can be fitted to the extent: it has a finite width above zero.
bool Fittable(const CExtent& extent)
{
    return extent.Width() > 0.0 && std::isfinite(extent.Width()) && std::isfinite(extent.Height());
}

// The picture of the client area through one canvas back end: its file bytes, or nothing.
std::optional<std::string> RenderThrough(CPictureCanvas& canvas, const CGLDrawNetwork& drawer, std::int32_t width,
                                         std::int32_t height, bool asLines)
{
    canvas.Begin(width, height, CNetworkEmfWriter::Description);
    drawer.RenderPicture(canvas, width, height, 0.0, asLines ? 1 : -1, asLines);
    return canvas.Finish();
}

} // namespace

CLumarixView::CLumarixView(CLumarixDoc& document, QWidget* parent)
    : QWidget(parent), Document_(document), Surface_(new CViewSurface(*this)),
      HorizontalBar_(new QScrollBar(Qt::Horizontal)), VerticalBar_(new QScrollBar(Qt::Vertical)),
      Band_(new QRubberBand(QRubberBand::Rectangle, Surface_)), Legend_(new CMapLegend(Surface_))
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Surface_, 0, 0);
    layout->addWidget(VerticalBar_, 0, 1);
    layout->addWidget(HorizontalBar_, 1, 0);
    for (QScrollBar* bar : {HorizontalBar_, VerticalBar_}) {
        connect(bar, &QScrollBar::valueChanged, Surface_, qOverload<>(&QWidget::update));
        // A scroll by the bar or the arrow keys; not one the view makes itself.
        connect(bar, &QScrollBar::actionTriggered, this, [this] { FitHeld_ = false; });
    }
    UpdateScrollRanges();
    FitPending_ = Fittable(Document_.Network().Extent());
}

CLumarixView::~CLumarixView() = default;

QOpenGLWidget* CLumarixView::Surface() const
{
    return Surface_;
}

double CLumarixView::UnitsPerPixelX() const
{
    return UnitsPerInch / Surface_->logicalDpiX();
}

double CLumarixView::UnitsPerPixelY() const
{
    return UnitsPerInch / Surface_->logicalDpiY();
}

QSize CLumarixView::ClientPixels() const
{
    return Surface_->size();
}

QPointF CLumarixView::BarPosition() const
{
    return {HorizontalBar_->value() * UnitsPerPixelX(), -VerticalBar_->value() * UnitsPerPixelY()};
}

QPoint CLumarixView::ScrollPosition() const
{
    const QPointF origin = Origin();
    return {int(std::lround(origin.x())), int(std::lround(origin.y()))};
}

QPointF CLumarixView::ClientOffset(QPointF device) const
{
    // The camera draws the canvas window at SquareShare of its size about the client's centre.
    const QSize client = ClientPixels();
    const double share = GL_.SquareShare();
    const QPointF centre(client.width() / 2.0, client.height() / 2.0);
    const QPointF window = centre + (device - centre) / share;
    return {window.x() * UnitsPerPixelX(), -window.y() * UnitsPerPixelY()};
}

QPointF CLumarixView::CanvasAt(QPointF device) const
{
    return Origin() + ClientOffset(device);
}

QPoint CLumarixView::ToLogical(QPointF device) const
{
    const QPointF logical = CanvasAt(device);
    return {int(std::lround(logical.x())), int(std::lround(logical.y()))};
}

void CLumarixView::Refresh()
{
    UpdateColoring();
    Surface_->update();
}

void CLumarixView::ShowFrame(std::shared_ptr<const CRoundFrame> frame)
{
    Frame_ = std::move(frame);
    // A round's fits are measured before its transformation: the colours lag the shapes by
    // that one round.
    FrameMeasures_ = Frame_ ? PolygonMeasures::FromFits(Frame_->Measures.Fits) : PolygonMeasures{};
    UpdateColoring();
    // The run waits until its round is on the screen.
    Surface_->repaint();
}

void CLumarixView::EndFrames()
{
    Frame_.reset();
    FrameMeasures_ = {};
    Refresh();
}

void CLumarixView::SetFlags(const CDisplayFlags& flags)
{
    Drawer_.Flags = flags;
    Refresh();
}

void CLumarixView::EditDisplayParameters()
{
    CSetDispParamDlg dialog(this);
    dialog.SetDisplayFlags(Drawer_.Flags);
    if (dialog.exec() == QDialog::Accepted)
        Drawer_.Flags = dialog.DisplayFlags();
    Refresh();
}

void CLumarixView::SetStyle(const MapStyle& style)
{
    Drawer_.Style = style;
    Refresh();
}

void CLumarixView::EditMapStyle()
{
    CMapStyleDlg dialog(this);
    dialog.SetStyle(Drawer_.Style);
    if (dialog.exec() == QDialog::Accepted)
        SetStyle(dialog.Style());
}

void CLumarixView::SetPolygonMeasures(PolygonMeasures measures)
{
    DocumentMeasures_ = std::move(measures);
    Refresh();
}

void CLumarixView::UpdateColoring()
{
    PrepareDrawer();
    const PolygonMeasures& measures = Frame_ ? FrameMeasures_ : DocumentMeasures_;
    Drawer_.Coloring =
        MapColoring::Make(Drawer_.Style, measures, static_cast<size_t>(std::max(0, Drawer_.PolygonCount())));
    const bool shown = Drawer_.Flags.ShowPolygons && Drawer_.Style.HasLegend();
    Legend_->SetContent(QString::fromStdString(Drawer_.Coloring.LegendTitle),
                        shown ? Drawer_.Coloring.Legend : std::vector<ColorLegendEntry>{});
}

void CLumarixView::HighlightPolygon(int polygon)
{
    Drawer_.Highlight = polygon < 0 ? -1 : polygon;
    Refresh();
}

void CLumarixView::CenterOnPolygon(int polygon)
{
    PrepareDrawer();
    const std::optional<CPoint2D> centre = Drawer_.PolygonCentre(polygon);
    if (!centre)
        return;
    FitHeld_ = false;
    const CExtent extent = Drawer_.DrawnExtent();
    const QPointF logical((centre->X - extent.MinX) * Scale_, (centre->Y - extent.MaxY) * Scale_);
    const QSize client = ClientPixels();
    ScrollExactlyTo(logical - ClientOffset(QPointF(client.width() / 2.0, client.height() / 2.0)));
    Refresh();
}

CPoint2D CLumarixView::WorldAt(QPointF device)
{
    PrepareDrawer();
    const CExtent extent = Drawer_.DrawnExtent();
    const QPointF logical = CanvasAt(device);
    return {logical.x() / Scale_ + extent.MinX, logical.y() / Scale_ + extent.MaxY};
}

int CLumarixView::PolygonAt(QPointF device)
{
    return Drawer_.PolygonAt(WorldAt(device));
}

void CLumarixView::Identify(QPointF device, QPoint global)
{
    const int polygon = PolygonAt(device);
    HighlightPolygon(polygon);
    emit PolygonIdentified(polygon, global);
}

void CLumarixView::ToggleMode(Mode mode)
{
    Mode_ = Mode_ == mode ? Mode::None : mode;
    const bool selecting =
        Mode_ == Mode::SelectOrigin || Mode_ == Mode::SelectDestination || Mode_ == Mode::SelectCenter;
    Drawer_.Flags.ShowNodeMarkers = selecting;
    Surface_->setCursor(selecting                 ? Qt::CrossCursor
                        : Mode_ == Mode::Identify ? Qt::PointingHandCursor
                                                  : Qt::ArrowCursor);
    if (Mode_ == Mode::ZoomIn) {
        // A missing cursor leaves the arrow; the mode is on all the same.
        if (const std::optional<QCursor> cursor = ZoomCursor())
            Surface_->setCursor(*cursor);
        else
            ShowMessage("Load cursor error!", MessageKind::Error);
    }
    emit ModeChanged();
    Refresh();
}

void CLumarixView::SetCanvas(double width, double height)
{
    Canvas_ = QSize(std::max(1, Truncate(width)), std::max(1, Truncate(height)));
}

void CLumarixView::UpdateScrollRanges()
{
    const QSize client = ClientPixels();
    const auto range = [](QScrollBar* bar, int canvas, double unitsPerPixel, int clientPixels) {
        const int pixels = Truncate(std::ceil(canvas / unitsPerPixel));
        bar->setRange(0, std::max(0, pixels - clientPixels));
        bar->setPageStep(std::max(1, clientPixels));
        bar->setSingleStep(std::max(1, clientPixels / 10));
    };
    range(HorizontalBar_, Canvas_.width(), UnitsPerPixelX(), client.width());
    range(VerticalBar_, Canvas_.height(), UnitsPerPixelY(), client.height());
}

void CLumarixView::ScrollTo(QPointF logical)
{
    // Each bar spans the canvas in pixels, so the position is the point in pixels, rounded; the
    // y axis counts downward from the canvas top.
    HorizontalBar_->setValue(Truncate(logical.x() / UnitsPerPixelX() + 0.5));
    VerticalBar_->setValue(Truncate(-logical.y() / UnitsPerPixelY() + 0.5));
    Slack_ = QPointF();
}

void CLumarixView::ScrollExactlyTo(QPointF logical)
{
    ScrollTo(logical);
    Slack_ = logical - BarPosition();
}

void CLumarixView::FitCanvas()
{
    const CExtent extent = Drawer_.DrawnExtent();
    const double width = extent.Width();
    const double height = extent.Height();
    // An extent without width (a single node, nothing at all) leaves the canvas as it is.
    if (!Fittable(extent))
        return;
    double scale = Canvas_.width() / width;
    if (height > 0.0)
        scale = std::min(scale, Canvas_.height() / height);
    Scale_ = scale;
    SetCanvas(std::floor(width * scale), std::floor(height * scale));
    UpdateScrollRanges();
}

void CLumarixView::ResetCanvasToClient()
{
    const QSize client = ClientPixels();
    SetCanvas(client.width() * UnitsPerPixelX(), client.height() * UnitsPerPixelY());
    UpdateScrollRanges();
    ScrollTo(QPoint(0, 0));
}

void CLumarixView::FullExtent()
{
    FitHeld_ = false;
    ResetCanvasToClient();
    Refresh();
}

void CLumarixView::FitToWindow()
{
    FitPending_ = true;
    Refresh();
}

double CLumarixView::ZoomWithinLimits(double factor) const
{
    const QSize client = ClientPixels();
    // How many clients the canvas spans along the side it fills most.
    const double cover = std::max(Canvas_.width() / (std::max(1, client.width()) * UnitsPerPixelX()),
                                  Canvas_.height() / (std::max(1, client.height()) * UnitsPerPixelY()));
    const double largest = std::max(Canvas_.width(), Canvas_.height());
    // Below an eighth of the client the map is a speck, and a canvas of a few units would no
    // longer grow by a truncated 1.2.
    return std::clamp(factor, std::min(1.0, MinBandFactor / cover), std::max(1.0, MaxCanvas / largest));
}

void CLumarixView::ZoomAbout(QPointF device, double factor)
{
    FitHeld_ = false;
    PrepareDrawer();
    // The map point at the device point, as an offset from the extent's top-left in world units.
    const QPointF anchor = CanvasAt(device) / Scale_;
    const double f = ZoomWithinLimits(factor);
    SetCanvas(Canvas_.width() * f, Canvas_.height() * f);
    UpdateScrollRanges();
    // The scale the next frame draws with.
    FitCanvas();
    ScrollExactlyTo(anchor * Scale_ - ClientOffset(device));
    Refresh();
}

void CLumarixView::PrepareDrawer()
{
    Drawer_.Network = &Document_.Network();
    Drawer_.Route = &Document_.BestRoute();
    Drawer_.ServiceCenter = Document_.ServiceCenter();
    Drawer_.QuadTree = &Document_.QuadTree();
    Drawer_.Frame = Frame_.get();
    Drawer_.Companions = &Document_.CompanionShapes();
    const QSize client = ClientPixels();
    const QPointF origin = Origin();
    Drawer_.Scale = Scale_;
    Drawer_.ScrollX = origin.x();
    Drawer_.ScrollY = origin.y();
    Drawer_.ClientWidth = std::max(1, client.width()) * UnitsPerPixelX();
    Drawer_.ClientHeight = -std::max(1, client.height()) * UnitsPerPixelY();
    // The picture's units are tenths of the logical ones.
    Drawer_.PicturePixel = UnitsPerPixelX() * 10.0;
}

void CLumarixView::InitializeGL()
{
    ContextReady_ = GL_.Create(Surface_->context());
}

void CLumarixView::ResizeGL()
{
    const qreal ratio = Surface_->devicePixelRatioF();
    GL_.SetProjection(int(std::lround(Surface_->width() * ratio)), int(std::lround(Surface_->height() * ratio)));
    UpdateScrollRanges();
}

void CLumarixView::PaintGL()
{
    if (!ContextReady_ || Drawing_)
        return;
    Drawing_ = true;
    if (FitPending_ || (FitHeld_ && ClientPixels() != FittedClient_)) {
        FitPending_ = false;
        FitHeld_ = true;
        FittedClient_ = ClientPixels();
        ResetCanvasToClient();
    }
    PrepareDrawer();
    FitCanvas();
    // The fit sets the scale and may have moved the scroll position into the new range.
    PrepareDrawer();
    GL_.ResetCamera();
    ResizeGL();
    const MapStyle& style = Drawer_.Style;
    if (style.IsClassic())
        GL_.BeginFrame(0.0, CInnerOpenGL::Black);
    else
        GL_.BeginFrame(0.0, style.Background.Red / 255.0, style.Background.Green / 255.0,
                       style.Background.Blue / 255.0);
    Drawer_.DrawScene();
    GL_.EndFrame();
    Drawing_ = false;
}

void CLumarixView::MousePress(QMouseEvent* event)
{
    // One drag at a time: a band or a pan keeps the mouse until its button is released.
    if (Dragging_ || PanButton_ != Qt::NoButton)
        return;
    if (event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && Mode_ == Mode::None)) {
        StartPan(event->button(), event->position());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (Mode_ == Mode::SelectOrigin || Mode_ == Mode::SelectDestination || Mode_ == Mode::SelectCenter) {
        PickNode(at);
        return;
    }
    if (Mode_ == Mode::Identify) {
        Identify(event->position(), event->globalPosition().toPoint());
        return;
    }
    // The surface keeps the mouse until the button is released.
    Dragging_ = true;
    DragStart_ = at;
    DragCurrent_ = at;
}

void CLumarixView::MouseMove(QMouseEvent* event)
{
    if (PanButton_ != Qt::NoButton)
        PanTo(event->position());
    const QPoint at = event->position().toPoint();
    const bool zooming = Mode_ == Mode::ZoomIn || Mode_ == Mode::ZoomOut;
    // A band starts once the drag is longer than a click's jitter.
    if (Dragging_ && zooming &&
        (RectangleDrawn_ || (at - DragStart_).manhattanLength() >= QApplication::startDragDistance())) {
        RectangleDrawn_ = true;
        DragCurrent_ = at;
        Band_->setGeometry(QRect(DragStart_, DragCurrent_).normalized());
        Band_->show();
    }
    PrepareDrawer();
    const CExtent extent = Drawer_.DrawnExtent();
    const QPoint logical = ToLogical(event->position());
    emit CursorText(QString::asprintf("X:%.4f, Y:%.4f  Cursor X:%d, Y:%d", logical.x() / Scale_ + extent.MinX,
                                      logical.y() / Scale_ + extent.MaxY, logical.x(), logical.y()));
}

void CLumarixView::MouseRelease(QMouseEvent* event)
{
    if (PanButton_ != Qt::NoButton) {
        if (event->button() == PanButton_)
            EndPan();
        return;
    }
    if (event->button() != Qt::LeftButton || !Dragging_)
        return;
    Dragging_ = false;
    if (RectangleDrawn_) {
        Band_->hide();
        if (Mode_ == Mode::ZoomIn || Mode_ == Mode::ZoomOut)
            ZoomByBand();
    } else if (Mode_ == Mode::ZoomIn || Mode_ == Mode::ZoomOut) {
        ZoomByClick(event->position().toPoint());
    }
    DragStart_ = QPoint(-1, -1);
    DragCurrent_ = QPoint(-1, -1);
    RectangleDrawn_ = false;
}

void CLumarixView::ZoomByClick(QPoint device)
{
    FitHeld_ = false;
    const QPoint click = ToLogical(device);
    const QPoint old = ScrollPosition();
    const double factor = Mode_ == Mode::ZoomIn ? ClickZoomIn : ClickZoomOut;
    const int sign = Mode_ == Mode::ZoomIn ? 1 : -1;
    SetCanvas(Canvas_.width() * factor, Canvas_.height() * factor);
    UpdateScrollRanges();
    ScrollTo(QPoint(old.x() + sign * Truncate(ClickScrollShare * click.x() + 0.5),
                    old.y() + sign * Truncate(ClickScrollShare * click.y() + 0.5)));
    Refresh();
}

void CLumarixView::ZoomByBand()
{
    FitHeld_ = false;
    const QSize client = ClientPixels();
    const double bandWidth = DragCurrent_.x() - DragStart_.x();
    const double bandHeight = DragCurrent_.y() - DragStart_.y();
    // A band of no width or height divides by zero: the infinite ratio meets the clamp.
    const double factor = Mode_ == Mode::ZoomIn
                              ? std::min(std::abs(client.width() / bandWidth), std::abs(client.height() / bandHeight))
                              : std::max(std::abs(bandWidth / client.width()), std::abs(bandHeight / client.height()));
    const double f = std::clamp(factor, MinBandFactor, MaxBandFactor);
    // The map point shown at the band's centre comes to the client's centre.
    const QPoint centre = ToLogical(QPointF(DragStart_ + DragCurrent_) / 2.0);
    const double clientWidth = client.width() * UnitsPerPixelX();
    const double clientHeight = -client.height() * UnitsPerPixelY();
    SetCanvas(Canvas_.width() * f + 0.5, Canvas_.height() * f + 0.5);
    UpdateScrollRanges();
    ScrollTo(QPoint(Truncate(centre.x() * f + 0.5) - Truncate(clientWidth / 2.0),
                    Truncate(centre.y() * f + 0.5) - Truncate(clientHeight / 2.0)));
    Refresh();
}

void CLumarixView::StartPan(Qt::MouseButton button, QPointF device)
{
    FitHeld_ = false;
    PanButton_ = button;
    PanStart_ = device;
    PanStartOrigin_ = Origin();
    CursorBeforePan_ = Surface_->cursor();
    Surface_->setCursor(Qt::ClosedHandCursor);
}

void CLumarixView::PanTo(QPointF device)
{
    // A pixel of the canvas window is shown SquareShare of a pixel wide; the position counts from
    // the drag's start, so no rounding adds up, and the slack lets a map smaller than the client
    // follow the cursor too.
    const QPointF moved = (device - PanStart_) / GL_.SquareShare();
    ScrollExactlyTo(PanStartOrigin_ - QPointF(moved.x() * UnitsPerPixelX(), -moved.y() * UnitsPerPixelY()));
    Surface_->update();
}

void CLumarixView::EndPan()
{
    PanButton_ = Qt::NoButton;
    Surface_->setCursor(CursorBeforePan_);
}

void CLumarixView::Wheel(QWheelEvent* event)
{
    const QPoint angle = event->angleDelta();
    if (event->modifiers() & Qt::ShiftModifier)
        ScrollByWheel(VerticalBar_, angle.y());
    else if (angle.y() != 0)
        ZoomAbout(event->position(), std::pow(WheelZoom, angle.y() / WheelNotch));
    ScrollByWheel(HorizontalBar_, angle.x());
    event->accept();
}

void CLumarixView::ScrollByWheel(QScrollBar* bar, int angle)
{
    if (angle != 0)
        FitHeld_ = false;
    // As a scroll bar takes the wheel: lines of a single step a notch, back on a turn away.
    const double lines = angle / WheelNotch * QApplication::wheelScrollLines();
    bar->setValue(bar->value() - int(std::lround(lines * bar->singleStep())));
}

bool CLumarixView::ScrollByKey(int key)
{
    // An arrow key steps its bar as the bar's own arrow does: a tenth of the client.
    const bool horizontal = key == Qt::Key_Left || key == Qt::Key_Right;
    if (!horizontal && key != Qt::Key_Up && key != Qt::Key_Down)
        return false;
    const bool back = key == Qt::Key_Left || key == Qt::Key_Up;
    (horizontal ? HorizontalBar_ : VerticalBar_)
        ->triggerAction(back ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
    return true;
}

bool CLumarixView::KeyPress(const QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const int key = event->key();
    const QPointF centre = QRectF(QPointF(), QSizeF(ClientPixels())).center();
    if (key == Qt::Key_Plus || key == Qt::Key_Equal)
        ZoomAbout(centre, WheelZoom);
    else if (key == Qt::Key_Minus)
        ZoomAbout(centre, 1.0 / WheelZoom);
    else if (key == Qt::Key_Home)
        FullExtent();
    else
        return ScrollByKey(key);
    return true;
}

CNetworkNode* CLumarixView::NodeByName(std::uint32_t name) const
{
    std::uint32_t position = 0;
    for (CNetworkNode* node : Document_.Network().Nodes())
        if (position++ == name)
            return node;
    return nullptr;
}

void CLumarixView::PickNode(QPoint device)
{
    if (!ContextReady_ || Drawing_)
        return;
    Drawing_ = true;
    Surface_->makeCurrent();
    PrepareDrawer();
    const qreal ratio = Surface_->devicePixelRatioF();
    GL_.ResetCamera();
    ResizeGL();
    GL_.BeginPick(QPoint(int(std::lround(device.x() * ratio)), int(std::lround(device.y() * ratio))));
    Drawer_.DrawPickNodes();
    const std::optional<std::uint32_t> name = GL_.EndPick();
    Surface_->doneCurrent();
    Drawing_ = false;

    // The messages wait until the context is released: a message box runs an event loop that
    // paints.
    if (name)
        ShowMessage("Some Node(s) are selected!", MessageKind::Information);
    CNetworkNode* node = name ? NodeByName(*name) : nullptr;
    if (node == nullptr) {
        ShowMessage(InvalidPointMessage, MessageKind::Warning);
        Refresh();
        return;
    }
    if (Mode_ == Mode::SelectOrigin)
        Document_.SetOriginNode(node);
    else if (Mode_ == Mode::SelectDestination)
        Document_.SetDestinationNode(node);
    else
        Document_.SetServiceCenter(node);
    ShowMessage(node->Name(), MessageKind::Information);
    emit RouteEndPicked();
    Refresh();
}

void CLumarixView::CopyPicture(bool asLines)
{
    PrepareDrawer();
    const QSize client = ClientPixels();
    // The client area in 0.01 mm.
    const std::int32_t width = Truncate(client.width() * UnitsPerPixelX() * 10.0);
    const std::int32_t height = Truncate(client.height() * UnitsPerPixelY() * 10.0);
    CSvgCanvas svgCanvas;
    CEmfCanvas emfCanvas;
    const std::optional<std::string> svg = RenderThrough(svgCanvas, Drawer_, width, height, asLines);
    const std::optional<std::string> emf = RenderThrough(emfCanvas, Drawer_, width, height, asLines);
    if (!svg || !emf) {
        ShowMessage(CNetworkEmfWriter::EmfErrorMessage, MessageKind::Error);
        return;
    }
    const QByteArray svgBytes = QByteArray::fromStdString(*svg);
    const QByteArray emfBytes = QByteArray::fromStdString(*emf);
    QImage image(client, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QSvgRenderer(svgBytes).render(&painter);
    painter.end();

    auto mime = std::make_unique<QMimeData>();
    mime->setData(QString::fromLatin1(SvgMime), svgBytes);
    mime->setData(QString::fromLatin1(EmfMime), emfBytes);
    mime->setData(QString::fromLatin1(LibreOfficeEmfMime), emfBytes);
    mime->setImageData(image);
    QApplication::clipboard()->setMimeData(mime.release());
}

void CLumarixView::Print(QPrinter& printer)
{
    QPainter painter(&printer);
    if (!painter.isActive())
        return;
    PrepareDrawer();
    // The page's printable area in 0.01 mm, so the picture keeps the page's proportions.
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    const std::int32_t width = Truncate(area.width() * 100.0);
    const std::int32_t height = Truncate(area.height() * 100.0);
    CSvgCanvas canvas;
    if (const std::optional<std::string> svg = RenderThrough(canvas, Drawer_, width, height, false))
        QSvgRenderer(QByteArray::fromStdString(*svg)).render(&painter, QRectF(painter.viewport()));
}

} // namespace tessaro
