#include "network/Network.h"

#include "NetworkTestSupport.h"
#include "geometry/PolygonRing.h"
#include "platform/RecordingUserInterface.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::AddNamedChain;
using test::ChainsInOrder;
using test::NamesInOrder;

std::vector<double> PointsOf(const CNetworkChain& chain)
{
    return std::vector<double>(chain.Points(), chain.Points() + 2 * chain.PointCount());
}

// --- Nodes ---

// Exits 0 when the first IDs handed out in this process are 2 (counters start at 1).
[[noreturn]] void ExitWithFirstIdCheck()
{
    CNetworkNode node;
    node.SetXY(0.0, 0.0);
    CNetworkChain chain;
    const double points[] = {0.0, 0.0, 1.0, 1.0};
    chain.SetPoints(2, points);
    const bool firstIds = node.ID() == 2 && chain.From()->ID() == 3 && chain.To()->ID() == 4 && chain.ID() == 2;
    std::_Exit(firstIds ? 0 : 1);
}

// The threadsafe death-test style re-runs the binary, so the child sees untouched counters.
TEST(NetworkIdCounterDeathTest, FirstNodeAndChainIdsAreTwo)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithFirstIdCheck(), testing::ExitedWithCode(0), "");
}

TEST(NetworkNodeTest, AddChainRefusesRepeatsExceptInBibliographyMode)
{
    CNetworkChain a;
    CNetworkChain b;
    for (uint32_t mode : {0u, 2u, 3u}) {
        CNetworkNode node;
        EXPECT_TRUE(node.AddChain(&a, mode));
        EXPECT_FALSE(node.AddChain(&a, mode)) << "mode " << mode;
        EXPECT_TRUE(node.AddChain(&b, mode));
        EXPECT_FALSE(node.AddChain(nullptr, mode));
        EXPECT_EQ(node.ChainCount(), 2u);
    }
    CNetworkNode named;
    EXPECT_FALSE(named.SetID(0));
    EXPECT_TRUE(named.AddChain(&a, 1));
    EXPECT_TRUE(named.AddChain(&a, 1));
    EXPECT_EQ(named.ChainCount(), 2u);
}

TEST(NetworkNodeTest, CarriesMoreChainsThanASixteenBitIndexAndAnswersNullOutsideThem)
{
    std::deque<CNetworkChain> chains(40000);
    CNetworkNode hub;
    for (CNetworkChain& chain : chains) {
        hub.AddChain(&chain, 1);
    }
    EXPECT_EQ(hub.ChainCount(), 40000u);
    EXPECT_EQ(hub.GetChain(39999), &chains.back());
    EXPECT_EQ(hub.GetChain(40000), nullptr);
    EXPECT_EQ(hub.GetChain(-1), nullptr);
}

// --- Chains ---

TEST(NetworkChainTest, SetPointsRefusesAnArcOfOnePointAndLeavesTheChainEmpty)
{
    CScopedRecordingUserInterface ui;
    CNetworkChain chain;
    const double point[] = {1.0, 2.0};
    EXPECT_FALSE(chain.SetPoints(1, point));
    EXPECT_EQ(ui->Messages(), std::vector<std::string>{"Errors! The arc just have not more than two points!"});
    EXPECT_EQ(chain.PointCount(), 0);
    EXPECT_EQ(chain.ID(), -1);
    EXPECT_FALSE(chain.HasFreshEnds());
}

