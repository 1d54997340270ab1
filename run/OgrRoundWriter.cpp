#include "run/OgrRoundWriter.h"

#include "engine/RunMeasures.h"
#include "geodata/OgrSession.h"
#include "geometry/PolygonLayer.h"
#include "platform/UserInterface.h"
#include "run/CompanionLayer.h"
#include "run/RoundExport.h"
#include "run/RunFileNames.h"

#include <ogrsf_frmts.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <sys/resource.h>
#include <sys/statvfs.h>

namespace tessaro {
namespace {

namespace fs = std::filesystem;

struct SpatialReferenceReleaser {
    void operator()(OGRSpatialReference* crs) const { crs->Release(); }
};

// The members of a shapefile OGR writes, the .shp last: a reader that finds the new .shp finds
// the rest of its set already in place.
constexpr const char* ShapefileMembers[] = {".shx", ".dbf", ".prj", ".cpg", ".shp"};

std::string LayerNameFor(const CRunFileNames& names, int round, const std::string& suffix)
{
    return fs::path(names.OutputStem()).filename().string() + "_" + std::to_string(round) + suffix;
}

std::string PackagePath(const CRunFileNames& names) { return names.OutputStem() + "_cartogram.gpkg"; }

std::string RoundFilePath(const CRunFileNames& names, int round, OgrExportFormat format, const std::string& suffix)
{
    const std::string base = names.OutputStem() + "_" + std::to_string(round) + suffix;
    return base + (format == OgrExportFormat::GeoJson ? ".geojson" : ".shp");
}

// A name for an added field that no field of the input has (compared without case), within
// the shapefile's 10 characters.
std::string UniqueFieldName(const std::string& wanted, const OGRFeatureDefn& fields)
{
    const auto taken = [&fields](const std::string& name) { return fields.GetFieldIndex(name.c_str()) >= 0; };
    if (!taken(wanted))
        return wanted;
    for (char digit = '1'; digit <= '9'; ++digit) {
        const std::string candidate = wanted.substr(0, 9) + digit;
        if (!taken(candidate))
            return candidate;
    }
    return wanted.substr(0, 8) + "_X";
}

// The polygon's rings as OGR polygons: a clockwise ring starts a polygon, an anticlockwise one
// is a hole of the polygon before it (a first ring starts one whatever its turn).
std::unique_ptr<OGRMultiPolygon> GeometryOf(const CSimplePolygon& polygon)
{
    auto multi = std::make_unique<OGRMultiPolygon>();
    std::unique_ptr<OGRPolygon> building;
    for (const auto& ring : polygon.Rings()) {
        if (ring->PointCount() < 2)
            continue;
        OGRLinearRing points;
        points.setNumPoints(ring->PointCount(), FALSE);
        for (int32_t i = 0; i < ring->PointCount(); ++i)
            points.setPoint(i, ring->Point(i).X, ring->Point(i).Y);
        double area = 0.0;
        ring->AreaAndCentroid(nullptr, &area);
        if (!building || area < 0.0) {
            if (building)
                multi->addGeometryDirectly(building.release());
            building = std::make_unique<OGRPolygon>();
        }
        building->addRing(&points);
    }
    if (building)
        multi->addGeometryDirectly(building.release());
    return multi;
}

// GDAL 3.6 takes the layer's coordinate system without const, though it only copies it.
OGRSpatialReference* Writable(const OGRSpatialReference* crs) { return const_cast<OGRSpatialReference*>(crs); }

bool RemoveQuietly(const std::string& path)
{
    std::error_code ignored;
    return fs::remove_all(path, ignored) > 0;
}

// Moves the members of a shapefile built at `built` to the names of `target`, the .shp last,
// listing each; false, with `problem` naming the member, when one cannot be moved.
bool MoveMembersIntoPlace(const std::string& built, const std::string& target, std::vector<std::string>& written,
                          std::string& problem)
{
    std::error_code error;
    for (const char* member : ShapefileMembers) {
        const fs::path from = fs::path(built).replace_extension(member);
        if (!fs::exists(from, error))
            continue;
        const std::string to = fs::path(target).replace_extension(member).string();
        fs::rename(from, to, error);
        if (error) {
            problem = "its member " + to + " cannot be moved into place: " + error.message();
            return false;
        }
        written.push_back(to);
    }
    return true;
}

// What most likely cut a file short: a full disk or a limit on the size of files, in the
// system's words; empty when neither shows.
std::string CutCause(const std::string& path)
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return ": " + std::string(std::strerror(EFBIG)) + " (files are limited to " + std::to_string(limit.rlim_cur) +
               " bytes)";
    struct statvfs disk {};
    const std::string folder = fs::path(path).parent_path().string();
    constexpr unsigned long long NearlyFull = 1 << 20;
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &disk) == 0 &&
        static_cast<unsigned long long>(disk.f_bavail) * disk.f_frsize < NearlyFull)
        return ": " + std::string(std::strerror(ENOSPC));
    return {};
}

