#include "network/ShortestPath.h"

#include "NetworkTestSupport.h"
#include "network/Network.h"
#include "platform/RecordingUserInterface.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <queue>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tessaro {
namespace {

using Messages = std::vector<std::string>;
constexpr const char* NotConnected = "The network is not connected together!\n网络不连通，无法到达目的地！";

// The candidate count and the search time, as one message.
const auto Statistics = testing::MatchesRegex(
    "The max num of candidate node list is [0-9]+\\.\nThe time for finding shortest path is: [0-9]+ Millisecond");

bool Has(const CNetworkNode* node, uint32_t flag)
{
    return (node->Attribute().Flags & flag) != 0;
}
constexpr uint32_t Finished = CNetworkNodeAttribute::FinishedFlag;

// Places in a named network (key mode 1) joined by chains of given weights; the reference
// search walks the same chains.
struct CTestGraph {
    CNetwork Network;
    std::vector<std::pair<double, double>> Places;
    std::vector<CNetworkNode*> Nodes; // by place number, after Finish
    std::vector<std::vector<std::pair<int, double>>> Adjacent;

    explicit CTestGraph(std::vector<std::pair<double, double>> places)
        : Places(std::move(places)), Nodes(Places.size()), Adjacent(Places.size()) {}

    void Join(int a, int b, double weight)
    {
        const auto node = [this](int i) {
            return test::MakeNode("P" + std::to_string(1000 + i), Places[i].first, Places[i].second);
        };
        auto chain = test::MakeChain(node(a), node(b));
        chain->Attribute().SetWeightedLength(weight);
        Network.AddChain(std::move(chain));
        Adjacent[a].emplace_back(b, weight);
        Adjacent[b].emplace_back(a, weight);
    }

    void Finish()
    {
        Network.BuildTopology();
        for (const auto& node : Network.Nodes()) Nodes[std::stoi(node->Name().substr(1)) - 1000] = node;
    }

    std::vector<bool> FinishedFlags() const
    {
        std::vector<bool> finished;
        for (const CNetworkNode* node : Nodes) finished.push_back(Has(node, Finished));
        return finished;
    }

    // Reference Dijkstra with a binary heap.
    std::vector<double> Distances(int origin) const
    {
        std::vector<double> distance(Places.size(), INFINITY);
        std::priority_queue<std::pair<double, int>, std::vector<std::pair<double, int>>, std::greater<>> heap;
        distance[origin] = 0.0;
        heap.emplace(0.0, origin);
        while (!heap.empty()) {
            const auto [d, at] = heap.top();
            heap.pop();
            for (const auto& [next, weight] : Adjacent[at]) {
                if (d + weight < distance[next]) heap.emplace(distance[next] = d + weight, next);
            }
        }
        return distance;
    }
};

// A random tree over random places plus as many random extra chains (some parallel, a few
// loops), all weighted by the straight distance of their ends.
std::unique_ptr<CTestGraph> MakeRandomGraph(unsigned seed, int count)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(0.0, 100.0);
    std::vector<std::pair<double, double>> places;
    for (int i = 0; i < count; ++i) places.emplace_back(coordinate(random), coordinate(random));
    auto graph = std::make_unique<CTestGraph>(std::move(places));
    const auto join = [&graph](int a, int b) {
        graph->Join(a, b, std::hypot(graph->Places[a].first - graph->Places[b].first,
                                     graph->Places[a].second - graph->Places[b].second));
    };
    for (int i = 1; i < count; ++i) join(i, std::uniform_int_distribution<int>(0, i - 1)(random));
    std::uniform_int_distribution<int> any(0, count - 1);
    for (int e = 0; e < count; ++e) {
        const int a = any(random);
        join(a, e % 50 == 0 ? a : any(random));
    }
    graph->Finish();
    return graph;
}

// The route joins origin to destination by chains and its cost is the sum of their weights.
void ExpectRouteFollowsChains(const CRoute& route, const CNetworkNode* origin, const CNetworkNode* destination)
{
    ASSERT_FALSE(route.Nodes.empty());
    EXPECT_EQ(route.Nodes.front(), origin);
    EXPECT_EQ(route.Nodes.back(), destination);
    double sum = 0.0;
    for (size_t i = 1; i < route.Nodes.size(); ++i) {
        double step = INFINITY;
        for (uint32_t c = 0; c < route.Nodes[i - 1]->ChainCount(); ++c) {
            const CNetworkChain* chain = route.Nodes[i - 1]->GetChain(static_cast<int32_t>(c));
            if (chain->OtherEnd(route.Nodes[i - 1]) == route.Nodes[i])
                step = std::min(step, chain->Attribute().GetWeightedLength());
        }
        ASSERT_TRUE(std::isfinite(step)) << "no chain between route nodes " << i - 1 << " and " << i;
        sum += step;
    }
    EXPECT_NEAR(sum, route.Cost, 1e-9 * (1.0 + route.Cost));
}

