// libFuzzer target: arbitrary bytes handed to the shapefile reader as a file on disk, read both
// as an opened file (any type) and as cartogram input (polygons wanted, every question
// answered Yes), followed by the polygon operations the cartogram applies first.
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdint>
#include <string>

namespace {

using namespace tessaro;

void ExercisePolygons(CNetwork& network)
{
    for (uint32_t i = 0; i < network.PolygonCount(); ++i) {
        CSimplePolygon& polygon = network.Polygon(i);
        CPoint2D centroid;
        double area = 0.0;
        polygon.AreaAndCentroid(&centroid, &area);
        polygon.RemoveNearDuplicates(1e-9);
        polygon.UpdateBoundingBox();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz::InputPath(".shp");
    fuzz::WriteInput(path, data, size);
    for (int expectedType : {-1, CShpFileTranslator::PolygonType}) {
        CNetwork network;
        network.SetKeyMode(KeyByCoordinates);
        CShpFileTranslator reader(network);
        try {
            reader.ReadShapeFile(path, expectedType);
        } catch (const CFileError&) {
        }
        ExercisePolygons(network);
    }
    return 0;
}
