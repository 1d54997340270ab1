#include "geodata/MapProjection.h"

#include "geodata/OgrSession.h"
#include "geometry/PolygonLayer.h"
#include "platform/NumberText.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace tessaro {
namespace {

// The EPSG code of "EPSG:n" (the prefix in any case); -1 for any other text.
int EpsgCodeOf(const std::string& text)
{
    constexpr size_t PrefixLength = 5;
    std::string prefix = text.substr(0, PrefixLength);
    std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::string digits = text.size() > PrefixLength ? text.substr(PrefixLength) : std::string();
    if (prefix != "EPSG:" || digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return -1;
    return std::stoi(digits);
}

// Moves `count` interleaved x, y pairs; false, with `failed` the first pair that could not be
// moved, leaving `xy` unchanged.
bool TransformPairs(OGRCoordinateTransformation& transformation, std::vector<double>& xy, size_t* failed)
{
    const size_t count = xy.size() / 2;
    std::vector<double> x(count);
    std::vector<double> y(count);
    for (size_t i = 0; i < count; ++i) {
        x[i] = xy[2 * i];
        y[i] = xy[2 * i + 1];
    }
    std::vector<int> moved(count, FALSE);
    // OGR counts points in an int.
    constexpr size_t Chunk = static_cast<size_t>(std::numeric_limits<int>::max() / 2);
    for (size_t start = 0; start < count; start += Chunk) {
        const size_t n = std::min(Chunk, count - start);
        transformation.Transform(static_cast<int>(n), x.data() + start, y.data() + start, nullptr,
                                 moved.data() + start);
    }
    for (size_t i = 0; i < count; ++i)
        if (moved[i] == FALSE || !std::isfinite(x[i]) || !std::isfinite(y[i])) {
            if (failed != nullptr)
                *failed = i;
            return false;
        }
    for (size_t i = 0; i < count; ++i) {
        xy[2 * i] = x[i];
        xy[2 * i + 1] = y[i];
    }
    return true;
}

} // namespace

struct CMapProjection::Transformations {
    TransformationPtr Forward;
    TransformationPtr Back;
    TransformationPtr ToDegrees; // the map's system to longitude and latitude on its datum
};

// Where the target system is meant to be used, in degrees; west > east when it spans the
// antimeridian.
struct CMapProjection::AreaOfUse {
    double West = -180.0;
    double South = -90.0;
    double East = 180.0;
    double North = 90.0;
    std::string Name;

