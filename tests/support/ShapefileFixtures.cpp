#include "tests/support/ShapefileFixtures.h"

#include <shapefil.h>

#include <stdexcept>

namespace tessaro::test {

TestShape Square(double left, double bottom, double side)
{
    const double right = left + side;
    const double top = bottom + side;
    return TestShape{{0}, {left, left, right, right, left}, {bottom, top, top, bottom, bottom}};
}

std::string WriteShapefile(const std::string& basePath, int shapeType, const std::vector<TestShape>& shapes)
{
    SHPHandle handle = SHPCreate(basePath.c_str(), shapeType);
    if (handle == nullptr)
        throw std::runtime_error("shapelib cannot create " + basePath);
    for (const TestShape& shape : shapes) {
        const int partCount = static_cast<int>(shape.PartStarts.size());
        SHPObject* object = SHPCreateObject(shapeType, -1, partCount, partCount > 0 ? shape.PartStarts.data() : nullptr,
                                            nullptr, static_cast<int>(shape.X.size()), shape.X.data(), shape.Y.data(),
                                            nullptr, nullptr);
        SHPWriteObject(handle, -1, object);
        SHPDestroyObject(object);
    }
    SHPClose(handle);
    return basePath + ".shp";
}

std::vector<ShapelibShape> ReadWithShapelib(const std::string& shpPath)
{
    SHPHandle handle = SHPOpen(shpPath.c_str(), "rb");
    if (handle == nullptr)
        throw std::runtime_error("shapelib cannot open " + shpPath);
    int count = 0;
    SHPGetInfo(handle, &count, nullptr, nullptr, nullptr);
    std::vector<ShapelibShape> shapes;
    for (int i = 0; i < count; ++i) {
        SHPObject* object = SHPReadObject(handle, i);
        ShapelibShape shape;
        if (object != nullptr) {
            shape.Type = object->nSHPType;
            shape.PartStarts.assign(object->panPartStart, object->panPartStart + object->nParts);
            shape.X.assign(object->padfX, object->padfX + object->nVertices);
            shape.Y.assign(object->padfY, object->padfY + object->nVertices);
            SHPDestroyObject(object);
        }
        shapes.push_back(std::move(shape));
    }
    SHPClose(handle);
    return shapes;
}

} // namespace tessaro::test
