#include "geodata/ShpFileTranslator.h"

#include "platform/HighResolutionTime.h"
#include "geometry/SimplePolygon.h"
#include "geodata/MemoryFile.h"
#include "geodata/ShapefileHeader.h"
#include "network/Network.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileError.h"
#include "platform/InputFiles.h"
#include "platform/UserInterface.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

namespace tessaro {
namespace {

constexpr size_t HeaderSize = ShapefileHeader::Size;
// The header check's verdicts are the reader's statuses.
static_assert(static_cast<int>(ShapefileHeader::Verdict::Accepted) == CShpFileTranslator::Accepted);
static_assert(static_cast<int>(ShapefileHeader::Verdict::WrongFileCode) == CShpFileTranslator::WrongFileCode);
static_assert(static_cast<int>(ShapefileHeader::Verdict::LengthMismatch) == CShpFileTranslator::LengthMismatch);
static_assert(static_cast<int>(ShapefileHeader::Verdict::WrongVersion) == CShpFileTranslator::WrongVersion);
constexpr int64_t RecordHeaderAllowance = 108; // file header plus one record header

constexpr int LoopCompleted = 0;
constexpr int LoopStopped = -1;
constexpr int LoopChainRefused = -2;

void ShowError(const std::string& text) { ShowMessage(text, MessageKind::Error); }

std::string RecordText(int32_t ordinal) { return "Error! Record " + std::to_string(ordinal); }

// Releases the in-memory copy when a read ends, whatever the way out.
class CReleaseOnExit {
public:
    explicit CReleaseOnExit(std::unique_ptr<CMemoryFile>& file) : File_(file) {}
    ~CReleaseOnExit() { File_.reset(); }
    CReleaseOnExit(const CReleaseOnExit&) = delete;
    CReleaseOnExit& operator=(const CReleaseOnExit&) = delete;

private:
    std::unique_ptr<CMemoryFile>& File_;
};

// ---- Writing ----------------------------------------------------------------------------

// Lengths in the file are 32-bit counts of 16-bit words.
constexpr int64_t MaxWords = std::numeric_limits<int32_t>::max();
constexpr int64_t RecordHeaderSize = 8;
constexpr int64_t IndexEntrySize = 8;

void PutInt32BigEndian(std::string& bytes, size_t offset, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>((bits >> (8 * (3 - i))) & 0xFFu);
}

void PutInt32LittleEndian(std::string& bytes, size_t offset, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFFu);
}

void PutDoubleLittleEndian(std::string& bytes, size_t offset, double value)
{
    uint64_t bits = 0;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    for (size_t i = 0; i < 8; ++i)
        bytes[offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFFu);
}

void AppendInt32BigEndian(std::string& bytes, int32_t value)
{
    bytes.resize(bytes.size() + 4);
    PutInt32BigEndian(bytes, bytes.size() - 4, value);
}

void AppendInt32LittleEndian(std::string& bytes, int32_t value)
{
    bytes.resize(bytes.size() + 4);
    PutInt32LittleEndian(bytes, bytes.size() - 4, value);
}

void AppendDoubleLittleEndian(std::string& bytes, double value)
{
    bytes.resize(bytes.size() + 8);
    PutDoubleLittleEndian(bytes, bytes.size() - 8, value);
}

// The 100-byte header shared by the .shp and the .shx; only the file length differs.
std::string HeaderBytes(const CExtent& extent, int32_t fileWords)
{
    std::string header(HeaderSize, '\0');
    PutInt32BigEndian(header, 0, ShapefileHeader::Code);
    PutInt32BigEndian(header, 24, fileWords);
    PutInt32LittleEndian(header, 28, ShapefileHeader::Version);
    PutInt32LittleEndian(header, 32, CShpFileTranslator::PolygonType);
    PutDoubleLittleEndian(header, 36, extent.MinX);
    PutDoubleLittleEndian(header, 44, extent.MinY);
    PutDoubleLittleEndian(header, 52, extent.MaxX);
    PutDoubleLittleEndian(header, 60, extent.MaxY);
    return header;
}

// Points of all rings. The ring counts are summed here rather than taken from the polygon's
// running total so that the record always agrees with the points written.
int64_t PointsOf(const CSimplePolygon& polygon)
{
    int64_t points = 0;
    for (const auto& ring : polygon.Rings())
        points += ring->PointCount();
    return points;
}

// Content length of a polygon record in words: shape type, box and counts (22 words), one
// start index per ring, two doubles per point.
int64_t ContentWords(int64_t parts, int64_t points) { return 22 + 2 * parts + 8 * points; }

// The record contents after the record header.
void AppendPolygonContents(std::string& bytes, const CSimplePolygon& polygon, int32_t pointCount)
{
    AppendInt32LittleEndian(bytes, CShpFileTranslator::PolygonType);
    AppendDoubleLittleEndian(bytes, polygon.MinX());
    AppendDoubleLittleEndian(bytes, polygon.MinY());
    AppendDoubleLittleEndian(bytes, polygon.MaxX());
    AppendDoubleLittleEndian(bytes, polygon.MaxY());
    AppendInt32LittleEndian(bytes, polygon.RingCount());
    AppendInt32LittleEndian(bytes, pointCount);
    int32_t start = 0;
    for (const auto& ring : polygon.Rings()) {
        AppendInt32LittleEndian(bytes, start);
        start += ring->PointCount();
    }
    for (const auto& ring : polygon.Rings()) {
        const double* points = ring->Points();
        for (int32_t i = 0; i < 2 * ring->PointCount(); ++i)
            AppendDoubleLittleEndian(bytes, points[i]);
    }
}

// The bytes of both files, or an empty .shp when a length does not fit in 32 bits.
struct ShapefileBytes {
    std::string Shp;
    std::string Shx;
};

bool BuildShapefile(const CNetwork& network, ShapefileBytes& files)
{
    const int64_t polygonCount = network.PolygonCount();
    int64_t shpSize = HeaderSize;
    for (const auto& polygon : network.Polygons()) {
        const int64_t words = ContentWords(polygon->RingCount(), PointsOf(*polygon));
        if (words > MaxWords)
            return false;
        shpSize += RecordHeaderSize + 2 * words;
        if (shpSize / 2 > MaxWords)
            return false;
    }
    const int64_t shxSize = static_cast<int64_t>(HeaderSize) + IndexEntrySize * polygonCount;
    if (shxSize / 2 > MaxWords)
        return false;

    files.Shp = HeaderBytes(network.Extent(), static_cast<int32_t>(shpSize / 2));
    files.Shx = HeaderBytes(network.Extent(), static_cast<int32_t>(shxSize / 2));
    files.Shp.reserve(static_cast<size_t>(shpSize));
    files.Shx.reserve(static_cast<size_t>(shxSize));
    int32_t recordNumber = 0;
    for (const auto& polygon : network.Polygons()) {
        const auto points = static_cast<int32_t>(PointsOf(*polygon));
        const auto words = static_cast<int32_t>(ContentWords(polygon->RingCount(), points));
        AppendInt32BigEndian(files.Shx, static_cast<int32_t>(files.Shp.size() / 2));
        AppendInt32BigEndian(files.Shx, words);
        AppendInt32BigEndian(files.Shp, ++recordNumber);
        AppendInt32BigEndian(files.Shp, words);
        AppendPolygonContents(files.Shp, *polygon, points);
    }
    return true;
}

// The name without a final ".shp", ".shx" or ".dbf" (any case), then without surrounding
// white space. The extension is tested before trimming: "a.shp " keeps its ".shp".
std::string ShapefileBaseName(const std::string& path)
{
    std::string base = path;
    if (base.size() >= 5) {
        std::string extension = base.substr(base.size() - 4);
        for (char& c : extension)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (extension == ".shp" || extension == ".shx" || extension == ".dbf")
            base.resize(base.size() - 4);
    }
    const char* blanks = " \t\n\r\f\v";
    const size_t first = base.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return base.substr(first, base.find_last_not_of(blanks) - first + 1);
}

int ReportFileError(const std::string& path, const char* action, int error)
{
    ShowError(CFileError(path, action, error).what());
    return CShpFileTranslator::NotWritten;
}

} // namespace