    // Within the area, give or take `margin` degrees.
    bool Holds(double lon, double lat, double margin) const
    {
        if (lat < South - margin || lat > North + margin)
            return false;
        if (West <= East)
            return lon >= West - margin && lon <= East + margin;
        return lon >= West - margin || lon <= East + margin;
    }
};

CMapProjection::CMapProjection(std::string target, std::string targetName,
                               std::unique_ptr<Transformations> transformations, std::unique_ptr<AreaOfUse> area)
    : Target_(std::move(target)), TargetName_(std::move(targetName)), Transformations_(std::move(transformations)),
      Area_(std::move(area))
{
}

CMapProjection::~CMapProjection() = default;

std::unique_ptr<CMapProjection> CMapProjection::Open(const std::string& mapCrs, const std::string& target,
                                                     std::string& problem)
{
    const COgrSession session;
    const int code = EpsgCodeOf(target);
    if (code < 0) {
        problem = "The coordinate system " + target +
                  " to make the cartogram in is not of the form EPSG:n (for example EPSG:5070).";
        return nullptr;
    }
    OGRSpatialReference projected;
    if (projected.importFromEPSG(code) != OGRERR_NONE) {
        problem = "The coordinate system " + target + " to make the cartogram in is unknown: " +
                  COgrSession::LastError("no EPSG definition has that code") + ".";
        return nullptr;
    }
    const std::string name = projected.GetName() != nullptr ? projected.GetName() : "";
    const std::string named = target + (name.empty() ? "" : " (" + name + ")");
    if (projected.IsProjected() == 0) {
        problem = "The coordinate system " + named +
                  " to make the cartogram in is not a projected one: its areas would be measured in " +
                  (projected.IsGeographic() != 0 ? "square degrees" : "units") +
                  ", which are not areas on the ground. Choose a projected system, at best an equal-area one.";
        return nullptr;
    }
    if (mapCrs.empty()) {
        problem = "The map has no coordinate system, so it cannot be reprojected to " + target +
                  ": give it one (a .prj beside a shapefile) or leave out the reprojection.";
        return nullptr;
    }
    OGRSpatialReference map;
    if (map.SetFromUserInput(mapCrs.c_str()) != OGRERR_NONE) {
        problem = "The map's coordinate system cannot be understood, so it cannot be reprojected to " + target + ": " +
                  COgrSession::LastError("its definition is not one GDAL reads") + ".";
        return nullptr;
    }
    // A GeoPackage layer stored without a system carries GDAL's stand-ins for none.
    const std::string mapName = map.GetName() != nullptr ? map.GetName() : "";
    if (mapName.rfind("Undefined ", 0) == 0 && map.GetAuthorityName(nullptr) == nullptr) {
        problem = "The map's coordinate system is not defined (" + mapName + "), so it cannot be reprojected to " +
                  target + ".";
        return nullptr;
    }
    // Shapefiles, GeoJSON and the run keep x as easting (longitude) and y as northing (latitude).
    map.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    projected.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    auto transformations = std::make_unique<Transformations>();
    transformations->Forward.reset(OGRCreateCoordinateTransformation(&map, &projected));
    transformations->Back.reset(OGRCreateCoordinateTransformation(&projected, &map));
    if (!transformations->Forward || !transformations->Back) {
        problem = "No transformation joins the map's coordinate system and " + named + ": " +
                  COgrSession::LastError("GDAL found none") + ".";
        return nullptr;
    }
    std::unique_ptr<AreaOfUse> area;
    double west = 0.0, south = 0.0, east = 0.0, north = 0.0;
    const char* areaName = nullptr;
    if (projected.GetAreaOfUse(&west, &south, &east, &north, &areaName)) {
        std::unique_ptr<OGRSpatialReference> degrees(map.CloneGeogCS());
        if (degrees) {
            degrees->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
            transformations->ToDegrees.reset(OGRCreateCoordinateTransformation(&map, degrees.get()));
        }
        if (transformations->ToDegrees)
            area = std::make_unique<AreaOfUse>(AreaOfUse{west, south, east, north, areaName ? areaName : ""});
    }
    return std::unique_ptr<CMapProjection>(
        new CMapProjection(target, name, std::move(transformations), std::move(area)));
}

std::string CMapProjection::AreaOfUseWarning(const CPolygonLayer& layer) const
{
    if (!Area_)
        return {};
    const COgrSession session;
    // A sample of the vertices is enough to tell; a large map is not moved twice whole.
    constexpr size_t Sampled = 100000;
    size_t total = 0;
    for (const auto& polygon : layer.Polygons())
        total += static_cast<size_t>(polygon->TotalPointCount());
    const size_t stride = std::max<size_t>(1, total / Sampled);
    std::vector<double> xy;
    size_t k = 0;
    for (const auto& polygon : layer.Polygons())
        for (const auto& ring : polygon->Rings())
            for (int32_t i = 0; i < ring->PointCount(); ++i, ++k)
                if (k % stride == 0)
                    xy.insert(xy.end(), {ring->Point(i).X, ring->Point(i).Y});
    const size_t count = xy.size() / 2;
    std::vector<int> moved(count, FALSE);
    std::vector<double> x(count), y(count);
    for (size_t i = 0; i < count; ++i) {
        x[i] = xy[2 * i];
        y[i] = xy[2 * i + 1];
    }
    Transformations_->ToDegrees->Transform(static_cast<int>(count), x.data(), y.data(), nullptr, moved.data());
    // A degree of slack: areas of use are drawn round coasts and borders, not to the metre.
    constexpr double Margin = 1.0;
    size_t outside = 0;
    for (size_t i = 0; i < count; ++i)
        if (moved[i] != FALSE && !Area_->Holds(x[i], y[i], Margin))
            ++outside;
    if (outside == 0)
        return {};
    const auto degrees = [](double value) { return FormatFixed(value, 2); };
    std::string name = Area_->Name;
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    const std::string part =
        outside == count ? "The map lies"
                         : "Part of the map (" +
                               FormatFixed(100.0 * static_cast<double>(outside) / static_cast<double>(count), 1) +
                               " % of its points) lies";
    return part + " outside the area " + Target_ + (TargetName_.empty() ? "" : " (" + TargetName_ + ")") +
           " is made for" + (name.empty() ? "" : ", " + name) + " (longitude " + degrees(Area_->West) +
           " to " + degrees(Area_->East) + ", latitude " + degrees(Area_->South) + " to " + degrees(Area_->North) +
           "): there the projection may distort areas and shapes. Choose a projection made for the map's region.";
}

bool CMapProjection::Forward(std::vector<double>& xy, size_t* failedPoint) const
{
    const COgrSession session;
    return TransformPairs(*Transformations_->Forward, xy, failedPoint);
}

bool CMapProjection::Back(std::vector<double>& xy, size_t* failedPoint) const
{
    const COgrSession session;
    return TransformPairs(*Transformations_->Back, xy, failedPoint);
}

bool CMapProjection::Forward(CPolygonLayer& layer, std::string& problem) const
{
    return MoveLayer(layer, true, problem);
}

bool CMapProjection::Back(CPolygonLayer& layer, std::string& problem) const
{
    return MoveLayer(layer, false, problem);
}

bool CMapProjection::MoveLayer(CPolygonLayer& layer, bool forward, std::string& problem) const
{
    // Every polygon is moved into a buffer first, so a point that cannot be moved leaves the
    // whole layer as it was.
    std::vector<std::vector<double>> moved(layer.Count());
    for (uint32_t p = 0; p < layer.Count(); ++p) {
        const CSimplePolygon& polygon = layer.Polygon(p);
        std::vector<double>& xy = moved[p];
        xy.resize(2 * static_cast<size_t>(std::max(polygon.TotalPointCount(), 0)));
        if (xy.empty())
            continue;
        polygon.CopyPointsTo(xy.data());
        size_t failed = 0;
        if (!(forward ? Forward(xy, &failed) : Back(xy, &failed))) {
            problem = "point " + std::to_string(failed + 1) + " of polygon " + std::to_string(p + 1) +
                      " cannot be moved " + (forward ? "into " + Target_ : "back from " + Target_);
            return false;
        }
    }
    for (uint32_t p = 0; p < layer.Count(); ++p)
        if (!moved[p].empty())
            layer.Polygon(p).SetPointsFrom(moved[p].data(), true);
    return true;
}

} // namespace tessaro
