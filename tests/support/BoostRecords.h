#pragma once

// Shapefile records as Boost.Geometry multi-polygons: an oracle for areas, overlaps and
// containment that does not share our own ring arithmetic.
#include "tests/support/ShapefileFixtures.h"

#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/multi_polygon.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include <string>
#include <vector>

namespace tessaro::test {

using BoostPoint = boost::geometry::model::d2::point_xy<double>;
// Boost's default polygon is clockwise and closed, as shapefiles store outer rings and as our
// own rings are: areas of outer rings come out positive.
using BoostPolygon = boost::geometry::model::polygon<BoostPoint>;
using BoostRecord = boost::geometry::model::multi_polygon<BoostPolygon>;
using BoostBox = boost::geometry::model::box<BoostPoint>;

// The parts of a shape as a record. A clockwise ring starts a polygon; an anticlockwise one is a
// hole of the polygon before it. A record that starts with an anticlockwise ring keeps it as a
// polygon of its own (negative area), so no ring of the file is dropped unseen.
BoostRecord ToBoostRecord(const ShapelibShape& shape);

// Every shape of the file, read with shapelib, as a record; one record per shape, in file order.
std::vector<BoostRecord> ReadBoostRecords(const std::string& shpPath);

// Σ |A_i − D_i| / (A_i + D_i) · A_i / T over Boost's areas, with T the records' total area and
// D_i = shares[i] · T: a run's weighted mean error, computed independently of the run.
double WeightedAreaError(const std::vector<BoostRecord>& records, const std::vector<double>& shares);

} // namespace tessaro::test
