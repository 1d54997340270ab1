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

// Whether a projection method of WKT1 ("Albers_Conic_Equal_Area", "Equal Earth") keeps areas.
bool IsEqualAreaMethod(std::string method)
{
    for (char& c : method)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c) == '_' ? ' ' : c));
    for (const char* kind :
         {"equal area", "equal earth", "mollweide", "sinusoidal", "eckert iv", "eckert vi", "goode homolosine"})
        if (method.find(kind) != std::string::npos)
            return true;
    return false;
}

} // namespace

struct CMapProjection::Transformations {
    TransformationPtr Forward;
    TransformationPtr Back;
    TransformationPtr ToDegrees; // the map's system to longitude and latitude on its datum
    bool MapInDegrees = false;   // the map's system is a geographic one: x is a longitude
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

CMapProjection::CMapProjection(std::string target, std::string targetName, std::string targetPrj,
                               std::unique_ptr<Transformations> transformations, std::unique_ptr<AreaOfUse> area)
    : Target_(std::move(target)), TargetName_(std::move(targetName)), TargetPrj_(std::move(targetPrj)),
      Transformations_(std::move(transformations)), Area_(std::move(area))
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
    transformations->MapInDegrees = map.IsGeographic() != 0;
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
    std::string prj;
    char* wkt = nullptr;
    const char* const esri[] = {"FORMAT=WKT1_ESRI", nullptr};
    if (projected.exportToWkt(&wkt, esri) == OGRERR_NONE && wkt != nullptr)
        prj = wkt;
    CPLFree(wkt);
    auto opened = std::unique_ptr<CMapProjection>(
        new CMapProjection(target, name, std::move(prj), std::move(transformations), std::move(area)));
    const char* method = projected.GetAttrValue("PROJECTION");
    opened->KeepsAreas_ = method != nullptr && IsEqualAreaMethod(method);
    return opened;
}

std::string CMapProjection::AreaOfUseWarning(const CPolygonLayer& layer, std::vector<uint32_t>* outsidePolygons) const
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
    std::vector<uint32_t> polygonOf; // of each sampled point
    size_t k = 0;
    for (uint32_t p = 0; p < layer.Count(); ++p)
        for (const auto& ring : layer.Polygon(p).Rings())
            for (int32_t i = 0; i < ring->PointCount(); ++i, ++k)
                if (k % stride == 0) {
                    xy.insert(xy.end(), {ring->Point(i).X, ring->Point(i).Y});
                    polygonOf.push_back(p);
                }
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
        if (moved[i] != FALSE && !Area_->Holds(x[i], y[i], Margin)) {
            ++outside;
            if (outsidePolygons != nullptr && (outsidePolygons->empty() || outsidePolygons->back() != polygonOf[i]))
                outsidePolygons->push_back(polygonOf[i]);
        }
    if (outside == 0)
        return {};
    const auto degrees = [](double value) { return FormatFixed(value, 2); };
    std::string name = Area_->Name;
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    const std::string part =
        outside == count
            ? "The map lies"
            : "Part of the map (" + FormatFixed(100.0 * static_cast<double>(outside) / static_cast<double>(count), 1) +
                  " % of its points) lies";
    return part + " outside the area " + Target_ + (TargetName_.empty() ? "" : " (" + TargetName_ + ")") +
           " is made for" + (name.empty() ? "" : ", " + name) + " (longitude " + degrees(Area_->West) + " to " +
           degrees(Area_->East) + ", latitude " + degrees(Area_->South) + " to " + degrees(Area_->North) +
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

namespace {

// Longitudes of one ring (x of `count` pairs from `xy`) made continuous where the inverse
// projection wrapped them: a cartogram pushes a coast near the map's antimeridian past it, and its
// longitudes come back on the far side (181 degrees as -179), turning the ring inside out across
// the map. An edge whose ends are more than half a turn apart in longitude but less than
// `shortEdge` apart in the projected map (`projected`, the same layout) is such a wrap; an edge
// that really runs across the map (Antarctica's along a parallel from -180 to 180 degrees) is
// long there too and keeps its longitudes. A ring that would not close again keeps them all.
void MakeLongitudesContinuous(double* xy, const double* projected, size_t count, double shortEdge)
{
    if (count < 2)
        return;
    // Whole turns added to each longitude, so a longitude that needs none keeps its bits.
    std::vector<double> turns(count, 0.0);
    for (size_t k = 1; k < count; ++k) {
        const double across =
            std::hypot(projected[2 * k] - projected[2 * k - 2], projected[2 * k + 1] - projected[2 * k - 1]);
        const double wraps = across < shortEdge ? std::round((xy[2 * k] - xy[2 * (k - 1)]) / 360.0) : 0.0;
        turns[k] = turns[k - 1] - wraps;
    }
    if (turns[count - 1] != 0.0)
        return;
    for (size_t k = 0; k < count; ++k)
        xy[2 * k] += 360.0 * turns[k];
}

// Longitudes this close to +-180 degrees name one meridian either way: the projection may take
// 180 forward to the map's eastern edge and back as -180.
constexpr double AntimeridianSlack = 1e-9;

} // namespace

