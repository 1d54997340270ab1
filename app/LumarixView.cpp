#include "app/LumarixView.h"

#include "app/Icons.h"
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
#include <QMimeData>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QPainter>
#include <QPrinter>
#include <QRubberBand>
#include <QScrollBar>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace tessaro {

// The client area: an OpenGL surface that hands its context events and mouse input to the view.
class CViewSurface : public QOpenGLWidget {
public:
    explicit CViewSurface(CLumarixView& view) : View_(view)
    {
        setFormat(CInnerOpenGL::PixelFormat());
        setMouseTracking(true);
        setMinimumSize(160, 120);
    }

protected:
    void initializeGL() override { View_.InitializeGL(); }
    void resizeGL(int, int) override { View_.ResizeGL(); }
    void paintGL() override { View_.PaintGL(); }
    void mousePressEvent(QMouseEvent* event) override { View_.MousePress(event); }
    void mouseMoveEvent(QMouseEvent* event) override { View_.MouseMove(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { View_.MouseRelease(event); }
    void wheelEvent(QWheelEvent* event) override { QApplication::sendEvent(View_.VerticalBar_, event); }

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
      Band_(new QRubberBand(QRubberBand::Rectangle, Surface_))
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Surface_, 0, 0);
    layout->addWidget(VerticalBar_, 0, 1);
    layout->addWidget(HorizontalBar_, 1, 0);
    for (QScrollBar* bar : {HorizontalBar_, VerticalBar_})
        connect(bar, &QScrollBar::valueChanged, Surface_, qOverload<>(&QWidget::update));
    UpdateScrollRanges();
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

QPoint CLumarixView::ScrollPosition() const
{
    return {int(std::lround(HorizontalBar_->value() * UnitsPerPixelX())),
            -int(std::lround(VerticalBar_->value() * UnitsPerPixelY()))};
}

QPoint CLumarixView::ToLogical(QPoint device) const
{
    const QPoint scroll = ScrollPosition();
    return {scroll.x() + int(std::lround(device.x() * UnitsPerPixelX())),
            scroll.y() - int(std::lround(device.y() * UnitsPerPixelY()))};
}

void CLumarixView::Refresh()
{
    Surface_->update();
}

void CLumarixView::ShowFrame(std::shared_ptr<const CRoundFrame> frame)
{
    Frame_ = std::move(frame);
    // The run waits until its round is on the screen.
    Surface_->repaint();
}

void CLumarixView::EndFrames()
{
    Frame_.reset();
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

void CLumarixView::ToggleMode(Mode mode)
{
    Mode_ = Mode_ == mode ? Mode::None : mode;
    const bool selecting =
        Mode_ == Mode::SelectOrigin || Mode_ == Mode::SelectDestination || Mode_ == Mode::SelectCenter;
    Drawer_.Flags.ShowNodeMarkers = selecting;
    Surface_->setCursor(selecting ? Qt::CrossCursor : Qt::ArrowCursor);
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

void CLumarixView::ScrollTo(QPoint logical)
{
    // Each bar spans the canvas in pixels, so the position is the point in pixels, rounded; the
    // y axis counts downward from the canvas top.
    HorizontalBar_->setValue(Truncate(logical.x() / UnitsPerPixelX() + 0.5));
    VerticalBar_->setValue(Truncate(-logical.y() / UnitsPerPixelY() + 0.5));
}

void CLumarixView::FitCanvas()
{
    const CExtent extent = Drawer_.DrawnExtent();
    const double width = extent.Width();
    const double height = extent.Height();
    // An extent without width (a single node, nothing at all) leaves the canvas as it is.
    if (!(width > 0.0) || !std::isfinite(width) || !std::isfinite(height))
        return;
    double scale = Canvas_.width() / width;
    if (height > 0.0)
        scale = std::min(scale, Canvas_.height() / height);
    Scale_ = scale;
    SetCanvas(std::floor(width * scale), std::floor(height * scale));
    UpdateScrollRanges();
}

void CLumarixView::FullExtent()
{
    const QSize client = ClientPixels();
    SetCanvas(client.width() * UnitsPerPixelX(), client.height() * UnitsPerPixelY());
    UpdateScrollRanges();
    ScrollTo(QPoint(0, 0));
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
    const QPoint scroll = ScrollPosition();
    Drawer_.Scale = Scale_;
    Drawer_.ScrollX = scroll.x();
    Drawer_.ScrollY = scroll.y();
    Drawer_.ClientWidth = std::max(1, client.width()) * UnitsPerPixelX();
    Drawer_.ClientHeight = -std::max(1, client.height()) * UnitsPerPixelY();
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
    PrepareDrawer();
    FitCanvas();
    // The fit sets the scale and may have moved the scroll position into the new range.
    PrepareDrawer();
    GL_.ResetCamera();
    ResizeGL();
    GL_.BeginFrame(0.0, CInnerOpenGL::Black);
    Drawer_.DrawScene();
    GL_.EndFrame();
    Drawing_ = false;
}

void CLumarixView::MousePress(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (Mode_ == Mode::SelectOrigin || Mode_ == Mode::SelectDestination || Mode_ == Mode::SelectCenter) {
        PickNode(at);
        return;
    }
    // The surface keeps the mouse until the button is released.
    Dragging_ = true;
    DragStart_ = at;
    DragCurrent_ = at;
}

void CLumarixView::MouseMove(QMouseEvent* event)
{
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
    const QPoint logical = ToLogical(at);
    emit CursorText(QString::asprintf("X:%.4f, Y:%.4f  Cursor X:%d, Y:%d", logical.x() / Scale_ + extent.MinX,
                                      logical.y() / Scale_ + extent.MaxY, logical.x(), logical.y()));
}

void CLumarixView::MouseRelease(QMouseEvent* event)
{
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
    const QSize client = ClientPixels();
    const double bandWidth = DragCurrent_.x() - DragStart_.x();
    const double bandHeight = DragCurrent_.y() - DragStart_.y();
    // A band of no width or height divides by zero: the infinite ratio meets the clamp.
    const double factor = Mode_ == Mode::ZoomIn
                              ? std::min(std::abs(client.width() / bandWidth), std::abs(client.height() / bandHeight))
                              : std::max(std::abs(bandWidth / client.width()), std::abs(bandHeight / client.height()));
    const double f = std::clamp(factor, MinBandFactor, MaxBandFactor);
    const QPoint centre = ToLogical(QPoint(Truncate((DragStart_.x() + DragCurrent_.x()) * 0.5 + 0.5),
                                           Truncate((DragStart_.y() + DragCurrent_.y()) * 0.5 + 0.5)));
    const double clientWidth = client.width() * UnitsPerPixelX();
    const double clientHeight = -client.height() * UnitsPerPixelY();
    SetCanvas(Canvas_.width() * f + 0.5, Canvas_.height() * f + 0.5);
    UpdateScrollRanges();
    ScrollTo(QPoint(Truncate(centre.x() * f + 0.5) - Truncate(clientWidth / 2.0),
                    Truncate(centre.y() * f + 0.5) - Truncate(clientHeight / 2.0)));
    Refresh();
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
