#include "geodata/OgrLayerReader.h"

#include "geodata/OgrSession.h"
#include "geodata/SizeField.h"
#include "geometry/PolygonRing.h"
#include "geometry/SimplePolygon.h"
#include "network/Network.h"

#include <ogrsf_frmts.h>

#include <memory>
#include <utility>
#include <vector>

namespace tessaro {
namespace {

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

std::vector<std::string> NamesOfLayers(GDALDataset& dataset)
{
    std::vector<std::string> names;
    for (int i = 0; i < dataset.GetLayerCount(); ++i)
        names.emplace_back(dataset.GetLayer(i)->GetName());
    return names;
}

// The ring, turned to run clockwise (outer) or anticlockwise (hole) by its signed area: a ring
// that crosses itself is turned by the area the cartogram measures, not by the turn at one
// vertex, which may lie in a lobe that runs the other way.
std::unique_ptr<CPolygonRing> RingOf(const OGRLinearRing& source, bool outer)
{
    const int n = source.getNumPoints();
    std::vector<double> xy(2 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        xy[2 * static_cast<size_t>(i)] = source.getX(i);
        xy[2 * static_cast<size_t>(i) + 1] = source.getY(i);
    }
    auto ring = std::make_unique<CPolygonRing>();
    ring->SetPoints(n, xy.data(), true);
    double area = 0.0;
    ring->AreaAndCentroid(nullptr, &area);
    if ((area < 0.0) != outer) {
        for (size_t i = 0, j = static_cast<size_t>(n) - 1; i < j; ++i, --j) {
            std::swap(xy[2 * i], xy[2 * j]);
            std::swap(xy[2 * i + 1], xy[2 * j + 1]);
        }
        ring->SetPoints(n, xy.data(), true);
    }
    return ring;
}

void AddRings(const OGRPolygon& part, CSimplePolygon& polygon)
{
    // A ring of fewer than 2 points bounds nothing and is not a ring of ours.
    if (const OGRLinearRing* outer = part.getExteriorRing(); outer != nullptr && outer->getNumPoints() >= 2)
        polygon.AddRing(RingOf(*outer, true));
    for (int i = 0; i < part.getNumInteriorRings(); ++i)
        if (const OGRLinearRing* hole = part.getInteriorRing(i); hole->getNumPoints() >= 2)
            polygon.AddRing(RingOf(*hole, false));
}

// The polygon of a polygon or multipolygon geometry (curves made linear); null for another type.
std::unique_ptr<CSimplePolygon> PolygonOf(const OGRGeometry& geometry)
{
    std::unique_ptr<OGRGeometry> linear;
    const OGRGeometry* shape = &geometry;
    if (geometry.hasCurveGeometry()) {
        linear.reset(geometry.getLinearGeometry());
        if (!linear)
            return nullptr;
        shape = linear.get();
    }
    auto polygon = std::make_unique<CSimplePolygon>();
    switch (wkbFlatten(shape->getGeometryType())) {
    case wkbPolygon:
        AddRings(*shape->toPolygon(), *polygon);
        return polygon;
    case wkbMultiPolygon:
        for (const OGRPolygon* part : *shape->toMultiPolygon())
            AddRings(*part, *polygon);
        return polygon;
    default:
        return nullptr;
    }
}

bool IsNumeric(OGRFieldType type) { return type == OFTInteger || type == OFTInteger64 || type == OFTReal; }

} // namespace

std::string LeftOutFeatureList(const OgrPolygonSource& source)
{
    constexpr size_t Named = 20;
    std::string list;
    for (size_t i = 0; i < source.LeftOut.size() && i < Named; ++i)
        list += (i == 0 ? "" : ", ") + std::string("feature ") + std::to_string(source.LeftOut[i].Feature + 1) + " (" +
                source.LeftOut[i].Why + ")";
    if (source.LeftOut.size() > Named)
        list += " and " + std::to_string(source.LeftOut.size() - Named) + " more";
    return list;
}

std::optional<std::vector<std::string>> COgrLayerReader::LayerNames(const std::string& path)
{
    const COgrSession session;
    const GdalDatasetPtr dataset = OpenVectorSource(path);
    if (!dataset)
        return std::nullopt;
    return NamesOfLayers(*dataset);
}

std::optional<std::vector<OgrLayerSummary>> COgrLayerReader::Describe(const std::string& path)
{
    const COgrSession session;
    const GdalDatasetPtr dataset = OpenVectorSource(path);
    if (!dataset)
        return std::nullopt;
    std::vector<OgrLayerSummary> layers;
    for (int i = 0; i < dataset->GetLayerCount(); ++i) {
        OGRLayer& layer = *dataset->GetLayer(i);
        OgrLayerSummary summary;
        summary.Name = layer.GetName();
        summary.GeometryType = OGRGeometryTypeToName(layer.GetGeomType());
        summary.FeatureCount = static_cast<long long>(layer.GetFeatureCount(FALSE));
        OGRFeatureDefn& fields = *layer.GetLayerDefn();
        for (int f = 0; f < fields.GetFieldCount(); ++f)
            if (IsNumeric(fields.GetFieldDefn(f)->GetType()))
                summary.NumericFields.emplace_back(fields.GetFieldDefn(f)->GetNameRef());
        layers.push_back(std::move(summary));
    }
    return layers;
}

bool COgrLayerReader::Read(const std::string& path, const std::string& layerName, const std::string& sizeField,
                           CNetwork& network)
{
    Source_ = OgrPolygonSource{};
    Problem_.clear();
    const COgrSession session;
    const GdalDatasetPtr dataset = OpenVectorSource(path);
    if (!dataset) {
        Problem_ = "Cannot open " + path + " as vector data: " + COgrSession::LastError("no reader knows it") + ".";
        return false;
    }
    const std::vector<std::string> layers = NamesOfLayers(*dataset);
    if (layerName.empty() && layers.size() != 1) {
        Problem_ = layers.empty() ? "The source " + path + " holds no layer."
                                  : "The source " + path + " holds " + std::to_string(layers.size()) +
                                        " layers (" + JoinNames(layers) + "); name the one to read.";
        return false;
    }
    OGRLayer* layer = layerName.empty() ? dataset->GetLayer(0) : dataset->GetLayerByName(layerName.c_str());
    if (layer == nullptr) {
        Problem_ = "The source " + path + " holds no layer " + layerName + "; its layers are " + JoinNames(layers) + ".";
        return false;
    }
    Source_.LayerName = layer->GetName();
    if (const OGRSpatialReference* crs = layer->GetSpatialRef()) {
        char* wkt = nullptr;
        if (crs->exportToWkt(&wkt) == OGRERR_NONE && wkt != nullptr)
            Source_.CrsWkt = wkt;
        CPLFree(wkt);
        wkt = nullptr;
        const char* const esri[] = {"FORMAT=WKT1_ESRI", nullptr};
        if (crs->exportToWkt(&wkt, esri) == OGRERR_NONE && wkt != nullptr)
            Source_.CrsEsriWkt = wkt;
        CPLFree(wkt);
        Source_.Geographic = crs->IsGeographic() != 0;
    }
    OGRFeatureDefn& fields = *layer->GetLayerDefn();
    int sizeIndex = -1;
    for (int i = 0; i < fields.GetFieldCount(); ++i) {
        const OGRFieldDefn& field = *fields.GetFieldDefn(i);
        if (!IsNumeric(field.GetType()))
            continue;
        Source_.NumericFields.emplace_back(field.GetNameRef());
        if (sizeIndex < 0 && !sizeField.empty() && SizeFieldNameMatches(field.GetNameRef(), sizeField)) {
            sizeIndex = i;
            Source_.SizeFieldName = field.GetNameRef();
        }
    }
    layer->ResetReading();
    CPLErrorReset();
    for (OGRFeatureUniquePtr feature(layer->GetNextFeature()); feature; feature.reset(layer->GetNextFeature())) {
        const size_t index = Source_.FeatureCount++;
        const OGRGeometry* geometry = feature->GetGeometryRef();
        std::unique_ptr<CSimplePolygon> polygon;
        if (geometry == nullptr)
            Source_.LeftOut.push_back({index, "no geometry"});
        else if (geometry->IsEmpty())
            Source_.LeftOut.push_back({index, "an empty geometry"});
        else if (polygon = PolygonOf(*geometry); !polygon)
            Source_.LeftOut.push_back({index, std::string("a ") + OGRGeometryTypeToName(geometry->getGeometryType()) +
                                                  " geometry"});
        if (!polygon)
            continue;
        if (!network.AddPolygon(std::move(polygon))) {
            Problem_ = "The polygon of feature " + std::to_string(index + 1) + " of " + path + " was not stored.";
            return false;
        }
        Source_.PolygonFeatures.push_back(index);
        if (sizeIndex >= 0)
            Source_.Sizes.push_back(feature->IsFieldSetAndNotNull(sizeIndex)
                                        ? std::optional<double>(feature->GetFieldAsDouble(sizeIndex))
                                        : std::nullopt);
    }
    // The loop ends at the last feature or at a feature that could not be read.
    if (CPLGetLastErrorType() >= CE_Failure) {
        Problem_ = "The layer " + Source_.LayerName + " of " + path + " could not be read whole: " +
                   COgrSession::LastError("a feature is damaged") + ".";
        return false;
    }
    return true;
}

} // namespace tessaro
