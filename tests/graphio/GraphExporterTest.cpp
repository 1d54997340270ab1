#include "graphio/GraphExporter.h"

#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/network/NetworkTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <igraph/igraph.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace tessaro {
namespace {

using test::CTempDir;
using test::MakeChain;
using test::MakeNode;
using test::ReadText;

// 56 characters: longer than the 48 that fit a 50-wide quoted field.
const std::string LongName = "Long name of a research group at a far-away university";

struct CPlace {
    double X;
    double Y;
};

struct CLink {
    std::string From;
    std::string To;
    double Weight;
};

// Node list by name: Ada (ID 1), Bob (2), Cy (3), the long name (4). Two parallel chains
// Ada-Bob and a loop on Cy.
const std::map<std::string, CPlace> Places = {
    {"Ada", {1.5, -2.25}}, {"Bob", {0.125, 3.0}}, {"Cy", {1e6 / 3.0, 7.0}}, {LongName, {-1234.5, 0.5}}};
const std::vector<CLink> Links = {{"Ada", "Bob", 1.0},    {"Bob", "Cy", 2.5},    {"Ada", "Cy", 0.333333333},
                                  {LongName, "Ada", 4.75}, {"Cy", "Cy", 1.25}, {"Ada", "Bob", 1.0}};

void Build(CNetwork& network, const std::vector<CLink>& links)
{
    network.SetKeyMode(KeyByName);
    for (const CLink& link : links) {
        const CPlace from = Places.at(link.From);
        const CPlace to = Places.at(link.To);
        auto chain = MakeChain(MakeNode(link.From, from.X, from.Y), MakeNode(link.To, to.X, to.Y));
        chain->Attribute().SetWeightedLength(link.Weight);
        network.AddChain(std::move(chain));
    }
    network.BuildTopology();
}

// The chains as each file lists them: by node in list order, each chain seen from its end
// with the larger number, in the order the chains were attached to that node.
struct CEdge {
    int From;
    int To;
    double Weight;
};
const std::vector<CEdge> EdgesInFileOrder = {{2, 1, 1.0},         {2, 1, 1.0},  {3, 2, 2.5},
                                             {3, 1, 0.333333333}, {3, 3, 1.25}, {4, 1, 4.75}};

template <typename... Args>
std::string Printf(const char* format, Args... args)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

// The expected files, printed by the C library in the C locale from the formats of each file.
std::string ExpectedPajek()
{
    std::string text = Printf("*Vertices %d\n", 4);
    int k = 0;
    for (const auto& [name, place] : Places) {
        text += Printf(" %d %50s %16f %16f %16f\n", ++k, ("\"" + name + "\"").c_str(), place.X, place.Y, 0.0);
    }
    text += "*Edges\n";
    for (const CEdge& edge : EdgesInFileOrder) text += Printf(" %d %d %f\n", edge.From, edge.To, edge.Weight);
    return text;
}

std::string ExpectedGraphviz()
{
    std::string text = "graph COAUTHOR {\n graph [mode=\"maxent\"]\n";
    int k = 0;
    for (const auto& entry : Places) text += Printf("  %d [label=\"%s\", shape=circle];\n", ++k, entry.first.c_str());
    text += "\n";
    for (const CEdge& edge : EdgesInFileOrder) text += Printf("  %d -- %d [len=%f]\n", edge.From, edge.To, edge.Weight);
    return text + "}\n";
}

// Sets the process locale for a scope and puts "C" back, also when an assertion fails.
struct CScopedLocale {
    explicit CScopedLocale(const char* name) : Set(std::setlocale(LC_ALL, name) != nullptr) {}
    ~CScopedLocale() { std::setlocale(LC_ALL, "C"); }
    const bool Set;
};

TEST(GraphExporterTest, WritesTheCFormatsWithDecimalPointsInAnyLocale)
{
    CTempDir dir;
    const std::string pajek = ExpectedPajek();
    const std::string graphviz = ExpectedGraphviz();
    ASSERT_NE(pajek.find(" \"" + LongName + "\"     -1234.500000"), std::string::npos); // not cut
    CNetwork network;
    Build(network, Links);

    const CScopedLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.Set) << "the de_DE.UTF-8 locale is not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    CGraphExporter exporter(network);
    ASSERT_EQ(exporter.WritePajek(dir.File("g.net")), 1);
    ASSERT_EQ(exporter.WriteGraphviz(dir.File("g.gv")), 1);
    EXPECT_EQ(ReadText(dir.File("g.net")), pajek);
    EXPECT_EQ(ReadText(dir.File("g.gv")), graphviz);

    CNetwork empty;
    CGraphExporter emptyExporter(empty);
    ASSERT_EQ(emptyExporter.WritePajek(dir.File("e.net")), 1);
    ASSERT_EQ(emptyExporter.WriteGraphviz(dir.File("e.gv")), 1);
    EXPECT_EQ(ReadText(dir.File("e.net")), "*Vertices 0\n*Edges\n");
    EXPECT_EQ(ReadText(dir.File("e.gv")), "graph COAUTHOR {\n graph [mode=\"maxent\"]\n\n}\n");
}

