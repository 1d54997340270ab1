// The convergence mode on a small world in an equal-area projection whose one ring was projected
// across the antimeridian without a cut, judged from the exported file: the ring is cut into its
// parts, the long real edge of the southern band is kept, and every polygon ends within 1 % of
// its size. Without a coordinate system the run cannot tell the two apart and says so.
#include "run/CartogramJob.h"

#include "tests/run/OgrFixtures.h"
#include "tests/support/BoostRecords.h"
#include "tests/support/TempDir.h"

#include <boost/geometry.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numeric>
#include <string>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A ring along the box's sides with a vertex every 5 degrees, as a real border would have.
std::string DenseBox(int west, int south, int east, int north)
{
    std::string ring;
    const auto add = [&ring](int x, int y) {
        ring += (ring.empty() ? "[" : ", [") + std::to_string(x) + ", " + std::to_string(y) + "]";
    };
    for (int x = west; x < east; x += 5)
        add(x, south);
    for (int y = south; y < north; y += 5)
        add(east, y);
    for (int x = east; x > west; x -= 5)
        add(x, north);
    for (int y = north; y >= south; y -= 5)
        add(west, y);
    return "[" + ring + "]";
}

std::string Feature(const std::string& name, int size, const std::string& ring)
{
    return R"({"type": "Feature", "properties": {"NAME": ")" + name + R"(", "POP": )" + std::to_string(size) +
           R"(}, "geometry": {"type": "Polygon", "coordinates": [)" + ring + "]}}";
}

// Twelve boxes of 60 by 30 degrees, a southern band whose edge along the pole runs from −180°
// to 180° in one step, and a box from 170° east to 170° west written the short way round.
std::string SmallWorld()
{
    std::string features;
    int k = 0;
    for (int lon = -180; lon < 180; lon += 60)
        for (int lat = -30; lat < 30; lat += 30, ++k)
            features += Feature("box" + std::to_string(k), 1 + (k * 7) % 5, DenseBox(lon, lat, lon + 60, lat + 30)) + ",";
    std::string band = "[[-180, -60], [-180, -90], [180, -90]";
    for (int lon = 180; lon >= -180; lon -= 5)
        band += ", [" + std::to_string(lon) + ", -60]";
    features += Feature("band", 2, band + "]") + ",";
    features += Feature("crossing", 1,
                        "[[170, 40], [175, 40], [180, 40], [-175, 40], [-170, 40], [-170, 60], [-175, 60], [180, 60], "
                        "[175, 60], [170, 60], [170, 40]]");
    return R"({"type": "FeatureCollection", "features": [)" + features + "]}";
}

TEST(AntimeridianRun, ARingProjectedAcrossItIsCutAndEveryPolygonReachesItsSize)
{
    CTempDir folder;
    WriteText(folder.File("world.geojson"), SmallWorld());
    const std::string world = folder.File("world.shp");
    ReprojectWithOgr(folder.File("world.geojson"), world, "ESRI Shapefile", "EPSG:8857");
    ASSERT_TRUE(std::filesystem::exists(folder.File("world.prj")));

    const auto job = ThreeRoundJob(world, CCartogramJob::InputReader::Shapefile, folder.File("out"));
    job->Params.SetConvergence();
    job->Params.ThreadCount = 2;
    const CartogramRunSummary& summary = job->Run();
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(summary);
    EXPECT_THAT(AllMessages(summary), HasSubstr("Rings of record 14 (crossing) cross the antimeridian"));
    EXPECT_THAT(AllMessages(summary), Not(HasSubstr("band) cross")));
    EXPECT_THAT(AllMessages(summary), Not(HasSubstr("spans more than half")));

    // From the file: the crossing box in two parts, every polygon within 1 % of its share.
    const std::vector<BoostRecord> records =
        ReadBoostRecords(folder.File("out/world_" + std::to_string(summary.LastRound) + ".shp"));
    ASSERT_EQ(records.size(), 14u);
    EXPECT_EQ(records[13].size(), 2u);
    std::vector<double> sizes;
    for (int k = 0; k < 12; ++k)
        sizes.push_back(1 + (k * 7) % 5);
    sizes.insert(sizes.end(), {2.0, 1.0});
    const double totalSize = std::accumulate(sizes.begin(), sizes.end(), 0.0);
    double totalArea = 0.0;
    for (const BoostRecord& record : records)
        totalArea += boost::geometry::area(record);
    for (size_t i = 0; i < records.size(); ++i) {
        const double desired = totalArea * sizes[i] / totalSize;
        EXPECT_LT(std::fabs(boost::geometry::area(records[i]) / desired - 1.0), 0.01) << "record " << i + 1;
    }

    // Without its coordinate system the map cannot be read in degrees: the wide rings are named.
    std::filesystem::remove(world.substr(0, world.size() - 4) + ".prj");
    const auto bare = ThreeRoundJob(world, CCartogramJob::InputReader::Shapefile, folder.File("bare"));
    bare->Params.SetConvergence();
    const CartogramRunSummary& guessed = bare->Run();
    EXPECT_THAT(AllMessages(guessed), HasSubstr("A ring spans more than half the map's width in record 13 (band), "
                                                "record 14 (crossing)"));
}

// Around the north pole in a polar projection, which runs on across 180°: a box across 180° is a
// real ring and stays whole, and a record split at 180° in the source, whose parts lie along each
// other there, is joined into one valid polygon instead of coming out with parts sharing edges.
TEST(AntimeridianRun, APolarMapKeepsRingsAcross180WholeAndJoinsPartsAlongEachOther)
{
    std::string features;
    int k = 0;
    for (int lon = -180; lon < 180; lon += 60, ++k)
        if (lon != 120 && lon != -180)
            features += Feature("box" + std::to_string(k), 1 + k % 3, DenseBox(lon, 50, lon + 60, 70)) + ",";
    features +=
        Feature("across", 2, "[[175, 70], [180, 70], [-175, 70], [-175, 80], [180, 80], [175, 80], [175, 70]]") + ",";
    features += R"({"type": "Feature", "properties": {"NAME": "split", "POP": 3}, "geometry": {"type": "MultiPolygon",
        "coordinates": [[)" +
                DenseBox(120, 50, 180, 70) + "], [" + DenseBox(-180, 50, -120, 70) + "]]}}";
    CTempDir folder;
    WriteText(folder.File("arctic.geojson"), R"({"type": "FeatureCollection", "features": [)" + features + "]}");
    const std::string arctic = folder.File("arctic.shp");
    ReprojectWithOgr(folder.File("arctic.geojson"), arctic, "ESRI Shapefile", "EPSG:3995");

    const auto job = ThreeRoundJob(arctic, CCartogramJob::InputReader::Shapefile, folder.File("out"));
    job->Params.SetConvergence();
    const CartogramRunSummary& summary = job->Run();
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(summary);
    EXPECT_THAT(AllMessages(summary), Not(HasSubstr("cross the antimeridian")));
    EXPECT_THAT(AllMessages(summary), HasSubstr("Parts of record 6 (split) lie along each other"));

    const std::vector<BoostRecord> records =
        ReadBoostRecords(folder.File("out/arctic_" + std::to_string(summary.LastRound) + ".shp"));
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[4].size(), 1u) << "the box across 180° stays one polygon";
    EXPECT_EQ(records[5].size(), 1u) << "the split record's parts become one";
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_TRUE(boost::geometry::is_valid(records[i])) << "record " << i + 1;
}

} // namespace
} // namespace tessaro::test
