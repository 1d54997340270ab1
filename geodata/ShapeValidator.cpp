#include "geodata/ShapeValidator.h"

#include "engine/ParallelWorkers.h"
#include "geometry/GeometryPrimitives.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>

// GCC 12 sees the box that Boost 1.74's multi-polygon validity test grows from an inverted start
// as maybe uninitialised; it is assigned before use, so the warning is noise for this file.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <boost/geometry/algorithms/covered_by.hpp>
#include <boost/geometry/algorithms/area.hpp>
#include <boost/geometry/algorithms/envelope.hpp>
#include <boost/geometry/algorithms/intersection.hpp>
#include <boost/geometry/algorithms/intersects.hpp>
#include <boost/geometry/algorithms/is_valid.hpp>
#include <boost/geometry/algorithms/relate.hpp>
#include <boost/geometry/core/exception.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/multi_polygon.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <boost/geometry/geometries/ring.hpp>
#include <boost/geometry/index/rtree.hpp>

namespace tessaro {
namespace {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;
using BoostPoint = bg::model::d2::point_xy<double>;
// Clockwise outer rings, counter-clockwise holes, closed: the shapefile convention.
using BoostRing = bg::model::ring<BoostPoint, true, true>;
using BoostPolygon = bg::model::polygon<BoostPoint, true, true>;
using BoostMultiPolygon = bg::model::multi_polygon<BoostPolygon>;
using BoostBox = bg::model::box<BoostPoint>;

// Records (or overlap candidates) below this many per thread are checked on fewer threads.
constexpr size_t MinRecordsPerWorker = 16;

// A ring that passed the checks made on it alone, ready for the validity test.
struct PreparedRing {
    int32_t Index = 0;
    BoostRing Points;
    double Area = 0.0; // signed: negative for a clockwise ring
    BoostBox Box;
};

// What one record gives: its findings and its valid polygons, for the overlap test.
struct RecordResult {
    std::vector<CShapeFinding> Findings;
    BoostMultiPolygon Valid;
};

// Which ring a validity reason is about, for its wording.
enum class Subject { Ring, Hole, Polygon, Record };

CShapeFinding Finding(int32_t record, int32_t ring, ShapeFindingKind kind, std::string text)
{
    CShapeFinding finding;
    finding.Record = record;
    finding.Ring = ring;
    finding.Kind = kind;
    finding.Text = std::move(text);
    return finding;
}

ShapeFindingKind KindOf(bg::validity_failure_type failure)
{
    switch (failure) {
    case bg::failure_few_points:
        return ShapeFindingKind::TooFewPoints;
    case bg::failure_wrong_topological_dimension:
        return ShapeFindingKind::ZeroArea;
    case bg::failure_spikes:
    case bg::failure_self_intersections:
    case bg::failure_intersecting_interiors:
        return ShapeFindingKind::SelfIntersection;
    case bg::failure_not_closed:
        return ShapeFindingKind::NotClosed;
    case bg::failure_wrong_orientation:
        return ShapeFindingKind::WrongOrientation;
    case bg::failure_interior_rings_outside:
    case bg::failure_nested_interior_rings:
        return ShapeFindingKind::HoleOutsideShell;
    case bg::failure_invalid_coordinate:
        return ShapeFindingKind::InvalidCoordinate;
    default:
        return ShapeFindingKind::OtherInvalid;
    }
}

std::string SelfIntersectionText(Subject subject)
{
    switch (subject) {
    case Subject::Hole:
        return "The hole crosses itself or its outer ring, or touches it along an edge.";
    case Subject::Polygon:
        return "The outer ring and its holes cross or touch each other along an edge.";
    case Subject::Record:
        return "Outer rings of the record cross each other or share an edge.";
    default:
        return "The ring crosses or touches itself.";
    }
}

// Boost.Geometry's reason in words.
std::string ReasonText(bg::validity_failure_type failure, Subject subject)
{
    const std::string ring = subject == Subject::Hole ? "The hole" : "The ring";
    switch (failure) {
    case bg::failure_few_points:
        return ring + " has too few distinct points.";
    case bg::failure_wrong_topological_dimension:
        return ring + " collapses to a line or a point.";
    case bg::failure_spikes:
        return ring + " has a spike: an edge runs out and straight back along itself.";
    case bg::failure_duplicate_points:
        return ring + " repeats a point.";
    case bg::failure_not_closed:
        return ring + " is not closed.";
    case bg::failure_self_intersections:
        return SelfIntersectionText(subject);
    case bg::failure_wrong_orientation:
        return ring + " runs the wrong way round.";
    case bg::failure_interior_rings_outside:
        return "The hole lies outside its outer ring.";
    case bg::failure_nested_interior_rings:
        return "The hole lies inside another hole.";
    case bg::failure_disconnected_interior:
        return "The holes cut the polygon's interior into separate pieces.";
    case bg::failure_intersecting_interiors:
        return "Outer rings of the record overlap each other.";
    case bg::failure_invalid_coordinate:
        return "A coordinate is not a finite number.";
    default:
        return "The geometry is not a valid polygon (validity failure " + std::to_string(static_cast<int>(failure)) + ").";
    }
}

bool AllFinite(const CPolygonRing& ring)
{
    const double* points = ring.Points();
    return std::all_of(points, points + 2 * static_cast<size_t>(ring.PointCount()), [](double v) { return std::isfinite(v); });
}

// Whether the ring can be measured as the cartogram measures it: its area, its centroid and
// the sides of its box finite. Finite coordinates near the largest double may still overflow.
bool AreaIsFinite(const CPolygonRing& ring)
{
    CPoint2D centroid;
    double area = 0.0;
    const bool measured = ring.AreaAndCentroid(&centroid, &area);
    const double width = ring.MaxX() - ring.MinX();
    const double height = ring.MaxY() - ring.MinY();
    // A ring of no area has no centroid; that is the zero-area finding's to report.
    return std::isfinite(area) && (measured || area == 0.0) && std::isfinite(width * height);
}

// Whether the record's area and centroid, the sums of its rings' weighted by their areas, stay
// within a double, as the cartogram needs them to. A record without area is not for this test.
bool RecordIsMeasurable(const CSimplePolygon& polygon)
{
    double total = 0.0;
    for (int32_t i = 0; i < polygon.RingCount(); ++i) {
        double area = 0.0;
        polygon.Ring(i).AreaAndCentroid(nullptr, &area);
        total += area;
    }
    CPoint2D centroid;
    double area = 0.0;
    return total == 0.0 || !std::isfinite(total) || polygon.AreaAndCentroid(&centroid, &area);
}

// Shoelace area taken about the first point, so that the rounding error scales with the ring's
// size rather than with its distance from the origin.
double SignedArea(const BoostRing& ring)
{
    const double x0 = ring.front().x();
    const double y0 = ring.front().y();
    double sum = 0.0;
    for (size_t i = 0; i + 1 < ring.size(); ++i) {
        const double xi = ring[i].x() - x0;
        const double yi = ring[i].y() - y0;
        const double xj = ring[i + 1].x() - x0;
        const double yj = ring[i + 1].y() - y0;
        sum += xi * yj - xj * yi;
    }
    return 0.5 * sum;
}

// True when every point lies on the line from the first point to the point farthest from it,
// within GeomEpsilon of that distance.
bool AllOnOneLine(const BoostRing& ring)
{
    const double x0 = ring.front().x();
    const double y0 = ring.front().y();
    double fx = 0.0;
    double fy = 0.0;
    for (const BoostPoint& p : ring) {
        const double dx = p.x() - x0;
        const double dy = p.y() - y0;
        if (dx * dx + dy * dy > fx * fx + fy * fy) {
            fx = dx;
            fy = dy;
        }
    }
    const double reach = fx * fx + fy * fy;
    return std::all_of(ring.begin(), ring.end(), [&](const BoostPoint& p) {
        return std::abs(fx * (p.y() - y0) - fy * (p.x() - x0)) <= GeomEpsilon * reach;
    });
}

// The checks a ring gets on its own. The reader keeps every ring exactly as the file stores it
// (it neither closes nor turns rings), so an open ring seen here is open in the file; it is
// reported and then checked further as if closed. A ring without points stands for a part of
// fewer than 2 points, which the ring refused when it was read. Returns the ring when the
// polygon tests can take it.
std::optional<PreparedRing> PrepareRing(const CPolygonRing& ring, int32_t record, int32_t index,
                                        std::vector<CShapeFinding>& findings)
{
    const int32_t count = ring.PointCount();
    if (count == 0) {
        findings.push_back(Finding(record, index, ShapeFindingKind::TooFewPoints,
                                   "The ring has fewer than 2 points in the file and was read as an empty ring."));
        return std::nullopt;
    }
    if (!AllFinite(ring)) {
        findings.push_back(Finding(record, index, ShapeFindingKind::InvalidCoordinate,
                                   "A coordinate of the ring is not a finite number."));
        return std::nullopt;
    }
    if (!AreaIsFinite(ring)) {
        findings.push_back(Finding(record, index, ShapeFindingKind::InvalidCoordinate,
                                   "The ring's area or extent is not a finite number: its coordinates are too large "
                                   "to compute with."));
        return std::nullopt;
    }
    PreparedRing prepared;
    prepared.Index = index;
    for (int32_t i = 0; i < count; ++i)
        prepared.Points.push_back(BoostPoint(ring.Point(i).X, ring.Point(i).Y));
    const BoostPoint& first = prepared.Points.front();
    const BoostPoint& last = prepared.Points.back();
    if (first.x() != last.x() || first.y() != last.y()) {
        findings.push_back(Finding(record, index, ShapeFindingKind::NotClosed,
                                   "The last point does not repeat the first, so the ring is open."));
        prepared.Points.push_back(BoostPoint(first.x(), first.y()));
    }
    if (prepared.Points.size() < 4) {
        findings.push_back(Finding(record, index, ShapeFindingKind::TooFewPoints,
                                   "The ring has " + std::to_string(prepared.Points.size()) +
                                       " points with the closing point; a ring needs at least 4."));
        return std::nullopt;
    }
    prepared.Area = SignedArea(prepared.Points);
    bg::envelope(prepared.Points, prepared.Box);
    const double boxArea = (prepared.Box.max_corner().x() - prepared.Box.min_corner().x()) *
                           (prepared.Box.max_corner().y() - prepared.Box.min_corner().y());
    if (std::abs(prepared.Area) <= GeomEpsilon * boxArea) {
        // A simple ring through points off one line always encloses some area; one whose area
        // sums to zero all the same crosses itself, like a figure eight with equal loops.
        if (AllOnOneLine(prepared.Points))
            findings.push_back(Finding(record, index, ShapeFindingKind::ZeroArea,
                                       "The ring encloses no area: all its points lie on one line."));
        else
            findings.push_back(Finding(record, index, ShapeFindingKind::SelfIntersection,
                                       "The ring crosses itself: its loops run opposite ways and its area sums to zero."));
        return std::nullopt;
    }
    return prepared;
}

BoostPolygon PolygonOf(const BoostRing& outer)
{
    BoostPolygon polygon;
    polygon.outer() = outer;
    return polygon;
}

BoostRing Reversed(const BoostRing& ring) { return BoostRing(ring.rbegin(), ring.rend()); }

// The outer ring a hole belongs to: the smallest one covering it; failing that the first whose
// box meets the hole's box, or else the first, so that the validity test reports the hole.
size_t OwnerOf(const PreparedRing& hole, const std::vector<PreparedRing>& shells, const std::vector<BoostPolygon>& shellPolygons)
{
    const BoostPolygon holeArea = PolygonOf(Reversed(hole.Points));
    std::optional<size_t> owner;
    for (size_t s = 0; s < shells.size(); ++s) {
        if (!bg::covered_by(hole.Box, shells[s].Box) || !bg::covered_by(holeArea, shellPolygons[s]))
            continue;
        if (!owner || std::abs(shells[s].Area) < std::abs(shells[*owner].Area))
            owner = s;
    }
    if (owner)
        return *owner;
    for (size_t s = 0; s < shells.size(); ++s)
        if (bg::intersects(hole.Box, shells[s].Box))
            return s;
    return 0;
}

// Finds which ring of an invalid polygon is at fault: the outer ring alone, else each hole with
// the outer ring, else the polygon as a whole.
void ReportInvalidPolygon(const PreparedRing& shell, const std::vector<const PreparedRing*>& holes, int32_t record,
                          std::vector<CShapeFinding>& findings)
{
    const BoostPolygon outer = PolygonOf(shell.Points);
    bg::validity_failure_type failure = bg::no_failure;
    if (!bg::is_valid(outer, failure)) {
        findings.push_back(Finding(record, shell.Index, KindOf(failure), ReasonText(failure, Subject::Ring)));
        return;
    }
    bool found = false;
    for (const PreparedRing* hole : holes) {
        BoostPolygon pair = outer;
        pair.inners().push_back(hole->Points);
        if (!bg::is_valid(pair, failure)) {
            findings.push_back(Finding(record, hole->Index, KindOf(failure), ReasonText(failure, Subject::Hole)));
            found = true;
        }
    }
    if (found)
        return;
    BoostPolygon whole = outer;
    for (const PreparedRing* hole : holes)
        whole.inners().push_back(hole->Points);
    bg::is_valid(whole, failure);
    findings.push_back(Finding(record, shell.Index, KindOf(failure), ReasonText(failure, Subject::Polygon)));
}

// A record without outer rings: every hole is reported and then checked turned round, so that
// its own faults show as well.
void TurnOrphanHoles(std::vector<PreparedRing>& shells, std::vector<PreparedRing>& holes, int32_t record,
                     std::vector<CShapeFinding>& findings)
{
    if (!shells.empty())
        return;
    for (PreparedRing& hole : holes) {
        findings.push_back(Finding(record, hole.Index, ShapeFindingKind::WrongOrientation,
                                   "The ring runs counter-clockwise, so it reads as a hole, but the record has no "
                                   "clockwise outer ring."));
        hole.Points = Reversed(hole.Points);
        hole.Area = -hole.Area;
        shells.push_back(std::move(hole));
    }
    holes.clear();
}

// Groups the rings into polygons and runs the validity tests on each and on the record.
void CheckPolygons(std::vector<PreparedRing>& shells, std::vector<PreparedRing>& holes, int32_t record, RecordResult& result)
{
    TurnOrphanHoles(shells, holes, record, result.Findings);
    if (shells.empty())
        return;
    std::vector<BoostPolygon> shellPolygons;
    for (const PreparedRing& shell : shells)
        shellPolygons.push_back(PolygonOf(shell.Points));
    std::vector<std::vector<const PreparedRing*>> owned(shells.size());
    for (const PreparedRing& hole : holes)
        owned[OwnerOf(hole, shells, shellPolygons)].push_back(&hole);

    for (size_t s = 0; s < shells.size(); ++s) {
        BoostPolygon polygon = shellPolygons[s];
        for (const PreparedRing* hole : owned[s])
            polygon.inners().push_back(hole->Points);
        if (bg::is_valid(polygon))
            result.Valid.push_back(std::move(polygon));
        else
            ReportInvalidPolygon(shells[s], owned[s], record, result.Findings);
    }
    bg::validity_failure_type failure = bg::no_failure;
    if (result.Valid.size() > 1 && !bg::is_valid(result.Valid, failure))
        result.Findings.push_back(Finding(record, -1, KindOf(failure), ReasonText(failure, Subject::Record)));
}

RecordResult CheckOneRecord(const CSimplePolygon& polygon, int32_t record)
{
    RecordResult result;
    if (polygon.RingCount() == 0) {
        result.Findings.push_back(Finding(record, -1, ShapeFindingKind::NoRings, "The record holds no ring."));
        return result;
    }
    std::vector<PreparedRing> shells;
    std::vector<PreparedRing> holes;
    for (int32_t i = 0; i < polygon.RingCount(); ++i) {
        std::optional<PreparedRing> ring = PrepareRing(polygon.Ring(i), record, i, result.Findings);
        if (ring)
            (ring->Area < 0.0 ? shells : holes).push_back(std::move(*ring));
    }
    CheckPolygons(shells, holes, record, result);
    if (result.Findings.empty() && !RecordIsMeasurable(polygon))
        result.Findings.push_back(Finding(record, -1, ShapeFindingKind::InvalidCoordinate,
                                          "The record's area or centroid is not a finite number: its coordinates are "
                                          "too large to compute with."));
    std::stable_sort(result.Findings.begin(), result.Findings.end(),
                     [](const CShapeFinding& a, const CShapeFinding& b) { return a.Ring < b.Ring; });
    return result;
}

// Boost.Geometry may throw on input it cannot sort out (a turn it has no rule for); the record
// is then reported as unchecked rather than passed.
RecordResult CheckRecordGuarded(const CSimplePolygon& polygon, int32_t record)
{
    try {
        return CheckOneRecord(polygon, record);
    } catch (const bg::exception& failure) {
        RecordResult result;
        result.Findings.push_back(Finding(record, -1, ShapeFindingKind::OtherInvalid,
                                          std::string("The record could not be checked: ") + failure.what() + "."));
        return result;
    }
}

// The relate test works in plain doubles: records that only share a border can be judged to
// overlap when a vertex of one lies on an edge of the other within rounding. Such an overlap
// has no area; a real one has some beyond the rounding of the records' own areas.
bool OverlapHasArea(const BoostMultiPolygon& first, const BoostMultiPolygon& second)
{
    constexpr double RoundingShare = 1e-9;
    BoostMultiPolygon common;
    bg::intersection(first, second, common);
    const double smaller = std::min(std::fabs(bg::area(first)), std::fabs(bg::area(second)));
    return std::fabs(bg::area(common)) > RoundingShare * smaller;
}

using Entry = std::pair<BoostBox, int32_t>;
using EntryTree = bgi::rtree<Entry, bgi::rstar<16>>;

// The records after the entry's whose interiors overlap its own, in record order; `candidates`
// is room for the tree's answer.
std::vector<CShapeFinding> OverlapsAfter(const Entry& entry, const std::vector<BoostMultiPolygon>& records,
                                         const EntryTree& tree, std::vector<Entry>& candidates)
{
    const bg::de9im::mask interiorsDisjoint("F********");
    std::vector<CShapeFinding> findings;
    candidates.clear();
    tree.query(bgi::intersects(entry.first), std::back_inserter(candidates));
    std::sort(candidates.begin(), candidates.end(), [](const Entry& a, const Entry& b) { return a.second < b.second; });
    for (const Entry& other : candidates) {
        if (other.second <= entry.second)
            continue;
        CShapeFinding finding =
            Finding(entry.second, -1, ShapeFindingKind::Overlap, "The interiors of the two records overlap.");
        finding.OtherRecord = other.second;
        try {
            const BoostMultiPolygon& first = records[static_cast<size_t>(entry.second)];
            const BoostMultiPolygon& second = records[static_cast<size_t>(other.second)];
            if (bg::relate(first, second, interiorsDisjoint) || !OverlapHasArea(first, second))
                continue;
        } catch (const bg::exception& failure) {
            finding.Kind = ShapeFindingKind::OtherInvalid;
            finding.Text = std::string("The two records could not be compared: ") + failure.what() + ".";
        }
        findings.push_back(std::move(finding));
    }
    return findings;
}

// Every pair of records whose interiors overlap, each pair once with the lower record first.
std::vector<CShapeFinding> FindOverlaps(const std::vector<BoostMultiPolygon>& records, int threads)
{
    std::vector<Entry> entries;
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].empty())
            continue;
        BoostBox box;
        bg::envelope(records[i], box);
        entries.emplace_back(box, static_cast<int32_t>(i));
    }
    // Bulk loading packs the tree in one go.
    const EntryTree tree(entries.begin(), entries.end());

    // Each entry's pairs with the records after it, the entries dealt out in turn among the
    // threads; joined in the entries' order.
    std::vector<std::vector<CShapeFinding>> perEntry(entries.size());
    const size_t workers = WorkersFor(entries.size(), MinRecordsPerWorker, threads);
    RunWorkers(workers, [&](size_t w) {
        std::vector<Entry> candidates;
        for (size_t e = w; e < entries.size(); e += workers)
            perEntry[e] = OverlapsAfter(entries[e], records, tree, candidates);
    });
    std::vector<CShapeFinding> findings;
    for (std::vector<CShapeFinding>& found : perEntry)
        std::move(found.begin(), found.end(), std::back_inserter(findings));
    return findings;
}

} // namespace

