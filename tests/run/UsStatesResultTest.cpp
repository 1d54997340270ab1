// The cartogram of the shipped example judged from outside: the exported shapefile read back
// with shapelib, areas and overlaps computed with Boost.Geometry, and the engine's solver run on
// a layer built in memory against the job's own export.
#include "engine/CartogramFeedback.h"
#include "engine/CartogramSolver.h"
#include "engine/QuadTree.h"
#include "run/CartogramJob.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/multi_polygon.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <cmath>
#include <numeric>
#include <set>

namespace tessaro::test {
namespace {

namespace bg = boost::geometry;
using BoostPoint = bg::model::d2::point_xy<double>;
using BoostPolygon = bg::model::polygon<BoostPoint>; // clockwise and closed, as shapefiles store them
using BoostRecord = bg::model::multi_polygon<BoostPolygon>;

const std::string Example = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states";

BoostPolygon::ring_type Ring(const ShapelibShape& shape, size_t part)
{
    const size_t begin = static_cast<size_t>(shape.PartStarts[part]);
    const size_t end = part + 1 < shape.PartStarts.size() ? static_cast<size_t>(shape.PartStarts[part + 1]) : shape.X.size();
    BoostPolygon::ring_type ring;
    for (size_t i = begin; i < end; ++i)
        ring.push_back(BoostPoint(shape.X[i], shape.Y[i]));
    return ring;
}

// Clockwise rings start polygons; counter-clockwise ones are holes of the polygon before them.
BoostRecord Record(const ShapelibShape& shape)
{
    BoostRecord record;
    for (size_t part = 0; part < shape.PartStarts.size(); ++part) {
        BoostPolygon::ring_type ring = Ring(shape, part);
        if (bg::area(ring) >= 0.0 || record.empty())
            record.push_back(BoostPolygon{ring});
        else
            record.back().inners().push_back(ring);
    }
    return record;
}

std::vector<BoostRecord> Records(const std::string& shp)
{
    std::vector<BoostRecord> records;
    for (const ShapelibShape& shape : ReadWithShapelib(shp))
        records.push_back(Record(shape));
    return records;
}

std::vector<double> AreaShares(const std::vector<BoostRecord>& records)
{
    std::vector<double> areas;
    for (const BoostRecord& record : records)
        areas.push_back(bg::area(record));
    const double total = std::accumulate(areas.begin(), areas.end(), 0.0);
    for (double& area : areas)
        area /= total;
    return areas;
}

// The POP column as shares, read with shapelib.
std::vector<double> PopulationShares()
{
    DBFHandle table = DBFOpen((Example + ".dbf").c_str(), "rb");
    const int field = DBFGetFieldIndex(table, "POP");
    std::vector<double> sizes;
    for (int r = 0; r < DBFGetRecordCount(table); ++r)
        sizes.push_back(DBFReadDoubleAttribute(table, r, field));
    DBFClose(table);
    const double sum = std::accumulate(sizes.begin(), sizes.end(), 0.0);
    for (double& size : sizes)
        size /= sum;
    return sizes;
}

double DistanceToShares(const std::vector<double>& areaShares, const std::vector<double>& shares)
{
    double distance = 0.0;
    for (size_t i = 0; i < shares.size(); ++i)
        distance += std::fabs(areaShares[i] - shares[i]);
    return distance;
}

// Min x, min y, max x, max y of the outer rings' points.
struct Box {
    double MinX = 1e300, MinY = 1e300, MaxX = -1e300, MaxY = -1e300;
    void Add(const BoostRecord& record)
    {
        for (const BoostPolygon& polygon : record)
            for (const BoostPoint& p : polygon.outer()) {
                MinX = std::min(MinX, p.x());
                MinY = std::min(MinY, p.y());
                MaxX = std::max(MaxX, p.x());
                MaxY = std::max(MaxY, p.y());
            }
    }
    bool Meets(const Box& other) const
    {
        return MinX <= other.MaxX && other.MinX <= MaxX && MinY <= other.MaxY && other.MinY <= MaxY;
    }
};

Box BoxOf(const std::vector<BoostRecord>& records)
{
    Box box;
    for (const BoostRecord& record : records)
        box.Add(record);
    return box;
}

// The area two records have in common. The relate test in plain doubles can see an overlap in a
// border that two records share within rounding; a real overlap has an area.
double OverlapArea(const BoostRecord& a, const BoostRecord& b)
{
    BoostRecord common;
    bg::intersection(a, b, common);
    return std::fabs(bg::area(common)) > 1e-9 * std::min(std::fabs(bg::area(a)), std::fabs(bg::area(b)))
               ? std::fabs(bg::area(common))
               : 0.0;
}

// Pairs of valid records whose interiors overlap (touching along borders is fine).
std::set<std::pair<int32_t, int32_t>> OverlappingPairs(const std::vector<BoostRecord>& records)
{
    std::vector<Box> boxes(records.size());
    std::vector<bool> valid(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        boxes[i].Add(records[i]);
        valid[i] = bg::is_valid(records[i]);
    }
    std::set<std::pair<int32_t, int32_t>> pairs;
    for (size_t a = 0; a < records.size(); ++a)
        for (size_t b = a + 1; b < records.size(); ++b) {
            if (!valid[a] || !valid[b] || !boxes[a].Meets(boxes[b]))
                continue;
            if (bg::relate(records[a], records[b], bg::de9im::mask("T********")) && OverlapArea(records[a], records[b]) > 0.0)
                pairs.emplace(static_cast<int32_t>(a), static_cast<int32_t>(b));
        }
    return pairs;
}

class UsStatesResultTest : public ::testing::Test {
protected:
    const CartogramRunSummary& RunJob()
    {
        Job.ShapefilePath = Example + ".shp";
        Job.SizeField = "POP";
        Job.OutputFolder = Out.Path().string();
        Job.Params.ThreadCount = 2;
        return Job.Run();
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Out;
    CCartogramJob Job;
};

TEST_F(UsStatesResultTest, TheExportedMapIsCloserToTheSharesKeepsItsBoxAndReportsEveryNewOverlap)
{
    const CartogramRunSummary& summary = RunJob();
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed);
    const std::vector<BoostRecord> input = Records(Example + ".shp");
    const std::vector<BoostRecord> output = Records(Out.File("us_states_3.shp"));
    ASSERT_EQ(output.size(), input.size());

