#include "network/Network.h"

#include "NetworkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <list>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::MakeChain;
using test::MakeNode;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The node list equals a plain scan from the head, whatever the keys. This covers each mode's
// order: equal X in arrival order, signed zeros merged, names compared as unsigned bytes, a
// name-by-X scan that stops at the first larger X without meeting namesakes beyond it, chains
// meeting at a place sharing its node, and loops attached once.

struct Key {
    std::string Name;
    double X, Y;
};

// The reference: every insertion scans a std::list from its head, nothing else.
struct PlainScanNetwork {
    struct Node {
        uint32_t Id;
        Key Keys;
        std::vector<int32_t> Chains;
    };

    uint32_t Mode = 0;
    std::list<Node> Nodes;
    std::map<int32_t, std::pair<uint32_t, uint32_t>> Ends;

    void Connect(int32_t chain, uint32_t fromId, const Key& from, uint32_t toId, const Key& to)
    {
        const uint32_t first = Insert(fromId, from, chain); // a loop's ends are one node
        Ends[chain] = {first, Equal(from, to) ? first : Insert(toId, to, chain)};
    }

    void Remove(int32_t chain)
    {
        const auto [from, to] = Ends.at(chain);
        Detach(from, chain);
        if (to != from) Detach(to, chain);
        Ends.erase(chain);
    }

    bool Equal(const Key& a, const Key& b) const { return Mode == 0 ? a.X == b.X && a.Y == b.Y : a.Name == b.Name; }
    bool Greater(const Key& listed, const Key& key) const
    {
        return (Mode == 1 || Mode == 2) ? listed.Name.compare(key.Name) > 0 : listed.X > key.X;
    }

    uint32_t Insert(uint32_t id, const Key& key, int32_t chain)
    {
        auto it = Nodes.begin();
        for (; it != Nodes.end(); ++it) {
            if (Equal(it->Keys, key)) {
                if (Mode == 1 || std::find(it->Chains.begin(), it->Chains.end(), chain) == it->Chains.end()) {
                    it->Chains.push_back(chain);
                }
                return it->Id;
            }
            if (Greater(it->Keys, key)) break;
        }
        Nodes.insert(it, Node{id, key, {chain}});
        return id;
    }

    void Detach(uint32_t id, int32_t chain)
    {
        auto node = std::find_if(Nodes.begin(), Nodes.end(), [id](const Node& n) { return n.Id == id; });
        node->Chains.erase(std::find(node->Chains.begin(), node->Chains.end(), chain));
        if (node->Chains.empty()) Nodes.erase(node);
    }
};

bool SameDouble(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

void ExpectSameAsPlainScan(const CNetwork& network, const PlainScanNetwork& reference)
{
    ASSERT_EQ(network.NodeCount(), reference.Nodes.size());
    ASSERT_EQ(network.Nodes().size(), reference.Nodes.size());
    auto expected = reference.Nodes.begin();
    size_t position = 0;
    for (const auto& node : network.Nodes()) {
        ASSERT_EQ(node->ID(), expected->Id) << "node " << position;
        EXPECT_EQ(node->Name(), expected->Keys.Name);
        EXPECT_TRUE(SameDouble(node->X(), expected->Keys.X));
        EXPECT_TRUE(SameDouble(node->Y(), expected->Keys.Y));
        std::vector<int32_t> chains;
        for (uint32_t i = 0; i < node->ChainCount(); ++i) chains.push_back(node->GetChain(static_cast<int32_t>(i))->ID());
        ASSERT_EQ(chains, expected->Chains) << "node " << position;
        ++expected;
        ++position;
    }
    ASSERT_EQ(network.ChainCount(), reference.Ends.size());
    for (const auto& chain : network.Chains()) {
        const auto& ends = reference.Ends.at(chain->ID());
        EXPECT_EQ(chain->From()->ID(), ends.first) << "chain " << chain->ID();
        EXPECT_EQ(chain->To()->ID(), ends.second) << "chain " << chain->ID();
    }
}

// Keys with many ties and duplicates: few distinct X, Y and names, odd bytes, the empty name,
// signed zeros, some loops and a few NaN coordinates.
class KeyMaker {
public:
    explicit KeyMaker(uint32_t seed)
        : Random_(seed)
    {
        for (int i = 0; i < 1500; ++i) {
            switch (i % 4) {
            case 0: Names_.push_back("N" + std::to_string(i)); break;
            case 1: Names_.push_back(std::to_string(i * 7919 % 1000)); break;
            case 2: Names_.push_back(std::string(1, static_cast<char>(0xC0 + i % 50)) + std::to_string(i % 37)); break;
            default: Names_.push_back(std::string(static_cast<size_t>(i % 9), 'Z')); break;
            }
        }
    }

    Key Next()
    {
        Key key{Names_[Pick(Names_.size())], 0.25 * static_cast<double>(Pick(200)), static_cast<double>(Pick(20))};
        if (key.X == 0.0 && Pick(2) == 0) key.X = -0.0;
        if (Pick(500) == 0) key.X = NaN;
        if (Pick(500) == 0) key.Y = NaN;
        if (Pick(100) == 0) {
            // Rare names, often first seen without X, so that later namesakes meet NaN nodes.
            key.Name = "R" + std::to_string(Pick(30));
            if (Pick(2) == 0) key.X = NaN;
        }
        return key;
    }

    bool Loop() { return Pick(20) == 0; }
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(Random_); }

private:
    std::mt19937 Random_;
    std::vector<std::string> Names_;
};

