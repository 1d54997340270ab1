#include "render/LabelSpots.h"

#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>

namespace tessaro {
namespace {

struct Run {
    double Width = 0.0;
    QPointF Middle;
};

// The x of every ring edge that crosses the line at `y`, half-open in y so that a vertex on
// the line counts once.
std::vector<double> Crossings(const QList<QPolygonF>& rings, double y)
{
    std::vector<double> xs;
    for (const QPolygonF& ring : rings)
        for (qsizetype i = 0, n = ring.size(); i < n; ++i) {
            const QPointF& a = ring[i];
            const QPointF& b = ring[(i + 1) % n];
            if ((a.y() <= y) != (b.y() <= y))
                xs.push_back(a.x() + (y - a.y()) / (b.y() - a.y()) * (b.x() - a.x()));
        }
    std::sort(xs.begin(), xs.end());
    return xs;
}

} // namespace

std::vector<QPointF> LabelSpots(const QPainterPath& shape, int lines)
{
    const QRectF box = shape.boundingRect();
    if (box.isEmpty() || lines < 1)
        return {};
    const QList<QPolygonF> rings = shape.toSubpathPolygons();
    std::vector<Run> runs;
    for (int k = 0; k < lines; ++k) {
        const double y = box.top() + box.height() * (k + 0.5) / lines;
        const std::vector<double> xs = Crossings(rings, y);
        // Even-odd: every other gap between crossings is inside.
        for (size_t i = 0; i + 1 < xs.size(); i += 2)
            runs.push_back({xs[i + 1] - xs[i], QPointF((xs[i] + xs[i + 1]) / 2.0, y)});
    }
    std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.Width > b.Width; });
    std::vector<QPointF> spots;
    spots.reserve(runs.size());
    for (const Run& run : runs)
        spots.push_back(run.Middle);
    return spots;
}

} // namespace tessaro
