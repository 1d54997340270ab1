#include "graphio/GraphExporter.h"

#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/graphio/TranslatorTestSupport.h"
#include "tests/network/NetworkTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <igraph/igraph.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

namespace tessaro {
namespace {

using test::CTempDir;
using test::ReadText;

// 56 characters: longer than the 48 that fit a 50-wide quoted field.
const std::string LongName = "Long name of a research group at a far-away university";

// Nodes by name: Ada (file number 1), Bob (2), Cy (3), the long name (4).
const std::map<std::string, std::pair<double, double>> Places = {
    {"Ada", {1.5, -2.25}}, {"Bob", {0.125, 3.0}}, {"Cy", {1e6 / 3.0, 7.0}}, {LongName, {-1234.5, 0.5}}};

// Two parallel chains Ada-Bob and a loop on Cy.
class GraphExporterTest : public testing::Test {
protected:
    GraphExporterTest()
    {
        const std::vector<std::tuple<std::string, std::string, double>> links = {
            {"Ada", "Bob", 1.0},     {"Bob", "Cy", 2.5}, {"Ada", "Cy", 0.333333333},
            {LongName, "Ada", 4.75}, {"Cy", "Cy", 1.25}, {"Ada", "Bob", 1.0}};
        Network.SetKeyMode(KeyByName);
        for (const auto& [from, to, weight] : links) {
            const auto [fromX, fromY] = Places.at(from);
            const auto [toX, toY] = Places.at(to);
            auto chain = test::MakeChain(test::MakeNode(from, fromX, fromY), test::MakeNode(to, toX, toY));
            chain->Attribute().SetWeightedLength(weight);
            Network.AddChain(std::move(chain));
        }
        Network.BuildTopology();
    }

