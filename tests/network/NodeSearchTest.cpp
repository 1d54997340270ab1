#include "network/NodeSearch.h"

#include "NetworkTestSupport.h"
#include "network/Network.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaro {
namespace {

using Names = std::vector<std::string>;

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
