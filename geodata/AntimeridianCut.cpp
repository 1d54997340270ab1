#include "geodata/AntimeridianCut.h"

#include "geodata/OgrRing.h"
#include "geodata/OgrSession.h"
#include "geometry/PolygonLayer.h"

#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

namespace tessaro {
namespace {

constexpr double HalfTurn = 180.0;
constexpr double Turn = 360.0;
constexpr double SeamTolerance = 1e-9; // degrees

// An angle in degrees brought into −180° to 180° by whole turns.
double WithinHalfTurn(double degrees)
{
    return degrees - Turn * std::round(degrees / Turn);
}

// A longitude east of the projection's central meridian, in -180° to 180°: the map's own
// antimeridian, where a projected ring wraps, is then at ±180°.
double FromCentralMeridian(double lon, double centralMeridian)
{
    return centralMeridian == 0.0 ? lon : WithinHalfTurn(lon - centralMeridian);
}

// The ring's points in longitude (east of the central meridian) and latitude, the longitudes
// made continuous (each step taken the short way round, so a ring across ±180° runs on past it);
// nullopt when a point has none. `steps` gets the points that end an edge stepping across ±180°.
std::optional<std::vector<double>> UnwrappedDegrees(const CPolygonRing& ring, OGRCoordinateTransformation& toDegrees,
                                                    double centralMeridian, std::vector<int32_t>& steps)
{
    const int32_t n = ring.PointCount();
    std::vector<double> x(static_cast<size_t>(n));
    std::vector<double> y(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        x[static_cast<size_t>(i)] = ring.Point(i).X;
        y[static_cast<size_t>(i)] = ring.Point(i).Y;
    }
    std::vector<int> moved(static_cast<size_t>(n), FALSE);
    toDegrees.Transform(n, x.data(), y.data(), nullptr, moved.data());
    std::vector<double> lonLat(2 * static_cast<size_t>(n));
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        if (moved[i] == FALSE || !std::isfinite(x[i]) || !std::isfinite(y[i]))
            return std::nullopt;
        x[i] = FromCentralMeridian(x[i], centralMeridian);
        double lon = x[i];
        if (i > 0) {
            const double step = x[i] - x[i - 1];
            // An edge between two points on the antimeridian itself runs along it (a cut edge, or
            // the southern edge of Antarctica from −180° to 180°) and crosses nothing.
            const bool alongIt = std::fabs(std::fabs(x[i]) - HalfTurn) < SeamTolerance &&
                                 std::fabs(std::fabs(x[i - 1]) - HalfTurn) < SeamTolerance;
            if (std::fabs(step) > HalfTurn && !alongIt)
                steps.push_back(static_cast<int32_t>(i));
            lon = lonLat[2 * (i - 1)] + WithinHalfTurn(step);
        }
        lonLat[2 * i] = lon;
        lonLat[2 * i + 1] = y[i];
    }
    return lonLat;
}

// A longitude east of the central meridian back as the map's longitude. A point on the map's own
// antimeridian is kept a hair inside its side: the projection reads the longitude relative to its
// central meridian again and could take a seam point just past 180° to the other edge of the map.
double ToLongitude(double east, double centralMeridian)
{
    if (centralMeridian == 0.0)
        return east;
    const double inside = std::clamp(east, -HalfTurn + SeamTolerance, HalfTurn - SeamTolerance);
    return inside + centralMeridian;
}

std::unique_ptr<OGRPolygon> PolygonOfPoints(const std::vector<double>& lonLat)
{
    auto ring = std::make_unique<OGRLinearRing>();
    for (size_t i = 0; i + 1 < lonLat.size(); i += 2)
        ring->addPoint(lonLat[i], lonLat[i + 1]);
    ring->closeRings();
    auto polygon = std::make_unique<OGRPolygon>();
    polygon->addRingDirectly(ring.release());
    return polygon;
}

std::unique_ptr<OGRPolygon> Box(double west, double east)
{
    return PolygonOfPoints({west, -Turn, east, -Turn, east, Turn, west, Turn, west, -Turn});
}

// The pieces of a ring in continuous longitudes (east of the central meridian) that fall in each
// turn of the globe, each moved back into that turn and then into the map's longitudes; appended
// to `pieces` as polygons of one ring each.
bool AppendPieces(const std::vector<double>& lonLat, double centralMeridian,
                  std::vector<std::unique_ptr<OGRGeometry>>& pieces)
{
    const std::unique_ptr<OGRPolygon> ring = PolygonOfPoints(lonLat);
    for (const double shift : {-Turn, 0.0, Turn}) {
        const std::unique_ptr<OGRPolygon> window = Box(-HalfTurn + shift, HalfTurn + shift);
        const std::unique_ptr<OGRGeometry> part(ring->Intersection(window.get()));
        if (!part)
            return false;
        const auto addPolygon = [&](const OGRPolygon& polygon) {
            for (const OGRLinearRing* piece : polygon) {
                auto copy = std::make_unique<OGRLinearRing>(*piece);
                for (int k = 0; k < copy->getNumPoints(); ++k)
                    copy->setPoint(k, ToLongitude(copy->getX(k) - shift, centralMeridian), copy->getY(k));
                auto piecePolygon = std::make_unique<OGRPolygon>();
                piecePolygon->addRingDirectly(copy.release());
                pieces.push_back(std::move(piecePolygon));
            }
        };
        const OGRwkbGeometryType type = wkbFlatten(part->getGeometryType());
        if (type == wkbPolygon) {
            addPolygon(*part->toPolygon());
        } else if (type == wkbMultiPolygon || type == wkbGeometryCollection) {
            for (const OGRGeometry* member : *part->toGeometryCollection())
                if (wkbFlatten(member->getGeometryType()) == wkbPolygon)
                    addPolygon(*member->toPolygon());
        }
    }
    return true;
}

} // namespace