// The features of the one layer of the source at `path`, read one by one; -1 when it does not
// open or a feature cannot be read.
GIntBig ReadableFeatures(const std::string& path)
{
    const GdalDatasetPtr dataset = OpenVectorSource(path);
    if (!dataset || dataset->GetLayerCount() != 1)
        return -1;
    OGRLayer& layer = *dataset->GetLayer(0);
    layer.ResetReading();
    CPLErrorReset();
    GIntBig count = 0;
    while (OGRFeatureUniquePtr feature{layer.GetNextFeature()})
        ++count;
    return CPLGetLastErrorType() >= CE_Failure ? -1 : count;
}

// Whether the file at `path` reads back whole, with `features` features (any number for -1);
// else `problem` says what went wrong, in the system's words where GDAL gave them.
bool ReadsBackWhole(const std::string& path, GIntBig features, std::string& problem)
{
    const std::string closing = CPLGetLastErrorType() >= CE_Failure ? COgrSession::LastError("") : std::string();
    const GIntBig found = ReadableFeatures(path);
    if (found >= 0 && (features < 0 || found == features) && closing.empty())
        return true;
    std::string why = closing;
    if (why.empty() && found >= 0)
        why = "it holds " + std::to_string(found) + " of its " + std::to_string(features) + " features";
    problem = "it did not read back whole (" + (why.empty() ? COgrSession::LastError("it does not open") : why) + ")" +
              CutCause(path);
    return false;
}

// The widest text a shapefile's field holds, in bytes.
constexpr size_t ShapefileTextLimit = 254;

// One warning per text field of `layer` that holds a text longer than a shapefile's field takes.
void WarnOfCutTexts(OGRLayer& layer, const std::vector<OGRFeatureUniquePtr>& features, const std::string& source)
{
    OGRFeatureDefn& fields = *layer.GetLayerDefn();
    for (int i = 0; i < fields.GetFieldCount(); ++i) {
        if (fields.GetFieldDefn(i)->GetType() != OFTString)
            continue;
        for (const OGRFeatureUniquePtr& feature : features)
            if (feature->IsFieldSetAndNotNull(i) && std::strlen(feature->GetFieldAsString(i)) > ShapefileTextLimit) {
                ShowMessage("The field " + std::string(fields.GetFieldDefn(i)->GetNameRef()) + " of " + source +
                                " holds texts longer than " + std::to_string(ShapefileTextLimit) +
                                " bytes, the most a shapefile's field holds: the exported shapefiles cut them there.",
                            MessageKind::Warning);
                break;
            }
    }
}

// One warning when the layer's geometries have heights, which the flat cartogram leaves out.
void WarnOfDroppedHeights(OGRLayer& layer, const std::vector<OGRFeatureUniquePtr>& features, const std::string& source)
{
    bool heights = wkbHasZ(layer.GetGeomType()) != 0;
    for (size_t f = 0; f < features.size() && !heights; ++f)
        heights = features[f]->GetGeometryRef() != nullptr && features[f]->GetGeometryRef()->Is3D();
    if (heights)
        ShowMessage("The layer " + std::string(layer.GetName()) + " of " + source +
                        " has heights (Z values); the cartogram is flat, so its exported layers leave them out.",
                    MessageKind::Warning);
}

} // namespace

