// The main window driven as a user drives it: commands triggered by their ids, dialogs answered
// through their widgets, documents checked afterwards.
#include "app/MainFrame.h"
#include "app/AppDocument.h"
#include "app/BestRouteSetupDlg.h"
#include "app/CartoParamsSetDlg.h"
#include "app/CartogramModeDlg.h"
#include "app/ChildFrame.h"
#include "app/CommandTable.h"
#include "app/LumarixApp.h"
#include "app/LumarixView.h"
#include "app/NodeSearchDlg.h"
#include "app/SetDispParamDlg.h"
#include "app/ShapeFileFieldsDlg.h"
#include "document/LumarixDoc.h"
#include "network/NodeSearch.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/TestApp.h"
#include "tests/support/ShapefileFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <memory>

using namespace tessaro;
using namespace tessaro::test;
using namespace Qt::StringLiterals;

namespace {

QString MenuTitles(const QMainWindow& window)
{
    QStringList titles;
    for (const QAction* action : window.menuBar()->actions())
        titles.append(action->text());
    return titles.join(QLatin1Char(' '));
}

// The bytes of a file; the information file without its time column, which differs per run.
QByteArray Contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (!path.endsWith(u"_nfo.txt"_s))
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
    void initTestCase() { QVERIFY(App_.Start()); }
    void cleanupTestCase() { App_.Stop(); }

