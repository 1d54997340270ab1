// The layers moved with the map go back to the kept round of the convergence mode's keep-best.
//
// The solver's order: measurement k judges the layer after k transformations (measurement 0 the
// input), and round k then transforms it and reports measurement k's error with the round. A
// round therefore hands the companions the error of the state they are in before it moves them,
// and "kept round k" is that state: the layers as they were after k rounds, not after k + 1.
// Here every round moves the layers by the same translation of one unit in x, so the state after
// k rounds is the input shifted by k.
#include "run/CompanionRounds.h"

#include "engine/QuadTree.h"
#include "geodata/MapProjection.h"
#include "platform/InputFiles.h"
#include "platform/RecordingUserInterface.h"
#include "run/OgrRoundWriter.h"
#include "run/RunFileNames.h"
#include "tests/support/QuadTreeFixtures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <fstream>
#include <memory>

namespace tessaro::test {
namespace {

// A point and a line, in no coordinate system.
constexpr const char* Landmarks = R"({"type": "FeatureCollection", "features": [
  {"type": "Feature", "properties": {"NAME": "a"}, "geometry": {"type": "Point", "coordinates": [2.0, 3.0]}},
  {"type": "Feature", "properties": {"NAME": "b"},
   "geometry": {"type": "LineString", "coordinates": [[1.0, 1.0], [4.0, 5.0]]}}
]})";
const std::vector<double> LandmarkVertices{2.0, 3.0, 1.0, 1.0, 4.0, 5.0};

// A tree over (0,0)-(20,20) whose displaced map is the undeformed one moved one unit right.
void BuildShift(CQuadTree& tree)
{
    BuildMovedTree(tree, 20.0, [](double x, double y) { return CPoint2D{x + 1.0, y}; });
}

std::vector<double> Shifted(double dx)
{
    std::vector<double> xy = LandmarkVertices;
    for (size_t k = 0; k < xy.size(); k += 2)
        xy[k] += dx;
    return xy;
}

void ExpectVertices(const std::vector<double>& actual, const std::vector<double>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t k = 0; k < actual.size(); ++k)
        EXPECT_NEAR(actual[k], expected[k], 1e-9) << "value " << k;
}

class CompanionRoundsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(Folder.File("landmarks.geojson")) << Landmarks;
        BuildShift(Tree);
    }

    // Rounds over the landmarks; `Layer` is the layer they move.
    std::unique_ptr<CCompanionRounds> MakeRounds(bool keepBest)
    {
        std::string problem;
        std::unique_ptr<CCompanionLayer> layer = CCompanionLayer::Open(Folder.File("landmarks.geojson"), "", problem);
        EXPECT_TRUE(layer) << problem;
        if (!layer)
            return nullptr;
        Layer = layer.get();
        std::vector<std::unique_ptr<CCompanionLayer>> layers;
        layers.push_back(std::move(layer));
        return std::make_unique<CCompanionRounds>(std::move(layers), *Writer, true, keepBest);
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CQuadTree Tree;
    std::unique_ptr<COgrRoundWriter> Writer = COgrRoundWriter::ForCompanions(OgrExportFormat::GeoJson);
    CCompanionLayer* Layer = nullptr;
};

struct KeptCase {
    const char* Name;
    std::vector<double> Errors; // of measurements 0, 1, ..., each reported with its round
    int KeptRound;              // the measurement keep-best picked (lowest, the first of equals)
};

class RestoreKeptRound : public CompanionRoundsTest, public ::testing::WithParamInterface<KeptCase> {};

