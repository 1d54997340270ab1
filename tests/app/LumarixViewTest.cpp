// The network view on a virtual X server with Mesa's software renderer. The scene drawer alone on
// an off-screen context: each layer's colour where the camera puts it, the first drawn on top.
// The view in a main window, driven by its toolbar, the mouse and the keys: picking at the pixels
// where the nodes are drawn, click and rubber-band zoom, the cursor read-out at the drawn border,
// wheel zoom, panning, the fit on opening, and the copied and printed pictures read back by
// independent readers. The map style: fills by error inside concave rings and around holes, the
// classic scene kept, copies that follow the screen, the legend, the highlight, centring on a
// polygon and the Identify mode on the US states. CTest runs it again with QT_SCALE_FACTOR=2, a
// device pixel ratio of 2.
#include "app/LumarixView.h"
#include "app/AppDocument.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/LumarixApp.h"
#include "app/MainFrame.h"
#include "app/MapLegend.h"
#include "app/MapStyleDlg.h"
#include "document/LumarixDoc.h"
#include "platform/RecordingUserInterface.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/TestApp.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/PolygonFixtures.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineF>
#include <QMimeData>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

using namespace tessaro;
using namespace tessaro::test;
using namespace Qt::StringLiterals;

namespace {

// In the extent (0, 0)-(100, 50): a road of three straight chains A(10, 5) - B(90, 5) -
// C(90, 45) - D(50, 45) and a square polygon (20, 20)-(35, 35).
void BuildProbeNetwork(CNetwork& network)
{
    network.SetKeyMode(KeyByCoordinates);
    for (const auto& ends :
         {std::array{10., 5., 90., 5.}, std::array{90., 5., 90., 45.}, std::array{90., 45., 50., 45.}}) {
        auto chain = std::make_unique<CNetworkChain>();
        chain->SetPoints(2, ends.data());
        network.AddChain(std::move(chain));
    }
    network.BuildTopology();
    network.ComputeChainLengths();
    network.AddPolygon(MakePolygon({SquarePoints(20, 20, 15)}));
    network.SetExtent(CExtent{0, 0, 100, 50}, true);
}

CNetworkNode* NodeAt(CNetwork& network, double x, double y)
{
    for (CNetworkNode* node : network.Nodes())
        if (node->X() == x && node->Y() == y)
            return node;
    return nullptr;
}

// Where the fixed camera shows a device point of [-1, 1]^2 in a w x h picture: the frustum's
// near plane 0.02 seen from 0.023 shrinks it about the centre.
QPointF ScreenPixel(double x, double y, int w, int h)
{
    constexpr double Shrink = 0.02 / 0.023;
    return {(Shrink * x + 1.0) / 2.0 * w, (1.0 - Shrink * y) / 2.0 * h};
}

// Whether a pixel within one of `at` has the colour, each channel within 2 (the 8-bit rounding
// of the drawer's fractions).
bool ColourNear(const QImage& image, QPointF at, QColor colour)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p(int(at.x()) + dx, int(at.y()) + dy);
            const QColor c = image.rect().contains(p) ? image.pixelColor(p) : QColor();
            if (c.isValid() && std::abs(c.red() - colour.red()) <= 2 && std::abs(c.green() - colour.green()) <= 2 &&
                std::abs(c.blue() - colour.blue()) <= 2)
                return true;
        }
    return false;
}

// The smallest rectangle holding every pixel of the colour; empty when none has it.
QRect ColourBox(const QImage& image, QColor colour)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                box |= QRect(x, y, 1, 1);
    return box;
}

// Element name -> count in an SVG document; empty when it does not parse.
std::map<QString, int> ElementCounts(const QByteArray& svg)
{
    std::map<QString, int> counts;
    QXmlStreamReader reader(svg);
    while (reader.readNext() != QXmlStreamReader::Invalid && !reader.atEnd())
        counts[reader.name().toString()] += reader.isStartElement() ? 1 : 0;
    return reader.hasError() ? std::map<QString, int>{} : counts;
}

// Beside the probe network's square: a square (70, 12)-(86, 28) with the hole (75, 15)-(83, 23),
// and a U (40, 10)-(64, 40) open at the top, its notch (48, 18)-(56, 40).
void AddHoleAndU(CNetwork& network)
{
    network.AddPolygon(MakePolygon({SquarePoints(70, 12, 16), SquarePoints(75, 15, 8, false)}));
    network.AddPolygon(MakePolygon({{40, 10, 40, 40, 48, 40, 48, 18, 56, 18, 56, 40, 64, 40, 64, 10, 40, 10}}));
}

QColor ToQColor(const CPictureColor& c)
{
    return QColor(c.Red, c.Green, c.Blue);
}

// Measures of the given deviations, the values counting up from 1.
PolygonMeasures Deviations(std::vector<double> deviations)
{
    PolygonMeasures measures;
    for (size_t i = 0; i < deviations.size(); ++i)
        measures.Values.push_back(double(i + 1));
    measures.Deviations = std::move(deviations);
    measures.ValueName = "Rank";
    return measures;
}

// A style that fills by error on white, the outlines black, no quadtree.
MapStyle ErrorStyle()
{
    MapStyle style;
    style.Fill = MapStyle::FillMode::ByError;
    style.Background = {255, 255, 255};
    style.OutlineColor = {0, 0, 0};
    style.ShowQuadtree = false;
    return style;
}

constexpr int Width = 400; // of the off-screen picture
constexpr int Height = 200;

} // namespace

class LumarixViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(App_.Start());

        Surface_.setFormat(CInnerOpenGL::PixelFormat());
        Surface_.create();
        Context_.setFormat(CInnerOpenGL::PixelFormat());
        QVERIFY(Context_.create() && Context_.makeCurrent(&Surface_));
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::Depth);
        Target_ = std::make_unique<QOpenGLFramebufferObject>(Width, Height, format);
        CScopedRecordingUserInterface ui;
        QVERIFY(GL_.Create(&Context_));
        BuildProbeNetwork(Network_);
        // A uniform quadtree of 4 x 4 cells of side 25 over (-10, -10)-(90, 90): no line on the
        // extent's edges.
        std::vector<double> centres;
        for (int i = 0; i < 16; ++i)
            centres.insert(centres.end(), {2.5 + 25.0 * (i / 4), 2.5 + 25.0 * (i % 4)});
        CTreeRect root{-10, 90, 90, -10};
        QVERIFY(Tree_.BuildForPoints(root, 2, 16, centres.data()));
        // The route A - B - C; D stays unreached.
        Route_.SetOrigin(NodeAt(Network_, 10, 5));
        Route_.SetDestination(NodeAt(Network_, 90, 45));
        Route_.Solve(CShortestPath::ModeCandidates, 0.0);
        QCOMPARE(Route_.Route().Nodes.size(), size_t(3));
        // The extent fills a canvas of 1000 x 500 units, which is the whole client window.
        Drawer_.Network = &Network_;
        Drawer_.Route = &Route_;
        Drawer_.QuadTree = &Tree_;
        Drawer_.Scale = 10.0;
        Drawer_.ClientWidth = 1000.0;
        Drawer_.ClientHeight = -500.0;
    }
    void cleanupTestCase()
    {
        Context_.makeCurrent(&Surface_);
        Target_.reset();
        App_.Stop();
    }

    // A main window whose view shows the probe network; the client is smaller than the canvas.
    void init()
    {
        Frame_ = std::make_unique<CMainFrame>(&App_.App().UserInterface());
        Frame_->resize(820, 620);
        Frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(Frame_.get()));
        Document_ = Frame_->NewDocument();
        BuildProbeNetwork(Doc().Network());
        Document_->RefreshViews();
        Draw();
        QCOMPARE(View()->CanvasSize(), QSize(3000, 1500)); // 3000 x 1800 fitted to 100 x 50
    }
    void cleanup() { Frame_.reset(); }

    void LayersShowTheirColoursWhereTheyLie_data()
    {
        QTest::addColumn<QString>("also");
        QTest::addColumn<QPointF>("world");
        QTest::addColumn<QColor>("colour");
        const QColor red(255, 0, 0), cyan(0, 255, 255);
        QTest::newRow("chain off the route") << "" << QPointF(70, 45) << QColor(255, 255, 0);
        QTest::newRow("route over its chain") << "" << QPointF(50, 5) << QColor(255, 0, 255);
        QTest::newRow("polygon outline") << "" << QPointF(27, 20) << QColor(102, 204, 204);
        QTest::newRow("boundary, top edge") << "" << QPointF(50, 50) << red;
        QTest::newRow("boundary, left edge") << "" << QPointF(0, 25) << red;
        QTest::newRow("quadtree cell line") << "" << QPointF(65, 30) << QColor(51, 51, 51);
        QTest::newRow("origin over route and chain") << "" << QPointF(10, 5) << red;
        QTest::newRow("destination over two chains") << "" << QPointF(90, 45) << red;
        QTest::newRow("empty canvas") << "" << QPointF(60, 15) << QColor(0, 0, 0);
        QTest::newRow("service centre over the chain end") << "centre" << QPointF(50, 45) << QColor(0, 0, 255);
        QTest::newRow("finished node over the route") << "markers" << QPointF(90, 5) << QColor(0, 255, 0);
        QTest::newRow("unreached node over the chain end") << "markers" << QPointF(50, 45) << cyan;
        QTest::newRow("polygon vertex") << "vertices" << QPointF(35, 35) << cyan;
    }
    void LayersShowTheirColoursWhereTheyLie()
    {
        QFETCH(QString, also);
        QFETCH(QPointF, world);
        QFETCH(QColor, colour);
        CDisplayFlags flags;
        flags.ShowNodeMarkers = also == u"markers"_s;
        flags.ShowPolygonVertices = also == u"vertices"_s;
        Drawer_.ServiceCenter = also == u"centre"_s ? NodeAt(Network_, 50, 45) : nullptr;
        const QPointF at = OffScreenPixel(world.x(), world.y());
        QVERIFY2(ColourNear(DrawOffScreen(flags), at, colour), qPrintable(colour.name()));
    }

    // The diagonals belong to the cells: alone they change no pixel; with the cells they cross
    // each cell's centre.
    void TreeDiagonalOnlyWithTheQuadtree()
    {
        CDisplayFlags none;
        none.ShowQuadtree = false;
        CDisplayFlags diagonalsAlone = none;
        diagonalsAlone.ShowTreeDiagonal = true;
        QCOMPARE(DrawOffScreen(diagonalsAlone), DrawOffScreen(none));
        CDisplayFlags cellsAndDiagonals;
        cellsAndDiagonals.ShowTreeDiagonal = true;
        const QPointF centre = OffScreenPixel(52.5, 27.5); // of the cell (40, 15)-(65, 40)
        QVERIFY(ColourNear(DrawOffScreen(cellsAndDiagonals), centre, QColor(77, 128, 77)));
        QVERIFY(!ColourNear(DrawOffScreen(CDisplayFlags{}), centre, QColor(77, 128, 77)));
    }

    void PickingSetsTheModesNode_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QPointF>("world");
        QTest::addColumn<bool>("onNode");
        QTest::newRow("origin") << CommandId::SelectOrigin << QPointF(10, 5) << true;
        QTest::newRow("destination") << CommandId::SelectDestination << QPointF(90, 45) << true;
        QTest::newRow("service centre") << CommandId::SelectCenter << QPointF(90, 5) << true;
        QTest::newRow("origin, beside the nodes") << CommandId::SelectOrigin << QPointF(30, 10) << false;
        QTest::newRow("destination, beside the nodes") << CommandId::SelectDestination << QPointF(70, 40) << false;
        QTest::newRow("service centre, beside the nodes") << CommandId::SelectCenter << QPointF(90, 20) << false;
    }
    void PickingSetsTheModesNode()
    {
        QFETCH(int, command);
        QFETCH(QPointF, world);
        QFETCH(bool, onNode);
        // A selection mode replaces a zoom mode and marks the nodes.
        Frame_->Action(CommandId::ZoomIn)->trigger();
        Frame_->Action(command)->trigger();
        QVERIFY(Frame_->Action(command)->isChecked() && !Frame_->Action(CommandId::ZoomIn)->isChecked());
        QVERIFY(View()->Flags().ShowNodeMarkers);

        CScopedRecordingUserInterface ui;
        QTest::mouseClick(View()->Surface(), Qt::LeftButton, {}, ViewPixel(world.x(), world.y()).toPoint());
        CLumarixDoc& doc = Doc();
        const CNetworkNode* picked = command == CommandId::SelectOrigin        ? doc.BestRoute().Origin()
                                     : command == CommandId::SelectDestination ? doc.BestRoute().Destination()
                                                                               : doc.ServiceCenter();
        QCOMPARE(picked, onNode ? NodeAt(doc.Network(), world.x(), world.y()) : nullptr);
        const std::vector<std::string> said =
            onNode ? std::vector<std::string>{"Some Node(s) are selected!", picked->Name()}
                   : std::vector<std::string>{CLumarixView::InvalidPointMessage};
        QCOMPARE(ui->Messages(), said);
    }

    // Zoom in by a click and out by another: the canvas is 1.2 x 0.8 = 0.96 of what it was, the
    // first click scrolling by a fifth of its logical position; Full Extent starts over.
    void ClickZoomInThenOut()
    {
        const QPoint click(View()->Surface()->width() / 2, View()->Surface()->height() / 2);
        const QPoint logical = View()->ToLogical(click);
        Frame_->Action(CommandId::ZoomIn)->trigger();
        QTest::mouseClick(View()->Surface(), Qt::LeftButton, {}, click);
        Draw();
        QCOMPARE(View()->CanvasSize(), QSize(3600, 1800));
        // The scroll bars move in whole pixels (254 / 96 units at 96 dots an inch).
        QVERIFY((View()->ScrollPosition() - QPoint(int(0.2 * logical.x() + 0.5), int(0.2 * logical.y() + 0.5)))
                    .manhattanLength() <= 6);
        Frame_->Action(CommandId::ZoomOut)->trigger();
        QTest::mouseClick(View()->Surface(), Qt::LeftButton, {}, click);
        Draw();
        QCOMPARE(View()->CanvasSize(), QSize(2880, 1440));
        Frame_->Action(CommandId::FullExtent)->trigger();
        Draw();
        QCOMPARE(View()->ScrollPosition(), QPoint(0, 0));
        QVERIFY(View()->CanvasSize().width() <=
                View()->Surface()->width() * 254 / View()->Surface()->logicalDpiX() + 1);
    }

    void RubberBandFactorStaysWithinItsClamp_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<double>("bandShare"); // of the client, 0 for a band of 12 pixels
        QTest::addColumn<double>("factor");
        QTest::newRow("in, band ten times the client") << CommandId::ZoomIn << 10.0 << 0.125;
        QTest::newRow("in, band of twelve pixels") << CommandId::ZoomIn << 0.0 << 6.0;
        QTest::newRow("in, band half the client") << CommandId::ZoomIn << 0.5 << 2.0;
        QTest::newRow("out, band ten times the client") << CommandId::ZoomOut << 10.0 << 6.0;
        QTest::newRow("out, band of twelve pixels") << CommandId::ZoomOut << 0.0 << 0.125;
    }
    void RubberBandFactorStaysWithinItsClamp()
    {
        QFETCH(int, command);
        QFETCH(double, bandShare);
        QFETCH(double, factor);
        QOpenGLWidget* surface = View()->Surface();
        const QPoint start(surface->width() / 4, surface->height() / 4);
        const QPoint end =
            start + (bandShare == 0.0 ? QPoint(12, 12)
                                      : QPoint(int(surface->width() * bandShare), int(surface->height() * bandShare)));
        Frame_->Action(command)->trigger();
        Drag(Qt::LeftButton, start, end);
        Draw();
        // The canvas is scaled by the factor, rounded, then fitted to the extent again; half a
        // client of odd size gives a factor a little over 2.
        QVERIFY2(std::abs(View()->CanvasSize().width() / (3000 * factor) - 1.0) < 0.005 &&
                     std::abs(View()->CanvasSize().height() / (1500 * factor) - 1.0) < 0.005,
                 qPrintable(QString::number(View()->CanvasSize().width())));
    }

    // At the drawn left and top borders the read-out gives MinX and MaxY and the canvas origin's
    // column and row, within a pixel (in logical units, with the half unit the read-out rounds).
    void CursorReadOutIsThePointUnderTheCursor()
    {
        const QImage picture = Draw();
        const QRect border = ColourBox(picture, QColor(255, 0, 0));
        const double ratio = picture.devicePixelRatio();
        const std::vector<double> left = ReadOutAt((QPointF(border.left(), border.center().y()) / ratio).toPoint());
        const std::vector<double> top = ReadOutAt((QPointF(border.center().x(), border.top()) / ratio).toPoint());
        QVERIFY(left.size() == 4 && top.size() == 4);
        const double pixel = 254.0 / View()->Surface()->logicalDpiX() / (0.02 / 0.023) + 0.5;
        QVERIFY2(std::abs(left[0]) <= pixel / View()->Scale() && std::abs(left[2]) <= pixel, qPrintable(Status()));
        QVERIFY2(std::abs(top[1] - 50.0) <= pixel / View()->Scale() && std::abs(top[3]) <= pixel, qPrintable(Status()));
    }

    // A Zoom In band around the square (20, 20)-(35, 35) brings the square to the client's centre.
    void RubberBandZoomsOntoTheBandedRegion()
    {
        const QPoint from = ViewPixel(18, 37).toPoint();
        const QPoint to = ViewPixel(37, 18).toPoint();
        Frame_->Action(CommandId::ZoomIn)->trigger();
        Drag(Qt::LeftButton, from, to);
        const QImage picture = Draw();
        const QRect square = ColourBox(picture, QColor(102, 204, 204));
        const QPointF offset = QRectF(square).center() - QRectF(picture.rect()).center();
        QVERIFY2(picture.rect().contains(square) && std::abs(offset.x()) <= 3 && std::abs(offset.y()) <= 3,
                 qPrintable(u"%1, %2"_s.arg(offset.x()).arg(offset.y())));
    }

    // A wheel notch zooms by 1.2 and one back by 1 / 1.2 with the map point under the cursor kept
    // there; with Shift the wheel scrolls down instead.
    void WheelZoomsAboutTheCursor()
    {
        const QPointF cursor = ViewPixel(65, 40);
        for (const auto& [angle, width] : {std::pair{120, 3600}, std::pair{-120, 3000}}) {
            TurnWheel(cursor.toPoint(), angle);
            Draw();
            QVERIFY(std::abs(View()->CanvasSize().width() - width) <= 1);
            QVERIFY(QLineF(ViewPixel(65, 40), cursor).length() <= 1.5);
        }
        const QPoint scroll = View()->ScrollPosition();
        TurnWheel(cursor.toPoint(), -120, Qt::ShiftModifier);
        QVERIFY(std::abs(View()->CanvasSize().width() - 3000) <= 1 && View()->ScrollPosition().y() < scroll.y());
    }

    // From the fitted view, where the map is shorter than the client and the vertical bar has
    // no range, a point near the map's bottom stays under the wheel, follows a drag, and a
    // polygon can still be centred.
    void AMapSmallerThanTheClientStillFollowsTheCursor()
    {
        Frame_->Action(CommandId::FullExtent)->trigger();
        Draw();
        QCOMPARE(VerticalBarRange(), 0);
        const QPointF cursor = ViewPixel(20, 3);
        for (const int angle : {120, 120, -120}) {
            TurnWheel(cursor.toPoint(), angle);
            Draw();
            QVERIFY2(QLineF(ViewPixel(20, 3), cursor).length() <= 1.5,
                     qPrintable(u"%1, %2"_s.arg(ViewPixel(20, 3).x()).arg(ViewPixel(20, 3).y())));
        }
        Drag(Qt::MiddleButton, cursor.toPoint(), cursor.toPoint() + QPoint(25, -20));
        Draw();
        QVERIFY(QLineF(ViewPixel(20, 3), cursor + QPointF(25, -20)).length() <= 1.5);
        Frame_->Action(CommandId::FullExtent)->trigger();
        Draw();
        View()->CenterOnPolygon(0);
        Draw();
        QVERIFY(QLineF(ViewPixel(27.5, 27.5), QRectF(View()->Surface()->rect()).center()).length() <= 2.0);
    }

    void DragPansTheMap_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("command"); // 0: no mode
        QTest::newRow("middle button, no mode") << Qt::MiddleButton << 0;
        QTest::newRow("middle button, Select Origin") << Qt::MiddleButton << int(CommandId::SelectOrigin);
        QTest::newRow("left button, no mode") << Qt::LeftButton << 0;
    }
    // A drag moves a map point by as much, neither zooming nor picking.
    void DragPansTheMap()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, command);
        View()->ZoomAbout(QPointF(100, 100), 1.5);
        if (command != 0)
            Frame_->Action(command)->trigger();
        Draw();
        const QSize canvas = View()->CanvasSize();
        const QPointF before = ViewPixel(40, 20);
        CScopedRecordingUserInterface ui;
        Drag(button, before.toPoint(), before.toPoint() + QPoint(-40, -30));
        Draw();
        QVERIFY(View()->CanvasSize() == canvas && ui->Messages().empty());
        QVERIFY(QLineF(ViewPixel(40, 20), before + QPointF(-40, -30)).length() <= 1.5);
    }

    // After a click on the view, + zooms by 1.2, the arrows scroll by a tenth of the client, Home
    // shows the full extent.
    void KeysZoomAndScroll()
    {
        Frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Frame_.get()));
        QOpenGLWidget* surface = View()->Surface();
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(surface->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Plus);
        Draw();
        QCOMPARE(View()->CanvasSize(), QSize(3600, 1800));
        const double units = 254.0 / surface->logicalDpiX();
        const QPoint scroll = View()->ScrollPosition();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        const QPointF tenth = QPointF(surface->width() / 10, -surface->height() / 10) * units;
        QVERIFY(QLineF(View()->ScrollPosition() - scroll, tenth).length() <= 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
        QCOMPARE(View()->ScrollPosition(), QPoint(0, 0));
    }

    // An opened map is shown whole, and so is the map a run ends with, whatever the zoom before.
    void FitsTheMapOnOpenAndAfterARun()
    {
        CScopedRecordingUserInterface ui;
        const QString folder = App_.ScratchFile(u"states"_s);
        QVERIFY(QDir().mkpath(folder));
        CAppDocument* states = Frame_->OpenDocument(CopyUsStates(folder));
        QVERIFY(states != nullptr);
        QCOMPARE(View()->devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", u"1"_s).toDouble());
        QVERIFY(ShowsWholeMap(Draw()));
        View()->ZoomAbout(QPointF(100, 100), 3.0);
        QVERIFY(!ShowsWholeMap(Draw()));
        emit states->RunEnded(CartogramRunSummary{});
        QVERIFY(ShowsWholeMap(Draw()));
    }

    // Copy gives filled polygons, Copy as Lines hollow ones with a dot on every vertex; both as
    // SVG (a line per segment of the chains and of the route, a polygon per ring and per route
    // end), as EMF of sound structure under two names, and as an image of the client.
    void CopiesHoldThePictureInEveryFormat_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("fill");
        QTest::addColumn<int>("ellipses");
        QTest::newRow("copy") << CommandId::Copy << u"rgb(192,192,192)"_s << 0;
        QTest::newRow("copy as lines") << CommandId::CopyAsLines << u"none"_s << 4;
    }
    void CopiesHoldThePictureInEveryFormat()
    {
        QFETCH(int, command);
        QFETCH(QString, fill);
        QFETCH(int, ellipses);
        CScopedRecordingUserInterface ui;
        CLumarixDoc& doc = Doc();
        doc.SetOriginNode(NodeAt(doc.Network(), 10, 5));
        doc.SetDestinationNode(NodeAt(doc.Network(), 90, 45));
        doc.SolveBestRoute(CShortestPath::ModeCandidates, 0.0);
        Frame_->Action(command)->trigger();
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        QVERIFY(copied != nullptr);
        const QByteArray svg = copied->data(u"image/svg+xml"_s);
        std::map<QString, int> counts = ElementCounts(svg);
        QCOMPARE(counts[u"svg"_s], 1);
        QCOMPARE(counts[u"line"_s], 5);
        QCOMPARE(counts[u"polygon"_s], 3);
        QCOMPARE(counts[u"ellipse"_s], ellipses);
        QVERIFY(svg.contains("<polygon") && svg.indexOf(" fill=\"" + fill.toLatin1()) == svg.indexOf(" fill="));
        const QByteArray emf = copied->data(u"image/x-emf"_s);
        const EmfCheckResult check = CheckEmfBytes(std::vector<unsigned char>(emf.begin(), emf.end()));
        QVERIFY2(check.Ok, check.Reason.c_str());
        QCOMPARE(copied->data(u"application/x-openoffice-emf;windows_formatname=\"Image EMF\""_s), emf);
        QCOMPARE(qvariant_cast<QImage>(copied->imageData()).size(), View()->Surface()->size());
    }

    // Printed to a PDF, the page shows the map: pdftoppm's raster holds the light grey fill of
    // the square, 15 of the 100 world units across the printable width.
    void PrintToPdfShowsTheMap()
    {
        const QString pdf = App_.ScratchFile(u"view.pdf"_s);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        View()->Print(printer);
        const QString raster = App_.ScratchFile(u"view"_s);
        QCOMPARE(QProcess::execute(u"pdftoppm"_s, {"-r", "40", "-png", "-singlefile", pdf, raster}), 0);
        const QImage page = QImage(raster + u".png"_s).convertToFormat(QImage::Format_RGB32);
        const auto* pixels = reinterpret_cast<const QRgb*>(page.constBits());
        const auto grey = std::count(pixels, pixels + page.width() * page.height(), qRgb(192, 192, 192));
        const double side = page.width() * 0.15;
        QVERIFY2(grey > side * side * 0.5, qPrintable(QString::number(grey)));
    }

    // Filled by error, a polygon's inside takes the scale's colour of its deviation: the square,
    // the square around its hole (the hole shows the background) and the U (its notch shows the
    // background, a deviation past the bound the darkest red); outlines and background as styled.
    void ErrorFillShowsTheScalesColourInsideEachPolygon_data()
    {
        QTest::addColumn<QPointF>("world");
        QTest::addColumn<double>("deviation"); // NaN: the background
        const double background = std::nan("");
        QTest::newRow("square") << QPointF(27.5, 27.5) << 0.25;
        QTest::newRow("around the hole") << QPointF(72, 20) << -0.4;
        QTest::newRow("the hole") << QPointF(79, 19) << background;
        QTest::newRow("the U's arm") << QPointF(44, 30) << 0.5;
        QTest::newRow("the U's bottom") << QPointF(52, 13) << 0.5;
        QTest::newRow("the U's notch") << QPointF(52, 32) << background;
        QTest::newRow("no polygon") << QPointF(60, 45) << background;
    }
    void ErrorFillShowsTheScalesColourInsideEachPolygon()
    {
        QFETCH(QPointF, world);
        QFETCH(double, deviation);
        AddHoleAndU(Doc().Network());
        View()->SetStyle(ErrorStyle());
        View()->SetPolygonMeasures(Deviations({0.25, -0.4, 0.9}));
        View()->FullExtent();
        const QImage frame = Draw();
        const QColor expected =
            std::isnan(deviation) ? QColor(Qt::white) : ToQColor(CColorScale::Deviation().ColorOf(deviation));
        QVERIFY2(FrameColourNear(frame, ViewPixel(world.x(), world.y()), expected), qPrintable(expected.name()));
        QVERIFY(FrameColourNear(frame, ViewPixel(27.5, 20), Qt::black));
    }

    // The classic style draws the scene as it always was, black and teal; another style changes
    // the frame, and the classic one brings it back pixel for pixel.
    void ClassicStyleKeepsTheScene()
    {
        const QImage classic = Draw();
        QVERIFY(FrameColourNear(classic, ViewPixel(60, 15), Qt::black));
        QVERIFY(FrameColourNear(classic, ViewPixel(27, 20), QColor(102, 204, 204)));
        MapStyle oneColour;
        oneColour.Fill = MapStyle::FillMode::OneColor;
        View()->SetStyle(oneColour);
        const QImage filled = Draw();
        QVERIFY(FrameColourNear(filled, ViewPixel(27.5, 27.5), ToQColor(oneColour.FillColor)));
        QVERIFY(FrameColourNear(filled, ViewPixel(27, 20), QColor(102, 204, 204)));
        View()->SetStyle(MapStyle{});
        QCOMPARE(Draw(), classic);
    }

    // The legend shows over the client's bottom-left corner while the polygons are filled by
    // value or error and have measures, with the scale's entries.
    void LegendShowsWithAFillByValueOrError()
    {
        const CMapLegend* legend = View()->Legend();
        View()->SetPolygonMeasures(Deviations({0.1}));
        QVERIFY(!legend->isVisible());
        View()->SetStyle(ErrorStyle());
        QVERIFY(legend->isVisible());
        QCOMPARE(legend->Title(), QString::fromUtf8(PolygonMeasures::DeviationName));
        QCOMPARE(legend->Entries(), CColorScale::Deviation().Legend());
        const QRect client = View()->Surface()->rect();
        QVERIFY(legend->geometry().left() < client.width() / 4 &&
                legend->geometry().bottom() > client.height() * 3 / 4);
        MapStyle byValue = ErrorStyle();
        byValue.Fill = MapStyle::FillMode::ByValue;
        View()->SetStyle(byValue);
        QCOMPARE(legend->Title(), u"Rank"_s);
        byValue.Fill = MapStyle::FillMode::OneColor;
        View()->SetStyle(byValue);
        QVERIFY(!legend->isVisible());
        // Measures of another layer than the one drawn make no legend.
        View()->SetStyle(ErrorStyle());
        View()->SetPolygonMeasures(Deviations({0.1, 0.2}));
        QVERIFY(!legend->isVisible());
    }

    // With a style on, Copy draws what the screen shows: the background over the page, each
    // polygon a filled even-odd path in its scale colour, the outlines, and the legend with its
    // title, in the SVG, in the EMF as emf2svg reads it, and in the image. The classic style
    // brings back the classic picture byte for byte.
    void CopyWithAStyleFollowsTheScreen()
    {
        CScopedRecordingUserInterface ui;
        Frame_->Action(CommandId::Copy)->trigger();
        const QByteArray classic = QGuiApplication::clipboard()->mimeData()->data(u"image/svg+xml"_s);
        View()->SetStyle(ErrorStyle());
        View()->SetPolygonMeasures(Deviations({0.25}));
        Frame_->Action(CommandId::Copy)->trigger();
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        const QByteArray svg = copied->data(u"image/svg+xml"_s);
        const QColor fill = ToQColor(CColorScale::Deviation().ColorOf(0.25));
        const QByteArray rgb = u"rgb(%1,%2,%3)"_s.arg(fill.red()).arg(fill.green()).arg(fill.blue()).toLatin1();
        QVERIFY2(svg.contains("fill-rule=\"evenodd\" stroke=\"" + rgb +
                              "\" stroke-width=\"1\" vector-effect=\"non-scaling-stroke\" fill=\"" + rgb),
                 svg.constData());
        QVERIFY(svg.indexOf("fill=\"rgb(255,255,255)\"") < svg.indexOf("<path"));
        QVERIFY(svg.contains(QByteArray(">") + PolygonMeasures::DeviationName + "</text>"));
        const std::map<QString, int> counts = ElementCounts(svg);
        QCOMPARE(counts.at(u"text"_s), 6);

        const QByteArray emf = copied->data(u"image/x-emf"_s);
        const EmfCheckResult check = CheckEmfBytes(std::vector<unsigned char>(emf.begin(), emf.end()));
        QVERIFY2(check.Ok, check.Reason.c_str());
        const QString emfFile = App_.ScratchFile(u"copy.emf"_s), convertedFile = App_.ScratchFile(u"copy.svg"_s);
        QFile out(emfFile);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(emf) == emf.size());
        out.close();
        QCOMPARE(QProcess::execute(u"emf2svg-conv"_s, {u"-i"_s, emfFile, u"-o"_s, convertedFile}), 0);
        QFile converted(convertedFile);
        QVERIFY(converted.open(QIODevice::ReadOnly));
        const QByteArray read = converted.readAll();
        // emf2svg writes colours as upper-case #RRGGBB.
        QVERIFY(read.toLower().contains(fill.name().toLatin1()) && read.contains(PolygonMeasures::DeviationName));

        const QImage image = qvariant_cast<QImage>(copied->imageData());
        QVERIFY(ColourNear(image, PicturePixel(image.size(), 27.5, 27.5), fill));
        QVERIFY(ColourNear(image, PicturePixel(image.size(), 60, 15), Qt::white));

        View()->SetStyle(MapStyle{});
        Frame_->Action(CommandId::Copy)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->data(u"image/svg+xml"_s), classic);
    }

    // The window's view takes its measures from each round while a run goes on and from the
    // summary of a completed run; a cancelled run leaves the last ones.
    void RunsGiveTheViewItsMeasures()
    {
        View()->SetStyle(ErrorStyle());
        const CColorScale scale = CColorScale::Deviation();
        auto frame = std::make_shared<CRoundFrame>();
        frame->Measures.Fits = {PolygonFit{1.0, 1.1, 0.05, -0.3}};
        frame->Polygons = {{SquarePoints(20, 20, 15)}};
        frame->Extent = CExtent{0, 0, 100, 50};
        emit Document_->FrameArrived(frame);
        QCOMPARE(View()->Coloring().Fills, std::vector<CPictureColor>{scale.ColorOf(-0.3)});
        CartogramRunSummary summary;
        summary.Result = CartogramRunSummary::Outcome::Completed;
        summary.LastMeasures.emplace();
        summary.LastMeasures->Fits = {PolygonFit{1.0, 1.2, 0.1, 0.2}};
        emit Document_->RunEnded(summary);
        QVERIFY(!View()->ShowsFrame());
        QCOMPARE(View()->Coloring().Fills, std::vector<CPictureColor>{scale.ColorOf(0.2)});
        summary.Result = CartogramRunSummary::Outcome::Cancelled;
        summary.LastMeasures->Fits = {PolygonFit{1.0, 0.5, 0.3, -0.5}};
        emit Document_->RunEnded(summary);
        QCOMPARE(View()->Coloring().Fills, std::vector<CPictureColor>{scale.ColorOf(0.2)});
    }

    // A highlighted polygon's border turns thick and green over everything, on the screen and in
    // copies; -1 takes it away.
    void HighlightOutlinesThePolygonOnTop()
    {
        const QColor green = ToQColor(CGLDrawNetwork::HighlightColor);
        const QImage before = Draw();
        View()->HighlightPolygon(0);
        const QImage lit = Draw();
        for (const QPointF border : {QPointF(27.5, 20), QPointF(20, 27.5), QPointF(35, 30), QPointF(30, 35)}) {
            QVERIFY(!FrameColourNear(before, ViewPixel(border.x(), border.y()), green));
            QVERIFY(FrameColourNear(lit, ViewPixel(border.x(), border.y()), green));
        }
        // Three pixels wide, and nowhere but along the square.
        const QRect box = ColourBox(lit, green);
        const QRectF square = QRectF(ViewPixel(20, 35), ViewPixel(35, 20));
        const double ratio = lit.devicePixelRatio();
        QVERIFY2(std::abs(box.width() / ratio - square.width()) <= 5 &&
                     std::abs(box.height() / ratio - square.height()) <= 5,
                 qPrintable(u"%1 x %2"_s.arg(box.width()).arg(box.height())));
        const QPoint middle = (QPointF(ViewPixel(27.5, 20)) * ratio).toPoint();
        int thick = 0;
        for (int dy = -4; dy <= 4; ++dy)
            thick += lit.pixelColor(middle + QPoint(0, dy)) == green ? 1 : 0;
        QVERIFY2(thick >= 3, qPrintable(QString::number(thick)));

        CScopedRecordingUserInterface ui;
        Frame_->Action(CommandId::Copy)->trigger();
        QVERIFY(QGuiApplication::clipboard()->mimeData()->data(u"image/svg+xml"_s).contains("stroke=\"rgb(0,255,0)\""));
        View()->HighlightPolygon(-1);
        QCOMPARE(Draw(), before);
    }

    // Centring on a polygon brings the centre of its box to the client's centre, the zoom kept.
    void CenterOnPolygonScrollsItToTheMiddle()
    {
        View()->ZoomAbout(QPointF(10, 10), 3.0);
        Draw();
        const QSize canvas = View()->CanvasSize();
        View()->CenterOnPolygon(0);
        Draw();
        QCOMPARE(View()->CanvasSize(), canvas);
        const QPointF centre = QRectF(View()->Surface()->rect()).center();
        QVERIFY2(QLineF(ViewPixel(27.5, 27.5), centre).length() <= 2.0,
                 qPrintable(u"%1, %2"_s.arg(ViewPixel(27.5, 27.5).x()).arg(ViewPixel(27.5, 27.5).y())));
    }

    // View > Identify is a mode like the zoom modes; a click in it names the state under the
    // cursor on the US states (the fifth record is Colorado), and -1 over the sea.
    void IdentifyNamesThePolygonUnderTheClick()
    {
        CScopedRecordingUserInterface ui;
        const QString folder = App_.ScratchFile(u"identify"_s);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(Frame_->OpenDocument(CopyUsStates(folder)) != nullptr);
        Draw();
        Frame_->Action(CommandId::ZoomIn)->trigger();
        Frame_->Action(CommandId::Identify)->trigger();
        QVERIFY(Frame_->Action(CommandId::Identify)->isChecked() && !Frame_->Action(CommandId::ZoomIn)->isChecked());
        QCOMPARE(View()->CurrentMode(), CLumarixView::Mode::Identify);

        constexpr int Colorado = 4;
        const CSimplePolygon& state = View()->Document().Network().Polygon(Colorado);
        const CExtent extent = View()->Document().Network().Extent();
        QSignalSpy identified(View(), &CLumarixView::PolygonIdentified);
        const QPoint inside = ViewPixel((state.MinX() + state.MaxX()) / 2, (state.MinY() + state.MaxY()) / 2).toPoint();
        QTest::mouseClick(View()->Surface(), Qt::LeftButton, {}, inside);
        const QPoint sea =
            ViewPixel(extent.MinX + extent.Width() * 0.02, extent.MinY + extent.Height() * 0.02).toPoint();
        QTest::mouseClick(View()->Surface(), Qt::LeftButton, {}, sea);
        QCOMPARE(identified.count(), 2);
        QCOMPARE(identified[0][0].toInt(), Colorado);
        QCOMPARE(identified[0][1].toPoint(), View()->Surface()->mapToGlobal(inside));
        QCOMPARE(identified[1][0].toInt(), -1);
        QCOMPARE(View()->HighlightedPolygon(), -1);
        QVERIFY(ui->Messages().empty());
    }

    // View > Map Style edits the view's style; OK applies it, Restore Defaults the classic one.
    void MapStyleDialogAppliesToTheView()
    {
        CModalDriver driver;
        driver.Then([](QWidget* modal) {
            auto* dialog = qobject_cast<CMapStyleDlg*>(modal);
            QVERIFY(dialog != nullptr);
            dialog->FillBox()->setCurrentIndex(int(MapStyle::FillMode::ByError));
            QVERIFY(dialog->ErrorBoundBox()->isEnabled() && !dialog->ClassesBox()->isEnabled());
            dialog->ErrorBoundBox()->setValue(20);
            ClickButton(modal, u"OK"_s);
        });
        Frame_->Action(CommandId::EditMapStyle)->trigger();
        QVERIFY(driver.Wait());
        QCOMPARE(View()->Style().Fill, MapStyle::FillMode::ByError);
        QCOMPARE(View()->Style().ErrorBound, 0.2);
        CModalDriver restore;
        restore.Then([](QWidget* modal) {
            ClickButton(modal, u"Restore Defaults"_s);
            ClickButton(modal, u"OK"_s);
        });
        Frame_->Action(CommandId::EditMapStyle)->trigger();
        QVERIFY(restore.Wait());
        QVERIFY(View()->Style() == MapStyle{});
    }

