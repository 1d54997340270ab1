// What every command says when it fails, and how much it says when all goes well: a non-zero
// exit always comes with an error line naming the reason, also under --quiet; messages about a
// file name the file and the system's reason; --quiet leaves only errors on standard error.
#include "tests/cli/CliRunner.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/ShpBytes.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <filesystem>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;

const std::string Flights = std::string(TESSARO_SOURCE_DIR) + "/examples/us_flights/us_flights.flt";
const std::string Tube = std::string(TESSARO_SOURCE_DIR) + "/examples/london_tube/london_tube.shp";

// A folder with a sound polygon map, a line map, a flight table with one damaged line and a
// multipoint file; `F` stands for the folder in the cases below.
class ExitAndMessagesTest : public ::testing::Test {
protected:
    ExitAndMessagesTest()
    {
        WriteShapefile(Folder.File("grid"), SHPT_POLYGON, {Square(0, 0, 1), Square(1, 0, 2)});
        WriteTable(Folder.File("grid.dbf"), {{"NAME", 'C', 8, 0}}, {{std::string("a")}, {std::string("b")}});
        WriteShapefile(Folder.File("lines"), SHPT_ARC, {TestShape{{0}, {0, 1}, {0, 1}}});
        WriteShapefile(Folder.File("multi"), SHPT_MULTIPOINT, {TestShape{{0}, {0, 1}, {0, 1}}});
        WriteText(Folder.File("damaged.flt"), "ORIGIN,DEST,ORIGIN_CITY,DEST_CITY,STATES,FLIGHTS\n"
                                              "ABE,ATL,Allentown,Atlanta,PA-GA,853\n"
                                              "ABE,ATL,Allentown,Atlanta,PA-GA,-5\n");
        WriteText(Folder.File("short.cartoparam"), "-1, 1.05, 6, 9, 10, 0.01\n");
        // A part of one point in record 2.
        CShpBytes onePoint(5);
        onePoint.AddParted(5, {0}, {0, 0, 0, 1, 1, 1, 1, 0, 0, 0})
            .AddParted(5, {0, 5}, {2, 0, 2, 1, 3, 1, 3, 0, 2, 0, 9, 9});
        onePoint.Save(Folder.File("onepoint.shp"));
        std::vector<unsigned char> longer = CShpBytes(5).Bytes();
        longer.push_back(0);
        WriteBytes(Folder.File("longer.shp"), longer);
        std::filesystem::create_directory(Folder.File("taken_nfo.txt"));
        std::filesystem::copy_file(Folder.File("grid.shp"), Folder.File("taken.shp"));
    }

    std::string Expand(std::string text) const
    {
        for (size_t at = text.find('F'); at != std::string::npos; at = text.find('F', at + 1))
            if (at + 1 < text.size() && text[at + 1] == '/') {
                text.replace(at, 1, Folder.Path().string());
                at += Folder.Path().string().size();
            }
        return text;
    }

    CTempDir Folder;
};

