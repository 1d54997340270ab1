#include "network/ShortestPath.h"

#include "NetworkTestSupport.h"
#include "network/Network.h"
#include "platform/RecordingUserInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <queue>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tessaro {
namespace {

using test::MakeChain;
using test::MakeNode;

constexpr const char* NotConnected = "The network is not connected together!\n网络不连通，无法到达目的地！";

// The count line and the time line, with numbers where the message has them.
bool IsStatistics(const std::string& text)
{
    const std::string head = "The max num of candidate node list is ";
    const std::string middle = ".\nThe time for finding shortest path is: ";
    const size_t between = text.find(middle);
    return text.starts_with(head) && between != std::string::npos && between > head.size() &&
           text.ends_with(" Millisecond") &&
           std::all_of(text.begin() + head.size(), text.begin() + between, [](char c) { return c >= '0' && c <= '9'; });
}

bool IsFinished(const CNetworkNode& node)
{
    return (node.Attribute().Flags & CNetworkNodeAttribute::FinishedFlag) != 0;
}

// A named network (key mode 1) whose chains join places with coordinates; the weight of a
// chain is given, not computed, so that the reference search can use the same numbers.
struct CTestGraph {
    CNetwork Network;
    std::vector<CNetworkNode*> Nodes; // by place number, after the topology pass
    std::vector<std::vector<std::pair<int, double>>> Adjacent;
    std::vector<std::pair<double, double>> Places;

    explicit CTestGraph(std::vector<std::pair<double, double>> places)
        : Nodes(places.size()), Adjacent(places.size()), Places(std::move(places))
    {
    }

    static std::string Name(int i) { return "P" + std::to_string(1000 + i); }

    void Join(int a, int b, double weight)
    {
        auto chain = MakeChain(MakeNode(Name(a), Places[a].first, Places[a].second),
                               MakeNode(Name(b), Places[b].first, Places[b].second));
        chain->Attribute().SetWeightedLength(weight);
        Network.AddChain(std::move(chain));
        Adjacent[a].emplace_back(b, weight);
        Adjacent[b].emplace_back(a, weight);
    }

    double Euclidean(int a, int b) const
    {
        return std::hypot(Places[a].first - Places[b].first, Places[a].second - Places[b].second);
    }

    void Finish()
    {
        Network.BuildTopology();
        for (const auto& node : Network.Nodes()) Nodes[std::stoi(node->Name().substr(1)) - 1000] = node.get();
    }

