#include "tests/run/OgrFixtures.h"

#include "run/CartogramJob.h"
#include "tests/support/ShapefileFixtures.h"

#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <stdexcept>

namespace tessaro::test {
namespace {

struct Closer {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

void Require(bool condition, const std::string& what)
{
    if (!condition)
        throw std::runtime_error(what + ": " + CPLGetLastErrorMsg());
}

void WriteExtra(OGRLayer& layer, const ExtraFeature& extra)
{
    OGRFeature feature(layer.GetLayerDefn());
    if (!extra.Wkt.empty()) {
        OGRGeometry* geometry = nullptr;
        Require(OGRGeometryFactory::createFromWkt(extra.Wkt.c_str(), nullptr, &geometry) == OGRERR_NONE,
                "WKT " + extra.Wkt);
        feature.SetGeometryDirectly(geometry);
    }
    Require(layer.CreateFeature(&feature) == OGRERR_NONE, "an extra feature");
}

} // namespace

std::string AllMessages(const CartogramRunSummary& summary)
{
    std::string text;
    for (const UserMessage& message : summary.Messages)
        text += message.Text + "\n";
    return text;
}

std::string StatesExample() { return std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states"; }

std::unique_ptr<CCartogramJob> ThreeRoundJob(const std::string& input, CCartogramJob::InputReader reader,
                                             const std::string& outputFolder)
{
    auto job = std::make_unique<CCartogramJob>();
    job->ShapefilePath = input;
    job->Reader = reader;
    job->SizeField = "POP";
    job->EqualSharesWithoutField = false;
    job->OutputFolder = outputFolder;
    std::filesystem::create_directories(outputFolder);
    job->Params.MaxSteps = 3;
    job->Params.ThreadCount = 2;
    return job;
}

void CopyWithOgr(const std::string& shapefile, const std::string& path, const std::string& driver,
                 const std::string& layer, const std::vector<ExtraFeature>& extras,
                 const std::function<void(OGRFeature&, size_t)>& edit)
{
    GDALAllRegister();
    // The shapefile reader's notes on multi-part records are no test output.
    CPLPushErrorHandler(CPLQuietErrorHandler);
    struct PopHandler {
        ~PopHandler() { CPLPopErrorHandler(); }
    } const popHandler;
    const Dataset source(GDALDataset::Open(shapefile.c_str(), GDAL_OF_VECTOR));
    Require(source != nullptr, "open " + shapefile);
    GDALDriver* writer = GetGDALDriverManager()->GetDriverByName(driver.c_str());
    Require(writer != nullptr, "driver " + driver);
    const Dataset target(writer->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    Require(target != nullptr, "create " + path);
    OGRLayer& from = *source->GetLayer(0);
    // FlatGeobuf's spatial index would store the features in its own order.
    const char* const keepOrder[] = {"SPATIAL_INDEX=NO", nullptr};
    OGRLayer* to = target->CreateLayer(layer.c_str(), from.GetSpatialRef(), wkbUnknown,
                                       driver == "FlatGeobuf" ? const_cast<char**>(keepOrder) : nullptr);
    Require(to != nullptr, "layer " + layer);
    for (int i = 0; i < from.GetLayerDefn()->GetFieldCount(); ++i)
        Require(to->CreateField(from.GetLayerDefn()->GetFieldDefn(i)) == OGRERR_NONE, "a field");
    size_t index = 0;
    for (const auto& feature : from) {
        OGRFeature copy(to->GetLayerDefn());
        copy.SetFrom(feature.get());
        if (edit)
            edit(copy, index);
        Require(to->CreateFeature(&copy) == OGRERR_NONE, "a feature");
        for (const ExtraFeature& extra : extras)
            if (extra.After == index)
                WriteExtra(*to, extra);
        ++index;
    }
}

void ReprojectWithOgr(const std::string& source, const std::string& path, const std::string& driver,
                      const std::string& crs)
{
    GDALAllRegister();
    GDALDatasetH input = GDALOpenEx(source.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    Require(input != nullptr, "open " + source);
    const char* arguments[] = {"-f", driver.c_str(), "-t_srs", crs.c_str(), nullptr};
    GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(const_cast<char**>(arguments), nullptr);
    int failed = 0;
    GDALDatasetH output = GDALVectorTranslate(path.c_str(), nullptr, 1, &input, options, &failed);
    GDALVectorTranslateOptionsFree(options);
    GDALClose(input);
    Require(output != nullptr && failed == 0, "translate " + source);
    GDALClose(output);
}

std::vector<std::vector<std::vector<double>>> SortedRings(const std::string& shp)
{
    std::vector<std::vector<std::vector<double>>> polygons;
    for (const ShapelibShape& shape : ReadWithShapelib(shp)) {
        auto& rings = polygons.emplace_back();
        for (size_t part = 0; part < shape.PartStarts.size(); ++part) {
            const size_t end = part + 1 < shape.PartStarts.size() ? static_cast<size_t>(shape.PartStarts[part + 1])
                                                                   : shape.X.size();
            auto& ring = rings.emplace_back();
            for (auto i = static_cast<size_t>(shape.PartStarts[part]); i < end; ++i)
                ring.insert(ring.end(), {shape.X[i], shape.Y[i]});
        }
        std::sort(rings.begin(), rings.end());
    }
    return polygons;
}

double LargestRelativeDifference(const std::vector<std::vector<std::vector<double>>>& a,
                                 const std::vector<std::vector<std::vector<double>>>& b)
{
    constexpr double Different = std::numeric_limits<double>::infinity();
    if (a.size() != b.size())
        return Different;
    double largest = 0.0;
    for (size_t p = 0; p < a.size(); ++p) {
        if (a[p].size() != b[p].size())
            return Different;
        for (size_t r = 0; r < a[p].size(); ++r) {
            if (a[p][r].size() != b[p][r].size())
                return Different;
            for (size_t k = 0; k < a[p][r].size(); ++k)
                largest = std::max(largest, std::abs(a[p][r][k] - b[p][r][k]) / std::max(1.0, std::abs(a[p][r][k])));
        }
    }
    return largest;
}

} // namespace tessaro::test