private:
    CLumarixDoc& Doc() { return Document_->Doc(); }
    CLumarixView* View() const { return Frame_->ActiveChild()->View(); }
    // Draws a frame now (the view fits its canvas as every frame starts).
    QImage Draw() const { return View()->Surface()->grabFramebuffer(); }

    // The four numbers of the read-out "X:%.4f, Y:%.4f  Cursor X:%d, Y:%d" at a point; none for
    // another form.
    std::vector<double> ReadOutAt(QPoint at) const
    {
        static const QRegularExpression form(
            u"^X:(-?\\d+\\.\\d{4}), Y:(-?\\d+\\.\\d{4})  Cursor X:(-?\\d+), Y:(-?\\d+)$"_s);
        QTest::mouseMove(View()->Surface(), at);
        const QRegularExpressionMatch match = form.match(Status());
        std::vector<double> numbers;
        for (int i = 1; match.hasMatch() && i <= 4; ++i)
            numbers.push_back(match.captured(i).toDouble());
        return numbers;
    }
    QString Status() const { return Frame_->StatusPanes().front()->text(); }

    void TurnWheel(QPoint at, int angle, Qt::KeyboardModifiers modifiers = {}) const
    {
        QWheelEvent wheel(at, View()->Surface()->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(View()->Surface(), &wheel);
    }

    void Drag(Qt::MouseButton button, QPoint from, QPoint to) const
    {
        QTest::mousePress(View()->Surface(), button, {}, from);
        QTest::mouseMove(View()->Surface(), (from + to) / 2);
        QTest::mouseMove(View()->Surface(), to);
        QTest::mouseRelease(View()->Surface(), button, {}, to);
    }

    // The extent's red border lies inside the picture and spans at least 80 % of its width or
    // height (the camera shows the canvas at 87 %).
    static bool ShowsWholeMap(const QImage& picture)
    {
        const QRect border = ColourBox(picture, QColor(255, 0, 0));
        return picture.rect().adjusted(1, 1, -1, -1).contains(border) &&
               (border.width() >= 0.8 * picture.width() || border.height() >= 0.8 * picture.height());
    }

    // Where the view shows a world point: extent to canvas, canvas window to [-1, 1]^2, camera.
    // The vertical scroll bar's largest position: 0 while the map is shorter than the client.
    int VerticalBarRange() const
    {
        for (const QScrollBar* bar : View()->findChildren<QScrollBar*>())
            if (bar->orientation() == Qt::Vertical)
                return bar->maximum();
        return -1;
    }

    QPointF ViewPixel(double x, double y) const
    {
        const double unitsPerPixel = 254.0 / View()->Surface()->logicalDpiX();
        const QSize client = View()->Surface()->size();
        const CExtent extent = View()->Document().Network().Extent();
        const double canvasX = (x - extent.MinX) * View()->Scale() - View()->ScrollPosition().x();
        const double canvasY = (y - extent.MaxY) * View()->Scale() - View()->ScrollPosition().y();
        return ScreenPixel(2.0 * canvasX / (client.width() * unitsPerPixel) - 1.0,
                           1.0 + 2.0 * canvasY / (client.height() * unitsPerPixel), client.width(), client.height());
    }

    // Whether the frame shows the colour near a point of the client (in widget pixels).
    static bool FrameColourNear(const QImage& frame, QPointF at, const QColor& colour)
    {
        return ColourNear(frame, at * frame.devicePixelRatio(), colour);
    }

    // Where a copied image of `size` shows a world point of the probe extent (0, 0)-(100, 50):
    // the extent fitted into the page and centred.
    static QPointF PicturePixel(QSize size, double x, double y)
    {
        const double scale = std::min(size.width() / 100.0, size.height() / 50.0);
        return {(size.width() - 100.0 * scale) / 2.0 + x * scale,
                (size.height() - 50.0 * scale) / 2.0 + (50.0 - y) * scale};
    }

    // The drawer's canvas window is the whole extent.
    static QPointF OffScreenPixel(double x, double y)
    {
        return ScreenPixel(x / 50.0 - 1.0, 1.0 + (y - 50.0) / 25.0, Width, Height);
    }

    QImage DrawOffScreen(const CDisplayFlags& flags)
    {
        Context_.makeCurrent(&Surface_);
        Target_->bind();
        Drawer_.Flags = flags;
        GL_.SetProjection(Width, Height);
        GL_.BeginFrame(0.0, CInnerOpenGL::Black);
        Drawer_.DrawScene();
        GL_.EndFrame();
        return Target_->toImage().convertToFormat(QImage::Format_RGB32);
    }

    CTestApp App_;
    std::unique_ptr<CMainFrame> Frame_;
    CAppDocument* Document_ = nullptr;

    QOffscreenSurface Surface_;
    QOpenGLContext Context_;
    std::unique_ptr<QOpenGLFramebufferObject> Target_;
    CInnerOpenGL GL_;
    CNetwork Network_;
    CQuadTree Tree_;
    CShortestPath Route_{Network_};
    CGLDrawNetwork Drawer_;
};

QTEST_MAIN(LumarixViewTest)
#include "LumarixViewTest.moc"
