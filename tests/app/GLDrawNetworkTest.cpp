// The scene drawer on an off-screen OpenGL context (Mesa's software renderer on a virtual X
// server): each layer's colour where the camera puts it, the first drawn layer on top, and the
// diagonals only with the cells.
#include "app/GLDrawNetwork.h"
#include "app/InnerOpenGL.h"
#include "network/ShortestPath.h"
#include "platform/RecordingUserInterface.h"
#include "tests/app/ViewFixtures.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QTest>

#include <memory>

using namespace tessaro;
using namespace tessaro::test;

namespace {

constexpr int Width = 400;
constexpr int Height = 200;

const QColor Black(0, 0, 0);
const QColor Yellow(255, 255, 0);
const QColor Magenta(255, 0, 255);
const QColor Teal(102, 204, 204);
const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor Green(0, 255, 0);
const QColor Cyan(0, 255, 255);
const QColor CellGrey(51, 51, 51);
const QColor DiagonalGrey(77, 128, 77);

} // namespace

class GLDrawNetworkTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Surface_.setFormat(CInnerOpenGL::PixelFormat());
        Surface_.create();
        Context_.setFormat(CInnerOpenGL::PixelFormat());
        QVERIFY(Context_.create());
        QVERIFY(Context_.makeCurrent(&Surface_));
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::Depth);
        Target_ = std::make_unique<QOpenGLFramebufferObject>(Width, Height, format);
        QVERIFY(Target_->bind());
        CScopedRecordingUserInterface ui;
        QVERIFY(GL_.Create(&Context_));
        QVERIFY(ui->Messages().empty());

        BuildProbeNetwork(Network_);
        BuildProbeQuadTree(Tree_);
        // The route A - B - C; D stays unreached.
        QVERIFY(Route_.SetOrigin(NodeAt(Network_, 10, 5)));
        QVERIFY(Route_.SetDestination(NodeAt(Network_, 90, 45)));
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
        Target_.reset();
        Context_.doneCurrent();
    }

    void LayersShowTheirColoursWhereTheyLie_data()
    {
        QTest::addColumn<QString>("also");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("chain off the route") << "" << 70.0 << 45.0 << Yellow;
        QTest::newRow("route over its chain") << "" << 50.0 << 5.0 << Magenta;
        QTest::newRow("polygon outline") << "" << 27.0 << 20.0 << Teal;
        QTest::newRow("boundary, top edge") << "" << 50.0 << 50.0 << Red;
        QTest::newRow("boundary, left edge") << "" << 0.0 << 25.0 << Red;
        QTest::newRow("quadtree cell line") << "" << 65.0 << 30.0 << CellGrey;
        QTest::newRow("origin over route and chain") << "" << 10.0 << 5.0 << Red;
        QTest::newRow("destination over two chains") << "" << 90.0 << 45.0 << Red;
        QTest::newRow("empty canvas") << "" << 60.0 << 15.0 << Black;
        QTest::newRow("service centre over the chain end") << "centre" << 50.0 << 45.0 << Blue;
        QTest::newRow("finished node over the route") << "markers" << 90.0 << 5.0 << Green;
        QTest::newRow("unreached node over the chain end") << "markers" << 50.0 << 45.0 << Cyan;
        QTest::newRow("polygon vertex") << "vertices" << 35.0 << 35.0 << Cyan;
    }
    void LayersShowTheirColoursWhereTheyLie()
    {
        QFETCH(QString, also);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QColor, colour);
        CDisplayFlags flags;
        flags.ShowNodeMarkers = also == QStringLiteral("markers");
        flags.ShowPolygonVertices = also == QStringLiteral("vertices");
        Drawer_.ServiceCenter = also == QStringLiteral("centre") ? NodeAt(Network_, 50, 45) : nullptr;
        const QPointF at = Pixel(x, y);
        QVERIFY2(ColourNear(Draw(flags), at, colour),
                 qPrintable(QStringLiteral("%1 near (%2, %3)").arg(colour.name()).arg(at.x()).arg(at.y())));
    }

    // The diagonals belong to the cells: alone they change no pixel; with the cells they cross
    // each cell's centre.
    void TreeDiagonalOnlyWithTheQuadtree()
    {
        CDisplayFlags none;
        none.ShowQuadtree = false;
        CDisplayFlags diagonalsAlone = none;
        diagonalsAlone.ShowTreeDiagonal = true;
        QCOMPARE(Draw(diagonalsAlone), Draw(none));

        CDisplayFlags cells;
        CDisplayFlags cellsAndDiagonals;
        cellsAndDiagonals.ShowTreeDiagonal = true;
        const QPointF centre = Pixel(52.5, 27.5); // centre of the cell (40, 15)-(65, 40)
        QVERIFY(ColourNear(Draw(cellsAndDiagonals), centre, DiagonalGrey));
        QVERIFY(!ColourNear(Draw(cells), centre, DiagonalGrey));
    }

    // A pick pass names the node under the cursor by its place in the node list.
    void PickNamesTheNodeUnderTheCursor()
    {
        QStringList picked;
        for (const CNetworkNode* node : Network_.Nodes()) {
            GL_.SetProjection(Width, Height);
            GL_.BeginPick(Pixel(node->X(), node->Y()).toPoint());
            Drawer_.DrawPickNodes();
            const std::optional<std::uint32_t> name = GL_.EndPick();
            picked.append(name ? QString::number(*name) : QStringLiteral("none"));
        }
        QCOMPARE(picked, (QStringList{"0", "1", "2", "3"}));
        GL_.BeginPick(Pixel(60, 15).toPoint());
        Drawer_.DrawPickNodes();
        QVERIFY(!GL_.EndPick().has_value());
    }

private:
    // Where the drawer's canvas window (the whole extent) puts a world point.
    static QPointF Pixel(double x, double y) { return ScreenPixel(x / 50.0 - 1.0, 1.0 + (y - 50.0) / 25.0, Width, Height); }

    QImage Draw(const CDisplayFlags& flags)
    {
        Drawer_.Flags = flags;
        GL_.SetProjection(Width, Height);
        GL_.BeginFrame(0.0, CInnerOpenGL::Black);
        Drawer_.DrawScene();
        GL_.EndFrame();
        return Target_->toImage().convertToFormat(QImage::Format_RGB32);
    }

    QOffscreenSurface Surface_;
    QOpenGLContext Context_;
    std::unique_ptr<QOpenGLFramebufferObject> Target_;
    CInnerOpenGL GL_;
    CNetwork Network_;
    CQuadTree Tree_;
    CShortestPath Route_{Network_};
    CGLDrawNetwork Drawer_;
    CScopedRecordingUserInterface Ui_;
};

QTEST_MAIN(GLDrawNetworkTest)
#include "GLDrawNetworkTest.moc"