// Feeds the same random chains to the network and to the reference.
struct TopologyAgainstPlainScan {
    TopologyAgainstPlainScan(uint32_t mode, uint32_t seed) : Keys(seed) { SetMode(mode); }

    void SetMode(uint32_t mode)
    {
        Network.SetKeyMode(static_cast<NetworkKeyMode>(mode));
        Reference.Mode = mode;
    }

    void AddChains(int count)
    {
        for (int i = 0; i < count; ++i) {
            const Key from = Keys.Next();
            const Key to = Keys.Loop() ? from : Keys.Next();
            auto chain = MakeChain(MakeNode(from.Name, from.X, from.Y), MakeNode(to.Name, to.X, to.Y));
            Reference.Connect(chain->ID(), chain->From()->ID(), from, chain->To()->ID(), to);
            Live.push_back(chain.get());
            Network.AddChain(std::move(chain));
        }
        Network.BuildTopology();
    }

    void RemoveChains(int count)
    {
        for (int i = 0; i < count && !Live.empty(); ++i) {
            const size_t victim = Keys.Pick(Live.size());
            Reference.Remove(Live[victim]->ID());
            ASSERT_TRUE(Network.RemoveChain(Live[victim]));
            Live.erase(Live.begin() + static_cast<std::ptrdiff_t>(victim));
        }
    }

    KeyMaker Keys;
    CNetwork Network;
    PlainScanNetwork Reference;
    std::vector<CNetworkChain*> Live;
};

class TopologyRandomKeysTest : public testing::TestWithParam<uint32_t> {};

// Over 10,000 insertions (2 per chain, 1 per loop) in two topology passes, with chains removed
// in between.
TEST_P(TopologyRandomKeysTest, NodeListEqualsPlainScanFromTheHead)
{
    TopologyAgainstPlainScan run(GetParam(), 20240 + GetParam());
    run.AddChains(2600);
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsPlainScan(run.Network, run.Reference));
    run.RemoveChains(300);
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsPlainScan(run.Network, run.Reference));
    run.AddChains(2600);
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsPlainScan(run.Network, run.Reference));
}

INSTANTIATE_TEST_SUITE_P(KeyModes, TopologyRandomKeysTest, testing::Values(0u, 1u, 2u, 3u));

// After a mode change the list no longer has the order of its new mode; insertion must still
// do what a scan of that list does.
class TopologyModeChangeTest : public testing::TestWithParam<std::pair<uint32_t, uint32_t>> {};

TEST_P(TopologyModeChangeTest, LaterPassFollowsPlainScanOfTheExistingList)
{
    const auto [first, second] = GetParam();
    TopologyAgainstPlainScan run(first, 77 + first * 4 + second);
    run.AddChains(800);
    run.SetMode(second);
    run.AddChains(800);
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsPlainScan(run.Network, run.Reference));
}

INSTANTIATE_TEST_SUITE_P(ModePairs, TopologyModeChangeTest,
                         testing::Values(std::pair{0u, 1u}, std::pair{3u, 1u}, std::pair{1u, 3u}, std::pair{2u, 0u},
                                         std::pair{1u, 2u}));

} // namespace
} // namespace tessaro
