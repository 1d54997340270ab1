#include "geodata/OgrLayerReader.h"

#include "geodata/OgrRing.h"
#include "geodata/OgrSession.h"
#include "geodata/SizeField.h"
#include "geometry/PolygonRing.h"
#include "geometry/SimplePolygon.h"
#include "network/Network.h"

#include <cpl_conv.h>
#include <ogrsf_frmts.h>

#include <filesystem>
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

// How a feature's polygons came to be read.
enum class PartsFound {
    AsStored,  // each polygon's holes inside its shell
    Regrouped, // a hole outside its shell: the rings sorted into the parts they are
    Unsortable // a hole outside its shell, and rings that cannot be sorted into parts
};

void AddRings(const OGRPolygon& part, CSimplePolygon& polygon)
{
    // A ring of fewer than 2 points bounds nothing and is not a ring of ours.
    if (const OGRLinearRing* outer = part.getExteriorRing(); outer != nullptr && outer->getNumPoints() >= 2)
        polygon.AddRing(RingFromOgr(*outer, true));
    for (int i = 0; i < part.getNumInteriorRings(); ++i)
        if (const OGRLinearRing* hole = part.getInteriorRing(i); hole->getNumPoints() >= 2)
            polygon.AddRing(RingFromOgr(*hole, false));
}

// Whether a point of the ring lies outside `shell`, neither inside it nor on its boundary.
bool PointOutside(const OGRLinearRing& shell, const OGRLinearRing& ring, int index)
{
    OGRPoint point;
    ring.getPoint(index, &point);
    return shell.isPointInRing(&point, FALSE) == 0 && shell.isPointOnRingBoundary(&point, FALSE) == 0;
}

// Whether a hole of `part` lies outside its shell: a record of several parts that its format
// (GML, a ring list without roles) stored as one polygon whose later rings are its other parts.
// Its box, its first point or its middle point gives such a hole away.
bool HasHoleOutsideShell(const OGRPolygon& part)
{
    const OGRLinearRing* shell = part.getExteriorRing();
    if (shell == nullptr || shell->getNumPoints() < 4)
        return false;
    OGREnvelope shellBox;
    shell->getEnvelope(&shellBox);
    for (int i = 0; i < part.getNumInteriorRings(); ++i) {
        const OGRLinearRing& hole = *part.getInteriorRing(i);
        if (hole.getNumPoints() < 4)
            continue;
        OGREnvelope holeBox;
        hole.getEnvelope(&holeBox);
        if (!shellBox.Contains(holeBox) || PointOutside(*shell, hole, 0) ||
            PointOutside(*shell, hole, hole.getNumPoints() / 2))
            return true;
    }
    return false;
}

// The rings of `part` sorted afresh into polygons by which ring lies inside which, as OGR sorts
// a shapefile's rings; null when the rings cannot be sorted so (crossing rings).
std::unique_ptr<OGRGeometry> RingsAsParts(const OGRPolygon& part)
{
    std::vector<OGRGeometry*> pieces; // organizePolygons takes them over
    for (const OGRLinearRing* ring : part) {
        auto piece = std::make_unique<OGRPolygon>();
        piece->addRingDirectly(std::make_unique<OGRLinearRing>(*ring).release());
        pieces.push_back(piece.release());
    }
    int valid = FALSE;
    std::unique_ptr<OGRGeometry> sorted(
        OGRGeometryFactory::organizePolygons(pieces.data(), static_cast<int>(pieces.size()), &valid, nullptr));
    if (valid == FALSE || !sorted)
        return nullptr;
    // Sorted by one point of each ring, a ring that crosses another may still stand as its hole.
    if (wkbFlatten(sorted->getGeometryType()) == wkbPolygon)
        return HasHoleOutsideShell(*sorted->toPolygon()) ? nullptr : std::move(sorted);
    if (wkbFlatten(sorted->getGeometryType()) != wkbMultiPolygon)
        return nullptr;
    const OGRMultiPolygon& parts = *sorted->toMultiPolygon();
    for (int i = 0; i < parts.getNumGeometries(); ++i) {
        const OGRPolygon& piece = *parts.getGeometryRef(i);
        if (HasHoleOutsideShell(piece))
            return nullptr;
        // Parts that overlap are rings that cross, not parts.
        for (int j = i + 1; j < parts.getNumGeometries(); ++j)
            if (piece.Overlaps(parts.getGeometryRef(j)))
                return nullptr;
    }
    return sorted;
}