// The input's features, held for the whole run, with what pairs them with the polygons.
struct COgrRoundWriter::Source {
    GdalDatasetPtr Dataset;
    OGRLayer* Layer = nullptr;
    std::unique_ptr<OGRSpatialReference, SpatialReferenceReleaser> Crs;
    std::vector<OGRFeatureUniquePtr> Features;
    std::vector<int> PolygonOfFeature; // -1 for a feature without a polygon of the run
    std::vector<double> DesiredShares;
    bool AllPolygons = true; // every feature has a polygon of the run
};

COgrRoundWriter::COgrRoundWriter(OgrExportFormat format, std::unique_ptr<Source> source)
    : Format_(format), Source_(std::move(source))
{
}

COgrRoundWriter::~COgrRoundWriter()
{
    if (!PackageWork_.empty())
        RemoveQuietly(PackageWork_);
}

std::unique_ptr<COgrRoundWriter> COgrRoundWriter::Open(OgrExportFormat format, const std::string& source,
                                                       const std::string& layer, std::vector<size_t> polygonFeatures,
                                                       std::vector<double> desiredShares, std::string& problem)
{
    const COgrSession session;
    auto read = std::make_unique<Source>();
    read->Dataset = OpenVectorSource(source);
    if (!read->Dataset) {
        problem = "Cannot open " + source + " for its attributes: " + COgrSession::LastError("no reader knows it") + ".";
        return nullptr;
    }
    read->Layer = layer.empty() ? read->Dataset->GetLayer(0) : read->Dataset->GetLayerByName(layer.c_str());
    if (read->Layer == nullptr) {
        problem = "The source " + source + " holds no layer " + (layer.empty() ? std::string("to read") : layer) + ".";
        return nullptr;
    }
    if (const OGRSpatialReference* crs = read->Layer->GetSpatialRef())
        read->Crs.reset(crs->Clone());
    read->Layer->ResetReading();
    for (OGRFeatureUniquePtr feature(read->Layer->GetNextFeature()); feature;
         feature.reset(read->Layer->GetNextFeature()))
        read->Features.push_back(std::move(feature));
    if (polygonFeatures.empty())
        for (size_t i = 0; i < desiredShares.size(); ++i)
            polygonFeatures.push_back(i);
    read->PolygonOfFeature.assign(read->Features.size(), -1);
    for (size_t p = 0; p < polygonFeatures.size(); ++p) {
        if (polygonFeatures[p] >= read->Features.size()) {
            problem = "The attributes of " + source + " hold " + std::to_string(read->Features.size()) +
                      " features, fewer than the map's " + std::to_string(polygonFeatures.size()) + " polygons.";
            return nullptr;
        }
        read->PolygonOfFeature[polygonFeatures[p]] = static_cast<int>(p);
    }
    read->AllPolygons = polygonFeatures.size() == read->Features.size();
    read->DesiredShares = std::move(desiredShares);
    if (format == OgrExportFormat::Shapefile)
        WarnOfCutTexts(*read->Layer, read->Features, source);
    WarnOfDroppedHeights(*read->Layer, read->Features, source);
    return std::unique_ptr<COgrRoundWriter>(new COgrRoundWriter(format, std::move(read)));
}

std::unique_ptr<COgrRoundWriter> COgrRoundWriter::ForCompanions(OgrExportFormat format)
{
    return std::unique_ptr<COgrRoundWriter>(new COgrRoundWriter(format, nullptr));
}

std::vector<std::string> COgrRoundWriter::Targets(const CRunFileNames& names, const std::vector<int>& rounds,
                                                  const std::vector<std::string>& suffixes) const
{
    if (Format_ == OgrExportFormat::GeoPackage)
        return {PackagePath(names), PackagePath(names) + ".partial"};
    std::vector<std::string> layers = suffixes;
    if (Source_)
        layers.insert(layers.begin(), std::string());
    std::vector<std::string> targets;
    for (const int round : rounds)
        for (const std::string& suffix : layers) {
            const std::string path = RoundFilePath(names, round, Format_, suffix);
            targets.push_back(path);
            targets.push_back(path + ".partial");
            if (Format_ != OgrExportFormat::Shapefile)
                continue;
            for (const char* member : ShapefileMembers)
                targets.push_back(fs::path(path).replace_extension(member).string());
        }
    return targets;
}

