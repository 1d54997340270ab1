#include "tests/cli/CliRunner.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <filesystem>
#include <sstream>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string Flights = std::string(TESSARO_SOURCE_DIR) + "/examples/us_flights/us_flights.flt";

double Cost(const std::string& out)
{
    const size_t at = out.find("Cost: ");
    return at == std::string::npos ? -1.0 : std::stod(out.substr(at + 6));
}

TEST(GraphCommand, WritesTheRealFlightTableForGraphvizAndPajek)
{
    CTempDir folder;
    const CommandResult result =
        RunCli("graph " + Flights + " --pajek " + folder.File("f.net") + " --graphviz " + folder.File("f.gv"), folder);
    ASSERT_EQ(result.Exit, 0) << result.Err;
    EXPECT_THAT(result.Out, StartsWith("Nodes: 305\nChains: 5366\n"));

    // Graphviz's own parser counts the nodes and edges (gc prints "nodes edges name (file)").
    const CommandResult counted = RunCli("", folder, "gc -n -e " + folder.File("f.gv") + " #");
    std::istringstream counts(counted.Out);
    int nodes = 0;
    int edges = 0;
    counts >> nodes >> edges;
    EXPECT_EQ(nodes, 305);
    EXPECT_EQ(edges, 5366);

    const std::vector<std::string> pajek = Lines(ReadText(folder.File("f.net")));
    ASSERT_GT(pajek.size(), 306u);
    EXPECT_EQ(pajek[0], "*Vertices 305");
    EXPECT_EQ(pajek[306], "*Edges");
    EXPECT_EQ(pajek.size(), 307u + 5366u);
}

TEST(GraphCommand, NeverWritesOverItsInput)
{
    CTempDir folder;
    const std::string input = folder.File("f.flt");
    std::filesystem::copy_file(Flights, input);
    std::filesystem::create_symlink(input, folder.File("link.net"));
    const std::vector<unsigned char> before = ReadBytes(input);
    for (const std::string& target : {input, folder.File("link.net"), folder.File("./../") +
                                                                          std::filesystem::path(folder.Path()).filename().string() + "/f.flt"}) {
        const CommandResult result = RunCli("graph " + input + " --pajek " + target, folder);
        EXPECT_EQ(result.Exit, 1) << target;
        EXPECT_THAT(result.Err, HasSubstr("would overwrite the input file")) << target;
    }
    EXPECT_EQ(ReadBytes(input), before);
    EXPECT_NE(RunCli("graph " + input, folder).Exit, 0) << "no output asked for";
}

// The ends are found by name in any case; that every exact mode finds the cheapest route is the
// searches' own test.
TEST(RouteCommand, ListsTheFlightRouteByNameAndRefusesAnUnknownEnd)
{
    CTempDir folder;
    const CommandResult candidates = RunCli("route " + Flights + " --from ord --to SFO", folder);
    ASSERT_EQ(candidates.Exit, 0) << candidates.Err;
    EXPECT_THAT(Lines(candidates.Out).front(), StartsWith("1. ORD "));
    EXPECT_THAT(candidates.Out, HasSubstr(". SFO ("));
    EXPECT_GT(Cost(candidates.Out), 0.0);
    EXPECT_THAT(candidates.Out, HasSubstr("Candidate list maximum: "));
    EXPECT_THAT(candidates.Out, HasSubstr("Search time: "));
    // --mode reaches the search: the scan finds the same cost.
    EXPECT_DOUBLE_EQ(Cost(RunCli("route " + Flights + " --from ORD --to SFO --mode 1", folder).Out), Cost(candidates.Out));

    const CommandResult unknown = RunCli("route " + Flights + " --from ORD --to XYZZY", folder);
    EXPECT_EQ(unknown.Exit, 1);
    EXPECT_THAT(unknown.Err, HasSubstr("No node is named \"XYZZY\""));
}

// Three roads from (0,0) to (2,0): straight (length 2), and over (1,1) (length 2.83); the
// table's TIME field makes the straight road the slow one. A text field gives no costs (they
// would all read as 0), nor does a numeric one with a value missing: each is refused, the first
// listing the numeric fields there are.
TEST(RouteCommand, TakesItsCostsFromLengthsOrFromANumericFieldWithEveryValue)
{
    CTempDir folder;
    const std::vector<TestShape> roads{{{0}, {0, 2}, {0, 0}}, {{0}, {0, 1}, {0, 1}}, {{0}, {1, 2}, {1, 0}}};
    const std::string shp = WriteShapefile(folder.File("roads"), SHPT_ARC, roads);
    WriteTable(folder.File("roads.dbf"), {{"NAME", 'C', 10, 0}, {"TIME", 'N', 10, 2}, {"LANES", 'N', 4, 0}},
               {{std::string("a"), 9.0, 2.0}, {std::string("b"), 1.0, TestCell{}}, {std::string("c"), 1.5, 1.0}});
    const std::string ends = " --from-xy 0,0 --to-xy 2,0";

    const CommandResult byLength = RunCli("route " + shp + " --from-xy -0.1,0 --to-xy 2.2,0.1", folder);
    ASSERT_EQ(byLength.Exit, 0) << byLength.Err;
    EXPECT_NEAR(Cost(byLength.Out), 2.0, 1e-9);
    EXPECT_EQ(Lines(byLength.Out).size(), 5u); // two nodes, cost, candidates, time

    const CommandResult byTime = RunCli("route " + shp + ends + " --weights time", folder);
    ASSERT_EQ(byTime.Exit, 0) << byTime.Err;
    EXPECT_NEAR(Cost(byTime.Out), 2.5, 1e-9);
    EXPECT_THAT(Lines(byTime.Out)[1], ::testing::EndsWith(" (1.0000, 1.0000)"));

    const CommandResult noField = RunCli("route " + shp + ends + " --weights SPEED", folder);
    EXPECT_EQ(noField.Exit, 1);
    EXPECT_THAT(noField.Err, HasSubstr("SPEED"));
    const CommandResult text = RunCli("route " + shp + ends + " --weights name", folder);
    EXPECT_EQ(text.Exit, 1);
    EXPECT_THAT(text.Err, HasSubstr("The field NAME of " + folder.File("roads.dbf") +
                                    " is not numeric; the numeric fields are LANES, TIME."));
    EXPECT_EQ(text.Out, "");
    const CommandResult missing = RunCli("route " + shp + ends + " --weights LANES", folder);
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_THAT(missing.Err, HasSubstr("is missing at record 2"));
}

} // namespace
} // namespace tessaro::test
