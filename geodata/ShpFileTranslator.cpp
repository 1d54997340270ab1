#include "geodata/ShpFileTranslator.h"

#include "cartogram/HighResolutionTime.h"
#include "cartogram/SimplePolygon.h"
#include "geodata/MemoryFile.h"
#include "network/Network.h"
#include "platform/UserInterface.h"

#include <string>

namespace tessaro {
namespace {

constexpr int32_t ShapefileCode = 9994;
constexpr int32_t ShapefileVersion = 1000;
constexpr size_t HeaderSize = 100;
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

    const int header = CheckHeader();
    if (header != Accepted)
        return header;
    // The header box widens the network extent even when the type turns out unknown.
    Network_.SetExtent(Extent_, false);
    return DispatchOnType(expectedType);
}

int CShpFileTranslator::CheckHeader()
{
    // A file shorter than its header cannot hold the length it claims.
    if (File_->Length() < HeaderSize) {
        ShowError("Caution! The file may be destroied!");
        return LengthMismatch;
    }
    int32_t code = 0;
    int32_t words = 0;
    int32_t version = 0;
    File_->Seek(0);
    File_->ReadInt32BigEndian(code);
    if (code != ShapefileCode) {
        ShowError("Error! Invalid Shape File Format!");
        return WrongFileCode;
    }
    File_->Seek(24);
    File_->ReadInt32BigEndian(words);
    FileLength_ = int64_t{words} * 2;
    if (FileLength_ != static_cast<int64_t>(File_->Length())) {
        ShowError("Caution! The file may be destroied!");
        return LengthMismatch;
    }
    File_->ReadInt32LittleEndian(version);
    if (version != ShapefileVersion) {
        ShowError("Error! The inappropriate version!");
        return WrongVersion;
    }
    File_->ReadInt32LittleEndian(ShapeType_);
    File_->ReadDoubleLittleEndian(Extent_.MinX);
    File_->ReadDoubleLittleEndian(Extent_.MinY);
    File_->ReadDoubleLittleEndian(Extent_.MaxX);
    File_->ReadDoubleLittleEndian(Extent_.MaxY);
    return Accepted;
}

int CShpFileTranslator::DispatchOnType(int expectedType)
{
    const bool polygonsWanted = expectedType == PolygonType;
    switch (ShapeType_) {
    case PointType:
        if (polygonsWanted && !AskYesNo("Are you sure that is the POINT TYPE?"))
            return Accepted;
        LastRead_.LoopStatus = ReadPointRecords();
        break;
    case ArcType:
        if (polygonsWanted && !AskYesNo("Are you sure that is the LINE TYPE?"))
            return Accepted;
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
            ring->SetPoints(record.PartLength(i), record.PartPoints(i), true);
            polygon->AddRing(std::move(ring));
        }
        Network_.AddPolygon(std::move(polygon));
        ++LastRead_.RecordsRead;
    }
    return LoopCompleted;
}

} // namespace tessaro
