#include "run/RoundExport.h"

#include "engine/QuadTree.h"
#include "geodata/DbfHeader.h"
#include "geodata/MemoryFile.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/ShpFileTranslator.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileError.h"
#include "platform/UserInterface.h"

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

void CopyCompanion(RoundExportResult& result, const std::string& source, const std::string& target)
{
    std::string problem;
    const bool copied = CopyFileWhole(source, target, &problem);
    Record(result, copied, target);
    if (!copied)
        ShowMessage("The copy " + target + " of " + source + " was not written: " + problem, MessageKind::Error);
}

void WriteProjection(RoundExportResult& result, const std::string& text, const std::string& target)
{
    CAtomicFileWriter writer;
    const bool written = writer.Open(target) && writer.Write(text) && writer.Commit();
    Record(result, written, target);
    if (!written)
        ShowMessage(CFileError(target, "write", writer.LastError()).what(), MessageKind::Error);
}

} // namespace

bool CopyFileWhole(const std::string& source, const std::string& target, std::string* problem)
{
    std::string bytes;
    try {
        const CMemoryFile file = CMemoryFile::Load(source);
        bytes.assign(file.Bytes().begin(), file.Bytes().end());
    } catch (const CFileError& error) {
        if (problem != nullptr)
            *problem = error.what();
        return false;
    }
    CAtomicFileWriter writer;
    if (writer.Open(target) && writer.Write(bytes) && writer.Commit())
        return true;
    if (problem != nullptr)
        *problem = CFileError(target, "write", writer.LastError()).what();
    return false;
}

namespace {

void WriteShapefile(RoundExportResult& result, const RoundFileNames& files, CShpFileTranslator& shapefiles)
{
    const bool shapefileWritten = shapefiles.WriteNetworkPolygons(files.Shapefile) == 1;
    Record(result, shapefileWritten, files.Shapefile);
    if (shapefileWritten)
        result.Written.push_back(IndexFileOf(files.Shapefile));
}

void CopyInputTable(RoundExportResult& result, const CRunFileNames& names, const RoundFileNames& files)
{
    const std::string table = CDbfHeader::LocateTable(names.InputShapefile());
    if (!table.empty())
        CopyCompanion(result, table, files.TableCopy);
}

// The copies of the input's table and projection file that go with the round's shapefile.
void WriteShapefileCompanions(RoundExportResult& result, const CRunFileNames& names, const RoundFileNames& files,
                              const std::optional<std::string>& ogrProjection)
{
    if (ogrProjection) {
        if (!ogrProjection->empty())
            WriteProjection(result, *ogrProjection, files.ProjectionCopy);
        return;
    }
    // A copy goes with the shapefile only when the input has the file to copy: a shapefile
    // without a table (or a projection) gets none, which is no failure. A failed copy leaves
    // the shapefile without it; the run carries on regardless.
    CopyInputTable(result, names, files);
    std::error_code ignored;
    if (std::filesystem::exists(names.InputProjection(), ignored))
        CopyCompanion(result, names.InputProjection(), files.ProjectionCopy);
}

} // namespace

RoundExportResult ExportRound(const CRunFileNames& names, int round, CShpFileTranslator& shapefiles,
                              CNetworkEmfWriter& pictures, bool withSvg, const std::optional<std::string>& ogrProjection,
                              bool shapefileSet)
{
    const RoundFileNames files = names.ForRound(round);
    RoundExportResult result;
    if (shapefileSet)
        WriteShapefile(result, files, shapefiles);
    // The pictures show the displaced grid of the writer's quadtree.
    pictures.QuadtreeMap = DisplacedMap;
    WritePicture(result, pictures, files.QuadtreePicture, false, true, withSvg);
    WritePicture(result, pictures, files.PolygonPicture, true, false, withSvg);
    WritePicture(result, pictures, files.CombinedPicture, true, true, withSvg);
    if (shapefileSet)
        WriteShapefileCompanions(result, names, files, ogrProjection);
    return result;
}

RoundExportResult ExportShapefileSet(const CRunFileNames& names, int round, CShpFileTranslator& shapefiles,
                                     const std::optional<std::string>& ogrProjection)
{
    const RoundFileNames files = names.ForRound(round);
    RoundExportResult result;
    WriteShapefile(result, files, shapefiles);
    WriteShapefileCompanions(result, names, files, ogrProjection);
    return result;
}

RoundExportResult ExportShapefileSetIn(const CRunFileNames& names, int round, CShpFileTranslator& shapefiles,
                                       const std::string& projection)
{
    const RoundFileNames files = names.ForRound(round);
    RoundExportResult result;
    WriteShapefile(result, files, shapefiles);
    CopyInputTable(result, names, files);
    if (!projection.empty())
        WriteProjection(result, projection, files.ProjectionCopy);
    return result;
}

} // namespace tessaro
