// The dialogs, built for real and driven through their widgets, with a recording user interface
// answering their file choosers and keeping their prompts; and the Qt user interface of the
// platform layer: desktop filters in Qt's form, message boxes, questions and file choosers asked
// from a worker thread and answered on the GUI thread, and the recent-file list.
#include "app/BestRouteSetupDlg.h"
#include "app/CartoParamsSetDlg.h"
#include "app/CartogramModeDlg.h"
#include "app/DesktopFilter.h"
#include "app/QtUserInterface.h"
#include "app/RecentFileList.h"
#include "app/SetDispParamDlg.h"
#include "app/ShapeFileFieldsDlg.h"
#include "app/SpinEdit.h"
#include "document/LumarixDoc.h"
#include "network/NetworkChain.h"
#include "network/NetworkNode.h"
#include "platform/NumberText.h"
#include "platform/RecordingUserInterface.h"
#include "run/ParamFile.h"
#include "tests/app/ModalDriver.h"
#include "tests/app/TestApp.h"
#include "tests/support/DbfFixtures.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

using namespace tessaro;
using namespace tessaro::test;
using namespace Qt::StringLiterals;

namespace {

QStringList Entries(const QListWidget& list)
{
    QStringList entries;
    for (int i = 0; i < list.count(); ++i)
        entries.append(list.item(i)->text());
    return entries;
}

// A click on the button's indicator end: radio and check boxes take clicks on their indicator
// and text only, not on the rest of the width a layout gives them.
void Click(QAbstractButton* button)
{
    const bool indicator =
        qobject_cast<QRadioButton*>(button) != nullptr || qobject_cast<QCheckBox*>(button) != nullptr;
    QTest::mouseClick(button, Qt::LeftButton, {}, indicator ? QPoint(6, button->height() / 2) : QPoint());
}

CartoParams NonDefaultParams()
{
    CartoParams params;
    params.MaxSteps = 11;
    params.TreeDepth = 8;
    params.MinTreeDepth = 3;
    params.ThreadCount = 5;
    params.EpsilonFactor = 1.2;
    params.ForceType = ForceDecay::Directional;
    params.DensificationType = Densification::MinimumDistance;
    params.RelativeSizes = false;
    return params;
}

// A block a file was saved from: the non-default values with 12 threads.
CartoParams LoadedParams()
{
    CartoParams params = NonDefaultParams();
    params.ThreadCount = 12;
    return params;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(App_.Start()); }
    void cleanupTestCase() { App_.Stop(); }