// Adds one polygon of a geometry, sorting its rings into the parts they are when a hole lies
// outside its shell; false when they cannot be sorted.
bool AddPart(const OGRPolygon& part, CSimplePolygon& polygon, PartsFound& found)
{
    if (!HasHoleOutsideShell(part)) {
        AddRings(part, polygon);
        return true;
    }
    const std::unique_ptr<OGRGeometry> sorted = RingsAsParts(part);
    if (!sorted)
        return false;
    found = PartsFound::Regrouped;
    if (wkbFlatten(sorted->getGeometryType()) == wkbPolygon) {
        AddRings(*sorted->toPolygon(), polygon);
        return true;
    }
    for (const OGRPolygon* piece : *sorted->toMultiPolygon())
        AddRings(*piece, polygon);
    return true;
}

// The polygon of a polygon or multipolygon geometry (curves made linear); null for another type
// (`found` then says whether it was a polygon whose rings could not be sorted into parts).
std::unique_ptr<CSimplePolygon> PolygonOf(const OGRGeometry& geometry, PartsFound& found)
{
    found = PartsFound::AsStored;
    std::unique_ptr<OGRGeometry> linear;
    const OGRGeometry* shape = &geometry;
    if (geometry.hasCurveGeometry()) {
        linear.reset(geometry.getLinearGeometry());
        if (!linear)
            return nullptr;
        shape = linear.get();
    }
    auto polygon = std::make_unique<CSimplePolygon>();
    bool sorted = true;
    switch (wkbFlatten(shape->getGeometryType())) {
    case wkbPolygon:
        sorted = AddPart(*shape->toPolygon(), *polygon, found);
        break;
    case wkbMultiPolygon:
        for (const OGRPolygon* part : *shape->toMultiPolygon())
            sorted = sorted && AddPart(*part, *polygon, found);
        break;
    default:
        return nullptr;
    }
    if (!sorted) {
        found = PartsFound::Unsortable;
        return nullptr;
    }
    return polygon;
}

bool IsNumeric(OGRFieldType type) { return type == OFTInteger || type == OFTInteger64 || type == OFTReal; }

// The layer of `path` a reader reads: `layerName`, or the only layer when it is empty. Null, with
// `problem` saying why, when the source cannot be opened, holds no such layer, or holds several
// and none was named; `dataset` holds the source open while the layer is read.
// Why GDAL could not open `path`, in words a user can act on: its last message (without its
// closing periods), or what to do with an archive, or how to lift the object-size limit that a
// large GeoJSON feature runs into.
std::string OpenFailure(const std::string& path)
{
    const std::string ending = std::filesystem::path(path).extension().string();
    if (ending == ".zip" || ending == ".ZIP")
        return "Cannot open " + path + ": it is a zip archive, which is not read as it is; unpack it and give "
                                       "the file inside (a .shp, .gpkg, .geojson...).";
    std::string reason = COgrSession::LastError("no reader knows it");
    while (!reason.empty() && reason.back() == '.')
        reason.pop_back();
    std::string text = "Cannot open " + path + " as vector data: " + reason + ".";
    // The limit is in megabytes; 0 lifts it.
    const std::string limit = CPLGetConfigOption("OGR_GEOJSON_MAX_OBJ_SIZE", "200");
    const double limitBytes = CPLAtof(limit.c_str()) * 1024.0 * 1024.0;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (reason.find("GeoJSON") != std::string::npos && !error && limitBytes > 0.0 &&
        static_cast<double>(size) > limitBytes)
        text += " GDAL reads a GeoJSON object (a feature, or a file that is not a feature collection) of at most " +
                limit + " MB; OGR_GEOJSON_MAX_OBJ_SIZE=0 in the environment lifts the limit.";
    return text;
}

