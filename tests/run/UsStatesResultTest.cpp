// The cartogram of the shipped example judged from outside: the exported shapefile read back
// with shapelib, areas and overlaps computed with Boost.Geometry, and the engine's solver run on
// a layer built in memory against the job's own export.

// GCC 12 sees the box Boost 1.74 grows from an inverted start inside the intersection of two
// multi-polygons as maybe uninitialised; it is assigned before use. Set before every include so
// that it covers Boost's code wherever it comes in.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "engine/CartogramFeedback.h"
#include "engine/CartogramSolver.h"
#include "engine/QuadTree.h"
#include "run/CartogramJob.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/BoostRecords.h"
#include "tests/support/PolygonFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <boost/geometry.hpp>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <cmath>
#include <set>
#include <span>

namespace tessaro::test {
namespace {

namespace bg = boost::geometry;
using Pairs = std::set<std::pair<int32_t, int32_t>>;

const std::string Example = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states";

// The parts of a shape as flat x, y pairs.
std::vector<std::vector<double>> Rings(const ShapelibShape& shape)
{
    std::vector<std::vector<double>> rings;
    for (size_t part = 0; part < shape.PartStarts.size(); ++part) {
        const size_t end = part + 1 < shape.PartStarts.size() ? static_cast<size_t>(shape.PartStarts[part + 1]) : shape.X.size();
        std::vector<double>& ring = rings.emplace_back();
        for (auto i = static_cast<size_t>(shape.PartStarts[part]); i < end; ++i)
            ring.insert(ring.end(), {shape.X[i], shape.Y[i]});
    }
    return rings;
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
    return Shares(sizes);
}

// How far the records' shares of the total area are from the wanted shares: the sum of the
// differences.
double DistanceToShares(const std::vector<BoostRecord>& records, const std::vector<double>& shares)
{
    std::vector<double> areas;
    for (const BoostRecord& record : records)
        areas.push_back(bg::area(record));
    areas = Shares(areas);
    double distance = 0.0;
    for (size_t i = 0; i < shares.size(); ++i)
        distance += std::fabs(areas[i] - shares[i]);
    return distance;
}

// The box of the outer rings' points.
BoostBox BoxOf(std::span<const BoostRecord> records)
{
    BoostBox box = bg::make_inverse<BoostBox>();
    for (const BoostRecord& record : records)
        for (const BoostPolygon& polygon : record)
            for (const BoostPoint& point : polygon.outer())
                bg::expand(box, point);
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
Pairs OverlappingPairs(const std::vector<BoostRecord>& records)
{
    std::vector<BoostBox> boxes;
    std::vector<bool> valid;
    for (const BoostRecord& record : records) {
        boxes.push_back(BoxOf({&record, 1}));
        valid.push_back(bg::is_valid(record));
    }
    Pairs pairs;
    for (size_t a = 0; a < records.size(); ++a)
        for (size_t b = a + 1; b < records.size(); ++b)
            if (valid[a] && valid[b] && bg::intersects(boxes[a], boxes[b]) &&
                bg::relate(records[a], records[b], bg::de9im::mask("T********")) && OverlapArea(records[a], records[b]) > 0.0)
                pairs.emplace(static_cast<int32_t>(a), static_cast<int32_t>(b));
    return pairs;
}

// One run of the example at the default parameters serves every test of the suite.
class UsStatesResultTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CScopedRecordingUserInterface ui;
        Out = std::make_unique<CTempDir>();
        Job = std::make_unique<CCartogramJob>();
        Job->ShapefilePath = Example + ".shp";
        Job->SizeField = "POP";
        Job->OutputFolder = Out->Path().string();
        Job->Params.ThreadCount = 2;
        Job->Run();
    }
    static void TearDownTestSuite()
    {
        Job.reset();
        Out.reset();
    }
    void SetUp() override { ASSERT_EQ(Job->Summary.Result, CartogramRunSummary::Outcome::Completed); }

