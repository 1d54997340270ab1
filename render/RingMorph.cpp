#include "render/RingMorph.h"

#include "geometry/PolygonRing.h"

#include <cmath>

namespace tessaro {
namespace {

// Two stops closer than this share of the perimeter are one.
constexpr double SameStop = 1e-9;

// The vertices of a closed ring without the closing repeat, and the fraction of the perimeter
// at which each lies (the first at 0, all below 1).
struct RingWalk {
    std::vector<CPoint2D> Vertices;
    std::vector<double> Fractions;

    explicit RingWalk(const CPolygonRing& ring);
    // The point at `fraction` on the edge that starts at vertex `edge`.
    CPoint2D At(size_t edge, double fraction) const;
};

RingWalk::RingWalk(const CPolygonRing& ring)
{
    int32_t count = ring.PointCount();
    if (count >= 2 && ring.Point(0).X == ring.Point(count - 1).X && ring.Point(0).Y == ring.Point(count - 1).Y)
        --count;
    if (count < 2)
        return;
    Vertices.reserve(static_cast<size_t>(count));
    std::vector<double> lengths(1, 0.0);
    for (int32_t i = 0; i < count; ++i) {
        Vertices.push_back(ring.Point(i));
        const CPoint2D next = ring.Point((i + 1) % count);
        lengths.push_back(lengths.back() + std::hypot(next.X - ring.Point(i).X, next.Y - ring.Point(i).Y));
    }
    const double perimeter = lengths.back();
    Fractions.reserve(Vertices.size());
    for (size_t i = 0; i < Vertices.size(); ++i)
        Fractions.push_back(perimeter > 0.0 ? lengths[i] / perimeter
                                            : static_cast<double>(i) / static_cast<double>(Vertices.size()));
}

CPoint2D RingWalk::At(size_t edge, double fraction) const
{
    const CPoint2D a = Vertices[edge];
    const CPoint2D b = Vertices[(edge + 1) % Vertices.size()];
    const double start = Fractions[edge];
    const double end = edge + 1 < Fractions.size() ? Fractions[edge + 1] : 1.0;
    const double along = end > start ? (fraction - start) / (end - start) : 0.0;
    return {a.X + (b.X - a.X) * along, a.Y + (b.Y - a.Y) * along};
}

} // namespace

RingKeyframes MatchRingsByArcLength(const CPolygonRing& from, const CPolygonRing& to)
{
    const RingWalk first(from), second(to);
    RingKeyframes frames;
    if (first.Vertices.empty() || second.Vertices.empty())
        return frames;
    size_t i = 0, j = 0;
    // Merges the two ascending lists of stops; a stop of one ring lies on the other's edge that
    // begins at its last vertex passed.
    while (i < first.Vertices.size() || j < second.Vertices.size()) {
        const double fi = i < first.Fractions.size() ? first.Fractions[i] : 2.0;
        const double fj = j < second.Fractions.size() ? second.Fractions[j] : 2.0;
        if (std::abs(fi - fj) <= SameStop) {
            frames.From.push_back(first.Vertices[i++]);
            frames.To.push_back(second.Vertices[j++]);
        } else if (fi < fj) {
            frames.From.push_back(first.Vertices[i]);
            frames.To.push_back(second.At(j - 1, fi));
            ++i;
        } else {
            frames.From.push_back(first.At(i - 1, fj));
            frames.To.push_back(second.Vertices[j]);
            ++j;
        }
    }
    return frames;
}

} // namespace tessaro