TEST(GraphExporterTest, PajekFileReadByIgraphHasTheVerticesEdgesAndWeights)
{
    CTempDir dir;
    CNetwork network;
    Build(network, Links);
    ASSERT_EQ(CGraphExporter(network).WritePajek(dir.File("g.net")), 1);
    // The file numbers stay on the nodes: list positions 1..n.
    uint32_t k = 0;
    for (const auto& node : network.Nodes()) EXPECT_EQ(node->ID(), ++k);

    igraph_set_attribute_table(&igraph_cattribute_table);
    FILE* file = std::fopen(dir.File("g.net").c_str(), "r");
    ASSERT_NE(file, nullptr);
    igraph_t graph;
    const igraph_error_t read = igraph_read_graph_pajek(&graph, file);
    std::fclose(file);
    ASSERT_EQ(read, IGRAPH_SUCCESS);

    EXPECT_EQ(igraph_vcount(&graph), 4);
    ASSERT_EQ(igraph_ecount(&graph), 6);
    EXPECT_EQ(std::string(VAS(&graph, "id", 3)), LongName);
    EXPECT_DOUBLE_EQ(VAN(&graph, "x", 3), -1234.5);
    EXPECT_DOUBLE_EQ(VAN(&graph, "y", 0), -2.25);
    std::multiset<std::tuple<igraph_integer_t, igraph_integer_t, double>> edges;
    for (igraph_integer_t e = 0; e < igraph_ecount(&graph); ++e) {
        // igraph counts vertices from 0 and puts the smaller number first.
        edges.emplace(std::min(IGRAPH_FROM(&graph, e), IGRAPH_TO(&graph, e)) + 1,
                      std::max(IGRAPH_FROM(&graph, e), IGRAPH_TO(&graph, e)) + 1, EAN(&graph, "weight", e));
    }
    igraph_destroy(&graph);
    EXPECT_EQ(edges, (std::multiset<std::tuple<igraph_integer_t, igraph_integer_t, double>>{
                         {1, 2, 1.0}, {1, 2, 1.0}, {2, 3, 2.5}, {1, 3, 0.333333}, {3, 3, 1.25}, {1, 4, 4.75}}));
}

// Node and edge lines of dot's plain layout of a file.
std::map<std::string, int> LayOutWithDot(const std::string& input, const std::string& output)
{
    const std::string command = "dot -Tplain '" + input + "' -o '" + output + "'";
    std::map<std::string, int> counts;
    if (std::system(command.c_str()) != 0) return counts;
    std::istringstream plain(ReadText(output));
    for (std::string line; std::getline(plain, line);) ++counts[line.substr(0, line.find(' '))];
    return counts;
}

TEST(GraphExporterTest, GraphvizFileIsLaidOutByDotWithEveryNodeAndChain)
{
    CTempDir dir;
    CNetwork network;
    Build(network, Links);
    ASSERT_EQ(CGraphExporter(network).WriteGraphviz(dir.File("g.gv")), 1);
    const std::map<std::string, int> counts = LayOutWithDot(dir.File("g.gv"), dir.File("g.plain"));
    EXPECT_EQ(counts, (std::map<std::string, int>{{"graph", 1}, {"node", 4}, {"edge", 6}, {"stop", 1}}));
    EXPECT_NE(ReadText(dir.File("g.plain")).find(LongName), std::string::npos);
}

TEST(GraphExporterTest, UnwritableTargetIsReportedAndChangesNothing)
{
    CTempDir dir;
    CNetwork network;
    Build(network, Links);
    std::vector<uint32_t> ids;
    for (const auto& node : network.Nodes()) ids.push_back(node->ID());
    ASSERT_NE(ids.front(), 1u); // IDs from placing the nodes, not yet file numbers
    std::filesystem::create_directory(dir.File("folder.net"));

    CScopedRecordingUserInterface ui;
    CGraphExporter exporter(network);
    EXPECT_EQ(exporter.WritePajek(dir.File("missing/g.net")), -1);
    EXPECT_EQ(exporter.WriteGraphviz(dir.File("missing/g.gv")), -1);
    EXPECT_EQ(exporter.WritePajek(dir.File("folder.net")), -1);
    EXPECT_EQ(ui->Messages(), std::vector<std::string>(3, "Can't create or open this file for write!"));
    std::vector<uint32_t> after;
    for (const auto& node : network.Nodes()) after.push_back(node->ID());
    EXPECT_EQ(after, ids);
    EXPECT_EQ(test::FolderEntries(dir.Path()), std::vector<std::string>{"folder.net"});
}

} // namespace
} // namespace tessaro
