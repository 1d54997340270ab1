// A run made in another coordinate system: the example in degrees, reprojected to the Albers
// system it was drawn in, deforms as the Albers original does, and every layer it writes (the
// map and the layer moved with it) comes back in degrees; the reprojections that cannot be made
// are refused before anything is written.
#include "run/CartogramJob.h"

#include "geodata/MapProjection.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/InputFiles.h"
#include "platform/RecordingUserInterface.h"
#include "run/RoundExporters.h"
#include "tests/run/OgrFixtures.h"
#include "tests/support/PolygonFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <filesystem>
#include <memory>

namespace tessaro::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::string ExamplesFolder = std::string(TESSARO_SOURCE_DIR) + "/examples/";

// The example's own system, NAD83 / Conus Albers, by its EPSG code.
constexpr const char* Albers = "EPSG:5070";

struct CrsReleaser {
    void operator()(OGRSpatialReference* crs) const { crs->Release(); }
};
using CrsPtr = std::unique_ptr<OGRSpatialReference, CrsReleaser>;

struct TransformationDeleter {
    void operator()(OGRCoordinateTransformation* transformation) const
    {
        OGRCoordinateTransformation::DestroyCT(transformation);
    }
};

// Appends every vertex of a point, line or polygon geometry, collections included.
void AppendVertices(const OGRGeometry& geometry, std::vector<double>& xy)
{
    const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
    if (type == wkbPoint) {
        xy.insert(xy.end(), {geometry.toPoint()->getX(), geometry.toPoint()->getY()});
    } else if (type == wkbLineString || type == wkbLinearRing) {
        for (const OGRPoint& point : *geometry.toSimpleCurve())
            xy.insert(xy.end(), {point.getX(), point.getY()});
    } else if (type == wkbPolygon) {
        for (const OGRLinearRing* ring : *geometry.toPolygon())
            AppendVertices(*ring, xy);
    } else if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection)) {
        for (const OGRGeometry* part : *geometry.toGeometryCollection())
            AppendVertices(*part, xy);
    }
}

// A layer as OGR reads it back: its coordinate system and its vertices in feature order,
// moved into `into` when given (x easting or longitude, y northing or latitude).
struct ReadBack {
    CrsPtr Crs;
    std::vector<double> Xy;
};

ReadBack ReadLayer(const std::string& path, const std::string& layerName, const OGRSpatialReference* into = nullptr)
{
    GDALAllRegister();
    ReadBack read;
    std::unique_ptr<GDALDataset> dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
    if (!dataset) {
        ADD_FAILURE() << "OGR cannot open " << path;
        return read;
    }
    OGRLayer* layer = layerName.empty() ? dataset->GetLayer(0) : dataset->GetLayerByName(layerName.c_str());
    if (layer == nullptr || layer->GetSpatialRef() == nullptr) {
        ADD_FAILURE() << path << " has no layer " << layerName << " with a coordinate system";
        return read;
    }
    read.Crs.reset(layer->GetSpatialRef()->Clone());
    read.Crs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation, TransformationDeleter> transformation;
    if (into != nullptr)
        transformation.reset(OGRCreateCoordinateTransformation(read.Crs.get(), into));
    for (OGRFeatureUniquePtr feature(layer->GetNextFeature()); feature; feature.reset(layer->GetNextFeature())) {
        OGRGeometry* geometry = feature->GetGeometryRef();
        if (geometry == nullptr)
            continue;
        if (transformation && geometry->transform(transformation.get()) != OGRERR_NONE)
            ADD_FAILURE() << "a geometry of " << path << " cannot be moved";
        AppendVertices(*geometry, read.Xy);
    }
    return read;
}

CrsPtr CrsOf(const std::string& definition)
{
    CrsPtr crs(new OGRSpatialReference());
    crs->SetFromUserInput(definition.c_str());
    crs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return crs;
}

// The same system, whatever axis order each definition states (a .prj has none).
bool SameSystem(const OGRSpatialReference& a, const OGRSpatialReference& b)
{
    const char* const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES",
                                   "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
    return a.IsSame(&b, options) != 0;
}

double LargestDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    if (a.size() != b.size() || a.empty())
        return std::numeric_limits<double>::infinity();
    double largest = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max(largest, std::fabs(a[i] - b[i]));
    return largest;
}

class ProjectionRunTest : public ::testing::Test {
protected:
    std::unique_ptr<CCartogramJob> MakeJob(const std::string& input, CCartogramJob::InputReader reader,
                                           const std::string& output)
    {
        return ThreeRoundJob(input, reader, Folder.File(output));
    }

    // A copy of the example's shapefile members without its projection file.
    std::string BareStates()
    {
        fs::create_directories(Folder.File("bare"));
        for (const char* ending : {".shp", ".shx", ".dbf"})
            fs::copy_file(ExamplesFolder + "us_states/us_states" + std::string(ending),
                          Folder.File("bare/us_states" + std::string(ending)));
        return Folder.File("bare/us_states.shp");
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
};

struct ProjectedCase {
    const char* Name;
    const char* Driver; // the degrees copy's format, and the ending of its file
    const char* Ending;
    CCartogramJob::InputReader Reader;
    std::optional<OgrExportFormat> Format;
};

class ProjectedRun : public ProjectionRunTest, public ::testing::WithParamInterface<ProjectedCase> {
protected:
    // The round's layer (suffix empty) or companion, as a path and a layer name.
    static std::pair<std::string, std::string> Output(const std::string& folder, int round, const std::string& suffix)
    {
        const std::string name = "us_states_" + std::to_string(round) + suffix;
        if (GetParam().Format == OgrExportFormat::GeoPackage)
            return {folder + "/us_states_cartogram.gpkg", name};
        return {folder + "/" + name + ".shp", ""};
    }
};

TEST_P(ProjectedRun, DeformsAsTheMapReprojectedByOgrAndWritesBackInDegrees)
{
    const ProjectedCase& c = GetParam();
    // The map and the airports in degrees, and the same reprojected to Albers by OGR, under
    // the names of the originals so that the outputs carry the same names. The run in Albers
    // is the reference: a cartogram's rounds magnify a difference in the input's last bits,
    // so it must start from the coordinates the reprojection gives, not from the original's.
    for (const char* folder : {"degrees", "albers"})
        fs::create_directories(Folder.File(folder));
    const std::string states = Folder.File("degrees/us_states") + c.Ending;
    const std::string airports = Folder.File("degrees/us_airports.geojson");
    ReprojectWithOgr(ExamplesFolder + "us_states/us_states.shp", states, c.Driver, "EPSG:4326");
    ReprojectWithOgr(ExamplesFolder + "us_airports/us_airports.shp", airports, "GeoJSON", "EPSG:4326");
    const std::string albersStates = Folder.File("albers/us_states") + c.Ending;
    const std::string albersAirports = Folder.File("albers/us_airports.geojson");
    ReprojectWithOgr(states, albersStates, c.Driver, Albers);
    ReprojectWithOgr(airports, albersAirports, "GeoJSON", Albers);

    const auto albers = MakeJob(albersStates, c.Reader, "albers-run");
    albers->ExportFormat = c.Format;
    albers->Companions = {{albersAirports, ""}};
    const CartogramRunSummary& reference = albers->Run();
    ASSERT_EQ(reference.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(reference);

    const auto projected = MakeJob(states, c.Reader, "projected-run");
    projected->ExportFormat = c.Format;
    projected->Companions = {{airports, ""}};
    projected->ProjectTo = Albers;
    const CartogramRunSummary& summary = projected->Run();
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(summary);
    EXPECT_EQ(summary.ExportFailures, 0) << AllMessages(summary);
    // The lower 48 states lie inside the area the Conus Albers system is made for.
    EXPECT_THAT(AllMessages(summary), ::testing::Not(HasSubstr("outside the area")));
    EXPECT_THAT(AllMessages(summary), ::testing::Not(HasSubstr("equal-area")));
    // The run measured the map in Albers, not in square degrees.
    ASSERT_TRUE(summary.LastMeasures && reference.LastMeasures);
    EXPECT_NEAR(summary.LastMeasures->WeightedMeanError, reference.LastMeasures->WeightedMeanError, 1e-9);
    ASSERT_EQ(summary.RoundsTransformed, reference.RoundsTransformed);
    const int last = summary.RoundsTransformed - 1;

    const CrsPtr degrees = CrsOf("EPSG:4326");
    for (const std::string suffix : {"", "_us_airports"}) {
        SCOPED_TRACE("layer suffix '" + suffix + "'");
        const auto [referencePath, referenceLayer] = Output(Folder.File("albers-run"), last, suffix);
        const auto [path, layer] = Output(Folder.File("projected-run"), last, suffix);
        const ReadBack expected = ReadLayer(referencePath, referenceLayer);
        ASSERT_TRUE(expected.Crs);
        // Written in the input's degrees ...
        const ReadBack written = ReadLayer(path, layer);
        ASSERT_TRUE(written.Crs);
        EXPECT_TRUE(SameSystem(*written.Crs, *degrees));
        for (size_t i = 0; i < written.Xy.size(); i += 2)
            ASSERT_TRUE(std::fabs(written.Xy[i]) <= 180.0 && std::fabs(written.Xy[i + 1]) <= 90.0)
                << "vertex " << i / 2 << " is no longitude and latitude";
        // ... at the places the run in Albers puts them, to a micrometre.
        const ReadBack moved = ReadLayer(path, layer, expected.Crs.get());
        EXPECT_LT(LargestDifference(moved.Xy, expected.Xy), 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, ProjectedRun,
                         ::testing::Values(ProjectedCase{"ShapefileSet", "ESRI Shapefile", ".shp",
                                                         CCartogramJob::InputReader::Shapefile, std::nullopt},
                                           ProjectedCase{"GeoPackage", "GPKG", ".gpkg", CCartogramJob::InputReader::Ogr,
                                                         OgrExportFormat::GeoPackage},
                                           ProjectedCase{"GeoJsonToShapefiles", "GeoJSON", ".geojson",
                                                         CCartogramJob::InputReader::Ogr, OgrExportFormat::Shapefile}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct RefusalCase {
    const char* Name;
    // Empty: the example; "bare": the example without its .prj; "bare.gpkg", "bare.fgb": a
    // layer made from that.
    const char* Input;
    const char* Target;
    const char* Says;
};

class ProjectionRefusal : public ProjectionRunTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ProjectionRefusal, IsRefusedAndWritesNothing)
{
    const RefusalCase& c = GetParam();
    const std::string input = c.Input;
    std::string path = ExamplesFolder + "us_states/us_states.shp";
    auto reader = CCartogramJob::InputReader::Shapefile;
    if (input == "bare") {
        path = BareStates();
    } else if (input != "") {
        path = Folder.File(input);
        CopyWithOgr(BareStates(), path, input == "bare.gpkg" ? "GPKG" : "FlatGeobuf", "states");
        reader = CCartogramJob::InputReader::Ogr;
    }
    const auto job = MakeJob(path, reader, "out");
    job->ProjectTo = c.Target;
    const CartogramRunSummary& summary = job->Run();
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Refused);
    EXPECT_THAT(summary.Refusal, HasSubstr(c.Says));
    EXPECT_TRUE(fs::is_empty(Folder.File("out")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProjectionRefusal,
    ::testing::Values(RefusalCase{"AShapefileWithoutProjectionFile", "bare", "EPSG:5070",
                                  "has no projection file (" /* the .prj it looked for */},
                      RefusalCase{"ALayerWithoutCoordinateSystem", "bare.fgb", "EPSG:5070",
                                  "has no coordinate system, so it cannot be reprojected to EPSG:5070"},
                      // A GeoPackage stores "none" as a system of its own that no transformation may use.
                      RefusalCase{"AGeoPackageLayerOfUndefinedSystem", "bare.gpkg", "EPSG:5070",
                                  "The map's coordinate system is not defined (Undefined geographic SRS)"},
                      RefusalCase{"AnUnknownCode", "", "EPSG:999999",
                                  "EPSG:999999 to make the cartogram in is unknown"},
                      RefusalCase{"NoEpsgCode", "", "+proj=aea", "is not of the form EPSG:n"},
                      RefusalCase{"AGeographicTarget", "", "EPSG:4326", "is not a projected one"}),
    [](const auto& info) { return std::string(info.param.Name); });

// A system made for another part of the world is taken, with a warning that names its area.
TEST_F(ProjectionRunTest, ASystemMadeForAnotherRegionIsNamedWithItsArea)
{
    const auto job = MakeJob(ExamplesFolder + "us_states/us_states.shp", CCartogramJob::InputReader::Shapefile, "out");
    job->ProjectTo = "EPSG:27700"; // the British National Grid
    const CartogramRunSummary& summary = job->Run();
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(summary);
    EXPECT_THAT(AllMessages(summary), HasSubstr("The map lies outside the area EPSG:27700 (OSGB36 / British National "
                                                "Grid) is made for, United Kingdom (UK)"));
    // A transverse Mercator does not keep areas: far from its area it holds the whole map, and
    // the run says what that means for the cartogram.
    EXPECT_THAT(AllMessages(summary), HasSubstr("reach outside it (record 1 (Alabama), "));
    EXPECT_THAT(AllMessages(summary), HasSubstr(") hold 100.0 % of the map's area in EPSG:27700"));
    EXPECT_THAT(AllMessages(summary), HasSubstr("EPSG:27700 (OSGB36 / British National Grid) is not an equal-area "
                                                "projection"));
}

// A layer the projection cannot take back whole (the cartogram pushed a point past the pole of a
// conic system) is written in the run's system, with that system's projection file and the
// input's table, and the user is told: the result is not lost and no failure is counted. The
// geometries are the run's own, to the bit.
TEST_F(ProjectionRunTest, ALayerThatCannotBeTakenBackIsWrittenInTheRunsSystem)
{
    fs::create_directories(Folder.File("in"));
    fs::copy_file(ExamplesFolder + "us_states/us_states.dbf", Folder.File("in/map.dbf"));
    std::string problem;
    const std::unique_ptr<CMapProjection> projection = CMapProjection::Open("EPSG:4269", Albers, problem);
    ASSERT_TRUE(projection) << problem;
    CPolygonLayer layer;
    layer.Add(MakePolygon({{0, 0, 0, 1e5, 1e5, 1e5, 1e5, 0, 0, 0}}));
    layer.Add(MakePolygon({{0, 1e5, 0, 9e6, 1e5, 1e5, 0, 1e5}})); // (0, 9e6) lies beyond the north pole
    CNetwork network;
    const CExtent box = layer.BoundingBox();
    network.SetPolygonLayer(std::move(layer));
    network.SetExtent(box, true);
    CShpFileTranslator translator(network);
    CNetworkEmfWriter pictures(network);
    CInputFiles inputs;
    inputs.AddShapefile(Folder.File("in/map.shp"));
    const CRunFileNames names(Folder.File("in/map.shp"), Folder.File("out"));
    fs::create_directories(Folder.File("out"));
    const RoundExportSources sources{names, network,      translator, pictures,        inputs,
                                     false, std::nullopt, nullptr,    projection.get()};
    RoundExportResult result;
    for (const auto& exporter : MakeRoundExporters(sources))
        exporter->Export(3, result);

    EXPECT_EQ(result.Failures, 0);
    const std::vector<std::string> messages = Ui->Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], HasSubstr("point 2 of polygon 2 cannot be moved back from EPSG:5070. It is written in "
                                       "EPSG:5070 (NAD83 / Conus Albers), the system the run made it in, instead."));
    EXPECT_TRUE(fs::exists(Folder.File("out/map_3.dbf")));
    const ReadBack written = ReadLayer(Folder.File("out/map_3.shp"), "");
    ASSERT_TRUE(written.Crs);
    EXPECT_TRUE(SameSystem(*written.Crs, *CrsOf(Albers)));
    const std::vector<double> expected{0, 0, 0, 1e5, 1e5, 1e5, 1e5, 0, 0, 0, 0, 1e5, 0, 9e6, 1e5, 1e5, 0, 1e5};
    std::vector<double> sorted = written.Xy, wanted = expected;
    std::sort(sorted.begin(), sorted.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(sorted, wanted);
}

} // namespace
} // namespace tessaro::test
