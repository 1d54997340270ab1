// A tour of the desktop program for the README's pictures: opens the US states example, runs a
// cartogram through its dialogs, fills the result by error and zooms into it by a rubber band,
// saving a PNG of the main window, of the view and of every dialog on the way; then imports a
// GeoPackage copy and makes its cartogram with the airports moved with the map. Run it on an X
// server (scripts/screenshots.sh starts one with xvfb-run).
#include "app/AppDocument.h"
#include "app/BestRouteSetupDlg.h"
#include "app/CartoParamsSetDlg.h"
#include "app/CartogramProgressDlg.h"
#include "app/CartogramRunner.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/LumarixApp.h"
#include "app/LumarixView.h"
#include "app/MainFrame.h"
#include "app/NodeSearchDlg.h"
#include "app/ShapeFileFieldsDlg.h"
#include "document/LumarixDoc.h"
#include "tests/app/ModalDriver.h"
#include "tests/run/OgrFixtures.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QOpenGLWidget>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

using namespace tessaro;
using namespace Qt::StringLiterals;
using namespace tessaro::test;

QString Target;

// The window as the screen shows it, or the widget as it draws itself.
void Save(QWidget* widget, const QString& name, bool asDrawn = false)
{
    QTest::qWait(150);
    QApplication::processEvents();
    widget->repaint();
    const QPixmap picture = asDrawn ? widget->grab() : widget->screen()->grabWindow(widget->winId());
    const QString path = Target + QLatin1Char('/') + name;
    std::fprintf(stderr, picture.save(path) ? "saved %s\n" : "cannot save %s\n", qPrintable(path));
}

void SaveView(CMainFrame& frame, const QString& name)
{
    Save(frame.ActiveChild()->View(), name, true);
}

void Trigger(CMainFrame& frame, int id)
{
    frame.Action(id)->trigger();
}

// A dialog the command opens, saved and closed with `button`.
void SaveDialog(CMainFrame& frame, int id, const QString& name, const QString& button)
{
    CModalDriver driver;
    driver.Then([&](QWidget* modal) {
        Save(modal, name);
        ClickButton(modal, button);
    });
    Trigger(frame, id);
    driver.Wait();
}

// The result filled by each state's relative error A/D − 1 on white, with the legend; the view
// goes back to the classic scene afterwards.
void SaveErrorMap(CMainFrame& frame)
{
    CLumarixView* view = frame.ActiveChild()->View();
    MapStyle style;
    style.Fill = MapStyle::FillMode::ByError;
    style.Background = {255, 255, 255};
    style.OutlineColor = {64, 64, 64};
    style.ShowQuadtree = false;
    view->SetStyle(style);
    SaveView(frame, u"view-map-style-error.png"_s);
    view->SetStyle(MapStyle{});
}

