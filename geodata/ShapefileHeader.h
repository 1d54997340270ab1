#pragma once

#include "geometry/Extent.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

class CMemoryFile;

// The 100-byte header that starts every .shp (and .shx) file, and the one check of it that the
// reader and everything that looks at a shapefile before reading it share.
struct ShapefileHeader {
    static constexpr std::size_t Size = 100;
    static constexpr int32_t Code = 9994;
    static constexpr int32_t Version = 1000;

    // What the check made of a header: accepted, or why it was refused. The values are the
    // reader's statuses.
    enum class Verdict : int {
        Accepted = 0,
        WrongFileCode = -2,
        LengthMismatch = -3, // also a file shorter than its header
        WrongVersion = -4,
    };

    int64_t FileLength = 0; // bytes: the stored count of 16-bit words times 2
    int32_t ShapeType = 0;
    CExtent Box = CExtent::Zero();

    // Checks the header at the start of `file`, whose whole size is `fileSize` bytes (`file`
    // may hold only the header), in the reader's order: the file code (big-endian 9994), the
    // length (big-endian, in words, times 2 the file size), the version (little-endian 1000);
    // then takes the shape type and the box. On a refusal the fields read so far are kept.
    Verdict Check(CMemoryFile& file, uint64_t fileSize);

    // The reader's message for a refusal ("Error! Invalid Shape File Format!", ...).
    static const char* RefusalText(Verdict verdict);
    // What the message's second line says of a length mismatch, after the file's path: the
    // length the header gives against the file's size. Empty for the other verdicts.
    std::string LengthMismatchReason(Verdict verdict, uint64_t fileSize) const;
};

// The header of the file at `path` when the reader would accept it; nothing for a file that
// cannot be opened or whose header the reader refuses (the reader then says why in its own
// words). Reads only the header, so a type can be refused before a large file is loaded.
std::optional<ShapefileHeader> PeekShapefileHeader(const std::string& path);

} // namespace tessaro
