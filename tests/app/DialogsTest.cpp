// The dialogs, built for real and driven through their widgets, with a recording user interface
// answering their file choosers and keeping their prompts.
#include "app/BestRouteSetupDlg.h"
#include "app/CartoParamsSetDlg.h"
#include "app/NodeSearchDlg.h"
#include "app/SetDispParamDlg.h"
#include "app/ShapeFileFieldsDlg.h"
#include "app/SpinEdit.h"
#include "document/LumarixDoc.h"
#include "network/NetworkChain.h"
#include "network/NetworkNode.h"
#include "network/NodeSearch.h"
#include "platform/NumberText.h"
#include "platform/RecordingUserInterface.h"
#include "run/ParamFile.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/DbfFixtures.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tessaro;
using namespace tessaro::test;

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
    const bool indicator = qobject_cast<QRadioButton*>(button) != nullptr || qobject_cast<QCheckBox*>(button) != nullptr;
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

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(Scratch_.isValid()); }

    // Typed values reach the block on OK, each in its own field and form.
    void ParametersOkStoresWhatWasTyped()
    {
        CScopedRecordingUserInterface ui;
        CartoParams params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const std::pair<const char*, const char*> typed[] = {
            {"Steps", "7"},
            {"Number of Computational Threads", "3"},
            {"Export Intermediate Results Every", "2"},
            {"Quadtree Depth", "8"},
            {"Enlarge Exggeration Rate", "4.5"},
            {"Shrink Exggeration Rate", "5"},
            {"Epsilon", "0.05"},
            {"Points Num on Circles", "20"},
            {"Max Radius Ratio Allowed", "12"},
            {"Min Radius Ratio Allowed", "0.02"},
            {"Radius Correction Factor", "2"},
            {"Rectangle Enlarge Factor", "1.5"},
            {"Min Vertices Distance Scale", "128"},
            {"Optimal Tree Node Size", "0.25"},
            {"Local Tree Search Depth", "4"},
            {"Zero Tolerance", "1e-5"},
        };
        for (const auto& [caption, text] : typed)
            TypeInto(dialog.Box(QString::fromUtf8(caption)), QString::fromUtf8(text));
        Click(dialog.Radio(QStringLiteral("With Directional Decay")));
        Click(dialog.Radio(QStringLiteral("Gradient")));
        Click(dialog.Radio(QStringLiteral("Quadtree Leaf")));
        Click(dialog.CheckBox(QStringLiteral("Stop when error rises")));
        Click(dialog.CheckBox(QStringLiteral("Square Full Tree")));
        Click(dialog.Button(QStringLiteral("OK")));

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(ui->Messages().empty());
        QCOMPARE(params.MaxSteps, 7);
        QCOMPARE(params.ThreadCount, 3);
        QCOMPARE(params.ExportEvery, 2);
        QCOMPARE(params.TreeDepth, 8);
        QCOMPARE(params.EnlargeRate, 4.5);
        QCOMPARE(params.ShrinkRate, 5.0);
        QCOMPARE(params.EpsilonFactor, 1.05);
        QCOMPARE(params.CirclePoints, 20);
        QCOMPARE(params.MaxRadiusRatio, 12.0);
        QCOMPARE(params.MinRadiusRatio, 0.02);
        QCOMPARE(params.RadiusCorrection, 2.0);
        QCOMPARE(params.RectangleFactor, 1.5);
        QCOMPARE(params.MinVertexDistanceScale, 128.0);
        QCOMPARE(params.OptimalNodeSize, 0.25);
        QCOMPARE(params.LocalSearchDepth, 4);
        QCOMPARE(params.ZeroTolerance, 1e-5);
        QCOMPARE(params.ForceType, ForceDecay::Directional);
        QCOMPARE(params.ElasticityType, ElasticityMeasure::Gradient);
        QCOMPARE(params.DensificationType, Densification::QuadtreeLeaf);
        QCOMPARE(params.StopWhenErrorRises, false);
        QCOMPARE(params.RelativeSizes, true);
        QCOMPARE(params.SquareFullTree, true);
        // The box was filled from the tree depth of the block (6), not from its minimum depth.
        QCOMPARE(params.MinTreeDepth, 6);
    }

    void ParametersShowTheBlock()
    {
        CartoParams params = NonDefaultParams();
        CCartoParamsSetDlg dialog(params);
        QCOMPARE(dialog.BoxText(QStringLiteral("Steps")), QStringLiteral("11"));
        QCOMPARE(dialog.BoxText(QStringLiteral("Epsilon")), QStringLiteral("0.2"));
        QCOMPARE(dialog.BoxText(QStringLiteral("Optimal Tree Node Size")), QStringLiteral("0.333333"));
        QCOMPARE(dialog.BoxText(QStringLiteral("Minimum Tree Depth")), QStringLiteral("8"));
        QVERIFY(dialog.Radio(QStringLiteral("With Directional Decay"))->isChecked());
        QVERIFY(dialog.Radio(QStringLiteral("Jacobian"))->isChecked());
        QVERIFY(dialog.Radio(QStringLiteral("Minimum Distance"))->isChecked());
        QVERIFY(!dialog.CheckBox(QStringLiteral("Only keep relative sizes"))->isChecked());
        QCOMPARE(dialog.Spin(QStringLiteral("Number of Computational Threads"))->SpinHigh(), 256);
        QCOMPARE(dialog.Spin(QStringLiteral("Quadtree Depth"))->SpinHigh(), 16);

        // Confirming unchanged keeps every field but the minimum depth, which follows the depth.
        CartoParams expected = params;
        expected.MinTreeDepth = params.TreeDepth;
        dialog.show();
        Click(dialog.Button(QStringLiteral("OK")));
        QCOMPARE(params, expected);
    }

    void ParametersRefuseABoxOutsideItsRange_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("depth") << QStringLiteral("Quadtree Depth") << QStringLiteral("13")
                               << QStringLiteral("Please enter an integer between 0 and 12.");
        QTest::newRow("circle points") << QStringLiteral("Points Num on Circles") << QStringLiteral("3")
                                       << QStringLiteral("Please enter an integer between 4 and 36.");
        QTest::newRow("epsilon") << QStringLiteral("Epsilon") << QStringLiteral("0.6")
                                 << QStringLiteral("Please enter a number between 0 and 0.5.");
        QTest::newRow("enlarge") << QStringLiteral("Enlarge Exggeration Rate") << QStringLiteral("99.5")
                                 << QStringLiteral("Please enter a number between 0 and 99.");
        QTest::newRow("zero tolerance") << QStringLiteral("Zero Tolerance") << QStringLiteral("-1")
                                        << QStringLiteral("Please enter a number between 0 and 1e+37.");
        QTest::newRow("local depth") << QStringLiteral("Local Tree Search Depth") << QStringLiteral("0")
                                     << QStringLiteral("Please enter an integer between 1 and 100.");
        QTest::newRow("export every") << QStringLiteral("Export Intermediate Results Every") << QStringLiteral("101")
                                      << QStringLiteral("Please enter an integer between 1 and 100.");
        QTest::newRow("steps not a number") << QStringLiteral("Steps") << QStringLiteral("four")
                                            << QStringLiteral("Please enter an integer.");
        QTest::newRow("decimal comma") << QStringLiteral("Max Radius Ratio Allowed") << QStringLiteral("1,5")
                                       << QStringLiteral("Please enter a number.");
        QTest::newRow("not finite") << QStringLiteral("Radius Correction Factor") << QStringLiteral("inf")
                                    << QStringLiteral("Please enter a number.");
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
        Click(dialog.Button(QStringLiteral("OK")));
        QCOMPARE(ui->Messages(), std::vector<std::string>{prompt.toStdString()});
        QVERIFY(dialog.isVisible());
        QCOMPARE(params, before);
        QVERIFY(dialog.Box(caption)->hasFocus());
    }

    // Boxes are checked in a fixed order and the first failure is the only prompt.
    void ParametersPromptOnceForTheFirstFailingBox()
    {
        CScopedRecordingUserInterface ui;
        CartoParams params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        TypeInto(dialog.Box(QStringLiteral("Export Intermediate Results Every")), QStringLiteral("0"));
        TypeInto(dialog.Box(QStringLiteral("Epsilon")), QStringLiteral("0.9"));
        Click(dialog.Button(QStringLiteral("OK")));
        QCOMPARE(ui->Messages(), std::vector<std::string>{"Please enter a number between 0 and 0.5."});
    }

    // Load writes into the block at once, and a later Cancel does not undo it.
    void ParametersLoadChangesTheBlockEvenIfCancelled()
    {
        CScopedRecordingUserInterface ui;
        const QString path = Scratch_.filePath(QStringLiteral("loaded.cartoparam"));
        CartoParams saved = NonDefaultParams();
        saved.ThreadCount = 12;
        QVERIFY(SaveParamFile(saved, path.toStdString()));
        ui->QueueFileAnswer(path.toStdString());

        CartoParams params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        Click(dialog.Button(QStringLiteral("Load ...")));
        QCOMPARE(params, saved);
        QCOMPARE(dialog.BoxText(QStringLiteral("Steps")), QStringLiteral("11"));
        QCOMPARE(dialog.BoxText(QStringLiteral("Minimum Tree Depth")), QStringLiteral("8"));
        QVERIFY(dialog.Radio(QStringLiteral("With Directional Decay"))->isChecked());
        // After a load the thread arrows go up to 16 only, and the depth arrows start at 1.
        QCOMPARE(dialog.Spin(QStringLiteral("Number of Computational Threads"))->SpinHigh(), 16);
        QCOMPARE(dialog.Spin(QStringLiteral("Quadtree Depth"))->SpinLow(), 1);
        Click(dialog.Button(QStringLiteral("Cancel")));
        QCOMPARE(params, saved);
        QVERIFY(ui->Messages().empty());
    }

    void ParametersLoadOfAFileThatCannotBeOpenedChangesNothing()
    {
        CScopedRecordingUserInterface ui;
        ui->QueueFileAnswer(Scratch_.filePath(QStringLiteral("missing.cartoparam")).toStdString());
        CartoParams params = NonDefaultParams();
        const CartoParams before = params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        TypeInto(dialog.Box(QStringLiteral("Steps")), QStringLiteral("40"));
        Click(dialog.Button(QStringLiteral("Load ...")));
        QCOMPARE(params, before);
        QCOMPARE(dialog.BoxText(QStringLiteral("Steps")), QStringLiteral("40"));
        QVERIFY(ui->Messages().empty());
    }

    // A damaged value line still loads what it has, and the user learns which line fell short.
    void ParametersLoadOfAShortLineWarns()
    {
        CScopedRecordingUserInterface ui;
        const QString path = Scratch_.filePath(QStringLiteral("short.cartoparam"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("-1.000000, 1.050000, 6.000000, 9.000000, 10.000000, 0.010000\n256.000000, -1.000000\n0, 1, 1 \n"
                   "9, 1, 4\n");
        file.close();
        ui->QueueFileAnswer(path.toStdString());
        CartoParams params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        Click(dialog.Button(QStringLiteral("Load ...")));
        QCOMPARE(params.MaxSteps, 9);
        QCOMPARE(params.TreeDepth, CartoParams().TreeDepth);
        QCOMPARE(ui->Messages().size(), size_t(1));
        QVERIFY(QString::fromStdString(ui->Messages().front()).contains(QStringLiteral("line 4;")));
    }

    // Save stores the typed values, then writes them; the block keeps them after a Cancel.
    void ParametersSaveWritesWhatTheDialogShows()
    {
        CScopedRecordingUserInterface ui;
        const QString path = Scratch_.filePath(QStringLiteral("saved.cartoparam"));
        ui->QueueFileAnswer(path.toStdString());
        CartoParams params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        TypeInto(dialog.Box(QStringLiteral("Steps")), QStringLiteral("9"));
        TypeInto(dialog.Box(QStringLiteral("Epsilon")), QStringLiteral("0.1"));
        Click(dialog.Button(QStringLiteral("Save ...")));
        Click(dialog.Button(QStringLiteral("Cancel")));
        QCOMPARE(params.MaxSteps, 9);

        CartoParams written;
        written.MaxSteps = 0;
        QVERIFY(LoadParamFile(written, path.toStdString()));
        QCOMPARE(written, params);
        QCOMPARE(written.EpsilonFactor, 1.1);
    }

    void ParametersSaveOfAnInvalidBoxWritesNothing()
    {
        CScopedRecordingUserInterface ui;
        ui->QueueFileAnswer(Scratch_.filePath(QStringLiteral("never.cartoparam")).toStdString());
        CartoParams params;
        const CartoParams before = params;
        CCartoParamsSetDlg dialog(params);
        dialog.show();
        TypeInto(dialog.Box(QStringLiteral("Quadtree Depth")), QStringLiteral("20"));
        Click(dialog.Button(QStringLiteral("Save ...")));
        QCOMPARE(params, before);
        QVERIFY(!QFile::exists(Scratch_.filePath(QStringLiteral("never.cartoparam"))));
        // No file chooser was shown: only the prompt is recorded.
        QCOMPARE(ui->Entries().size(), size_t(1));
    }

    // The spin arrows keep to their range; the text itself stays free.
    void SpinArrowsKeepToTheirRange()
    {
        CSpinEdit spin;
        spin.SetSpinRange(4, 36);
        spin.show();
        spin.SetText(QStringLiteral("35"));
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(&spin, Qt::Key_Up);
        QCOMPARE(spin.Text(), QStringLiteral("36"));
        spin.SetText(QStringLiteral("x"));
        QTest::keyClick(&spin, Qt::Key_Up);
        QCOMPARE(spin.Text(), QStringLiteral("5"));
        TypeInto(&spin, QStringLiteral("2"));
        QCOMPARE(spin.Text(), QStringLiteral("2"));
    }

    void FieldsListTheNumericFieldsOfTheExample()
    {
        CScopedRecordingUserInterface ui;
        const std::string shapefile = (ExampleFolder() + QStringLiteral("/us_states/us_states.shp")).toStdString();
        ui->QueueFileAnswer(shapefile);
        CShapeFileFieldsDlg dialog;
        dialog.show();
        QVERIFY(!dialog.NextButton()->isEnabled());
        Click(dialog.SelectButton());
        QCOMPARE(Entries(*dialog.FieldList()), (QStringList{QStringLiteral("HURRICANES"), QStringLiteral("POP")}));
        QVERIFY(!dialog.NextButton()->isEnabled());
        dialog.FieldList()->setCurrentRow(1);
        QVERIFY(dialog.NextButton()->isEnabled());
        Click(dialog.NextButton());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.ShapefilePath(), shapefile);
        QCOMPARE(dialog.SizeField(), std::string("POP"));
    }

    // Integer and double fields of any width and decimals qualify; text, dates and logicals
    // do not. The list is sorted without regard to case.
    void FieldsListOnlyIntegerAndDoubleFields()
    {
        CScopedRecordingUserInterface ui;
        const QString base = Scratch_.filePath(QStringLiteral("mixed"));
        WriteTable((base + QStringLiteral(".dbf")).toStdString(),
                   {{"NAME", 'C', 20, 0}, {"pop", 'N', 10, 0}, {"AREA", 'N', 12, 3}, {"FLAG", 'L', 1, 0},
                    {"Density", 'F', 12, 4}},
                   {{TestCell{std::string("a")}, TestCell{1.0}, TestCell{2.0}, TestCell{}, TestCell{3.0}}});
        QFile::copy(ExampleFolder() + QStringLiteral("/us_states/us_states.shp"), base + QStringLiteral(".shp"));
        ui->QueueFileAnswer((base + QStringLiteral(".shp")).toStdString());
        CShapeFileFieldsDlg dialog;
        dialog.show();
        Click(dialog.SelectButton());
        QCOMPARE(Entries(*dialog.FieldList()),
                 (QStringList{QStringLiteral("AREA"), QStringLiteral("Density"), QStringLiteral("pop")}));
    }

    // A shapefile without a table leaves the list as it was; Next with nothing selected (the
    // list refilled from a table without numbers) gives "POP"; Double click is Next.
    void FieldsKeepTheListForATableThatCannotBeOpened()
    {
        CScopedRecordingUserInterface ui;
        const QString noTable = Scratch_.filePath(QStringLiteral("alone.shp"));
        QFile::copy(ExampleFolder() + QStringLiteral("/us_states/us_states.shp"), noTable);
        const QString textOnly = Scratch_.filePath(QStringLiteral("names"));
        WriteTable((textOnly + QStringLiteral(".dbf")).toStdString(), {{"NAME", 'C', 20, 0}},
                   {{TestCell{std::string("a")}}});
        ui->QueueFileAnswer((ExampleFolder() + QStringLiteral("/us_states/us_states.shp")).toStdString());
        ui->QueueFileAnswer(noTable.toStdString());
        ui->QueueFileAnswer((textOnly + QStringLiteral(".shp")).toStdString());

        CShapeFileFieldsDlg dialog;
        dialog.show();
        Click(dialog.SelectButton());
        dialog.FieldList()->setCurrentRow(0);
        Click(dialog.SelectButton());
        QCOMPARE(dialog.FieldList()->count(), 2);
        QCOMPARE(dialog.ShapefilePath(), noTable.toStdString());
        Click(dialog.SelectButton());
        QCOMPARE(dialog.FieldList()->count(), 0);
        QVERIFY(dialog.NextButton()->isEnabled());
        Click(dialog.NextButton());
        QCOMPARE(dialog.SizeField(), std::string("POP"));
    }

    void FieldsCancelEmptiesBothResults()
    {
        CScopedRecordingUserInterface ui;
        ui->QueueFileAnswer((ExampleFolder() + QStringLiteral("/us_states/us_states.shp")).toStdString());
        CShapeFileFieldsDlg dialog;
        dialog.show();
        Click(dialog.SelectButton());
        dialog.FieldList()->setCurrentRow(0);
        Click(dialog.CancelButton());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(dialog.ShapefilePath().empty());
        QVERIFY(dialog.SizeField().empty());
    }

    void DisplaySetupCopiesTheSevenBoxesBack()
    {
        CDisplayFlags flags;
        flags.ShowNodeMarkers = true;
        CSetDispParamDlg dialog;
        dialog.SetDisplayFlags(flags);
        QVERIFY(dialog.Box(CSetDispParamDlg::PolygonsBox)->isChecked());
        QVERIFY(!dialog.Box(CSetDispParamDlg::QuadtreeNodesBox)->isChecked());
        dialog.show();
        for (const int id : {CSetDispParamDlg::PolygonsBox, CSetDispParamDlg::PolygonVerticesBox,
                             CSetDispParamDlg::TreeDiagonalBox, CSetDispParamDlg::BoundaryBox})
            Click(dialog.Box(id));
        const CDisplayFlags edited = dialog.DisplayFlags();
        QVERIFY(edited.ShowNodeMarkers); // not the dialog's to change
        QVERIFY(!edited.ShowPolygons);
        QVERIFY(edited.ShowPolygonVertices);
        QVERIFY(edited.ShowTreeDiagonal);
        QVERIFY(!edited.ShowBoundary);
        QVERIFY(edited.ShowQuadtree);
        QCOMPARE(dialog.Box(CSetDispParamDlg::QuadtreeBox)->text(), QStringLiteral("Quadtree "));
    }

    // The picture writer's five flags: the two view-only boxes start clear and play no part.
    void DisplaySetupForPicturesCarriesFiveFlags()
    {
        CPictureFlags flags;
        flags.ShowQuadtreeNodes = true;
        flags.ShowBoundary = false;
        CSetDispParamDlg dialog;
        dialog.SetPictureFlags(flags);
        QVERIFY(!dialog.Box(CSetDispParamDlg::PolygonVerticesBox)->isChecked());
        QVERIFY(!dialog.Box(CSetDispParamDlg::TreeDiagonalBox)->isChecked());
        QCOMPARE(dialog.PictureFlags(), flags);
        dialog.show();
        Click(dialog.Box(CSetDispParamDlg::TreeDiagonalBox));
        Click(dialog.Box(CSetDispParamDlg::QuadtreeBox));
        CPictureFlags expected = flags;
        expected.ShowQuadtree = false;
        QCOMPARE(dialog.PictureFlags(), expected);
    }

    void NodeSearchPicksANodeByName()
    {
        CScopedRecordingUserInterface ui;
        CLumarixDoc document;
        QVERIFY(document.OnOpenDocument((ExampleFolder() + QStringLiteral("/us_flights/us_flights.flt")).toStdString()));
        CNodeSearchDlg dialog(document.Network());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.SearchButton()->hasFocus());
        QVERIFY(!dialog.OkButton()->isEnabled());
        QTest::keyClicks(dialog.FilterEdit(), QStringLiteral("s"));
        Click(dialog.SearchButton());
        const QStringList entries = Entries(*dialog.ResultList());
        QCOMPARE(entries.size(), 12);
        for (const QString& entry : entries)
            QVERIFY2(entry.startsWith(QLatin1Char('S')), qPrintable(entry));

        QTest::keyClicks(dialog.FilterEdit(), QStringLiteral("ea"));
        Click(dialog.SearchButton());
        const QStringList narrowed = Entries(*dialog.ResultList());
        for (const QString& entry : narrowed)
            QVERIFY2(entry.startsWith(QLatin1Char('S')) && entry.contains(QStringLiteral("SEA")), qPrintable(entry));
        const int row = int(narrowed.indexOf(QStringLiteral("SEA")));
        QVERIFY(row >= 0);
        // The list lays its items out on the next turn of the event loop.
        QTRY_VERIFY(!dialog.ResultList()->visualItemRect(dialog.ResultList()->item(row)).isEmpty());
        const QRect first = dialog.ResultList()->visualItemRect(dialog.ResultList()->item(row));
        // A double click is a press and release, then the double-click event.
        QTest::mouseClick(dialog.ResultList()->viewport(), Qt::LeftButton, {}, first.center());
        QTest::mouseDClick(dialog.ResultList()->viewport(), Qt::LeftButton, {}, first.center());
        QVERIFY(dialog.SelectedNode() != nullptr);
        QCOMPARE(QString::fromStdString(dialog.SelectedNode()->Name()), QStringLiteral("SEA"));
        QCOMPARE(dialog.ResultEdit()->text(), QString::fromStdString(NodeSearchResultText(*dialog.SelectedNode())));
        QVERIFY(dialog.OkButton()->isEnabled());
        QVERIFY(dialog.OkButton()->hasFocus());
        // Any change of the filter asks for a new pick.
        QTest::keyClick(dialog.FilterEdit(), Qt::Key_Backspace);
        QVERIFY(!dialog.OkButton()->isEnabled());
    }

    void BestRouteSetupSearchesWithTheChosenCost()
    {
        CScopedRecordingUserInterface ui;
        CLumarixDoc document;
        QVERIFY(document.OnOpenDocument(
            (ExampleFolder() + QStringLiteral("/london_tube/london_tube.shp")).toStdString()));
        CBestRouteSetupDlg dialog(document);
        dialog.show();
        ui->ClearEntries();
        QCOMPARE(dialog.OriginText()->text(), QStringLiteral("尚未设置"));
        QCOMPARE(dialog.CostLabel()->text(), QStringLiteral("Undefined"));
        QCOMPARE(dialog.ResultLabel()->text(), QStringLiteral("Unknown"));

        // Without an origin and a destination the search says so and shows no distance.
        Click(dialog.Button(QStringLiteral("Search")));
        // Initializing re-applies the missing ends, each refused as an invalid pointer.
        QCOMPARE(ui->Messages(), (std::vector<std::string>{"A Invalid Pointer!", "A Invalid Pointer!",
                                                          "The start point and destination are still unknown!"}));
        QCOMPARE(dialog.ResultLabel()->text(), QStringLiteral("Unknown"));

        // Two stations three track segments apart.
        CNetworkNode* origin = document.Network().Nodes().front();
        CNetworkNode* destination = origin;
        const CNetworkNode* previous = nullptr;
        for (int hop = 0; hop < 3; ++hop) {
            for (uint32_t c = 0; c < destination->ChainCount(); ++c) {
                CNetworkNode* next = destination->GetChain(int32_t(c))->OtherEnd(destination);
                if (next != previous && next != destination) {
                    previous = destination;
                    destination = next;
                    break;
                }
            }
        }
        QVERIFY(destination != origin);
        document.SetOriginNode(origin);
        document.SetDestinationNode(destination);
        dialog.ShowRouteEnds();
        QCOMPARE(dialog.OriginText()->text(), QStringLiteral("X: %1\nY: %2")
                                                  .arg(QString::fromStdString(FormatFixed(origin->X(), 4)),
                                                       QString::fromStdString(FormatFixed(origin->Y(), 4))));

        Click(dialog.Button(QStringLiteral("Dis")));
        QCOMPARE(dialog.CostLabel()->text(), QStringLiteral("Euclidean Distance"));
        ui->ClearEntries();
        Click(dialog.Button(QStringLiteral("Search")));
        const CRoute route = document.BestRoute().Route();
        QVERIFY(!route.Nodes.empty());
        QVERIFY(route.Cost > 0.0);
        QCOMPARE(dialog.ResultLabel()->text(),
                 QStringLiteral("Shortest Distance:") + QString::fromStdString(FormatFixed(route.Cost, 4)));
        // The search reports its statistics.
        QVERIFY(!ui->Messages().empty());
    }

    void BestRouteSetupLoadsOnlyATableThatPairsWithTheChains()
    {
        CScopedRecordingUserInterface ui;
        CLumarixDoc document;
        QVERIFY(document.OnOpenDocument(
            (ExampleFolder() + QStringLiteral("/london_tube/london_tube.shp")).toStdString()));
        CBestRouteSetupDlg dialog(document);
        dialog.show();
        ui->ClearEntries();
        ui->QueueFileAnswer((ExampleFolder() + QStringLiteral("/us_states/us_states.dbf")).toStdString());
        Click(dialog.Button(QStringLiteral("Load")));
        QCOMPARE(ui->Messages(), std::vector<std::string>{"文件不匹配，请重新选择正确的文件！"});
        QCOMPARE(dialog.FieldList()->count(), 0);

        ui->QueueFileAnswer((ExampleFolder() + QStringLiteral("/london_tube/london_tube.dbf")).toStdString());
        Click(dialog.Button(QStringLiteral("Load")));
        QCOMPARE(Entries(*dialog.FieldList()), QStringList{QStringLiteral("id")});
        QCOMPARE(dialog.FieldList()->currentRow(), 0);
        Click(dialog.Button(QStringLiteral("Set")));
        QCOMPARE(dialog.CostLabel()->text(), QStringLiteral("id"));
    }

private:
    QTemporaryDir Scratch_;
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