// Import GIS Layer on a GeoPackage copy of the states, then a cartogram in the convergence mode
// with the airports moved with the map.
bool GisTour(CMainFrame& frame, const QString& folder)
{
    // A folder of its own, away from the first tour's round files of the same stem.
    QDir(folder).mkpath(u"gis"_s);
    const QString source = folder + u"/gis/us_states.gpkg"_s;
    CopyWithOgr(StatesExample() + ".shp", source.toStdString(), "GPKG", "us_states");
    CModalDriver import;
    import.Then([](QWidget* modal) {
        Save(modal, u"dialog-import-gis-layer.png"_s);
        ClickButton(modal, u"OK"_s);
    });
    CAppDocument* document = frame.ImportGisDocument(source);
    if (!import.Wait() || document == nullptr)
        return false;
    document->Doc().Params.Converge = true;
    CModalDriver run;
    // The run's notes at its end (polygons far from their sizes) are confirmed.
    run.ConfirmOtherMessages();
    run.Then([](QWidget* modal) {
        ClickButton(modal, u"Add Layer..."_s);
        Save(modal, u"dialog-gis-cartogram.png"_s);
        ClickButton(modal, u"Next"_s);
    });
    run.Then([](QWidget* modal) { ChooseFile(modal, ExampleFolder() + u"/us_airports/us_airports.shp"_s); });
    run.Then([](QWidget* modal) {
        Save(modal, u"dialog-cartogram-mode.png"_s);
        ClickButton(modal, u"OK"_s);
    });
    run.Then([](QWidget* modal) { ClickButton(modal, u"OK"_s); });
    QSignalSpy ended(document, &CAppDocument::RunEnded);
    Trigger(frame, CommandId::Cartogram);
    if (!run.Wait() || !ended.wait(300000))
        return false;
    // Notes still open wait for the driver; it answers them before the view is saved.
    QTest::qWait(500);
    QTest::qWait(300);
    SaveView(frame, u"view-gis-companions.png"_s);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (application.arguments().size() < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    Target = QDir(application.arguments().at(1)).absolutePath();
    QDir().mkpath(Target);
    QTemporaryDir scratch;
    UsePrivateSettings(scratch.filePath(u"settings"_s));
    CLumarixApp app(application);
    CMainFrame frame(&app.UserInterface());
    frame.resize(1280, 800);
    frame.showMaximized();
    if (!QTest::qWaitForWindowExposed(&frame))
        return 1;

    const QString map = CopyUsStates(scratch.path());
    CAppDocument* states = frame.OpenDocument(map);
    if (states == nullptr)
        return 1;
    Save(&frame, u"main-window.png"_s);
    SaveView(frame, u"view-before-cartogram.png"_s);

    // The cartogram command: the shapefile and field, the parameters, the run.
    CModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* fields = qobject_cast<CShapeFileFieldsDlg*>(modal);
        ClickButton(modal, u"Select Shapefile ..."_s);
        const QList<QListWidgetItem*> pop = fields->FieldList()->findItems(u"POP"_s, Qt::MatchExactly);
        if (!pop.isEmpty())
            fields->FieldList()->setCurrentItem(pop.first());
        Save(modal, u"dialog-144-shapefile-and-field.png"_s);
        ClickButton(modal, u"Next"_s);
    });
    driver.Then([&](QWidget* modal) { ChooseFile(modal, map); });
    driver.Then([](QWidget* modal) { ChooseMode(modal, false); });
    driver.Then([&](QWidget* modal) {
        auto* parameters = qobject_cast<CCartoParamsSetDlg*>(modal);
        TypeInto(parameters->Box(u"Steps"_s), u"6"_s);
        Save(modal, u"dialog-140-cartogram-parameters.png"_s);
        ClickButton(modal, u"OK"_s);
    });
    Trigger(frame, CommandId::Cartogram);
    if (!driver.Wait() || states->Runner() == nullptr)
        return 1;
    CCartogramRunner* runner = states->Runner();
    QSignalSpy finished(runner, &CCartogramRunner::Finished);
    bool progressSaved = false;
    QObject::connect(runner, &CCartogramRunner::RoundFinished, &frame, [&](const auto& round) {
        if (round->Round == 2 && states->ProgressDialog() != nullptr) {
            Save(states->ProgressDialog(), u"cartogram-progress.png"_s);
            Save(&frame, u"cartogram-running.png"_s);
            progressSaved = true;
        }
    });
    if (!finished.wait(300000))
        return 1;
    QTest::qWait(300);
    Save(&frame, u"cartogram-result.png"_s);
    SaveView(frame, u"view-after-cartogram.png"_s);
    SaveErrorMap(frame);

    // Zoomed by a rubber band onto the north-east, with the cells' diagonals and vertices.
    CLumarixView* view = frame.ActiveChild()->View();
    CDisplayFlags flags = view->Flags();
    flags.ShowTreeDiagonal = true;
    flags.ShowQuadtreeNodes = true;
    view->SetFlags(flags);
    Trigger(frame, CommandId::ZoomIn);
    const QSize client = view->Surface()->size();
    const QPoint from(client.width() * 55 / 100, client.height() * 10 / 100);
    const QPoint to(client.width() * 80 / 100, client.height() * 40 / 100);
    QTest::mousePress(view->Surface(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view->Surface(), (from + to) / 2);
    QTest::mouseMove(view->Surface(), to);
    Save(&frame, u"view-rubber-band.png"_s);
    QTest::mouseRelease(view->Surface(), Qt::LeftButton, {}, to);
    SaveView(frame, u"view-zoomed-quadtree.png"_s);
    Trigger(frame, CommandId::ZoomIn);

    SaveDialog(frame, CommandId::SetParameters, u"dialog-137-display-setup.png"_s, u"Cancel"_s);
    SaveDialog(frame, CommandId::About, u"dialog-100-about.png"_s, u"OK"_s);

    // The node search and the best-route setup on the flight network.
    CAppDocument* flights = nullptr;
    {
        CModalDriver confirm;
        confirm.ConfirmOtherMessages();
        flights = frame.OpenDocument(ExampleFolder() + u"/us_flights/us_flights.flt"_s);
    }
    if (flights != nullptr) {
        CModalDriver search;
        search.Then([](QWidget* modal) {
            auto* dialog = qobject_cast<CNodeSearchDlg*>(modal);
            QTest::keyClicks(dialog->FilterEdit(), u"SE"_s);
            ClickButton(modal, u"Search"_s);
            if (dialog->ResultList()->count() > 0)
                dialog->PickEntry(0);
            Save(modal, u"dialog-138-node-search.png"_s);
            ClickButton(modal, u"OK"_s);
        });
        Trigger(frame, CommandId::StartNodeSelection);
        search.Wait();
        Trigger(frame, CommandId::BestRouteSetup);
        if (flights->BestRouteDialog() != nullptr)
            Save(flights->BestRouteDialog(), u"dialog-131-best-route-setup.png"_s);
    }

    return progressSaved && GisTour(frame, scratch.path()) ? 0 : 1;
}