    const std::vector<double> shares = PopulationShares();
    EXPECT_LT(DistanceToShares(AreaShares(output), shares), 0.5 * DistanceToShares(AreaShares(input), shares));

    // The fit-back: the map keeps its aspect and goes back into the input's box, spanning it on
    // one axis and centred on the other.
    const Box in = BoxOf(input);
    const Box out = BoxOf(output);
    const double slack = 1e-9 * (in.MaxX - in.MinX);
    EXPECT_TRUE(std::fabs((out.MaxX - out.MinX) - (in.MaxX - in.MinX)) < slack ||
                std::fabs((out.MaxY - out.MinY) - (in.MaxY - in.MinY)) < slack);
    EXPECT_NEAR(out.MinX + out.MaxX, in.MinX + in.MaxX, 2 * slack);
    EXPECT_NEAR(out.MinY + out.MaxY, in.MinY + in.MaxY, 2 * slack);

    const auto before = OverlappingPairs(input);
    const std::set<std::pair<int32_t, int32_t>> reported(summary.NewOverlaps.begin(), summary.NewOverlaps.end());
    EXPECT_EQ(summary.OverlapsCheckedRound, 3);
    for (const auto& pair : OverlappingPairs(output))
        EXPECT_TRUE(before.contains(pair) || reported.contains(pair)) << "records " << pair.first << ", " << pair.second;
}

// Collects every frame with its geometry.
class CFrames : public CCartogramFeedback {
public:
    void OnRound(std::shared_ptr<const CRoundFrame> frame) override { Frames.push_back(std::move(frame)); }
    bool WantsGeometry() const override { return true; }
    std::vector<std::shared_ptr<const CRoundFrame>> Frames;
};

// The example's polygons as a layer, built from what shapelib reads: no file is open while the
// solver runs.
CPolygonLayer ExampleLayer()
{
    CPolygonLayer layer;
    for (const ShapelibShape& shape : ReadWithShapelib(Example + ".shp")) {
        auto polygon = std::make_unique<CSimplePolygon>();
        for (size_t part = 0; part < shape.PartStarts.size(); ++part) {
            const BoostPolygon::ring_type ring = Ring(shape, part);
            std::vector<double> points;
            for (const BoostPoint& p : ring) {
                points.push_back(p.x());
                points.push_back(p.y());
            }
            auto ours = std::make_unique<CPolygonRing>();
            ours->SetPoints(static_cast<int32_t>(ring.size()), points.data(), true);
            polygon->AddRing(std::move(ours));
        }
        layer.Add(std::move(polygon));
    }
    return layer;
}

// The extent a run starts from: the file header's box and every polygon's.
CExtent HeaderBox()
{
    SHPHandle handle = SHPOpen((Example + ".shp").c_str(), "rb");
    double min[4] = {};
    double max[4] = {};
    SHPGetInfo(handle, nullptr, nullptr, min, max);
    SHPClose(handle);
    return CExtent{min[0], min[1], max[0], max[1]};
}

TEST_F(UsStatesResultTest, TheSolverOnALayerInMemoryGivesTheJobsExportBitForBit)
{
    ASSERT_EQ(RunJob().Result, CartogramRunSummary::Outcome::Completed);

    CPolygonLayer layer = ExampleLayer();
    CExtent initialBox = HeaderBox();
    initialBox.Unite(layer.BoundingBox());
    CQuadTree tree;
    CartoParams params;
    params.ThreadCount = 2;
    CFrames frames;
    CCartogramSolver solver(layer, tree, params, PopulationShares(), initialBox);
    ASSERT_EQ(solver.Solve(nullptr, &frames).Result, CartogramSolution::Outcome::Completed);

    ASSERT_EQ(frames.Frames.size(), 4u);
    for (const auto& frame : frames.Frames) {
        const std::vector<ShapelibShape> exported =
            ReadWithShapelib(Out.File("us_states_" + std::to_string(frame->Round) + ".shp"));
        ASSERT_EQ(exported.size(), frame->Polygons.size());
        for (size_t i = 0; i < exported.size(); ++i) {
            const ShapelibShape& shape = exported[i];
            ASSERT_EQ(shape.PartStarts.size(), frame->Polygons[i].size()) << frame->Round << " " << i;
            std::vector<double> flat;
            for (size_t k = 0; k < shape.X.size(); ++k) {
                flat.push_back(shape.X[k]);
                flat.push_back(shape.Y[k]);
            }
            std::vector<double> ours;
            for (const std::vector<double>& ring : frame->Polygons[i])
                ours.insert(ours.end(), ring.begin(), ring.end());
            EXPECT_EQ(flat, ours) << "round " << frame->Round << ", record " << i;
        }
    }
}

} // namespace
} // namespace tessaro::test
