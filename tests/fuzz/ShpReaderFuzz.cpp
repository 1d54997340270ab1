// libFuzzer target: arbitrary bytes handed to the shapefile reader as a file on disk, read both
// as an opened file (any type) and as cartogram input (polygons wanted, every question
// answered Yes), followed by the polygon operations the cartogram applies first.
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "platform/SilentUserInterface.h"

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

using namespace tessaro;

const std::string& InputPath()
{
    static const std::string path = [] {
        std::string pattern = "/tmp/tessaro-fuzz-shp-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            throw std::runtime_error("cannot create the fuzz input file");
        ::close(fd);
        InstallUserInterface(std::make_unique<CSilentUserInterface>(true));
        return pattern;
    }();
    return path;
}

void WriteInput(const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write the fuzz input file");
    if (size > 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
}

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
    WriteInput(data, size);
    for (int expectedType : {-1, CShpFileTranslator::PolygonType}) {
        CNetwork network;
        network.SetKeyMode(KeyByCoordinates);
        CShpFileTranslator reader(network);
        try {
            reader.ReadShapeFile(InputPath(), expectedType);
        } catch (const CFileError&) {
        }
        ExercisePolygons(network);
    }
    return 0;
}