    CTempDir Dir;
    CNetwork Network;
};

// Each chain once, from its end with the larger number, node by node in attachment order.
const std::vector<std::tuple<int, int, double>> EdgesInFileOrder = {
    {2, 1, 1.0}, {2, 1, 1.0}, {3, 2, 2.5}, {3, 1, 0.333333333}, {3, 3, 1.25}, {4, 1, 4.75}};

template <typename... Args>
std::string Printf(const char* format, Args... args)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

// The expected files, printed by the C library in the C locale.
TEST_F(GraphExporterTest, WritesTheCFormatsWithDecimalPointsInAnyLocale)
{
    std::string pajek = "*Vertices 4\n", graphviz = "graph COAUTHOR {\n graph [mode=\"maxent\"]\n";
    int k = 0;
    for (const auto& [name, place] : Places) {
        pajek += Printf(" %d %50s %16f %16f %16f\n", ++k, ("\"" + name + "\"").c_str(), place.first, place.second, 0.0);
        graphviz += Printf("  %d [label=\"%s\", shape=circle];\n", k, name.c_str());
    }
    pajek += "*Edges\n";
    graphviz += "\n";
    for (const auto& [from, to, weight] : EdgesInFileOrder) {
        pajek += Printf(" %d %d %f\n", from, to, weight);
        graphviz += Printf("  %d -- %d [len=%f]\n", from, to, weight);
    }
    ASSERT_NE(pajek.find(" \"" + LongName + "\"     -1234.500000"), std::string::npos); // not cut
    CNetwork empty;

    const test::CScopedLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.Set) << "the de_DE.UTF-8 locale is not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    ASSERT_EQ(CGraphExporter(Network).WritePajek(Dir.File("g.net")), 1);
    ASSERT_EQ(CGraphExporter(Network).WriteGraphviz(Dir.File("g.gv")), 1);
    ASSERT_EQ(CGraphExporter(empty).WritePajek(Dir.File("e.net")), 1);
    ASSERT_EQ(CGraphExporter(empty).WriteGraphviz(Dir.File("e.gv")), 1);
    EXPECT_EQ(ReadText(Dir.File("g.net")), pajek);
    EXPECT_EQ(ReadText(Dir.File("g.gv")), graphviz + "}\n");
    EXPECT_EQ(ReadText(Dir.File("e.net")), "*Vertices 0\n*Edges\n");
    EXPECT_EQ(ReadText(Dir.File("e.gv")), "graph COAUTHOR {\n graph [mode=\"maxent\"]\n\n}\n");
}

TEST_F(GraphExporterTest, PajekFileReadByIgraphHasTheVerticesEdgesAndWeights)
{
    ASSERT_EQ(CGraphExporter(Network).WritePajek(Dir.File("g.net")), 1);
    uint32_t k = 0;
    for (const auto& node : Network.Nodes())
        EXPECT_EQ(node->ID(), ++k); // the file numbers stay on the nodes

    igraph_set_attribute_table(&igraph_cattribute_table);
    FILE* file = std::fopen(Dir.File("g.net").c_str(), "r");
    ASSERT_NE(file, nullptr);
    igraph_t graph;
    const igraph_error_t read = igraph_read_graph_pajek(&graph, file);
    std::fclose(file);
    ASSERT_EQ(read, IGRAPH_SUCCESS);

    EXPECT_EQ(igraph_vcount(&graph), 4);
    EXPECT_EQ(std::string(VAS(&graph, "id", 3)), LongName);
    EXPECT_DOUBLE_EQ(VAN(&graph, "x", 3), -1234.5);
    EXPECT_DOUBLE_EQ(VAN(&graph, "y", 0), -2.25);
    std::multiset<std::tuple<igraph_integer_t, igraph_integer_t, double>> edges; // smaller number first
    for (igraph_integer_t e = 0; e < igraph_ecount(&graph); ++e)
        edges.emplace(std::min(IGRAPH_FROM(&graph, e), IGRAPH_TO(&graph, e)) + 1,
                      std::max(IGRAPH_FROM(&graph, e), IGRAPH_TO(&graph, e)) + 1, EAN(&graph, "weight", e));
    igraph_destroy(&graph);
    EXPECT_EQ(edges, (std::multiset<std::tuple<igraph_integer_t, igraph_integer_t, double>>{
                         {1, 2, 1.0}, {1, 2, 1.0}, {2, 3, 2.5}, {1, 3, 0.333333}, {3, 3, 1.25}, {1, 4, 4.75}}));
}

TEST_F(GraphExporterTest, GraphvizFileIsLaidOutByDotWithEveryNodeAndChain)
{
    ASSERT_EQ(CGraphExporter(Network).WriteGraphviz(Dir.File("g.gv")), 1);

    ASSERT_EQ(std::system(("dot -Tplain '" + Dir.File("g.gv") + "' -o '" + Dir.File("g.plain") + "'").c_str()), 0);
    std::map<std::string, int> counts;
    std::istringstream plain(ReadText(Dir.File("g.plain")));
    for (std::string line; std::getline(plain, line);)
        ++counts[line.substr(0, line.find(' '))];
    EXPECT_EQ(counts, (std::map<std::string, int>{{"graph", 1}, {"node", 4}, {"edge", 6}, {"stop", 1}}));
    EXPECT_NE(ReadText(Dir.File("g.plain")).find(LongName), std::string::npos);
}

// The text of every <text> element of an SVG picture, its character entities decoded.
std::multiset<std::string> SvgTexts(const std::string& svg)
{
    std::multiset<std::string> texts;
    for (size_t at = svg.find("<text"); at != std::string::npos; at = svg.find("<text", at + 1)) {
        const size_t open = svg.find('>', at) + 1;
        std::string text = svg.substr(open, svg.find("</text>", open) - open);
        for (const auto& [entity, character] : std::vector<std::pair<std::string, std::string>>{
                 {"&quot;", "\""}, {"&#39;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&#45;", "-"}, {"&amp;", "&"}}) {
            for (size_t e = text.find(entity); e != std::string::npos; e = text.find(entity, e + 1))
                text.replace(e, entity.size(), character);
        }
        texts.insert(text);
    }
    return texts;
}

// Names with quotes and backslashes, one crafted to close its label and add a live link: the
// Graphviz file parses (dot, gc) and draws every name as it is, with no link; igraph reads the
// Pajek file with one vertex per name, its double quotes turned into single ones.
TEST(GraphExporterNames, QuotesAndBackslashesStayInsideTheirLabels)
{
    const std::vector<std::string> names = {"O\"Brien, P.", "x\", URL=\"javascript:alert(1)", "back\\slash\\",
                                            "tab\\n \\N", "plain"};
    CNetwork network;
    network.SetKeyMode(KeyByName);
    for (size_t k = 0; k + 1 < names.size(); ++k)
        network.AddChain(
            test::MakeChain(test::MakeNode(names[k], 0.0, double(k)), test::MakeNode(names[k + 1], 1.0, double(k))));
    network.BuildTopology();
    CTempDir dir;
    ASSERT_EQ(CGraphExporter(network).WriteGraphviz(dir.File("g.gv")), 1);
    ASSERT_EQ(CGraphExporter(network).WritePajek(dir.File("g.net")), 1);

    const std::string svg = dir.File("g.svg");
    ASSERT_EQ(std::system(("dot -Tsvg '" + dir.File("g.gv") + "' -o '" + svg + "' 2>/dev/null").c_str()), 0);
    EXPECT_EQ(ReadText(svg).find("<a "), std::string::npos) << "a link was drawn";
    EXPECT_EQ(SvgTexts(ReadText(svg)), std::multiset<std::string>(names.begin(), names.end()));
    EXPECT_EQ(std::system(("gc -n '" + dir.File("g.gv") + "' >/dev/null 2>&1").c_str()), 0);

    igraph_set_attribute_table(&igraph_cattribute_table);
    FILE* file = std::fopen(dir.File("g.net").c_str(), "r");
    ASSERT_NE(file, nullptr);
    igraph_t graph;
    const igraph_error_t read = igraph_read_graph_pajek(&graph, file);
    std::fclose(file);
    ASSERT_EQ(read, IGRAPH_SUCCESS);
    std::multiset<std::string> ids;
    for (igraph_integer_t v = 0; v < igraph_vcount(&graph); ++v)
        ids.insert(VAS(&graph, "id", v));
    igraph_destroy(&graph);
    std::multiset<std::string> expected;
    for (std::string name : names) {
        std::replace(name.begin(), name.end(), '"', '\'');
        expected.insert(name);
    }
    EXPECT_EQ(ids, expected);
}

TEST_F(GraphExporterTest, UnwritableTargetIsReportedAndChangesNothing)
{
    const auto ids = [this] {
        std::vector<uint32_t> ids;
        for (const auto& node : Network.Nodes())
            ids.push_back(node->ID());
        return ids;
    };
    const std::vector<uint32_t> before = ids();
    ASSERT_NE(before.front(), 1u); // not yet file numbers
    std::filesystem::create_directory(Dir.File("folder.net"));

    CScopedRecordingUserInterface ui;
    CGraphExporter exporter(Network);
    EXPECT_EQ(exporter.WritePajek(Dir.File("missing/g.net")), -1);
    EXPECT_EQ(exporter.WriteGraphviz(Dir.File("missing/g.gv")), -1);
    EXPECT_EQ(exporter.WritePajek(Dir.File("folder.net")), -1);

    // The message keeps its words and names the file and the system's reason on its second line.
    const std::string text = "Can't create or open this file for write!\n";
    EXPECT_EQ(ui->Messages(),
              (std::vector<std::string>{text + Dir.File("missing/g.net") + ": No such file or directory.",
                                        text + Dir.File("missing/g.gv") + ": No such file or directory.",
                                        text + Dir.File("folder.net") + ": Is a directory."}));
    EXPECT_EQ(ids(), before);
    EXPECT_EQ(test::FolderEntries(Dir.Path()), std::vector<std::string>{"folder.net"});
}

} // namespace
} // namespace tessaro
