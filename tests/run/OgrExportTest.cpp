// Exports through GDAL/OGR read back with OGR: every feature with every attribute of the
// input, its coordinate system, the deformed geometry of the shapefile set, the three measure
// fields, and no output landing on an input.
#include "run/CartogramJob.h"

#include "platform/RecordingUserInterface.h"
#include "tests/run/OgrFixtures.h"
#include "tests/support/TempDir.h"

#include <gdal_priv.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <filesystem>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Closer {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

Dataset OpenRead(const std::string& path)
{
    GDALAllRegister();
    // GDAL's notes on the example's multi-part records are no test output.
    CPLSetErrorHandler(CPLQuietErrorHandler);
    return Dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
}

// A shapefile gives a single-part record back as a polygon, a GeoPackage as a multipolygon.
double AreaOf(const OGRGeometry& geometry)
{
    return wkbFlatten(geometry.getGeometryType()) == wkbPolygon ? geometry.toPolygon()->get_Area()
                                                                 : geometry.toMultiPolygon()->get_Area();
}

class OgrExportTest : public ::testing::Test {
protected:
    const CartogramRunSummary& Run(const std::string& input, const std::string& outputFolder,
                                   std::optional<OgrExportFormat> format,
                                   CCartogramJob::InputReader reader = CCartogramJob::InputReader::Shapefile)
    {
        Job = ThreeRoundJob(input, reader, Folder.File(outputFolder));
        Job->ExportFormat = format;
        return Job->Run();
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    std::unique_ptr<CCartogramJob> Job;
};

struct ExportCase {
    const char* Name;
    OgrExportFormat Format;
    const char* File;  // the last round's file in the output folder
    const char* Layer; // its layer
};

class OgrExportFormatTest : public OgrExportTest, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(OgrExportFormatTest, KeepsEveryAttributeTheCoordinateSystemAndTheDeformedGeometry)
{
    const std::string input = StatesExample() + ".shp";
    const CartogramRunSummary plain = Run(input, "plain", std::nullopt);
    ASSERT_EQ(plain.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(plain);
    const CartogramRunSummary& summary = Run(input, "ogr", GetParam().Format);
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(summary);
    EXPECT_EQ(summary.ExportFailures, 0) << AllMessages(summary);

    const Dataset source = OpenRead(input);
    const Dataset output = OpenRead(Folder.File(std::string("ogr/") + GetParam().File));
    ASSERT_TRUE(source && output);
    OGRLayer& in = *source->GetLayer(0);
    OGRLayer* out = output->GetLayerByName(GetParam().Layer);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(out->GetFeatureCount(), in.GetFeatureCount());
    ASSERT_NE(out->GetSpatialRef(), nullptr);
    EXPECT_TRUE(out->GetSpatialRef()->IsSame(in.GetSpatialRef()));

    // The geometry, written as the deformed shapefile of the same run would be, copied into a
    // shapefile through OGR so that both are read by shapelib alike.
    const std::string copy = Folder.File("copy.shp");
    {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
        const Dataset target(driver->Create(copy.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        OGRLayer* layer = target->CreateLayer("copy", nullptr, wkbPolygon, nullptr);
        out->ResetReading();
        for (const auto& feature : *out) {
            OGRFeature shape(layer->GetLayerDefn());
            shape.SetGeometry(feature->GetGeometryRef());
            ASSERT_EQ(layer->CreateFeature(&shape), OGRERR_NONE);
        }
    }
    EXPECT_LE(LargestRelativeDifference(SortedRings(Folder.File("plain/us_states_2.shp")), SortedRings(copy)), 1e-9);

    // Every attribute as the input has it; the shares and errors from the written geometry.
    double desiredTotal = 0.0;
    double areaTotal = 0.0;
    for (const auto& feature : *out)
        areaTotal += AreaOf(*feature->GetGeometryRef());
    in.ResetReading();
    out->ResetReading();
    const int fields = in.GetLayerDefn()->GetFieldCount();
    for (const auto& original : in) {
        OGRFeatureUniquePtr written(out->GetNextFeature());
        ASSERT_TRUE(written);
        for (int i = 0; i < fields; ++i)
            EXPECT_STREQ(written->GetFieldAsString(i), original->GetFieldAsString(i)) << original->GetFieldAsString(0);
        const double desired = written->GetFieldAsDouble("DES_SHARE");
        const double share = written->GetFieldAsDouble("AREA_SHARE");
        desiredTotal += desired;
        EXPECT_NEAR(share, AreaOf(*written->GetGeometryRef()) / areaTotal, 1e-9);
        EXPECT_NEAR(written->GetFieldAsDouble("REL_ERROR"), std::abs(desired - share) / (desired + share), 1e-9);
    }
    EXPECT_NEAR(desiredTotal, 1.0, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, OgrExportFormatTest,
    ::testing::Values(ExportCase{"GeoPackage", OgrExportFormat::GeoPackage, "us_states_cartogram.gpkg", "us_states_2"},
                      ExportCase{"GeoJson", OgrExportFormat::GeoJson, "us_states_2.geojson", "us_states_2"},
                      ExportCase{"Shapefile", OgrExportFormat::Shapefile, "us_states_2.shp", "us_states_2"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(OgrExportTest, AFeatureWithoutAPolygonIsWrittenAsItWas)
{
    const std::string input = Folder.File("gaps.gpkg");
    CopyWithOgr(StatesExample() + ".shp", input, "GPKG", "states", {{2, "POLYGON EMPTY"}, {5, "POINT (1 2)"}});
    const CartogramRunSummary& summary =
        Run(input, "out", OgrExportFormat::GeoPackage, CCartogramJob::InputReader::Ogr);
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed) << AllMessages(summary);
    const Dataset output = OpenRead(Folder.File("out/gaps_cartogram.gpkg"));
    ASSERT_TRUE(output);
    OGRLayer* layer = output->GetLayerByName("gaps_2");
    ASSERT_NE(layer, nullptr);
    ASSERT_EQ(layer->GetFeatureCount(), 51);
    std::vector<std::string> kinds;
    for (const auto& feature : *layer)
        if (feature->IsFieldNull(feature->GetFieldIndex("DES_SHARE")))
            kinds.push_back(std::string(feature->GetFieldAsString("NAME")) + " " +
                            (feature->GetGeometryRef() ? feature->GetGeometryRef()->exportToWkt() : "none"));
    EXPECT_THAT(kinds, ElementsAre(" POLYGON EMPTY", " POINT (1 2)"));
}

TEST_F(OgrExportTest, AnOutputThatWouldLandOnTheInputIsRefusedBeforeAnythingIsWritten)
{
    const std::string input = Folder.File("in.gpkg");
    CopyWithOgr(StatesExample() + ".shp", input, "GPKG", "states");
    const std::vector<unsigned char> before = ReadBytes(input);
    std::filesystem::create_directories(Folder.File("out"));
    std::filesystem::create_symlink(input, Folder.File("out/in_cartogram.gpkg"));
    const CartogramRunSummary& summary =
        Run(input, "out", OgrExportFormat::GeoPackage, CCartogramJob::InputReader::Ogr);
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Refused);
    EXPECT_THAT(summary.Refusal, HasSubstr("would overwrite the input file"));
    EXPECT_EQ(ReadBytes(input), before);
    EXPECT_FALSE(std::filesystem::exists(Folder.File("out/in_nfo.txt")));
}

} // namespace
} // namespace tessaro::test