void Search(CShortestPath& engine, CNetworkNode* origin, CNetworkNode* destination, int mode, double circle = 0.0)
{
    engine.SetOrigin(origin);
    engine.SetDestination(destination);
    engine.Initialize();
    engine.Solve(mode, circle);
}

// Modes 1 and 2 settle every node at its reference distance; mode 3 may miss the destination
// or take a longer route, but never a shorter one, and settles the destination once reached.
TEST(ShortestPathTest, SearchesAgreeWithDijkstraOnRandomGraphs)
{
    int regionalFound = 0;
    for (unsigned seed : {1u, 2u, 3u}) {
        auto graph = MakeRandomGraph(seed, 300);
        CShortestPath engine(graph->Network);
        for (int pair = 0; pair < 4; ++pair) {
            const int from = (pair * 37 + static_cast<int>(seed)) % 300, to = (pair * 101 + 150) % 300;
            const std::vector<double> reference = graph->Distances(from);
            const CNetworkNode* destination = graph->Nodes[to];
            for (auto [mode, circle] : {std::pair{1, 0.0}, {2, 0.0}, {3, 2.0}, {3, 8.0}, {3, 30.0}}) {
                SCOPED_TRACE(testing::Message() << "seed " << seed << ", mode " << mode << ", circle " << circle
                                                << ", " << from << " to " << to);
                CScopedRecordingUserInterface ui;
                Search(engine, graph->Nodes[from], graph->Nodes[to], mode, circle);
                const Messages messages = ui->Messages();
                const bool found = Has(destination, Finished);
                ASSERT_FALSE(messages.empty());
                EXPECT_EQ(messages, (found ? Messages{messages[0]} : Messages{messages[0], NotConnected}));
                if (mode == CShortestPath::ModeRegional) {
                    EXPECT_EQ(found, Has(destination, CNetworkNodeAttribute::ReachedFlag));
                    EXPECT_GE(destination->Attribute().Distance, reference[to] * (1.0 - 1e-12));
                    regionalFound += found;
                } else {
                    ASSERT_TRUE(found);
                    for (int i = 0; i < 300; ++i) {
                        if (Has(graph->Nodes[i], Finished)) {
                            EXPECT_DOUBLE_EQ(graph->Nodes[i]->Attribute().Distance, reference[i]) << i;
                        }
                    }
                    EXPECT_EQ(engine.MaxCandidates() > 0, mode == CShortestPath::ModeCandidates);
                }
                if (found) {
                    ExpectRouteFollowsChains(engine.Route(), graph->Nodes[from], destination);
                } else {
                    EXPECT_TRUE(engine.Route().Nodes.empty());
                }
            }
        }
    }
    EXPECT_GT(regionalFound, 0); // the checks of a regional route did run
}

// Origin at (0, 0), destination at (10, 0) behind one chain of weight 50, and dead ends of
// weight 1 that a search finishes before the destination if it lets them into its list.
TEST(ShortestPathTest, RegionalConeHalvesRingByRing)
{
    const double rad = std::numbers::pi / 180.0;
    CTestGraph graph({{0.0, 0.0},
                      {10.0, 0.0},
                      {2.5 * std::cos(80 * rad), 2.5 * std::sin(80 * rad)},   // third ring, inside ±90°
                      {2.5 * std::cos(100 * rad), 2.5 * std::sin(100 * rad)}, // third ring, outside
                      {3.5 * std::cos(50 * rad), -3.5 * std::sin(50 * rad)},  // fourth ring, outside ±45°
                      {-1.5, 0.3},                                            // second ring, behind the origin
                      {40.0, 0.0}});                                          // on the axis, 40 rings out
    graph.Join(0, 1, 50.0);
    for (int deadEnd = 2; deadEnd <= 6; ++deadEnd) graph.Join(0, deadEnd, 1.0);
    graph.Finish();
    CScopedRecordingUserInterface ui;
    CShortestPath engine(graph.Network);

    Search(engine, graph.Nodes[0], graph.Nodes[1], CShortestPath::ModeRegional, 1.0);
    EXPECT_EQ(graph.FinishedFlags(), (std::vector<bool>{true, true, true, false, false, true, false}));
    EXPECT_EQ(graph.Nodes[3]->Attribute().Distance, 1.0); // refused, but it keeps the distance it was reached with
    EXPECT_EQ(graph.Nodes[1]->Attribute().Distance, 50.0);

    // So far out that the cone has no width left: nothing but the destination is admitted.
    Search(engine, graph.Nodes[0], graph.Nodes[1], CShortestPath::ModeRegional, 0.1);
    EXPECT_EQ(graph.FinishedFlags(), (std::vector<bool>{true, true, false, false, false, false, false}));

    // Without a positive ring width the cone is off: every dead end is taken first.
    for (double circle : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        Search(engine, graph.Nodes[0], graph.Nodes[1], CShortestPath::ModeRegional, circle);
        EXPECT_EQ(graph.FinishedFlags(), std::vector<bool>(7, true)) << circle;
        EXPECT_EQ(engine.MaxCandidates(), 6);
    }
}