struct CAntimeridianCut::Transformations {
    OGRSpatialReference Map;
    std::unique_ptr<OGRSpatialReference> Degrees; // the map's longitude and latitude
    bool InDegrees = false;                       // the map is in longitude and latitude itself
    TransformationPtr ToDegrees;
    TransformationPtr FromDegrees; // made when first needed: most maps cross nothing
    double CentralMeridian = 0.0;  // degrees; the map's antimeridian is 180° from it
};

CAntimeridianCut::CAntimeridianCut(std::unique_ptr<Transformations> transformations)
    : Transformations_(std::move(transformations))
{
}

CAntimeridianCut::~CAntimeridianCut() = default;

std::unique_ptr<CAntimeridianCut> CAntimeridianCut::Open(const std::string& mapCrs, std::string& problem)
{
    const COgrSession session;
    auto transformations = std::make_unique<Transformations>();
    OGRSpatialReference& map = transformations->Map;
    if (mapCrs.empty() || map.SetFromUserInput(mapCrs.c_str()) != OGRERR_NONE) {
        problem = "the map has no coordinate system GDAL reads";
        return nullptr;
    }
    transformations->Degrees.reset(map.CloneGeogCS());
    if (!transformations->Degrees) {
        problem = "its coordinate system has no longitude and latitude";
        return nullptr;
    }
    map.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    transformations->Degrees->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    transformations->InDegrees = map.IsGeographic() != 0;
    if (map.IsProjected() != 0)
        transformations->CentralMeridian =
            map.GetProjParm(SRS_PP_CENTRAL_MERIDIAN, map.GetProjParm(SRS_PP_LONGITUDE_OF_CENTER, 0.0));
    transformations->ToDegrees.reset(OGRCreateCoordinateTransformation(&map, transformations->Degrees.get()));
    if (!transformations->ToDegrees) {
        problem = COgrSession::LastError("no transformation joins its coordinate system and longitude and latitude");
        return nullptr;
    }
    return std::unique_ptr<CAntimeridianCut>(new CAntimeridianCut(std::move(transformations)));
}

OGRCoordinateTransformation* CAntimeridianCut::FromDegrees() const
{
    Transformations& t = *Transformations_;
    if (!t.FromDegrees)
        t.FromDegrees.reset(OGRCreateCoordinateTransformation(t.Degrees.get(), &t.Map));
    return t.FromDegrees.get();
}

