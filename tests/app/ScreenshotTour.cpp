// A tour of the desktop program for the README's pictures: opens the US states example, runs a
// cartogram through its dialogs and zooms into the result by a rubber band, saving a PNG of the
// main window, of the view and of every dialog on the way. Run it on an X server (scripts/screenshots.sh starts one with xvfb-run).
#include "app/AppDocument.h"
#include "app/BestRouteSetupDlg.h"
#include "app/CartogramProgressDlg.h"
#include "app/CartogramRunner.h"
#include "app/CartoParamsSetDlg.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/LumarixApp.h"
#include "app/LumarixView.h"
#include "app/MainFrame.h"
#include "app/NodeSearchDlg.h"
#include "app/ShapeFileFieldsDlg.h"
#include "tests/app/ModalDriver.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QOpenGLWidget>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <cstdio>

namespace {

using namespace tessaro;
using namespace tessaro::test;

QString Target;

// The window as the screen shows it.
void Save(QWidget* widget, const QString& name)
{
    QTest::qWait(150);
    QApplication::processEvents();
    widget->repaint();
    const QPixmap picture = widget->screen()->grabWindow(widget->winId());
    const QString path = Target + QLatin1Char('/') + name;
    if (!picture.save(path))
        std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
    else
        std::fprintf(stderr, "saved %s\n", qPrintable(path));
}

// The active document's view alone, as its window draws it.
void SaveView(CMainFrame& frame, const QString& name)
{
    QTest::qWait(150);
    const QString path = Target + QLatin1Char('/') + name;
    if (!frame.ActiveChild()->View()->grab().save(path))
        std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
}

void Trigger(CMainFrame& frame, int id) { frame.Action(id)->trigger(); }

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
    UsePrivateSettings(scratch.filePath(QStringLiteral("settings")));
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
    Save(&frame, QStringLiteral("main-window.png"));
    SaveView(frame, QStringLiteral("view-before-cartogram.png"));

    // The cartogram command: the shapefile and field, the parameters, the run.
    CModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* fields = qobject_cast<CShapeFileFieldsDlg*>(modal);
        ClickButton(modal, QStringLiteral("Select Shapefile ..."));
        const QList<QListWidgetItem*> pop = fields->FieldList()->findItems(QStringLiteral("POP"), Qt::MatchExactly);
        if (!pop.isEmpty())
            fields->FieldList()->setCurrentItem(pop.first());
        Save(modal, QStringLiteral("dialog-144-shapefile-and-field.png"));
        ClickButton(modal, QStringLiteral("Next"));
    });
    driver.Then([&](QWidget* modal) {
        ChooseFile(modal, map);
    });
    driver.Then([&](QWidget* modal) {
        auto* parameters = qobject_cast<CCartoParamsSetDlg*>(modal);
        TypeInto(parameters->Box(QStringLiteral("Steps")), QStringLiteral("6"));
        Save(modal, QStringLiteral("dialog-140-cartogram-parameters.png"));
        ClickButton(modal, QStringLiteral("OK"));
    });
    Trigger(frame, CommandId::Cartogram);
    if (!driver.Wait() || states->Runner() == nullptr)
        return 1;
    CCartogramRunner* runner = states->Runner();
    QSignalSpy finished(runner, &CCartogramRunner::Finished);
    bool progressSaved = false;
    QObject::connect(runner, &CCartogramRunner::RoundFinished, &frame, [&](const auto& round) {
        if (round->Round == 2 && states->ProgressDialog() != nullptr) {
            Save(states->ProgressDialog(), QStringLiteral("cartogram-progress.png"));
            Save(&frame, QStringLiteral("cartogram-running.png"));
            progressSaved = true;
        }
    });
    if (!finished.wait(300000))
        return 1;
    QTest::qWait(300);
    Save(&frame, QStringLiteral("cartogram-result.png"));
    SaveView(frame, QStringLiteral("view-after-cartogram.png"));

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
    Save(&frame, QStringLiteral("view-rubber-band.png"));
    QTest::mouseRelease(view->Surface(), Qt::LeftButton, {}, to);
    SaveView(frame, QStringLiteral("view-zoomed-quadtree.png"));
    Trigger(frame, CommandId::ZoomIn);

    // The view's Display Setup.
    CModalDriver display;
    display.Then([](QWidget* modal) {
        Save(modal, QStringLiteral("dialog-137-display-setup.png"));
        ClickButton(modal, QStringLiteral("Cancel"));
    });
    Trigger(frame, CommandId::SetParameters);
    display.Wait();

    // About.
    CModalDriver about;
    about.Then([](QWidget* modal) {
        Save(modal, QStringLiteral("dialog-100-about.png"));
        ClickButton(modal, QStringLiteral("OK"));
    });
    Trigger(frame, CommandId::About);
    about.Wait();

    // The node search and the best-route setup on the flight network.
    CAppDocument* flights = nullptr;
    {
        CModalDriver confirm;
        confirm.ConfirmOtherMessages();
        flights = frame.OpenDocument(ExampleFolder() + QStringLiteral("/us_flights/us_flights.flt"));
    }
    if (flights != nullptr) {
        CModalDriver search;
        search.Then([](QWidget* modal) {
            auto* dialog = qobject_cast<CNodeSearchDlg*>(modal);
            QTest::keyClicks(dialog->FilterEdit(), QStringLiteral("SE"));
            ClickButton(modal, QStringLiteral("Search"));
            if (dialog->ResultList()->count() > 0)
                dialog->PickEntry(0);
            Save(modal, QStringLiteral("dialog-138-node-search.png"));
            ClickButton(modal, QStringLiteral("OK"));
        });
        Trigger(frame, CommandId::StartNodeSelection);
        search.Wait();
        Trigger(frame, CommandId::BestRouteSetup);
        if (flights->BestRouteDialog() != nullptr)
            Save(flights->BestRouteDialog(), QStringLiteral("dialog-131-best-route-setup.png"));
    }

    return progressSaved ? 0 : 1;
}