const char* ShapeFindingKindName(ShapeFindingKind kind)
{
    switch (kind) {
    case ShapeFindingKind::NoRings:
        return "no rings";
    case ShapeFindingKind::InvalidCoordinate:
        return "invalid coordinate";
    case ShapeFindingKind::TooFewPoints:
        return "too few points";
    case ShapeFindingKind::NotClosed:
        return "not closed";
    case ShapeFindingKind::ZeroArea:
        return "zero area";
    case ShapeFindingKind::SelfIntersection:
        return "self-intersection";
    case ShapeFindingKind::WrongOrientation:
        return "wrong orientation";
    case ShapeFindingKind::HoleOutsideShell:
        return "hole outside shell";
    case ShapeFindingKind::Overlap:
        return "overlap";
    default:
        return "invalid geometry";
    }
}

std::vector<CShapeFinding> CShapeValidator::CheckRecord(const CSimplePolygon& polygon, int32_t record) const
{
    return CheckRecordGuarded(polygon, record).Findings;
}

std::vector<CShapeFinding> CShapeValidator::Check(PolygonRange polygons) const
{
    // The records dealt out in turn among the threads: neighbouring records are often alike in size.
    std::vector<RecordResult> results(polygons.size());
    const size_t workers = WorkersFor(polygons.size(), MinRecordsPerWorker, Threads_);
    RunWorkers(workers, [&](size_t w) {
        for (size_t i = w; i < polygons.size(); i += workers) {
            results[i] = CheckRecordGuarded(*polygons[i], static_cast<int32_t>(i));
            if (!CheckOverlaps_)
                results[i].Valid.clear();
        }
    });
    std::vector<CShapeFinding> findings;
    std::vector<BoostMultiPolygon> valid;
    for (RecordResult& result : results) {
        findings.insert(findings.end(), result.Findings.begin(), result.Findings.end());
        if (CheckOverlaps_)
            valid.push_back(std::move(result.Valid));
    }
    if (CheckOverlaps_) {
        std::vector<CShapeFinding> overlaps = FindOverlaps(valid, Threads_);
        findings.insert(findings.end(), overlaps.begin(), overlaps.end());
    }
    return findings;
}

} // namespace tessaro
