#pragma once

#include "network/Network.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

// What is wrong with a polygon record, or with a pair of records.
enum class ShapeFindingKind {
    NoRings,           // the record holds no ring at all
    InvalidCoordinate, // a coordinate is not a finite number
    TooFewPoints,      // fewer than 4 points, the closing point included
    NotClosed,         // the last point does not repeat the first
    ZeroArea,          // the ring encloses no area: its points lie on one line
    SelfIntersection,  // edges cross or touch, a spike, or the record's outer rings overlap
    WrongOrientation,  // a counter-clockwise ring (a hole) in a record without an outer ring
    HoleOutsideShell,  // a hole that lies outside its outer ring, or inside another hole
    OtherInvalid,      // any other reason the geometry is not a valid polygon
    Overlap,           // the interiors of two records overlap
};

// Short lower-case name of a kind, for listings and summaries ("self-intersection").
const char* ShapeFindingKindName(ShapeFindingKind kind);

// One finding. Indices count from 0: Record is the record's position in the layer (the file
// order), Ring the ring's position in the record, or -1 when the finding is about the whole
// record; OtherRecord is the second record of an overlap and -1 otherwise.
struct CShapeFinding {
    int32_t Record = -1;
    int32_t Ring = -1;
    int32_t OtherRecord = -1;
    ShapeFindingKind Kind = ShapeFindingKind::OtherInvalid;
    std::string Text;
};

// Checks the polygon records of a layer before a cartogram is made from them.
//
// Rings follow the shapefile convention: a clockwise ring is an outer ring, a counter-clockwise
// ring a hole of the outer ring that covers it. Each ring is first checked on its own (finite
// coordinates, closure, point count, enclosed area); the rings that pass are grouped into
// polygons, each outer ring with the holes it covers, and every polygon, then the record as a
// multi-polygon, goes through Boost.Geometry's validity test, whose reason is reported in words.
// A hole covered by no outer ring is given to the outer ring whose box meets it (or the first),
// so that the validity test says whether it crosses that ring or lies outside it.
//
// With overlaps on, every pair of records whose interiors overlap is a finding; records that
// only touch along edges or at points are not. Candidate pairs come from an R-tree of the record
// boxes, so the cost is about n log n plus one relate per pair of neighbouring records. Only
// the valid polygons of a record take part in the comparison.
class CShapeValidator {
public:
    using PolygonRange = CPolygonLayer::ConstPolygonRange;

    // The records and the pairs are checked on up to `threads` threads; the findings do not
    // depend on the count.
    explicit CShapeValidator(bool checkOverlaps = false, int threads = 1)
        : CheckOverlaps_(checkOverlaps), Threads_(threads)
    {
    }

    // Findings for every record, by record; within a record those about the whole record come
    // first, then those of its rings by ring. Overlaps come last, ordered by their first and then
    // their second record. A record that Boost.Geometry cannot sort out is reported as unchecked.
    std::vector<CShapeFinding> Check(PolygonRange polygons) const;

    // Findings for one record, numbered `record`.
    std::vector<CShapeFinding> CheckRecord(const CSimplePolygon& polygon, int32_t record) const;

private:
    bool CheckOverlaps_;
    int Threads_;
};

} // namespace tessaro
