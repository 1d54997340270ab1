#include "run/CompanionLayer.h"

#include "geodata/OgrSession.h"

#include <ogrsf_frmts.h>

namespace tessaro {
namespace {

// Calls visit(x, y) with references to a copy of every vertex of the geometry, in a fixed
// order, and writes the values back when `write` is set.
template <typename Visit>
void ForEachVertex(OGRGeometry& geometry, bool write, Visit&& visit)
{
    const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
    if (type == wkbPoint) {
        OGRPoint& point = *geometry.toPoint();
        if (point.IsEmpty())
            return;
        double x = point.getX();
        double y = point.getY();
        visit(x, y);
        if (write) {
            point.setX(x);
            point.setY(y);
        }
    } else if (OGR_GT_IsSubClassOf(type, wkbCurvePolygon)) {
        for (OGRCurve* ring : *geometry.toCurvePolygon())
            ForEachVertex(*ring, write, visit);
    } else if (type == wkbCompoundCurve) {
        for (OGRCurve* part : *geometry.toCompoundCurve())
            ForEachVertex(*part, write, visit);
    } else if (OGR_GT_IsCurve(type)) {
        OGRSimpleCurve& curve = *geometry.toSimpleCurve();
        for (int i = 0; i < curve.getNumPoints(); ++i) {
            double x = curve.getX(i);
            double y = curve.getY(i);
            visit(x, y);
            if (write)
                curve.setPoint(i, x, y, curve.getZ(i));
        }
    } else if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection)) {
        for (OGRGeometry* part : *geometry.toGeometryCollection())
            ForEachVertex(*part, write, visit);
    }
    // Surfaces of other kinds (polyhedral surfaces, TINs) have no vertices of the plane map.
}

std::vector<CPoint2D> PointsOf(const OGRSimpleCurve& curve)
{
    std::vector<CPoint2D> points(static_cast<size_t>(curve.getNumPoints()));
    for (int i = 0; i < curve.getNumPoints(); ++i)
        points[static_cast<size_t>(i)] = {curve.getX(i), curve.getY(i)};
    return points;
}

// Adds the geometry's points, lines and rings to `shapes`; curves are drawn as their linear
// approximation.
void AddShapes(const OGRGeometry& geometry, CShapeLayer& shapes)
{
    const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
    if (type == wkbPoint) {
        if (!geometry.IsEmpty())
            shapes.Points.push_back({geometry.toPoint()->getX(), geometry.toPoint()->getY()});
    } else if (OGR_GT_IsSubClassOf(type, wkbCurvePolygon)) {
        for (const OGRCurve* ring : *geometry.toCurvePolygon()) {
            const std::unique_ptr<OGRLineString> linear(ring->CurveToLine());
            if (linear && linear->getNumPoints() > 1)
                shapes.Rings.push_back(PointsOf(*linear));
        }
    } else if (OGR_GT_IsCurve(type)) {
        const std::unique_ptr<OGRLineString> linear(geometry.toCurve()->CurveToLine());
        if (linear && linear->getNumPoints() > 1)
            shapes.Lines.push_back(PointsOf(*linear));
    } else if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection)) {
        for (const OGRGeometry* part : *geometry.toGeometryCollection())
            AddShapes(*part, shapes);
    }
}

} // namespace

void CCompanionLayer::CrsReleaser::operator()(OGRSpatialReference* crs) const { crs->Release(); }

CCompanionLayer::~CCompanionLayer() = default;

const OGRSpatialReference* CCompanionLayer::Crs() const { return Crs_.get(); }

std::unique_ptr<CCompanionLayer> CCompanionLayer::Open(const std::string& path, const std::string& layer,
                                                       std::string& problem)
{
    const COgrSession session;
    const GdalDatasetPtr dataset = OpenVectorSource(path);
    if (!dataset) {
        problem = "Cannot open the layer source " + path + ": " + COgrSession::LastError("no reader knows it") + ".";
        return nullptr;
    }
    if (layer.empty() && dataset->GetLayerCount() != 1) {
        problem = "The layer source " + path + " holds " + std::to_string(dataset->GetLayerCount()) +
                  " layers; name the one to move with the map as " + path + ":LAYER.";
        return nullptr;
    }
    OGRLayer* source = layer.empty() ? dataset->GetLayer(0) : dataset->GetLayerByName(layer.c_str());
    if (source == nullptr) {
        problem = "The layer source " + path + " holds no layer " + layer + ".";
        return nullptr;
    }
    std::unique_ptr<CCompanionLayer> read(new CCompanionLayer());
    read->Path_ = path;
    read->LayerName_ = source->GetName();
    read->GeometryType_ = source->GetGeomType();
    if (const OGRSpatialReference* crs = source->GetSpatialRef())
        read->Crs_.reset(crs->Clone());
    source->ResetReading();
    CPLErrorReset();
    for (OGRFeatureUniquePtr feature(source->GetNextFeature()); feature; feature.reset(source->GetNextFeature()))
        read->Features_.emplace_back(feature.release());
    if (CPLGetLastErrorType() >= CE_Failure) {
        problem = "The layer " + read->LayerName_ + " of " + path + " could not be read whole: " +
                  COgrSession::LastError("a feature is damaged") + ".";
        return nullptr;
    }
    return read;
}

bool CCompanionLayer::SameCrsAs(const std::string& definition) const
{
    if (!Crs_ || definition.empty())
        return true;
    const COgrSession session;
    OGRSpatialReference other;
    if (other.SetFromUserInput(definition.c_str()) != OGRERR_NONE)
        return true;
    // A text gives no data axis order while a layer read by a driver has x the longitude: the
    // systems are compared, not how their axes are stored, or every geographic map would differ
    // from its own layers.
    const char* const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
    return Crs_->IsSame(&other, options) != 0;
}

std::vector<double> CCompanionLayer::Vertices() const
{
    std::vector<double> vertices;
    for (const auto& feature : Features_)
        if (OGRGeometry* geometry = feature->GetGeometryRef())
            ForEachVertex(*geometry, false, [&vertices](double& x, double& y) { vertices.insert(vertices.end(), {x, y}); });
    return vertices;
}

CShapeLayer CCompanionLayer::Shapes() const
{
    CShapeLayer shapes;
    shapes.Name = LayerName_;
    for (const auto& feature : Features_)
        if (const OGRGeometry* geometry = feature->GetGeometryRef())
            AddShapes(*geometry, shapes);
    return shapes;
}

void CCompanionLayer::SetVertices(const std::vector<double>& vertices)
{
    size_t next = 0;
    for (const auto& feature : Features_)
        if (OGRGeometry* geometry = feature->GetGeometryRef())
            ForEachVertex(*geometry, true, [&vertices, &next](double& x, double& y) {
                if (next + 1 < vertices.size()) {
                    x = vertices[next];
                    y = vertices[next + 1];
                }
                next += 2;
            });
}

} // namespace tessaro
