#include "network/Network.h"

#include "NetworkTestSupport.h"
#include "network/NodeSearch.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::AddNamedChain;
using Names = std::vector<std::string>;
using Points = std::vector<double>;

Names NamesInOrder(const CNetwork& network)
{
    Names names;
    for (const auto& node : network.Nodes())
        names.push_back(node->Name());
    return names;
}

std::vector<const CNetworkChain*> ChainsInOrder(const CNetwork& network)
{
    return {network.Chains().begin(), network.Chains().end()};
}

Points PointsOf(const CNetworkChain& chain) { return {chain.Points(), chain.Points() + 2 * chain.PointCount()}; }

// The threadsafe death-test style re-runs the binary, so the child sees untouched counters: the
// first IDs handed out in a process are 2 (the counters start at 1).
TEST(NetworkIdCounterDeathTest, FirstNodeAndChainIdsAreTwo)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto firstIds = [] {
        CNetworkNode node;
        node.SetXY(0.0, 0.0);
        CNetworkChain chain;
        const double points[] = {0.0, 0.0, 1.0, 1.0};
        chain.SetPoints(2, points);
        std::_Exit(node.ID() == 2 && chain.From()->ID() == 3 && chain.To()->ID() == 4 && chain.ID() == 2 ? 0 : 1);
    };
    EXPECT_EXIT(firstIds(), testing::ExitedWithCode(0), "");
}

TEST(NetworkNodeTest, AddChainRefusesRepeatsExceptInBibliographyModeAndHoldsMoreThanSixteenBitsOfChains)
{
    CNetworkChain a, b;
    for (uint32_t mode : {0u, 2u, 3u}) {
        CNetworkNode node;
        EXPECT_TRUE(node.AddChain(&a, mode) && node.AddChain(&b, mode));
        EXPECT_FALSE(node.AddChain(&a, mode)) << "mode " << mode;
        EXPECT_EQ(node.ChainCount(), 2u);
    }
    std::deque<CNetworkChain> chains(40000);
    CNetworkNode hub;
    for (CNetworkChain& chain : chains)
        hub.AddChain(&chain, 1);
    EXPECT_TRUE(hub.AddChain(&chains.front(), 1));
    EXPECT_EQ(hub.ChainCount(), 40001u);
    EXPECT_EQ(hub.GetChain(39999), &chains.back());
    EXPECT_EQ(hub.GetChain(40001), nullptr);
    EXPECT_EQ(hub.GetChain(-1), nullptr);
}

// A polyline gets the next ID and fresh ends named by theirs; made straight, it moves its ends
// and keeps its box. Translator chains have no points at all until they are made straight.
TEST(NetworkChainTest, SetPointsMakesNamedFreshEndsAndMakeStraightFollowsTheNodes)
{
    CScopedRecordingUserInterface ui;
    CNetworkChain refused;
    const double point[] = {1.0, 2.0};
    EXPECT_FALSE(refused.SetPoints(1, point));
    EXPECT_EQ(ui->Messages(), std::vector<std::string>{"Errors! The arc just have not more than two points!"});
    EXPECT_TRUE(refused.PointCount() == 0 && refused.ID() == -1 && !refused.HasFreshEnds());

    CNetworkChain before, polyline;
    const Points points = {1.0, 2.0, 3.0, 4.0, 6.0, -3.0};
    const double box[] = {1.0, -3.0, 6.0, 4.0};
    ASSERT_TRUE(before.SetPoints(3, points.data()) && polyline.SetPoints(3, points.data()));
    polyline.SetBoundingBox(box);
    EXPECT_EQ(polyline.ID(), before.ID() + 1);
    EXPECT_EQ(PointsOf(polyline), points);
    ASSERT_TRUE(polyline.HasFreshEnds());
    EXPECT_EQ(Points({polyline.From()->X(), polyline.From()->Y(), polyline.To()->X(), polyline.To()->Y()}),
              Points({1.0, 2.0, 6.0, -3.0}));
    EXPECT_EQ(polyline.To()->ID(), polyline.From()->ID() + 1);
    EXPECT_EQ(polyline.From()->Name(), "Node_ID_" + std::to_string(polyline.From()->ID()));
    EXPECT_EQ(polyline.To()->Name(), "Node_ID_" + std::to_string(polyline.To()->ID()));

    polyline.From()->SetXY(-1.0, -2.0);
    polyline.To()->SetXY(9.0, 8.0);
    polyline.MakeStraight();
    EXPECT_EQ(PointsOf(polyline), Points({-1.0, -2.0, 3.0, 4.0, 9.0, 8.0}));
    EXPECT_EQ(polyline.MaxX(), 6.0);
    CNetworkChain named;
    named.SetFreshEnds(test::MakeNode("A", 5.0, -1.0), test::MakeNode("B", -2.0, 3.0));
    named.MakeStraight();
    EXPECT_EQ(PointsOf(named), Points({5.0, -1.0, -2.0, 3.0}));
    EXPECT_EQ(Points({named.MinX(), named.MinY(), named.MaxX(), named.MaxY()}), Points({-2.0, -1.0, 5.0, 3.0}));
}

