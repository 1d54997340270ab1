#include "network/NodeSearch.h"

#include "NetworkTestSupport.h"
#include "network/Network.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::AddNamedChain;

std::vector<std::string> NamesOf(const std::vector<CNetworkNode*>& nodes)
{
    std::vector<std::string> names;
    for (const CNetworkNode* node : nodes) names.push_back(node->Name());
    return names;
}

TEST(NodeSearchTest, MatchesNamesThatStartWithTheFiltersFirstLetterAndContainIt)
{
    CNetwork network; // keyed by name: the list runs BERGEN, Berlin, Bonn, Oberhausen, bern
    AddNamedChain(network, "Berlin", "Oberhausen");
    AddNamedChain(network, "Bonn", "bern");
    AddNamedChain(network, "BERGEN", "Berlin");
    network.BuildTopology();

    // Upper-cased on both sides; "Oberhausen" contains BER but starts with O, "Bonn" lacks it.
    EXPECT_EQ(NamesOf(FindNodesByName(network, "ber")), (std::vector<std::string>{"BERGEN", "Berlin", "bern"}));
    EXPECT_EQ(NamesOf(FindNodesByName(network, "ERL")), std::vector<std::string>{});
    EXPECT_EQ(NamesOf(FindNodesByName(network, "o")), (std::vector<std::string>{"Oberhausen"}));
    EXPECT_TRUE(FindNodesByName(network, "").empty());

    CNodeSearch search(network);
    ASSERT_TRUE(search.Search("bEr"));
    EXPECT_EQ(search.Entries(), (std::vector<std::string>{"BERGEN", "BERLIN", "BERN"}));
    ASSERT_TRUE(search.Select(1));
    EXPECT_EQ(search.Selected()->Name(), "Berlin");
    EXPECT_EQ(search.ResultText(), "Berlin (0x" + std::to_string(search.Selected()->ID()) + ")");
    // An empty filter leaves the dialog as it was; a new search starts over.
    EXPECT_FALSE(search.Search(""));
    EXPECT_EQ(search.Entries().size(), 3u);
    EXPECT_NE(search.Selected(), nullptr);
    ASSERT_TRUE(search.Search("bonn"));
    EXPECT_EQ(search.Entries(), std::vector<std::string>{"BONN"});
    EXPECT_EQ(search.Selected(), nullptr);
    EXPECT_EQ(search.ResultText(), "");
    EXPECT_FALSE(search.Select(1));
}

TEST(NodeSearchTest, ListsAtMostTwelveMatchesInListOrder)
{
    CNetwork network;
    for (int i = 19; i >= 10; --i) AddNamedChain(network, "stop " + std::to_string(i), "Stop " + std::to_string(i));
    network.BuildTopology();

    const std::vector<CNetworkNode*> found = FindNodesByName(network, "STOP 1");
    ASSERT_EQ(found.size(), CNodeSearch::MaxMatches);
    // "Stop 10".."Stop 19" come before "stop 10".. in byte order; the walk stops after 12.
    EXPECT_EQ(found.front()->Name(), "Stop 10");
    EXPECT_EQ(found[9]->Name(), "Stop 19");
    EXPECT_EQ(found[11]->Name(), "stop 11");
}

} // namespace
} // namespace tessaro