TEST(NetworkChainTest, SetPointsMakesNamedFreshEndsAtTheFirstAndLastPoint)
{
    CNetworkChain chain;
    const std::vector<double> points = {1.0, 2.0, 5.0, 5.0, 7.0, -3.0};
    ASSERT_TRUE(chain.SetPoints(3, points.data()));

    EXPECT_EQ(chain.ID(), CNetworkChain::LastChainID());
    EXPECT_EQ(PointsOf(chain), points);
    ASSERT_TRUE(chain.HasFreshEnds());
    EXPECT_EQ(chain.From()->X(), 1.0);
    EXPECT_EQ(chain.From()->Y(), 2.0);
    EXPECT_EQ(chain.To()->X(), 7.0);
    EXPECT_EQ(chain.To()->Y(), -3.0);
    EXPECT_EQ(chain.To()->ID(), chain.From()->ID() + 1);
    EXPECT_EQ(chain.From()->Name(), "Node_ID_" + std::to_string(chain.From()->ID()));
    EXPECT_EQ(chain.To()->Name(), "Node_ID_" + std::to_string(chain.To()->ID()));
}

TEST(NetworkChainTest, MakeStraightMovesPolylineEndsAndRedrawsShortChains)
{
    CNetworkChain polyline;
    const double points[] = {0.0, 0.0, 3.0, 4.0, 6.0, 0.0};
    const double box[] = {0.0, 0.0, 6.0, 4.0};
    polyline.SetPoints(3, points);
    polyline.SetBoundingBox(box);
    polyline.From()->SetXY(-1.0, -2.0);
    polyline.To()->SetXY(9.0, 8.0);
    polyline.MakeStraight();
    EXPECT_EQ(PointsOf(polyline), (std::vector<double>{-1.0, -2.0, 3.0, 4.0, 9.0, 8.0}));
    EXPECT_EQ(polyline.MaxX(), 6.0) << "a polyline keeps its box";

    // Translator chains have no points at all until they are made straight.
    CNetworkChain named;
    named.SetFreshEnds(test::MakeNode("A", 5.0, -1.0), test::MakeNode("B", -2.0, 3.0));
    named.MakeStraight();
    EXPECT_EQ(PointsOf(named), (std::vector<double>{5.0, -1.0, -2.0, 3.0}));
    EXPECT_EQ(std::vector<double>({named.MinX(), named.MinY(), named.MaxX(), named.MaxY()}),
              (std::vector<double>{-2.0, -1.0, 5.0, 3.0}));
}

// --- Networks ---

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

// Removal after topology, loops and re-adding are compared with a plain scan in NetworkTopologyTest.
TEST(NetworkTest, RemoveChainRefusesStrangersKeepsTheChainOrderAndTheListedEndsOfAFreshChain)
{
    CNetwork network, other;
    CNetworkChain* ab = AddNamedChain(network, "A", "B");
    CNetworkChain* bc = AddNamedChain(network, "B", "C");
    CNetworkChain* cd = AddNamedChain(network, "C", "D");
    CNetworkChain* stranger = AddNamedChain(other, "A", "B");
    network.BuildTopology();
    EXPECT_FALSE(network.RemoveChain(stranger));
    ASSERT_TRUE(network.RemoveChain(bc));
    EXPECT_EQ(ChainsInOrder(network), (std::vector<CNetworkChain*>{ab, cd}));
    // A chain not yet through topology owns its ends; the listed B must stay.
    EXPECT_TRUE(network.RemoveChain(AddNamedChain(network, "B", "Q")));
    EXPECT_EQ(NamesInOrder(network), (std::vector<std::string>{"A", "B", "C", "D"}));
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
        flights.SetKeyMode(static_cast<NetworkKeyMode>(mode));
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
        network.SetKeyMode(static_cast<NetworkKeyMode>(mode));
        auto chain = std::make_unique<CNetworkChain>();
        const double points[] = {0.0, 0.0, 3.0, 4.0, 3.0, 10.0};
        chain->SetPoints(3, points);
        network.AddChain(std::move(chain));
        network.SetChainWeights({7.0, 8.0});
        network.ComputeChainLengths(); // else the sum of the segments
        const bool kept = mode == 1 || mode == 2;
        EXPECT_EQ(network.Chains().front()->Attribute().GetWeightedLength(), kept ? 7.0 : 11.0) << "mode " << mode;
    }
}

} // namespace
} // namespace tessaro
