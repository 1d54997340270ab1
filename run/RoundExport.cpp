#include "run/RoundExport.h"

#include "engine/QuadTree.h"
#include "geodata/MemoryFile.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/ShpFileTranslator.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileError.h"

#include <filesystem>

namespace tessaro {
namespace {

// The pictures are drawn 5% in from the page's tighter edges.
constexpr double PictureMargin = 0.05;

std::string SvgTwin(const std::string& emfPath)
{
    return std::filesystem::path(emfPath).replace_extension(".svg").string();
}

// The index the shapefile writer puts beside "x.shp" (or "x.SHP").
std::string IndexFileOf(const std::string& shapefile)
{
    const bool upper = shapefile.size() >= 4 && shapefile.compare(shapefile.size() - 4, 4, ".SHP") == 0;
    return shapefile.substr(0, shapefile.size() - 4) + (upper ? ".SHX" : ".shx");
}

void Record(RoundExportResult& result, bool written, const std::string& path)
{
    if (written)
        result.Written.push_back(path);
    else
        ++result.Failures;
}

void WritePicture(RoundExportResult& result, CNetworkEmfWriter& pictures, const std::string& path, bool polygons,
                  bool quadtree, bool withSvg)
{
    pictures.ShowPolygons = polygons;
    pictures.ShowQuadtree = quadtree;
    Record(result, pictures.WritePicture(path, PictureMargin, true) == 1, path);
    if (withSvg)
        Record(result, pictures.WriteSvgPicture(SvgTwin(path), PictureMargin) == 1, SvgTwin(path));
}

} // namespace

bool CopyFileWhole(const std::string& source, const std::string& target)
{
    std::string bytes;
    try {
        const CMemoryFile file = CMemoryFile::Load(source);
        bytes.assign(file.Bytes().begin(), file.Bytes().end());
    } catch (const CFileError&) {
        return false;
    }
    CAtomicFileWriter writer;
    return writer.Open(target) && writer.Write(bytes) && writer.Commit();
}

RoundExportResult ExportRound(const CRunFileNames& names, int round, CShpFileTranslator& shapefiles,
                              CNetworkEmfWriter& pictures, bool withSvg)
{
    const RoundFileNames files = names.ForRound(round);
    RoundExportResult result;
    const bool shapefileWritten = shapefiles.WriteNetworkPolygons(files.Shapefile) == 1;
    Record(result, shapefileWritten, files.Shapefile);
    if (shapefileWritten)
        result.Written.push_back(IndexFileOf(files.Shapefile));
    // The pictures show the displaced grid of the writer's quadtree.
    pictures.QuadtreeMap = DisplacedMap;
    WritePicture(result, pictures, files.QuadtreePicture, false, true, withSvg);
    WritePicture(result, pictures, files.PolygonPicture, true, false, withSvg);
    WritePicture(result, pictures, files.CombinedPicture, true, true, withSvg);
    // A failed copy leaves the shapefile without its table; the run carries on regardless.
    Record(result, CopyFileWhole(names.InputTable(), files.TableCopy), files.TableCopy);
    std::error_code ignored;
    if (std::filesystem::exists(names.InputProjection(), ignored))
        Record(result, CopyFileWhole(names.InputProjection(), files.ProjectionCopy), files.ProjectionCopy);
    return result;
}

} // namespace tessaro
