// Inputs read through GDAL/OGR: the same map as GeoPackage, GeoJSON and FlatGeobuf deforms to
// the same coordinates as the shapefile, features without a polygon are left out and named by
// their place in the source, and the size field follows the shapefile's rules.
#include "run/CartogramJob.h"

#include "platform/RecordingUserInterface.h"
#include "tests/run/OgrFixtures.h"
#include "tests/support/TempDir.h"

#include <gdal_priv.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>
#include <shapefil.h>

#include <filesystem>
#include <functional>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class OgrInputTest : public ::testing::Test {
protected:
    const CartogramRunSummary& Run(const std::string& input, const std::string& outputFolder,
                                   CCartogramJob::InputReader reader, const std::string& layer = {})
    {
        Job = ThreeRoundJob(input, reader, Folder.File(outputFolder));
        Job->InputLayer = layer;
        return Job->Run();
    }

    // The last shapefile the run exported.
    static std::string LastShapefile(const CartogramRunSummary& summary)
    {
        std::string last;
        for (const std::string& file : summary.WrittenFiles)
            if (std::filesystem::path(file).extension() == ".shp")
                last = file;
        return last;
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    std::unique_ptr<CCartogramJob> Job;
};

struct FormatCase {
    const char* Name;
    const char* Driver;
    const char* Ending;
    bool Anticlockwise; // outer rings turned anticlockwise, as RFC 7946 GeoJSON has them
};

// Turns every ring of a polygon or multipolygon the other way round.
void ReverseRings(OGRFeature& feature, size_t)
{
    OGRGeometry* geometry = feature.GetGeometryRef();
    if (geometry == nullptr)
        return;
    const auto reverse = [](OGRPolygon& polygon) {
        for (OGRLinearRing* ring : polygon)
            ring->reversePoints();
    };
    if (wkbFlatten(geometry->getGeometryType()) == wkbPolygon)
        reverse(*geometry->toPolygon());
    else if (wkbFlatten(geometry->getGeometryType()) == wkbMultiPolygon)
        for (OGRPolygon* part : *geometry->toMultiPolygon())
            reverse(*part);
}