TEST(NetworkTest, ExtentIsCopiedWhenNeverSetUnitedAfterwardsAndWidenedByPolygons)
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

    network.ResetExtent();
    ASSERT_TRUE(network.AddPolygon(test::MakePolygon({test::SquarePoints(0.0, 0.0, 2.0)})));
    ASSERT_TRUE(network.AddPolygon(test::MakePolygon({test::SquarePoints(10.0, 0.0, 2.0)})));
    EXPECT_EQ(network.Extent(), (CExtent{0.0, 0.0, 12.0, 2.0}));

    // A reset before a reload drops nodes and chains but keeps the layers; Clear drops them too.
    network.AddFacilityList(std::make_unique<CFacilityObjectList>());
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
    EXPECT_EQ(ChainsInOrder(network), (std::vector<const CNetworkChain*>{ab, cd}));
    // A chain not yet through topology owns its ends; the listed B must stay.
    EXPECT_TRUE(network.RemoveChain(AddNamedChain(network, "B", "Q")));
    EXPECT_EQ(NamesInOrder(network), (Names{"A", "B", "C", "D"}));
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
    EXPECT_EQ(ChainsInOrder(network), (std::vector<const CNetworkChain*>{second, back, loopAgain}));
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

// The layout renumbers every node after all that were handed out before, in list order.
TEST(NetworkTest, CircleLayoutStartsAtTheTopRunsClockwiseAndRenumbersEveryNode)
{
    CNetwork network;
    CNetworkChain* ab = AddNamedChain(network, "A", "B");
    AddNamedChain(network, "C", "D");
    network.BuildTopology();
    uint32_t lastBefore = 0;
    for (const auto& node : network.Nodes())
        lastBefore = std::max(lastBefore, node->ID());
    network.PlaceNodesOnCircle(100.0);
    const std::vector<std::pair<double, double>> expected = {{0, 100}, {100, 0}, {0, -100}, {-100, 0}};
    size_t k = 0;
    for (const auto& node : network.Nodes()) {
        EXPECT_NEAR(node->X(), expected[k].first, 1e-9);
        EXPECT_NEAR(node->Y(), expected[k].second, 1e-9);
        EXPECT_EQ(node->ID(), lastBefore + 1 + k++);
    }
    network.MakeStraightChains();
    ASSERT_EQ(ab->PointCount(), 2);
    EXPECT_NEAR(ab->Points()[0], 0.0, 1e-9);
    EXPECT_NEAR(ab->Points()[1], 100.0, 1e-9);
    EXPECT_NEAR(ab->Points()[2], 100.0, 1e-9);
    EXPECT_NEAR(ab->Points()[3], 0.0, 1e-9);
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
        EXPECT_EQ(network.Chains().front()->Attribute().GetWeightedLength(), mode == 1 || mode == 2 ? 7.0 : 11.0)
            << "mode " << mode;
    }
}

Names NamesOf(const std::vector<CNetworkNode*>& nodes)
{
    Names names;
    for (const CNetworkNode* node : nodes)
        names.push_back(node->Name());
    return names;
}

// Upper-cased on both sides, a name matches when it starts with the filter's first letter and
// contains the whole filter; matches come in list order, twelve at most.
TEST(NodeSearchTest, MatchesNamesThatStartWithTheFiltersFirstLetterAndContainIt)
{
    CNetwork network; // keyed by name: the list runs BERGEN, Berlin, Bonn, Oberhausen, bern
    test::AddNamedChain(network, "Berlin", "Oberhausen");
    test::AddNamedChain(network, "Bonn", "bern");
    test::AddNamedChain(network, "BERGEN", "Berlin");
    for (int i = 19; i >= 10; --i)
        test::AddNamedChain(network, "stop " + std::to_string(i), "Stop " + std::to_string(i));
    network.BuildTopology();
    EXPECT_EQ(NamesOf(FindNodesByName(network, "ber")), (Names{"BERGEN", "Berlin", "bern"}));
    EXPECT_EQ(NamesOf(FindNodesByName(network, "ERL")), Names{});
    EXPECT_EQ(NamesOf(FindNodesByName(network, "o")), (Names{"Oberhausen"}));
    EXPECT_TRUE(FindNodesByName(network, "").empty());
    // "Stop 10".."Stop 19" come before "stop 10".. in byte order; the walk stops after 12.
    const Names stops = NamesOf(FindNodesByName(network, "STOP 1"));
    ASSERT_EQ(stops.size(), CNodeSearch::MaxMatches);
    EXPECT_TRUE(stops[0] == "Stop 10" && stops[9] == "Stop 19" && stops[11] == "stop 11");

    CNodeSearch search(network);
    ASSERT_TRUE(search.Search("bEr"));
    EXPECT_EQ(search.Entries(), (Names{"BERGEN", "BERLIN", "BERN"}));
    ASSERT_TRUE(search.Select(1));
    EXPECT_EQ(search.Selected()->Name(), "Berlin");
    EXPECT_EQ(search.ResultText(), "Berlin (0x" + std::to_string(search.Selected()->ID()) + ")");
    // An empty filter leaves the dialog as it was; a new search starts over.
    EXPECT_FALSE(search.Search(""));
    EXPECT_EQ(search.Entries().size(), 3u);
    EXPECT_NE(search.Selected(), nullptr);
    ASSERT_TRUE(search.Search("bonn"));
    EXPECT_EQ(search.Entries(), Names{"BONN"});
    EXPECT_TRUE(search.Selected() == nullptr && search.ResultText().empty());
    EXPECT_FALSE(search.Select(1));
}

} // namespace
} // namespace tessaro
