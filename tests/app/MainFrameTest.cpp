// The main window driven as a user drives it: commands triggered by their ids, dialogs answered
// through their widgets, documents checked afterwards.
#include "app/AppDocument.h"
#include "app/BestRouteSetupDlg.h"
#include "app/NodeSearchDlg.h"
#include "network/NetworkNode.h"
#include "app/CartogramRunner.h"
#include "app/CartoParamsSetDlg.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/LumarixApp.h"
#include "app/MainFrame.h"
#include "app/SetDispParamDlg.h"
#include "app/ShapeFileFieldsDlg.h"
#include "document/LumarixDoc.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/ShapefileFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

using namespace tessaro;
using namespace tessaro::test;

namespace {

// A menu as "Title: item | item | - | ...", separators as "-", submenus by title.
QString Describe(const QMenu& menu)
{
    QStringList items;
    for (const QAction* action : menu.actions())
        items.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return menu.title() + QStringLiteral(": ") + items.join(QStringLiteral(" | "));
}

QStringList MenuBar(const QMainWindow& window)
{
    QStringList menus;
    for (const QAction* action : window.menuBar()->actions())
        if (action->menu() != nullptr)
            menus.append(Describe(*action->menu()));
    return menus;
}

// The bytes of a file; the information file without its time column, which differs per run.
QByteArray Contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (!path.endsWith(QStringLiteral("_nfo.txt")))
        return bytes;
    // A round line has ten columns, the last of which is its time.
    constexpr qsizetype RoundColumns = 10;
    QByteArrayList kept;
    for (const QByteArray& line : bytes.split('\n')) {
        QByteArrayList cells = line.split(',');
        if (cells.size() == RoundColumns)
            cells.removeLast();
        kept.append(cells.join(','));
    }
    return kept.join('\n');
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(Scratch_.isValid());
        UsePrivateSettings(Scratch_.filePath(QStringLiteral("settings")));
        App_ = std::make_unique<CLumarixApp>(*qApp);
    }
    void cleanupTestCase() { App_.reset(); }

    void init()
    {
        Frame_ = std::make_unique<CMainFrame>(&App_->UserInterface());
        Frame_->resize(1000, 700);
        Frame_->show();
        Frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Frame_.get()));
    }
    void cleanup() { Frame_.reset(); }

    void DocumentMenuHoldsTheCommandTablesTexts()
    {
        Frame_->NewDocument();
        const QStringList expected{
            QStringLiteral("&File: Close(&C) | Save(&S)\tCtrl+S | Save As(&A)... | - | Print (&P)...\tCtrl+P | "
                           "Print Preview(&V) | Printer Setup(&R)... | - | Recent File | - | Exit(&X)"),
            QStringLiteral("&Edit: Undo(&U)\tCtrl+Z | - | Cut(&T)\tCtrl+X | Copy(&C)\tCtrl+C | Paste(&P)\tCtrl+V | "
                           "Copy as Lines (&L)"),
            QStringLiteral("&View: Tool Bar(&T) | Status Bar(&S) | - | Set Parameters(&P)"),
            QStringLiteral("E&xport: To EMF File (&E) | To Pajek Net File (&P) | To Graphviz File (&V) | - | "
                           "Chains to Shpfile (&C) | Nodes to CSV File (&N) | To Dorling Cartogram File (&D)"),
            QStringLiteral("&Node Selection: Start Node Selection (&S) | End Node Selection (&E) | "
                           "Service Center Selection (&C) | - | Best Route Setup... | Best Route Initialization"),
            QStringLiteral("&Cartograms: Cartogram with Tessaro(&F)"),
            QStringLiteral("&Window: New Window(&N) | Cascade(&C) | Tile Horizontally(&T) | Arrange(&A)"),
            QStringLiteral("&Help: About (&A)..."),
        };
        QCOMPARE(MenuBar(*Frame_), expected);
    }

    void NoDocumentMenuOnceTheLastWindowCloses()
    {
        Frame_->NewDocument();
        Frame_->Action(CommandId::Close)->trigger();
        QTRY_VERIFY(Frame_->Documents().empty());
        const QStringList expected{
            QStringLiteral("&File: New(&N)\tCtrl+N | Printer Setup(&R)... | - | Exit(&X)"),
            QStringLiteral("&View: Tool Bar(&T) | Status Bar(&S)"),
            QStringLiteral("&Help: About Lumarix(&A)..."),
        };
        QCOMPARE(MenuBar(*Frame_), expected);
        QCOMPARE(Frame_->windowTitle(), QStringLiteral("Tessaro"));
    }

    // Commands without a handler are shown and stay disabled, with a document or without.
    void UnhandledCommandsAreShownDisabled()
    {
        Frame_->NewDocument();
        for (const int id : {CommandId::Save, CommandId::SaveAs, CommandId::Undo, CommandId::Cut, CommandId::Paste,
                             CommandId::ChainsToShpfile, CommandId::NodesToCsv, CommandId::ToDorling,
                             CommandId::ServiceCenterSelection})
            QVERIFY2(!Frame_->Action(id)->isEnabled(), qPrintable(Frame_->Action(id)->objectName()));
        for (const int id : {CommandId::Cartogram, CommandId::ExportEmf, CommandId::StartNodeSelection,
                             CommandId::Copy, CommandId::ZoomIn, CommandId::Close})
            QVERIFY2(Frame_->Action(id)->isEnabled(), qPrintable(Frame_->Action(id)->objectName()));
    }

    void ToolbarInTheGivenOrderWithTips()
    {
        QStringList buttons;
        for (const QAction* action : Frame_->ToolBar()->actions())
            buttons.append(action->isSeparator() ? QStringLiteral("|") : action->toolTip());
        QCOMPARE(buttons.join(QLatin1Char(' ')),
                 QStringLiteral("New Open Save | Cut Copy Paste | Zoom In Zoom Out Full Extent | Select Origin "
                                "Select Destination Select Center | Print | About"));
        const std::pair<int, const char*> prompts[] = {
            {CommandId::ZoomIn, "Zoom In"},
            {CommandId::ZoomOut, "Zoom Out"},
            {CommandId::FullExtent, "Show Full Extent"},
            {CommandId::SelectOrigin, "Select Origin Node"},
            {CommandId::SelectDestination, "Select Destination Node"},
            {CommandId::SelectCenter, "Select Service Center"},
            {CommandId::SetParameters, "Setup Display Parameters"},
        };
        for (const auto& [id, prompt] : prompts)
            QCOMPARE(Frame_->Action(id)->statusTip(), QString::fromUtf8(prompt));
        for (QAction* action : Frame_->ToolBar()->actions())
            QVERIFY(action->isSeparator() || !action->icon().isNull());
    }

    void KeysAreQtShortcuts_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("keys");
        QTest::newRow("new") << CommandId::New << QStringLiteral("Ctrl+N");
        QTest::newRow("open") << CommandId::Open << QStringLiteral("Ctrl+O");
        QTest::newRow("save") << CommandId::Save << QStringLiteral("Ctrl+S");
        QTest::newRow("print") << CommandId::Print << QStringLiteral("Ctrl+P");
        QTest::newRow("undo") << CommandId::Undo << QStringLiteral("Ctrl+Z, Alt+Backspace");
        QTest::newRow("cut") << CommandId::Cut << QStringLiteral("Ctrl+X, Shift+Del");
        QTest::newRow("copy") << CommandId::Copy << QStringLiteral("Ctrl+C, Ctrl+Ins");
        QTest::newRow("paste") << CommandId::Paste << QStringLiteral("Ctrl+V, Shift+Ins");
        QTest::newRow("next pane") << CommandId::NextPane << QStringLiteral("F6");
        QTest::newRow("previous pane") << CommandId::PreviousPane << QStringLiteral("Shift+F6");
    }
    void KeysAreQtShortcuts()
    {
        QFETCH(int, id);
        QFETCH(QString, keys);
        QStringList shown;
        for (const QKeySequence& key : Frame_->Action(id)->shortcuts())
            shown.append(key.toString());
        QCOMPARE(shown.join(QStringLiteral(", ")), keys);
    }

    // Ctrl+N works through the key, and the status bar shows its four panes.
    void NewByKeyAndStatusPanes()
    {
        QTest::keyClick(Frame_.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(Frame_->Documents().size(), size_t(1));
        QCOMPARE(Frame_->windowTitle(), QStringLiteral("Tessaro - [Tessaro1]"));
        QTest::keyClick(Frame_.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(Frame_->windowTitle(), QStringLiteral("Tessaro - [Tessaro2]"));
        QStringList panes;
        for (const QLabel* pane : Frame_->StatusPanes())
            panes.append(pane->text());
        QCOMPARE(panes, (QStringList{QStringLiteral("Ready"), QStringLiteral("CAP"), QStringLiteral("NUM"),
                                     QStringLiteral("SCRL")}));
        QVERIFY(Frame_->ActiveChild()->isMaximized());
    }

    void OpenOfATableSaysUnknownFileFormatAndMakesNoDocument()
    {
        CModalDriver driver;
        QString message;
        driver.Then([](QWidget* modal) {
            QCOMPARE(qobject_cast<QFileDialog*>(modal)->nameFilters().size(), 4);
            ChooseFile(modal, ExampleFolder() + QStringLiteral("/us_states/us_states.dbf"));
        });
        driver.Then([&message](QWidget* modal) {
            message = MessageText(modal);
            ClickButton(modal, QStringLiteral("OK"));
        });
        Frame_->Action(CommandId::Open)->trigger();
        QVERIFY(driver.Wait());
        QCOMPARE(message, QStringLiteral("Unknown File Format"));
        QVERIFY(Frame_->Documents().empty());
        QVERIFY(Frame_->MdiArea()->subWindowList().isEmpty());
        QVERIFY(Frame_->RecentFiles().Files().isEmpty());
    }

    void TwoOpensGiveTwoDocuments()
    {
        const QString path = ExampleFolder() + QStringLiteral("/us_states/us_states.shp");
        for (int i = 0; i < 2; ++i) {
            CModalDriver driver;
            driver.Then([&path](QWidget* modal) { ChooseFile(modal, path); });
            Frame_->Action(CommandId::Open)->trigger();
            QVERIFY(driver.Wait());
        }
        const std::vector<CAppDocument*> documents = Frame_->Documents();
        QCOMPARE(documents.size(), size_t(2));
        QVERIFY(&documents[0]->Doc().Network() != &documents[1]->Doc().Network());
        for (CAppDocument* document : documents) {
            QCOMPARE(document->Doc().Network().PolygonCount(), 49u);
            QCOMPARE(document->Title(), QStringLiteral("us_states.shp"));
        }
        QCOMPARE(Frame_->windowTitle(), QStringLiteral("Tessaro - [us_states.shp]"));
        QCOMPARE(Frame_->MdiArea()->subWindowList().size(), 2);
    }

    void RecentFilesListAndReopen()
    {
        const QString states = ExampleFolder() + QStringLiteral("/us_states/us_states.shp");
        const QString flights = ExampleFolder() + QStringLiteral("/us_flights/us_flights.flt");
        QVERIFY(Open(states) != nullptr);
        QVERIFY(Open(flights) != nullptr);
        QCOMPARE(Frame_->RecentFiles().Files(), (QStringList{flights, states}));
        QAction* second = Frame_->findChild<QAction*>(QStringLiteral("ID_57617"));
        QVERIFY(second != nullptr);
        QCOMPARE(second->text(), QStringLiteral("&2 ") + QDir::toNativeSeparators(states));

        // A file already open is activated, not opened again.
        second->trigger();
        QCOMPARE(Frame_->Documents().size(), size_t(2));
        QCOMPARE(Frame_->ActiveDocument()->Title(), QStringLiteral("us_states.shp"));
        Frame_->Action(CommandId::Close)->trigger();
        QTRY_COMPARE(Frame_->Documents().size(), size_t(1));
        {
            CModalDriver driver;
            driver.ConfirmOtherMessages();
            Frame_->findChild<QAction*>(QStringLiteral("ID_57617"))->trigger();
        }
        QCOMPARE(Frame_->Documents().size(), size_t(2));
        QCOMPARE(Frame_->RecentFiles().Files().first(), states);

        // The list lives in the settings and comes back with the next main window.
        Frame_ = std::make_unique<CMainFrame>(&App_->UserInterface());
        QCOMPARE(Frame_->RecentFiles().Files(), (QStringList{states, flights}));
        QSettings settings;
        QCOMPARE(settings.value(QStringLiteral("Recent File List/File1")).toString(), states);
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Tessaro"));
    }

    void RecentFileThatNoLongerOpensLeavesTheList()
    {
        const QString copy = Scratch_.filePath(QStringLiteral("gone.shp"));
        QVERIFY(QFile::copy(ExampleFolder() + QStringLiteral("/us_states/us_states.shp"), copy));
        QVERIFY(Open(copy) != nullptr);
        Frame_->Action(CommandId::Close)->trigger();
        QTRY_VERIFY(Frame_->Documents().empty());
        QVERIFY(QFile::remove(copy));
        CModalDriver driver;
        driver.Then([](QWidget* modal) { ClickButton(modal, QStringLiteral("OK")); });
        QVERIFY(Frame_->OpenRecentFile(copy) == nullptr);
        QVERIFY(driver.Wait());
        QVERIFY(!Frame_->RecentFiles().Files().contains(copy));
    }

    void CommandLineOpensItsFileOrAnEmptyDocument()
    {
        Frame_->ProcessCommandLine({});
        QCOMPARE(Frame_->Documents().size(), size_t(1));
        QCOMPARE(Frame_->Documents().front()->Title(), QStringLiteral("Tessaro1"));
        QVERIFY(Frame_->Documents().front()->Doc().DocumentPath.empty());
        CModalDriver driver;
        driver.ConfirmOtherMessages();
        Frame_->ProcessCommandLine({ExampleFolder() + QStringLiteral("/us_flights/us_flights.flt")});
        QVERIFY(driver.ConfirmedMessages().contains(QStringLiteral("The number of cities is: 305")));
        QCOMPARE(Frame_->Documents().size(), size_t(2));
        QCOMPARE(Frame_->ActiveDocument()->Doc().Network().NodeCount(), 305u);
    }

    // The export proposes the document's path less its ending, refuses the input itself and
    // writes the chosen file.
    void PajekExportProposesTheNameAndSparesTheInput()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        const QByteArray before = Contents(input);
        QVERIFY(Open(input) != nullptr);

        CModalDriver refused;
        QString proposed;
        QString message;
        refused.Then([&](QWidget* modal) {
            proposed = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            ChooseFile(modal, input);
        });
        refused.Then([](QWidget* modal) { ClickButton(modal, QStringLiteral("Yes")); }); // overwrite prompt
        refused.Then([&message](QWidget* modal) {
            message = MessageText(modal);
            ClickButton(modal, QStringLiteral("OK"));
        });
        Frame_->Action(CommandId::ExportPajek)->trigger();
        QVERIFY(refused.Wait());
        QCOMPARE(proposed, QStringLiteral("us_states"));
        QVERIFY2(!message.isEmpty(), "the input was not refused");
        QCOMPARE(Contents(input), before);

        CModalDriver written;
        written.Then([&](QWidget* modal) { ChooseFile(modal, folder.filePath(QStringLiteral("states"))); });
        Frame_->Action(CommandId::ExportPajek)->trigger();
        QVERIFY(written.Wait());
        QVERIFY(Contents(folder.filePath(QStringLiteral("states.net"))).startsWith("*Vertices"));
    }

    void PictureExportGoesThroughDisplaySetup()
    {
        QTemporaryDir folder;
        QVERIFY(Open(ExampleFolder() + QStringLiteral("/us_flights/us_flights.flt")) != nullptr);
        CModalDriver driver;
        bool settingsShown = false;
        driver.Then([&](QWidget* modal) { ChooseFile(modal, folder.filePath(QStringLiteral("flights"))); });
        driver.Then([&](QWidget* modal) {
            auto* settings = qobject_cast<CSetDispParamDlg*>(modal);
            settingsShown = settings != nullptr && settings->windowTitle() == QStringLiteral("Display Setup");
            ClickButton(modal, QStringLiteral("OK"));
        });
        Frame_->Action(CommandId::ExportEmf)->trigger();
        QVERIFY(driver.Wait());
        QVERIFY(settingsShown);
        // An EMF starts with its header record (type 1) and carries " EMF" at byte 40.
        const QByteArray picture = Contents(folder.filePath(QStringLiteral("flights.emf")));
        QVERIFY(picture.size() > 100);
        QCOMPARE(picture.mid(40, 4), QByteArray(" EMF"));
    }

    // Start Node Selection finds the origin by name; the best-route dialog then shows where it is.
    void NodeSelectionSetsTheOriginByName()
    {
        CAppDocument* document = Open(ExampleFolder() + QStringLiteral("/us_flights/us_flights.flt"));
        QVERIFY(document != nullptr);
        CModalDriver driver;
        driver.Then([](QWidget* modal) {
            auto* search = qobject_cast<CNodeSearchDlg*>(modal);
            QTest::keyClicks(search->FilterEdit(), QStringLiteral("sea"));
            ClickButton(modal, QStringLiteral("Search"));
            const QList<QListWidgetItem*> sea = search->ResultList()->findItems(QStringLiteral("SEA"), Qt::MatchExactly);
            QVERIFY(!sea.isEmpty());
            search->PickEntry(search->ResultList()->row(sea.first()));
            ClickButton(modal, QStringLiteral("OK"));
        });
        Frame_->Action(CommandId::StartNodeSelection)->trigger();
        QVERIFY(driver.Wait());
        CNetworkNode* origin = document->Doc().BestRoute().Origin();
        QVERIFY(origin != nullptr);
        QCOMPARE(QString::fromStdString(origin->Name()), QStringLiteral("SEA"));

        Frame_->Action(CommandId::BestRouteSetup)->trigger();
        QVERIFY(document->BestRouteDialog() != nullptr);
        QVERIFY(document->BestRouteDialog()->OriginText()->text().startsWith(QStringLiteral("X: ")));
        QCOMPARE(document->BestRouteDialog()->DestinationText()->text(), QStringLiteral("尚未设置"));
        // A second Setup replaces the first dialog.
        QPointer<CBestRouteSetupDlg> first = document->BestRouteDialog();
        Frame_->Action(CommandId::BestRouteSetup)->trigger();
        QVERIFY(first.isNull());
        QVERIFY(document->BestRouteDialog() != nullptr);
    }

    void CancelInEitherDialogRunsNothing_data()
    {
        QTest::addColumn<bool>("inParameters");
        QTest::newRow("shapefile and field") << false;
        QTest::newRow("parameters") << true;
    }
    void CancelInEitherDialogRunsNothing()
    {
        QFETCH(bool, inParameters);
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        CAppDocument* document = Frame_->NewDocument();
        const CartoParams before = document->Doc().Params;
        CModalDriver driver;
        driver.Then([&](QWidget* modal) {
            ClickButton(modal, QStringLiteral("Select Shapefile ..."));
            qobject_cast<CShapeFileFieldsDlg*>(modal)->FieldList()->setCurrentRow(1);
            ClickButton(modal, inParameters ? QStringLiteral("Next") : QStringLiteral("Cancel"));
        });
        driver.Then([&](QWidget* modal) { ChooseFile(modal, input); });
        if (inParameters)
            driver.Then([](QWidget* modal) {
                TypeInto(qobject_cast<CCartoParamsSetDlg*>(modal)->Box(QStringLiteral("Steps")), QStringLiteral("2"));
                ClickButton(modal, QStringLiteral("Cancel"));
            });
        Frame_->Action(CommandId::Cartogram)->trigger();
        QVERIFY(driver.Wait());
        QVERIFY(!document->Busy());
        QCOMPARE(document->Doc().Params, before);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 4);
    }

    // The same parameters give the same files through the desktop program as through the
    // command line: the parameter dialog saves its block, and the command line reads it.
    void CartogramThroughTheWindowsWritesWhatTheCommandLineWrites()
    {
        QTemporaryDir gui;
        QTemporaryDir cli;
        const QString guiInput = CopyUsStates(gui.path());
        const QString cliInput = CopyUsStates(cli.path());

        CAppDocument* document = Open(guiInput);
        QVERIFY(document != nullptr);
        CModalDriver driver;
        driver.Then([&](QWidget* modal) {
            ClickButton(modal, QStringLiteral("Select Shapefile ..."));
            auto* fields = qobject_cast<CShapeFileFieldsDlg*>(modal);
            fields->FieldList()->setCurrentItem(
                fields->FieldList()->findItems(QStringLiteral("POP"), Qt::MatchExactly).value(0));
            ClickButton(modal, QStringLiteral("Next"));
        });
        driver.Then([&](QWidget* modal) { ChooseFile(modal, guiInput); });
        const QString parameterFile = cli.filePath(QStringLiteral("run.cartoparam"));
        driver.Then([](QWidget* modal) {
            auto* parameters = qobject_cast<CCartoParamsSetDlg*>(modal);
            TypeInto(parameters->Box(QStringLiteral("Steps")), QStringLiteral("3"));
            TypeInto(parameters->Box(QStringLiteral("Number of Computational Threads")), QStringLiteral("2"));
            ClickButton(modal, QStringLiteral("Save ..."));
            ClickButton(modal, QStringLiteral("OK"));
        });
        driver.Then([&](QWidget* modal) { ChooseFile(modal, parameterFile); });
        Frame_->Action(CommandId::Cartogram)->trigger();
        QVERIFY(driver.Wait());
        QVERIFY(document->Busy());
        QSignalSpy ended(document, &CAppDocument::RunEnded);
        QVERIFY(ended.wait(300000));
        QVERIFY(document->LastRun().has_value());
        QCOMPARE(document->LastRun()->Result, CartogramRunSummary::Outcome::Completed);

        QProcess command;
        command.start(QStringLiteral(TESSARO_CLI_PATH),
                      {QStringLiteral("cartogram"), cliInput, QStringLiteral("--field"), QStringLiteral("POP"),
                       QStringLiteral("--params"), parameterFile});
        QVERIFY(command.waitForFinished(300000));
        QCOMPARE(command.exitCode(), 0);

        QVERIFY(QFile::remove(parameterFile));
        const QStringList written = QDir(gui.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(written, QDir(cli.path()).entryList(QDir::Files, QDir::Name));
        QVERIFY(written.contains(QStringLiteral("us_states_2.shp")));
        QVERIFY(written.contains(QStringLiteral("us_states_2_qp.emf")));
        for (const QString& name : written)
            QVERIFY2(Contents(gui.filePath(name)) == Contents(cli.filePath(name)), qPrintable(name));
        // The document shows the deformed map: the last round's shapefile.
        const std::vector<ShapelibShape> last = ReadWithShapelib(gui.filePath(QStringLiteral("us_states_2.shp")).toStdString());
        QCOMPARE(document->Doc().Network().PolygonCount(), uint32_t(last.size()));
    }

private:
    // Opens a file as the user would see it open, confirming the messages the readers show
    // (a flight table, for one, reports its number of cities).
    CAppDocument* Open(const QString& path)
    {
        CModalDriver driver;
        driver.ConfirmOtherMessages();
        return Frame_->OpenDocument(path);
    }

    QTemporaryDir Scratch_;
    std::unique_ptr<CLumarixApp> App_;
    std::unique_ptr<CMainFrame> Frame_;
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