// A square of unit chains 0-1-3-2-0, the origin 0 reaching place 2 first while the node list
// holds place 1 first; places 4 and 5 are joined to each other only.
class ShortestPathSmallTest : public testing::Test {
protected:
    ShortestPathSmallTest()
    {
        for (auto [a, b] : {std::pair{0, 2}, {0, 1}, {1, 3}, {2, 3}, {4, 5}})
            Graph.Join(a, b, 1.0);
        Graph.Finish();
    }

    CTestGraph Graph{{{0, 0}, {1, -1}, {1, 1}, {2, 0}, {5, 5}, {6, 5}}};
    std::vector<CNetworkNode*>& Nodes = Graph.Nodes;
    CShortestPath Engine{Graph.Network};
    CScopedRecordingUserInterface Ui;
};

// Both middle places are one step from the destination, which keeps the first to settle.
TEST_F(ShortestPathSmallTest, ScanModeSettlesTiesInListOrderCandidateModeInArrivalOrder)
{
    Search(Engine, Nodes[0], Nodes[3], CShortestPath::ModeScan);
    EXPECT_EQ(Nodes[3]->Attribute().Previous, Nodes[1]);
    Search(Engine, Nodes[0], Nodes[3], CShortestPath::ModeCandidates);
    EXPECT_EQ(Nodes[3]->Attribute().Previous, Nodes[2]);
    EXPECT_EQ(Nodes[3]->Attribute().Distance, 2.0);
}

TEST_F(ShortestPathSmallTest, OriginAsDestinationUnreachableDestinationAndUnknownMode)
{
    for (int mode : {1, 2, 3, 0, 7}) {
        SCOPED_TRACE(mode);
        Ui->ClearEntries();
        Search(Engine, Nodes[1], Nodes[1], mode, 1.0);
        EXPECT_EQ(Engine.MaxCandidates(), 0);
        EXPECT_THAT(Ui->Messages(), testing::ElementsAre(Statistics));
        EXPECT_EQ(Engine.Route().Nodes, std::vector<CNetworkNode*>{Nodes[1]});
        EXPECT_EQ(Engine.Route().Cost, 0.0);
        Ui->ClearEntries();
        Search(Engine, Nodes[0], Nodes[5], mode, 1.0);
        EXPECT_THAT(Ui->Messages(), testing::ElementsAre(Statistics, NotConnected));
        EXPECT_EQ(Nodes[5]->Attribute().Distance, CNetworkNodeAttribute::Unreached);
        EXPECT_TRUE(Engine.Route().Nodes.empty());
    }
}

TEST_F(ShortestPathSmallTest, MissingOrVanishedEndsAreReportedAndNothingIsSearched)
{
    const Messages refused = {"The start point and destination are still unknown!", "A Invalid Pointer!",
                              "A Invalid Pointer!"};
    Engine.Solve(CShortestPath::ModeCandidates, 0.0);
    EXPECT_FALSE(Engine.SetOrigin(nullptr));
    EXPECT_FALSE(Engine.SetDestination(nullptr));
    EXPECT_EQ(Ui->Messages(), refused);

    // A reload destroys the nodes; the engine must drop them rather than write into them.
    Search(Engine, Nodes[0], Nodes[3], CShortestPath::ModeCandidates);
    Graph.Network.Reset();
    Ui->ClearEntries();
    Engine.Solve(CShortestPath::ModeCandidates, 0.0);
    EXPECT_TRUE(Engine.Route().Nodes.empty());
    Engine.Initialize();
    EXPECT_TRUE(Engine.Origin() == nullptr && Engine.Destination() == nullptr);
    EXPECT_EQ(Ui->Messages(), refused);
}

} // namespace
} // namespace tessaro
