// The document's commands and the steps the desktop shell takes from it: opening by ending, the
// parameter file, nodes found by name or place, the route weights and texts, the picture export.
#include "document/LumarixDoc.h"

#include "document/BestRouteSetup.h"
#include "document/PictureExport.h"
#include "graphio/FlightsFileTranslator.h"
#include "platform/RecordingUserInterface.h"
#include "run/ParamFile.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <cmath>
#include <limits>

namespace tessaro::test {
namespace {

using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pointwise;
using Kind = CRecordingUserInterface::EntryKind;
using Load = CLumarixDoc::ParamsLoad;
using Rule = CLumarixDoc::ParamFileRule;

const double Root2 = std::sqrt(2.0);

class LumarixDocTest : public ::testing::Test {
protected:
    // Flights keep their nodes in arrival order (all start at X = 0): ATLANTA, ORD, ATL, Ord.
    std::string WriteFlights()
    {
        const std::string path = Folder.File("f.flt");
        WriteText(path, "ORIGIN,DEST,ORIGIN_CITY,DEST_CITY,STATES,FLIGHTS\n"
                        "ATLANTA,ORD,a,b,GA-IL,340\n"
                        "ATL,ORD,a,b,GA-IL,680\n"
                        "Ord,ATL,c,d,IL-GA,340\n");
        return path;
    }

    // Three roads from (0,0) to (2,0): straight, and over (1,1); the table gives each a TIME.
    std::string WriteRoads(const std::vector<std::vector<TestCell>>& times)
    {
        const std::string shp = WriteShapefile(Folder.File("roads"), SHPT_ARC,
                                               {{{0}, {0, 2}, {0, 0}}, {{0}, {0, 1}, {0, 1}}, {{0}, {1, 2}, {1, 0}}});
        WriteTable(Folder.File("roads.dbf"), {{"TIME", 'N', 10, 2}}, times);
        return shp;
    }

