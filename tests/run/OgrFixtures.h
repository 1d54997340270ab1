#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "run/CartogramJob.h"

#include <memory>

class OGRFeature;

namespace tessaro::test {

// The run's messages, one per line: what a failed expectation about the run prints.
std::string AllMessages(const CartogramRunSummary& summary);

// The shipped example of the states, as a path without ".shp".
std::string StatesExample();

// A job of three rounds on two threads with the sizes from POP (no equal shares when it is
// missing), reading `input` with `reader` and writing into `outputFolder`, which it creates.
std::unique_ptr<CCartogramJob> ThreeRoundJob(const std::string& input, CCartogramJob::InputReader reader,
                                             const std::string& outputFolder);

// A feature to add to a copy: its geometry as WKT ("POLYGON EMPTY", "POINT (0 0)") or none when
// empty, placed after the copy's feature `After` (from 0).
struct ExtraFeature {
    size_t After = 0;
    std::string Wkt;
};

// Copies the layer of a shapefile through OGR into a new source `path` written by `driver`
// ("GPKG", "GeoJSON", "FlatGeobuf"), as layer `layer`, in the shapefile's record order, with
// the shapefile's fields and coordinate system. `edit`, when given, changes each copied
// feature (its number from 0 in the shapefile) before it is written. A FlatGeobuf copy is
// written without its spatial index, which would reorder the features.
void CopyWithOgr(const std::string& shapefile, const std::string& path, const std::string& driver,
                 const std::string& layer, const std::vector<ExtraFeature>& extras = {},
                 const std::function<void(OGRFeature&, size_t)>& edit = {});

// Copies the only layer of `source` into `path` written by `driver`, reprojected to `crs`
// ("EPSG:4326"), as ogr2ogr -t_srs does.
void ReprojectWithOgr(const std::string& source, const std::string& path, const std::string& driver,
                      const std::string& crs);

// The rings of every polygon of a shapefile read with shapelib, each polygon's rings sorted, so
// that two files holding the same rings in another order compare equal.
std::vector<std::vector<std::vector<double>>> SortedRings(const std::string& shp);

// The largest difference of two sets of rings relative to the coordinates' size; infinity when
// their shapes (polygon, ring or point counts) differ.
double LargestRelativeDifference(const std::vector<std::vector<std::vector<double>>>& a,
                                 const std::vector<std::vector<std::vector<double>>>& b);

} // namespace tessaro::test
