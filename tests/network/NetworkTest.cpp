#include "network/Network.h"

#include "NetworkTestSupport.h"
#include "cartogram/PolygonRing.h"
#include "platform/RecordingUserInterface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::AddNamedChain;
using test::ChainsInOrder;
using test::NamesInOrder;

std::unique_ptr<CSimplePolygon> MakeSquare(double x, double side)
{
    const std::vector<double> points = {x, 0.0, x, side, x + side, side, x + side, 0.0, x, 0.0};
    auto ring = std::make_unique<CPolygonRing>();
    ring->SetPoints(5, points.data(), true);
    auto polygon = std::make_unique<CSimplePolygon>();
    polygon->AddRing(std::move(ring));
    return polygon;
}

TEST(NetworkTest, NullAdditionsAreRefusedWithTheirMessages)
{
    CScopedRecordingUserInterface ui;
    CNetwork network;
    CFacilityObjectList layer;
    EXPECT_FALSE(network.AddChain(nullptr));
    EXPECT_FALSE(network.AddFacilityList(nullptr));
    EXPECT_FALSE(network.AddPolygon(nullptr));
    EXPECT_FALSE(layer.AddFacility(nullptr));
    const std::vector<std::string> expected = {"A invalid pointer!", "A Invalid Pointer!\n无效数据指针！",
                                               "A Invalid Pointer!\n无效数据指针！", "A invalid pointer!"};
    EXPECT_EQ(ui->Messages(), expected);
    EXPECT_EQ(network.ChainCount() + network.FacilityListCount() + network.PolygonCount(), 0u);
}

TEST(NetworkTest, ExtentIsCopiedWhenNeverSetAndUnitedAfterwards)
{
    CNetwork network;
    network.SetExtent(CExtent{5.0, 6.0, 7.0, 8.0}, false);
    EXPECT_EQ(network.Extent(), (CExtent{5.0, 6.0, 7.0, 8.0}));
    network.SetExtent(CExtent{-1.0, 7.0, 6.0, 9.0}, false);
    EXPECT_EQ(network.Extent(), (CExtent{-1.0, 6.0, 7.0, 9.0}));
    network.SetExtent(CExtent{1.0, 1.0, 2.0, 2.0}, true);
    EXPECT_EQ(network.Extent(), (CExtent{1.0, 1.0, 2.0, 2.0}));

    network.SetKeyMode(KeyByCoordinates);
    network.AddChain(test::MakeChain(test::MakeNode("a", -3.0, 4.0), test::MakeNode("b", 5.0, -1.0)));
    network.BuildTopology();
    network.ComputeExtentFromNodes();
    EXPECT_EQ(network.Extent(), (CExtent{-3.0, -1.0, 5.0, 4.0}));
}

TEST(NetworkTest, PolygonsWidenTheExtentAndOutliveAReset)
{
    CNetwork network;
    network.ResetExtent();
    ASSERT_TRUE(network.AddPolygon(MakeSquare(0.0, 2.0)));
    ASSERT_TRUE(network.AddPolygon(MakeSquare(10.0, 2.0)));
    EXPECT_EQ(network.Extent(), (CExtent{0.0, 0.0, 12.0, 2.0}));

    network.AddFacilityList(std::make_unique<CFacilityObjectList>());
    AddNamedChain(network, "A", "B");
    network.BuildTopology();
    network.Reset();
    EXPECT_TRUE(network.Nodes().empty());
    EXPECT_EQ(network.NodeCount() + network.ChainCount(), 0u);
    EXPECT_EQ(network.PolygonCount(), 2u);
    EXPECT_EQ(network.FacilityListCount(), 1u);
    network.Clear();
    EXPECT_EQ(network.PolygonCount() + network.FacilityListCount(), 0u);
}

