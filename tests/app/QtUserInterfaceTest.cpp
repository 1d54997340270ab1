// The Qt user interface of the platform layer: desktop filters in Qt's form, message boxes,
// questions and file choosers asked from a worker thread and answered on the GUI thread, and
// the recent-file list in the settings.
#include "app/DesktopFilter.h"
#include "app/LumarixApp.h"
#include "app/QtUserInterface.h"
#include "app/RecentFileList.h"
#include "platform/UserInterface.h"
#include "tests/app/ModalDriver.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>

using namespace tessaro;
using namespace tessaro::test;

class QtUserInterfaceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(Scratch_.isValid());
        UsePrivateSettings(Scratch_.filePath(QStringLiteral("settings")));
        App_ = std::make_unique<CLumarixApp>(*qApp);
    }
    void cleanupTestCase() { App_.reset(); }

    void FiltersTakeQtsForm_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QStringList>("qt");
        QTest::newRow("open") << QStringLiteral("Biblioraphy File (*.txt)|*.txt|Citation Files (*.csv)|*.csv|"
                                                "Shapefile(*.shp;*.shx;*.dbf)|*.shp; *.shx;*.dbf|All Files (*.*)|*.*|")
                              << QStringList{QStringLiteral("Biblioraphy File (*.txt)"),
                                             QStringLiteral("Citation Files (*.csv)"),
                                             QStringLiteral("Shapefile (*.shp *.shx *.dbf)"),
                                             QStringLiteral("All Files (*)")};
        QTest::newRow("pattern differs from description")
            << QStringLiteral("Shape Attribute File(*.shp;*.shx;*.dbf)|*.dbf|All Files (*.*)|*.*|")
            << QStringList{QStringLiteral("Shape Attribute File (*.dbf)"), QStringLiteral("All Files (*)")};
        QTest::newRow("no trailing bar") << QStringLiteral("Pajek Network File(*.net)|*.net")
                                         << QStringList{QStringLiteral("Pajek Network File (*.net)")};
        QTest::newRow("description without pattern") << QStringLiteral("Graphviz Input gv File(*.gv)|*.gv|Dangling|")
                                                      << QStringList{QStringLiteral("Graphviz Input gv File (*.gv)")};
        QTest::newRow("empty") << QString() << QStringList{};
    }
    void FiltersTakeQtsForm()
    {
        QFETCH(QString, desktop);
        QFETCH(QStringList, qt);
        QCOMPARE(QtNameFilters(desktop.toStdString()), qt);
    }

    // A worker's message waits until the user has closed the box; Chinese text arrives whole.
    void MessageFromAWorkerBlocksUntilAnswered()
    {
        const std::string text = "The network is not connected together!\n网络不连通，无法到达目的地！";
        CModalDriver driver;
        QString shown;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        std::atomic<bool> returned{false};
        std::atomic<bool> onWorker{false};
        driver.Then([&](QWidget* modal) {
            shown = MessageText(modal);
            icon = qobject_cast<QMessageBox*>(modal)->icon();
            // The worker is still inside ShowMessage while the box is open.
            QVERIFY(!returned.load());
            ClickButton(modal, QStringLiteral("OK"));
        });
        std::thread worker([&] {
            onWorker = QThread::currentThread() != qApp->thread();
            ShowMessage(text, MessageKind::Error);
            returned = true;
        });
        QVERIFY(driver.Wait());
        QTRY_VERIFY(returned.load());
        worker.join();
        QVERIFY(onWorker.load());
        QCOMPARE(shown, QString::fromStdString(text));
        QCOMPARE(icon, QMessageBox::Critical);
    }

    void QuestionsFromAWorkerGetTheUsersAnswer_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("answer");
        QTest::newRow("yes") << QStringLiteral("Yes") << true;
        QTest::newRow("no") << QStringLiteral("No") << false;
    }
    void QuestionsFromAWorkerGetTheUsersAnswer()
    {
        QFETCH(QString, button);
        QFETCH(bool, answer);
        CModalDriver driver;
        driver.Then([&](QWidget* modal) {
            QCOMPARE(MessageText(modal), QStringLiteral("Are you sure that is the LINE TYPE?"));
            ClickButton(modal, button);
        });
        std::atomic<int> result{-1};
        std::thread worker([&] { result = AskYesNo("Are you sure that is the LINE TYPE?") ? 1 : 0; });
        QVERIFY(driver.Wait());
        QTRY_VERIFY(result.load() != -1);
        worker.join();
        QCOMPARE(result.load() == 1, answer);
    }

    // The chooser shows the converted filters, proposes the name and adds the default ending.
    void SaveChooserFromAWorkerProposesTheNameAndAddsTheEnding()
    {
        CModalDriver driver;
        QStringList filters;
        QString proposed;
        const QString folder = Scratch_.path();
        driver.Then([&](QWidget* modal) {
            auto* chooser = qobject_cast<QFileDialog*>(modal);
            QVERIFY(chooser != nullptr);
            filters = chooser->nameFilters();
            proposed = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            QCOMPARE(chooser->directory().absolutePath(), folder);
            ChooseFile(modal, folder + QStringLiteral("/network"));
        });
        std::optional<std::string> chosen;
        std::thread worker([&] {
            FileChooserOptions options;
            options.DefaultExtension = "net";
            options.InitialName = (folder + QStringLiteral("/us_states")).toStdString();
            options.Filter = "Pajek Network File(*.net)|*.net|All Files (*.*)|*.*|";
            options.OverwritePrompt = true;
            chosen = ChooseFileToSave(options);
        });
        QVERIFY(driver.Wait());
        worker.join();
        QCOMPARE(filters, (QStringList{QStringLiteral("Pajek Network File (*.net)"), QStringLiteral("All Files (*)")}));
        QCOMPARE(proposed, QStringLiteral("us_states"));
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), folder + QStringLiteral("/network.net"));
    }

    void CancelledChooserGivesNothing()
    {
        CModalDriver driver;
        driver.Then([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        FileChooserOptions options;
        options.Filter = "Polygon Shapefile(*.shp)|*.shp|All Files (*.*)|*.*|";
        QVERIFY(!ChooseFileToOpen(options).has_value());
        QVERIFY(driver.Done());
    }

    // A refresh asked from a worker reaches the GUI thread without the worker waiting for it.
    void RefreshFromAWorkerArrivesOnTheGuiThread()
    {
        QObject receiver;
        quintptr received = 0;
        QThread* receivedOn = nullptr;
        connect(&App_->UserInterface(), &CQtUserInterface::ViewsRefreshRequested, &receiver,
                [&](quintptr document) {
                    received = document;
                    receivedOn = QThread::currentThread();
                });
        int marker = 0;
        std::thread worker([&marker] { RefreshViews(&marker); });
        worker.join();
        QTRY_COMPARE(received, reinterpret_cast<quintptr>(&marker));
        QCOMPARE(receivedOn, qApp->thread());
    }

    void RecentFilesKeepEightNewestFirstWithoutDuplicates()
    {
        CRecentFileList list;
        for (int i = 1; i <= 10; ++i)
            list.Add(Scratch_.filePath(QStringLiteral("map%1.shp").arg(i)));
        QCOMPARE(list.Files().size(), CRecentFileList::Capacity);
        QCOMPARE(list.Files().first(), Scratch_.filePath(QStringLiteral("map10.shp")));
        QCOMPARE(list.Files().last(), Scratch_.filePath(QStringLiteral("map3.shp")));
        // The same file by another path moves to the head instead of appearing twice.
        list.Add(Scratch_.path() + QStringLiteral("/./map5.shp"));
        QCOMPARE(list.Files().size(), CRecentFileList::Capacity);
        QCOMPARE(list.Files().count(Scratch_.filePath(QStringLiteral("map5.shp"))), 1);
        QVERIFY(CRecentFileList::SameFile(list.Files().first(), Scratch_.filePath(QStringLiteral("map5.shp"))));

        QSettings settings;
        list.Save(settings);
        settings.sync();
        QCOMPARE(settings.value(QStringLiteral("Recent File List/File1")).toString(), list.Files().first());
        CRecentFileList reloaded;
        reloaded.Load(settings);
        QCOMPARE(reloaded.Files(), list.Files());
        // A shorter list removes the entries it no longer has.
        reloaded.Remove(list.Files().first());
        reloaded.Save(settings);
        QVERIFY(!settings.contains(QStringLiteral("Recent File List/File8")));
    }

private:
    QTemporaryDir Scratch_;
    std::unique_ptr<CLumarixApp> App_;
};

QTEST_MAIN(QtUserInterfaceTest)
#include "QtUserInterfaceTest.moc"