OGRLayer* OpenLayer(const std::string& path, const std::string& layerName, GdalDatasetPtr& dataset,
                    std::string& problem)
{
    dataset = OpenVectorSource(path);
    if (!dataset) {
        problem = OpenFailure(path);
        return nullptr;
    }
    const std::vector<std::string> layers = NamesOfLayers(*dataset);
    if (layerName.empty() && layers.size() != 1) {
        problem = layers.empty() ? "The source " + path + " holds no layer."
                                 : "The source " + path + " holds " + std::to_string(layers.size()) + " layers (" +
                                       JoinNames(layers) + "); name the one to read.";
        return nullptr;
    }
    OGRLayer* layer = layerName.empty() ? dataset->GetLayer(0) : dataset->GetLayerByName(layerName.c_str());
    if (layer == nullptr)
        problem = "The source " + path + " holds no layer " + layerName + "; its layers are " + JoinNames(layers) + ".";
    return layer;
}

void ReadCoordinateSystem(const OGRSpatialReference& crs, OgrPolygonSource& source)
{
    char* wkt = nullptr;
    if (crs.exportToWkt(&wkt) == OGRERR_NONE && wkt != nullptr)
        source.CrsWkt = wkt;
    CPLFree(wkt);
    wkt = nullptr;
    const char* const esri[] = {"FORMAT=WKT1_ESRI", nullptr};
    if (crs.exportToWkt(&wkt, esri) == OGRERR_NONE && wkt != nullptr)
        source.CrsEsriWkt = wkt;
    CPLFree(wkt);
    source.Geographic = crs.IsGeographic() != 0;
}

// Indices of the fields a read takes values from; -1 for none.
struct LayerFields {
    int Size = -1; // the size field: the first numeric field whose name matches (SizeFieldNameMatches)
    int Name = -1; // the name field (FindNameField)
};

// The layer's name, type, coordinate system and numeric fields into `source`.
LayerFields ReadSchema(OGRLayer& layer, const std::string& sizeField, OgrPolygonSource& source)
{
    source.LayerName = layer.GetName();
    source.GeometryType = OGRGeometryTypeToName(layer.GetGeomType());
    if (const OGRSpatialReference* crs = layer.GetSpatialRef())
        ReadCoordinateSystem(*crs, source);
    OGRFeatureDefn& definition = *layer.GetLayerDefn();
    LayerFields fields;
    std::vector<std::string> textFields;
    for (int i = 0; i < definition.GetFieldCount(); ++i) {
        const OGRFieldDefn& field = *definition.GetFieldDefn(i);
        textFields.emplace_back(field.GetType() == OFTString ? field.GetNameRef() : "");
        if (!IsNumeric(field.GetType()))
            continue;
        source.NumericFields.emplace_back(field.GetNameRef());
        if (fields.Size < 0 && !sizeField.empty() && SizeFieldNameMatches(field.GetNameRef(), sizeField)) {
            fields.Size = i;
            source.SizeFieldName = field.GetNameRef();
        }
    }
    fields.Name = FindNameField(textFields);
    return fields;
}

