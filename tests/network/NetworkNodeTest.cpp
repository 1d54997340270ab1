#include "network/NetworkChain.h"
#include "network/NetworkNode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>

namespace tessaro {
namespace {

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

TEST(NetworkNodeTest, EveryPlacementRenumbersTheNode)
{
    CNetworkNode node;
    node.SetXY(1.5, -2.5);
    const uint32_t first = node.ID();
    EXPECT_EQ(first, CNetworkNode::LastNodeID());
    node.SetXY(3.0, 4.0);
    EXPECT_EQ(node.ID(), first + 1);
    EXPECT_FALSE(node.SetID(0));
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

TEST(NetworkNodeTest, RemoveChainByIdDetachesOnlyThatChainAndKeepsTheOrder)
{
    const double points[] = {0.0, 0.0, 1.0, 0.0};
    CNetworkChain chains[3];
    CNetworkNode node;
    for (CNetworkChain& chain : chains) {
        chain.SetPoints(2, points);
        node.AddChain(&chain, 0);
    }
    EXPECT_TRUE(node.RemoveChainByID(chains[1].ID()));
    EXPECT_FALSE(node.RemoveChainByID(chains[1].ID()));
    ASSERT_EQ(node.ChainCount(), 2u);
    EXPECT_EQ(node.GetChain(0), &chains[0]);
    EXPECT_EQ(node.GetChain(1), &chains[2]);
}

} // namespace
} // namespace tessaro