class OgrFormatTest : public OgrInputTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(OgrFormatTest, DeformsToTheShapefilePathsCoordinates)
{
    const CartogramRunSummary shapefile =
        Run(StatesExample() + ".shp", "shp", CCartogramJob::InputReader::Shapefile);
    ASSERT_EQ(shapefile.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(shapefile);

    const std::string copy = Folder.File(std::string("states") + GetParam().Ending);
    CopyWithOgr(StatesExample() + ".shp", copy, GetParam().Driver, "states", {},
                GetParam().Anticlockwise ? ReverseRings : std::function<void(OGRFeature&, size_t)>());
    const CartogramRunSummary& ogr = Run(copy, "ogr", CCartogramJob::InputReader::Ogr);
    ASSERT_EQ(ogr.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(ogr);

    EXPECT_EQ(ogr.RoundsTransformed, shapefile.RoundsTransformed);
    EXPECT_EQ(ogr.SizeFieldRead, "POP");
    EXPECT_TRUE(ogr.SkippedFeatures.empty());
    EXPECT_EQ(std::filesystem::path(LastShapefile(ogr)).filename(), "states_2.shp");
    EXPECT_LE(LargestRelativeDifference(SortedRings(LastShapefile(shapefile)), SortedRings(LastShapefile(ogr))), 1e-9);
    // Both readers describe the result's polygons alike: the record, its name and its size as
    // the table holds them.
    ASSERT_EQ(shapefile.Polygons.size(), 49u);
    EXPECT_EQ(ogr.Polygons, shapefile.Polygons);
    DBFHandle table = DBFOpen((StatesExample() + ".dbf").c_str(), "rb");
    ASSERT_NE(table, nullptr);
    for (const CartogramRunSummary::PolygonRecord& polygon : shapefile.Polygons) {
        const int record = static_cast<int>(polygon.Record);
        EXPECT_EQ(polygon.Name, DBFReadStringAttribute(table, record, DBFGetFieldIndex(table, "NAME")));
        EXPECT_EQ(polygon.Size, DBFReadDoubleAttribute(table, record, DBFGetFieldIndex(table, "POP")));
    }
    DBFClose(table);
    // The projection written beside the export is the layer's coordinate system.
    const std::string prj = ReadText(Folder.File("ogr/states_2.prj"));
    EXPECT_THAT(prj, HasSubstr("Albers"));
    OGRSpatialReference written;
    OGRSpatialReference input;
    ASSERT_EQ(written.importFromWkt(prj.c_str()), OGRERR_NONE);
    ASSERT_EQ(input.importFromWkt(ReadText(StatesExample() + ".prj").c_str()), OGRERR_NONE);
    EXPECT_TRUE(written.IsSame(&input));
}

INSTANTIATE_TEST_SUITE_P(Formats, OgrFormatTest,
                         ::testing::Values(FormatCase{"GeoPackage", "GPKG", ".gpkg", false},
                                           FormatCase{"GeoJson", "GeoJSON", ".geojson", false},
                                           FormatCase{"GeoJsonAnticlockwise", "GeoJSON", ".geojson", true},
                                           FormatCase{"FlatGeobuf", "FlatGeobuf", ".fgb", false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(OgrInputTest, FeaturesWithoutAPolygonAreLeftOutAndNamedByTheirPlaceInTheSource)
{
    const std::string copy = Folder.File("gaps.gpkg");
    // Features 4 (empty), 8 (a point) and 9 (no geometry) counted from 1; the 11th state
    // (feature 14) has size 0.
    CopyWithOgr(StatesExample() + ".shp", copy, "GPKG", "states",
                {{2, "POLYGON EMPTY"}, {5, "POINT (0 0)"}, {5, ""}}, [](OGRFeature& feature, size_t record) {
                    if (record == 10)
                        feature.SetField("POP", 0);
                });
    const CartogramRunSummary& summary = Run(copy, "out", CCartogramJob::InputReader::Ogr);
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(summary);
    EXPECT_THAT(summary.SkippedFeatures, ElementsAre(4u, 8u, 9u));
    EXPECT_THAT(summary.ZeroSizeRecords, ElementsAre(14u));
    const std::string messages = AllMessages(summary);
    EXPECT_THAT(messages, HasSubstr("feature 4 (an empty geometry), feature 8 (a Point geometry), feature 9 (no "
                                    "geometry); they are left out"));
    EXPECT_THAT(messages, HasSubstr("is 0 at record 14"));
    EXPECT_EQ(SortedRings(LastShapefile(summary)).size(), 49u);
}

// A one-layer source in a geographic coordinate system: two unit squares in EPSG:4326.
void WriteDegreesSource(const std::string& path)
{
    GDALAllRegister();
    GDALDataset* dataset =
        GetGDALDriverManager()->GetDriverByName("GPKG")->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    ASSERT_NE(dataset, nullptr);
    OGRSpatialReference degrees;
    degrees.importFromEPSG(4326);
    OGRLayer* layer = dataset->CreateLayer("squares", &degrees, wkbPolygon, nullptr);
    OGRFieldDefn pop("POP", OFTReal);
    layer->CreateField(&pop);
    for (const char* wkt : {"POLYGON ((0 0,0 1,1 1,1 0,0 0))", "POLYGON ((1 0,1 1,2 1,2 0,1 0))"}) {
        OGRFeature feature(layer->GetLayerDefn());
        OGRGeometry* square = nullptr;
        OGRGeometryFactory::createFromWkt(wkt, nullptr, &square);
        feature.SetGeometryDirectly(square);
        feature.SetField("POP", 2.0);
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
    GDALClose(dataset);
}

TEST_F(OgrInputTest, AGeographicLayerIsWarnedAbout)
{
    WriteDegreesSource(Folder.File("squares.gpkg"));
    const CartogramRunSummary& summary = Run(Folder.File("squares.gpkg"), "out", CCartogramJob::InputReader::Ogr);
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(summary);
    EXPECT_THAT(AllMessages(summary), HasSubstr("of " + Folder.File("squares.gpkg") +
                                                " has geographic coordinates (degrees): areas measured in square "
                                                "degrees are not equal-area"));
}

struct RefusalCase {
    const char* Name;
    const char* Layer; // the layer asked for
    bool TwoLayers;    // a second layer "other" in the source
    int NullSizeAt;    // a record whose POP is null, or -1
    const char* Field;
    CartogramRunSummary::Outcome Result;
    const char* Says;
};

class OgrRefusalTest : public OgrInputTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(OgrRefusalTest, IsRefusedWithItsReason)
{
    const RefusalCase& c = GetParam();
    const std::string copy = Folder.File("in.gpkg");
    CopyWithOgr(StatesExample() + ".shp", copy, "GPKG", "states", {}, [&c](OGRFeature& feature, size_t record) {
        if (static_cast<int>(record) == c.NullSizeAt)
            feature.SetFieldNull(feature.GetFieldIndex("POP"));
    });
    if (c.TwoLayers) {
        GDALDataset* dataset = GDALDataset::Open(copy.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE);
        ASSERT_NE(dataset, nullptr);
        dataset->CreateLayer("other", nullptr, wkbPoint, nullptr);
        GDALClose(dataset);
    }
    Job = ThreeRoundJob(copy, CCartogramJob::InputReader::Ogr, Folder.File("out"));
    Job->InputLayer = c.Layer;
    Job->SizeField = c.Field;
    const CartogramRunSummary& summary = Job->Run();
    EXPECT_EQ(summary.Result, c.Result);
    EXPECT_THAT(AllMessages(summary), HasSubstr(c.Says));
    EXPECT_TRUE(std::filesystem::is_empty(Folder.File("out")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OgrRefusalTest,
    ::testing::Values(
        RefusalCase{"NoLayerNamedInATwoLayerSource", "", true, -1, "POP", CartogramRunSummary::Outcome::Unreadable,
                    "holds 2 layers (states, other); name the one to read."},
        RefusalCase{"AnUnknownLayer", "counties", false, -1, "POP", CartogramRunSummary::Outcome::Unreadable,
                    "holds no layer counties; its layers are states."},
        RefusalCase{"AMissingSize", "states", true, 5, "POP", CartogramRunSummary::Outcome::Refused,
                    "is missing at record 6 (an empty value"},
        RefusalCase{"NoMatchingNumericField", "", false, -1, "NAME", CartogramRunSummary::Outcome::Refused,
                    "No numeric field matches NAME in the layer states of "}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace tessaro::test