    // Typed values reach the block on OK, each in its own field and form. The minimum depth box
    // was filled from the block's tree depth (6), not from its minimum depth.
    void ParametersOkStoresWhatWasTyped()
    {
        CScopedRecordingUserInterface ui;
        CartoParams params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.Spin(u"Number of Computational Threads"_s)->SpinHigh(), 256);
        const std::tuple<const char*, const char*, double CartoParams::*> reals[] = {
            {"Enlarge Exggeration Rate", "4.5", &CartoParams::EnlargeRate},
            {"Shrink Exggeration Rate", "5", &CartoParams::ShrinkRate},
            {"Epsilon", "0.05", &CartoParams::EpsilonFactor}, // stored as 1 + epsilon
            {"Max Radius Ratio Allowed", "12", &CartoParams::MaxRadiusRatio},
            {"Min Radius Ratio Allowed", "0.02", &CartoParams::MinRadiusRatio},
            {"Radius Correction Factor", "2", &CartoParams::RadiusCorrection},
            {"Rectangle Enlarge Factor", "1.5", &CartoParams::RectangleFactor},
            {"Min Vertices Distance Scale", "128", &CartoParams::MinVertexDistanceScale},
            {"Optimal Tree Node Size", "0.25", &CartoParams::OptimalNodeSize},
            {"Zero Tolerance", "1e-5", &CartoParams::ZeroTolerance},
        };
        const std::tuple<const char*, const char*, int CartoParams::*> integers[] = {
            {"Steps", "7", &CartoParams::MaxSteps},
            {"Number of Computational Threads", "3", &CartoParams::ThreadCount},
            {"Export Intermediate Results Every", "2", &CartoParams::ExportEvery},
            {"Quadtree Depth", "8", &CartoParams::TreeDepth},
            {"Points Num on Circles", "20", &CartoParams::CirclePoints},
            {"Local Tree Search Depth", "4", &CartoParams::LocalSearchDepth},
        };
        for (const auto& [caption, text, field] : reals)
            TypeInto(dialog.Box(QString::fromUtf8(caption)), QString::fromUtf8(text));
        for (const auto& [caption, text, field] : integers)
            TypeInto(dialog.Box(QString::fromUtf8(caption)), QString::fromUtf8(text));
        for (const char* choice : {"With Directional Decay", "Gradient", "Quadtree Leaf"})
            Click(dialog.Radio(QString::fromUtf8(choice)));
        Click(dialog.CheckBox(u"Stop when error rises"_s));
        Click(dialog.CheckBox(u"Square Full Tree"_s));
        Click(dialog.Button(u"OK"_s));

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(ui->Messages().empty());
        for (const auto& [caption, text, field] : reals)
            QCOMPARE(params.*field,
                     QString::fromUtf8(text).toDouble() + (field == &CartoParams::EpsilonFactor ? 1.0 : 0.0));
        for (const auto& [caption, text, field] : integers)
            QCOMPARE(params.*field, QString::fromUtf8(text).toInt());
        QCOMPARE(params.ForceType, ForceDecay::Directional);
        QCOMPARE(params.ElasticityType, ElasticityMeasure::Gradient);
        QCOMPARE(params.DensificationType, Densification::QuadtreeLeaf);
        QCOMPARE(params.StopWhenErrorRises, false);
        QCOMPARE(params.SquareFullTree, true);
        QCOMPARE(params.MinTreeDepth, 6);
    }

    void ParametersRefuseABoxOutsideItsRange_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("prompt");
        const char* rows[][4] = {
            {"depth", "Quadtree Depth", "13", "Please enter an integer between 0 and 12."},
            {"circle points", "Points Num on Circles", "3", "Please enter an integer between 4 and 36."},
            {"epsilon", "Epsilon", "0.6", "Please enter a number between 0 and 0.5."},
            {"enlarge", "Enlarge Exggeration Rate", "99.5", "Please enter a number between 0 and 99."},
            {"zero tolerance", "Zero Tolerance", "-1", "Please enter a number between 0 and 1e+37."},
            {"local depth", "Local Tree Search Depth", "0", "Please enter an integer between 1 and 100."},
            {"export every", "Export Intermediate Results Every", "101", "Please enter an integer between 1 and 100."},
            {"steps not a number", "Steps", "four", "Please enter an integer."},
            {"decimal comma", "Max Radius Ratio Allowed", "1,5", "Please enter a number."},
            {"not finite", "Radius Correction Factor", "inf", "Please enter a number."}};
        for (const auto& [tag, caption, text, prompt] : rows)
            QTest::newRow(tag) << QString::fromUtf8(caption) << QString::fromUtf8(text) << QString::fromUtf8(prompt);
    }
    void ParametersRefuseABoxOutsideItsRange()
    {
        QFETCH(QString, caption);
        QFETCH(QString, text);
        QFETCH(QString, prompt);
        CScopedRecordingUserInterface ui;
        CartoParams params = NonDefaultParams();
        const CartoParams before = params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        TypeInto(dialog.Box(caption), text);
        Click(dialog.Button(u"OK"_s));
        QCOMPARE(ui->Messages(), std::vector<std::string>{prompt.toStdString()});
        QVERIFY(dialog.isVisible());
        QCOMPARE(params, before);
        QVERIFY(dialog.Box(caption)->hasFocus());
    }

    // Load writes into the block at once and shows it, and a later Cancel does not undo it. A
    // file that cannot be opened changes nothing; a short value line loads what it has and is
    // named in a warning.
    void ParametersLoad_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no such file
        QTest::addColumn<int>("steps");       // the block's after the load, and the box's
        QTest::addColumn<QString>("warning");
        QTest::newRow("whole") << QByteArray::fromStdString(LoadedParams().FormatParamFile()) << 11 << QString();
        QTest::newRow("missing") << QByteArray() << CartoParams().MaxSteps << QString();
        QTest::newRow("short line") << QByteArray("-1.000000, 1.050000, 6.000000, 9.000000, 10.000000, 0.010000\n"
                                                  "256.000000, -1.000000\n0, 1, 1 \n9, 1, 4\n")
                                    << 9 << u"line 4;"_s;
    }
    void ParametersLoad()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, steps);
        QFETCH(QString, warning);
        CScopedRecordingUserInterface ui;
        const QString path = App_.ScratchFile(u"%1.cartoparam"_s.arg(QTest::currentDataTag()));
        if (!file.isEmpty()) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(file);
        }
        ui->QueueFileAnswer(path.toStdString());
        CartoParams params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        TypeInto(dialog.Box(u"Export Intermediate Results Every"_s), u"7"_s);
        Click(dialog.Button(u"Load ..."_s));
        Click(dialog.Button(u"Cancel"_s));
        QCOMPARE(params.MaxSteps, steps);
        QCOMPARE(ui->Messages().size(), size_t(warning.isEmpty() ? 0 : 1));
        if (!warning.isEmpty())
            QVERIFY(QString::fromStdString(ui->Messages().front()).contains(warning));
        if (file.isEmpty()) {
            QCOMPARE(params, CartoParams());
            QCOMPARE(dialog.BoxText(u"Export Intermediate Results Every"_s), u"7"_s);
            return;
        }
        QCOMPARE(dialog.BoxText(u"Steps"_s), QString::number(steps));
        if (warning.isEmpty()) {
            QCOMPARE(params, LoadedParams());
            QCOMPARE(dialog.BoxText(u"Epsilon"_s), u"0.2"_s); // the factor less 1
            QCOMPARE(dialog.BoxText(u"Optimal Tree Node Size"_s), u"0.333333"_s);
            QVERIFY(!dialog.CheckBox(u"Only keep relative sizes"_s)->isChecked());
            // After a load the thread arrows go up to 16 only, and the depth arrows start at 1.
            QCOMPARE(dialog.Spin(u"Number of Computational Threads"_s)->SpinHigh(), 16);
            QCOMPARE(dialog.Spin(u"Quadtree Depth"_s)->SpinLow(), 1);
            QCOMPARE(dialog.BoxText(u"Minimum Tree Depth"_s), u"8"_s);
            QVERIFY(dialog.Radio(u"With Directional Decay"_s)->isChecked());
        }
    }

    // Save checks the boxes first: an invalid one writes nothing and asks for no file. Then it
    // stores the typed values and writes them; the block keeps them after a Cancel.
    void ParametersSaveWritesWhatTheDialogShows()
    {
        CScopedRecordingUserInterface ui;
        const QString path = App_.ScratchFile(u"saved.cartoparam"_s);
        ui->QueueFileAnswer(path.toStdString());
        CartoParams params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        TypeInto(dialog.Box(u"Quadtree Depth"_s), u"20"_s);
        Click(dialog.Button(u"Save ..."_s));
        QCOMPARE(params, CartoParams());
        QVERIFY(!QFile::exists(path));
        QCOMPARE(ui->Entries().size(), size_t(1)); // the prompt, no chooser

        TypeInto(dialog.Box(u"Quadtree Depth"_s), u"7"_s);
        TypeInto(dialog.Box(u"Steps"_s), u"9"_s);
        TypeInto(dialog.Box(u"Epsilon"_s), u"0.1"_s);
        Click(dialog.Button(u"Save ..."_s));
        Click(dialog.Button(u"Cancel"_s));
        QCOMPARE(params.MaxSteps, 9);
        CartoParams written;
        written.MaxSteps = 0;
        QVERIFY(LoadParamFile(written, path.toStdString()));
        QCOMPARE(written, params);
        QCOMPARE(written.EpsilonFactor, 1.1);
    }

    // A convergence-mode file loaded into the dialog comes back whole through OK and Save: its
    // named settings, its fixed-range force and exact-image densification (which no radio button
    // stands for) and its adaptive quadtree's minimum depth. A click on a radio button still
    // chooses that button's value, and only for its own group.
    void ParametersKeepWhatNoBoxShows()
    {
        CScopedRecordingUserInterface ui;
        CartoParams converging;
        converging.SetConvergence();
        converging.TargetError = 0.002;
        const QString loaded = App_.ScratchFile(u"converging.cartoparam"_s);
        QVERIFY(SaveParamFile(converging, loaded.toStdString()));
        const QString saved = App_.ScratchFile(u"resaved.cartoparam"_s);
        ui->QueueFileAnswer(loaded.toStdString());
        ui->QueueFileAnswer(saved.toStdString());

        CartoParams params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        QVERIFY(dialog.KeptValues()->isHidden());
        Click(dialog.Button(u"Load ..."_s));
        QCOMPARE(params, converging);
        QVERIFY(dialog.KeptValues()->isVisible());
        for (const QString& named :
             {u"force_type = 2"_s, u"densification = 3"_s, u"converge = 1"_s, u"target_error = 0.002"_s})
            QVERIFY2(dialog.KeptValues()->text().contains(named), qPrintable(dialog.KeptValues()->text()));
        QCOMPARE(dialog.BoxText(u"Minimum Tree Depth"_s), QString::number(converging.MinTreeDepth));
        Click(dialog.Button(u"Save ..."_s));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().toStdString(), converging.FormatParamFile());
        Click(dialog.Button(u"OK"_s));
        QCOMPARE(params, converging);

        CCartoParamsSetDlg again(params);
        again.show();
        Click(again.Radio(u"With Directional Decay"_s));
        Click(again.Button(u"OK"_s));
        QCOMPARE(params.ForceType, ForceDecay::Directional);
        QCOMPARE(params.DensificationType, Densification::ExactImage);
    }

    // The mode dialog takes a target in percent above 0 and below 100; the convergence mode goes
    // over the block, and choosing the rounds mode again brings back the block it had.
    void ModeDialogSwitchesTheBlockAndBack()
    {
        CScopedRecordingUserInterface ui;
        CartoParams params;
        params.MaxSteps = 7;
        params.EnlargeRate = 3.0;
        const CartoParams stepped = params;
        CCartogramModeDlg dialog(CCartogramModeDlg::ChoiceOf(params), App_.ScratchFile(u"input"_s));
        dialog.show();
        QVERIFY(dialog.SteppedButton()->isChecked());
        QVERIFY(!dialog.TargetBox()->isEnabled());
        Click(dialog.ConvergeButton());
        TypeInto(dialog.TargetBox(), u"0"_s);
        TypeInto(dialog.RoundsBox(), u"20"_s);
        ClickButton(&dialog, u"OK"_s);
        QVERIFY(dialog.isVisible());
        QCOMPARE(ui->Messages().size(), size_t(1));
        TypeInto(dialog.TargetBox(), u"0.5"_s);
        // An output folder that cannot be made is refused; one that can is made.
        TypeInto(dialog.FolderBox(), u"/proc/no/such"_s);
        ClickButton(&dialog, u"OK"_s);
        QVERIFY(dialog.isVisible());
        QCOMPARE(ui->Messages().size(), size_t(2));
        const QString output = App_.ScratchFile(u"runs/states"_s);
        TypeInto(dialog.FolderBox(), output);
        ClickButton(&dialog, u"OK"_s);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Chosen().OutputFolder, output.toStdString());
        QVERIFY(QFileInfo(output).isDir());
        CCartogramModeDlg::Remember(dialog.Chosen());
        const std::optional<CCartogramModeDlg::Choice> remembered = CCartogramModeDlg::RememberedChoice();
        QVERIFY(remembered && remembered->Converge && remembered->MaxRounds == 20);
        QCOMPARE(remembered->TargetError, 0.005);

        std::optional<CartoParams> before;
        CCartogramModeDlg::Apply(dialog.Chosen(), params, before);
        QVERIFY(params.Converge);
        QCOMPARE(params.TargetError, 0.005);
        QCOMPARE(params.MaxSteps, 20);
        QCOMPARE(params.ForceType, ForceDecay::FixedRange);
        QCOMPARE(CCartogramModeDlg::ChoiceOf(params).MaxRounds, 20);
        CCartogramModeDlg::Apply({}, params, before);
        QCOMPARE(params, stepped);

        // A block that came in the convergence mode (from a file) goes back to the defaults.
        params.SetConvergence();
        params.ThreadCount = 3;
        CCartogramModeDlg::Apply({}, params, before);
        CartoParams defaults;
        defaults.ThreadCount = 3;
        QCOMPARE(params, defaults);
    }

    // The spin arrows keep to their range; the text itself stays free.
    void SpinArrowsKeepToTheirRange()
    {
        CSpinEdit spin;
        spin.SetSpinRange(4, 36);
        spin.show();
        spin.SetText(u"35"_s);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(&spin, Qt::Key_Up);
        QCOMPARE(spin.Text(), u"36"_s);
        spin.SetText(u"x"_s);
        QTest::keyClick(&spin, Qt::Key_Up);
        QCOMPARE(spin.Text(), u"5"_s);
        TypeInto(&spin, u"2"_s);
        QCOMPARE(spin.Text(), u"2"_s);
    }

    // Integer and double fields of any width and decimals qualify, sorted without regard to
    // case; text, dates and logicals do not. A shapefile without a table leaves the list as it
    // was; Next with nothing selected (the list refilled from a table without numbers) gives
    // "POP".
    void FieldsListOnlyNumbersAndKeepTheListWithoutATable()
    {
        CScopedRecordingUserInterface ui;
        const auto shapefile = [this, &ui](const char* name) {
            const QString path = App_.ScratchFile(QString::fromLatin1(name) + u".shp"_s);
            QFile::copy(ExampleFolder() + u"/us_states/us_states.shp"_s, path);
            ui->QueueFileAnswer(path.toStdString());
            return path.chopped(4).toStdString();
        };
        WriteTable(shapefile("mixed") + ".dbf",
                   {{"NAME", 'C', 20, 0},
                    {"pop", 'N', 10, 0},
                    {"AREA", 'N', 12, 3},
                    {"FLAG", 'L', 1, 0},
                    {"Density", 'F', 12, 4}},
                   {{TestCell{std::string("a")}, TestCell{1.0}, TestCell{2.0}, TestCell{}, TestCell{3.0}}});
        const std::string alone = shapefile("alone");
        WriteTable(shapefile("names") + ".dbf", {{"NAME", 'C', 20, 0}}, {{TestCell{std::string("a")}}});

        CShapeFileFieldsDlg dialog;
        dialog.show();
        QVERIFY(!dialog.NextButton()->isEnabled());
        Click(dialog.SelectButton());
        QCOMPARE(Entries(*dialog.FieldList()), (QStringList{"AREA", "Density", "pop"}));
        QVERIFY(!dialog.NextButton()->isEnabled());
        dialog.FieldList()->setCurrentRow(0);
        QVERIFY(dialog.NextButton()->isEnabled());
        Click(dialog.SelectButton());
        QCOMPARE(dialog.FieldList()->count(), 3);
        QCOMPARE(dialog.ShapefilePath(), alone + ".shp");
        Click(dialog.SelectButton());
        QCOMPARE(dialog.FieldList()->count(), 0);
        QVERIFY(dialog.NextButton()->isEnabled());
        Click(dialog.NextButton());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.SizeField(), std::string("POP"));
    }

    // The view's seven flags go through the boxes and back, the node markers untouched.
    void DisplaySetupCopiesTheBoxesBack()
    {
        CDisplayFlags flags;
        flags.ShowNodeMarkers = true;
        CSetDispParamDlg dialog;
        dialog.SetDisplayFlags(flags);
        dialog.show();
        for (const int id : {CSetDispParamDlg::PolygonsBox, CSetDispParamDlg::PolygonVerticesBox,
                             CSetDispParamDlg::TreeDiagonalBox, CSetDispParamDlg::BoundaryBox})
            Click(dialog.Box(id));
        CDisplayFlags expected = flags;
        expected.ShowPolygons = false;
        expected.ShowPolygonVertices = true;
        expected.ShowTreeDiagonal = true;
        expected.ShowBoundary = false;
        QCOMPARE(dialog.DisplayFlags(), expected);
        QCOMPARE(dialog.Box(CSetDispParamDlg::QuadtreeBox)->text(), u"Quadtree "_s);
    }

    // A table loads only when it pairs with the chains; without ends the search says so and
    // shows no distance; with them it gives the route's cost by the chosen standard.
    void BestRouteSetupSearchesWithTheChosenCost()
    {
        CScopedRecordingUserInterface ui;
        CLumarixDoc document;
        QVERIFY(document.OnOpenDocument((ExampleFolder() + u"/london_tube/london_tube.shp"_s).toStdString()));
        CBestRouteSetupDlg dialog(document);
        dialog.show();
        ui->ClearEntries();
        QCOMPARE(dialog.OriginText()->text(), u"尚未设置"_s);
        QCOMPARE(dialog.CostLabel()->text(), u"Undefined"_s);
        ui->QueueFileAnswer((ExampleFolder() + u"/us_states/us_states.dbf"_s).toStdString());
        Click(dialog.Button(u"Load"_s));
        QCOMPARE(dialog.FieldList()->count(), 0);
        ui->QueueFileAnswer((ExampleFolder() + u"/london_tube/london_tube.dbf"_s).toStdString());
        Click(dialog.Button(u"Load"_s));
        QCOMPARE(Entries(*dialog.FieldList()), QStringList{u"id"_s});
        QCOMPARE(dialog.FieldList()->currentRow(), 0);
        Click(dialog.Button(u"Set"_s));
        QCOMPARE(dialog.CostLabel()->text(), u"id"_s);
        // Initializing re-applies the missing ends, each refused as an invalid pointer.
        Click(dialog.Button(u"Search"_s));
        QCOMPARE(ui->Messages(), (std::vector<std::string>{"文件不匹配，请重新选择正确的文件！", "A Invalid Pointer!",
                                                           "A Invalid Pointer!",
                                                           "The start point and destination are still unknown!"}));
        QCOMPARE(dialog.ResultLabel()->text(), u"Unknown"_s);

        CNetworkNode* origin = document.Network().Nodes().front();
        document.SetOriginNode(origin);
        document.SetDestinationNode(origin->GetChain(0)->OtherEnd(origin));
        dialog.ShowRouteEnds();
        QCOMPARE(dialog.OriginText()->text(),
                 u"X: %1\nY: %2"_s.arg(QString::fromStdString(FormatFixed(origin->X(), 4)),
                                       QString::fromStdString(FormatFixed(origin->Y(), 4))));
        Click(dialog.Button(u"Dis"_s));
        QCOMPARE(dialog.CostLabel()->text(), u"Euclidean Distance"_s);
        Click(dialog.Button(u"Search"_s));
        const CRoute route = document.BestRoute().Route();
        QVERIFY(route.Cost > 0.0);
        QCOMPARE(dialog.ResultLabel()->text(),
                 u"Shortest Distance:"_s + QString::fromStdString(FormatFixed(route.Cost, 4)));
    }

    void FiltersTakeQtsForm_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QStringList>("qt");
        QTest::newRow("open") << QStringLiteral("Biblioraphy File (*.txt)|*.txt|Citation Files (*.csv)|*.csv|"
                                                "Shapefile(*.shp;*.shx;*.dbf)|*.shp; *.shx;*.dbf|All Files (*.*)|*.*|")
                              << QStringList{u"Biblioraphy File (*.txt)"_s, u"Citation Files (*.csv)"_s,
                                             u"Shapefile (*.shp *.shx *.dbf)"_s, u"All Files (*)"_s};
        QTest::newRow("pattern differs from description")
            << u"Shape Attribute File(*.shp;*.shx;*.dbf)|*.dbf|All Files (*.*)|*.*|"_s
            << QStringList{u"Shape Attribute File (*.dbf)"_s, u"All Files (*)"_s};
        QTest::newRow("empty") << QString() << QStringList{};
    }
    void FiltersTakeQtsForm()
    {
        QFETCH(QString, desktop);
        QFETCH(QStringList, qt);
        QCOMPARE(QtNameFilters(desktop.toStdString()), qt);
    }

    // A worker's message or question waits on the GUI thread until the user has answered; the
    // answer comes back, and Chinese text arrives whole.
    void WorkersWaitForTheUsersAnswer_data()
    {
        QTest::addColumn<QString>("button"); // "OK" for a message
        QTest::addColumn<QString>("text");
        QTest::newRow("message") << "OK" << u"The network is not connected together!\n网络不连通，无法到达目的地！"_s;
        QTest::newRow("yes") << "Yes" << u"Are you sure that is the LINE TYPE?"_s;
        QTest::newRow("no") << "No" << u"Are you sure that is the LINE TYPE?"_s;
    }
    void WorkersWaitForTheUsersAnswer()
    {
        QFETCH(QString, button);
        QFETCH(QString, text);
        CModalDriver driver;
        QString shown;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        std::atomic<int> answer{-1};
        std::atomic<bool> onWorker{false};
        driver.Then([&](QWidget* modal) {
            shown = MessageText(modal);
            icon = qobject_cast<QMessageBox*>(modal)->icon();
            QCOMPARE(answer.load(), -1); // the worker is still waiting
            ClickButton(modal, button);
        });
        std::thread worker([&] {
            onWorker = QThread::currentThread() != qApp->thread();
            if (button == u"OK"_s) {
                ShowMessage(text.toStdString(), MessageKind::Error);
                answer = 2;
            } else {
                answer = AskYesNo(text.toStdString()) ? 1 : 0;
            }
        });
        QVERIFY(driver.Wait());
        QTRY_VERIFY(answer.load() != -1);
        worker.join();
        QVERIFY(onWorker.load());
        QCOMPARE(shown, text);
        QCOMPARE(answer.load(), button == u"OK"_s ? 2 : button == u"Yes"_s ? 1 : 0);
        QCOMPARE(icon, button == u"OK"_s ? QMessageBox::Critical : QMessageBox::Question);
    }

    // The chooser shows the converted filters, proposes the name and adds the default ending.
    void SaveChooserFromAWorkerProposesTheNameAndAddsTheEnding()
    {
        CModalDriver driver;
        QStringList filters;
        QString proposed;
        const QString folder = App_.ScratchPath();
        driver.Then([&](QWidget* modal) {
            auto* chooser = qobject_cast<QFileDialog*>(modal);
            QVERIFY(chooser != nullptr);
            filters = chooser->nameFilters();
            proposed = chooser->findChild<QLineEdit*>(u"fileNameEdit"_s)->text();
            QCOMPARE(chooser->directory().absolutePath(), folder);
            ChooseFile(modal, folder + u"/network"_s);
        });
        std::optional<std::string> chosen;
        std::thread worker([&] {
            FileChooserOptions options;
            options.DefaultExtension = "net";
            options.InitialName = (folder + u"/us_states"_s).toStdString();
            options.Filter = "Pajek Network File(*.net)|*.net|All Files (*.*)|*.*|";
            options.OverwritePrompt = true;
            chosen = ChooseFileToSave(options);
        });
        QVERIFY(driver.Wait());
        worker.join();
        QCOMPARE(filters, (QStringList{u"Pajek Network File (*.net)"_s, u"All Files (*)"_s}));
        QCOMPARE(proposed, u"us_states"_s);
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), folder + u"/network.net"_s);
    }

    void RecentFilesKeepEightNewestFirstWithoutDuplicates()
    {
        CRecentFileList list;
        for (int i = 1; i <= 10; ++i)
            list.Add(App_.ScratchFile(u"map%1.shp"_s.arg(i)));
        QCOMPARE(list.Files().size(), CRecentFileList::Capacity);
        QCOMPARE(list.Files().first(), App_.ScratchFile(u"map10.shp"_s));
        QCOMPARE(list.Files().last(), App_.ScratchFile(u"map3.shp"_s));
        // The same file by another path moves to the head instead of appearing twice.
        list.Add(App_.ScratchPath() + u"/./map5.shp"_s);
        QCOMPARE(list.Files().size(), CRecentFileList::Capacity);
        QCOMPARE(list.Files().count(App_.ScratchFile(u"map5.shp"_s)), 1);
        QVERIFY(CRecentFileList::SameFile(list.Files().first(), App_.ScratchFile(u"map5.shp"_s)));

        // A shorter list saved removes the entries it no longer has.
        QSettings settings;
        list.Save(settings);
        list.Remove(list.Files().first());
        list.Save(settings);
        QVERIFY(settings.contains(u"Recent File List/File7"_s) && !settings.contains(u"Recent File List/File8"_s));
    }

private:
    CTestApp App_;
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