// The variable part of a line or polygon record: its box, part starts and points.
struct CShpFileTranslator::PartedRecord {
    double Box[4] = {0, 0, 0, 0};
    std::vector<int32_t> Parts;
    std::vector<double> Points;

    int32_t PartCount() const { return static_cast<int32_t>(Parts.size()); }
    int32_t PointCount() const { return static_cast<int32_t>(Points.size() / 2); }
    // Points of part i: up to the next part's start, the last part up to the end.
    int32_t PartLength(int32_t i) const
    {
        const int32_t end = i + 1 < PartCount() ? Parts[static_cast<size_t>(i) + 1] : PointCount();
        return end - Parts[static_cast<size_t>(i)];
    }
    const double* PartPoints(int32_t i) const { return Points.data() + 2 * static_cast<size_t>(Parts[static_cast<size_t>(i)]); }
};

CShpFileTranslator::CShpFileTranslator(CNetwork& network) : Network_(network) {}

CShpFileTranslator::~CShpFileTranslator() = default;

int CShpFileTranslator::ReadShapeFile(const std::string& path, int expectedType)
{
    Extent_ = CExtent::Zero();
    FileLength_ = 0;
    RecordNumber_ = 0;
    ContentLength_ = 0;
    RecordOrdinal_ = 0;
    LastRead_ = ReadSummary{};

    File_ = std::make_unique<CMemoryFile>(CMemoryFile::Load(path));
    CReleaseOnExit release(File_);
    LastReadPath_ = path;

    const int header = CheckHeader();
    if (header != Accepted)
        return header;
    // The header box widens the network extent even when the type turns out unknown.
    Network_.SetExtent(Extent_, false);
    return DispatchOnType(expectedType);
}

