#include "geodata/ShapefileHeader.h"

#include "geodata/MemoryFile.h"
#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace tessaro {

ShapefileHeader::Verdict ShapefileHeader::Check(CMemoryFile& file, uint64_t fileSize)
{
    // A file shorter than its header cannot hold the length it claims.
    if (fileSize < Size || file.Length() < Size)
        return Verdict::LengthMismatch;
    int32_t code = 0;
    int32_t words = 0;
    int32_t version = 0;
    file.Seek(0);
    file.ReadInt32BigEndian(code);
    if (code != Code)
        return Verdict::WrongFileCode;
    file.Seek(24);
    file.ReadInt32BigEndian(words);
    FileLength = int64_t{words} * 2;
    if (FileLength < 0 || static_cast<uint64_t>(FileLength) != fileSize)
        return Verdict::LengthMismatch;
    file.ReadInt32LittleEndian(version);
    if (version != Version)
        return Verdict::WrongVersion;
    file.ReadInt32LittleEndian(ShapeType);
    file.ReadDoubleLittleEndian(Box.MinX);
    file.ReadDoubleLittleEndian(Box.MinY);
    file.ReadDoubleLittleEndian(Box.MaxX);
    file.ReadDoubleLittleEndian(Box.MaxY);
    return Verdict::Accepted;
}

const char* ShapefileHeader::RefusalText(Verdict verdict)
{
    if (verdict == Verdict::WrongFileCode)
        return "Error! Invalid Shape File Format!";
    if (verdict == Verdict::LengthMismatch)
        return "Caution! The file may be destroied!";
    if (verdict == Verdict::WrongVersion)
        return "Error! The inappropriate version!";
    return "";
}

std::string ShapefileHeader::LengthMismatchReason(Verdict verdict, uint64_t fileSize) const
{
    if (verdict != Verdict::LengthMismatch)
        return {};
    if (fileSize < Size)
        return "it has " + std::to_string(fileSize) + " bytes, fewer than the 100 of a shapefile header.";
    return "its header gives a length of " + std::to_string(FileLength) + " bytes, but the file has " +
           std::to_string(fileSize) + " bytes.";
}

std::optional<ShapefileHeader> PeekShapefileHeader(const std::string& path)
{
    const CFileDescriptor file = CFileDescriptor::Open(path, O_RDONLY);
    struct stat info {};
    if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    std::vector<unsigned char> bytes(ShapefileHeader::Size);
    size_t got = 0;
    for (ssize_t step = 1; step > 0 && got < bytes.size(); got += static_cast<size_t>(step)) {
        step = file.Read(bytes.data() + got, bytes.size() - got);
        if (step < 0)
            return std::nullopt;
    }
    bytes.resize(got);
    CMemoryFile start(std::move(bytes));
    ShapefileHeader header;
    if (header.Check(start, static_cast<uint64_t>(info.st_size)) != ShapefileHeader::Verdict::Accepted)
        return std::nullopt;
    return header;
}

} // namespace tessaro