    // Reference Dijkstra over the same chains with a binary heap.
    std::vector<double> Distances(int origin) const
    {
        std::vector<double> distance(Places.size(), INFINITY);
        using Item = std::pair<double, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<>> heap;
        distance[origin] = 0.0;
        heap.emplace(0.0, origin);
        while (!heap.empty()) {
            const auto [d, at] = heap.top();
            heap.pop();
            if (d > distance[at]) continue;
            for (const auto& [next, weight] : Adjacent[at]) {
                if (d + weight < distance[next]) {
                    distance[next] = d + weight;
                    heap.emplace(distance[next], next);
                }
            }
        }
        return distance;
    }
};

// A connected graph: a random tree over random places plus as many random extra chains
// (some parallel, a few loops), all weighted by the straight distance of their ends.
std::unique_ptr<CTestGraph> MakeRandomGraph(unsigned seed, int count)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(0.0, 100.0);
    std::vector<std::pair<double, double>> places;
    for (int i = 0; i < count; ++i) places.emplace_back(coordinate(random), coordinate(random));
    auto graph = std::make_unique<CTestGraph>(std::move(places));
    for (int i = 1; i < count; ++i) {
        const int j = std::uniform_int_distribution<int>(0, i - 1)(random);
        graph->Join(i, j, graph->Euclidean(i, j));
    }
    std::uniform_int_distribution<int> any(0, count - 1);
    for (int e = 0; e < count; ++e) {
        const int a = any(random);
        const int b = e % 50 == 0 ? a : any(random);
        graph->Join(a, b, graph->Euclidean(a, b));
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
        const CNetworkNode& from = *route.Nodes[i - 1];
        double step = INFINITY;
        for (uint32_t c = 0; c < from.ChainCount(); ++c) {
            const CNetworkChain* chain = from.GetChain(static_cast<int32_t>(c));
            if (chain->OtherEnd(&from) == route.Nodes[i]) step = std::min(step, chain->Attribute().GetWeightedLength());
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
            const int from = (pair * 37 + static_cast<int>(seed)) % 300;
            const int to = (pair * 101 + 150) % 300;
            const std::vector<double> reference = graph->Distances(from);
            const CNetworkNode& destination = *graph->Nodes[to];
            for (auto [mode, circle] : {std::pair{1, 0.0}, {2, 0.0}, {3, 2.0}, {3, 8.0}, {3, 30.0}}) {
                SCOPED_TRACE("seed " + std::to_string(seed) + ", mode " + std::to_string(mode) + ", circle " +
                             std::to_string(circle) + ", " + std::to_string(from) + " to " + std::to_string(to));
                CScopedRecordingUserInterface ui;
                Search(engine, graph->Nodes[from], graph->Nodes[to], mode, circle);
                const std::vector<std::string> messages = ui->Messages();
                ASSERT_FALSE(messages.empty());
                EXPECT_TRUE(IsStatistics(messages[0])) << messages[0];

                if (mode == CShortestPath::ModeRegional) {
                    EXPECT_EQ(IsFinished(destination),
                              (destination.Attribute().Flags & CNetworkNodeAttribute::ReachedFlag) != 0);
                    if (!IsFinished(destination)) {
                        EXPECT_EQ(messages, (std::vector<std::string>{messages[0], NotConnected}));
                        EXPECT_TRUE(engine.Route().Nodes.empty());
                        continue;
                    }
                    ++regionalFound;
                    EXPECT_GE(destination.Attribute().Distance, reference[to] * (1.0 - 1e-12));
                } else {
                    ASSERT_TRUE(IsFinished(destination));
                    for (int i = 0; i < 300; ++i) {
                        if (IsFinished(*graph->Nodes[i])) {
                            EXPECT_DOUBLE_EQ(graph->Nodes[i]->Attribute().Distance, reference[i]) << i;
                        }
                    }
                    EXPECT_EQ(engine.MaxCandidates() > 0, mode == CShortestPath::ModeCandidates);
                }
                EXPECT_EQ(messages.size(), 1u);
                ExpectRouteFollowsChains(engine.Route(), graph->Nodes[from], &destination);
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
    std::vector<bool> finished;
    for (CNetworkNode* node : graph.Nodes) finished.push_back(IsFinished(*node));
    EXPECT_EQ(finished, (std::vector<bool>{true, true, true, false, false, true, false}));
    // Refused nodes still keep the distance they were reached with.
    EXPECT_EQ(graph.Nodes[3]->Attribute().Distance, 1.0);
    EXPECT_EQ(graph.Nodes[1]->Attribute().Distance, 50.0);

    // Without a positive ring width the cone is off: every dead end is taken first.
    for (double circle : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        Search(engine, graph.Nodes[0], graph.Nodes[1], CShortestPath::ModeRegional, circle);
        for (CNetworkNode* node : graph.Nodes) EXPECT_TRUE(IsFinished(*node)) << circle;
        EXPECT_EQ(engine.MaxCandidates(), 6);
    }

    // So far out that the cone has no width left: nothing but the destination is admitted.
    Search(engine, graph.Nodes[0], graph.Nodes[1], CShortestPath::ModeRegional, 0.1);
    finished.clear();
    for (CNetworkNode* node : graph.Nodes) finished.push_back(IsFinished(*node));
    EXPECT_EQ(finished, (std::vector<bool>{true, true, false, false, false, false, false}));
}

// The origin reaches place 2 before place 1 (attachment order), while the node list holds
// place 1 first; both are one step from the destination, which keeps the first to settle.
TEST(ShortestPathTest, ScanModeSettlesTiesInListOrderCandidateModeInArrivalOrder)
{
    CTestGraph graph({{0, 0}, {1, -1}, {1, 1}, {2, 0}});
    for (auto [a, b] : {std::pair{0, 2}, {0, 1}, {1, 3}, {2, 3}}) graph.Join(a, b, 1.0);
    graph.Finish();
    CScopedRecordingUserInterface ui;
    CShortestPath engine(graph.Network);

    Search(engine, graph.Nodes[0], graph.Nodes[3], CShortestPath::ModeScan);
    EXPECT_EQ(graph.Nodes[3]->Attribute().Previous, graph.Nodes[1]);
    Search(engine, graph.Nodes[0], graph.Nodes[3], CShortestPath::ModeCandidates);
    EXPECT_EQ(graph.Nodes[3]->Attribute().Previous, graph.Nodes[2]);
    EXPECT_EQ(graph.Nodes[3]->Attribute().Distance, 2.0);
}

TEST(ShortestPathTest, OriginAsDestinationUnreachableDestinationAndUnknownMode)
{
    CTestGraph graph({{0, 0}, {1, 0}, {5, 5}, {6, 5}});
    graph.Join(0, 1, 1.0);
    graph.Join(2, 3, 1.0);
    graph.Finish();
    CShortestPath engine(graph.Network);

    for (int mode : {1, 2, 3}) {
        CScopedRecordingUserInterface ui;
        Search(engine, graph.Nodes[1], graph.Nodes[1], mode, 1.0);
        EXPECT_EQ(graph.Nodes[1]->Attribute().Distance, 0.0);
        EXPECT_EQ(engine.MaxCandidates(), 0);
        ASSERT_EQ(ui->Messages().size(), 1u); // the candidate count and the time, nothing else
        EXPECT_TRUE(IsStatistics(ui->Messages()[0]));
        EXPECT_EQ(engine.Route().Nodes, std::vector<CNetworkNode*>{graph.Nodes[1]});
    }
    for (int mode : {1, 2, 3, 0, 7}) {
        CScopedRecordingUserInterface ui;
        Search(engine, graph.Nodes[0], graph.Nodes[3], mode, 1.0);
        const std::vector<std::string> messages = ui->Messages();
        ASSERT_EQ(messages.size(), 2u) << mode;
        EXPECT_TRUE(IsStatistics(messages[0]));
        EXPECT_EQ(messages[1], NotConnected);
        EXPECT_EQ(graph.Nodes[3]->Attribute().Distance, CNetworkNodeAttribute::Unreached);
        EXPECT_TRUE(engine.Route().Nodes.empty());
    }
}

TEST(ShortestPathTest, MissingOrVanishedEndsAreReportedAndNothingIsSearched)
{
    CTestGraph graph({{0, 0}, {1, 0}});
    graph.Join(0, 1, 1.0);
    graph.Finish();
    CShortestPath engine(graph.Network);
    CScopedRecordingUserInterface ui;

    engine.Solve(CShortestPath::ModeCandidates, 0.0);
    EXPECT_FALSE(engine.SetOrigin(nullptr));
    EXPECT_FALSE(engine.SetDestination(nullptr));
    EXPECT_EQ(ui->Messages(), (std::vector<std::string>{"The start point and destination are still unknown!",
                                                        "A Invalid Pointer!", "A Invalid Pointer!"}));

    // A reload destroys the nodes; the engine must drop them rather than write into them.
    Search(engine, graph.Nodes[0], graph.Nodes[1], CShortestPath::ModeCandidates);
    graph.Network.Reset();
    ui->ClearEntries();
    engine.Solve(CShortestPath::ModeCandidates, 0.0);
    EXPECT_TRUE(engine.Route().Nodes.empty());
    engine.Initialize();
    EXPECT_EQ(engine.Origin(), nullptr);
    EXPECT_EQ(engine.Destination(), nullptr);
    EXPECT_EQ(ui->Messages(), (std::vector<std::string>{"The start point and destination are still unknown!",
                                                        "A Invalid Pointer!", "A Invalid Pointer!"}));
}

} // namespace
} // namespace tessaro