const char* CShpFileTranslator::ShapeTypeName(int32_t type)
{
    switch (type) {
    case PointType:
        return "Point";
    case ArcType:
        return "PolyLine";
    case PolygonType:
        return "Polygon";
    case MultiPointType:
        return "MultiPoint";
    default:
        return "unsupported";
    }
}

int CShpFileTranslator::CheckHeader()
{
    ShapefileHeader header;
    const ShapefileHeader::Verdict verdict = header.Check(*File_, File_->Length());
    FileLength_ = header.FileLength;
    if (verdict != ShapefileHeader::Verdict::Accepted) {
        const std::string reason = header.LengthMismatchReason(verdict, File_->Length());
        ShowError(ShapefileHeader::RefusalText(verdict) + (reason.empty() ? "" : "\n" + LastReadPath_ + ": " + reason));
        return static_cast<int>(verdict);
    }
    ShapeType_ = header.ShapeType;
    Extent_ = header.Box;
    return Accepted;
}

int CShpFileTranslator::DispatchOnType(int expectedType)
{
    const std::optional<std::string> question = TypeQuestion(ShapeType_, expectedType);
    if (question && !AskYesNo(*question))
        return Accepted;
    switch (ShapeType_) {
    case PointType:
        LastRead_.LoopStatus = ReadPointRecords();
        break;
    case ArcType:
        Network_.Reset();
        LastRead_.LoopStatus = ReadArcRecords();
        break;
    case PolygonType:
        LastRead_.LoopStatus = ReadPolygonRecords();
        break;
    case MultiPointType:
        ShowMessage("Are you sure that is the MultiPoint TYPE?", MessageKind::Information);
        return Accepted;
    default:
        ShowError("Error! Unknown type!");
        return UnknownType;
    }
    LastRead_.RecordsLoopRan = true;
    return Accepted;
}

std::optional<std::string> CShpFileTranslator::TypeQuestion(int32_t shapeType, int expectedType)
{
    if (expectedType != PolygonType)
        return std::nullopt;
    if (shapeType == PointType)
        return std::string("Are you sure that is the POINT TYPE?");
    if (shapeType == ArcType)
        return std::string("Are you sure that is the LINE TYPE?");
    return std::nullopt;
}

int CShpFileTranslator::ReadRecordHeader()
{
    ++RecordOrdinal_;
    int32_t words = 0;
    if (!File_->ReadInt32BigEndian(RecordNumber_) || !File_->ReadInt32BigEndian(words)) {
        ShowError(RecordText(RecordOrdinal_) + " is truncated: the file ends inside its record header.");
        return LoopStopped;
    }
    ContentLength_ = int64_t{words} * 2;
    if (ContentLength_ + RecordHeaderAllowance > FileLength_) {
        ShowError("The content length doesn't fit the file length. Check Please!");
        return LoopStopped;
    }
    return LoopCompleted;
}