bool CMapProjection::MoveLayer(CPolygonLayer& layer, bool forward, std::string& problem) const
{
    // Every polygon is moved into a buffer first, so a point that cannot be moved leaves the
    // whole layer as it was.
    std::vector<std::vector<double>> moved(layer.Count());
    const CExtent box = layer.BoundingBox();
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
        if (!forward && Transformations_->MapInDegrees)
            KeepRingsWhole(polygon, xy, 0.5 * std::max(box.Width(), box.Height()));
    }
    for (uint32_t p = 0; p < layer.Count(); ++p)
        if (!moved[p].empty())
            layer.Polygon(p).SetPointsFrom(moved[p].data(), true);
    return true;
}

// A point on the antimeridian comes back as -180 or 180 degrees, whichever the inverse gives: each
// takes the one that goes forward onto where it came from, so a ring along that meridian (the
// eastern edge of Antarctica) is not folded onto its western one.
void CMapProjection::SideOfAntimeridian(const std::vector<double>& from, std::vector<double>& xy) const
{
    for (size_t k = 0; k + 1 < xy.size(); k += 2) {
        if (!PastTurn(xy[k], AntimeridianSlack))
            continue;
        std::vector<double> both{xy[k], xy[k + 1], -xy[k], xy[k + 1]};
        if (!Forward(both))
            continue;
        if (std::hypot(both[2] - from[k], both[3] - from[k + 1]) < std::hypot(both[0] - from[k], both[1] - from[k + 1]))
            xy[k] = -xy[k];
    }
}

// A polygon's points `xy`, just taken back into degrees from `projected`, with its rings whole:
// points on the antimeridian on the side they came from, and longitudes continuous over the edges
// that the inverse wrapped.
void CMapProjection::KeepRingsWhole(const CSimplePolygon& projected, std::vector<double>& xy, double shortEdge) const
{
    std::vector<double> from(xy.size());
    projected.CopyPointsTo(from.data());
    SideOfAntimeridian(from, xy);
    size_t offset = 0;
    for (int32_t r = 0; r < projected.RingCount(); ++r) {
        const auto count = static_cast<size_t>(std::max(projected.Ring(r).PointCount(), 0));
        MakeLongitudesContinuous(xy.data() + 2 * offset, from.data() + 2 * offset, count, shortEdge);
        offset += count;
    }
}

bool CMapProjection::PastTurn(double x, double slack) const
{
    return Transformations_->MapInDegrees && std::fabs(x) > 180.0 - slack;
}

std::vector<uint32_t> CMapProjection::PastAntimeridian(const CPolygonLayer& back) const
{
    std::vector<uint32_t> polygons;
    for (uint32_t p = 0; p < back.Count(); ++p) {
        const CSimplePolygon& polygon = back.Polygon(p);
        if (PastTurn(polygon.MinX(), -AntimeridianSlack) || PastTurn(polygon.MaxX(), -AntimeridianSlack))
            polygons.push_back(p);
    }
    return polygons;
}

std::vector<uint32_t> CMapProjection::NotRoundTripping(const CPolygonLayer& projected, const CPolygonLayer& back) const
{
    std::vector<uint32_t> polygons;
    const CExtent box = projected.BoundingBox();
    const double tolerance = 1e-6 * std::max(box.Width(), box.Height());
    std::vector<double> there, again;
    for (uint32_t p = 0; p < projected.Count() && p < back.Count(); ++p) {
        const int32_t count = projected.Polygon(p).TotalPointCount();
        if (count <= 0 || back.Polygon(p).TotalPointCount() != count)
            continue;
        there.resize(2 * static_cast<size_t>(count));
        again.resize(there.size());
        projected.Polygon(p).CopyPointsTo(there.data());
        back.Polygon(p).CopyPointsTo(again.data());
        const std::vector<double> longitudes = again;
        bool same = Forward(again);
        for (size_t k = 0; same && k + 1 < there.size(); k += 2)
            same = PastTurn(longitudes[k], AntimeridianSlack) ||
                   (std::fabs(again[k] - there[k]) <= tolerance && std::fabs(again[k + 1] - there[k + 1]) <= tolerance);
        if (!same)
            polygons.push_back(p);
    }
    return polygons;
}

} // namespace tessaro
