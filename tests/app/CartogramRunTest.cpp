// The cartogram on its worker thread: every round reaches the GUI thread in order while the
// event loop stays live, Cancel between rounds keeps the finished rounds complete and the
// document as it was, and closing a document stops its run.
#include "app/AppDocument.h"
#include "app/CartogramModeDlg.h"
#include "app/CartogramProgressDlg.h"
#include "app/CartogramRunner.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/LumarixApp.h"
#include "app/LumarixView.h"
#include "app/MainFrame.h"
#include "app/ResultPanel.h"
#include "document/LumarixDoc.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/TestApp.h"
#include "tests/support/BoostRecords.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"

#include <shapefil.h>

#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QOpenGLWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <boost/geometry.hpp>

#include <cmath>
#include <memory>
#include <numeric>

using namespace tessaro;
using namespace tessaro::test;
using namespace Qt::StringLiterals;

namespace {

// The first vertex of the first ring of polygon `index`, to tell a deformed layer from the input.
std::pair<double, double> FirstVertex(const CLumarixDoc& document, uint32_t index)
{
    const CPolygonRing& ring = document.Network().Polygon(index).Ring(0);
    return {ring.Points()[0], ring.Points()[1]};
}

// Three unit squares in a row and, fourth, a ring without area: a map the rounds mode stops on.
QString MapWithAFlatPolygon(const QString& folder)
{
    const std::string base = QDir(folder).filePath(u"flat"_s).toStdString();
    TestShape flat{{0}, {3, 4, 3, 3}, {0, 0, 0, 0}};
    WriteShapefile(base, SHPT_POLYGON, {Square(0, 0, 1), Square(1, 0, 1), Square(2, 0, 1), flat});
    WriteTable(base + ".dbf", {{"POP", 'N', 10, 0}}, {{10.0}, {20.0}, {30.0}, {5.0}});
    return QString::fromStdString(base + ".shp");
}

} // namespace

class CartogramRunTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(App_.Start());
    }
    void cleanupTestCase() { App_.Stop(); }

    // Every round reaches the GUI thread in order, with its geometry, while the event loop keeps
    // turning and the document stays as it was. Cancel pressed while round 1 is shown: rounds 0
    // and 1 stay complete, round 2 is never written, and the document keeps its map.
    void CancelDuringRoundTwoKeepsRoundsZeroAndOne()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        CMainFrame frame(&App_.App().UserInterface());
        frame.show();
        CAppDocument* document = frame.OpenDocument(input);
        QVERIFY(document != nullptr);
        const auto before = FirstVertex(document->Doc(), 0);

        // Cancel is pressed while round 1 is on the screen; the worker waits for the screen.
        CCartogramProgressDlg* progress = nullptr;
        std::vector<int> rounds;
        connect(document, &CAppDocument::FrameArrived, this, [&](const std::shared_ptr<const CRoundFrame>& round) {
            rounds.push_back(round->Round);
            QCOMPARE(round->Polygons.size(), size_t(49));
            QVERIFY(!round->Cells.empty());
            QCOMPARE(FirstVertex(document->Doc(), 0), before);
            if (round->Round == 1 && progress != nullptr)
                QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
        });
        CModalDriver driver;
        ChooseShapefileAndField(driver, input, u"POP"_s);
        driver.Then([](QWidget* modal) { ChooseMode(modal, false); });
        driver.Then([](QWidget* modal) {
            TypeInto(modal->findChild<QWidget*>(u"Steps"_s), u"6"_s);
            ClickButton(modal, u"OK"_s);
        });
        frame.Action(CommandId::Cartogram)->trigger();
        QVERIFY(driver.Wait());
        QVERIFY(document->Busy());
        progress = document->ProgressDialog();
        QVERIFY(progress != nullptr);
        QVERIFY(progress->isVisible());
        // The document is busy: its commands wait, its view takes no clicks.
        CChildFrame* busyWindow = frame.ActiveChild();
        QVERIFY(!frame.Action(CommandId::Cartogram)->isEnabled());
        QVERIFY(!busyWindow->View()->isEnabled());
        // Another document takes commands meanwhile.
        frame.NewDocument();
        QVERIFY(frame.Action(CommandId::Cartogram)->isEnabled());
        QVERIFY(frame.Action(CommandId::ExportPajek)->isEnabled());
        frame.MdiArea()->setActiveSubWindow(busyWindow);
        QVERIFY(!frame.Action(CommandId::ExportPajek)->isEnabled());

        QSignalSpy ended(document, &CAppDocument::RunEnded);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(5);
        QVERIFY(ended.wait(300000));
        QVERIFY(ticks > 0);
        QCOMPARE(rounds, (std::vector<int>{0, 1}));
        const CartogramRunSummary summary = *document->LastRun();
        QCOMPARE(summary.Result, CartogramRunSummary::Outcome::Cancelled);
        QCOMPARE(summary.LastRound, 1);
        QCOMPARE(FirstVertex(document->Doc(), 0), before);
        QVERIFY(!document->Busy());
        QVERIFY(frame.Action(CommandId::Cartogram)->isEnabled());
        QVERIFY(busyWindow->View()->isEnabled());
        QVERIFY(!busyWindow->View()->ShowsFrame());
        QTRY_VERIFY(document->ProgressDialog() == nullptr);

        for (const char* round : {"0", "1"}) {
            const QString stem = folder.filePath(u"us_states_%1"_s.arg(QLatin1String(round)));
            QCOMPARE(ReadWithShapelib((stem + u".shp"_s).toStdString()).size(), size_t(49));
            for (const char* ending : {".shx", ".dbf", ".prj", "_qt.emf", "_py.emf", "_qp.emf"})
                QVERIFY2(QFile::exists(stem + QLatin1String(ending)), qPrintable(stem + QLatin1String(ending)));
        }
        QVERIFY(QDir(folder.path()).entryList({u"us_states_2*"_s}).isEmpty());
        QFile information(QString::fromStdString(summary.InformationFile));
        QVERIFY(information.open(QIODevice::ReadOnly));
        QCOMPARE(information.readAll().trimmed().split('\n').last().toStdString(), CCartogramJob::CancelledLine(2));
    }

    // The rounds mode stops on a polygon without area, names it, and offers the convergence mode;
    // taken, the same map runs again in it and completes, the polygon left out and named, and
    // the document's block is the convergence mode's for the next run.
    void APolygonWithoutAreaOffersTheConvergenceMode()
    {
        QTemporaryDir folder;
        const QString input = MapWithAFlatPolygon(folder.path());
        CMainFrame frame(&App_.App().UserInterface());
        frame.show();
        CAppDocument* document = frame.NewDocument();
        QStringList messages;
        CModalDriver driver;
        ChooseShapefileAndField(driver, input, u"POP"_s);
        driver.Then([](QWidget* modal) { ChooseMode(modal, false); });
        driver.Then([](QWidget* modal) { ClickButton(modal, u"OK"_s); }); // the parameters
        driver.Then([&](QWidget* modal) {
            messages.append(MessageText(modal));
            ClickButton(modal, u"OK"_s);
        });
        driver.Then([&](QWidget* modal) {
            messages.append(MessageText(modal));
            ClickButton(modal, u"Yes"_s);
        });
        driver.ConfirmOtherMessages();
        QSignalSpy ended(document, &CAppDocument::RunEnded);
        frame.Action(CommandId::Cartogram)->trigger();
        QVERIFY(driver.Wait());
        QTRY_VERIFY_WITH_TIMEOUT(ended.count() == 2, 120000);

        QCOMPARE(messages.size(), 2);
        QVERIFY2(messages[0].contains(u"The area of polygon 4 is zero"_s), qPrintable(messages[0]));
        QVERIFY2(messages[1].contains(u"convergence mode"_s), qPrintable(messages[1]));
        const CartogramRunSummary& summary = *document->LastRun();
        QCOMPARE(summary.Result, CartogramRunSummary::Outcome::Completed);
        QCOMPARE(summary.LeftOutRecords, std::vector<uint32_t>{3});
        QVERIFY(document->Doc().Params.Converge);
        QCOMPARE(document->Doc().Params.ForceType, ForceDecay::FixedRange);
    }

    // After a completed run the result panel lists every polygon with the error its exported
    // file gives (areas read back with shapelib and Boost.Geometry), names the farthest, sorts,
    // and shows a selected polygon's record.
    void TheResultPanelListsEveryPolygonAsItsFileHasIt()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        CMainFrame frame(&App_.App().UserInterface());
        frame.show();
        CAppDocument* document = frame.OpenDocument(input);
        QVERIFY(document != nullptr);
        QVERIFY(frame.ResultDock()->isHidden());
        CModalDriver driver;
        ChooseShapefileAndField(driver, input, u"POP"_s);
        driver.Then([](QWidget* modal) { ChooseMode(modal, true); });
        driver.Then([](QWidget* modal) { ClickButton(modal, u"OK"_s); });
        driver.ConfirmOtherMessages();
        QSignalSpy ended(document, &CAppDocument::RunEnded);
        frame.Action(CommandId::Cartogram)->trigger();
        QVERIFY(driver.Wait());
        QTRY_VERIFY_WITH_TIMEOUT(ended.count() == 1, 120000);
        QCOMPARE(document->LastRun()->Result, CartogramRunSummary::Outcome::Completed);

        CResultPanel* panel = frame.Results();
        QTRY_VERIFY(frame.ResultDock()->isVisible());
        QVERIFY2(panel->Heading()->text().contains(u"kept (the best)"_s), qPrintable(panel->Heading()->text()));
        QVERIFY(panel->Heading()->text().contains(u"(target 0.1000 %)"_s));
        QVERIFY(panel->Farthest()->text().startsWith(u"Farthest from their sizes: "_s));
        QTableWidget* table = panel->Table();
        QCOMPARE(table->rowCount(), 49);

        // The result file's areas, read without our geometry, give the same errors.
        const std::string result = document->LastRun()->WrittenFiles.front();
        const std::vector<BoostRecord> records = ReadBoostRecords(result.substr(0, result.size() - 4) + ".shp");
        DBFHandle dbf = DBFOpen(input.toStdString().c_str(), "rb");
        QVERIFY(dbf != nullptr);
        std::vector<double> sizes;
        for (int record = 0; record < DBFGetRecordCount(dbf); ++record)
            sizes.push_back(DBFReadDoubleAttribute(dbf, record, DBFGetFieldIndex(dbf, "POP")));
        DBFClose(dbf);
        double total = 0.0;
        for (const BoostRecord& record : records)
            total += boost::geometry::area(record);
        const double sizeTotal = std::accumulate(sizes.begin(), sizes.end(), 0.0);
        for (int row = 0; row < table->rowCount(); ++row) {
            const size_t record = size_t(table->item(row, CResultPanel::RecordColumn)->text().toInt() - 1);
            const double areaShare = boost::geometry::area(records[record]) / total;
            const double desired = sizes[record] / sizeTotal;
            QCOMPARE(table->item(row, CResultPanel::SizeColumn)->text().toDouble(), sizes[record]);
            QVERIFY(std::abs(table->item(row, CResultPanel::AreaColumn)->text().toDouble() - areaShare * 100) < 1e-3);
            QVERIFY(std::abs(table->item(row, CResultPanel::ErrorColumn)->text().toDouble() -
                             (areaShare / desired - 1.0) * 100.0) < 0.006);
        }
        table->sortItems(CResultPanel::ErrorColumn, Qt::DescendingOrder);
        const double first = table->item(0, CResultPanel::ErrorColumn)->text().toDouble();
        const double last = table->item(48, CResultPanel::ErrorColumn)->text().toDouble();
        QVERIFY(first >= last && first > 0.0);

        QSignalSpy selected(panel, &CResultPanel::PolygonSelected);
        table->selectRow(0);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.front().front().toInt(), panel->PolygonOfRow(0));
        QTableWidget* attributes = panel->Attributes();
        QVERIFY(attributes->rowCount() >= 3);
        QCOMPARE(attributes->item(0, 0)->text(), u"NAME"_s);
        QCOMPARE(attributes->item(0, 1)->text(), table->item(0, CResultPanel::NameColumn)->text());

        // The selected row's polygon is highlighted in the view; Identify on another polygon
        // selects that one's row.
        CLumarixView* view = frame.ActiveChild()->View();
        const int highlighted = selected.front().front().toInt();
        QCOMPARE(view->HighlightedPolygon(), highlighted);
        frame.Action(CommandId::Identify)->trigger();
        QPoint inside;
        int other = -1;
        for (int y = 5; y < view->Surface()->height() && other < 0; y += 9)
            for (int x = 5; x < view->Surface()->width() && other < 0; x += 9)
                if (const int polygon = view->PolygonAt(QPointF(x, y)); polygon >= 0 && polygon != highlighted) {
                    other = polygon;
                    inside = QPoint(x, y);
                }
        QVERIFY(other >= 0);
        QTest::mouseClick(view->Surface(), Qt::LeftButton, {}, inside);
        QCOMPARE(table->selectedItems().size(), size_t(table->columnCount()));
        const int row = table->selectedItems().front()->row();
        QCOMPARE(panel->PolygonOfRow(row), other);
        QCOMPARE(view->HighlightedPolygon(), other);
    }

    // A run into a folder that holds an earlier run's rounds asks first; removing them leaves
    // only this run's rounds. A new document that made a cartogram is called after the file it
    // deformed, and its next cartogram proposes that file.
    void EarlierRoundsAreAskedAboutAndTheDocumentTakesTheInputsTitle()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        CMainFrame frame(&App_.App().UserInterface());
        frame.show();
        CAppDocument* document = frame.NewDocument();
        QSignalSpy ended(document, &CAppDocument::RunEnded);
        const auto run = [&](const QString& steps, QString* proposed, QString* question) {
            CModalDriver driver;
            ChooseShapefileAndField(driver, input, u"POP"_s, proposed);
            driver.Then([](QWidget* modal) { ChooseMode(modal, false); });
            driver.Then([&steps](QWidget* modal) {
                TypeInto(modal->findChild<QWidget*>(u"Steps"_s), steps);
                ClickButton(modal, u"OK"_s);
            });
            if (question != nullptr)
                driver.Then([question](QWidget* modal) {
                    *question = MessageText(modal);
                    ClickButton(modal, u"Remove Them and Run"_s);
                });
            const int before = int(ended.count());
            frame.Action(CommandId::Cartogram)->trigger();
            QVERIFY(driver.Wait());
            QTRY_VERIFY_WITH_TIMEOUT(ended.count() > before, 120000);
        };
        run(u"6"_s, nullptr, nullptr);
        QCOMPARE(document->Title(), u"us_states.shp"_s);
        QCOMPARE(frame.ActiveChild()->windowTitle(), u"us_states.shp"_s);
        QVERIFY(QFile::exists(folder.filePath(u"us_states_5.shp"_s)));

        QString proposed;
        QString question;
        run(u"3"_s, &proposed, &question);
        QCOMPARE(QFileInfo(proposed).canonicalFilePath(), QFileInfo(input).canonicalFilePath());
        QVERIFY2(question.startsWith(u"42 files of an earlier run"_s), qPrintable(question));
        QCOMPARE(document->LastRun()->Result, CartogramRunSummary::Outcome::Completed);
        QVERIFY(QFile::exists(folder.filePath(u"us_states_2.shp"_s)));
        QCOMPARE(QDir(folder.path()).entryList({u"us_states_3*"_s, u"us_states_5*"_s}), QStringList());
    }

    // Quitting while a run goes on asks first: No keeps the program and the run going; Yes
    // cancels the run, whose information file ends by saying so.
    void QuittingDuringARunAsksAndMarksTheCancelledRun()
    {
        QTemporaryDir folder;
        const QString input = CopyExample(folder.path(), u"us_counties"_s);
        auto frame = std::make_unique<CMainFrame>(&App_.App().UserInterface());
        frame->show();
        CAppDocument* document = frame->OpenDocument(input);
        QVERIFY(document != nullptr);
        document->Doc().Params.SetConvergence();
        CModalDriver driver;
        ChooseShapefileAndField(driver, input, u"RATE"_s);
        driver.Then([](QWidget* modal) { ChooseMode(modal, true); });
        driver.Then([](QWidget* modal) { ClickButton(modal, u"OK"_s); }); // the parameters
        frame->Action(CommandId::Cartogram)->trigger();
        QVERIFY(driver.Wait());
        QVERIFY(document->Busy());

        QString question;
        CModalDriver stay;
        stay.Then([&](QWidget* modal) {
            question = MessageText(modal);
            ClickButton(modal, u"No"_s);
        });
        frame->close();
        QVERIFY(stay.Wait());
        QVERIFY2(question.contains(u"still running for us_counties.shp"_s), qPrintable(question));
        QVERIFY(frame->isVisible());
        QVERIFY(document->Busy());

        CModalDriver quit;
        quit.Then([](QWidget* modal) { ClickButton(modal, u"Yes"_s); });
        frame->close();
        QVERIFY(quit.Wait());
        QVERIFY(!frame->isVisible());
        frame.reset();
        QFile information(folder.filePath(u"us_counties_nfo.txt"_s));
        QVERIFY(information.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = information.readAll().trimmed().split('\n');
        QVERIFY2(lines.last().startsWith("Cancelled by the user after "), lines.last().constData());
    }

    // A document closed during its run stops the worker and goes without waiting for the rounds
    // left.
    void ClosingTheDocumentStopsItsRun()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        auto document = std::make_unique<CLumarixDoc>();
        auto job = std::make_unique<CCartogramJob>();
        job->ShapefilePath = input.toStdString();
        job->SizeField = "POP";
        document->Params.MaxSteps = 100;
        QVERIFY(document->PrepareCartogram(*job));
        auto runner = std::make_unique<CCartogramRunner>(*document, std::move(job));
        QSignalSpy rounds(runner.get(), &CCartogramRunner::RoundFinished);
        runner->Start();
        QVERIFY(rounds.wait(300000));
        QElapsedTimer timer;
        timer.start();
        runner.reset();
        document.reset();
        // The run stops at its next check instead of finishing 100 rounds.
        QVERIFY(QDir(folder.path()).entryList({u"us_states_20.shp"_s}).isEmpty());
        QVERIFY(timer.elapsed() < 120000);
    }

private:
    CTestApp App_;
};

QTEST_MAIN(CartogramRunTest)
#include "CartogramRunTest.moc"
