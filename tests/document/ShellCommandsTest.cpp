// The command steps the desktop shell takes from the document: the best-route texts and table
// check, and the picture export with its settings dialog and input guard.
#include "document/BestRouteSetup.h"
#include "document/LumarixDoc.h"
#include "document/PictureExport.h"
#include "network/NetworkChain.h"
#include "network/NetworkNode.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <filesystem>

namespace tessaro::test {
namespace {

TestShape Line(double x0, double y0, double x1, double y1) { return TestShape{{0}, {x0, x1}, {y0, y1}}; }

// Three roads: (0,0)-(3,0)-(3,4) and a spur (3,4)-(10,4).
class ShellCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteShapefile(Folder.File("roads"), SHPT_ARC, {Line(0, 0, 3, 0), Line(3, 0, 3, 4), Line(3, 4, 10, 4)});
        ASSERT_TRUE(Document.OnOpenDocument(Folder.File("roads.shp")));
        Ui->ClearEntries();
    }

    CNetworkNode* NodeAt(double x, double y)
    {
        for (const auto& node : Document.Network().Nodes())
            if (node->X() == x && node->Y() == y)
                return node;
        return nullptr;
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CLumarixDoc Document;
};

TEST_F(ShellCommandsTest, RouteTextsShowTheEndsAndTheDestinationsDistanceAfterTheSearch)
{
    EXPECT_EQ(RouteEndText(nullptr), "尚未设置");
    EXPECT_EQ(RouteEndText(NodeAt(3, 4)), "X: 3.0000\nY: 4.0000");
    EXPECT_FALSE(ShortestDistanceText(Document.BestRoute()).has_value());
    ASSERT_TRUE(Document.SetOriginNode(NodeAt(0, 0)));
    Document.SetDestinationNode(NodeAt(10, 4));
    Document.UseChainLengths();
    Document.InitializeBestRoute();
    Document.RunBestRoute(0.0);
    EXPECT_EQ(ShortestDistanceText(Document.BestRoute()), std::optional<std::string>("Shortest Distance:14.0000"));
    EXPECT_EQ(NodeCountText(Document.Network()), "The sum of nodes is: 4");
}

// The table must pair one record with each chain; otherwise it is refused before any field is
// offered.
TEST_F(ShellCommandsTest, WeightFieldsComeOnlyFromATableThatPairsWithTheChains)
{
    WriteTable(Folder.File("three.dbf"), {{"NAME", 'C', 8, 0}, {"COST", 'N', 8, 2}},
               {{std::string("a"), 1.0}, {std::string("b"), 2.0}, {std::string("c"), 3.0}});
    WriteTable(Folder.File("two.dbf"), {{"COST", 'N', 8, 2}}, {{1.0}, {2.0}});
    EXPECT_EQ(ChainWeightFields(Document, Folder.File("three.dbf")),
              (std::optional<std::vector<std::string>>{{"NAME", "COST"}}));
    EXPECT_TRUE(Ui->Messages().empty());
    EXPECT_FALSE(ChainWeightFields(Document, Folder.File("two.dbf")).has_value());
    EXPECT_FALSE(ChainWeightFields(Document, Folder.File("missing.dbf")).has_value());
    EXPECT_THAT(Ui->Messages(), ::testing::ElementsAre("文件不匹配，请重新选择正确的文件！", ::testing::HasSubstr("missing.dbf")));
}

// The export proposes the document's path less its ending, asks for the settings and writes an
// EMF; a cancelled dialog writes nothing, and an input's member is refused before any dialog.
TEST_F(ShellCommandsTest, PictureExportAsksForTheSettingsAndNeverOverwritesAnInput)
{
    EXPECT_EQ(ProposedExportName(Folder.File("roads.shp")), Folder.File("roads"));
    EXPECT_EQ(ProposedExportName(".shp"), "");
    CPictureFlags flags;
    flags.ShowPolygons = false;
    Ui->QueuePictureFlagsAnswer(flags);
    Ui->QueuePictureFlagsAnswer(std::nullopt);
    EXPECT_EQ(ExportNetworkPicture(Document, Folder.File("roads.emf")), 1);
    const EmfCheckResult check = CheckEmfStructure(Folder.File("roads.emf"));
    EXPECT_TRUE(check.Ok) << check.Reason;
    EXPECT_EQ(ExportNetworkPicture(Document, Folder.File("cancelled.emf")), -1);
    EXPECT_FALSE(std::filesystem::exists(Folder.File("cancelled.emf")));
    EXPECT_EQ(Ui->PictureFlagsRequests(), 2);
    EXPECT_TRUE(Ui->Messages().empty());

    for (const char* member : {"roads.shp", "roads.shx"}) {
        const std::vector<unsigned char> before = ReadBytes(Folder.File(member));
        Ui->ClearEntries();
        EXPECT_EQ(ExportNetworkPicture(Document, Folder.File(member)), -1) << member;
        EXPECT_EQ(Ui->Messages().size(), 1u) << member;
        EXPECT_EQ(ReadBytes(Folder.File(member)), before) << member;
    }
    EXPECT_EQ(Ui->PictureFlagsRequests(), 2);
}

} // namespace
} // namespace tessaro::test