    std::vector<double> Weights() const
    {
        std::vector<double> weights;
        for (const auto& chain : Document.Network().Chains())
            weights.push_back(chain->Attribute().GetWeightedLength());
        return weights;
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CLumarixDoc Document;
};

TEST_F(LumarixDocTest, OpensByTheEndingInAnyCaseAndRefusesOtherEndingsAndUnreadableFiles)
{
    const std::string shp = WriteRoads({{9.0}, {1.0}, {1.5}});
    const std::string upper = Folder.File("ROADS.SHP");
    std::filesystem::copy_file(shp, upper);
    std::filesystem::copy_file(Folder.File("roads.shx"), Folder.File("ROADS.SHX"));
    for (const std::string& path : {shp, upper}) {
        CLumarixDoc document;
        document.Network().SetKeyMode(KeyByName);
        ASSERT_TRUE(document.OnOpenDocument(path)) << path;
        EXPECT_EQ(document.Network().KeyMode(), KeyByCoordinates);
        EXPECT_EQ(document.Network().ChainCount(), 3u);
        EXPECT_EQ(document.Network().NodeCount(), 3u);
        EXPECT_EQ(document.DocumentPath, path);
    }
    // The topology pass reports its time; nothing else is said.
    EXPECT_THAT(Ui->Messages(), ::testing::Each(::testing::StartsWith("The time for adding nodes is: ")));

    Ui->ClearEntries();
    EXPECT_FALSE(Document.OnOpenDocument(Folder.File("roads.dbf")));
    EXPECT_FALSE(Document.OnOpenDocument(Folder.File("missing.shp")));
    EXPECT_THAT(Ui->Messages(), ElementsAre("Unknown File Format", HasSubstr("missing.shp")));
    EXPECT_EQ(Document.Network().ChainCount(), 0u);
}

TEST_F(LumarixDocTest, SavesItsBlockForAnotherButNeverOverAnInputOrIntoAMissingFolder)
{
    Document.Params.MaxSteps = 7;
    Document.Params.EnlargeRate = 4.5;
    Document.Params.ThreadCount = 3;
    ASSERT_TRUE(Document.SaveParams(Folder.File("p.cartoparam")));
    CLumarixDoc other;
    EXPECT_EQ(other.LoadParams(Folder.File("p.cartoparam"), Rule::Whole), Load::Read);
    EXPECT_EQ(other.Params, Document.Params);
    EXPECT_TRUE(Ui->Messages().empty());

    const std::string shp = WriteShapefile(Folder.File("map"), SHPT_POLYGON, {Square(0, 0, 1)});
    ASSERT_TRUE(Document.OnOpenDocument(shp));
    const std::vector<unsigned char> before = ReadBytes(shp);
    const std::string nowhere = Folder.File("missing/p.cartoparam");
    Ui->ClearEntries();
    EXPECT_FALSE(Document.SaveParams(shp));
    EXPECT_FALSE(Document.SaveParams(nowhere));
    EXPECT_THAT(Ui->Messages(), ElementsAre(HasSubstr("would overwrite the input file"),
                                            "Cannot write the parameter file " + nowhere + "."));
    EXPECT_EQ(ReadBytes(shp), before);
}

// A file giving only the first two values of line 1 is taken over the block or refused whole by
// the rule; a file that cannot be read changes nothing.
TEST_F(LumarixDocTest, LoadsAParameterFileByTheRuleOrLeavesTheBlockAlone)
{
    const std::string shortFile = Folder.File("short.cartoparam"), missing = Folder.File("none.cartoparam");
    const std::string folder = Folder.Path().string();
    WriteText(shortFile, "2, 1.5\n");
    // Whole values, and notes that carry the last named line past 1 MiB: reading the head alone
    // would take "flow_grid = 40" from it.
    const std::string misnamed = Folder.File("misnamed.cartoparam");
    const std::string defaults = CartoParams().FormatParamFile();
    WriteText(misnamed, defaults + "flw_grid = 512\n");
    const std::string misnamedLine = std::to_string(std::count(defaults.begin(), defaults.end(), '\n') + 1);
    const std::string huge = Folder.File("huge.cartoparam");
    WriteText(huge, CartoParams().FormatParamFile() + "# " + std::string(ParamFileLimit, 'x') + "\nflow_grid = 4096\n");
    const std::string lines = "The parameter file " + shortFile + " does not give every value on lines 1, 2, 3, 4";
    const struct {
        std::string Path;
        Rule By;
        Load Result;
        Kind Said;
        std::string Text;
    } cases[] = {
        {shortFile, Rule::OverCurrent, Load::Incomplete, Kind::Warning, lines + "; those values keep the defaults."},
        {shortFile, Rule::Whole, Load::Incomplete, Kind::Error, lines + "; a run needs every value."},
        {misnamed, Rule::Whole, Load::Incomplete, Kind::Error,
         "The parameter file " + misnamed + ": line " + misnamedLine +
             " (flw_grid = 512) names no parameter (a named line takes converge, target_error, kernel_range, "
             "keep_best, step_retries, hanging_continuity, fold_guard, bounded_target, simplify_tolerance, "
             "shrink_floor, keep_valid, largest_error, density_flow, flow_grid); a run needs every value."},
        {missing, Rule::OverCurrent, Load::Unreadable, Kind::Error,
         "Cannot read the parameter file " + missing + ": it cannot be opened."},
        {folder, Rule::Whole, Load::Unreadable, Kind::Error, "Cannot read the parameter file " + folder + ": it is a folder."},
        {huge, Rule::Whole, Load::Unreadable, Kind::Error,
         "Cannot read the parameter file " + huge +
             ": it holds more than 1 MiB (1,048,576 bytes), the most a parameter file may hold."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        Ui->ClearEntries();
        CLumarixDoc document;
        document.Params.MaxSteps = 77;
        CartoParams expected = document.Params;
        EXPECT_EQ(document.LoadParams(c.Path, c.By), c.Result);
        ASSERT_EQ(Ui->Entries().size(), 1u);
        EXPECT_EQ(Ui->Entries()[0].Kind, c.Said);
        EXPECT_EQ(Ui->Entries()[0].Text, c.Text);
        if (c.Said == Kind::Warning) { // taken: the values not given are the block's own, not the defaults
            expected.RadiusCorrection = 2.0;
            expected.EpsilonFactor = 1.5;
        }
        EXPECT_EQ(document.Params, expected);
    }
}

TEST_F(LumarixDocTest, FindsNodesByTheirWholeNameInAnyCaseAndOffersSimilarOnes)
{
    ASSERT_TRUE(Document.OnOpenDocument(WriteFlights()));
    const struct {
        const char* Name;
        const char* Found;   // null when none is
        const char* Message; // what is said when none is
    } cases[] = {
        {"atl", "ATL", ""}, // ATLANTA comes first in the list and contains ATL, but is not named so
        {"Ord", "ORD", ""}, // two nodes differ only in case: the first in list order
        {"ATLA", nullptr, "No node is named \"ATLA\"; similar names: ATLANTA."},
        {"XYZ", nullptr, "No node is named \"XYZ\"."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Ui->ClearEntries();
        const CNetworkNode* node = Document.FindNodeNamed(c.Name);
        EXPECT_EQ(node != nullptr ? node->Name() : "", c.Found != nullptr ? c.Found : "");
        EXPECT_EQ(Ui->Messages(), c.Found != nullptr ? std::vector<std::string>{} : std::vector<std::string>{c.Message});
    }
}

TEST_F(LumarixDocTest, FindsTheNearestNodeOrSaysWhyThereIsNone)
{
    EXPECT_EQ(Document.FindNodeNearest(0, 0), nullptr);
    EXPECT_THAT(Ui->Messages().back(), HasSubstr("has no node"));

    ASSERT_TRUE(Document.OnOpenDocument(WriteRoads({{9.0}, {1.0}, {1.5}})));
    const CNetworkNode* near = Document.FindNodeNearest(2.2, 0.1);
    ASSERT_NE(near, nullptr);
    EXPECT_EQ(std::make_pair(near->X(), near->Y()), std::make_pair(2.0, 0.0));
    // (1, 0) is as far from (0,0) as from (2,0) and (1,1): the first node in list order wins.
    EXPECT_EQ(Document.FindNodeNearest(1, 0), Document.Network().Nodes().front());
    // A huge but finite point still has a nearest node.
    EXPECT_NE(Document.FindNodeNearest(1e308, -1e308), nullptr);

    Ui->ClearEntries();
    EXPECT_EQ(Document.FindNodeNearest(std::numeric_limits<double>::quiet_NaN(), 0), nullptr);
    EXPECT_THAT(Ui->Messages(), ElementsAre(HasSubstr("is not a place")));
}

TEST_F(LumarixDocTest, ChoosesTheChainWeightsByTheUsersWordFromATableThatMatchesTheChains)
{
    ASSERT_TRUE(Document.OnOpenDocument(WriteRoads({{9.0}, {1.0}, {1.5}})));
    // A shapefile's chains come without weights, so even no word gives them their lengths.
    const std::pair<const char*, std::vector<double>> cases[] = {
        {"time", {9.0, 1.0, 1.5}}, {"", {2.0, Root2, Root2}}, {"TIME", {9.0, 1.0, 1.5}}, {"length", {2.0, Root2, Root2}}};
    for (const auto& [word, expected] : cases) {
        SCOPED_TRACE(word);
        ASSERT_TRUE(Document.ChooseRouteWeights(word));
        EXPECT_THAT(Weights(), Pointwise(DoubleNear(1e-12), expected));
    }
    EXPECT_EQ(Ui->Messages().size(), 1u) << "only the topology time was said";
    EXPECT_FALSE(Document.ChooseRouteWeights("SPEED"));
    EXPECT_THAT(Ui->Messages().back(), HasSubstr("has no field SPEED"));

    // A table of two records for three chains is refused and the weights stay.
    CLumarixDoc twoRecords;
    ASSERT_TRUE(twoRecords.OnOpenDocument(WriteRoads({{9.0}, {1.0}})));
    ASSERT_TRUE(twoRecords.ChooseRouteWeights(""));
    EXPECT_FALSE(twoRecords.ChooseRouteWeights("TIME"));
    EXPECT_EQ(Ui->Messages().back(), "文件不匹配，请重新选择正确的文件！");
    for (const CLumarixDoc* document : {&Document, &twoRecords}) {
        std::vector<double> weights;
        for (const auto& chain : document->Network().Chains())
            weights.push_back(chain->Attribute().GetWeightedLength());
        EXPECT_THAT(weights, Pointwise(DoubleNear(1e-12), std::vector<double>{2.0, Root2, Root2}));
    }
}

TEST_F(LumarixDocTest, KeepsTheFlightWeightsUnlessLengthsAreAskedFor)
{
    ASSERT_TRUE(Document.OnOpenDocument(WriteFlights()));
    const std::vector<double> flights{CFlightsFileTranslator::FlightWeight(340), CFlightsFileTranslator::FlightWeight(680),
                                      CFlightsFileTranslator::FlightWeight(340)};
    ASSERT_TRUE(Document.ChooseRouteWeights(""));
    EXPECT_EQ(Weights(), flights);
    // No table lies beside a flight table, so a field cannot be had.
    EXPECT_FALSE(Document.ChooseRouteWeights("FLIGHTS"));
    EXPECT_EQ(Weights(), flights);
    // The cities lie on a circle of radius 100: neighbours are 100 * sqrt(2) apart.
    ASSERT_TRUE(Document.ChooseRouteWeights("length"));
    EXPECT_THAT(Weights(), ::testing::Each(DoubleNear(100.0 * Root2, 1e-9)));
}

TEST_F(LumarixDocTest, RouteTextsShowTheEndsAndTheDestinationsDistanceAfterTheSearch)
{
    ASSERT_TRUE(Document.OnOpenDocument(WriteRoads({{9.0}, {1.0}, {1.5}})));
    EXPECT_EQ(RouteEndText(nullptr), "尚未设置");
    EXPECT_EQ(RouteEndText(Document.FindNodeNearest(1, 1)), "X: 1.0000\nY: 1.0000");
    EXPECT_FALSE(ShortestDistanceText(Document.BestRoute()).has_value());
    ASSERT_TRUE(Document.SetOriginNode(Document.FindNodeNearest(0, 0)));
    Document.SetDestinationNode(Document.FindNodeNearest(2, 0));
    ASSERT_TRUE(Document.ChooseRouteWeights("time")); // the straight road takes 9, the one over the top 2.5
    Document.InitializeBestRoute();
    Document.RunBestRoute(0.0);
    EXPECT_EQ(ShortestDistanceText(Document.BestRoute()), std::optional<std::string>("Shortest Distance:2.5000"));
    EXPECT_EQ(NodeCountText(Document.Network()), "The sum of nodes is: 3");
}

// The shell offers the fields of a table only when it pairs one record with each chain.
TEST_F(LumarixDocTest, WeightFieldsComeOnlyFromATableThatPairsWithTheChains)
{
    ASSERT_TRUE(Document.OnOpenDocument(WriteRoads({{9.0}, {1.0}})));
    WriteTable(Folder.File("three.dbf"), {{"NAME", 'C', 8, 0}, {"COST", 'N', 8, 2}},
               {{std::string("a"), 1.0}, {std::string("b"), 2.0}, {std::string("c"), 3.0}});
    Ui->ClearEntries();
    EXPECT_EQ(ChainWeightFields(Document, Folder.File("three.dbf")),
              (std::optional<std::vector<std::string>>{{"NAME", "COST"}}));
    EXPECT_TRUE(Ui->Messages().empty());
    EXPECT_FALSE(ChainWeightFields(Document, Folder.File("roads.dbf")).has_value());
    EXPECT_FALSE(ChainWeightFields(Document, Folder.File("missing.dbf")).has_value());
    EXPECT_THAT(Ui->Messages(), ElementsAre("文件不匹配，请重新选择正确的文件！", HasSubstr("missing.dbf")));
}

// The export proposes the document's path less its ending, asks for the settings and writes an
// EMF; a cancelled dialog writes nothing, and an input's member is refused before any dialog.
TEST_F(LumarixDocTest, PictureExportAsksForTheSettingsAndNeverOverwritesAnInput)
{
    ASSERT_TRUE(Document.OnOpenDocument(WriteRoads({{9.0}, {1.0}, {1.5}})));
    EXPECT_EQ(ProposedExportName(Document.DocumentPath), Folder.File("roads"));
    EXPECT_EQ(ProposedExportName(".shp"), "");
    CPictureFlags flags;
    flags.ShowPolygons = false;
    Ui->QueuePictureFlagsAnswer(flags);
    Ui->QueuePictureFlagsAnswer(std::nullopt);
    Ui->ClearEntries();
    EXPECT_EQ(ExportNetworkPicture(Document, Folder.File("roads.emf")), 1);
    const EmfCheckResult check = CheckEmfStructure(Folder.File("roads.emf"));
    EXPECT_TRUE(check.Ok) << check.Reason;
    EXPECT_EQ(ExportNetworkPicture(Document, Folder.File("cancelled.emf")), -1);
    EXPECT_FALSE(std::filesystem::exists(Folder.File("cancelled.emf")));
    EXPECT_EQ(Ui->PictureFlagsRequests(), 2);
    EXPECT_TRUE(Ui->Messages().empty());

    for (const char* member : {"roads.shp", "roads.shx", "roads.dbf"}) {
        const std::vector<unsigned char> before = ReadBytes(Folder.File(member));
        Ui->ClearEntries();
        EXPECT_EQ(ExportNetworkPicture(Document, Folder.File(member)), -1) << member;
        EXPECT_EQ(Ui->Messages().size(), 1u) << member;
        EXPECT_EQ(ReadBytes(Folder.File(member)), before) << member;
    }
    EXPECT_EQ(Ui->PictureFlagsRequests(), 2);
}

// The reader's question about a line file is asked by the document before the run, once; the
// run itself, which may go on another thread, asks nothing and takes the answer.
TEST_F(LumarixDocTest, TheCartogramAsksAboutAnotherShapeTypeBeforeTheRun)
{
    const std::string shp = WriteShapefile(Folder.File("roads"), SHPT_ARC, {{{0}, {0, 1}, {0, 0}}, {{0}, {1, 1}, {0, 1}}});
    for (const bool yes : {false, true}) {
        Ui->ClearEntries();
        Ui->QueueAnswer(yes);
        CCartogramJob job;
        job.ShapefilePath = shp;
        job.SizeField = "POP";
        const CartogramRunSummary& summary = Document.RunCartogram(job);
        EXPECT_EQ(Ui->Questions(), std::vector<std::string>{"Are you sure that is the LINE TYPE?"});
        // No reads nothing; Yes reads the lines, which hold no polygon for a cartogram.
        EXPECT_EQ(summary.Result, yes ? CartogramRunSummary::Outcome::Refused : CartogramRunSummary::Outcome::Unreadable);
        EXPECT_THAT(summary.Refusal, HasSubstr(yes ? "holds no polygons" : "could not be read whole"));
        EXPECT_EQ(Document.Network().PolygonCount(), 0u);
    }
}

} // namespace
} // namespace tessaro::test