namespace {

// The fit of a written polygon. The round's measures describe the map before its transformation,
// so the map written after it is measured here. A layer without area, or a polygon with neither
// area nor size, has only its desired share.
PolygonFit ExportedFit(double area, double share, double total)
{
    if (IsPositiveFinite(total) && area >= 0.0 && share >= 0.0 && (area > 0.0 || share > 0.0))
        return FitOf(area, share, total);
    PolygonFit fit;
    fit.DesiredShare = share;
    return fit;
}

// Writes every feature of the input into `out` with the round's geometry and measures.
bool WriteFeatures(OGRLayer& out, const std::vector<OGRFeatureUniquePtr>& features,
                   const std::vector<int>& polygonOfFeature, const std::vector<double>& desired,
                   const CPolygonLayer& layer, const CPolygonLayer& geometries, bool shapefile, std::string& problem)
{
    OGRFeatureDefn& sourceFields = *features.front()->GetDefnRef();
    const int sourceCount = sourceFields.GetFieldCount();
    for (int i = 0; i < sourceCount; ++i)
        if (out.CreateField(sourceFields.GetFieldDefn(i)) != OGRERR_NONE) {
            problem = std::string("the field ") + sourceFields.GetFieldDefn(i)->GetNameRef() + " cannot be written";
            return false;
        }
    int added[3] = {0, 0, 0};
    const char* wanted[3] = {COgrRoundWriter::DesiredShareField, COgrRoundWriter::AreaShareField,
                             COgrRoundWriter::ErrorField};
    for (int k = 0; k < 3; ++k) {
        OGRFieldDefn field(UniqueFieldName(wanted[k], sourceFields).c_str(), OFTReal);
        if (out.CreateField(&field) != OGRERR_NONE) {
            problem = std::string("the field ") + wanted[k] + " cannot be written";
            return false;
        }
        added[k] = sourceCount + k;
    }
    std::vector<double> areas(layer.Count(), 0.0);
    double total = 0.0;
    for (uint32_t p = 0; p < layer.Count(); ++p) {
        CPoint2D centroid;
        layer.Polygon(p).AreaAndCentroid(&centroid, &areas[p]);
        total += areas[p];
    }
    std::vector<int> identity(static_cast<size_t>(sourceCount));
    for (int i = 0; i < sourceCount; ++i)
        identity[static_cast<size_t>(i)] = i;
    for (size_t f = 0; f < features.size(); ++f) {
        OGRFeature feature(out.GetLayerDefn());
        feature.SetFrom(features[f].get(), identity.data(), TRUE);
        feature.SetFID(OGRNullFID);
        const int p = polygonOfFeature[f];
        if (p >= 0 && static_cast<uint32_t>(p) < layer.Count()) {
            const PolygonFit fit = ExportedFit(areas[static_cast<size_t>(p)], desired[static_cast<size_t>(p)], total);
            feature.SetGeometryDirectly(GeometryOf(geometries.Polygon(static_cast<uint32_t>(p))).release());
            feature.SetField(added[0], fit.DesiredShare);
            feature.SetField(added[1], fit.AreaShare);
            feature.SetField(added[2], fit.RelativeError);
        } else if (shapefile && feature.GetGeometryRef() != nullptr &&
                   wkbFlatten(feature.GetGeometryRef()->getGeometryType()) != wkbPolygon &&
                   wkbFlatten(feature.GetGeometryRef()->getGeometryType()) != wkbMultiPolygon) {
            // A polygon shapefile holds no other type: the feature keeps its attributes only.
            feature.SetGeometryDirectly(nullptr);
        }
        if (out.CreateFeature(&feature) != OGRERR_NONE) {
            problem = "feature " + std::to_string(f + 1) + " cannot be written: " +
                      COgrSession::LastError("the driver refused it");
            return false;
        }
    }
    return true;
}

} // namespace