    static inline std::unique_ptr<CTempDir> Out;
    static inline std::unique_ptr<CCartogramJob> Job;
};

TEST_F(UsStatesResultTest, TheExportedMapIsCloserToTheSharesKeepsItsBoxAndReportsEveryNewOverlap)
{
    const std::vector<BoostRecord> input = ReadBoostRecords(Example + ".shp");
    const std::vector<BoostRecord> output = ReadBoostRecords(Out->File("us_states_3.shp"));
    ASSERT_EQ(output.size(), input.size());
    const std::vector<double> shares = PopulationShares();
    EXPECT_LT(DistanceToShares(output, shares), 0.5 * DistanceToShares(input, shares));

    // The fit-back: the map keeps its aspect and goes back into the input's box, spanning it on
    // one axis and centred on the other.
    const BoostBox in = BoxOf(input), out = BoxOf(output);
    const auto width = [](const BoostBox& box) { return box.max_corner().x() - box.min_corner().x(); };
    const auto height = [](const BoostBox& box) { return box.max_corner().y() - box.min_corner().y(); };
    const double slack = 1e-9 * width(in);
    EXPECT_TRUE(std::fabs(width(out) - width(in)) < slack || std::fabs(height(out) - height(in)) < slack);
    EXPECT_NEAR(out.min_corner().x() + out.max_corner().x(), in.min_corner().x() + in.max_corner().x(), 2 * slack);
    EXPECT_NEAR(out.min_corner().y() + out.max_corner().y(), in.min_corner().y() + in.max_corner().y(), 2 * slack);

    const Pairs before = OverlappingPairs(input);
    const Pairs reported(Job->Summary.NewOverlaps.begin(), Job->Summary.NewOverlaps.end());
    EXPECT_EQ(Job->Summary.OverlapsCheckedRound, 3);
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

TEST_F(UsStatesResultTest, TheSolverOnALayerInMemoryGivesTheJobsExportBitForBit)
{
    // The example's polygons as shapelib reads them: no file is open while the solver runs.
    CPolygonLayer layer;
    for (const ShapelibShape& shape : ReadWithShapelib(Example + ".shp"))
        layer.Add(MakePolygon(Rings(shape)));
    // A run starts from the file header's box united with every polygon's.
    SHPHandle handle = SHPOpen((Example + ".shp").c_str(), "rb");
    double min[4] = {};
    double max[4] = {};
    SHPGetInfo(handle, nullptr, nullptr, min, max);
    SHPClose(handle);
    CExtent initialBox{min[0], min[1], max[0], max[1]};
    initialBox.Unite(layer.BoundingBox());

    CQuadTree tree;
    CartoParams params;
    params.ThreadCount = 2;
    CFrames frames;
    CCartogramSolver solver(layer, tree, params, PopulationShares(), initialBox);
    ASSERT_EQ(solver.Solve(nullptr, &frames).Result, CartogramSolution::Outcome::Completed);
    ASSERT_EQ(frames.Frames.size(), 4u);
    for (const auto& frame : frames.Frames) {
        const std::vector<ShapelibShape> exported = ReadWithShapelib(Out->File("us_states_" + std::to_string(frame->Round) + ".shp"));
        ASSERT_EQ(exported.size(), frame->Polygons.size());
        for (size_t i = 0; i < exported.size(); ++i)
            EXPECT_EQ(Rings(exported[i]), frame->Polygons[i]) << "round " << frame->Round << ", record " << i;
    }
}

// The convergence mode on the example, judged from its exported file alone: within 0.1 % on
// the area-weighted mean and 1 % for every state, every ring as valid as in the input, no new
// overlap, and every pair of neighbours still sharing its border.
TEST(UsStatesConvergence, TheResultMeetsItsAimsAndKeepsEveryNeighbour)
{
    CScopedRecordingUserInterface ui;
    CTempDir out;
    CCartogramJob job;
    job.ShapefilePath = Example + ".shp";
    job.SizeField = "POP";
    job.OutputFolder = out.Path().string();
    job.Params.SetConvergence();
    job.Params.ThreadCount = 2;
    const CartogramRunSummary& summary = job.Run();
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed);
    const std::vector<BoostRecord> input = ReadBoostRecords(Example + ".shp");
    const std::vector<BoostRecord> output = ReadBoostRecords(out.File("us_states_" + std::to_string(summary.LastRound) + ".shp"));
    ASSERT_EQ(output.size(), input.size());

    const std::vector<double> shares = PopulationShares();
    EXPECT_LT(WeightedAreaError(output, shares), 0.001);
    double total = 0.0;
    for (const BoostRecord& record : output)
        total += bg::area(record);
    for (size_t i = 0; i < output.size(); ++i)
        EXPECT_LT(std::fabs(bg::area(output[i]) / (shares[i] * total) - 1.0), 0.01) << "record " << i;

    for (size_t i = 0; i < output.size(); ++i)
        EXPECT_TRUE(!bg::is_valid(input[i]) || bg::is_valid(output[i])) << "record " << i;
    const Pairs before = OverlappingPairs(input);
    for (const auto& pair : OverlappingPairs(output))
        EXPECT_TRUE(before.contains(pair)) << "records " << pair.first << ", " << pair.second;
    int neighbours = 0;
    for (size_t a = 0; a < input.size(); ++a)
        for (size_t b = a + 1; b < input.size(); ++b)
            if (bg::intersects(input[a], input[b])) {
                ++neighbours;
                EXPECT_TRUE(bg::intersects(output[a], output[b])) << "records " << a << ", " << b;
            }
    EXPECT_GT(neighbours, 100); // the 48 states and DC share about a hundred borders
}

} // namespace
} // namespace tessaro::test