TEST(NetworkTest, RemoveChainDropsOnlyListedEndsLeftWithoutChains)
{
    CNetwork network;
    CNetworkChain* ab = AddNamedChain(network, "A", "B");
    CNetworkChain* bc = AddNamedChain(network, "B", "C");
    CNetworkChain* loop = AddNamedChain(network, "D", "D");
    CNetwork other;
    CNetworkChain* stranger = AddNamedChain(other, "A", "B");
    network.BuildTopology();

    EXPECT_FALSE(network.RemoveChain(stranger));
    ASSERT_TRUE(network.RemoveChain(ab));
    EXPECT_EQ(NamesInOrder(network), (std::vector<std::string>{"B", "C", "D"}));
    EXPECT_EQ(bc->From()->ChainCount(), 1u);
    ASSERT_TRUE(network.RemoveChain(loop));
    EXPECT_EQ(NamesInOrder(network), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(network.NodeCount(), 2u);
    EXPECT_EQ(ChainsInOrder(network), std::vector<CNetworkChain*>{bc});

    // A chain not yet through topology owns its ends; the listed A and B must stay.
    CNetworkChain* fresh = AddNamedChain(network, "B", "Q");
    EXPECT_TRUE(network.RemoveChain(fresh));
    EXPECT_EQ(network.NodeCount(), 2u);

    // A node that left the list left the index too: its name comes back as a new node.
    CNetworkChain* again = AddNamedChain(network, "A", "B");
    network.BuildTopology();
    EXPECT_EQ(NamesInOrder(network), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(again->To(), bc->From());
}

TEST(NetworkTest, CitationModeMergesParallelChainsKeepingTheLastOne)
{
    CNetwork network;
    network.SetKeyMode(KeyByNameMergeParallel);
    CNetworkChain* first = AddNamedChain(network, "A", "B");
    CNetworkChain* second = AddNamedChain(network, "A", "B");
    CNetworkChain* back = AddNamedChain(network, "B", "A");
    AddNamedChain(network, "A", "A");
    CNetworkChain* loopAgain = AddNamedChain(network, "A", "A");
    first->Attribute().SetWeightedLength(9.0);
    second->Attribute().SetWeightedLength(2.5);
    network.BuildTopology();

    ASSERT_TRUE(network.MergeParallelChains());
    EXPECT_EQ(ChainsInOrder(network), (std::vector<CNetworkChain*>{second, back, loopAgain}));
    EXPECT_EQ(network.ChainCount(), 3u);
    EXPECT_EQ(second->Attribute().GetWeightedLength(), 2.5);
    EXPECT_EQ(second->From()->ChainCount(), 3u);
    EXPECT_EQ(second->To()->ChainCount(), 2u);
    EXPECT_EQ(network.NodeCount(), 2u);

    for (uint32_t mode : {0u, 1u, 3u}) {
        CNetwork flights;
        flights.SetKeyMode(mode);
        AddNamedChain(flights, "A", "B", 1.0, 2.0);
        AddNamedChain(flights, "A", "B", 1.0, 2.0);
        flights.BuildTopology();
        EXPECT_TRUE(flights.MergeParallelChains());
        EXPECT_EQ(flights.ChainCount(), 2u) << "mode " << mode;
    }
}

TEST(NetworkTest, CircleLayoutStartsAtTheTopAndRenumbersEveryNode)
{
    CNetwork network;
    CNetworkChain* ab = AddNamedChain(network, "A", "B");
    AddNamedChain(network, "C", "D");
    network.BuildTopology();
    const uint32_t lastBefore = CNetworkNode::LastNodeID();
    network.PlaceNodesOnCircle(100.0);

    const std::vector<std::pair<double, double>> expected = {{0, 100}, {100, 0}, {0, -100}, {-100, 0}};
    size_t k = 0;
    for (const auto& node : network.Nodes()) {
        EXPECT_NEAR(node->X(), expected[k].first, 1e-9);
        EXPECT_NEAR(node->Y(), expected[k].second, 1e-9);
        EXPECT_EQ(node->ID(), lastBefore + 1 + k);
        ++k;
    }
    network.MakeStraightChains();
    ASSERT_EQ(ab->PointCount(), 2);
    const double straight[] = {0.0, 100.0, 100.0, 0.0};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(ab->Points()[i], straight[i], 1e-9);
}

TEST(NetworkTest, NamedNetworksKeepTheirWeightsWhenLengthsAreComputed)
{
    for (uint32_t mode : {0u, 1u, 2u, 3u}) {
        CNetwork network;
        network.SetKeyMode(mode);
        auto chain = std::make_unique<CNetworkChain>();
        const double points[] = {0.0, 0.0, 3.0, 4.0};
        chain->SetPoints(2, points);
        network.AddChain(std::move(chain));
        network.SetChainWeights({7.0, 8.0});
        network.ComputeChainLengths();
        const bool kept = mode == 1 || mode == 2;
        EXPECT_EQ(network.Chains().front()->Attribute().GetWeightedLength(), kept ? 7.0 : 5.0) << "mode " << mode;
    }
}

} // namespace
} // namespace tessaro
