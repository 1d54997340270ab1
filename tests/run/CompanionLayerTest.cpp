// Layers moved with the map: the airports of the example stay in the state they were in, in
// the convergence mode whose map cannot fold and whose borders, redrawn between rounds, keep the
// bends an airport lies in; the map is otherwise the one made without them.

// GCC 12 sees the box Boost 1.74 grows from an inverted start as maybe uninitialised. Set before
// every include so that it covers Boost's code wherever it comes in.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "run/CartogramJob.h"

#include "platform/RecordingUserInterface.h"
#include "tests/run/OgrFixtures.h"
#include "tests/support/BoostRecords.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <boost/geometry.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace tessaro::test {
namespace {

namespace bg = boost::geometry;

const std::string Airports = std::string(TESSARO_SOURCE_DIR) + "/examples/us_airports/us_airports.shp";

std::vector<BoostPoint> Points(const std::string& shp)
{
    std::vector<BoostPoint> points;
    for (const ShapelibShape& shape : ReadWithShapelib(shp))
        points.emplace_back(shape.X.at(0), shape.Y.at(0));
    return points;
}

// The state (from 0) whose interior holds the point; -1 for none.
int StateOf(const BoostPoint& point, const std::vector<BoostRecord>& states, const std::vector<BoostBox>& boxes)
{
    for (size_t s = 0; s < states.size(); ++s)
        if (bg::covered_by(point, boxes[s]) && bg::within(point, states[s]))
            return static_cast<int>(s);
    return -1;
}

std::vector<BoostBox> Boxes(const std::vector<BoostRecord>& states)
{
    std::vector<BoostBox> boxes;
    for (const BoostRecord& state : states)
        boxes.push_back(bg::return_envelope<BoostBox>(state));
    return boxes;
}

class CompanionLayerTest : public ::testing::Test {
protected:
    const CartogramRunSummary& Run(const std::string& outputFolder, bool withAirports)
    {
        Job = std::make_unique<CCartogramJob>();
        Job->ShapefilePath = StatesExample() + ".shp";
        Job->SizeField = "POP";
        Job->OutputFolder = Folder.File(outputFolder);
        std::filesystem::create_directories(Job->OutputFolder);
        Job->Params.SetConvergence();
        Job->Params.MaxSteps = 12;
        Job->Params.ThreadCount = 2;
        if (withAirports)
            Job->Companions.push_back({Airports, ""});
        return Job->Run();
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    std::unique_ptr<CCartogramJob> Job;
};

TEST_F(CompanionLayerTest, AirportsStayInTheirStatesAndTheMapIsTheOneMadeWithoutThem)
{
    const CartogramRunSummary plain = Run("plain", false);
    ASSERT_EQ(plain.Result, CartogramRunSummary::Outcome::Completed);
    const CartogramRunSummary& summary = Run("with", true);
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed);
    EXPECT_EQ(summary.ExportFailures, 0);

    // The same map but for the bends kept around airports: every state within a tenth of a
    // percent of its area without them.
    const std::vector<BoostRecord> alone =
        ReadBoostRecords(Folder.File("plain/us_states_" + std::to_string(plain.LastRound) + ".shp"));
    const std::vector<BoostRecord> beside =
        ReadBoostRecords(Folder.File("with/us_states_" + std::to_string(summary.LastRound) + ".shp"));
    ASSERT_EQ(beside.size(), alone.size());
    for (size_t s = 0; s < alone.size(); ++s)
        EXPECT_NEAR(bg::area(beside[s]) / bg::area(alone[s]), 1.0, 1e-3) << "state " << s + 1;

    const std::string round = "us_states_" + std::to_string(summary.LastRound);
    const std::vector<BoostRecord> before = ReadBoostRecords(StatesExample() + ".shp");
    const std::vector<BoostRecord> after = ReadBoostRecords(Folder.File("with/" + round + ".shp"));
    const std::vector<BoostPoint> from = Points(Airports);
    const std::vector<BoostPoint> to = Points(Folder.File("with/" + round + "_us_airports.shp"));
    ASSERT_EQ(after.size(), before.size());
    ASSERT_EQ(to.size(), from.size());
    const std::vector<BoostBox> beforeBoxes = Boxes(before);
    const std::vector<BoostBox> afterBoxes = Boxes(after);
    int inside = 0;
    int moved = 0;
    for (size_t a = 0; a < from.size(); ++a) {
        const int state = StateOf(from[a], before, beforeBoxes);
        if (state < 0)
            continue;
        ++inside;
        moved += bg::distance(from[a], to[a]) > 1.0 ? 1 : 0;
        EXPECT_TRUE(bg::covered_by(to[a], after[static_cast<size_t>(state)]))
            << "airport " << a + 1 << " left state " << state + 1;
    }
    EXPECT_GT(inside, 1000);
    EXPECT_GT(moved, inside / 2);
    // Beyond the map (Alaska, Hawaii) the airports keep their place against the map's edge.
    EXPECT_LT(inside, static_cast<int>(from.size()));
}

TEST_F(CompanionLayerTest, ALayerInAnotherCoordinateSystemIsRefused)
{
    const std::string degrees = Folder.File("airports.geojson");
    // GeoJSON written the RFC 7946 way is in longitude and latitude.
    ReprojectWithOgr(Airports, degrees, "GeoJSON", "EPSG:4326");
    Job = std::make_unique<CCartogramJob>();
    Job->ShapefilePath = StatesExample() + ".shp";
    Job->SizeField = "POP";
    Job->OutputFolder = Folder.File("out");
    std::filesystem::create_directories(Job->OutputFolder);
    Job->Companions.push_back({degrees, ""});
    const CartogramRunSummary& summary = Job->Run();
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Refused);
    EXPECT_THAT(summary.Refusal, ::testing::HasSubstr("is in another coordinate system than the map"));
    EXPECT_TRUE(FolderEntries(Folder.File("out")).empty());
}

} // namespace
} // namespace tessaro::test