int CShpFileTranslator::ReadRecordShapeType(int32_t loopType, const char* mismatchMessage)
{
    int32_t type = 0;
    if (!File_->ReadInt32LittleEndian(type)) {
        ShowError(RecordText(RecordOrdinal_) + " is truncated: the file ends before its shape type.");
        return LoopStopped;
    }
    if (type != loopType) {
        ShowError(mismatchMessage);
        return LoopStopped;
    }
    return LoopCompleted;
}

int CShpFileTranslator::ReadPointRecords()
{
    PointLayer_ = std::make_unique<CFacilityObjectList>();
    File_->Seek(HeaderSize);
    while (!File_->AtEnd()) {
        if (ReadRecordHeader() != LoopCompleted || ReadRecordShapeType(PointType, "Error! The data is not POINT type!") != LoopCompleted) {
            PointLayer_.reset();
            return LoopStopped;
        }
        double x = 0.0;
        double y = 0.0;
        if (!File_->ReadDoubleLittleEndian(x) || !File_->ReadDoubleLittleEndian(y)) {
            ShowError(RecordText(RecordOrdinal_) + " is truncated: the file ends inside its point.");
            PointLayer_.reset();
            return LoopStopped;
        }
        PointLayer_->AddFacility(std::make_unique<CNetworkFacility>(x, y));
        ++LastRead_.RecordsRead;
    }
    Network_.AddFacilityList(std::move(PointLayer_));
    return LoopCompleted;
}

// Reads box, NumParts, NumPoints, Parts and Points of a line or polygon record, refusing
// counts and part starts that would make us read outside the record or the file.
int CShpFileTranslator::ReadPartedRecord(PartedRecord& record)
{
    int32_t partCount = 0;
    int32_t pointCount = 0;
    if (!File_->ReadDoublesLittleEndian(record.Box, 4) || !File_->ReadInt32LittleEndian(partCount) ||
        !File_->ReadInt32LittleEndian(pointCount)) {
        ShowError(RecordText(RecordOrdinal_) + " is truncated: the file ends inside its box or counts.");
        return LoopStopped;
    }
    if (partCount < 0 || pointCount < 0) {
        ShowError(RecordText(RecordOrdinal_) + " is damaged: it has a negative number of parts or points.");
        return LoopStopped;
    }
    const uint64_t needed = 4 * uint64_t(partCount) + 16 * uint64_t(pointCount);
    if (needed > File_->Remaining()) {
        ShowError(RecordText(RecordOrdinal_) + " is truncated: its parts and points run past the end of the file.");
        return LoopStopped;
    }
    record.Parts.resize(static_cast<size_t>(partCount));
    record.Points.resize(2 * static_cast<size_t>(pointCount));
    File_->ReadInt32sLittleEndian(record.Parts.data(), record.Parts.size());
    File_->ReadDoublesLittleEndian(record.Points.data(), record.Points.size());
    for (int32_t i = 0; i < partCount; ++i) {
        const int32_t start = record.Parts[static_cast<size_t>(i)];
        const bool descending = i > 0 && start < record.Parts[static_cast<size_t>(i) - 1];
        if (start < 0 || start > pointCount || descending) {
            ShowError(RecordText(RecordOrdinal_) +
                      " is damaged: its part starts are negative, descending or beyond its point count.");
            return LoopStopped;
        }
    }
    return LoopCompleted;
}

bool CShpFileTranslator::PartLongEnough(const PartedRecord& record, int32_t part, const char* tooFewText) const
{
    const int32_t points = record.PartLength(part);
    if (points >= 2)
        return true;
    ShowError(std::string(tooFewText) + "\nRecord " + std::to_string(RecordOrdinal_) + ", part " +
              std::to_string(int64_t{part} + 1) + " has " + std::to_string(points) +
              (points == 1 ? " point." : " points."));
    return false;
}

