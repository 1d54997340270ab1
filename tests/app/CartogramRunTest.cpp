// The cartogram on its worker thread: every round reaches the GUI thread in order while the
// event loop stays live, Cancel between rounds keeps the finished rounds complete and the
// document as it was, and closing a document stops its run.
#include "app/AppDocument.h"
#include "app/CartogramProgressDlg.h"
#include "app/CartogramRunner.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/LumarixApp.h"
#include "app/LumarixView.h"
#include "app/MainFrame.h"
#include "document/LumarixDoc.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ShapefileFixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListWidget>
#include <QMdiArea>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// The first vertex of the first ring of polygon `index`, to tell a deformed layer from the input.
std::pair<double, double> FirstVertex(const CLumarixDoc& document, uint32_t index)
{
    const CPolygonRing& ring = document.Network().Polygon(index).Ring(0);
    return {ring.Points()[0], ring.Points()[1]};
}

std::unique_ptr<CCartogramJob> PreparedJob(CLumarixDoc& document, const QString& input, int steps)
{
    auto job = std::make_unique<CCartogramJob>();
    job->ShapefilePath = input.toStdString();
    job->SizeField = "POP";
    document.Params.MaxSteps = steps;
    document.Params.ThreadCount = 2;
    if (!document.PrepareCartogram(*job))
        return nullptr;
    return job;
}

} // namespace

class CartogramRunTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(Scratch_.isValid());
        UsePrivateSettings(Scratch_.filePath(QStringLiteral("settings")));
        App_ = std::make_unique<CLumarixApp>(*qApp);
    }
    void cleanupTestCase() { App_.reset(); }

    void RoundsArriveInOrderAndTheDocumentTakesTheResult()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        CLumarixDoc document;
        QVERIFY(document.OnOpenDocument(input.toStdString()));
        const auto before = FirstVertex(document, 0);
        std::unique_ptr<CCartogramJob> job = PreparedJob(document, input, 3);
        QVERIFY(job);

        CCartogramRunner runner(document, std::move(job));
        std::vector<int> rounds;
        size_t polygons = 0;
        bool cellsShown = false;
        connect(&runner, &CCartogramRunner::RoundFinished, this, [&](const std::shared_ptr<const CRoundFrame>& frame) {
            rounds.push_back(frame->Round);
            polygons = frame->Polygons.size();
            cellsShown = cellsShown || !frame->Cells.empty();
            // The document is untouched until the run ends.
            QCOMPARE(FirstVertex(document, 0), before);
        });
        QSignalSpy finished(&runner, &CCartogramRunner::Finished);
        // The event loop keeps turning while the worker computes.
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(5);
        runner.Start();
        QVERIFY(runner.Running());
        QVERIFY(finished.wait(300000));
        ticker.stop();

        const auto summary = finished.first().first().value<CartogramRunSummary>();
        QCOMPARE(summary.Result, CartogramRunSummary::Outcome::Completed);
        QCOMPARE(rounds, (std::vector<int>{0, 1, 2}));
        QCOMPARE(polygons, size_t(49));
        QVERIFY(cellsShown);
        QVERIFY(ticks > 0);
        QVERIFY(FirstVertex(document, 0) != before);
        QCOMPARE(document.Network().PolygonCount(), 49u);
    }

    // Cancel pressed while round 1 is shown: rounds 0 and 1 stay complete, round 2 is never
    // written, and the document keeps its map.
    void CancelDuringRoundTwoKeepsRoundsZeroAndOne()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        CMainFrame frame(&App_->UserInterface());
        frame.show();
        CAppDocument* document = frame.OpenDocument(input);
        QVERIFY(document != nullptr);
        const auto before = FirstVertex(document->Doc(), 0);

        // Cancel is pressed while round 1 is on the screen; the worker waits for the screen.
        CCartogramProgressDlg* progress = nullptr;
        connect(document, &CAppDocument::FrameArrived, this, [&](const std::shared_ptr<const CRoundFrame>& round) {
            if (round->Round == 1 && progress != nullptr)
                QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
        });
        CModalDriver driver;
        driver.Then([&](QWidget* modal) {
            ClickButton(modal, QStringLiteral("Select Shapefile ..."));
            auto* fields = modal->findChild<QListWidget*>(QStringLiteral("1080"));
            fields->setCurrentItem(fields->findItems(QStringLiteral("POP"), Qt::MatchExactly).value(0));
            ClickButton(modal, QStringLiteral("Next"));
        });
        driver.Then([&](QWidget* modal) { ChooseFile(modal, input); });
        driver.Then([](QWidget* modal) {
            TypeInto(modal->findChild<QWidget*>(QStringLiteral("Steps")), QStringLiteral("6"));
            ClickButton(modal, QStringLiteral("OK"));
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
        QVERIFY(ended.wait(300000));
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
            const QString stem = folder.filePath(QStringLiteral("us_states_%1").arg(QLatin1String(round)));
            QCOMPARE(ReadWithShapelib((stem + QStringLiteral(".shp")).toStdString()).size(), size_t(49));
            for (const char* ending : {".shx", ".dbf", ".prj", "_qt.emf", "_py.emf", "_qp.emf"})
                QVERIFY2(QFile::exists(stem + QLatin1String(ending)), qPrintable(stem + QLatin1String(ending)));
        }
        QVERIFY(QDir(folder.path()).entryList({QStringLiteral("us_states_2*")}).isEmpty());
    }

    // A document closed during its run stops the worker and goes without waiting for the rounds
    // left.
    void ClosingTheDocumentStopsItsRun()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        auto document = std::make_unique<CLumarixDoc>();
        std::unique_ptr<CCartogramJob> job = PreparedJob(*document, input, 100);
        QVERIFY(job);
        auto runner = std::make_unique<CCartogramRunner>(*document, std::move(job));
        QSignalSpy rounds(runner.get(), &CCartogramRunner::RoundFinished);
        runner->Start();
        QVERIFY(rounds.wait(300000));
        QElapsedTimer timer;
        timer.start();
        runner.reset();
        document.reset();
        // The run stops at its next check instead of finishing 100 rounds.
        QVERIFY(QDir(folder.path()).entryList({QStringLiteral("us_states_20.shp")}).isEmpty());
        QVERIFY(timer.elapsed() < 120000);
    }

private:
    QTemporaryDir Scratch_;
    std::unique_ptr<CLumarixApp> App_;
};

QTEST_MAIN(CartogramRunTest)
#include "CartogramRunTest.moc"
