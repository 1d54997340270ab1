#include "document/LumarixDoc.h"

#include "graphio/FlightsFileTranslator.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/DbfFixtures.h"
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

class LumarixDocRouteTest : public ::testing::Test {
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

TEST_F(LumarixDocRouteTest, FindsNodesByTheirWholeNameInAnyCaseAndOffersSimilarOnes)
{
    ASSERT_TRUE(Document.OnOpenDocument(WriteFlights()));
    Ui->ClearEntries();
    struct Case {
        const char* Name;
        const char* Found;   // null when none is
        const char* Message; // what is said when none is
    };
    const Case cases[] = {
        {"atl", "ATL", ""}, // ATLANTA comes first in the list and contains ATL, but is not named so
        {"Ord", "ORD", ""}, // two nodes differ only in case: the first in list order
        {"ATLA", nullptr, "No node is named \"ATLA\"; similar names: ATLANTA."},
        {"XYZ", nullptr, "No node is named \"XYZ\"."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Ui->ClearEntries();
        const CNetworkNode* node = Document.FindNodeNamed(c.Name);
        if (c.Found != nullptr) {
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->Name(), c.Found);
            EXPECT_TRUE(Ui->Messages().empty());
        } else {
            EXPECT_EQ(node, nullptr);
            EXPECT_THAT(Ui->Messages(), ElementsAre(c.Message));
        }
    }
}

TEST_F(LumarixDocRouteTest, FindsTheNearestNodeOrSaysWhyThereIsNone)
{
    EXPECT_EQ(Document.FindNodeNearest(0, 0), nullptr);
    EXPECT_THAT(Ui->Messages().back(), HasSubstr("has no node"));

    ASSERT_TRUE(Document.OnOpenDocument(WriteRoads({{9.0}, {1.0}, {1.5}})));
    const CNetworkNode* near = Document.FindNodeNearest(2.2, 0.1);
    ASSERT_NE(near, nullptr);
    EXPECT_EQ(std::make_pair(near->X(), near->Y()), std::make_pair(2.0, 0.0));
    // (1, 0) is as far from (0,0) as from (2,0) and (1,1): the first node in list order wins.
    const CNetworkNode* tie = Document.FindNodeNearest(1, 0);
    ASSERT_NE(tie, nullptr);
    EXPECT_EQ(tie, Document.Network().Nodes().front());
    // A huge but finite point still has a nearest node.
    EXPECT_NE(Document.FindNodeNearest(1e308, -1e308), nullptr);

    Ui->ClearEntries();
    EXPECT_EQ(Document.FindNodeNearest(std::numeric_limits<double>::quiet_NaN(), 0), nullptr);
    EXPECT_THAT(Ui->Messages(), ElementsAre(HasSubstr("is not a place")));
}

TEST_F(LumarixDocRouteTest, ChoosesTheChainWeightsByTheUsersWord)
{
    const double root2 = std::sqrt(2.0);
    ASSERT_TRUE(Document.OnOpenDocument(WriteRoads({{9.0}, {1.0}, {1.5}})));
    struct Case {
        const char* Weights;
        std::vector<double> Expected;
    };
    // A shapefile's chains come without weights, so even no word gives them their lengths.
    const Case cases[] = {{"time", {9.0, 1.0, 1.5}}, {"", {2.0, root2, root2}}, {"TIME", {9.0, 1.0, 1.5}},
                          {"length", {2.0, root2, root2}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Weights);
        ASSERT_TRUE(Document.ChooseRouteWeights(c.Weights));
        EXPECT_THAT(Weights(), Pointwise(DoubleNear(1e-12), c.Expected));
    }
    EXPECT_EQ(Ui->Messages().size(), 1u) << "only the topology time was said";

    EXPECT_FALSE(Document.ChooseRouteWeights("SPEED"));
    EXPECT_THAT(Ui->Messages().back(), HasSubstr("has no field SPEED"));
    EXPECT_THAT(Weights(), Pointwise(DoubleNear(1e-12), std::vector<double>{2.0, root2, root2}));
}

TEST_F(LumarixDocRouteTest, KeepsTheFlightWeightsUnlessLengthsAreAskedFor)
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
    for (const double weight : Weights())
        EXPECT_NEAR(weight, 100.0 * std::sqrt(2.0), 1e-9);
}

TEST_F(LumarixDocRouteTest, RefusesATableThatDoesNotMatchTheChains)
{
    ASSERT_TRUE(Document.OnOpenDocument(WriteRoads({{9.0}, {1.0}})));
    ASSERT_TRUE(Document.ChooseRouteWeights(""));
    EXPECT_FALSE(Document.ChooseRouteWeights("TIME"));
    EXPECT_EQ(Ui->Messages().back(), "文件不匹配，请重新选择正确的文件！");
    EXPECT_THAT(Weights(), Pointwise(DoubleNear(1e-12), std::vector<double>{2.0, std::sqrt(2.0), std::sqrt(2.0)}));
}

} // namespace
} // namespace tessaro::test
