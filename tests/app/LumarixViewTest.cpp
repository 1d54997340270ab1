// The network view in a main window on a virtual X server, driven by its toolbar and the mouse:
// picking at the pixels where the nodes are drawn, click and rubber-band zoom, the cursor
// read-out, and the copied and printed pictures read back by independent readers.
#include "app/AppDocument.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/LumarixApp.h"
#include "app/LumarixView.h"
#include "app/MainFrame.h"
#include "document/LumarixDoc.h"
#include "platform/RecordingUserInterface.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/ViewFixtures.h"
#include "tests/support/EmfCheck.h"

#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QOpenGLWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <map>
#include <memory>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// Element name -> count in an SVG document; empty when it does not parse.
std::map<QString, int> ElementCounts(const QByteArray& svg, QString* firstPolygonFill)
{
    std::map<QString, int> counts;
    QXmlStreamReader reader(svg);
    while (reader.readNext() != QXmlStreamReader::Invalid && !reader.atEnd())
        if (reader.isStartElement()) {
            if (reader.name() == QLatin1String("polygon") && counts["polygon"] == 0)
                *firstPolygonFill = reader.attributes().value(QLatin1String("fill")).toString();
            ++counts[reader.name().toString()];
        }
    if (reader.hasError())
        return {};
    return counts;
}

} // namespace

class LumarixViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(Scratch_.isValid());
        UsePrivateSettings(Scratch_.filePath(QStringLiteral("settings")));
        App_ = std::make_unique<CLumarixApp>(*qApp);
    }
    void cleanupTestCase() { App_.reset(); }

    // A main window whose view shows the probe network; the client is smaller than the canvas.
    void init()
    {
        Frame_ = std::make_unique<CMainFrame>(&App_->UserInterface());
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

    void PickingSetsTheModesNode_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<bool>("onNode");
        QTest::newRow("origin") << CommandId::SelectOrigin << 10.0 << 5.0 << true;
        QTest::newRow("destination") << CommandId::SelectDestination << 90.0 << 45.0 << true;
        QTest::newRow("service centre") << CommandId::SelectCenter << 90.0 << 5.0 << true;
        QTest::newRow("origin, beside the nodes") << CommandId::SelectOrigin << 30.0 << 10.0 << false;
        QTest::newRow("destination, beside the nodes") << CommandId::SelectDestination << 70.0 << 40.0 << false;
        QTest::newRow("service centre, beside the nodes") << CommandId::SelectCenter << 90.0 << 20.0 << false;
    }
    void PickingSetsTheModesNode()
    {
        QFETCH(int, command);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(bool, onNode);
        // A selection mode replaces a zoom mode and marks the nodes.
        Frame_->Action(CommandId::ZoomIn)->trigger();
        Frame_->Action(command)->trigger();
        QVERIFY(Frame_->Action(command)->isChecked());
        QVERIFY(!Frame_->Action(CommandId::ZoomIn)->isChecked());
        QVERIFY(View()->Flags().ShowNodeMarkers);

        CScopedRecordingUserInterface ui;
        QTest::mouseClick(View()->Surface(), Qt::LeftButton, {}, PixelOf(x, y).toPoint());
        CLumarixDoc& doc = Doc();
        const CNetworkNode* picked = command == CommandId::SelectOrigin        ? doc.BestRoute().Origin()
                                     : command == CommandId::SelectDestination ? doc.BestRoute().Destination()
                                                                               : doc.ServiceCenter();
        if (onNode) {
            QCOMPARE(picked, NodeAt(Doc().Network(), x, y));
            QCOMPARE(ui->Messages(), (std::vector<std::string>{"Some Node(s) are selected!", picked->Name()}));
        } else {
            QVERIFY(picked == nullptr);
            QCOMPARE(ui->Messages(), std::vector<std::string>{CLumarixView::InvalidPointMessage});
        }
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
        QVERIFY(std::abs(View()->ScrollPosition().x() - int(0.2 * logical.x() + 0.5)) <= 3);
        QVERIFY(std::abs(View()->ScrollPosition().y() - int(0.2 * logical.y() + 0.5)) <= 3);
        Frame_->Action(CommandId::ZoomOut)->trigger();
        QTest::mouseClick(View()->Surface(), Qt::LeftButton, {}, click);
        Draw();
        QCOMPARE(View()->CanvasSize(), QSize(2880, 1440));

        Frame_->Action(CommandId::FullExtent)->trigger();
        Draw();
        QCOMPARE(View()->ScrollPosition(), QPoint(0, 0));
        QVERIFY(View()->CanvasSize().width() <= View()->Surface()->width() * 254 / View()->Surface()->logicalDpiX() + 1);
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
        const QSize client = surface->size();
        // Even sides, so that half the client is exact.
        Frame_->resize(Frame_->width() - client.width() % 2, Frame_->height() - client.height() % 2);
        QTRY_VERIFY(surface->width() % 2 == 0 && surface->height() % 2 == 0);
        const QPoint start(surface->width() / 4, surface->height() / 4);
        const QPoint end = bandShare == 0.0 ? start + QPoint(12, 12)
                                            : start + QPoint(int(surface->width() * bandShare),
                                                             int(surface->height() * bandShare));
        Frame_->Action(command)->trigger();
        QTest::mousePress(surface, Qt::LeftButton, {}, start);
        QTest::mouseMove(surface, (start + end) / 2);
        QTest::mouseMove(surface, end);
        QTest::mouseRelease(surface, Qt::LeftButton, {}, end);
        Draw();
        // The canvas is scaled by the factor, rounded, then fitted to the extent again.
        QVERIFY2(std::abs(View()->CanvasSize().width() - 3000 * factor) <= 1.0,
                 qPrintable(QString::number(View()->CanvasSize().width())));
        QVERIFY(std::abs(View()->CanvasSize().height() - 1500 * factor) <= 1.0);
    }

    // The read-out at the canvas top gives the extent's top, and y falls downward, in whole
    // logical units of 0.1 mm from the canvas origin.
    void CursorReadOutInWorldAndLogicalUnits()
    {
        const QLabel* pane = Frame_->StatusPanes().front();
        const auto readOut = [&](QPoint at) {
            QTest::mouseMove(View()->Surface(), at);
            const QRegularExpressionMatch match =
                QRegularExpression(QStringLiteral("^X:(-?\\d+\\.\\d{4}), Y:(-?\\d+\\.\\d{4})  Cursor X:(-?\\d+), Y:(-?\\d+)$"))
                    .match(pane->text());
            return match.hasMatch() ? QStringList{match.captured(1), match.captured(2), match.captured(3), match.captured(4)}
                                    : QStringList{};
        };
        const int inch = View()->Surface()->logicalDpiX();
        // (0, 0) would be taken as "the widget's centre".
        QCOMPARE(readOut(QPoint(inch, 0)), (QStringList{QStringLiteral("%1").arg(254 / View()->Scale(), 0, 'f', 4),
                                                       QStringLiteral("50.0000"), "254", "0"}));
        QCOMPARE(readOut(QPoint(inch, 2 * inch)),
                 (QStringList{QStringLiteral("%1").arg(254 / View()->Scale(), 0, 'f', 4),
                              QStringLiteral("%1").arg(50.0 - 508 / View()->Scale(), 0, 'f', 4), "254", "-508"}));
    }

    // Copy gives filled polygons, Copy as Lines hollow ones with a dot on every vertex; both as
    // SVG (one line per segment of the chains and of the route, a polygon per ring and per route
    // end), as EMF of sound structure and as an image of the client.
    void CopiesHoldThePictureInEveryFormat_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("fill");
        QTest::addColumn<int>("ellipses");
        QTest::newRow("copy") << CommandId::Copy << QStringLiteral("rgb(192,192,192)") << 0;
        QTest::newRow("copy as lines") << CommandId::CopyAsLines << QStringLiteral("none") << 4;
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
        QCOMPARE(doc.BestRoute().Route().Nodes.size(), size_t(3));

        Frame_->Action(command)->trigger();
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        QVERIFY(copied != nullptr);
        QString polygonFill;
        const std::map<QString, int> counts = ElementCounts(copied->data(QStringLiteral("image/svg+xml")), &polygonFill);
        QCOMPARE(counts.count(QStringLiteral("svg")), size_t(1));
        QCOMPARE(counts.at(QStringLiteral("line")), 5);
        QCOMPARE(counts.at(QStringLiteral("polygon")), 3);
        QCOMPARE(counts.count(QStringLiteral("ellipse")) ? counts.at(QStringLiteral("ellipse")) : 0, ellipses);
        QCOMPARE(polygonFill, fill);

        const QByteArray emf = copied->data(QStringLiteral("image/x-emf"));
        const EmfCheckResult check = CheckEmfBytes(std::vector<unsigned char>(emf.begin(), emf.end()));
        QVERIFY2(check.Ok, check.Reason.c_str());
        QCOMPARE(copied->data(QStringLiteral("application/x-openoffice-emf;windows_formatname=\"Image EMF\"")), emf);
        QVERIFY(copied->hasImage());
        QCOMPARE(qvariant_cast<QImage>(copied->imageData()).size(), View()->Surface()->size());
    }

    // Printed to a PDF, the page shows the map: pdftoppm's raster holds the light grey fill of
    // the polygon where the picture fitted to the page puts it.
    void PrintToPdfShowsTheMap()
    {
        const QString pdf = Scratch_.filePath(QStringLiteral("view.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        View()->Print(printer);
        const QString raster = Scratch_.filePath(QStringLiteral("view"));
        QCOMPARE(QProcess::execute(QStringLiteral("pdftoppm"),
                                   {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-png"),
                                    QStringLiteral("-singlefile"), pdf, raster}),
                 0);
        const QImage page(raster + QStringLiteral(".png"));
        QVERIFY(!page.isNull());
        // The square of 15 of the 100 world units across the printable width.
        int grey = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                grey += ColourNear(page, QPointF(x, y), QColor(192, 192, 192)) ? 1 : 0;
        const double side = page.width() * 0.15;
        QVERIFY2(grey > side * side * 0.5, qPrintable(QString::number(grey)));
    }

private:
    CLumarixDoc& Doc() { return Document_->Doc(); }
    CLumarixView* View() const { return Frame_->ActiveChild()->View(); }
    // Draws a frame now (the view fits its canvas as every frame starts).
    QImage Draw() const { return View()->Surface()->grabFramebuffer(); }

    // Where the view shows a world point: extent to canvas, canvas window to [-1, 1]^2, camera.
    QPointF PixelOf(double x, double y) const
    {
        const double UnitsPerPixel = 254.0 / View()->Surface()->logicalDpiX();
        const QSize client = View()->Surface()->size();
        const double canvasX = (x - 0.0) * View()->Scale() - View()->ScrollPosition().x();
        const double canvasY = (y - 50.0) * View()->Scale() - View()->ScrollPosition().y();
        return ScreenPixel(2.0 * canvasX / (client.width() * UnitsPerPixel) - 1.0,
                           1.0 + 2.0 * canvasY / (client.height() * UnitsPerPixel), client.width(), client.height());
    }

    QTemporaryDir Scratch_;
    std::unique_ptr<CLumarixApp> App_;
    std::unique_ptr<CMainFrame> Frame_;
    CAppDocument* Document_ = nullptr;
};

QTEST_MAIN(LumarixViewTest)
#include "LumarixViewTest.moc"
