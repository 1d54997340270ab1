#pragma once

#include <QPointF>

#include <vector>

class QPainterPath;

namespace tessaro {

// Where a label may sit inside a shape: the middles of its widest interior runs along
// `lines` horizontal lines spread evenly over its height, the widest first. A run is a stretch
// of a line inside the shape by the even-odd rule of all its rings, so a hole splits a run and
// a label is not set over it. Costs O(lines · edges); an empty shape has none.
std::vector<QPointF> LabelSpots(const QPainterPath& shape, int lines);

} // namespace tessaro