// Each failure with its exit status and the error it must give; every one is run again under
// --quiet, where the error must still be there.
TEST_F(ExitAndMessagesTest, EveryNonZeroExitSaysWhyOnTheErrorStream)
{
    const struct {
        std::string Arguments;
        int Exit;
        std::string Error;
    } cases[] = {
        // The argument parser's own refusals all end with 2.
        {"cartogram", 2, "INPUT is required"},
        {"cartogram F/grid.shp --field POP --steps many", 2, "--steps"},
        {"cartogram F/grid.shp --field POP --threads 0", 2, "--threads"},
        // The parameter file's rule, named in words.
        {"cartogram F/grid.shp --field POP --converge --target-error 0", 2, "The target error is 0; it must be above 0."},
        {"cartogram F/grid.shp --field POP --target-error nan", 2, "The target error is not a finite number; it must be above 0."},
        {"frobnicate", 2, "A subcommand is required"},
        {"--yes --no info F/grid.shp", 2, "--no"},
        {"info", 2, "FILE is required"},
        // Commands.
        {"cartogram F/grid.dbf --field POP", 2, "must end in .shp"},
        {"cartogram F/none.shp --field POP", 2, "F/none.shp"},
        {"cartogram F/grid.shp --field POP --params F/none.cartoparam", 2, "F/none.cartoparam"},
        // GDAL's sources that are not paths are refused by kind, not as missing files.
        {"cartogram /vsizip/F/a.zip/grid.shp --field POP", 2, "is not a file or folder: virtual paths"},
        {"info PG:dbname=maps", 2, "database connections (PG:...)"},
        {"fields {\"type\":\"FeatureCollection\"}", 2, "and inline GeoJSON are not taken"},
        {"info F/none.shp", 2, "F/none.shp"},
        {"check F/none.shp", 2, "F/none.shp"},
        {"cartogram F/grid.shp --field POP --params F/short.cartoparam", 2, "does not give every value"},
        {"cartogram F/taken.shp --equal-shares", 1,
         "error: Failed to create running information file. Please check.\nF/taken_nfo.txt: Is a directory"},
        {"--no info F/lines.shp --polygons", 1, "error: The records of F/lines.shp were not read"},
        {"info F/multi.shp", 1, "error: The records of F/multi.shp were not read"},
        {"info F/longer.shp", 2,
         "error: Caution! The file may be destroied!\nF/longer.shp: its header gives a length of 100 bytes, but the "
         "file "
         "has 101 bytes."},
        {"fields F/grid.shp", 1, "error: The attribute table F/grid.dbf has no numeric field"},
        {"params --read F/short.cartoparam", 1,
         "error: The parameter file F/short.cartoparam does not give every value"},
        {"graph F/damaged.flt --pajek F/g.net", 1, "error: No graph is written"},
        {"graph " + Flights + " --pajek F/missing/g.net", 1,
         "error: Can't create or open this file for write!\nF/missing/g.net: No such file or directory"},
        {"route F/damaged.flt --from ABE --to ATL", 1, "error: No route is searched"},
        {"route " + Tube + " --from-xy 0,0 --to-xy 0,0 --weights id", 1, "error: The field id of "},
        {"--yes check F/lines.shp", 2, "is not a polygon shapefile"},
    };
    for (const auto& c : cases) {
        for (const std::string quiet : {"", "--quiet "}) {
            const std::string arguments = quiet + Expand(c.Arguments);
            SCOPED_TRACE(arguments);
            const CommandResult result = RunCli(arguments, Folder);
            EXPECT_EQ(result.Exit, c.Exit) << result.Err;
            EXPECT_THAT(result.Err, HasSubstr(Expand(c.Error)));
        }
    }
}

// The reader's refusal of a part of fewer than 2 points says which record and part it was.
TEST_F(ExitAndMessagesTest, APartTooShortIsNamedByRecordAndPart)
{
    const CommandResult result = RunCli("info " + Folder.File("onepoint.shp"), Folder);
    EXPECT_EQ(result.Exit, 0) << result.Err;
    EXPECT_THAT(result.Err,
                HasSubstr("Errors! The arc just has no more than two points!\nRecord 2, part 2 has 1 point."));
}

// --quiet leaves the results on standard output and nothing on standard error when all goes
// well: no counts, timings, progress lines or warnings of the readers.
TEST_F(ExitAndMessagesTest, QuietCommandsSayNothingButTheirResults)
{
    const std::string run = "cartogram " + Folder.File("grid.shp") + " --equal-shares --steps 2 --threads 1";
    const struct {
        std::string Arguments;
        std::string Out;
    } cases[] = {
        {"info " + Tube, "Chains:         394\n"},
        {"graph " + Flights + " --pajek " + Folder.File("f.net"), "Nodes: 305\n"},
        {"route " + Flights + " --from ORD --to SFO", "Cost: "},
        {run + " --output-dir " + Folder.File("quiet"), "Rounds transformed: 2\n"},
        {"fields " + std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp", "POP\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Arguments);
        const CommandResult loud = RunCli(c.Arguments, Folder);
        EXPECT_EQ(loud.Exit, 0) << loud.Err;
        const CommandResult quiet = RunCli("--quiet " + c.Arguments, Folder);
        EXPECT_EQ(quiet.Exit, 0) << quiet.Err;
        EXPECT_THAT(quiet.Out, HasSubstr(c.Out));
        EXPECT_EQ(quiet.Err, "");
    }
    // The option may follow the command as well.
    EXPECT_EQ(RunCli("route " + Flights + " --from ORD --to SFO --quiet", Folder).Err, "");
}

// A line file's topology pass is timed once, in the summary, not again by the reader.
TEST_F(ExitAndMessagesTest, InfoGivesOneTopologyTime)
{
    const CommandResult result = RunCli("info " + Tube, Folder);
    EXPECT_EQ(result.Exit, 0) << result.Err;
    const std::string both = result.Out + result.Err;
    EXPECT_THAT(result.Out, HasSubstr("Topology time:  "));
    EXPECT_EQ(both.find("time"), both.rfind("time")) << both;
}

} // namespace
} // namespace tessaro::test
