// The desktop's GIS path: File > Import GIS Layer reads a layer of a GeoPackage into a new
// document, and the cartogram of such a document moves the layers chosen in its first dialog
// with the map, writes the chosen format and draws the moved layers over the result.
#include "app/AppDocument.h"
#include "app/CartogramModeDlg.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/GisCartogramDlg.h"
#include "app/ImportGisLayerDlg.h"
#include "app/LumarixApp.h"
#include "app/LumarixView.h"
#include "app/MainFrame.h"
#include "document/LumarixDoc.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/TestApp.h"
#include "tests/run/OgrFixtures.h"
#include "tests/support/ShapefileFixtures.h"

#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QOpenGLWidget>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace tessaro;
using namespace tessaro::test;
using namespace Qt::StringLiterals;

namespace {

QString Airports() { return ExampleFolder() + u"/us_airports/us_airports.shp"_s; }

// Pixels of the drawn companion colour (dark orange) in a grab of the view.
int CompanionPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - 217) <= 3 && std::abs(c.green() - 89) <= 3 && c.blue() <= 3)
                ++count;
        }
    return count;
}

} // namespace

class GisImportTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(App_.Start()); }
    void cleanupTestCase() { App_.Stop(); }

    void init()
    {
        Frame_ = std::make_unique<CMainFrame>(&App_.App().UserInterface());
        Frame_->resize(1000, 700);
        Frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(Frame_.get()));
    }
    void cleanup() { Frame_.reset(); }

    // Import from the menu: the polygon layer and the POP field are chosen first; the document
    // holds the 49 states under the source's name. Then the cartogram with the airports as a
    // companion layer, written as shapefiles with their attributes: the document draws the
    // airports as written for the result, moved from where they were.
    void ImportedLayerMakesACartogramWithItsCompanions()
    {
        QTemporaryDir folder;
        const QString source = folder.filePath(u"states.gpkg"_s);
        CopyWithOgr(StatesExample() + ".shp", source.toStdString(), "GPKG", "states");

        CModalDriver driver;
        driver.Then([&](QWidget* modal) { ChooseFile(modal, source); });
        driver.Then([](QWidget* modal) {
            QCOMPARE(modal->windowTitle(), u"Import GIS Layer"_s);
            QCOMPARE(modal->findChild<QComboBox*>(u"Layer"_s)->currentText(), u"states"_s);
            QCOMPARE(modal->findChild<QComboBox*>(u"SizeField"_s)->currentText(), u"POP"_s);
            ClickButton(modal, u"OK"_s);
        });
        Frame_->Action(CommandId::ImportGisLayer)->trigger();
        QVERIFY(driver.Wait());
        QCOMPARE(Frame_->Documents().size(), size_t(1));
        CAppDocument* document = Frame_->ActiveDocument();
        QCOMPARE(document->Title(), u"states.gpkg"_s);
        QCOMPARE(document->Doc().Network().PolygonCount(), 49u);
        QCOMPARE(document->Doc().ImportedLayer()->SizeField, std::string("POP"));
        QVERIFY(document->Doc().InputFiles().CheckOutput(source.toStdString()).has_value());

        CModalDriver run;
        run.Then([&](QWidget* modal) {
            QCOMPARE(modal->windowTitle(), u"Cartogram of a GIS Layer"_s);
            auto* format = modal->findChild<QComboBox*>(u"Format"_s);
            QCOMPARE(format->currentText(), u"GeoPackage (one layer per round)"_s);
            format->setCurrentIndex(format->findText(u"Shapefile with the attributes"_s));
            // The file chooser opens inside the click and is answered by the next step.
            ClickButton(modal, u"Add Layer..."_s);
            QCOMPARE(modal->findChild<QListWidget*>(u"Companions"_s)->count(), 1);
            ClickButton(modal, u"Next"_s);
        });
        run.Then([](QWidget* modal) { ChooseFile(modal, Airports()); });
        // An imported layer is proposed the convergence mode; this run takes the rounds mode.
        run.Then([](QWidget* modal) {
            auto* mode = qobject_cast<CCartogramModeDlg*>(modal);
            QVERIFY(mode->ConvergeButton()->isChecked());
            mode->SteppedButton()->setChecked(true);
            ClickButton(modal, u"OK"_s);
        });
        run.Then([](QWidget* modal) {
            TypeInto(modal->findChild<QWidget*>(u"Steps"_s), u"2"_s);
            ClickButton(modal, u"OK"_s);
        });
        QSignalSpy ended(document, &CAppDocument::RunEnded);
        Frame_->Action(CommandId::Cartogram)->trigger();
        QVERIFY(run.Wait());
        QVERIFY(ended.wait(300000));
        const CartogramRunSummary& summary = *document->LastRun();
        QVERIFY2(summary.Result == CartogramRunSummary::Outcome::Completed, AllMessages(summary).c_str());

        const auto written = std::find_if(summary.WrittenFiles.rbegin(), summary.WrittenFiles.rend(),
                                          [](const std::string& file) { return file.ends_with("_us_airports.shp"); });
        QVERIFY(written != summary.WrittenFiles.rend());
        const std::vector<ShapelibShape> moved = ReadWithShapelib(*written);
        const std::vector<ShapelibShape> input = ReadWithShapelib(Airports().toStdString());
        const std::vector<CShapeLayer>& drawn = document->Doc().CompanionShapes();
        QCOMPARE(drawn.size(), size_t(1));
        QCOMPARE(drawn[0].Points.size(), input.size());
        QCOMPARE(moved.size(), input.size());
        size_t shifted = 0;
        for (size_t i = 0; i < input.size(); ++i) {
            QCOMPARE(drawn[0].Points[i].X, moved[i].X[0]);
            QCOMPARE(drawn[0].Points[i].Y, moved[i].Y[0]);
            shifted += drawn[0].Points[i].X != input[i].X[0] ? 1 : 0;
        }
        QVERIFY(shifted > input.size() / 2);

        // The view draws them over the map.
        QOpenGLWidget* surface = Frame_->ActiveChild()->View()->Surface();
        QTRY_VERIFY(CompanionPixels(surface->grabFramebuffer()) > 50);
    }

    // What cannot become a map document leaves none: a file no OGR driver reads, a layer of
    // points only, and Cancel in the layer dialog.
    void ImportLeavesNoDocumentForWhatItCannotRead()
    {
        QTemporaryDir folder;
        const QString notVector = folder.filePath(u"notes.gpkg"_s);
        QFile file(notVector);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a GeoPackage") > 0);
        file.close();
        struct Case {
            QString Path;
            bool Cancel;
            QString Message;
        };
        const Case cases[] = {
            {notVector, false, u"Cannot open "_s + notVector},
            {Airports(), false, u"holds no polygons"_s},
            {Airports(), true, QString()},
        };
        for (const Case& c : cases) {
            QString message;
            CModalDriver driver;
            if (c.Path == Airports())
                driver.Then([&c](QWidget* modal) { ClickButton(modal, c.Cancel ? u"Cancel"_s : u"OK"_s); });
            if (!c.Cancel)
                driver.Then([&message](QWidget* modal) {
                    message = MessageText(modal);
                    ClickButton(modal, u"OK"_s);
                });
            QVERIFY(Frame_->ImportGisDocument(c.Path) == nullptr);
            QVERIFY(driver.Wait());
            QVERIFY2(message.contains(c.Message), qPrintable(message));
            QVERIFY(Frame_->Documents().empty());
        }
    }

    // A source of several layers: the polygon layer is offered first whatever its place, and
    // the equal-shares entry gives no field; the cartogram dialog refuses a companion source
    // that names a layer it does not hold.
    void DialogsChooseAmongLayers()
    {
        std::vector<OgrLayerSummary> layers(2);
        layers[0] = {"airports", "Point", 10, {"ELEV"}};
        layers[1] = {"states", "Multi Polygon", 49, {"AREA", "POP2000", "DENSITY"}};
        CImportGisLayerDlg import("x.gpkg", layers, Frame_.get());
        QCOMPARE(import.LayerName(), std::string("states"));
        QCOMPARE(import.SizeField(), std::string("POP2000"));
        import.FieldBox()->setCurrentIndex(import.FieldBox()->count() - 1);
        QCOMPARE(import.SizeField(), std::string());
        import.LayerBox()->setCurrentIndex(0);
        QCOMPARE(import.FieldBox()->currentText(), u"ELEV"_s);

        CGisCartogramDlg cartogram("x.gpkg", {"POP"}, {"POP", {}, std::nullopt}, Frame_.get());
        QString message;
        CModalDriver driver;
        driver.Then([&message](QWidget* modal) {
            message = MessageText(modal);
            ClickButton(modal, u"OK"_s);
        });
        QVERIFY(!cartogram.AddCompanionSource(Airports().toStdString(), "rivers"));
        QVERIFY(driver.Wait());
        QVERIFY2(message.contains(u"holds no layer rivers"_s), qPrintable(message));
        QVERIFY(cartogram.AddCompanionSource(Airports().toStdString(), ""));
        QCOMPARE(cartogram.Chosen().Companions.size(), size_t(1));
        QCOMPARE(cartogram.Chosen().Format, std::optional<OgrExportFormat>());
    }

private:
    CTestApp App_;
    std::unique_ptr<CMainFrame> Frame_;
};

QTEST_MAIN(GisImportTest)
#include "GisImportTest.moc"