bool COgrRoundWriter::WriteRound(const CRunFileNames& names, int round, const CPolygonLayer& layer,
                                 std::vector<std::string>& written, const CPolygonLayer* geometries,
                                 const std::string& crs)
{
    const COgrSession session;
    if (!Source_ || Source_->Features.empty()) {
        ShowMessage("The round " + std::to_string(round) + " was not written through OGR: the input has no features.",
                    MessageKind::Error);
        return false;
    }
    const bool shapefile = Format_ == OgrExportFormat::Shapefile;
    if (geometries != nullptr && geometries->Count() != layer.Count()) {
        ShowMessage("The round " + std::to_string(round) + " was not written through OGR: its layer in the input's "
                    "coordinate system holds another number of polygons.", MessageKind::Error);
        return false;
    }
    const CPolygonLayer& shapes = geometries != nullptr ? *geometries : layer;
    const LayerFiller fill = [this, &layer, &shapes, shapefile](OGRLayer& out, std::string& problem) {
        return WriteFeatures(out, Source_->Features, Source_->PolygonOfFeature, Source_->DesiredShares, layer, shapes,
                             shapefile, problem);
    };
    OGRSpatialReference own;
    if (!MakeCrs(crs, round, own))
        return false;
    return WriteLayer(names, round, {}, crs.empty() ? Source_->Crs.get() : &own,
                      shapefile || Source_->AllPolygons ? wkbMultiPolygon : wkbUnknown, fill, written);
}

bool COgrRoundWriter::MakeCrs(const std::string& crs, int round, OGRSpatialReference& made)
{
    if (crs.empty())
        return true;
    if (made.SetFromUserInput(crs.c_str()) != OGRERR_NONE) {
        ShowMessage("The round " + std::to_string(round) + " was not written through OGR: its coordinate system " +
                        crs + " cannot be made: " + COgrSession::LastError("GDAL does not read it") + ".",
                    MessageKind::Error);
        return false;
    }
    made.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return true;
}

bool COgrRoundWriter::WriteCompanion(const CRunFileNames& names, int round, const CCompanionLayer& companion,
                                     const std::string& suffix, std::vector<std::string>& written,
                                     const std::string& crs)
{
    const COgrSession session;
    const LayerFiller fill = [&companion](OGRLayer& out, std::string& problem) {
        if (companion.Features().empty())
            return true;
        OGRFeatureDefn& fields = *companion.Features().front()->GetDefnRef();
        for (int i = 0; i < fields.GetFieldCount(); ++i)
            if (out.CreateField(fields.GetFieldDefn(i)) != OGRERR_NONE) {
                problem = std::string("the field ") + fields.GetFieldDefn(i)->GetNameRef() + " cannot be written";
                return false;
            }
        std::vector<int> identity(static_cast<size_t>(fields.GetFieldCount()));
        for (int i = 0; i < fields.GetFieldCount(); ++i)
            identity[static_cast<size_t>(i)] = i;
        for (size_t f = 0; f < companion.Features().size(); ++f) {
            OGRFeature feature(out.GetLayerDefn());
            feature.SetFrom(companion.Features()[f].get(), identity.data(), TRUE);
            feature.SetFID(OGRNullFID);
            if (out.CreateFeature(&feature) != OGRERR_NONE) {
                problem = "feature " + std::to_string(f + 1) + " cannot be written: " +
                          COgrSession::LastError("the driver refused it");
                return false;
            }
        }
        return true;
    };
    OGRSpatialReference own;
    if (!MakeCrs(crs, round, own))
        return false;
    return WriteLayer(names, round, suffix, crs.empty() ? companion.Crs() : &own, companion.GeometryType(), fill,
                      written);
}

bool COgrRoundWriter::WriteLayer(const CRunFileNames& names, int round, const std::string& suffix,
                                 const OGRSpatialReference* crs, int geometryType, const LayerFiller& fill,
                                 std::vector<std::string>& written)
{
    return Format_ == OgrExportFormat::GeoPackage
               ? WritePackageLayer(names, round, suffix, crs, geometryType, fill, written)
               : WriteFileLayer(names, round, suffix, crs, geometryType, fill, written);
}

