#pragma once

#include "geometry/Extent.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CFacilityObjectList;
class CMemoryFile;
class CNetwork;

// Reads the geometry member (.shp) of an ESRI shapefile into a network: point records become a
// point layer, line records chains (merged into a topology afterwards), polygon records are
// appended to the polygon layer. It also writes the network's polygon layer as a polygon
// shapefile (.shp and .shx). One translator lives in every document, bound to its network.
class CShpFileTranslator {
public:
    // ReadShapeFile results: the header was accepted (0), or why it was refused.
    static constexpr int Accepted = 0;
    static constexpr int WrongFileCode = -2;
    static constexpr int LengthMismatch = -3;
    static constexpr int WrongVersion = -4;
    static constexpr int UnknownType = -5;

    // Shape types the reader recognises.
    static constexpr int32_t PointType = 1;
    static constexpr int32_t ArcType = 3;
    static constexpr int32_t PolygonType = 5;
    static constexpr int32_t MultiPointType = 8;

    explicit CShpFileTranslator(CNetwork& network);
    virtual ~CShpFileTranslator();
    CShpFileTranslator(const CShpFileTranslator&) = delete;
    CShpFileTranslator& operator=(const CShpFileTranslator&) = delete;

    // Reads the whole file into memory and parses it. `expectedType` is -1 (any type) or 5
    // (polygons wanted: a point or line file is read only if the user confirms). Returns
    // Accepted also when the user declined, for a multipoint file and when a damaged record
    // stopped the reading; the messages tell the user what happened. A file that cannot be
    // opened or read throws CFileError.
    int ReadShapeFile(const std::string& path, int expectedType);

    // WriteNetworkPolygons results.
    static constexpr int Written = 1;
    static constexpr int NotWritten = -1;

    // Writes the network's polygons, in array order, as a polygon shapefile: `path` minus a
    // final ".shp", ".shx" or ".dbf" (any case) and minus surrounding white space is the base
    // name of the .shp and .shx written. Both files are built in memory and replace existing
    // files only once both have been written in full; until then the old files stay as they
    // were. Returns Written, or NotWritten after a message saying why: a file could not be
    // created or written, a target is the file this translator last read, the base name is
    // empty, or the polygons do not fit the format's 32-bit lengths.
    int WriteNetworkPolygons(const std::string& path);

    // The path given to the last ReadShapeFile whose file could be loaded; empty before.
    const std::string& LastReadPath() const { return LastReadPath_; }

    // Header fields of the last read.
    int64_t FileLength() const { return FileLength_; }
    const CExtent& HeaderExtent() const { return Extent_; }
    int32_t ShapeType() const { return ShapeType_; }
    int32_t RecordNumber() const { return RecordNumber_; }
    int64_t ContentLength() const { return ContentLength_; }

    // What the last read did, for front ends that report it.
    struct ReadSummary {
        int32_t RecordsRead = 0;   // records whose contents were taken into the network
        int LoopStatus = 0;        // 0 when every record was read, -1 or -2 when the loop stopped
        bool RecordsLoopRan = false; // false when the header, a question or the type ended the read
        double TopologyMilliseconds = -1.0; // time of the topology pass of a line file, -1 without

        // The file was read whole: its header was accepted and the record loop ran to the end
        // of the file. A front end must not present anything less as the file's contents.
        bool Whole() const { return RecordsLoopRan && LoopStatus == 0; }
    };
    // The question the reader asks before it reads a file of `shapeType` where `expectedType`
    // was wanted (a point or line file where polygons were), or none.
    static std::optional<std::string> TypeQuestion(int32_t shapeType, int expectedType);
    // The shapefile format's name of a shape type code ("Point", "PolyLine", "Polygon",
    // "MultiPoint"), or "unsupported".
    static const char* ShapeTypeName(int32_t type);

    const ReadSummary& LastRead() const { return LastRead_; }

    // Whether a line file's read shows the time of its topology pass ("The time for adding
    // nodes is: ..."); a caller that reports LastRead's time itself turns it off.
    bool ShowTopologyTime = true;

private:
    int CheckHeader();
    int DispatchOnType(int expectedType);
    int ReadRecordHeader();
    int ReadRecordShapeType(int32_t loopType, const char* mismatchMessage);
    int ReadPointRecords();
    int ReadArcRecords();
    int ReadPolygonRecords();
    void BuildTopologyTimed();

    struct PartedRecord;
    int ReadPartedRecord(PartedRecord& record);
    // True when part `part` has the 2 points a ring or chain needs; otherwise shows
    // `tooFewText` (the ring's or chain's own words) with the record and part it was.
    bool PartLongEnough(const PartedRecord& record, int32_t part, const char* tooFewText) const;

    std::unique_ptr<CFacilityObjectList> PointLayer_;
    std::unique_ptr<CMemoryFile> File_;
    CNetwork& Network_;
    int64_t FileLength_ = 0;
    CExtent Extent_ = CExtent::Zero();
    int32_t ShapeType_ = 0;
    int32_t RecordNumber_ = 0;
    int64_t ContentLength_ = 0;
    int32_t RecordOrdinal_ = 0;
    ReadSummary LastRead_;
    std::string LastReadPath_;
};

} // namespace tessaro