bool CAntimeridianCut::TornAcrossMap(const CPolygonRing& ring, const std::vector<double>& lonLat, int32_t end) const
{
    if (Transformations_->InDegrees)
        return true;
    OGRCoordinateTransformation* fromDegrees = FromDegrees();
    if (!fromDegrees)
        return true;
    // The edge's short way, in equal steps of longitude and latitude, into the map's system.
    constexpr int Pieces = 8;
    const size_t a = 2 * static_cast<size_t>(end - 1), b = 2 * static_cast<size_t>(end);
    std::array<double, Pieces + 1> x{}, y{};
    std::array<int, Pieces + 1> moved{};
    for (int k = 0; k <= Pieces; ++k) {
        const double t = static_cast<double>(k) / Pieces;
        x[k] = lonLat[a] + t * (lonLat[b] - lonLat[a]) + Transformations_->CentralMeridian;
        y[k] = lonLat[a + 1] + t * (lonLat[b + 1] - lonLat[a + 1]);
    }
    fromDegrees->Transform(Pieces + 1, x.data(), y.data(), nullptr, moved.data());
    double longestPiece = 0.0;
    for (int k = 0; k <= Pieces; ++k) {
        if (moved[k] == FALSE || !std::isfinite(x[k]) || !std::isfinite(y[k]))
            return true;
        if (k > 0)
            longestPiece = std::max(longestPiece, std::hypot(x[k] - x[k - 1], y[k] - y[k - 1]));
    }
    const CPoint2D from = ring.Point(end - 1);
    const CPoint2D to = ring.Point(end);
    const double edge = std::hypot(to.X - from.X, to.Y - from.Y);
    return edge > 0.0 && longestPiece > 0.5 * edge;
}

std::string CAntimeridianCut::AntimeridianText() const
{
    const double centralMeridian = Transformations_->CentralMeridian;
    if (centralMeridian == 0.0)
        return "180° of longitude";
    const double opposite = WithinHalfTurn(centralMeridian + HalfTurn);
    char text[64];
    std::snprintf(text, sizeof text, "%g° %s", std::fabs(opposite), opposite < 0.0 ? "W" : "E");
    return std::string(text) + ", 180° from the projection's central meridian";
}

std::vector<uint32_t> CAntimeridianCut::Cut(CPolygonLayer& layer, std::vector<uint32_t>& uncut) const
{
    const COgrSession session;
    std::vector<uint32_t> cut;
    for (uint32_t i = 0; i < layer.Count(); ++i) {
        const CSimplePolygon& polygon = layer.Polygon(i);
        bool crosses = false;
        std::vector<std::vector<double>> rings;
        bool readable = true;
        for (const auto& ring : polygon.Rings()) {
            std::vector<int32_t> steps;
            std::optional<std::vector<double>> lonLat =
                UnwrappedDegrees(*ring, *Transformations_->ToDegrees, Transformations_->CentralMeridian, steps);
            readable = readable && lonLat.has_value();
            if (!lonLat) {
                crosses = crosses || !steps.empty();
                continue;
            }
            crosses = crosses || std::any_of(steps.begin(), steps.end(),
                                             [&](int32_t end) { return TornAcrossMap(*ring, *lonLat, end); });
            rings.push_back(std::move(*lonLat));
        }
        if (!crosses)
            continue;
        std::unique_ptr<CSimplePolygon> parts = readable ? CutPolygon(rings) : nullptr;
        if (!parts) {
            uncut.push_back(i);
            continue;
        }
        parts->Label = polygon.Label;
        layer.Replace(i, std::move(parts));
        cut.push_back(i);
    }
    return cut;
}

std::unique_ptr<CSimplePolygon> CAntimeridianCut::CutPolygon(const std::vector<std::vector<double>>& rings) const
{
    std::vector<std::unique_ptr<OGRGeometry>> pieces;
    for (const std::vector<double>& ring : rings)
        if (!AppendPieces(ring, Transformations_->CentralMeridian, pieces))
            return nullptr;
    if (pieces.empty())
        return nullptr;
    // organizePolygons takes the pieces over and sorts them into shells and holes.
    std::vector<OGRGeometry*> handed;
    for (auto& piece : pieces)
        handed.push_back(piece.release());
    int valid = FALSE;
    std::unique_ptr<OGRGeometry> sorted(
        OGRGeometryFactory::organizePolygons(handed.data(), static_cast<int>(handed.size()), &valid, nullptr));
    OGRCoordinateTransformation* fromDegrees = FromDegrees();
    if (!fromDegrees || !sorted || sorted->transform(fromDegrees) != OGRERR_NONE)
        return nullptr;
    auto polygon = std::make_unique<CSimplePolygon>();
    const auto addRings = [&polygon](const OGRPolygon& part) {
        bool outer = true;
        for (const OGRLinearRing* ring : part) {
            if (ring->getNumPoints() >= 4)
                polygon->AddRing(RingFromOgr(*ring, outer));
            outer = false;
        }
    };
    if (wkbFlatten(sorted->getGeometryType()) == wkbPolygon)
        addRings(*sorted->toPolygon());
    else
        for (const OGRGeometry* member : *sorted->toGeometryCollection())
            if (wkbFlatten(member->getGeometryType()) == wkbPolygon)
                addRings(*member->toPolygon());
    return polygon->RingCount() > 0 ? std::move(polygon) : nullptr;
}

} // namespace tessaro