bool COgrRoundWriter::WritePackageLayer(const CRunFileNames& names, int round, const std::string& suffix,
                                        const OGRSpatialReference* crs, int geometryType, const LayerFiller& fill,
                                        std::vector<std::string>& written)
{
    const std::string target = PackagePath(names);
    const auto fail = [&target](const std::string& why) {
        ShowMessage("The GeoPackage " + target + " was not written: " + why + ".", MessageKind::Error);
        return false;
    };
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    if (driver == nullptr)
        return fail("GDAL has no GeoPackage driver");
    // The first layer starts a new package, so that no layer of an earlier run stays in it.
    const bool first = PackageWork_.empty();
    if (first) {
        PackageWork_ = target + ".partial";
        RemoveQuietly(PackageWork_);
    }
    {
        GdalDatasetPtr dataset(
            first ? driver->Create(PackageWork_.c_str(), 0, 0, 0, GDT_Unknown, nullptr)
                  : GDALDataset::Open(PackageWork_.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr));
        if (!dataset)
            return fail(COgrSession::LastError("its working copy cannot be opened"));
        OGRLayer* out = dataset->CreateLayer(LayerNameFor(names, round, suffix).c_str(), Writable(crs),
                                             static_cast<OGRwkbGeometryType>(geometryType), nullptr);
        if (out == nullptr)
            return fail(COgrSession::LastError("its layer cannot be made"));
        std::string problem;
        const bool ok = dataset->StartTransaction() == OGRERR_NONE && fill(*out, problem) &&
                        dataset->CommitTransaction() == OGRERR_NONE;
        if (!ok)
            return fail(problem.empty() ? COgrSession::LastError("the layer cannot be written") : problem);
    }
    std::string problem;
    if (!CopyFileWhole(PackageWork_, target, &problem))
        return fail(problem);
    // Listed once, with the first layer written into it.
    if (!PackageListed_)
        written.push_back(target);
    PackageListed_ = true;
    return true;
}

bool COgrRoundWriter::WriteFileLayer(const CRunFileNames& names, int round, const std::string& suffix,
                                     const OGRSpatialReference* crs, int geometryType, const LayerFiller& fill,
                                     std::vector<std::string>& written)
{
    const bool shapefile = Format_ == OgrExportFormat::Shapefile;
    const std::string target = RoundFilePath(names, round, Format_, suffix);
    const auto fail = [&target](const std::string& why) {
        ShowMessage("The file " + target + " was not written: " + why + ".", MessageKind::Error);
        return false;
    };
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(shapefile ? "ESRI Shapefile" : "GeoJSON");
    if (driver == nullptr)
        return fail("GDAL has no driver for the format");
    // A shapefile is a set of files: it is built in a folder of its own and moved member by
    // member; a GeoJSON file is built under a temporary name beside its target.
    const std::string work = target + ".partial";
    RemoveQuietly(work);
    std::error_code error;
    if (shapefile && !fs::create_directory(work, error))
        return fail("its working folder " + work + " cannot be made: " + error.message());
    const std::string built = shapefile ? (fs::path(work) / fs::path(target).filename()).string() : work;
    {
        GdalDatasetPtr dataset(driver->Create(built.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        if (!dataset) {
            RemoveQuietly(work);
            return fail(COgrSession::LastError("it cannot be created"));
        }
        // 17 significant digits give back every double exactly.
        const char* const geojsonOptions[] = {"SIGNIFICANT_FIGURES=17", nullptr};
        const char* const shapefileOptions[] = {"ENCODING=UTF-8", nullptr};
        OGRLayer* out = dataset->CreateLayer(fs::path(target).stem().c_str(), Writable(crs),
                                             static_cast<OGRwkbGeometryType>(geometryType),
                                             const_cast<char**>(shapefile ? shapefileOptions : geojsonOptions));
        std::string problem;
        if (out == nullptr || !fill(*out, problem)) {
            dataset.reset();
            RemoveQuietly(work);
            return fail(problem.empty() ? COgrSession::LastError("its layer cannot be made") : problem);
        }
        // The driver writes much of the file only when it is closed, and reports a full disk or
        // a size limit there, if at all: the file must read back with every feature.
        // The GeoJSON driver counts no features while it writes; its file must read back whole.
        const GIntBig features = shapefile ? out->GetFeatureCount(TRUE) : GIntBig{-1};
        CPLErrorReset();
        dataset.reset();
        if (!ReadsBackWhole(built, features, problem)) {
            RemoveQuietly(work);
            return fail(problem);
        }
    }
    if (!shapefile) {
        if (::rename(work.c_str(), target.c_str()) != 0) {
            RemoveQuietly(work);
            return fail(std::error_code(errno, std::generic_category()).message());
        }
        written.push_back(target);
        return true;
    }
    std::string problem;
    const bool moved = MoveMembersIntoPlace(built, target, written, problem);
    RemoveQuietly(work);
    return moved || fail(problem);
}

} // namespace tessaro
