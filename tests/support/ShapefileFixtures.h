#pragma once

#include <string>
#include <vector>

namespace tessaro::test {

// One shape for shapelib's writer: parts given by their start indices into the points.
struct TestShape {
    std::vector<int> PartStarts;
    std::vector<double> X;
    std::vector<double> Y;
};

// A closed clockwise square ring starting at its bottom-left corner, as a shape of one part.
TestShape Square(double left, double bottom, double side);

// Writes a shapefile (.shp and .shx) with shapelib's SHPCreate/SHPWriteObject. `shapeType` is a
// shapelib SHPT_* code. `basePath` is the path without extension; returns the .shp path.
std::string WriteShapefile(const std::string& basePath, int shapeType, const std::vector<TestShape>& shapes);

// A shape read back with shapelib's SHPReadObject.
struct ShapelibShape {
    int Type = 0;
    std::vector<int> PartStarts;
    std::vector<double> X;
    std::vector<double> Y;
};
std::vector<ShapelibShape> ReadWithShapelib(const std::string& shpPath);

} // namespace tessaro::test