int CShpFileTranslator::ReadArcRecords()
{
    File_->Seek(HeaderSize);
    while (!File_->AtEnd()) {
        PartedRecord record;
        if (ReadRecordHeader() != LoopCompleted || ReadRecordShapeType(ArcType, "Error! The data is not ARC type!") != LoopCompleted ||
            ReadPartedRecord(record) != LoopCompleted)
            return LoopStopped;
        if (record.PartCount() > 1)
            ShowMessage("Exception for data!", MessageKind::Warning);
        for (int32_t i = 0; i < record.PartCount(); ++i) {
            auto chain = std::make_unique<CNetworkChain>();
            if (PartLongEnough(record, i, CNetworkChain::TooFewPointsText))
                chain->SetPoints(record.PartLength(i), record.PartPoints(i));
            chain->SetBoundingBox(record.Box);
            if (!Network_.AddChain(std::move(chain))) {
                ShowError("Errors in the process of adding data into Network!");
                return LoopChainRefused;
            }
        }
        ++LastRead_.RecordsRead;
    }
    BuildTopologyTimed();
    return LoopCompleted;
}

void CShpFileTranslator::BuildTopologyTimed()
{
    CHighResolutionTime timer;
    timer.Start();
    Network_.BuildTopology();
    timer.Stop();
    LastRead_.TopologyMilliseconds = timer.Elapsed("L");
    if (ShowTopologyTime)
        ShowMessage(timer.FormatElapsedRounded("The time for adding nodes is: ", "L"), MessageKind::Information);
}

int CShpFileTranslator::ReadPolygonRecords()
{
    File_->Seek(HeaderSize);
    while (!File_->AtEnd()) {
        PartedRecord record;
        if (ReadRecordHeader() != LoopCompleted ||
            ReadRecordShapeType(PolygonType, "Error! The data is not POLYGON type!") != LoopCompleted ||
            ReadPartedRecord(record) != LoopCompleted)
            return LoopStopped;
        auto polygon = std::make_unique<CSimplePolygon>();
        for (int32_t i = 0; i < record.PartCount(); ++i) {
            auto ring = std::make_unique<CPolygonRing>();
            if (PartLongEnough(record, i, CPolygonRing::TooFewPointsText))
                ring->SetPoints(record.PartLength(i), record.PartPoints(i), true);
            polygon->AddRing(std::move(ring));
        }
        Network_.AddPolygon(std::move(polygon));
        ++LastRead_.RecordsRead;
    }
    return LoopCompleted;
}

int CShpFileTranslator::WriteNetworkPolygons(const std::string& path)
{
    const std::string base = ShapefileBaseName(path);
    if (base.empty()) {
        ShowError("The shapefile was not written: the name \"" + path + "\" has no base name.");
        return NotWritten;
    }
    const std::string shpPath = base + ".shp";
    const std::string shxPath = base + ".shx";
    for (const std::string& target : {shpPath, shxPath}) {
        if (!LastReadPath_.empty() && CInputFiles::SameFile(target, LastReadPath_)) {
            ShowError("The shapefile was not written: \"" + target +
                      "\" is the file that was read as input and would be overwritten. Choose another name.");
            return NotWritten;
        }
    }

    ShapefileBytes files;
    if (!BuildShapefile(Network_, files)) {
        ShowError("The shapefile \"" + shpPath +
                  "\" was not written: its polygons exceed the 32-bit lengths of the shapefile format.");
        return NotWritten;
    }

    // Both temporaries are written in full before either replaces its target; the index goes
    // first so that a new .shp never appears without its new .shx when the .shx failed.
    CAtomicFileWriter shp;
    CAtomicFileWriter shx;
    if (!shp.Open(shpPath))
        return ReportFileError(shpPath, "create", shp.LastError());
    if (!shx.Open(shxPath))
        return ReportFileError(shxPath, "create", shx.LastError());
    if (!shp.Write(files.Shp))
        return ReportFileError(shpPath, "write", shp.LastError());
    if (!shx.Write(files.Shx))
        return ReportFileError(shxPath, "write", shx.LastError());
    if (!shx.Commit())
        return ReportFileError(shxPath, "write", shx.LastError());
    if (!shp.Commit())
        return ReportFileError(shpPath, "write", shp.LastError());
    return Written;
}

} // namespace tessaro