    void init()
    {
        Frame_ = std::make_unique<CMainFrame>(&App_.App().UserInterface());
        Frame_->resize(1000, 700);
        Frame_->show();
        Frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Frame_.get()));
    }
    void cleanup() { Frame_.reset(); }

    // Ctrl+N makes a maximized document window and brings the document menu bar; closing the
    // last window brings the no-document one. Commands without a handler stay disabled, and
    // document commands need a document.
    void MenuBarsFollowTheDocumentWindows()
    {
        QTest::keyClick(Frame_.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(Frame_->windowTitle(), u"Tessaro - [Tessaro1]"_s);
        QVERIFY(Frame_->ActiveChild()->isMaximized());
        QCOMPARE(MenuTitles(*Frame_), u"&File &Edit &View E&xport &Node Selection &Cartograms &Window &Help"_s);
        for (const int id : {CommandId::Save, CommandId::Undo, CommandId::Cut, CommandId::Paste, CommandId::ToDorling,
                             CommandId::ServiceCenterSelection})
            QVERIFY2(!Frame_->Action(id)->isEnabled(), qPrintable(Frame_->Action(id)->objectName()));
        for (const int id : {CommandId::Cartogram, CommandId::Copy, CommandId::ZoomIn, CommandId::SelectCenter})
            QVERIFY2(Frame_->Action(id)->isEnabled(), qPrintable(Frame_->Action(id)->objectName()));

        Frame_->Action(CommandId::Close)->trigger();
        QTRY_VERIFY(Frame_->Documents().empty());
        QCOMPARE(MenuTitles(*Frame_), u"&File &View &Help"_s);
        QCOMPARE(Frame_->Action(CommandId::About)->text(), u"About Lumarix(&A)..."_s);
        QCOMPARE(Frame_->windowTitle(), u"Tessaro"_s);
        QVERIFY(!Frame_->Action(CommandId::Copy)->isEnabled());
    }

    // Open of an attribute table says "Unknown File Format" and leaves no document; two opens
    // of a shapefile give two documents, each with its own network.
    void OpenMakesANewDocumentEachTimeOrNone()
    {
        const QString table = ExampleFolder() + u"/us_states/us_states.dbf"_s;
        const QString path = ExampleFolder() + u"/us_states/us_states.shp"_s;
        QString message;
        for (const QString& chosen : {table, path, path}) {
            CModalDriver driver;
            driver.Then([&chosen](QWidget* modal) {
                QCOMPARE(qobject_cast<QFileDialog*>(modal)->nameFilters().size(), 4);
                ChooseFile(modal, chosen);
            });
            if (chosen == table)
                driver.Then([&message](QWidget* modal) {
                    message = MessageText(modal);
                    ClickButton(modal, u"OK"_s);
                });
            Frame_->Action(CommandId::Open)->trigger();
            QVERIFY(driver.Wait());
            if (chosen == table)
                QVERIFY(Frame_->Documents().empty() && Frame_->RecentFiles().Files().isEmpty());
        }
        QCOMPARE(message, u"Unknown File Format"_s);
        const std::vector<CAppDocument*> documents = Frame_->Documents();
        QCOMPARE(documents.size(), size_t(2));
        QVERIFY(&documents[0]->Doc().Network() != &documents[1]->Doc().Network());
        for (CAppDocument* document : documents)
            QCOMPARE(document->Doc().Network().PolygonCount(), 49u);
        // The two documents of one file are told apart.
        QCOMPARE(Frame_->windowTitle(), u"Tessaro - [us_states.shp:2]"_s);
        QCOMPARE(Frame_->MdiArea()->subWindowList().size(), 2);
    }

    // Windows sharing a title are numbered, the main title names the active one however the
    // windows are arranged, cascaded and tiled windows get a size to work in, and Close closes
    // every window of the active document, the other document keeping its own.
    void WindowsAreNumberedArrangedAndClosedByDocument()
    {
        const QString path = ExampleFolder() + u"/us_states/us_states.shp"_s;
        CAppDocument* first = Frame_->OpenDocument(path);
        QVERIFY(first != nullptr);
        Frame_->Action(CommandId::NewWindow)->trigger();
        CAppDocument* second = Frame_->OpenDocument(path);
        QVERIFY(second != nullptr);
        QStringList titles;
        for (QMdiSubWindow* window : Frame_->MdiArea()->subWindowList(QMdiArea::CreationOrder))
            titles.append(window->windowTitle());
        QCOMPARE(titles, (QStringList{u"us_states.shp:1"_s, u"us_states.shp:2"_s, u"us_states.shp:3"_s}));
        QCOMPARE(Frame_->windowTitle(), u"Tessaro - [us_states.shp:3]"_s);
        QCOMPARE(Frame_->StatusPanes().front()->text(), u"Ready"_s);
        // A prompt shown and cleared leaves the idle text, not what the pane held before.
        Frame_->StatusPanes().front()->setText(u"X:1.0000, Y:2.0000  Cursor X:1, Y:2"_s);
        Frame_->statusBar()->showMessage(u"Zoom In"_s);
        Frame_->statusBar()->clearMessage();
        QCOMPARE(Frame_->StatusPanes().front()->text(), u"Ready"_s);

        const QSize area = Frame_->MdiArea()->viewport()->size();
        for (const int arrangement : {CommandId::Cascade, CommandId::TileHorizontally}) {
            Frame_->Action(arrangement)->trigger();
            QTRY_VERIFY(!Frame_->ActiveChild()->isMaximized());
            QCOMPARE(Frame_->windowTitle(), u"Tessaro - %1"_s.arg(Frame_->ActiveChild()->windowTitle()));
            for (QMdiSubWindow* window : Frame_->MdiArea()->subWindowList())
                QVERIFY2(window->width() >= area.width() / 3 && window->height() >= area.height() / 4,
                         qPrintable(u"%1 x %2 in %3 x %4"_s.arg(window->width())
                                        .arg(window->height())
                                        .arg(area.width())
                                        .arg(area.height())));
        }

        Frame_->MdiArea()->setActiveSubWindow(Frame_->MdiArea()->subWindowList(QMdiArea::CreationOrder).front());
        QCOMPARE(Frame_->ActiveDocument(), first);
        Frame_->Action(CommandId::Close)->trigger();
        QTRY_COMPARE(Frame_->Documents(), std::vector<CAppDocument*>{second});
        QCOMPARE(Frame_->MdiArea()->subWindowList().size(), 1);
        QCOMPARE(Frame_->ActiveChild()->windowTitle(), u"us_states.shp"_s);
    }

    // Newest first in the File menu; a file already open is activated, not opened again; the
    // list lives in the settings; a file that no longer opens leaves it.
    void RecentFilesListAndReopen()
    {
        QSettings().remove(u"Recent File List"_s);
        Frame_ = std::make_unique<CMainFrame>(&App_.App().UserInterface());
        const QString states = App_.ScratchFile(u"states.shp"_s);
        QFile::remove(states);
        QVERIFY(QFile::copy(ExampleFolder() + u"/us_states/us_states.shp"_s, states));
        const QString flights = ExampleFolder() + u"/us_flights/us_flights.flt"_s;
        QVERIFY(Open(states) != nullptr);
        QVERIFY(Open(flights) != nullptr);
        QCOMPARE(Frame_->RecentFiles().Files(), (QStringList{flights, states}));
        QAction* second = Frame_->findChild<QAction*>(u"ID_57617"_s);
        QCOMPARE(second->text(), u"&2 "_s + QDir::toNativeSeparators(states));
        second->trigger();
        QCOMPARE(Frame_->Documents().size(), size_t(2));
        QCOMPARE(Frame_->ActiveDocument()->Title(), u"states.shp"_s);
        Frame_->Action(CommandId::Close)->trigger();
        QTRY_COMPARE(Frame_->Documents().size(), size_t(1));
        {
            CModalDriver driver;
            driver.ConfirmOtherMessages();
            Frame_->findChild<QAction*>(u"ID_57617"_s)->trigger();
        }
        QCOMPARE(Frame_->Documents().size(), size_t(2));
        QCOMPARE(Frame_->RecentFiles().Files().first(), states);

        Frame_ = std::make_unique<CMainFrame>(&App_.App().UserInterface());
        QCOMPARE(Frame_->RecentFiles().Files(), (QStringList{states, flights}));
        QCOMPARE(QSettings().value(u"Recent File List/File1"_s).toString(), states);
        QVERIFY(QFile::remove(states));
        CModalDriver driver;
        driver.Then([](QWidget* modal) { ClickButton(modal, u"OK"_s); });
        QVERIFY(Frame_->OpenRecentFile(states) == nullptr);
        QVERIFY(driver.Wait());
        QCOMPARE(Frame_->RecentFiles().Files(), QStringList{flights});
    }

    // An export proposes the document's path less its ending, refuses the input itself and
    // writes the chosen file; the picture goes through Display Setup first.
    void ExportsProposeTheNameAndSpareTheInput()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        const QByteArray before = Contents(input);
        QVERIFY(Open(input) != nullptr);
        CModalDriver refused;
        QString proposed;
        QString message;
        refused.Then([&](QWidget* modal) {
            proposed = modal->findChild<QLineEdit*>(u"fileNameEdit"_s)->text();
            ChooseFile(modal, input);
        });
        refused.Then([](QWidget* modal) { ClickButton(modal, u"Yes"_s); }); // overwrite prompt
        refused.Then([&message](QWidget* modal) {
            message = MessageText(modal);
            ClickButton(modal, u"OK"_s);
        });
        Frame_->Action(CommandId::ExportPajek)->trigger();
        QVERIFY(refused.Wait());
        QCOMPARE(proposed, u"us_states"_s);
        QVERIFY2(!message.isEmpty(), "the input was not refused");
        QCOMPARE(Contents(input), before);

        CModalDriver written;
        QString settings;
        written.Then([&](QWidget* modal) { ChooseFile(modal, folder.filePath(u"states"_s)); });
        Frame_->Action(CommandId::ExportPajek)->trigger();
        written.Then([&](QWidget* modal) { ChooseFile(modal, folder.filePath(u"states"_s)); });
        written.Then([&](QWidget* modal) {
            settings = qobject_cast<CSetDispParamDlg*>(modal) != nullptr ? modal->windowTitle() : QString();
            ClickButton(modal, u"OK"_s);
        });
        Frame_->Action(CommandId::ExportEmf)->trigger();
        QVERIFY(written.Wait());
        QVERIFY(Contents(folder.filePath(u"states.net"_s)).startsWith("*Vertices"));
        QCOMPARE(settings, u"Display Setup"_s);
        // An EMF starts with its header record and carries " EMF" at byte 40.
        QCOMPARE(Contents(folder.filePath(u"states.emf"_s)).mid(40, 4), QByteArray(" EMF"));
    }

    // File > Export Map Picture offers the three formats, writes the map in the view's style
    // and refuses a name that is one of the document's inputs (here a hard link to its table).
    void ExportMapPictureWritesTheViewsMapAndSparesTheInput()
    {
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        QVERIFY(Open(input) != nullptr);
        CLumarixView* view = Frame_->ActiveChild()->View();
        MapStyle style = view->Style();
        style.Fill = MapStyle::FillMode::OneColor;
        style.FillColor = {10, 120, 200};
        style.Background = {255, 255, 255};
        view->SetStyle(style);
        auto* action = Frame_->findChild<QAction*>(u"ID_EXPORT_MAP_PICTURE"_s);
        QVERIFY(action != nullptr);

        const QString png = folder.filePath(u"states.png"_s);
        QString filters;
        CModalDriver written;
        written.Then([&](QWidget* modal) {
            filters = qobject_cast<QFileDialog*>(modal)->nameFilters().join(u";;"_s);
            ChooseFile(modal, png);
        });
        action->trigger();
        QVERIFY(written.Wait());
        QCOMPARE(filters, u"PNG picture (*.png);;SVG picture (*.svg);;PDF document (*.pdf)"_s);
        const QImage image(png);
        QCOMPARE(image.width(), 1200);
        qsizetype filled = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                filled += image.pixelColor(x, y) == QColor(10, 120, 200) ? 1 : 0;
        // The states cover much of the page.
        QVERIFY2(filled > image.width() * image.height() / 5, qPrintable(QString::number(filled)));

        const QString table = folder.filePath(u"us_states.dbf"_s);
        const QByteArray before = Contents(table);
        const QString link = folder.filePath(u"table.png"_s);
        std::filesystem::create_hard_link(table.toStdString(), link.toStdString());
        CModalDriver refused;
        QString message;
        refused.Then([&](QWidget* modal) { ChooseFile(modal, link); });
        refused.Then([](QWidget* modal) { ClickButton(modal, u"Yes"_s); }); // overwrite prompt
        refused.Then([&message](QWidget* modal) {
            message = MessageText(modal);
            ClickButton(modal, u"OK"_s);
        });
        action->trigger();
        QVERIFY(refused.Wait());
        QVERIFY2(message.contains(u"would overwrite the input file"_s), qPrintable(message));
        QCOMPARE(Contents(table), before);
    }

    // Start Node Selection finds the origin by name; the best-route dialog then shows where it is.
    // The node search lists the names the filter finds; a double click on one picks it and
    // gives OK the focus, and a change of the filter asks for a new pick. OK sets the origin.
    void NodeSelectionSetsTheOriginByName()
    {
        CAppDocument* document = Open(ExampleFolder() + u"/us_flights/us_flights.flt"_s);
        QVERIFY(document != nullptr);
        CModalDriver driver;
        driver.Then([](QWidget* modal) {
            auto* search = qobject_cast<CNodeSearchDlg*>(modal);
            // The dialog's focus widget, not hasFocus(): on an X server without a window manager
            // the dialog may not be the active window yet when the driver reaches it.
            QVERIFY(search->focusWidget() == search->SearchButton() && !search->OkButton()->isEnabled());
            QTest::keyClicks(search->FilterEdit(), u"sea"_s);
            ClickButton(modal, u"Search"_s);
            QListWidget* list = search->ResultList();
            for (int row = 0; row < list->count(); ++row)
                QVERIFY2(list->item(row)->text().contains(u"SEA"_s), qPrintable(list->item(row)->text()));
            QListWidgetItem* sea = list->findItems(u"SEA"_s, Qt::MatchExactly).value(0);
            QVERIFY(sea != nullptr);
            // The list lays its items out on the next turn of the event loop; a double click is
            // a press and release, then the double-click event.
            QTRY_VERIFY(!list->visualItemRect(sea).isEmpty());
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(sea).center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(sea).center());
            QCOMPARE(search->ResultEdit()->text(),
                     QString::fromStdString(NodeSearchResultText(*search->SelectedNode())));
            QVERIFY(search->OkButton()->isEnabled() && search->focusWidget() == search->OkButton());
            QTest::keyClick(search->FilterEdit(), Qt::Key_A);
            QVERIFY(!search->OkButton()->isEnabled());
            QTest::keyClick(search->FilterEdit(), Qt::Key_Backspace);
            ClickButton(modal, u"Search"_s);
            search->PickEntry(list->row(list->findItems(u"SEA"_s, Qt::MatchExactly).value(0)));
            ClickButton(modal, u"OK"_s);
        });
        Frame_->Action(CommandId::StartNodeSelection)->trigger();
        QVERIFY(driver.Wait());
        CNetworkNode* origin = document->Doc().BestRoute().Origin();
        QVERIFY(origin != nullptr);
        QCOMPARE(QString::fromStdString(origin->Name()), u"SEA"_s);

        Frame_->Action(CommandId::BestRouteSetup)->trigger();
        QVERIFY(document->BestRouteDialog() != nullptr);
        QVERIFY(document->BestRouteDialog()->OriginText()->text().startsWith(u"X: "_s));
        QCOMPARE(document->BestRouteDialog()->DestinationText()->text(), u"尚未设置"_s);
    }

    // A Cancel in any dialog of the cartogram command runs nothing and leaves the block as it
    // was, also after the convergence mode was chosen in the mode dialog.
    void CancelInAnyDialogRunsNothing_data()
    {
        QTest::addColumn<int>("cancelIn"); // 0 the shapefile and field, 1 the mode, 2 the parameters
        QTest::newRow("shapefile and field") << 0;
        QTest::newRow("mode") << 1;
        QTest::newRow("parameters") << 2;
    }
    void CancelInAnyDialogRunsNothing()
    {
        QFETCH(int, cancelIn);
        QTemporaryDir folder;
        const QString input = CopyUsStates(folder.path());
        CAppDocument* document = Frame_->NewDocument();
        const CartoParams before = document->Doc().Params;
        CModalDriver driver;
        driver.Then([&](QWidget* modal) {
            ClickButton(modal, u"Select Shapefile ..."_s);
            qobject_cast<CShapeFileFieldsDlg*>(modal)->FieldList()->setCurrentRow(1);
            ClickButton(modal, cancelIn > 0 ? u"Next"_s : u"Cancel"_s);
        });
        driver.Then([&](QWidget* modal) { ChooseFile(modal, input); });
        if (cancelIn >= 1)
            driver.Then([cancelIn](QWidget* modal) {
                auto* mode = qobject_cast<CCartogramModeDlg*>(modal);
                QVERIFY(mode->SteppedButton()->isChecked()); // a shapefile is proposed the rounds mode
                if (cancelIn == 1)
                    mode->ConvergeButton()->setChecked(true);
                ClickButton(modal, cancelIn == 1 ? u"Cancel"_s : u"OK"_s);
            });
        if (cancelIn == 2)
            driver.Then([](QWidget* modal) {
                TypeInto(qobject_cast<CCartoParamsSetDlg*>(modal)->Box(u"Steps"_s), u"2"_s);
                ClickButton(modal, u"Cancel"_s);
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
            ClickButton(modal, u"Select Shapefile ..."_s);
            auto* fields = qobject_cast<CShapeFileFieldsDlg*>(modal);
            fields->FieldList()->setCurrentItem(fields->FieldList()->findItems(u"POP"_s, Qt::MatchExactly).value(0));
            ClickButton(modal, u"Next"_s);
        });
        driver.Then([&](QWidget* modal) { ChooseFile(modal, guiInput); });
        driver.Then([](QWidget* modal) { ChooseMode(modal, false); });
        const QString parameterFile = cli.filePath(u"run.cartoparam"_s);
        driver.Then([](QWidget* modal) {
            auto* parameters = qobject_cast<CCartoParamsSetDlg*>(modal);
            TypeInto(parameters->Box(u"Steps"_s), u"3"_s);
            TypeInto(parameters->Box(u"Number of Computational Threads"_s), u"2"_s);
            ClickButton(modal, u"Save ..."_s);
            ClickButton(modal, u"OK"_s);
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
                      {u"cartogram"_s, cliInput, u"--field"_s, u"POP"_s, u"--params"_s, parameterFile});
        QVERIFY(command.waitForFinished(300000));
        QCOMPARE(command.exitCode(), 0);

        QVERIFY(QFile::remove(parameterFile));
        const QStringList written = QDir(gui.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(written, QDir(cli.path()).entryList(QDir::Files, QDir::Name));
        QVERIFY(written.contains(u"us_states_2.shp"_s));
        QVERIFY(written.contains(u"us_states_2_qp.emf"_s));
        for (const QString& name : written)
            QVERIFY2(Contents(gui.filePath(name)) == Contents(cli.filePath(name)), qPrintable(name));
        // The document shows the deformed map: the last round's shapefile.
        const std::vector<ShapelibShape> last = ReadWithShapelib(gui.filePath(u"us_states_2.shp"_s).toStdString());
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

    CTestApp App_;
    std::unique_ptr<CMainFrame> Frame_;
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