TEST_P(RestoreKeptRound, PutsTheLayersBackAsTheyWereWhenTheKeptRoundWasMeasured)
{
    const KeptCase& c = GetParam();
    const auto rounds = MakeRounds(true);
    ASSERT_TRUE(rounds);
    for (size_t r = 0; r < c.Errors.size(); ++r)
        rounds->AfterRound(Tree, static_cast<int>(r), c.Errors[r]);
    // The stop comes at the next measurement, after the last round moved the layers.
    ExpectVertices(Layer->Vertices(), Shifted(static_cast<double>(c.Errors.size())));
    ASSERT_TRUE(rounds->RestoreKept(c.KeptRound));
    ExpectVertices(Layer->Vertices(), Shifted(c.KeptRound));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, RestoreKeptRound,
    ::testing::Values(KeptCase{"AMiddleRound", {0.5, 0.2, 0.3}, 1},
                      // Measurement 0 judged the input: keeping it gives the layers back unmoved.
                      KeptCase{"TheInput", {0.5, 0.6, 0.7}, 0},
                      // Only a strictly lower error replaces the kept one, as in the solver.
                      KeptCase{"TheFirstOfEqualErrors", {0.5, 0.2, 0.2, 0.4}, 1},
                      KeptCase{"TheRoundBeforeTheLast", {0.5, 0.4, 0.3, 0.1, 0.6}, 3}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CompanionRoundsTest, TheKeptStateIsWhatTheResultsExportWrites)
{
    const auto rounds = MakeRounds(true);
    ASSERT_TRUE(rounds);
    for (const auto& [round, error] : {std::pair{0, 0.5}, {1, 0.2}, {2, 0.3}})
        rounds->AfterRound(Tree, round, error);
    ASSERT_TRUE(rounds->RestoreKept(1));
    const CRunFileNames names(Folder.File("map.gpkg"), Folder.File("out"), true);
    std::filesystem::create_directories(Folder.File("out"));
    std::vector<std::string> written;
    ASSERT_EQ(rounds->Export(names, 3, CInputFiles(), written), 0);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(std::filesystem::path(written[0]).filename(), "map_3_landmarks.geojson");

    std::unique_ptr<GDALDataset> read(GDALDataset::Open(written[0].c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(read);
    OGRFeatureUniquePtr point(read->GetLayer(0)->GetNextFeature());
    ASSERT_TRUE(point && point->GetGeometryRef());
    EXPECT_STREQ(point->GetFieldAsString("NAME"), "a");
    EXPECT_NEAR(point->GetGeometryRef()->toPoint()->getX(), 3.0, 1e-9);
    EXPECT_NEAR(point->GetGeometryRef()->toPoint()->getY(), 3.0, 1e-9);
}

// The convergence loop cuts each leaf along the diagonal it fixed before moving the grid: the
// layers follow that cut, as the map's own vertices do, not the one the moved corners suggest.
TEST_F(CompanionRoundsTest, TheLayersFollowTheFixedDiagonalsAsTheMapDoes)
{
    CQuadTree bent;
    BuildBentTreeWithOtherDiagonals(bent, 20.0);
    const auto rounds = MakeRounds(false);
    ASSERT_TRUE(rounds);
    rounds->AfterRound(bent, 0, 0.5);
    ExpectVertices(Layer->Vertices(), MovedAsTheMap(bent, LandmarkVertices));
}

// A round that was not the kept one, or a run without keep-best, has no state to go back to:
// the layers stay where the last round left them.
TEST_F(CompanionRoundsTest, AStateNotKeptIsNotRestored)
{
    for (const bool keepBest : {true, false}) {
        SCOPED_TRACE(keepBest ? "keep-best" : "without keep-best");
        const auto rounds = MakeRounds(keepBest);
        ASSERT_TRUE(rounds);
        for (const auto& [round, error] : {std::pair{0, 0.5}, {1, 0.2}, {2, 0.3}})
            rounds->AfterRound(Tree, round, error);
        // -1 is the solver's "no kept round", which no state answers to.
        for (const int notKept : {0, 2, -1})
            EXPECT_FALSE(rounds->RestoreKept(notKept)) << "round " << notKept;
        EXPECT_EQ(rounds->RestoreKept(1), keepBest);
        ExpectVertices(Layer->Vertices(), Shifted(keepBest ? 1.0 : 3.0));
    }
}

// A layer moved where its projection cannot take it back (past the pole of a conic system) is
// written in the run's system, labelled so, and the user is told; no failure, nothing lost, and
// its vertices stay the run's for the rounds after.
TEST_F(CompanionRoundsTest, ALayerThatCannotBeTakenBackIsWrittenInTheRunsSystem)
{
    const auto rounds = MakeRounds(false);
    ASSERT_TRUE(rounds);
    std::string problem;
    const std::unique_ptr<CMapProjection> projection = CMapProjection::Open("EPSG:4269", "EPSG:5070", problem);
    ASSERT_TRUE(projection) << problem;
    rounds->WriteBackThrough(projection.get());
    const std::vector<double> run{0.0, 9e6, 0.0, 0.0, 1e5, 1e5}; // (0, 9e6) lies beyond the north pole
    Layer->SetVertices(run);
    const CRunFileNames names(Folder.File("map.gpkg"), Folder.File("out"), true);
    std::filesystem::create_directories(Folder.File("out"));
    std::vector<std::string> written;
    ASSERT_EQ(rounds->Export(names, 2, CInputFiles(), written), 0);
    ASSERT_EQ(written.size(), 1u);
    ASSERT_EQ(Ui->Messages().size(), 1u);
    EXPECT_NE(Ui->Messages()[0].find("its vertex 1 cannot be moved back from EPSG:5070. It is written in EPSG:5070 "
                                     "(NAD83 / Conus Albers)"),
              std::string::npos)
        << Ui->Messages()[0];
    ExpectVertices(Layer->Vertices(), run);

    std::unique_ptr<GDALDataset> read(GDALDataset::Open(written[0].c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(read);
    const OGRSpatialReference* crs = read->GetLayer(0)->GetSpatialRef();
    ASSERT_NE(crs, nullptr);
    EXPECT_STREQ(crs->GetAuthorityCode(nullptr), "5070");
    OGRFeatureUniquePtr point(read->GetLayer(0)->GetNextFeature());
    ASSERT_TRUE(point && point->GetGeometryRef());
    EXPECT_EQ(point->GetGeometryRef()->toPoint()->getY(), 9e6);
}

} // namespace
} // namespace tessaro::test