// The features of `layer`, in reading order: their polygons into `network`, the rest listed as
// left out, and their names and sizes. False, with `problem` saying why, when a feature cannot be
// read or stored.
bool ReadFeatures(OGRLayer& layer, const LayerFields& fields, const std::string& path, CNetwork& network,
                  OgrPolygonSource& source, std::string& problem)
{
    if (fields.Name >= 0)
        source.Names = RecordNames{layer.GetLayerDefn()->GetFieldDefn(fields.Name)->GetNameRef(), {}};
    layer.ResetReading();
    CPLErrorReset();
    for (OGRFeatureUniquePtr feature(layer.GetNextFeature()); feature; feature.reset(layer.GetNextFeature())) {
        const size_t index = source.FeatureCount++;
        if (source.Names)
            source.Names->Names.push_back(CleanRecordName(feature->GetFieldAsString(fields.Name)));
        const OGRGeometry* geometry = feature->GetGeometryRef();
        std::unique_ptr<CSimplePolygon> polygon;
        PartsFound found = PartsFound::AsStored;
        if (geometry == nullptr)
            source.LeftOut.push_back({index, "no geometry"});
        else if (geometry->IsEmpty())
            source.LeftOut.push_back({index, "an empty geometry"});
        else if (polygon = PolygonOf(*geometry, found); !polygon && found != PartsFound::Unsortable)
            source.LeftOut.push_back(
                {index, std::string("a ") + OGRGeometryTypeToName(geometry->getGeometryType()) + " geometry"});
        if (found == PartsFound::Unsortable) {
            problem = "Feature " + NumberedName(index, source.Names) + " of the layer " + source.LayerName +
                      " of " + path + " has a hole outside its shell, and its rings cross, so they cannot be sorted into the "
                      "parts they are. Make the geometry valid first (for example with ogr2ogr -makevalid).";
            return false;
        }
        if (found == PartsFound::Regrouped)
            source.Regrouped.push_back(index);
        if (!polygon)
            continue;
        if (!network.AddPolygon(std::move(polygon))) {
            problem = "The polygon of feature " + std::to_string(index + 1) + " of " + path + " was not stored.";
            return false;
        }
        source.PolygonFeatures.push_back(index);
        if (fields.Size >= 0)
            source.Sizes.push_back(feature->IsFieldSetAndNotNull(fields.Size)
                                       ? std::optional<double>(feature->GetFieldAsDouble(fields.Size))
                                       : std::nullopt);
    }
    // The loop ends at the last feature or at a feature that could not be read.
    if (CPLGetLastErrorType() >= CE_Failure) {
        problem = "The layer " + source.LayerName + " of " + path +
                  " could not be read whole: " + COgrSession::LastError("a feature is damaged") + ".";
        return false;
    }
    return true;
}

} // namespace

namespace {

// The first 20 entries joined, and how many more there are.
template <typename Entry, typename Label>
std::string ShortList(const std::vector<Entry>& entries, Label label)
{
    constexpr size_t Named = 20;
    std::string list;
    for (size_t i = 0; i < entries.size() && i < Named; ++i)
        list += (i == 0 ? "" : ", ") + label(entries[i]);
    if (entries.size() > Named)
        list += " and " + std::to_string(entries.size() - Named) + " more";
    return list;
}

} // namespace

std::string LeftOutFeatureList(const OgrPolygonSource& source)
{
    return ShortList(source.LeftOut, [](const LeftOutFeature& feature) {
        return "feature " + std::to_string(feature.Feature + 1) + " (" + feature.Why + ")";
    });
}

std::string RegroupedFeatureList(const OgrPolygonSource& source)
{
    return ShortList(source.Regrouped,
                     [&source](size_t feature) { return "feature " + NumberedName(feature, source.Names); });
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

bool COgrLayerReader::ReadFields(const std::string& path, const std::string& layerName)
{
    return Load(path, layerName, "", nullptr);
}

bool COgrLayerReader::Read(const std::string& path, const std::string& layerName, const std::string& sizeField,
                           CNetwork& network)
{
    return Load(path, layerName, sizeField, &network);
}

bool COgrLayerReader::Load(const std::string& path, const std::string& layerName, const std::string& sizeField,
                           CNetwork* network)
{
    Source_ = OgrPolygonSource{};
    Problem_.clear();
    const COgrSession session;
    GdalDatasetPtr dataset;
    OGRLayer* layer = OpenLayer(path, layerName, dataset, Problem_);
    if (layer == nullptr)
        return false;
    const LayerFields fields = ReadSchema(*layer, sizeField, Source_);
    return network == nullptr || ReadFeatures(*layer, fields, path, *network, Source_, Problem_);
}

} // namespace tessaro
